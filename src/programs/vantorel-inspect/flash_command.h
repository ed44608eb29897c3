// --flash FILE: the flash contents of a sound image written to a file the
// way the packer writes its image (CommittedOutput): a regular file replaced
// whole once complete, a device or FIFO written in place; never the image
// being read.
#pragma once

#include <optional>
#include <string>

#include "common/diagnostic.h"
#include "image/image_reader.h"
#include "platform/files.h"
#include "programs/vantorel-inspect/arguments.h"

namespace vantorel {

struct FlashSource {
  std::string imagePath;                 // narrow
  std::optional<FileIdentity> identity;  // of the image file
  const ImageReport& report;             // of the image, sound
};

// Writes the flash file the command asks for and prints its line (unless
// --json). On failure a regular file is as it was; a device or FIFO holds
// what was written so far.
Outcome WriteFlashFile(const InspectCommand& command, const FlashSource& image);

}  // namespace vantorel
