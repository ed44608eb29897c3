// The image writer. Bytes 0 to 155 are written last, so a file that lacks the
// magic at offset 0 is an image whose writing failed; and the image takes the
// output's name only once it is whole and durable (CommittedOutput).
#include "image/image_writer.h"

#include <algorithm>
#include <string_view>

#include "image/image_format.h"
#include "image/region_writer.h"
#include "image/writer_messages.h"
#include "machinery/sha1.h"
#include "platform/console.h"
#include "platform/host.h"
#include "platform/output_commit.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace vantorel {
namespace {

// The size field of a compressed region whose file's size cannot be told.
constexpr uint64_t kUnknownSize = ~uint64_t{0};

// Obtains the input buffer, then the output buffer; on failure (a memory
// failure) neither is kept.
Outcome AllocateWorkBuffers(WorkBuffers& buffers, BufferAllocator allocate) {
  buffers.input = AllocateBuffer(kChunkSize, allocate);
  if (buffers.input) buffers.output = AllocateBuffer(kEncodeCapacity, allocate);
  if (buffers.input && buffers.output) return {};
  buffers = {};
  return BuffersUnavailable();
}

// The size of an open partition file as a signed 32-bit value, printed on a
// line of its own; -1, printed nowhere, when it cannot be told. Files of
// 2 GiB or more are refused before it is asked.
int32_t QueryFileSize(const InputFile& file) {
  const auto size = file.Size();
  if (!size) return -1;
  const auto value = static_cast<int32_t>(*size);
  WriteLine(std::to_string(value));
  return value;
}

// Lays the partitions' regions out one after another, each checked against
// its entry's limits, and makes their entries.
class PartitionPacker {
 public:
  PartitionPacker(RegionWriter& regions, const LzmaEncoder& encoder,
                  std::optional<FileIdentity> outputIdentity)
      : regions_(regions), encoder_(encoder), outputIdentity_(outputIdentity) {}

  Outcome WritePartition(const PartitionSpec& partition, PartitionEntry& entry);

 private:
  Outcome WriteRegionHead(InputFile& file, RegionState& region);
  Outcome WriteRegion(InputFile& file, RegionState& region);
  Outcome CheckSizeField(const RegionState& region) const;

