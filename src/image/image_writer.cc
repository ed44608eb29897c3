// The image writer. Bytes 0 to 155 are written last, so a file that lacks the
// magic at offset 0 is an image whose writing failed; and the image takes the
// output's name only once it is whole and durable (CommittedOutput).
#include "image/image_writer.h"

#include <algorithm>
#include <string_view>

#include "image/sha1.h"
#include "image/writer_messages.h"
#include "platform/console.h"
#include "platform/output_commit.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace vantorel {
namespace {

// The size field of a compressed region whose file's size cannot be told.
constexpr uint64_t kUnknownSize = ~uint64_t{0};

class ImageRun {
 public:
  ImageRun(RegionWriter& regions, ISzAlloc* lzmaAllocator,
           std::optional<FileIdentity> outputIdentity)
      : regions_(regions), adapter_(lzmaAllocator), outputIdentity_(outputIdentity) {}

  int WritePartition(const PartitionSpec& partition, PartitionEntry& entry);

 private:
  int WriteRegionHead(InputFile& file, RegionState& region);
  int WriteRegion(InputFile& file, RegionState& region);
  int CheckSizeField(const RegionState& region) const;

  RegionWriter& regions_;
  LzmaEncoderAdapter adapter_;
  std::optional<FileIdentity> outputIdentity_;
  uint64_t dataOffset_ = kFirstDataOffset;
  // Compressed partitions only: the size written into the region's header.
  uint64_t declaredSize_ = 0;
};

// A compressed region opens with the property bytes and the file's size.
int ImageRun::WriteRegionHead(InputFile& file, RegionState& region) {
  const auto size = file.Size();
  if (size && *size > kMaxCompressedFileSize) {
    ReportTooLargeToCompress(region.partition.path, size);
    return kImageLimitExceeded;
  }
  LzmaProperties properties{};
  if (adapter_.BeginPartition(properties) != SZ_OK) return kCompressionFailed;
  const int32_t queried = QueryFileSize(file);
  declaredSize_ = static_cast<uint64_t>(int64_t{queried});
  const auto head = SerializeLzmaPartitionHeader({properties, declaredSize_});
  return regions_.Append(region, head.data(), head.size());
}

int ImageRun::WriteRegion(InputFile& file, RegionState& region) {
  if (region.partition.isCompressed != 1) {
    // Refused before a byte is read when the file's size already says so.
    const auto size = file.Size();
    if (size && dataOffset_ + *size + kSha1DigestSize > kMaxImageSize) {
      ReportImageTooLarge(region.partition.path, size);
      return kImageLimitExceeded;
    }
    return regions_.WritePlainChunks(file, region);
  }
  int status = WriteRegionHead(file, region);
  if (status == kWriterOk) status = regions_.WriteCompressedChunks(file, region);
  adapter_.EndPartition();
  return status;
}

// The size field of a compressed region must be the size of what was read,
// or the region's chunks could not be told apart.
int ImageRun::CheckSizeField(const RegionState& region) const {
  if (region.partition.isCompressed != 1 || region.read == declaredSize_) return kWriterOk;
  if (declaredSize_ == kUnknownSize) {
    ReportSizeUnknown(region.partition.path);
  } else {
    ReportSizeChanged(region.partition.path, region.read, declaredSize_);
  }
  return kFileUnavailable;
}

int ImageRun::WritePartition(const PartitionSpec& partition, PartitionEntry& entry) {
  InputFile file(partition.path);
  if (!file.IsOpen()) {
    ReportInputOpenFailure(partition.path);
    return kFileUnavailable;
  }
  // Caught here whatever the path's spelling, and also when the output did
  // not exist before this run created it.
  if (outputIdentity_ && file.Identity() == outputIdentity_) {
    ReportOutputIsPartitionFile(partition.path);
    return kFileUnavailable;
  }
  RegionState region{partition, dataOffset_};
  Sha1Init(region.sha1);
  if (const int status = WriteRegion(file, region)) return status;
  if (const int status = regions_.FinishRegion(region)) return status;

  if (partition.partitionSize < region.read) {
    ReportPartitionTooSmall();
    return kPartitionTooSmall;
  }
  if (const int status = CheckSizeField(region)) return status;
  entry =
      MakePartitionEntry(static_cast<uint32_t>(dataOffset_), static_cast<uint32_t>(region.written),
                         partition.startAddress, partition.partitionSize,
                         static_cast<uint32_t>(partition.isCompressed));
  dataOffset_ = NextDataOffset(entry);
  return kWriterOk;
}

// Refusals of the open output, before a byte of it changes: a file that is
// also an input, or standard output, or that another run is writing.
int ClaimOutput(CommittedOutput& output, const std::string& outputPath, const PartitionList& list,
                const std::wstring& configFile) {
  const auto identity = output.OutputIdentity();
  if (identity) {
    for (const PartitionSpec& partition : list) {
      if (IdentityOfPath(partition.path) == identity) {
        ReportOutputIsPartitionFile(partition.path);
        return kFileUnavailable;
      }
    }
    const auto configPath = NarrowText(configFile);
    if (!configFile.empty() && configPath && IdentityOfPath(*configPath) == identity) {
      ReportOutputIsConfigurationFile(*configPath);
      return kFileUnavailable;
    }
    if (StandardOutputIdentity() == identity) {
      ReportOutputIsStandardOutput(outputPath);
      return kFileUnavailable;
    }
  }
  if (!output.TryLock()) {
    ReportOutputInUse(outputPath);
    return kFileUnavailable;
  }
  if (!output.Truncate() || !output.File().SeekTo(kFirstDataOffset)) {
    ReportOutputWriteFailure(outputPath);
    return kOutputWriteFailed;
  }
  return kWriterOk;
}

int WriteHeader(OutputFile& output, const std::string& outputPath, ImageHeader& header,
                uint32_t partitionCount) {
  header.magic = kImageMagic;
  header.partitionCount = partitionCount;
  const ImageHeadBytes head = SerializeImageHead(header);
  if (!output.SeekTo(0) || !output.Write(head.data(), head.size())) {
    ReportOutputWriteFailure(outputPath);
    return kOutputWriteFailed;
  }
  return kWriterOk;
}

// The image takes the output's name only when every line printed so far
// arrived, so that a run that fails for its standard output leaves the
// output as it was. The run says why on standard error.
int CommitImage(CommittedOutput& output, const std::string& outputPath) {
  if (StandardOutputFailure()) return kOutputWriteFailed;
  if (!output.Commit()) {
    ReportOutputCommitFailure(outputPath, output.FailedStep(), output.FailureText());
    return kOutputWriteFailed;
  }
  return kWriterOk;
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

int WriteImage(ImageRun& run, const PartitionList& list, ImageHeader& header,
               CommittedOutput& output, const std::string& outputPath, Progress* progress) {
  if (progress) progress->Begin(list.size(), TotalSize(list));
  uint32_t filled = 0;
  for (const PartitionSpec& partition : list) {
    if (progress) progress->StartPartition(filled);
    if (const int status = run.WritePartition(partition, header.entries[filled])) return status;
    ++filled;
  }
  if (const int status = WriteHeader(output.File(), outputPath, header, filled)) return status;
  return CommitImage(output, outputPath);
}

}  // namespace

int AllocateWorkBuffers(WorkBuffers& buffers, BufferAllocator allocate) {
  buffers.input = AllocateBuffer(kChunkSize, allocate);
  if (buffers.input) buffers.output = AllocateBuffer(kEncodeCapacity, allocate);
  if (buffers.input && buffers.output) return kWriterOk;
  buffers = {};
  ReportBuffersUnavailable();
  return kBuffersUnavailable;
}

int32_t QueryFileSize(const InputFile& file) {
  const auto size = file.Size();
  if (!size) return -1;
  const auto value = static_cast<int32_t>(*size);
  WriteLine(std::to_string(value));
  return value;
}

int ImageWriter(const PartitionList& list, ImageHeader& header, const std::wstring& outputFile,
                const WriterOptions& options) {
  const NarrowedPath narrowed = NarrowPath(outputFile);
  if (narrowed.outcome != PathNarrowing::kNarrowed) {
    WriteWideLine(L"Output File = " + outputFile);
    ReportUnusableOutputPath(outputFile, narrowed.outcome);
    return kFileUnavailable;
  }
  const std::string& outputPath = narrowed.path;
  WriteLine("Output File = " + outputPath);

  // The header has room for four entries: refused before the output is touched.
  if (list.size() > kMaxPartitions) {
    ReportTooManyPartitions(list.size());
    return kImageLimitExceeded;
  }
  CommittedOutput output(outputPath);
  if (!output.IsOpen()) {
    ReportOutputOpenFailure(outputPath);
    return kFileUnavailable;
  }
  if (const int status = ClaimOutput(output, outputPath, list, options.configFile)) return status;
  WorkBuffers buffers;
  if (const int status = AllocateWorkBuffers(buffers, options.allocateBuffer)) return status;

  const LzmaEncoderAdapter adapter(options.lzmaAllocator);
  RegionWriter regions(output.File(), outputPath, buffers, adapter,
                       options.workers.value_or(ProcessorCount()), options.allocateBuffer,
                       options.progress);
  ImageRun run(regions, options.lzmaAllocator, output.OutputIdentity());
  const int status = WriteImage(run, list, header, output, outputPath, options.progress);
  if (options.statistics) options.statistics->maxChunksInFlight = regions.maxChunksInFlight();
  return status;
}

}  // namespace vantorel
