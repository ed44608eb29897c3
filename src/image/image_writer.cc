// The image writer. Bytes 0 to 155 are written last, so a file that lacks the
// magic at offset 0 is an image whose writing failed.
#include "image/image_writer.h"

#include <string_view>

#include "image/sha1.h"
#include "platform/console.h"
#include "platform/text.h"

namespace vantorel {
namespace {

constexpr std::size_t kMaxNarrowPathBytes = 255;

// Writer messages. Failures stand after an empty line.
void ReportFailure(std::string_view line) {
  WriteLine("");
  WriteLine(line);
}

void ReportWriteFailure(const std::string& outputPath) {
  ReportFailure("cannot write output file: " + outputPath);
}

std::string Quantity(uint64_t value, std::string_view unit) {
  return std::to_string(value) + " " + std::string(unit);
}

// Everything one partition needs while its region is written.
struct RegionState {
  const PartitionSpec& spec;
  Sha1Context sha1;
  uint64_t written = 0;  // region bytes, later dataLength
  uint64_t read = 0;     // bytes read from the partition file
};

class ImageRun {
 public:
  ImageRun(OutputFile& output, const std::string& outputPath, WorkBuffers& buffers,
           ISzAlloc* lzmaAllocator)
      : output_(output), outputPath_(outputPath), buffers_(buffers), adapter_(lzmaAllocator) {}

  int WritePartition(const PartitionSpec& spec, PartitionEntry& entry);
  uint32_t NextDataOffset() const { return static_cast<uint32_t>(dataOffset_); }

 private:
  int WriteRegionHead(InputFile& file, RegionState& region);
  int WriteChunks(InputFile& file, RegionState& region);
  int AppendToRegion(RegionState& region, const uint8_t* data, std::size_t length);
  int AppendDigest(RegionState& region);

