// The statuses the image writer and its region writer return; the caller
// only tells kWriterOk from the rest.
#pragma once

namespace vantorel {

inline constexpr int kWriterOk = 0;
// The work buffers cannot be obtained.
inline constexpr int kBuffersUnavailable = 1;
// An encoder cannot be created, or a chunk cannot be encoded.
inline constexpr int kCompressionFailed = 2;
// A file cannot be opened, read or claimed: a partition file, the output,
// an output that is also an input or standard output or in use, a size
// that cannot be told or that changed.
inline constexpr int kFileUnavailable = 4;
// A partition file is larger than its partition.
inline constexpr int kPartitionTooSmall = 5;
// Writing, positioning or closing the output failed.
inline constexpr int kOutputWriteFailed = 6;
// More than four partitions, a compressed file of 2 GiB or more, or an
// image that would reach 4 GiB.
inline constexpr int kImageLimitExceeded = 7;

}  // namespace vantorel
