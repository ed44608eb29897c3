// The image writer's messages. Limits in them come from the format's
// constants, never written out twice.
#include "image/writer_messages.h"

#include <string_view>

#include "image/image_format.h"
#include "platform/console.h"

namespace vantorel {
namespace {

void ReportFailure(std::string_view line) {
  WriteLine("");
  WriteLine(line);
}

std::string SizeInParentheses(std::optional<uint64_t> size) {
  return size ? " (" + std::to_string(*size) + " bytes)" : "";
}

}  // namespace

void ReportUnusableOutputPath(const std::wstring& outputFile, PathNarrowing outcome) {
  WriteLine("");
  WriteWideLine(L"output file path " + NarrowingFailureText(outcome) + outputFile);
}

void ReportTooManyPartitions(std::size_t count) {
  ReportFailure("too many partitions: " + std::to_string(count) + " (an image holds at most " +
                std::to_string(kMaxPartitions) + ")");
}

void ReportOutputIsPartitionFile(const std::string& path) {
  ReportFailure("output file is also a partition file: " + path);
}

void ReportOutputIsConfigurationFile(const std::string& path) {
  ReportFailure("output file is also the configuration file: " + path);
}

void ReportOutputIsStandardOutput(const std::string& outputPath) {
  ReportFailure("output file is also the standard output: " + outputPath);
}

void ReportOutputInUse(const std::string& outputPath) {
  ReportFailure("output file is in use by another run: " + outputPath);
}

void ReportOutputOpenFailure(const std::string& outputPath) {
  ReportFailure("cannot open output file: " + outputPath);
}

void ReportOutputWriteFailure(const std::string& outputPath) {
  ReportFailure("cannot write output file: " + outputPath);
}

void ReportOutputCommitFailure(const std::string& outputPath, const std::string& step,
                               const std::string& reason) {
  ReportFailure("cannot put output file in place: " + outputPath + " (" + step + ": " + reason +
                ")");
}

void ReportStandardOutputFailure(const std::string& reason) {
  WriteStandardError("vantorel: error: cannot write to standard output: " + reason + "\n");
}

void ReportBuffersUnavailable() { ReportFailure("cannot malloc lzma working buffer"); }

void ReportInputOpenFailure(const std::string& path) {
  ReportFailure("cannot open input file: " + path);
  WriteLine("The file might be opened or it might be not exist.");
}

void ReportInputReadFailure(const std::string& path) {
  ReportFailure("cannot read input file: " + path);
}

void ReportTooLargeToCompress(const std::string& path, std::optional<uint64_t> size) {
  ReportFailure("partition file too large to compress: " + path +
                (size ? " is " + std::to_string(*size) + " bytes" : std::string()) +
                " (a compressed partition must be below " +
                std::to_string((kMaxCompressedFileSize + 1) >> 30) + " GiB)");
}

void ReportImageTooLarge(const std::string& path, std::optional<uint64_t> size) {
  ReportFailure("image too large: with " + path + SizeInParentheses(size) +
                " the image would reach " + std::to_string((kMaxImageSize + 1) >> 30) +
                " GiB (it holds at most " + std::to_string(kMaxImageSize) + " bytes)");
}

void ReportCompressionFailure(const std::string& path, SRes result) {
  ReportFailure("cannot compress input file: " + path + " (LZMA status " + std::to_string(result) +
                ")");
}

void ReportSizeUnknown(const std::string& path) {
  ReportFailure("cannot tell the size of input file: " + path);
}

void ReportSizeChanged(const std::string& path, uint64_t read, uint64_t declared) {
  ReportFailure("input file changed while it was packed: " + path + " (" + std::to_string(read) +
                " bytes read, size field " + std::to_string(static_cast<int64_t>(declared)) + ")");
}

void ReportPartitionTooSmall() {
  WriteLine("fill header fail");
  WriteLine("Partition size is not enough for upgrade bin size.");
}

}  // namespace vantorel
