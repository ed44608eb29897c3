// The system's own words for a call it refused: strerror on Linux,
// FormatMessage on Windows.
#pragma once

#include <string>

namespace vantorel {

// The error code of the last call that failed on this thread (errno;
// GetLastError on Windows). Read it at once, before another call changes it.
int LastSystemError();
// Sets it again, for a failure reported after other calls.
void SetLastSystemError(int code);

// The system's text for an error code, without a final full stop or line end.
std::string SystemErrorText(int code);

// The text of the calling thread's last failed call: SystemErrorText of
// LastSystemError, read before anything else can change it.
inline std::string LastSystemErrorText() { return SystemErrorText(LastSystemError()); }

}  // namespace vantorel
