// Formatting of failures and warnings, the same for both programs.
#include "common/diagnostic.h"

namespace vantorel {

Diagnostic Error(FailureKind kind, std::string reason) {
  Diagnostic diagnostic;
  diagnostic.kind = kind;
  diagnostic.reason = std::move(reason);
  return diagnostic;
}

const char* FailureKindName(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNone:
      return "none";
    case FailureKind::kUsage:
      return "usage";
    case FailureKind::kSetting:
      return "setting";
    case FailureKind::kConfiguration:
      return "configuration";
    case FailureKind::kPartitionFile:
      return "partition file";
    case FailureKind::kPackingRule:
      return "packing rule";
    case FailureKind::kOutput:
      return "output";
    case FailureKind::kImageNotSound:
      return "image not sound";
    case FailureKind::kFindings:
      return "findings";
    case FailureKind::kIo:
      return "io";
    case FailureKind::kMemory:
      return "memory";
    case FailureKind::kCompression:
      return "compression";
  }
  return "unknown";
}

Diagnostic Warning(std::string reason) {
  Diagnostic diagnostic;
  diagnostic.severity = Severity::kWarning;
  diagnostic.reason = std::move(reason);
  return diagnostic;
}

// Built by appending: GCC 12 warns falsely of overlapping copies in long
// chains of string additions.
std::string DiagnosticLine(std::string_view program, const Diagnostic& diagnostic) {
  std::string line(program);
  line.append(diagnostic.severity == Severity::kError ? ": error: " : ": warning: ");
  line.append(DiagnosticText(diagnostic));
  return line;
}

std::string DiagnosticText(const Diagnostic& diagnostic) {
  std::string line;
  const Where& where = diagnostic.where;
  if (!where.file.empty()) {
    line.append(where.file);
    if (where.line > 0) line.append(":").append(std::to_string(where.line));
    line.append(": ");
  }
  if (where.partition)
    line.append("partition ").append(std::to_string(*where.partition)).append(" ");
  if (!where.section.empty()) line.append("[").append(where.section).append("] ");
  if (!where.key.empty()) line.append(where.key).append(" ");
  line.append(diagnostic.reason);
  if (!diagnostic.systemError.empty()) line.append(": ").append(diagnostic.systemError);
  return line;
}

}  // namespace vantorel