  RegionWriter& regions_;
  const LzmaEncoder& encoder_;
  std::optional<FileIdentity> outputIdentity_;
  uint64_t dataOffset_ = kFirstDataOffset;
  // Compressed partitions only: the size written into the region's header.
  uint64_t declaredSize_ = 0;
};

// A compressed region opens with the property bytes and the file's size.
Outcome PartitionPacker::WriteRegionHead(InputFile& file, RegionState& region) {
  const auto size = file.Size();
  if (size && *size > kMaxCompressedFileSize)
    return TooLargeToCompress(region.partition.path, size);
  if (const SRes result = encoder_.CheckAvailable(); result != SZ_OK) {
    return EncoderUnavailable(region.partition.path, result);
  }
  const int32_t queried = QueryFileSize(file);
  declaredSize_ = static_cast<uint64_t>(int64_t{queried});
  const auto head = SerializeLzmaPartitionHeader({kLzmaProperties, declaredSize_});
  return regions_.Append(region, head.data(), head.size());
}

Outcome PartitionPacker::WriteRegion(InputFile& file, RegionState& region) {
  if (region.partition.isCompressed != 1) {
    // Refused before a byte is read when the file's size already says so.
    const auto size = file.Size();
    if (size && dataOffset_ + *size + kSha1DigestSize > kMaxImageSize) {
      return ImageTooLarge(region.partition.path, size);
    }
    return regions_.WritePlainChunks(file, region);
  }
  Outcome outcome = WriteRegionHead(file, region);
  if (outcome.ok()) outcome = regions_.WriteCompressedChunks(file, region);
  return outcome;
}

// The size field of a compressed region must be the size of what was read,
// or the region's chunks could not be told apart.
Outcome PartitionPacker::CheckSizeField(const RegionState& region) const {
  if (region.partition.isCompressed != 1 || region.read == declaredSize_) return {};
  if (declaredSize_ == kUnknownSize) return SizeUnknown(region.partition.path);
  return SizeChanged(region.partition.path, region.read, declaredSize_);
}

Outcome PartitionPacker::WritePartition(const PartitionSpec& partition, PartitionEntry& entry) {
  InputFile file(partition.path);
  if (!file.IsOpen()) return InputOpenFailure(partition.path, file.OpenError());
  // Caught here whatever the path's spelling, and also when the output did
  // not exist before this run created it.
  if (outputIdentity_ && file.Identity() == outputIdentity_) {
    return OutputIsPartitionFile(partition.path);
  }
  RegionState region{partition, dataOffset_};
  Sha1Init(region.sha1);
  if (Outcome outcome = WriteRegion(file, region); !outcome.ok()) return outcome;
  if (Outcome outcome = regions_.FinishRegion(region); !outcome.ok()) return outcome;

  if (partition.partitionSize < region.read) {
    return PartitionTooSmall(partition.path, file.Size(), partition.partitionSize);
  }
  if (Outcome outcome = CheckSizeField(region); !outcome.ok()) return outcome;
  entry =
      MakePartitionEntry(static_cast<uint32_t>(dataOffset_), static_cast<uint32_t>(region.written),
                         partition.startAddress, partition.partitionSize,
                         static_cast<uint32_t>(partition.isCompressed));
  dataOffset_ = NextDataOffset(entry);
  return {};
}

// Refusals of the open output, before a byte of it changes: a file that is
// also an input, or standard output, or that another run is writing.
Outcome ClaimOutput(CommittedOutput& output, const std::string& outputPath,
                    const PartitionList& list, const std::wstring& configFile) {
  const auto identity = output.OutputIdentity();
  if (identity) {
    for (const PartitionSpec& partition : list) {
      if (IdentityOfPath(partition.path) == identity) return OutputIsPartitionFile(partition.path);
    }
    const auto configPath = NarrowText(configFile);
    if (!configFile.empty() && configPath && IdentityOfPath(*configPath) == identity) {
      return OutputIsConfigurationFile(*configPath);
    }
    // The null device keeps nothing of either, so `-o /dev/null >/dev/null`
    // is a dry run like any other.
    if (StandardOutputIdentity() == identity && NullDeviceIdentity() != identity) {
      return OutputIsStandardOutput(outputPath);
    }
  }
  if (!output.TryLock()) return OutputInUse(outputPath);
  if (!output.Truncate() || !output.File().SeekTo(kFirstDataOffset)) {
    return OutputWriteFailure(outputPath, LastSystemError());
  }
  return {};
}

Outcome WriteHeader(OutputFile& output, const std::string& outputPath, ImageHeader& header,
                    uint32_t partitionCount) {
  header.magic = kImageMagic;
  header.partitionCount = partitionCount;
  const ImageHeadBytes head = SerializeImageHead(header);
  if (!output.SeekTo(0) || !output.Write(head.data(), head.size())) {
    return OutputWriteFailure(outputPath, LastSystemError());
  }
  return {};
}

// The image takes the output's name only when every line printed so far
// arrived, so that a run that fails for its standard output leaves the
// output as it was.
Outcome CommitImage(CommittedOutput& output, const std::string& outputPath,
                    const std::function<bool()>& confirmSuccess) {
  if (StandardOutputFailure()) return OutputLeftForLostLines(outputPath, output.InPlace());
  if (!output.Commit()) {
    // Bytes copied through to an output that cannot seek.
    if (output.FailedStep() == OutputStep::kWrite) {
      return OutputWriteFailure(outputPath, output.FailedError());
    }
    return OutputCommitFailure(outputPath, OutputStepName(output.FailedStep()),
                               output.FailureText());
  }
  if (confirmSuccess && !confirmSuccess()) {
    output.Undo();
    return OutputLeftForLostLines(outputPath, output.InPlace());
  }
  output.Keep();
  return {};
}

// The bytes of all partition files, when every size can be told.
std::optional<uint64_t> TotalSize(const PartitionList& list) {
  uint64_t total = 0;
  for (const PartitionSpec& partition : list) {
    const auto size = SizeOfPath(partition.path);
    if (!size) return std::nullopt;
    total += *size;
  }
  return total;
}

// The regions in the order of `list`, then the header, and the image put in
// place.
Outcome WritePartitionsThenHeader(PartitionPacker& packer, const PartitionList& list,
                                  CommittedOutput& output, const std::string& outputPath,
                                  const WriterOptions& options) {
  ImageHeader header;
  Progress* progress = options.progress;
  if (progress) progress->Begin(list.size(), TotalSize(list));
  uint32_t filled = 0;
  for (const PartitionSpec& partition : list) {
    if (progress) progress->StartPartition(filled);
    if (Outcome outcome = packer.WritePartition(partition, header.entries[filled]); !outcome.ok()) {
      outcome.failure().where.partition = filled;
      return outcome;
    }
    ++filled;
  }
  if (Outcome outcome = WriteHeader(output.File(), outputPath, header, filled); !outcome.ok()) {
    return outcome;
  }
  return CommitImage(output, outputPath, options.confirmSuccess);
}

}  // namespace

Outcome PackImage(const PartitionList& list, const std::wstring& outputFile,
                  const WriterOptions& options) {
  const NarrowedPath narrowed = NarrowPath(outputFile);
  if (narrowed.outcome != PathNarrowing::kNarrowed) {
    WriteWideLine(L"Output File = " + outputFile);
    return UnusableOutputPath(outputFile, narrowed.outcome);
  }
  const std::string& outputPath = narrowed.path;
  WriteLine("Output File = " + outputPath);

  // The header has room for four entries: refused before the output is touched.
  if (list.size() > kMaxPartitions) return TooManyPartitions(list.size());
  // The header goes last: an output that cannot seek gets the image copied
  // through once it is whole.
  CommittedOutput output(outputPath, {.seeks = true, .locks = true, .inPlaceWhenRefused = true});
  if (!output.IsOpen()) {
    // A scratch copy that could not be made fails as a write would.
    if (output.FailedStep() == OutputStep::kCreate) {
      return OutputWriteFailure(outputPath, output.FailedError());
    }
    return OutputOpenFailure(outputPath, output.FailedError());
  }
  if (Outcome outcome = ClaimOutput(output, outputPath, list, options.configFile); !outcome.ok()) {
    return outcome;
  }
  WorkBuffers buffers;
  if (Outcome outcome = AllocateWorkBuffers(buffers, options.allocateBuffer); !outcome.ok()) {
    return outcome;
  }

  const LzmaEncoder encoder(options.lzmaAllocator);
  RegionWriter regions(output.File(), outputPath, buffers, encoder,
                       options.workers.value_or(ProcessorCount()), options.allocateBuffer,
                       options.progress);
  PartitionPacker packer(regions, encoder, output.OutputIdentity());
  Outcome outcome = WritePartitionsThenHeader(packer, list, output, outputPath, options);
  if (options.statistics) options.statistics->maxChunksInFlight = regions.maxChunksInFlight();
  return outcome;
}

}  // namespace vantorel
