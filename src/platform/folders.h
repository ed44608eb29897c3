// Folders, their entries, and renames: what CommittedOutput and extraction
// put files in place with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"

namespace vantorel {

enum class FolderCreation { kCreated, kExisted, kFailed };
// Creates one folder; kFailed, with the system's error saying why, when no
// folder stands there afterwards.
FolderCreation EnsureDirectory(const std::string& path);
// Removes a folder, only when it is empty.
bool RemoveEmptyFolder(const std::string& path);

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

}  // namespace vantorel
