// vantorel-inspect's failures, printed.
#include "programs/vantorel-inspect/messages.h"

#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/text.h"

namespace vantorel {

Diagnostic RunFailure(const std::wstring& reason) {
  return Error(kInspectFailed, Utf8ForDisplay(reason));
}

int FailInspect(const Diagnostic& failure) {
  ClearStatusLine();
  WriteStandardError(DiagnosticLine("vantorel-inspect", failure) + "\n");
  return failure.status;
}

int FailInspectOnException() noexcept {
  WriteStandardError("vantorel-inspect: error: cannot continue: ");
  WriteStandardError(ReasonOfCurrentException());
  WriteStandardError("\n");
  return kInspectFailed;
}

}  // namespace vantorel
