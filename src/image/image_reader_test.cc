#include "image/image_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <random>
#include <set>

#include "image/image_writer.h"
#include "machinery/sha1.h"
#include "platform/utf8.h"
#include "test_support/memory_image.h"
#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using Bytes = std::vector<uint8_t>;

// Puts the header and its digest at the start of the image.
void PutHeader(Bytes& image, const ImageHeader& header) {
  const ImageHeadBytes head = SerializeImageHead(header);
  if (image.size() < kFirstDataOffset) image.resize(kFirstDataOffset);
  std::copy(head.begin(), head.end(), image.begin());
}

ImageReport ReadImageBytes(const Bytes& image, PartitionSink* sink = nullptr,
                           unsigned workers = 0) {
  testing::MemorySource source(image);
  return ReadImage(source, {.workers = workers, .sink = sink});
}

// One plain and one compressed partition, packed by the writer.
class TwoPartitionImage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(17);
    for (int i = 0; i < 200; ++i) plain.push_back(static_cast<uint8_t>(random()));
    for (int i = 0; i < 400; ++i) compressed.push_back(static_cast<uint8_t>("firmware"[i % 8]));
    const PartitionList list = {
        {dir.Write("plain", std::string(plain.begin(), plain.end())), 0x8000, 0x1000, 0},
        {dir.Write("packed", std::string(compressed.begin(), compressed.end())), 0x18000, 0x1000,
         1}};
    ::testing::internal::CaptureStdout();
    const Outcome packed = PackImage(list, DecodeUtf8(dir.File("img"), InvalidUtf8::kEscape));
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(packed.ok());
    image = testing::ReadBytes(dir.File("img"));
  }

  testing::TempDir dir;
  Bytes plain, compressed, image;
};

// What each partition holds is the writer's test, over many more images.
TEST_F(TwoPartitionImage, IsSoundAndReportsItsPartitions) {
  const ImageReport report = ReadImageBytes(image);
  ASSERT_TRUE(report.Sound()) << report.problem->what;
  EXPECT_EQ(report.headerDigest, DigestStatus::kOk);
  ASSERT_EQ(report.partitions.size(), 2u);
  EXPECT_EQ(report.partitions[1].originalSize, compressed.size());
  EXPECT_EQ(report.partitions[1].digest, DigestStatus::kOk);
}

TEST_F(TwoPartitionImage, EveryFlippedByteIsFound) {
  for (std::size_t position = 0; position < image.size(); ++position) {
    for (const uint8_t mask : {0x01, 0x80}) {
      Bytes corrupt = image;
      corrupt[position] ^= mask;
      const ImageReport report = ReadImageBytes(corrupt);
      ASSERT_FALSE(report.Sound()) << "flip at byte " << position;
      // The first problem in file order, whatever the workers.
      const ImageReport parallel = ReadImageBytes(corrupt, nullptr, 3);
      ASSERT_EQ(parallel.problem->offset, report.problem->offset) << position;
      ASSERT_EQ(parallel.problem->what, report.problem->what) << position;
      ASSERT_EQ(parallel.partitions.size(), report.partitions.size());
      for (std::size_t i = 0; i < report.partitions.size(); ++i) {
        ASSERT_EQ(parallel.partitions[i].digest, report.partitions[i].digest) << position;
      }
    }
  }
}

TEST_F(TwoPartitionImage, EveryTruncationIsFound) {
  for (std::size_t length = 0; length < image.size(); ++length) {
    const Bytes truncated(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length));
    const ImageReport report = ReadImageBytes(truncated);
    ASSERT_FALSE(report.Sound()) << "cut at " << length;
    ASSERT_TRUE(report.problem);
    EXPECT_LE(report.problem->offset, image.size());
  }
  Bytes longer = image;
  longer.push_back(0);
  EXPECT_EQ(ReadImageBytes(longer).problem->what, "file size");
}

