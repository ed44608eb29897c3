// The flash contents of a sound image written out: the partitions decoded
// again, one at a time in address order on the calling thread, and handed
// with the fill between them to an encoder, so that memory stays a few
// buffers whatever the range.
#pragma once

#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "flash/flash_plan.h"
#include "flash/flash_records.h"
#include "image/image_reader.h"

namespace vantorel {

// The plan's placements of the partitions of a sound image.
std::vector<FlashPlacement> PlacementsOf(const std::vector<PartitionReport>& partitions);

// Streams the plan's range into the encoder and writes its trailer. Each
// partition is checked again as it is decoded, since the file may have
// changed: a problem of the image fails with kImageNotSound; a read of the
// image or a write of the encoder's sink that the system failed, with kIo
// and the system's text; a decoder without memory, with kMemory. The image
// is called `imageName` in failures.
Outcome StreamFlash(ByteSource& image, const std::string& imageName,
                    const std::vector<PartitionReport>& partitions, const FlashPlan& plan,
                    FlashEncoder& encoder);

}  // namespace vantorel
