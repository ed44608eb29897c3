// Files by narrow path, as the image writer, the image reader and the profile
// reader use them. Every file is closed by its owner's destructor;
// OutputFile::Close reports what the destructor could only ignore. Files are
// told apart by identity (device and inode; on Windows volume serial and file
// index), never by the spelling of their paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantorel {

struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;

  bool operator==(const FileIdentity&) const = default;
};

class InputFile {
 public:
  // Opens an existing file for reading, sharing it with other readers and
  // writers. Check IsOpen.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const;
  // True when the file did not open because the process or the system ran
  // out of file handles or memory, not because of the file.
  bool LackedResources() const { return lackedResources_; }
  // The system's error code of a failed open (see system_error.h); 0 when open.
  int OpenError() const { return openError_; }
  // Fills the buffer up to its capacity or to the end of the file; the byte
  // count, or nullopt on a read error.
  std::optional<std::size_t> Read(uint8_t* buffer, std::size_t capacity);
  // As Read, from `offset`, leaving the position of Read alone; safe from
  // several threads at once.
  std::optional<std::size_t> ReadAt(uint64_t offset, uint8_t* buffer, std::size_t capacity) const;
  // The size of the open file; nullopt when it is no regular file or the
  // size cannot be told.
  std::optional<uint64_t> Size() const;
  // The identity of the open file; nullopt when it cannot be told.
  std::optional<FileIdentity> Identity() const;

 private:
  intptr_t handle_;
  bool lackedResources_ = false;
  int openError_ = 0;
};

enum class OutputCreation {
  kOpenOrCreate,  // an existing file keeps its bytes until Truncate
  kCreateNew,     // fails on any existing entry, a link included
  kExistingOnly,  // fails when the file is missing
};

// A handle the platform's own parts opened, for an OutputFile to own.
struct AdoptedHandle {
  intptr_t handle;
};

class OutputFile {
 public:
  // Opens the file for writing, creating it when it is missing. An existing
  // file keeps its bytes until Truncate, so that it can be refused unharmed.
  // Check IsOpen.
  explicit OutputFile(const std::string& path,
                      OutputCreation creation = OutputCreation::kOpenOrCreate);
  explicit OutputFile(AdoptedHandle adopted) : handle_(adopted.handle) {}
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const;
  std::optional<FileIdentity> Identity() const;
  // Takes an exclusive advisory lock without waiting, held until the file is
  // closed; false only when another process holds it (a file system without
  // locks leaves the file unlocked). Other programs' reads and writes are
  // not restricted.
  bool TryLock();
  // Empties a regular file; false when that fails. Devices and pipes are
  // left as they are.
  bool Truncate();
  bool SeekTo(uint64_t offset);
  bool Write(const uint8_t* data, std::size_t length);
  // Makes what was written durable; true for a device or pipe, which keeps
  // nothing to sync.
  bool Sync();
  // Flushes and closes; false when anything written may not have arrived.
  bool Close();
  // The system's handle, for the platform's own parts.
  intptr_t Handle() const { return handle_; }

 private:
  intptr_t handle_;
};

struct FileContent {
  enum class Reading { kRead, kUnreadable, kTooLarge };
  Reading reading = Reading::kUnreadable;
  std::string bytes;  // the whole file when kRead, otherwise empty
  int error = 0;      // the system's error code when kUnreadable
};

// Reads a whole file of any kind (a pipe too) in one pass, reading at most
// one byte more than `limit`: kTooLarge when the file holds more.
FileContent ReadWholeFile(const std::string& path, std::size_t limit);

// The identity of the file a path names, links followed; nullopt when it
// names none.
std::optional<FileIdentity> IdentityOfPath(const std::string& path);

// The path as the system is given it: on Linux a backslash separates folders
// too, so it becomes a slash; on Windows the path is unchanged.
std::string NativePathOf(const std::string& path);

// The size of the regular file a path names; nullopt for anything else.
std::optional<uint64_t> SizeOfPath(const std::string& path);

// The identity of the file standard output writes to; nullopt when it is no
// file that has one.
std::optional<FileIdentity> StandardOutputIdentity();
// The identity of the null device (/dev/null); nullopt where it has none.
std::optional<FileIdentity> NullDeviceIdentity();

}  // namespace vantorel
