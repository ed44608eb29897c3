// Folders, renames and the files put into them whole: a file is written
// under a temporary name beside its target and takes the target's place only
// once it is complete and durable, so that no reader ever sees half of it and
// a link or device planted at the target is replaced, never written through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

namespace vantorel {

// Creates one folder; true when it exists as a folder afterwards.
bool EnsureDirectory(const std::string& path);

struct FolderEntry {
  FileIdentity identity;
  bool isFolder = false;
};

// The entry a path names, a link not followed; nullopt when there is none.
std::optional<FolderEntry> EntryAt(const std::string& path);

// A name for a new file in the target's folder: a dot, the target's name and
// a random suffix. Another call gives another name.
std::string TemporaryNameFor(const std::string& target);
// The names a caller tries before it gives up: each may be taken already.
inline constexpr int kTemporaryNameAttempts = 100;

// Renames a file, replacing whatever entry stands at `to`.
bool RenameReplacing(const std::string& from, const std::string& to);
// Renames a file only when nothing stands at `to`, in one step, so that a
// file that appears there meanwhile is never replaced. False when something
// stands there, or when the file system offers no such step.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// A second name for an existing file; false where it cannot be made.
bool LinkFile(const std::string& existing, const std::string& newName);
// Makes the entries of the folder that holds `path` durable, so that a
// rename in it survives a crash; true where the platform has no such step.
bool SyncFolderOf(const std::string& path);

class InterruptCleanup;

class ReplacementFile {
 public:
  // Creates a new file with a name of its own in the target's folder; it
  // never opens an existing file, link, device or pipe. Check IsOpen.
  explicit ReplacementFile(const std::string& target);
  // Removes the temporary file unless it was put in place.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const;
  bool Write(const uint8_t* data, std::size_t length);
  // Makes the bytes durable and closes the file; false when anything
  // written may not have arrived.
  bool Finish();
  // Renames the finished file to its target: over whatever entry stands
  // there when `replace`, otherwise only when none does. False, with the
  // temporary file kept, when that fails.
  bool PutInPlace(bool replace);
  // The target's path, in the platform's form.
  const std::string& Target() const { return target_; }

 private:
  std::string target_;
  std::string temporary_;
  intptr_t handle_;
  std::unique_ptr<InterruptCleanup> cleanup_;  // of the temporary file
};

}  // namespace vantorel
