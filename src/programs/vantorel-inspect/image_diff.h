// What changed between two sound images, partition by partition, matched by
// index: content (the SHA-1 of the decoded bytes), place in flash (start
// address or size), compression; partitions added or removed. Pure.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace vantorel {

struct PartitionChange {
  std::size_t index = 0;
  // The partition in the old and in the new image; one is missing when the
  // partition was added or removed. Both carry originalDigest.
  std::optional<PartitionReport> before;
  std::optional<PartitionReport> after;
  bool contentChanged = false;
  bool moved = false;
  bool compressionChanged = false;

  bool Unchanged() const;
};

struct ImageDiff {
  std::string beforePath;  // UTF-8
  std::string afterPath;   // UTF-8
  std::vector<PartitionChange> partitions;

  bool Same() const;
};

// Both reports are of sound images read with digestOriginals.
ImageDiff DiffImages(const ImageReport& before, const ImageReport& after);

// Both print nothing and cannot fail.
std::string FormatDiffText(const ImageDiff& diff);
std::string FormatDiffJson(const ImageDiff& diff);

}  // namespace vantorel
