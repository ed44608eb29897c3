// The image reader: the header and the entries, checked in order on the
// calling thread, then the regions, one partition per worker. Regions follow
// each other without gaps once the entries are checked, so together they
// read the whole file once.
#include "image/image_reader.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <span>

#include "common/hex.h"
#include "image/region_check.h"
#include "machinery/worker_pool.h"
#include "platform/system_error.h"

namespace vantorel {
namespace {

void LowerTo(std::atomic<std::size_t>& value, std::size_t candidate) {
  std::size_t current = value;
  while (candidate < current && !value.compare_exchange_weak(current, candidate)) {
  }
}

// One read of an image, its findings kept in the report it fills.
class ImageReader {
 public:
  ImageReader(ByteSource& source, const ReadImageOptions& options, ImageReport& report)
      : source_(source), options_(options), report_(report) {}

  // Checks the header and the entries; false after recording a problem.
  bool CheckHeader();
  // Checks every region; the first problem in partition order is recorded.
  void CheckRegions();

 private:
  // Record the problem; false, for the check that meets it to return.
  bool Fail(uint64_t offset, std::string what, std::string expected, std::string found);
  bool FailEntry(std::size_t index, EntryField field, std::string expected, uint32_t found);
  bool CheckEntries(const ImageHeader& header);

