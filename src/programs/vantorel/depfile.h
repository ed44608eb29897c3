// --depfile: after a successful run, a dependency file that Make and Ninja
// read (the syntax of gcc -MD), naming the image as the target and, as what
// it was made from, the configuration and every partition file, so that a
// build makes the image again exactly when one of them changed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "platform/output_commit.h"

namespace vantorel {

// The rule "TARGET: PREREQUISITE...", one prerequisite a line, each name
// escaped for Make and Ninja: a space, '#' and, on Linux, where it is no
// separator, a backslash, and '$' doubled. Nullopt when a name holds a
// line end, which neither tool can read.
std::optional<std::string> DependencyRule(const std::string& target,
                                          const std::vector<std::string>& prerequisites);

// A prerequisite as a build tool in any folder finds it: the path as the
// packer opened it, from the current folder when it is relative.
std::string PrerequisitePath(const std::string& path);

// The dependency file, put in place as the image is: committed, but undone
// unless kept, so that a run that fails after it leaves the previous one.
class DependencyFile {
 public:
  // Writes `rule` to `path` and commits it.
  Outcome Write(const std::string& path, const std::string& rule);
  // The run succeeded: the file stays.
  void Keep();

 private:
  std::unique_ptr<CommittedOutput> output_;
};

}  // namespace vantorel
