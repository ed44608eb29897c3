// Comparing two images and showing what changed, as text and as JSON.
#include "programs/vantorel-inspect/image_diff.h"

#include <algorithm>

#include "common/hex.h"
#include "flash/flash_plan.h"
#include "programs/vantorel-inspect/json.h"

namespace vantorel {
namespace {

std::string Digest(const PartitionReport& p) {
  return p.originalDigest ? HexDigits(*p.originalDigest) : "-";
}

std::string Bytes(const PartitionReport& p) {
  return std::to_string(p.originalSize.value_or(0)) + " bytes";
}

std::string Place(const PartitionReport& p) {
  return RangeText(RangeOf(p.entry.startAddress, p.entry.partitionSize));
}

std::string Storage(const PartitionReport& p) {
  return std::string(p.entry.isCompressed ? "compressed" : "plain") + ", " +
         std::to_string(p.entry.dataLength) + " bytes stored";
}

std::string Kinds(const PartitionChange& c) {
  if (!c.before) return "added";
  if (!c.after) return "removed";
  if (c.Unchanged()) return "unchanged";
  std::string kinds;
  if (c.contentChanged) kinds += "content changed";
  if (c.moved) kinds += std::string(kinds.empty() ? "" : ", ") + "moved";
  if (c.compressionChanged) kinds += std::string(kinds.empty() ? "" : ", ") + "compression changed";
  return kinds;
}

std::string ChangeText(const PartitionChange& c) {
  std::string text = "partition " + std::to_string(c.index) + ": " + Kinds(c);
  const PartitionReport* only = c.before && c.after ? nullptr : c.before ? &*c.before : &*c.after;
  if (only) return text + " (" + Bytes(*only) + ", " + Place(*only) + ")\n";
  if (c.Unchanged()) return text + " (" + Bytes(*c.after) + ")\n";
  const PartitionReport& b = *c.before;
  const PartitionReport& a = *c.after;
  text += "\n  content: " + Bytes(b) + " " + Digest(b) + " -> " + Bytes(a) + " " + Digest(a);
  text += "\n  flash:   " + Place(b) + " -> " + Place(a);
  text += "\n  stored:  " + Storage(b) + " -> " + Storage(a) + "\n";
  return text;
}

Json SideJson(const std::optional<PartitionReport>& p) {
  if (!p) return Json();
  return Json::Object()
      .Add("startAddress", p->entry.startAddress)
      .Add("partitionSize", p->entry.partitionSize)
      .Add("compressed", p->entry.isCompressed != 0)
      .Add("dataLength", p->entry.dataLength)
      .Add("originalSize", p->originalSize.value_or(0))
      .Add("sha1", Digest(*p));
}

Json ChangeJson(const PartitionChange& c) {
  return Json::Object()
      .Add("index", c.index)
      .Add("change", Kinds(c))
      .Add("contentChanged", c.contentChanged)
      .Add("moved", c.moved)
      .Add("compressionChanged", c.compressionChanged)
      .Add("old", SideJson(c.before))
      .Add("new", SideJson(c.after));
}

}  // namespace

bool PartitionChange::Unchanged() const {
  return before && after && !contentChanged && !moved && !compressionChanged;
}

bool ImageDiff::Same() const {
  return std::all_of(partitions.begin(), partitions.end(),
                     [](const PartitionChange& c) { return c.Unchanged(); });
}

ImageDiff DiffImages(const ImageReport& before, const ImageReport& after) {
  ImageDiff diff;
  const std::size_t count = std::max(before.partitions.size(), after.partitions.size());
  for (std::size_t i = 0; i < count; ++i) {
    PartitionChange change{.index = i};
    if (i < before.partitions.size()) change.before = before.partitions[i];
    if (i < after.partitions.size()) change.after = after.partitions[i];
    if (change.before && change.after) {
      const PartitionReport& b = *change.before;
      const PartitionReport& a = *change.after;
      change.contentChanged =
          b.originalSize != a.originalSize || b.originalDigest != a.originalDigest;
      change.moved = b.entry.startAddress != a.entry.startAddress ||
                     b.entry.partitionSize != a.entry.partitionSize;
      change.compressionChanged = b.entry.isCompressed != a.entry.isCompressed;
    }
    diff.partitions.push_back(std::move(change));
  }
  return diff;
}

std::string FormatDiffText(const ImageDiff& diff) {
  std::string text = "old: " + diff.beforePath + "\nnew: " + diff.afterPath + "\n\n";
  for (const PartitionChange& c : diff.partitions) text += ChangeText(c);
  return text + (diff.Same() ? "\nimages are the same\n" : "\nimages differ\n");
}

std::string FormatDiffJson(const ImageDiff& diff) {
  Json partitions = Json::Array();
  for (const PartitionChange& c : diff.partitions) partitions.Push(ChangeJson(c));
  return Json::Object()
      .Add("old", diff.beforePath)
      .Add("new", diff.afterPath)
      .Add("same", diff.Same())
      .Add("partitions", std::move(partitions))
      .Document();
}

}  // namespace vantorel
