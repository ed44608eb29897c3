// The check of one partition's region and digest, run on a worker: the
// region read in pieces, hashed, and (compressed) decoded chunk by chunk to
// exactly the size its head gives; its original bytes handed to the sink
// and, when asked, digested.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>

#include "image/image_reader.h"

namespace vantorel {

struct RegionCheckContext {
  ByteSource& source;
  const ReadImageOptions& options;
  // The lowest index of a partition found unsound so far; a check of a later
  // partition may stop early, since its outcome will not be reported.
  std::atomic<std::size_t>& firstUnsound;
};

struct RegionOutcome {
  std::optional<Problem> problem;         // the first one met; none when sound
  std::optional<Diagnostic> ioFailure;    // in its place, a read the system failed
  std::optional<Diagnostic> sinkFailure;  // beside them, a write to the sink the system failed
  bool lackedMemory = false;              // no verdict: the check could not get its memory

  bool Failed() const { return problem || ioFailure; }
};

// Checks the region and digest of `partition` (whose entry is already known
// to lie within the file), filling its report. An abandoned check returns a
// problem too, which the caller drops. Never throws for what the image
// holds.
RegionOutcome CheckRegion(RegionCheckContext& context, PartitionReport& partition);

}  // namespace vantorel
