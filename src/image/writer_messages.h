// Every message of the image writer, in one place. Failures stand after an
// empty line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Types.h"
#include "platform/text.h"

namespace vantorel {

void ReportUnusableOutputPath(const std::wstring& outputFile, PathNarrowing outcome);
void ReportTooManyPartitions(std::size_t count);
void ReportOutputIsPartitionFile(const std::string& path);
void ReportOutputIsConfigurationFile(const std::string& path);
void ReportOutputIsStandardOutput(const std::string& outputPath);
void ReportOutputInUse(const std::string& outputPath);
void ReportOutputOpenFailure(const std::string& outputPath);
void ReportOutputWriteFailure(const std::string& outputPath);
// `step` of putting the finished image in place failed, for `reason`.
void ReportOutputCommitFailure(const std::string& outputPath, const std::string& step,
                               const std::string& reason);
// Standard output lost a line; said on standard error, where it can arrive.
void ReportStandardOutputFailure(const std::string& reason);
void ReportBuffersUnavailable();
void ReportInputOpenFailure(const std::string& path);
void ReportInputReadFailure(const std::string& path);
void ReportTooLargeToCompress(const std::string& path, std::optional<uint64_t> size);
void ReportImageTooLarge(const std::string& path, std::optional<uint64_t> size);
void ReportCompressionFailure(const std::string& path, SRes result);
void ReportSizeUnknown(const std::string& path);
void ReportSizeChanged(const std::string& path, uint64_t read, uint64_t declared);
void ReportPartitionTooSmall();

}  // namespace vantorel
