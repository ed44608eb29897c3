// The one value that carries a failure or a warning through both programs:
// what kind of failure it is, what the user is told, where it happened and,
// when the system refused, the system's own words. Steps return it; the
// library never prints it nor turns it into an exit status: each program
// prints it in one place (its message file), which maps its kind to the
// program's exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vantorel {

enum class Severity { kError, kWarning };

// What failed, whatever the step that found it.
enum class FailureKind {
  kNone,           // not a failure: a warning
  kUsage,          // the command line
  kSetting,        // a setting from the environment
  kConfiguration,  // the configuration file does not read as one
  kPartitionFile,  // a partition file cannot be opened, sized or used
  kPackingRule,    // the partitions break a limit of the image: count, sizes
  kOutput,         // an output that cannot be made, or must not be written
  kImageNotSound,  // an image read back breaks its format
  kFindings,       // a check found what it looks for: a mismatch, a difference
  kIo,             // the system failed a read or a write; its text says why
  kMemory,         // memory, or another resource of the process, ran out
  kCompression,    // the LZMA encoder refused
};

// Where a failure or warning happened; every part is optional.
struct Where {
  std::string file;     // UTF-8: a configuration file, partition file or image
  uint32_t line = 0;    // in `file`, from 1; 0 when unknown
  std::string section;  // UTF-8, without brackets
  std::string key;
  std::optional<std::size_t> partition;  // index in the image
  std::optional<uint64_t> offset;        // in `file`
};

// A line of standard output that the tool's description prescribes for a
// failure, written through the narrow or the wide stream as it says.
using DescribedLine = std::variant<std::string, std::wstring>;

struct Diagnostic {
  Severity severity = Severity::kError;
  FailureKind kind = FailureKind::kNone;
  // Printed on standard output, before the reason, exactly as they stand.
  std::vector<DescribedLine> described;
  std::string reason;  // UTF-8 words: what went wrong or may be meant otherwise
  Where where;
  std::string systemError;  // the system's text when it refused; else empty

  Diagnostic& At(Where place) {
    where = std::move(place);
    return *this;
  }
  Diagnostic& Because(std::string text) {
    systemError = std::move(text);
    return *this;
  }
  Diagnostic& Printing(DescribedLine line) {
    described.push_back(std::move(line));
    return *this;
  }
};

Diagnostic Error(FailureKind kind, std::string reason);

// The kind as machine-readable reports name it: "usage", "io", "image not
// sound", ...
const char* FailureKindName(FailureKind kind);
Diagnostic Warning(std::string reason);

// The diagnostic as one line for standard error, without its line end:
// "PROGRAM: error: FILE:LINE: [SECTION] KEY: REASON: SYSTEM TEXT", each
// part present only when known.
std::string DiagnosticLine(std::string_view program, const Diagnostic& diagnostic);
// The same without the program and the severity: "FILE:LINE: [SECTION] ...".
std::string DiagnosticText(const Diagnostic& diagnostic);

// The outcome of a step: success, or the failure that ended it.
class [[nodiscard]] Outcome {
 public:
  Outcome() = default;
  Outcome(Diagnostic failure) : failure_(std::move(failure)) {}  // NOLINT: a failure is an outcome

  bool ok() const { return !failure_; }
  FailureKind kind() const { return failure_ ? failure_->kind : FailureKind::kNone; }
  // Only when !ok().
  const Diagnostic& failure() const { return *failure_; }
  Diagnostic& failure() { return *failure_; }

 private:
  std::optional<Diagnostic> failure_;
};

// Warnings gathered while a step runs, printed by the program's message place.
using Warnings = std::vector<Diagnostic>;

}  // namespace vantorel
