// The statuses the image writer returns.
#pragma once

namespace vantorel {

inline constexpr int kWriterOk = 0;
inline constexpr int kBuffersUnavailable = 1;
inline constexpr int kCompressionFailed = 2;
inline constexpr int kFileUnavailable = 4;
inline constexpr int kPartitionTooSmall = 5;
inline constexpr int kOutputWriteFailed = 6;
inline constexpr int kImageLimitExceeded = 7;

}  // namespace vantorel
