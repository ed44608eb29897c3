// The failures of the packing rules: each with its kind, the lines
// standard output has always shown for it (where it shows any), and the
// reason in words. The rules return them before an image is begun; the image
// writer returns the same ones when a file changes under it while it packs.
// Paths are narrow, as the files are opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/diagnostic.h"

namespace vantorel {

Diagnostic TooManyPartitions(std::size_t count);
// `error`: the system's error code (system_error.h).
Diagnostic InputOpenFailure(const std::string& path, int error);
Diagnostic TooLargeToCompress(const std::string& path, std::optional<uint64_t> size);
Diagnostic ImageTooLarge(const std::string& path, std::optional<uint64_t> size);
// `fileSize`: the file's size when it can be told; the writer reads no
// further than one byte past the partition.
Diagnostic PartitionTooSmall(const std::string& path, std::optional<uint64_t> fileSize,
                             uint32_t partitionSize);

}  // namespace vantorel
