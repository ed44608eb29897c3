// How CommittedOutput may treat its output, for its platform parts only.
#pragma once

#include <string>

namespace vantorel {

struct OutputTarget {
  std::string path;  // in the platform's form, links resolved
  // False for a device, FIFO or other file that is not regular, and for an
  // output whose folder cannot take a new file: written in place.
  bool replaceable = false;
};

OutputTarget ExamineOutputTarget(const std::string& path);

// Gives `to` the permission bits of `from`, where the platform has them.
void CopyPermissions(const std::string& from, const std::string& to);

}  // namespace vantorel
