/* A preload library that makes one I/O call of a run fail, for the tests of
 * what the programs leave behind when the system fails them.
 *
 *   VANTOREL_FAULT=function:N:mode   fail the Nth call of `function` (write,
 *                                    close, fsync, rename, renameat2, link,
 *                                    linkat, open, openat, read, pread,
 *                                    fchown, fchmod); mode EIO, ENOSPC,
 *                                    short (write and the reads then move
 *                                    half the bytes, really), or plant (a
 *                                    rename or link finds a file that
 *                                    another process put at its target
 *                                    just before), or stall (the call
 *                                    never returns: the run waits there
 *                                    for a signal, its log written)
 *   VANTOREL_FAULT_COUNTS=path       at exit, "function count" per line
 *   VANTOREL_FAULT_LOG=path          the call that was failed and what its
 *                                    descriptor names
 *   VANTOREL_FAULT_FULL=folder       every write to a file in the folder
 *                                    fails with ENOSPC, as on a full file
 *                                    system
 *   VANTOREL_FAULT_NO_TMPFILE=1      the file systems make no unnamed files:
 *                                    O_TMPFILE fails with EOPNOTSUPP
 *
 * Calls are counted over all threads; the tests run the programs on one
 * thread so that the Nth call is the same in every run. Only calls through
 * the dynamic linker are seen: the C library's own writes to standard output
 * are not, and are tested without this library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum Function {
  kWrite,
  kClose,
  kFsync,
  kRename,
  kRenameat2,
  kLink,
  kLinkat,
  kOpen,
  kOpenat,
  kRead,
  kPread,
  kFchown,
  kFchmod,
  kFunctions
};
static const char* const kNames[kFunctions] = {"write", "close",  "fsync", "rename", "renameat2",
                                               "link",  "linkat", "open",  "openat", "read",
                                               "pread", "fchown", "fchmod"};

static atomic_long counts[kFunctions];
static int faultFunction = -1;
static long faultCall;
static int faultErrno; /* 0: a short transfer, or a planted file */
static int faultStalls;
static const char* fullFolder;
static int noUnnamedFiles;

static void ReadWantedFault(void) {
  const char* wanted = getenv("VANTOREL_FAULT");
  if (!wanted) return;
  char name[32];
  char mode[16];
  if (sscanf(wanted, "%31[^:]:%ld:%15s", name, &faultCall, mode) != 3) return;
  for (int i = 0; i < kFunctions; ++i) {
    if (strcmp(name, kNames[i]) == 0) faultFunction = i;
  }
  faultErrno = strcmp(mode, "EIO") == 0 ? EIO : strcmp(mode, "ENOSPC") == 0 ? ENOSPC : 0;
  faultStalls = strcmp(mode, "stall") == 0;
}

static void WriteCounts(void) {
  const char* path = getenv("VANTOREL_FAULT_COUNTS");
  if (!path) return;
  FILE* file = fopen(path, "w");
  if (!file) return;
  for (int i = 0; i < kFunctions; ++i) fprintf(file, "%s %ld\n", kNames[i], counts[i]);
  fclose(file);
}

__attribute__((constructor)) static void Start(void) {
  ReadWantedFault();
  fullFolder = getenv("VANTOREL_FAULT_FULL");
  noUnnamedFiles = getenv("VANTOREL_FAULT_NO_TMPFILE") != NULL;
  atexit(WriteCounts);
}

static void Log(int function, int fd, const char* path) {
  const char* logPath = getenv("VANTOREL_FAULT_LOG");
  if (!logPath) return;
  char target[4096] = "";
  if (fd >= 0) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    target[n > 0 ? n : 0] = '\0';
  } else if (path) {
    snprintf(target, sizeof target, "%s", path);
  }
  FILE* file = fopen(logPath, "a");
  if (!file) return;
  fprintf(file, "%s %d %s\n", kNames[function], fd, target);
  fclose(file);
}

/* True when this call of `function` is the one to fail. */
static int Chosen(int function, int fd, const char* path) {
  const long call = atomic_fetch_add(&counts[function], 1) + 1;
  if (function != faultFunction || call != faultCall) return 0;
  Log(function, fd, path);
  while (faultStalls) pause();
  return 1;
}

/* Fills `slot`, a function pointer, with the next definition of `name`; the
 * copy through memcpy is how POSIX has a data pointer become a function
 * pointer. */
static void Next(void* slot, const char* name) {
  void* next = dlsym(RTLD_NEXT, name);
  memcpy(slot, &next, sizeof next);
}

/* Fails a call that names a target path, or plants a file there first and
 * lets the call go on; true when the call is to fail. */
static int FailOrPlant(int function, const char* to) {
  if (!Chosen(function, -1, to)) return 0;
  if (faultErrno != 0) {
    errno = faultErrno;
    return 1;
  }
  FILE* planted = fopen(to, "wx");
  if (planted) {
    fputs("planted by another process\n", planted);
    fclose(planted);
  }
  return 0;
}

/* True when the descriptor names a file in the full folder; an unnamed
 * file's link reads "FOLDER/#inode (deleted)". */
