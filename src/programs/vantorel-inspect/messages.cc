// vantorel-inspect's failures, printed.
#include "programs/vantorel-inspect/messages.h"

#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/text.h"

namespace vantorel {

Diagnostic Failure(FailureKind kind, const std::wstring& reason) {
  return Error(kind, Utf8ForDisplay(reason));
}

Outcome RefuseExistingTarget(const std::wstring& name, bool isImage, bool isFolder, bool force,
                             const std::wstring& nothingWritten) {
  if (isImage)
    return Failure(FailureKind::kOutput, name + L" is the image being read; " + nothingWritten);
  if (isFolder) return Failure(FailureKind::kOutput, name + L" is a folder; " + nothingWritten);
  if (!force) {
    return Failure(FailureKind::kOutput,
                   name + L" exists; " + nothingWritten + L" (--force overwrites)");
  }
  return {};
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
