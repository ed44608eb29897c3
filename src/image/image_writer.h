// Writes the update image from the partition list: each partition copied or
// compressed chunk by chunk with its digest, the header and its digest last.
// The writer prints nothing: it tells its caller what it writes to and of
// each compressed file's size (WriterEvents), from which the packer prints
// its lines.
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
#include "platform/text.h"

namespace vantorel {

// What a run of the writer measured, for tests and benchmarks.
struct WriterStatistics {
  // Chunks of a compressed partition handed to the workers and not yet
  // written, at most: as many as there are workers, up to the chunks there are.
  unsigned maxChunksInFlight = 0;
};

// What the writer tells as it goes, in this order.
class WriterEvents {
 public:
  virtual ~WriterEvents() = default;

  // The image goes to `outputFile`, whose narrow form `narrowed` is the
  // path opened (unless it has none, which fails the run). Told before
  // anything is checked or opened.
  virtual void OutputNamed(const std::wstring& outputFile, const NarrowedPath& narrowed) = 0;
  // Compressed partition `index` begins; its region's header gives its
  // file's size as `size`, which is told only when it can be told.
  virtual void CompressedFileSized(std::size_t index, int32_t size) = 0;
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
  // Told of what the writer does; none: nobody is.
  WriterEvents* events = nullptr;
  // Filled in when given, whatever the outcome.
  WriterStatistics* statistics = nullptr;
  // Called once the image is in place and durable, while it can still be
  // undone: what must stand beside it (a dependency file) and the run's
  // success line go here. A failure, or a line that does not arrive, brings
  // the previous output back and fails the run, so that no failed run
  // leaves a new image.
  std::function<Outcome()> confirmSuccess;
  // Whether a line the run printed did not arrive, asked before the commit
  // and after the confirmation: the image then does not stay.
  std::function<bool()> linesLost;
  // Seams for tests that make allocations fail.
  BufferAllocator allocateBuffer = std::malloc;
  ISzAlloc* lzmaAllocator = &HeapAllocator;
};

// Writes the image of `list` to `outputFile`. Before the output is opened
// each partition file is opened, once, and the packing rules
// (config/packing_rules.h) are checked, so that a list they refuse leaves
// the output untouched; the files opened then are the ones read, and the
// writer still refuses a file that grows or changes while it is read.
// Succeeds only when the whole image, header last, is durable under the
// output's name and every line printed so far arrived (when one did not,
// the failure says so); otherwise the failure names the partition by its
// index, the output then as it was before the run (written in place, a
// device that can seek holds what was written so far; one that cannot gets
// nothing). Throws std::bad_alloc when memory runs out elsewhere than in the
// work buffers.
Outcome PackImage(const PartitionList& list, const std::wstring& outputFile,
                  const WriterOptions& options = {});

}  // namespace vantorel
