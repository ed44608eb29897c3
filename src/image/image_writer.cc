// The image writer. Bytes 0 to 155 are written last, so a file that lacks the
// magic at offset 0 is an image whose writing failed.
#include "image/image_writer.h"

#include <algorithm>
#include <string_view>
#include <thread>

#include "image/sha1.h"
#include "image/writer_messages.h"
#include "platform/console.h"
#include "platform/text.h"

namespace vantorel {
namespace {

constexpr std::size_t kMaxNarrowPathBytes = 255;

unsigned DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

class ImageRun {
 public:
  ImageRun(RegionWriter& regions, ISzAlloc* lzmaAllocator)
      : regions_(regions), adapter_(lzmaAllocator) {}

  int WritePartition(const PartitionSpec& partition, PartitionEntry& entry);

 private:
  int WriteRegionHead(InputFile& file, RegionState& region);
  int WriteRegion(InputFile& file, RegionState& region);

  RegionWriter& regions_;
  LzmaEncoderAdapter adapter_;
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
    if (size && dataOffset_ + *size + kDigestSize > kMaxImageSize) {
      ReportImageTooLarge(region.partition.path, size);
      return kImageLimitExceeded;
    }
    return regions_.WritePlainChunks(file, region);
  }
  int status = WriteRegionHead(file, region);
  if (status == kWriterOk) status = regions_.WriteCompressedChunks(file, region);
  adapter_.EndPartition();
  if (status == kWriterOk && region.read != declaredSize_) {
    // The region's chunks could not be told apart with a wrong size field.
    ReportSizeChanged(region.partition.path, region.read, declaredSize_);
    return kFileUnavailable;
  }
  return status;
}

int ImageRun::WritePartition(const PartitionSpec& partition, PartitionEntry& entry) {
  InputFile file(partition.path);
  if (!file.IsOpen()) {
    ReportInputOpenFailure(partition.path);
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
  entry =
      MakePartitionEntry(static_cast<uint32_t>(dataOffset_), static_cast<uint32_t>(region.written),
                         partition.startAddress, partition.partitionSize,
                         static_cast<uint32_t>(partition.isCompressed));
  dataOffset_ = NextDataOffset(entry);
  return kWriterOk;
}

// Refusals that need no output file, so that an existing one stays as it is.
int CheckBeforeOpening(const PartitionList& list, const std::string& outputPath,
                       const std::wstring& configFile) {
  if (list.size() > kMaxPartitions) {
    ReportTooManyPartitions(list.size());
    return kImageLimitExceeded;
  }
  for (const PartitionSpec& partition : list) {
    if (IsSameFile(outputPath, partition.path)) {
      ReportOutputIsPartitionFile(partition.path);
      return kFileUnavailable;
    }
  }
  const auto configPath = NarrowText(configFile);
  if (!configFile.empty() && configPath && IsSameFile(outputPath, *configPath)) {
    ReportOutputIsConfigurationFile(*configPath);
    return kFileUnavailable;
  }
  return kWriterOk;
}

int WriteHeader(OutputFile& output, const std::string& outputPath, ImageHeader& header,
                uint32_t partitionCount) {
  header.magic = kImageMagic;
  header.partitionCount = partitionCount;
  const ImageHeaderBytes bytes = SerializeImageHeader(header);
  Sha1Context sha1;
  Sha1Init(sha1);
  Sha1Update(sha1, bytes.data(), bytes.size());
  uint8_t digest[kSha1DigestSize];
  Sha1Final(sha1, digest);
  if (!output.SeekTo(0) || !output.Write(bytes.data(), bytes.size()) ||
      !output.Write(digest, sizeof digest) || !output.Close()) {
    ReportOutputWriteFailure(outputPath);
    return kOutputWriteFailed;
  }
  return kWriterOk;
}

}  // namespace

int AllocateWorkBuffers(WorkBuffers& buffers, BufferAllocator allocate) {
  buffers.input.reset(static_cast<uint8_t*>(allocate(kChunkSize)));
  if (buffers.input) buffers.output.reset(static_cast<uint8_t*>(allocate(kEncodeCapacity)));
  if (buffers.input && buffers.output) return kWriterOk;
  buffers = {};
  ReportBuffersUnavailable();
  return kBuffersUnavailable;
}

int32_t QueryFileSize(const InputFile& file) {
  const auto size = file.Size();
  if (!size || *size > kMaxCompressedFileSize) return -1;
  const auto value = static_cast<int32_t>(*size);
  WriteLine(std::to_string(value));
  return value;
}

int ImageWriter(const PartitionList& list, ImageHeader& header, const std::wstring& outputFile,
                const WriterOptions& options) {
  const auto narrowed = NarrowText(outputFile);
  if (!narrowed || narrowed->size() > kMaxNarrowPathBytes) {
    WriteWideLine(L"Output File = " + outputFile);
    ReportUnusableOutputPath(outputFile, narrowed.has_value());
    return kFileUnavailable;
  }
  const std::string& outputPath = *narrowed;
  WriteLine("Output File = " + outputPath);

  if (const int status = CheckBeforeOpening(list, outputPath, options.configFile)) return status;

  OutputFile output(outputPath);
  if (!output.IsOpen()) {
    ReportOutputOpenFailure(outputPath);
    return kFileUnavailable;
  }
  if (!output.SeekTo(kFirstDataOffset)) {
    ReportOutputWriteFailure(outputPath);
    return kOutputWriteFailed;
  }
  WorkBuffers buffers;
  if (const int status = AllocateWorkBuffers(buffers, options.allocateBuffer)) return status;

  const LzmaEncoderAdapter adapter(options.lzmaAllocator);
  RegionWriter regions(output, outputPath, buffers, adapter,
                       options.threads.value_or(DefaultThreads()), options.allocateBuffer);
  ImageRun run(regions, options.lzmaAllocator);
  uint32_t filled = 0;
  for (const PartitionSpec& partition : list) {
    if (const int status = run.WritePartition(partition, header.entries[filled])) return status;
    ++filled;
  }
  return WriteHeader(output, outputPath, header, filled);
}

}  // namespace vantorel