static int InFullFolder(int fd) {
  if (!fullFolder || fullFolder[0] == '\0') return 0;
  char link[64];
  char target[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, target, sizeof target - 1);
  if (n <= 0) return 0;
  target[n] = '\0';
  const size_t folder = strlen(fullFolder);
  return strncmp(target, fullFolder, folder) == 0 && target[folder] == '/';
}

ssize_t write(int fd, const void* data, size_t length) {
  static ssize_t (*real)(int, const void*, size_t);
  if (!real) Next(&real, "write");
  if (length > 0 && InFullFolder(fd)) {
    errno = ENOSPC;
    return -1;
  }
  if (Chosen(kWrite, fd, NULL)) {
    if (faultErrno == 0 && length > 1) return real(fd, data, length / 2);
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(fd, data, length);
}

/* The descriptor is gone whatever close returns, as on Linux. */
int close(int fd) {
  static int (*real)(int);
  if (!real) Next(&real, "close");
  const int chosen = Chosen(kClose, fd, NULL);
  const int result = real(fd);
  if (!chosen) return result;
  errno = faultErrno ? faultErrno : EIO;
  return -1;
}

int fsync(int fd) {
  static int (*real)(int);
  if (!real) Next(&real, "fsync");
  if (Chosen(kFsync, fd, NULL)) {
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(fd);
}

int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) Next(&real, "rename");
  if (FailOrPlant(kRename, to)) return -1;
  return real(from, to);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
  static int (*real)(int, const char*, int, const char*, unsigned);
  if (!real) Next(&real, "renameat2");
  if (FailOrPlant(kRenameat2, to)) return -1;
  return real(fromFolder, from, toFolder, to, flags);
}

int link(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) Next(&real, "link");
  if (FailOrPlant(kLink, to)) return -1;
  return real(from, to);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  static int (*real)(int, const char*, int, const char*, int);
  if (!real) Next(&real, "linkat");
  if (FailOrPlant(kLinkat, to)) return -1;
  return real(fromFolder, from, toFolder, to, flags);
}

int fchown(int fd, uid_t owner, gid_t group) {
  static int (*real)(int, uid_t, gid_t);
  if (!real) Next(&real, "fchown");
  if (Chosen(kFchown, fd, NULL)) {
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(fd, owner, group);
}

int fchmod(int fd, mode_t mode) {
  static int (*real)(int, mode_t);
  if (!real) Next(&real, "fchmod");
  if (Chosen(kFchmod, fd, NULL)) {
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(fd, mode);
}

static int IsUnnamed(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }

static mode_t ModeOf(int flags, va_list arguments) {
  return (flags & O_CREAT) || IsUnnamed(flags) ? (mode_t)va_arg(arguments, int) : 0;
}

typedef int (*OpenAtFunction)(int, const char*, int, ...);
typedef int (*OpenFunction)(const char*, int, ...);
typedef ssize_t (*PreadFunction)(int, void*, size_t, off_t);

static int OpenAt(OpenAtFunction real, int folder, const char* path, int flags, mode_t mode) {
  if (noUnnamedFiles && IsUnnamed(flags)) {
    errno = EOPNOTSUPP;
    return -1;
  }
  if (Chosen(kOpenat, -1, path)) {
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(folder, path, flags, mode);
}

static int Open(OpenFunction real, const char* path, int flags, mode_t mode) {
  if (noUnnamedFiles && IsUnnamed(flags)) {
    errno = EOPNOTSUPP;
    return -1;
  }
  if (Chosen(kOpen, -1, path)) {
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(path, flags, mode);
}

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  static OpenFunction real;
  if (!real) Next(&real, "open");
  return Open(real, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  static OpenFunction real;
  if (!real) Next(&real, "open64");
  return Open(real, path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  static OpenAtFunction real;
  if (!real) Next(&real, "openat");
  return OpenAt(real, folder, path, flags, mode);
}

ssize_t read(int fd, void* buffer, size_t length) {
  static ssize_t (*real)(int, void*, size_t);
  if (!real) Next(&real, "read");
  if (Chosen(kRead, fd, NULL)) {
    if (faultErrno == 0 && length > 1) return real(fd, buffer, length / 2);
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(fd, buffer, length);
}

static ssize_t Pread(PreadFunction real, int fd, void* buffer, size_t length, off_t offset) {
  if (Chosen(kPread, fd, NULL)) {
    if (faultErrno == 0 && length > 1) return real(fd, buffer, length / 2, offset);
    errno = faultErrno ? faultErrno : EIO;
    return -1;
  }
  return real(fd, buffer, length, offset);
}

ssize_t pread(int fd, void* buffer, size_t length, off_t offset) {
  static PreadFunction real;
  if (!real) Next(&real, "pread");
  return Pread(real, fd, buffer, length, offset);
}

ssize_t pread64(int fd, void* buffer, size_t length, off_t offset) {
  static PreadFunction real;
  if (!real) Next(&real, "pread64");
  return Pread(real, fd, buffer, length, offset);
}
