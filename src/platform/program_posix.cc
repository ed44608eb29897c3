// The program's own facts on Linux: the version is compiled in from the
// project version, and names are UTF-8.
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/program.h"
#include "platform/utf8.h"
#include "platform/version.h"

namespace vantorel {

std::optional<FileVersion> ReadOwnFileVersion() {
  return FileVersion{kVersionMajor, kVersionMinor, kVersionPatch};
}

std::string UsageProgramName(std::wstring_view programPath) {
  return EncodeUtf8ForDisplay(FileNameOf(programPath));
}

WideArguments::WideArguments(int argc, NativeArgv argv) {
  texts_.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) texts_.push_back(DecodeUtf8(argv[i], InvalidUtf8::kEscape));
  for (const std::wstring& text : texts_) pointers_.push_back(text.c_str());
  pointers_.push_back(nullptr);
}

namespace {

void OpenClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor, which is this one.
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened >= 0) close(opened);
  }
}

// The workers' code keeps its large data on the heap, so a small stack does;
// with glibc's default (the stack limit, 8 MiB) and a heap arena of 64 MiB
// per thread, address space would run out long before memory, and more
// workers would fail where fewer succeed.
void LimitWhatThreadsReserve() {
#ifdef __GLIBC__
  constexpr std::size_t kWorkerStack = 2 * 1024 * 1024;
  pthread_attr_t attributes;
  if (pthread_getattr_default_np(&attributes) == 0) {
    pthread_attr_setstacksize(&attributes, kWorkerStack);
    pthread_setattr_default_np(&attributes);
    pthread_attr_destroy(&attributes);
  }
  mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace

void PrepareProcess() {
  OpenClosedStandardStreams();
  // A file size limit then fails a write with a message, instead of killing
  // the process without one.
  signal(SIGXFSZ, SIG_IGN);
  // A reader of standard output that went away makes a write fail with
  // EPIPE, a failure the run reports, instead of killing the process
  // between writing its temporary file and putting it in place.
  signal(SIGPIPE, SIG_IGN);
  LimitWhatThreadsReserve();
}

}  // namespace vantorel
