// The packer's failures and warnings, printed.
#include "programs/vantorel/messages.h"

#include <type_traits>

#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/text.h"
#include "programs/vantorel/banners.h"

namespace vantorel {
namespace {

constexpr char kProgram[] = "vantorel";

void PrintDescribedLines(const Diagnostic& diagnostic) {
  for (const DescribedLine& line : diagnostic.described) {
    std::visit(
        [](const auto& text) {
          if constexpr (std::is_same_v<std::decay_t<decltype(text)>, std::string>) {
            WriteLine(text);
          } else {
            WriteWideLine(text);
          }
        },
        line);
  }
}

void PrintReason(const Diagnostic& diagnostic) {
  ClearStatusLine();
  WriteStandardError(DiagnosticLine(kProgram, diagnostic) + "\n");
}

// The writer knows a partition by its index; the user knows it by its section.
Diagnostic NamedBySection(Diagnostic failure, const ConfigurationReading& reading) {
  Where& where = failure.where;
  if (!where.partition) return failure;
  if (const SectionReading* section = reading.SectionOf(*where.partition)) {
    where.file = reading.file;
    where.line = section->line;
    where.section = Utf8ForDisplay(section->name);
    where.partition.reset();
  }
  return failure;
}

// A failed run's last lines; a standard output that lost lines is a reason
// of its own.
void EndFailedRun() {
  PrintErrorBanner();
  if (const auto lost = StandardOutputFailure()) {
    PrintReason(Error(FailureKind::kIo, "cannot write to standard output").Because(*lost));
  }
  PauseAfterFailure();
}

}  // namespace

void PrintWarnings(const Warnings& warnings) {
  for (const Diagnostic& warning : warnings) PrintReason(warning);
}

void PrintWarningsAsErrors(const Warnings& warnings) {
  for (Diagnostic warning : warnings) {
    warning.severity = Severity::kError;
    PrintReason(warning);
  }
}

int ExitStatusFor(FailureKind kind) {
  return kind == FailureKind::kUsage ? kExitUsageError : kExitFailed;
}

int Fail(const Diagnostic& failure, const ConfigurationReading* reading) {
  PrintDescribedLines(failure);
  PrintReason(reading ? NamedBySection(failure, *reading) : failure);
  if (failure.kind == FailureKind::kUsage) return ExitStatusFor(failure.kind);
  EndFailedRun();
  return ExitStatusFor(failure.kind);
}

int FailRunOnException() noexcept {
  try {
    WriteStandardError("vantorel: error: cannot continue: ");
    WriteStandardError(ReasonOfCurrentException());
    WriteStandardError("\n");
    EndFailedRun();
    return kExitFailed;
  } catch (...) {
    return kExitFailed;
  }
}

}  // namespace vantorel
