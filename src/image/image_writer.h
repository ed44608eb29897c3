// Writes the update image from the partition list: each partition copied or
// compressed chunk by chunk with its digest, the header and its digest last.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "config/partition_spec.h"
#include "image/image_format.h"
#include "image/lzma_adapter.h"
#include "image/region_writer.h"
#include "image/writer_status.h"
#include "platform/files.h"

namespace vantorel {

struct WriterOptions {
  // Refused as the output path, like every partition file.
  std::wstring configFile;
  // Worker threads for encoding and hashing; none: one per processor core.
  // 0 does everything on the calling thread. The image is the same for all.
  std::optional<unsigned> threads;
  // Seams for tests that make allocations fail.
  BufferAllocator allocateBuffer = std::malloc;
  ISzAlloc* lzmaAllocator = &HeapAllocator;
};

// Obtains the input buffer, then the output buffer; 1 after printing why not.
int AllocateWorkBuffers(WorkBuffers& buffers, BufferAllocator allocate = std::malloc);

// The size of an open partition file as a signed 32-bit value, printed on a
// line of its own; -1, printed nowhere, when it cannot be told.
int32_t QueryFileSize(const InputFile& file);

// Fills `header` in place and returns one of the statuses above.
int ImageWriter(const PartitionList& list, ImageHeader& header, const std::wstring& outputFile,
                const WriterOptions& options = {});

}  // namespace vantorel
