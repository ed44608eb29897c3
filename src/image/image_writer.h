// Writes the update image from the partition list: each partition copied or
// compressed chunk by chunk with its digest, the header and its digest last.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "common/diagnostic.h"
#include "config/partition_spec.h"
#include "machinery/buffer.h"
#include "machinery/lzma_codec.h"
#include "machinery/progress.h"

namespace vantorel {

// What a run of the writer measured, for tests and benchmarks.
struct WriterStatistics {
  // Chunks of a compressed partition handed to the workers and not yet
  // written, at most: as many as there are workers, up to the chunks there are.
  unsigned maxChunksInFlight = 0;
};

struct WriterOptions {
  // Refused as the output path, like every partition file.
  std::wstring configFile;
  // Workers for encoding and hashing, and so chunks in flight; none: one per
  // processor. 0 does everything on the calling thread. The image is the
  // same for every number.
  std::optional<unsigned> workers;
  // Told of the partitions and bytes as they are done; none: nothing shown.
  Progress* progress = nullptr;
  // Filled in when given, whatever the outcome.
  WriterStatistics* statistics = nullptr;
  // Called once the image is in place and durable: the run's success line
  // goes here. False (the line did not arrive) puts the previous output
  // back and fails the run, so that no failed run leaves a new image.
  std::function<bool()> confirmSuccess;
  // Seams for tests that make allocations fail.
  BufferAllocator allocateBuffer = std::malloc;
  ISzAlloc* lzmaAllocator = &HeapAllocator;
};

// Writes the image of `list` to `outputFile`, printing the "Output File = "
// line and a size line per compressed partition.
// Succeeds only when the whole image, header last, is durable under the
// output's name and every line printed so far arrived (when one did not,
// the failure says so); otherwise the failure names the partition by its
// index, the output then
// as it was before the run (written in place, a device that can seek holds
// what was written so far; one that cannot gets nothing). Throws
// std::bad_alloc when memory runs out elsewhere than in the work buffers.
Outcome PackImage(const PartitionList& list, const std::wstring& outputFile,
                  const WriterOptions& options = {});

}  // namespace vantorel
