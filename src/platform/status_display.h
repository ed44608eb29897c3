// Where a status line goes: a seam between the work that counts its
// progress and the program that shows it, so that the counting never writes
// to a stream itself.
#pragma once

#include <string>

namespace vantorel {

class StatusDisplay {
 public:
  virtual ~StatusDisplay() = default;
  // Replaces the line shown; called from any one thread at a time.
  virtual void Show(const std::string& line) = 0;
  virtual void Clear() = 0;
};

}  // namespace vantorel
