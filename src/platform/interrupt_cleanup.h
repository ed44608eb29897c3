// What an interrupted run undoes before it dies: temporary files are removed
// and files moved aside are moved back, so that SIGINT, SIGTERM or SIGHUP (on
// Windows Ctrl-C, Ctrl-Break or a closed console) leave the folders as they
// were before the run. The handler runs only calls that are safe in a signal
// handler, on paths copied into fixed storage when the entry was made.
#pragma once

#include <string>

namespace vantorel {

class InterruptCleanup {
 public:
  // On interruption, removes the file at `path` (a native path), or the
  // folder, once the files in it are gone and only when it is empty.
  explicit InterruptCleanup(const std::string& path);
  // On interruption, renames `path` back to `restoreTo`, replacing what
  // stands there.
  InterruptCleanup(const std::string& path, const std::string& restoreTo);
  // Forgets the entry.
  ~InterruptCleanup();
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;

 private:
  int slot_;  // -1 when every slot was taken (the entry is then not kept)
};

}  // namespace vantorel