// A sink that fails partition 1 at the step named: Prepare (taking none),
// Begin, or each Write.
class FailingSink : public PartitionSink {
 public:
  explicit FailingSink(std::string failing) : failing_(std::move(failing)) {}
  bool Prepare(const ImageReport&) override { return failing_ != "Prepare"; }
  std::unique_ptr<ByteSink> Begin(std::size_t index) override {
    const std::lock_guard lock(mutex_);
    begun.insert(index);
    if (index == 1 && failing_ == "Begin") return nullptr;
    return std::make_unique<Bytes>(index == 1 && failing_ == "Write");
  }
  void Accept(std::size_t index) override {
    const std::lock_guard lock(mutex_);
    accepted.insert(index);
  }
  std::set<std::size_t> begun, accepted;

 private:
  struct Bytes : ByteSink {
    explicit Bytes(bool fails) : fails(fails) {}
    bool Write(const uint8_t*, std::size_t) override { return !fails; }
    bool fails;
  };
  std::string failing_;
  std::mutex mutex_;
};

// A sink's failure is the sink's: the image's verdict is the same with it,
// and only what the sink took whole is accepted.
TEST_F(TwoPartitionImage, AFailingSinkNeverChangesTheVerdict) {
  const struct {
    std::string failing;
    std::set<std::size_t> begun, accepted;
  } kCases[] = {{"nothing", {0, 1}, {0, 1}},
                {"Prepare", {}, {}},
                {"Begin", {0, 1}, {0}},
                {"Write", {0, 1}, {0}}};
  Bytes corrupt = image;
  corrupt[image.size() - 1] ^= 1;  // the last partition's digest
  for (const auto& c : kCases) {
    for (const unsigned workers : {0u, 2u}) {
      SCOPED_TRACE(c.failing + " failing, workers " + std::to_string(workers));
      FailingSink sink(c.failing);
      const ImageReport report = ReadImageBytes(image, &sink, workers);
      EXPECT_TRUE(report.Sound());
      EXPECT_EQ(sink.begun, c.begun);
      EXPECT_EQ(sink.accepted, c.accepted);
      const bool failed = c.begun.size() != c.accepted.size();
      EXPECT_EQ(report.sinkFailure ? report.sinkFailure->where.partition : std::nullopt,
                failed ? std::optional<std::size_t>(1) : std::nullopt);
      FailingSink again(c.failing);
      EXPECT_EQ(ReadImageBytes(corrupt, &again, workers).problem->what, "partition 1 digest");
    }
  }
}

