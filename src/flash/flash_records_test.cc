#include "flash/flash_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantorel {
namespace {

class StringSink : public ByteSink {
 public:
  bool Write(const uint8_t* data, std::size_t length) override {
    text.append(reinterpret_cast<const char*>(data), length);
    return writable;
  }
  std::string text;
  bool writable = true;
};

// A step of the range: bytes, or (when bytes is empty) a run of fill.
struct Step {
  std::vector<uint8_t> bytes;
  uint64_t fill = 0;
};

std::vector<uint8_t> Counting(uint8_t from, std::size_t count) {
  std::vector<uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(from + i);
  return bytes;
}

std::string Encode(FlashFormat format, uint64_t base, const std::vector<Step>& steps) {
  StringSink sink;
  const auto encoder = MakeFlashEncoder(format, sink, base, 0xFF);
  for (const Step& step : steps) {
    const bool ok = step.bytes.empty() ? encoder->Fill(step.fill)
                                       : encoder->Data(step.bytes.data(), step.bytes.size());
    EXPECT_TRUE(ok);
  }
  EXPECT_TRUE(encoder->WriteTrailer());
  return sink.text;
}

TEST(FlashRecords, EncodesEachForm) {
  const struct {
    const char* name;
    FlashFormat format;
    uint64_t base;
    std::vector<Step> steps;
    std::string expected;
  } cases[] = {
      {"bin: bytes and fill as they come",
       FlashFormat::kBinary,
       7,
       {{{1, 2}}, {{}, 3}, {{3}}},
       std::string("\x01\x02\xFF\xFF\xFF\x03", 6)},
      {"ihex: records split at the 64 KiB boundary, each with its 04 record",
       FlashFormat::kIntelHex,
       0xFFF8,
       {{Counting(0, 16)}},
       ":020000040000FA\n:08FFF8000001020304050607E5\n:020000040001F9\n"
       ":0800000008090A0B0C0D0E0F9C\n:00000001FF\n"},
      {"ihex: no records for a run of fill across the whole 4 GiB",
       FlashFormat::kIntelHex,
       0,
       {{{0}}, {{}, (uint64_t{1} << 32) - 2}, {{1}}},
       ":020000040000FA\n:1000000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n:02000004FFFFFC\n"
       ":10FFF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF010F\n:00000001FF\n"},
      {"srec: header, S3 data padded with fill to its block, S5 count, S7 end",
       FlashFormat::kSRecord,
       0x10,
       {{{1, 2, 3}}, {{}, 0x1000}},
       "S0030000FC\nS31500000010010203FFFFFFFFFFFFFFFFFFFFFFFFFFE1\nS5030001FB\nS70500000000FA\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Encode(c.format, c.base, c.steps), c.expected) << c.name;
  }
}

TEST(FlashRecords, CountsMoreThan65535RecordsInAnS6Record) {
  const std::string text = Encode(FlashFormat::kSRecord, 0, {{std::vector<uint8_t>(16 << 16, 0)}});
  EXPECT_TRUE(text.ends_with("\nS604010000FA\nS70500000000FA\n"));
}

TEST(FlashRecords, AFailedSinkFailsTheEncoder) {
  for (const FlashFormat format :
       {FlashFormat::kBinary, FlashFormat::kIntelHex, FlashFormat::kSRecord}) {
    StringSink sink;
    sink.writable = false;
    const auto encoder = MakeFlashEncoder(format, sink, 0, 0xFF);
    const std::vector<uint8_t> bytes(100, 0);
    encoder->Data(bytes.data(), bytes.size());
    EXPECT_FALSE(encoder->WriteTrailer()) << FlashFormatName(format);
  }
}

}  // namespace
}  // namespace vantorel
