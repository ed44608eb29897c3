// A read or write that the system failed: an I/O error, which says nothing
// about the image, reported with its own exit status.
#pragma once

#include <string>

namespace vantorel {

struct IoFailure {
  std::string text;  // UTF-8: what failed, where, and the system's text
};

}  // namespace vantorel