// Unfinished images and hostile header fields, each with its header digest
// made right so that the field itself must be caught: the problem and the
// byte it names.
TEST(ImageReader, HostileHeadersAreReportedNotTrusted) {
  const auto imageWith = [](auto change) {
    Bytes image(156 + 40 + 40, 0);
    ImageHeader header;
    header.magic = kImageMagic;
    header.partitionCount = 2;
    header.entries[0] = MakePartitionEntry(156, 20, 0, 1000, 0);
    header.entries[1] = MakePartitionEntry(196, 20, 0, 1000, 0);
    change(header);
    PutHeader(image, header);
    return image;
  };
  const auto entry = [](std::size_t index, EntryField field) {
    return EntryFieldOffset(index, field);
  };
  const std::string kUnfinished = "magic (an unfinished image: the packer writes the header last)";
  const struct {
    Bytes image;
    uint64_t offset;
    std::string what;
  } kCases[] = {
      {Bytes(), 0, kUnfinished},
      {Bytes(3, 0x4D), 0, kUnfinished},
      {Bytes(156, 0), 0, kUnfinished},
      {Bytes(1000, 0), 0, kUnfinished},
      {imageWith([](ImageHeader& h) { h.partitionCount = 5; }), 4, "partitionCount"},
      {imageWith([](ImageHeader& h) { h.partitionCount = 0xFFFFFFFF; }), 4, "partitionCount"},
      {imageWith([](ImageHeader& h) { h.entries[0].dataOffset = 0xFFFFFF00; }),
       entry(0, EntryField::kDataOffset), "entry 0 dataOffset"},
      {imageWith([](ImageHeader& h) {
         h.entries[0].dataLength = 0xFFFFFFF0;  // wraps in 32 bits
         h.entries[0].digestOffset = 156 + 0xFFFFFFF0u;
       }),
       entry(0, EntryField::kDigestOffset), "entry 0 digestOffset"},
      {imageWith([](ImageHeader& h) { h.entries[1].digestLength = 0xFFFFFFFF; }),
       entry(1, EntryField::kDigestLength), "entry 1 digestLength"},
      {imageWith([](ImageHeader& h) { h.entries[1].isCompressed = 2; }),
       entry(1, EntryField::kIsCompressed), "entry 1 isCompressed"},
      {imageWith([](ImageHeader& h) { h.entries[1].reserved = 1; }),
       entry(1, EntryField::kReserved), "entry 1 reserved"},
      {imageWith([](ImageHeader& h) { h.entries[2].partitionSize = 1; }),
       entry(2, EntryField::kPartitionSize), "entry 2 partitionSize"},
      {imageWith([](ImageHeader& h) { h.entries[1] = MakePartitionEntry(196, 1000, 0, 0, 0); }),
       236, "partition 1 region and digest"},
      {imageWith([](ImageHeader& h) {
         for (PartitionEntry& e : h.entries) e = {~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u};
         h.partitionCount = ~0u;
       }),
       4, "partitionCount"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const ImageReport report = ReadImageBytes(c.image);
    ASSERT_TRUE(report.problem);
    EXPECT_EQ(report.problem->what, c.what);
    EXPECT_EQ(report.problem->offset, c.offset);
  }
}
// A compressed region whose size field claims far more than its streams hold.
TEST(ImageReader, CompressedRegionsAreDecodedWithinTheirBounds) {
  const auto imageWithRegion = [](const Bytes& region, uint32_t partitionSize) {
    ImageHeader header;
    header.magic = kImageMagic;
    header.partitionCount = 1;
    header.entries[0] =
        MakePartitionEntry(156, static_cast<uint32_t>(region.size()), 0, partitionSize, 1);
    Bytes image;
    PutHeader(image, header);
    image.insert(image.end(), region.begin(), region.end());
    image.resize(image.size() + 20);
    return image;
  };
  auto sized = [&](uint64_t size, const Bytes& streams) {
    Bytes region(kLzmaProperties.begin(), kLzmaProperties.end());
    for (int i = 0; i < 8; ++i) region.push_back(static_cast<uint8_t>(size >> (8 * i)));
    region.insert(region.end(), streams.begin(), streams.end());
    return region;
  };
  // The problem, and the byte it names: region offsets count from 156.
  const struct {
    Bytes region;
    uint32_t partitionSize;
    const char* what;
    uint64_t offset;
    const char* expected = nullptr;
  } kCases[] = {
      {sized(0, Bytes(5, 0)), 0, "partition 0 digest", 174},  // sound but for the zero digest
      {sized(0, Bytes(6, 0)), 0, "partition 0 region", 174},
      {sized(1, Bytes(5, 0)), 1, "partition 0 stream 0", 174},
      // "a" and an end marker: a stream that ends before its chunk's length
      {sized(2, {0x00, 0x30, 0xC1, 0xFB, 0xFF, 0xFF, 0xFF, 0xE0, 0x00, 0x00, 0x00}), 2,
       "partition 0 stream 0", 180, "no end marker"},
      {sized(~0ull, Bytes(5, 0)), 0xFFFFFFFF, "partition 0 original size", 161},
      {sized(100, Bytes(5, 0)), 99, "partition 0 original size", 161},
      {Bytes{0x5E, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0,
       "partition 0 LZMA properties", 156},
      {Bytes(12, 0), 0, "entry 0 dataLength", 16},
  };
  for (const auto& c : kCases) {
    const ImageReport report = ReadImageBytes(imageWithRegion(c.region, c.partitionSize));
    ASSERT_TRUE(report.problem) << c.what;
    EXPECT_EQ(report.problem->what, c.what);
    EXPECT_EQ(report.problem->offset, c.offset) << c.what;
    if (c.expected) {
      EXPECT_EQ(report.problem->expected, c.expected);
    }
    // The region's digests, which need no decoding, whatever the problem:
    // the stored one here is all zeros.
    const PartitionReport& partition = report.partitions.at(0);
    EXPECT_EQ(partition.computedDigest, Sha1Of(c.region.data(), c.region.size())) << c.what;
    EXPECT_EQ(partition.storedDigest, Sha1Digest{}) << c.what;
    EXPECT_EQ(partition.digest, DigestStatus::kBad) << c.what;
  }
}

}  // namespace
}  // namespace vantorel