  ByteSource& source_;
  const ReadImageOptions& options_;
  ImageReport& report_;
};

bool ImageReader::Fail(uint64_t offset, std::string what, std::string expected, std::string found) {
  report_.problem = Problem{offset, std::move(what), std::move(expected), std::move(found)};
  return false;
}

bool ImageReader::FailEntry(std::size_t index, EntryField field, std::string expected,
                            uint32_t found) {
  static constexpr const char* kNames[kEntryFields] = {
      "dataOffset",   "startAddress", "dataLength",   "partitionSize",
      "digestOffset", "digestLength", "isCompressed", "reserved"};
  return Fail(EntryFieldOffset(index, field),
              "entry " + std::to_string(index) + " " + kNames[static_cast<std::size_t>(field)],
              std::move(expected), std::to_string(found));
}

bool ImageReader::CheckEntries(const ImageHeader& header) {
  uint64_t expectedOffset = kFirstDataOffset;
  for (std::size_t i = 0; i < kMaxPartitions; ++i) {
    const PartitionEntry& e = header.entries[i];
    if (i >= header.partitionCount) {
      const auto words = EntryWords(e);
      for (std::size_t w = 0; w < kEntryFields; ++w) {
        if (words[w] != 0)
          return FailEntry(i, static_cast<EntryField>(w), "0 (an unused entry)", words[w]);
      }
      continue;
    }
    if (e.dataOffset != expectedOffset) {
      return FailEntry(i, EntryField::kDataOffset, std::to_string(expectedOffset), e.dataOffset);
    }
    const uint64_t digestOffset = uint64_t{e.dataOffset} + e.dataLength;
    if (e.digestOffset != digestOffset) {
      return FailEntry(i, EntryField::kDigestOffset,
                       std::to_string(digestOffset) + " (dataOffset + dataLength)", e.digestOffset);
    }
    if (e.digestLength != kSha1DigestSize) {
      return FailEntry(i, EntryField::kDigestLength, std::to_string(kSha1DigestSize),
                       e.digestLength);
    }
    if (e.isCompressed > 1)
      return FailEntry(i, EntryField::kIsCompressed, "0 or 1", e.isCompressed);
    if (e.reserved != 0) return FailEntry(i, EntryField::kReserved, "0", e.reserved);
    if (uint64_t{e.digestOffset} + kSha1DigestSize > report_.fileSize) {
      return Fail(report_.fileSize, "partition " + std::to_string(i) + " region and digest",
                  "a file of at least " +
                      std::to_string(uint64_t{e.digestOffset} + kSha1DigestSize) + " bytes",
                  std::to_string(report_.fileSize) + " bytes");
    }
    expectedOffset = uint64_t{e.digestOffset} + kSha1DigestSize;
  }
  if (report_.fileSize != expectedOffset) {
    return Fail(expectedOffset, "file size",
                std::to_string(expectedOffset) + " bytes (after the last digest)",
                std::to_string(report_.fileSize) + " bytes");
  }
  return true;
}

bool ImageReader::CheckHeader() {
  report_.fileSize = source_.Size();
  ImageHeaderBytes headerBytes{};
  const std::size_t headLength =
      static_cast<std::size_t>(std::min<uint64_t>(report_.fileSize, kFirstDataOffset));
  uint8_t head[kFirstDataOffset] = {};
  const auto n = source_.ReadAt(0, head, headLength);
  if (!n) {
    report_.ioFailure = Error(FailureKind::kIo, "cannot read the image at offset 0")
                            .At({.offset = 0})
                            .Because(LastSystemErrorText());
    return false;
  }
  if (*n != headLength) {
    return Fail(*n, "end of file", std::to_string(headLength) + " more bytes",
                std::to_string(*n) + " bytes (the file changed while it was read)");
  }
  std::copy_n(head, std::min(headLength, headerBytes.size()), headerBytes.begin());

  const std::size_t magicSize = kImageMagicBytes.size();
  report_.hasMagic =
      headLength >= magicSize && std::equal(kImageMagicBytes.begin(), kImageMagicBytes.end(), head);
  if (!report_.hasMagic) {
    return Fail(0, "magic (an unfinished image: the packer writes the header last)",
                Hex(kImageMagicBytes),
                headLength >= magicSize ? Hex({head, magicSize})
                                        : "a file of " + std::to_string(headLength) + " bytes");
  }
  if (headLength < kFirstDataOffset) {
    return Fail(headLength, "header and its digest", std::to_string(kFirstDataOffset) + " bytes",
                std::to_string(headLength) + " bytes");
  }
  const ImageHeader header = ParseImageHeader(headerBytes);
  report_.partitionCount = header.partitionCount;
  if (header.partitionCount > kMaxPartitions) {
    return Fail(kPartitionCountOffset, "partitionCount",
                "at most " + std::to_string(kMaxPartitions), std::to_string(header.partitionCount));
  }
  for (std::size_t i = 0; i < header.partitionCount; ++i) {
    report_.partitions.push_back({.index = i, .entry = header.entries[i]});
  }
  if (!CheckEntries(header)) return false;

  const Sha1Digest digest = Sha1Of(head, kImageHeaderSize);
  const std::span<const uint8_t> stored(head + kImageHeaderSize, kSha1DigestSize);
  report_.headerDigest = std::equal(stored.begin(), stored.end(), digest.begin())
                             ? DigestStatus::kOk
                             : DigestStatus::kBad;
  if (report_.headerDigest == DigestStatus::kBad) {
    return Fail(kImageHeaderSize, "header digest", Hex(digest), Hex(stored));
  }
  return true;
}

void ImageReader::CheckRegions() {
  std::atomic<std::size_t> firstUnsound = report_.partitions.size();
  RegionCheckContext context{source_, options_, firstUnsound};
  std::vector<RegionOutcome> outcomes(report_.partitions.size());
  {
    WorkerPool pool(options_.workers);
    std::vector<TaskHandle> checks;
    for (PartitionReport& partition : report_.partitions) {
      checks.push_back(pool.Submit([this, &context, &partition, &outcomes, &firstUnsound] {
        if (options_.progress) options_.progress->StartPartition(partition.index);
        outcomes[partition.index] = CheckRegion(context, partition);
        if (outcomes[partition.index].Failed()) LowerTo(firstUnsound, partition.index);
      }));
    }
    for (TaskHandle& check : checks) check.Join();
  }
  // Checks that could not get their memory while others ran get it now, one
  // at a time and with every worker gone: the verdict must not depend on the
  // number of workers.
  for (PartitionReport& partition : report_.partitions) {
    RegionOutcome& outcome = outcomes[partition.index];
    if (!outcome.lackedMemory || partition.index > firstUnsound) continue;
    partition = PartitionReport{.index = partition.index, .entry = partition.entry};
    outcome = CheckRegion(context, partition);
    if (outcome.lackedMemory) throw std::bad_alloc();
    if (outcome.Failed()) LowerTo(firstUnsound, partition.index);
  }
  for (RegionOutcome& outcome : outcomes) {
    if (outcome.sinkFailure && !report_.sinkFailure) report_.sinkFailure = outcome.sinkFailure;
  }
  // What a reader that stops at the first problem would report.
  const std::size_t first = firstUnsound;
  if (first == report_.partitions.size()) return;
  report_.problem = std::move(outcomes[first].problem);
  report_.ioFailure = std::move(outcomes[first].ioFailure);
  for (std::size_t i = first + 1; i < report_.partitions.size(); ++i) {
    PartitionReport& later = report_.partitions[i];
    later = PartitionReport{.index = later.index, .entry = later.entry};
  }
}

}  // namespace

ImageReport ReadImage(ByteSource& source, const ReadImageOptions& options) {
  ImageReport report;
  if (!ImageReader(source, options, report).CheckHeader()) return report;
  if (options.progress) {
    uint64_t total = 0;
    for (const PartitionReport& p : report.partitions) total += p.entry.dataLength;
    options.progress->Begin(report.partitions.size(), total);
  }
  ReadImageOptions regionOptions = options;
  if (options.sink && !options.sink->Prepare(report)) regionOptions.sink = nullptr;
  ImageReader(source, regionOptions, report).CheckRegions();
  return report;
}

}  // namespace vantorel
