// The image writer. Bytes 0 to 155 are written last, so a file that lacks the
// magic at offset 0 is an image whose writing failed; and the image takes the
// output's name only once it is whole and durable (CommittedOutput).
#include "image/image_writer.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "config/packing_failures.h"
#include "config/packing_rules.h"
#include "image/image_format.h"
#include "image/region_writer.h"
#include "image/writer_messages.h"
#include "machinery/sha1.h"
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

// The size of an open partition file as a signed 32-bit value, when it can
// be told (the region's header then holds -1). Files of 2 GiB or more are
// refused before it is asked.
std::optional<int32_t> QueryFileSize(const InputFile& file) {
  const auto size = file.Size();
  if (!size) return std::nullopt;
  return static_cast<int32_t>(*size);
}

// Lays the partitions' regions out one after another, each checked against
// its entry's limits, and makes their entries.
class PartitionPacker {
 public:
  PartitionPacker(RegionWriter& regions, const LzmaEncoder& encoder,
                  std::optional<FileIdentity> outputIdentity, WriterEvents* events)
      : regions_(regions), encoder_(encoder), outputIdentity_(outputIdentity), events_(events) {}

  // Partition `index` from its file, opened for the packing rules.
  Outcome WritePartition(std::size_t index, const PartitionSpec& partition, InputFile& file,
                         PartitionEntry& entry);

 private:
  Outcome WriteRegionHead(std::size_t index, InputFile& file, RegionState& region);
  Outcome WriteRegion(std::size_t index, InputFile& file, RegionState& region);
  Outcome CheckSizeField(const RegionState& region) const;

  RegionWriter& regions_;
  const LzmaEncoder& encoder_;
  std::optional<FileIdentity> outputIdentity_;
  WriterEvents* events_;
  uint64_t dataOffset_ = kFirstDataOffset;
  // Compressed partitions only: the size written into the region's header.
  uint64_t declaredSize_ = 0;
};

// A compressed region opens with the property bytes and the file's size.
// The packing rules refused a file too large already; one that grew since
// is refused here.
Outcome PartitionPacker::WriteRegionHead(std::size_t index, InputFile& file, RegionState& region) {
  const auto size = file.Size();
  if (size && *size > kMaxCompressedFileSize)
    return TooLargeToCompress(region.partition.path, size);
  if (const SRes result = encoder_.CheckAvailable(); result != SZ_OK) {
    return EncoderUnavailable(region.partition.path, result);
  }
  const std::optional<int32_t> queried = QueryFileSize(file);
  if (queried && events_) events_->CompressedFileSized(index, *queried);
  declaredSize_ = static_cast<uint64_t>(int64_t{queried.value_or(-1)});
  const auto head = SerializeLzmaPartitionHeader({kLzmaProperties, declaredSize_});
  return regions_.Append(region, head.data(), head.size());
}

Outcome PartitionPacker::WriteRegion(std::size_t index, InputFile& file, RegionState& region) {
  if (region.partition.isCompressed != 1) {
    // Refused before a byte is read when the file's size already says so:
    // the packing rules count compressed regions before it at their least.
    const auto size = file.Size();
    if (size && dataOffset_ + *size + kSha1DigestSize > kMaxImageSize) {
      return ImageTooLarge(region.partition.path, size);
    }
    return regions_.WritePlainChunks(file, region);
  }
  Outcome outcome = WriteRegionHead(index, file, region);
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

Outcome PartitionPacker::WritePartition(std::size_t index, const PartitionSpec& partition,
                                        InputFile& file, PartitionEntry& entry) {
  // Caught here whatever the path's spelling, and also when the output did
  // not exist before this run created it.
  if (outputIdentity_ && file.Identity() == outputIdentity_) {
    return OutputIsPartitionFile(partition.path);
  }
  RegionState region{partition, dataOffset_};
  Sha1Init(region.sha1);
  if (Outcome outcome = WriteRegion(index, file, region); !outcome.ok()) return outcome;
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
                    const WriterOptions& options) {
  const auto linesLost = [&] { return options.linesLost && options.linesLost(); };
  if (linesLost()) return OutputLeftForLostLines(outputPath, output.InPlace());
  if (!output.Commit()) {
    // Bytes copied through to an output that cannot seek.
    if (output.FailedStep() == OutputStep::kWrite) {
      return OutputWriteFailure(outputPath, output.FailedError());
    }
    return OutputCommitFailure(outputPath, OutputStepName(output.FailedStep()),
                               output.FailureText());
  }
  if (options.confirmSuccess) {
    Outcome confirmed = options.confirmSuccess();
    if (!confirmed.ok() || linesLost()) {
      output.Undo();
      return confirmed.ok() ? OutputLeftForLostLines(outputPath, output.InPlace()) : confirmed;
    }
  }
  output.Keep();
  return {};
}

// The partition files, each opened once for the packing rules and kept open
// for the writing, so that the file checked is the file read and a pipe is
// opened only once.
using PartitionFiles = std::vector<std::unique_ptr<InputFile>>;

// The bytes of all partition files, when every size can be told.
std::optional<uint64_t> TotalSize(const PartitionFiles& files) {
  uint64_t total = 0;
  for (const auto& file : files) {
    const auto size = file->Size();
    if (!size) return std::nullopt;
    total += *size;
  }
  return total;
}

// The regions in the order of `list`, then the header, and the image put in
// place.
Outcome WritePartitionsThenHeader(PartitionPacker& packer, const PartitionList& list,
                                  const PartitionFiles& files, CommittedOutput& output,
                                  const std::string& outputPath, const WriterOptions& options) {
  ImageHeader header;
  Progress* progress = options.progress;
  if (progress) progress->Begin(list.size(), TotalSize(files));
  uint32_t filled = 0;
  for (const PartitionSpec& partition : list) {
    if (progress) progress->StartPartition(filled);
    if (Outcome outcome =
            packer.WritePartition(filled, partition, *files[filled], header.entries[filled]);
        !outcome.ok()) {
      outcome.failure().where.partition = filled;
      return outcome;
    }
    ++filled;
  }
  if (Outcome outcome = WriteHeader(output.File(), outputPath, header, filled); !outcome.ok()) {
    return outcome;
  }
  return CommitImage(output, outputPath, options);
}

}  // namespace

Outcome PackImage(const PartitionList& list, const std::wstring& outputFile,
                  const WriterOptions& options) {
  const NarrowedPath narrowed = NarrowPath(outputFile);
  if (options.events) options.events->OutputNamed(outputFile, narrowed);
  if (narrowed.narrowing != PathNarrowing::kNarrowed) {
    return UnusableOutputPath(outputFile, narrowed.narrowing);
  }
  const std::string& outputPath = narrowed.path;

  // Whatever the rules refuse costs nothing: the output is not opened yet.
  PartitionFiles files;
  const auto openFile = [&](std::size_t index) {
    files.push_back(std::make_unique<InputFile>(list[index].path));
    return FactsOf(*files.back());
  };
  if (Outcome outcome = CheckPackingRules(list, openFile); !outcome.ok()) return outcome;
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
  PartitionPacker packer(regions, encoder, output.OutputIdentity(), options.events);
  Outcome outcome = WritePartitionsThenHeader(packer, list, files, output, outputPath, options);
  if (options.statistics) options.statistics->maxChunksInFlight = regions.maxChunksInFlight();
  return outcome;
}

}  // namespace vantorel
