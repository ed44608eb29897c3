// vantorel-inspect's failures, printed.
#include "programs/vantorel-inspect/messages.h"

#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/text.h"

namespace vantorel {

Diagnostic Failure(FailureKind kind, const std::wstring& reason) {
  return Error(kind, Utf8ForDisplay(reason));
}

int InspectExitStatus(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNone:
      return kInspectPassed;
    case FailureKind::kUsage:
    case FailureKind::kSetting:
    case FailureKind::kConfiguration:
      return kInspectMisuse;
    case FailureKind::kIo:
      return kInspectIoError;
    default:
      return kInspectFailed;
  }
}

void PrintFailure(const Diagnostic& failure) {
  ClearStatusLine();
  WriteStandardError(DiagnosticLine("vantorel-inspect", failure) + "\n");
}

int FailInspectOnException() noexcept {
  WriteStandardError("vantorel-inspect: error: cannot continue: ");
  WriteStandardError(ReasonOfCurrentException());
  WriteStandardError("\n");
  return kInspectFailed;
}

}  // namespace vantorel
