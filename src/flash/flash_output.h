// The flash contents of a sound image written out: the partitions decoded
// again, one at a time in address order on the calling thread, and handed
// with the fill between them to an encoder, so that memory stays a few
// buffers whatever the range.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "flash/flash_plan.h"
#include "flash/flash_records.h"
#include "image/image_reader.h"

namespace vantorel {

// The plan's placements of the partitions of a sound image.
std::vector<FlashPlacement> PlacementsOf(const std::vector<PartitionReport>& partitions);

// Streams the plan's range into the encoder and finishes it. Each partition
// is checked again as it is decoded (the file may have changed since). What
// went wrong, if anything: a problem of the image, or a failed write.
std::optional<std::string> StreamFlash(ByteSource& image,
                                       const std::vector<PartitionReport>& partitions,
                                       const FlashPlan& plan, FlashEncoder& encoder);

}  // namespace vantorel
