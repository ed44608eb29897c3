// What CommittedOutput asks of its platform: what stands at a target, new
// files beside it (unnamed where the system can make them), scratch files,
// and the owner and mode a replaced file hands on. For CommittedOutput only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/output_commit.h"

namespace vantorel {

struct OutputTarget {
  std::string path;  // in the platform's form; links resolved where followed
  bool inPlace = false;
};

OutputTarget ExamineOutputTarget(const std::string& path, const OutputPolicy& policy);

struct NewFile {
  std::unique_ptr<OutputFile> file;  // null when none could be made
  std::string name;                  // empty while the file has none
};

// A new, empty file in the folder of `target`: unnamed where the system can
// make one (Linux's O_TMPFILE), otherwise under a temporary name of its own.
// Without a file, the system's error says why.
NewFile CreateFileBeside(const std::string& target);

// A file for this run alone in the system's temporary folder, readable
// back, that no other process finds by name and that is gone once closed;
// null, with the system's error, when none can be made.
std::unique_ptr<OutputFile> CreateScratchFile();

// Gives an unnamed file from CreateFileBeside its first name; fails when
// anything stands there.
bool NameUnnamedFile(OutputFile& file, const std::string& name);

// Gives `file` the owner, group and permission bits of the regular file at
// `path` (a link not followed), as far as the process may set them; true
// when no regular file stands there.
bool CopyOwnerAndMode(const std::string& path, OutputFile& file);

// True when the file keeps a position, so that bytes can be written out of
// order: not a FIFO, nor a device that ignores positions.
bool KeepsPosition(OutputFile& file);

// Up to `capacity` bytes of a scratch file from `offset`; 0 at its end,
// nullopt on a read error.
std::optional<std::size_t> ReadBack(OutputFile& scratch, uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity);

}  // namespace vantorel
