// The system's own words for why a call failed, for messages that name the
// cause as well as the file.
#pragma once

#include <string>

namespace vantorel {

// The text of the error the calling thread's last failed system call left
// (errno on Linux, GetLastError on Windows). Call it before anything else
// can change that error.
std::string LastSystemErrorText();

}  // namespace vantorel
