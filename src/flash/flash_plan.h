// The address plan of a flash file: which bytes of which partition, and how
// much fill, lie at every address of the output range, in address order.
// Pure: it reads nothing and writes nothing, so that every layout rule is
// decided here, before a file is created.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/flash_layout.h"

namespace vantorel {

// One partition as the flash receives it.
struct FlashPlacement {
  uint32_t startAddress = 0;
  uint32_t partitionSize = 0;
  uint64_t originalSize = 0;  // its decoded bytes, at most partitionSize
};

// The output range asked for on the command line.
struct FlashWindow {
  std::optional<uint64_t> base;  // default: the lowest start address
  std::optional<uint64_t> size;  // default: up to the end of the highest range
};

// A run of output bytes: a partition's decoded bytes, or fill.
struct FlashSpan {
  uint64_t address = 0;
  uint64_t length = 0;
  std::optional<std::size_t> partition;  // none: fill
};

struct FlashPlan {
  uint64_t base = 0;
  uint64_t end = 0;              // one past the last output byte
  std::vector<FlashSpan> spans;  // in address order, covering [base, end)
  std::string refusal;           // non-empty: no plan, and why (both ranges named)
};

// The plan for the partitions (by index) in the window. Refused when two
// ranges [startAddress, startAddress + partitionSize) overlap, when one runs
// past 4 GiB, or when one does not lie wholly within the window. Ranges of
// zero bytes hold nothing and lie nowhere.
FlashPlan PlanFlash(const std::vector<FlashPlacement>& partitions, const FlashWindow& window);

}  // namespace vantorel
