// Folders and the files put into them whole, for extraction: a file is
// written under a temporary name beside its target and takes the target's
// place only once it is complete, so that no reader ever sees half of it and
// a link or device planted at the target is replaced, never written through.
#pragma once

#include <cstddef>
#include <cstdint>
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

class ReplacementFile {
 public:
  // Creates a new file with a name of its own in the target's folder; it
  // never opens an existing file, link, device or pipe. Check IsOpen.
  explicit ReplacementFile(const std::string& target);
  // Removes the temporary file unless it was committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const;
  bool Write(const uint8_t* data, std::size_t length);
  // Closes the file and renames it over the target, replacing whatever entry
  // stood there; false, with the temporary file removed, when that fails.
  bool Commit();

 private:
  std::string target_;
  std::string temporary_;
  intptr_t handle_;
};

}  // namespace vantorel
