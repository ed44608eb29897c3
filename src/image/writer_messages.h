// Every failure of the image writer, in one place: its kind, the lines
// standard output has always shown for it (where it shows any), and the
// reason in words. Paths are narrow, as the writer opens them. The writer
// also returns the packing rules' failures, from config/packing_failures.h,
// for a file that changes while it is packed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Types.h"
#include "common/diagnostic.h"
#include "platform/text.h"

namespace vantorel {

Diagnostic UnusableOutputPath(const std::wstring& outputFile, PathNarrowing narrowing);
Diagnostic OutputIsPartitionFile(const std::string& path);
Diagnostic OutputIsConfigurationFile(const std::string& path);
Diagnostic OutputIsStandardOutput(const std::string& outputPath);
Diagnostic OutputInUse(const std::string& outputPath);
// `error`: the system's error code (system_error.h).
Diagnostic OutputOpenFailure(const std::string& outputPath, int error);
Diagnostic OutputWriteFailure(const std::string& outputPath, int error);
// `step` of putting the finished image in place failed, for `systemText`.
Diagnostic OutputCommitFailure(const std::string& outputPath, const std::string& step,
                               const std::string& systemText);
// Standard output lost a line: the image is not kept, unless it was
// written in place.
Diagnostic OutputLeftForLostLines(const std::string& outputPath, bool inPlace);
Diagnostic BuffersUnavailable();
Diagnostic InputReadFailure(const std::string& path, int error);
// An encoder that could not be created (no lines) or a chunk that could not
// be encoded.
Diagnostic EncoderUnavailable(const std::string& path, SRes result);
Diagnostic CompressionFailure(const std::string& path, SRes result);
Diagnostic SizeUnknown(const std::string& path);
Diagnostic SizeChanged(const std::string& path, uint64_t read, uint64_t declared);

}  // namespace vantorel
