// The packing rules' failures. Limits in them come from the image's
// constants, never written out twice. Several failures' lines begin with an
// empty one, so that they stand apart on standard output, as they always
// have.
#include "config/packing_failures.h"

#include "common/hex.h"
#include "config/image_limits.h"
#include "platform/host.h"
#include "platform/system_error.h"

namespace vantorel {
namespace {

std::string SizeInParentheses(std::optional<uint64_t> size) {
  return size ? " (" + std::to_string(*size) + " bytes)" : "";
}

}  // namespace

Diagnostic TooManyPartitions(std::size_t count) {
  return Error(FailureKind::kPackingRule, "too many partitions: " + std::to_string(count) +
                                              " (an image holds at most " +
                                              std::to_string(kMaxPartitions) + ")");
}

Diagnostic InputOpenFailure(const std::string& path, int error) {
  // A relative path follows the folder the packer runs in, which is not
  // always the one the user thinks of.
  std::string reason = "cannot open input file " + path;
  if (IsRelativePath(path)) {
    if (const auto folder = CurrentFolder()) reason += " (looked for in " + *folder + ")";
  }
  return Error(FailureKind::kPartitionFile, std::move(reason))
      .Because(SystemErrorText(error))
      .Printing(std::string())
      .Printing("cannot open input file: " + path)
      .Printing(std::string("The file might be opened or it might be not exist."));
}

Diagnostic TooLargeToCompress(const std::string& path, std::optional<uint64_t> size) {
  return Error(FailureKind::kPackingRule,
               "partition file too large to compress: " + path +
                   (size ? " is " + std::to_string(*size) + " bytes" : std::string()) +
                   " (a compressed partition must be below " +
                   std::to_string((kMaxCompressedFileSize + 1) >> 30) + " GiB)");
}

Diagnostic ImageTooLarge(const std::string& path, std::optional<uint64_t> size) {
  return Error(FailureKind::kPackingRule,
               "image too large: with " + path + SizeInParentheses(size) +
                   " the image would reach " + std::to_string((kMaxImageSize + 1) >> 30) +
                   " GiB (it holds at most " + std::to_string(kMaxImageSize) + " bytes)");
}

Diagnostic PartitionTooSmall(const std::string& path, std::optional<uint64_t> fileSize,
                             uint32_t partitionSize) {
  const std::string limit = "its Partition_Size " + HexAndDecimal(partitionSize);
  std::string reason = fileSize && *fileSize > partitionSize
                           ? path + " is " + HexAndDecimal(*fileSize) + " bytes, " +
                                 HexAndDecimal(*fileSize - partitionSize) + " more than " + limit
                           : path + " holds more bytes than " + limit;
  return Error(FailureKind::kPackingRule, std::move(reason))
      .Printing(std::string("fill header fail"))
      .Printing(std::string("Partition size is not enough for upgrade bin size."));
}

}  // namespace vantorel
