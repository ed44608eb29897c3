// The image writer's failures. Several failures' lines begin with an empty
// one, so that they stand apart on standard output, as they always have.
#include "image/writer_messages.h"

#include "platform/system_error.h"

namespace vantorel {
namespace {

std::string LzmaResultText(SRes result) {
  switch (result) {
    case SZ_ERROR_MEM:
      return "not enough memory for the LZMA encoder";
    case SZ_ERROR_OUTPUT_EOF:
      return "the encoded stream does not fit its buffer";
    default:
      return "LZMA status " + std::to_string(result);
  }
}

}  // namespace

Diagnostic UnusableOutputPath(const std::wstring& outputFile, PathNarrowing narrowing) {
  return Error(FailureKind::kOutput,
               Utf8ForDisplay(L"output file path " + NarrowingFailureText(narrowing) + outputFile));
}

Diagnostic OutputIsPartitionFile(const std::string& path) {
  return Error(FailureKind::kOutput, "output file is also a partition file: " + path);
}

Diagnostic OutputIsConfigurationFile(const std::string& path) {
  return Error(FailureKind::kOutput, "output file is also the configuration file: " + path);
}

Diagnostic OutputIsStandardOutput(const std::string& outputPath) {
  return Error(FailureKind::kOutput, "output file is also the standard output: " + outputPath);
}

Diagnostic OutputInUse(const std::string& outputPath) {
  return Error(FailureKind::kOutput, "output file is in use by another run: " + outputPath);
}

Diagnostic OutputOpenFailure(const std::string& outputPath, int error) {
  Diagnostic failure = outputPath.empty()
                           ? Error(FailureKind::kOutput, "no output file given: use -o output_file")
                           : Error(FailureKind::kOutput, "cannot open output file " + outputPath)
                                 .Because(SystemErrorText(error));
  return failure.Printing(std::string()).Printing("cannot open output file: " + outputPath);
}

Diagnostic OutputWriteFailure(const std::string& outputPath, int error) {
  return Error(FailureKind::kIo, "cannot write output file " + outputPath)
      .Because(SystemErrorText(error));
}

Diagnostic OutputCommitFailure(const std::string& outputPath, const std::string& step,
                               const std::string& systemText) {
  return Error(FailureKind::kIo,
               "cannot put output file in place: " + outputPath + " (" + step + ")")
      .Because(systemText);
}

Diagnostic OutputLeftForLostLines(const std::string& outputPath, bool inPlace) {
  return Error(
      FailureKind::kIo,
      inPlace
          ? "output file " + outputPath + " was written in place, but standard output lost lines"
          : "output file " + outputPath + " left as it was: standard output lost lines");
}

Diagnostic BuffersUnavailable() {
  return Error(FailureKind::kMemory, "not enough memory for the work buffers")
      .Printing(std::string())
      .Printing(std::string("cannot malloc lzma working buffer"));
}

Diagnostic InputReadFailure(const std::string& path, int error) {
  return Error(FailureKind::kIo, "cannot read input file " + path).Because(SystemErrorText(error));
}

Diagnostic EncoderUnavailable(const std::string& path, SRes result) {
  return Error(FailureKind::kCompression,
               "cannot start compressing " + path + ": " + LzmaResultText(result));
}

Diagnostic CompressionFailure(const std::string& path, SRes result) {
  return Error(FailureKind::kCompression,
               "cannot compress input file " + path + ": " + LzmaResultText(result));
}

Diagnostic SizeUnknown(const std::string& path) {
  return Error(FailureKind::kPartitionFile, "cannot tell the size of input file: " + path);
}

Diagnostic SizeChanged(const std::string& path, uint64_t read, uint64_t declared) {
  return Error(FailureKind::kPartitionFile,
               "input file changed while it was packed: " + path + " (" + std::to_string(read) +
                   " bytes read, size field " + std::to_string(static_cast<int64_t>(declared)) +
                   ")");
}

}  // namespace vantorel