  OutputFile& output_;
  const std::string& outputPath_;
  WorkBuffers& buffers_;
  LzmaEncoderAdapter adapter_;
  uint64_t dataOffset_ = kFirstDataOffset;
  // Compressed partitions only: the size written into the region's header.
  uint64_t declaredSize_ = 0;
};

// Writes region bytes unless they, with the digest that must follow them,
// would carry the image past its 32-bit limit.
int ImageRun::AppendToRegion(RegionState& region, const uint8_t* data, std::size_t length) {
  if (dataOffset_ + region.written + length + kDigestSize > kMaxImageSize) {
    ReportFailure("image too large: with " + region.spec.path +
                  " the image would reach 4 GiB (it holds at most 4294967295 bytes)");
    return kImageLimitExceeded;
  }
  if (!output_.Write(data, length)) {
    ReportWriteFailure(outputPath_);
    return kOutputWriteFailed;
  }
  Sha1Update(region.sha1, data, static_cast<uint32_t>(length));
  region.written += length;
  return kWriterOk;
}

// A compressed region opens with the property bytes and the file's size.
int ImageRun::WriteRegionHead(InputFile& file, RegionState& region) {
  const auto size = file.Size();
  if (size && *size > kMaxCompressedFileSize) {
    ReportFailure("partition file too large to compress: " + region.spec.path + " is " +
                  Quantity(*size, "bytes") + " (a compressed partition must be below 2 GiB)");
    return kImageLimitExceeded;
  }
  LzmaProperties properties{};
  if (adapter_.BeginPartition(properties) != SZ_OK) return kCompressionFailed;
  const int32_t queried = QueryFileSize(file);
  declaredSize_ = static_cast<uint64_t>(int64_t{queried});
  const auto head = SerializeLzmaPartitionHeader({properties, declaredSize_});
  return AppendToRegion(region, head.data(), head.size());
}

int ImageRun::WriteChunks(InputFile& file, RegionState& region) {
  const bool compressed = region.spec.isCompressed == 1;
  for (;;) {
    const auto n = file.Read(buffers_.input.get(), kChunkSize);
    if (!n) {
      ReportFailure("cannot read input file: " + region.spec.path);
      return kFileUnavailable;
    }
    region.read += *n;
    if (compressed && region.read > kMaxCompressedFileSize) {
      ReportFailure("partition file too large to compress: " + region.spec.path +
                    " (a compressed partition must be below 2 GiB)");
      return kImageLimitExceeded;
    }
    int status;
    if (compressed) {
      std::size_t streamLength = 0;
      const SRes result = adapter_.EncodeChunk(buffers_.input.get(), *n, buffers_.output.get(),
                                               kEncodeCapacity, streamLength);
      if (result != SZ_OK) {
        ReportFailure("cannot compress input file: " + region.spec.path + " (LZMA status " +
                      std::to_string(result) + ")");
        return kCompressionFailed;
      }
      status = AppendToRegion(region, buffers_.output.get(), streamLength);
    } else {
      status = AppendToRegion(region, buffers_.input.get(), *n);
    }
    if (status != kWriterOk) return status;
    if (*n < kChunkSize) return kWriterOk;
  }
}

int ImageRun::AppendDigest(RegionState& region) {
  uint8_t digest[kSha1DigestSize];
  Sha1Final(region.sha1, digest);
  if (!output_.Write(digest, sizeof digest)) {
    ReportWriteFailure(outputPath_);
    return kOutputWriteFailed;
  }
  return kWriterOk;
}

int ImageRun::WritePartition(const PartitionSpec& spec, PartitionEntry& entry) {
  InputFile file(spec.path);
  if (!file.IsOpen()) {
    ReportFailure("cannot open input file: " + spec.path);
    WriteLine("The file might be opened or it might be not exist.");
    return kFileUnavailable;
  }
  RegionState region{spec, {}};
  Sha1Init(region.sha1);
  const bool compressed = spec.isCompressed == 1;
  if (!compressed) {
    // Refused before a byte is read when the file's size already says so.
    const auto size = file.Size();
    if (size && dataOffset_ + *size + kDigestSize > kMaxImageSize) {
      ReportFailure("image too large: with " + spec.path + " (" + Quantity(*size, "bytes") +
                    ") the image would reach 4 GiB (it holds at most 4294967295 bytes)");
      return kImageLimitExceeded;
    }
  }
  int status = compressed ? WriteRegionHead(file, region) : kWriterOk;
  if (status == kWriterOk) status = WriteChunks(file, region);
  adapter_.EndPartition();
  if (status != kWriterOk) return status;
  if (compressed && region.read != declaredSize_) {
    // The region's chunks could not be told apart with a wrong size field.
    ReportFailure("input file changed while it was packed: " + spec.path + " (" +
                  Quantity(region.read, "bytes read") + ", size field " +
                  std::to_string(static_cast<int64_t>(declaredSize_)) + ")");
    return kFileUnavailable;
  }
  status = AppendDigest(region);
  if (status != kWriterOk) return status;

  if (spec.partitionSize < region.read) {
    WriteLine("fill header fail");
    WriteLine("Partition size is not enough for upgrade bin size.");
    return kPartitionTooSmall;
  }
  entry = MakePartitionEntry(static_cast<uint32_t>(dataOffset_),
                             static_cast<uint32_t>(region.written), spec.startAddress,
                             spec.partitionSize, static_cast<uint32_t>(spec.isCompressed));
  dataOffset_ = vantorel::NextDataOffset(entry);
  return kWriterOk;
}

// Refusals that need no output file, so that an existing one stays as it is.
int CheckBeforeOpening(const PartitionList& list, const std::string& outputPath,
                       const std::wstring& configFile) {
  if (list.size() > kMaxPartitions) {
    ReportFailure("too many partitions: " + std::to_string(list.size()) +
                  " (an image holds at most 4)");
    return kImageLimitExceeded;
  }
  for (const PartitionSpec& spec : list) {
    if (IsSameFile(outputPath, spec.path)) {
      ReportFailure("output file is also a partition file: " + spec.path);
      return kFileUnavailable;
    }
  }
  const auto configPath = NarrowText(configFile);
  if (!configFile.empty() && configPath && IsSameFile(outputPath, *configPath)) {
    ReportFailure("output file is also the configuration file: " + *configPath);
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
    ReportWriteFailure(outputPath);
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
  ReportFailure("cannot malloc lzma working buffer");
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
    WriteLine("");
    WriteWideLine((narrowed ? L"output file path is longer than 255 bytes: "
                            : L"output file path holds characters this system cannot use: ") +
                  outputFile);
    return kFileUnavailable;
  }
  const std::string& outputPath = *narrowed;
  WriteLine("Output File = " + outputPath);

  if (const int status = CheckBeforeOpening(list, outputPath, options.configFile)) return status;

  OutputFile output(outputPath);
  if (!output.IsOpen()) {
    ReportFailure("cannot open output file: " + outputPath);
    return kFileUnavailable;
  }
  if (!output.SeekTo(kFirstDataOffset)) {
    ReportWriteFailure(outputPath);
    return kOutputWriteFailed;
  }
  WorkBuffers buffers;
  if (const int status = AllocateWorkBuffers(buffers, options.allocateBuffer)) return status;

  ImageRun run(output, outputPath, buffers, options.lzmaAllocator);
  uint32_t filled = 0;
  for (const PartitionSpec& spec : list) {
    if (const int status = run.WritePartition(spec, header.entries[filled])) return status;
    ++filled;
  }
  return WriteHeader(output, outputPath, header, filled);
}

}  // namespace vantorel
