// The output's kind on Linux. A link is followed, so that the file it names
// is replaced and the link stays; a dangling link is written through, as
// before.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/io_posix.h"
#include "platform/output_target.h"

namespace vantorel {
namespace {

std::string ResolveLink(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

// An existing file we may not write is not replaced behind its owner's back:
// opening it in place fails as it always did.
OutputTarget ExamineOutputTarget(const std::string& path) {
  OutputTarget target{ResolveLink(NativePath(path)), false};
  // No name to give a file: the open fails as it always did.
  if (target.path.empty() || target.path.back() == '/') return target;
  struct stat info;
  if (lstat(target.path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode) || access(target.path.c_str(), W_OK) != 0) return target;
  }
  target.replaceable = access(FolderOf(target.path).c_str(), W_OK | X_OK) == 0;
  return target;
}

void CopyPermissions(const std::string& from, const std::string& to) {
  struct stat info;
  if (stat(from.c_str(), &info) == 0) chmod(to.c_str(), info.st_mode & 07777);
}

}  // namespace vantorel
