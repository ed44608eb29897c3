// Flat binary, Intel HEX (type 00 data, 04 extended linear address, 01 end),
// S-records (S0 header, S3 data, S5/S6 count, S7 end) and UF2 (512-byte
// blocks of up to 256 payload bytes).
#include "flash/flash_records.h"

#include <algorithm>
#include <array>
#include <string>

#include "common/hex.h"

namespace vantorel {
namespace {

constexpr std::size_t kRecordBytes = 16;
constexpr std::size_t kUf2PayloadBytes = 256;
constexpr std::size_t kLargestBlock = kUf2PayloadBytes;
constexpr std::size_t kFlushAt = std::size_t{1} << 20;

// Collects output text and hands it to the sink in large writes.
class Output {
 public:
  explicit Output(ByteSink& sink) : sink_(sink) { text_.reserve(kFlushAt + 128); }
  void Append(std::string_view text) {
    text_ += text;
    if (text_.size() >= kFlushAt) Flush();
  }
  void HexByte(uint8_t value) { AppendHexByte(text_, value); }
  bool Flush() {
    if (ok_ && !text_.empty()) {
      ok_ = sink_.Write(reinterpret_cast<const uint8_t*>(text_.data()), text_.size());
    }
    text_.clear();
    return ok_;
  }
  bool Ok() const { return ok_; }

 private:
  ByteSink& sink_;
  std::string text_;
  bool ok_ = true;
};

class BinaryEncoder : public FlashEncoder {
 public:
  BinaryEncoder(ByteSink& sink, uint8_t fill) : sink_(sink) { fill_.fill(fill); }
  bool Data(const uint8_t* data, std::size_t length) override {
    ok_ = ok_ && (length == 0 || sink_.Write(data, length));
    return ok_;
  }
  bool Fill(uint64_t length) override {
    while (ok_ && length > 0) {
      const auto piece = static_cast<std::size_t>(std::min<uint64_t>(length, fill_.size()));
      ok_ = sink_.Write(fill_.data(), piece);
      length -= piece;
    }
    return ok_;
  }
  bool WriteTrailer() override { return ok_; }

 private:
  ByteSink& sink_;
  std::array<uint8_t, 64 * 1024> fill_;
  bool ok_ = true;
};

// What both record forms share: bytes gathered into 16-byte-aligned blocks,
// a record written for each block that holds anything but fill.
class RecordEncoder : public FlashEncoder {
 public:
  RecordEncoder(ByteSink& sink, uint64_t base, uint8_t fill, std::size_t blockBytes = kRecordBytes)
      : output_(sink), blockBytes_(blockBytes), address_(base), fill_(fill) {}

  bool Data(const uint8_t* data, std::size_t length) override {
    while (length > 0) {
      const std::size_t take = std::min<std::size_t>(length, Room());
      Hold(data, take);
      data += take;
      length -= take;
    }
    return output_.Ok();
  }

  bool Fill(uint64_t length) override {
    const std::array<uint8_t, kLargestBlock> fill = FillBlock();
    // Complete the block begun, skip the whole blocks (no records), and
    // begin the last one.
    const std::size_t head = static_cast<std::size_t>(std::min<uint64_t>(length, Room()));
    if (head < blockBytes_) {
      Hold(fill.data(), head);
      length -= head;
    }
    const uint64_t whole = length - length % blockBytes_;
    address_ += whole;
    Hold(fill.data(), static_cast<std::size_t>(length - whole));
    return output_.Ok();
  }

  bool WriteTrailer() override {
    WriteHeld();
    WriteEnd();
    return output_.Flush();
  }

 protected:
  virtual void WriteData(uint64_t address, const uint8_t* data, std::size_t length) = 0;
  virtual void WriteEnd() = 0;
  Output output_;

 private:
  std::size_t Room() const {
    return blockBytes_ - static_cast<std::size_t>(address_ % blockBytes_);
  }
  std::array<uint8_t, kLargestBlock> FillBlock() const {
    std::array<uint8_t, kLargestBlock> block;
    block.fill(fill_);
    return block;
  }
  // Adds bytes that stay within the current block; writes the block once
  // it is complete.
  void Hold(const uint8_t* data, std::size_t length) {
    if (length == 0) return;
    if (held_ == 0) heldAddress_ = address_;
    std::copy_n(data, length, block_.begin() + held_);
    held_ += length;
    address_ += length;
    if (address_ % blockBytes_ == 0) WriteHeld();
  }
  void WriteHeld() {
    const bool allFill = std::all_of(block_.begin(), block_.begin() + held_,
                                     [this](uint8_t b) { return b == fill_; });
    if (held_ > 0 && !allFill) WriteData(heldAddress_, block_.data(), held_);
    held_ = 0;
  }

  const std::size_t blockBytes_;
  uint64_t address_;  // of the next byte given
  uint8_t fill_;
  std::array<uint8_t, kLargestBlock> block_{};
  std::size_t held_ = 0;
  uint64_t heldAddress_ = 0;
};

class IntelHexEncoder : public RecordEncoder {
 public:
  using RecordEncoder::RecordEncoder;

 private:
  void Record(uint8_t type, uint16_t offset, const uint8_t* data, std::size_t length) {
    uint8_t sum = static_cast<uint8_t>(length + (offset >> 8) + offset + type);
    output_.Append(":");
    output_.HexByte(static_cast<uint8_t>(length));
    output_.HexByte(static_cast<uint8_t>(offset >> 8));
    output_.HexByte(static_cast<uint8_t>(offset));
    output_.HexByte(type);
    for (std::size_t i = 0; i < length; ++i) {
      output_.HexByte(data[i]);
      sum = static_cast<uint8_t>(sum + data[i]);
    }
    output_.HexByte(static_cast<uint8_t>(-sum));
    output_.Append("\n");
  }
  void WriteData(uint64_t address, const uint8_t* data, std::size_t length) override {
    const auto upper = static_cast<uint16_t>(address >> 16);
    if (!upperWritten_ || upper != upper_) {
      const uint8_t bytes[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
      Record(0x04, 0, bytes, 2);
      upper_ = upper;
      upperWritten_ = true;
    }
    Record(0x00, static_cast<uint16_t>(address), data, length);
  }
  void WriteEnd() override { Record(0x01, 0, nullptr, 0); }

  uint16_t upper_ = 0;
  bool upperWritten_ = false;
};

class SRecordEncoder : public RecordEncoder {
 public:
  SRecordEncoder(ByteSink& sink, uint64_t base, uint8_t fill) : RecordEncoder(sink, base, fill) {
    Record('0', 0, 2, nullptr, 0);
  }

 private:
  // S<type>, the count byte, `addressBytes` of address, the data, and the
  // ones' complement of the sum of everything after the type.
  void Record(char type, uint32_t address, std::size_t addressBytes, const uint8_t* data,
              std::size_t length) {
    const auto count = static_cast<uint8_t>(addressBytes + length + 1);
    const char head[3] = {'S', type, 0};
    output_.Append(head);
    output_.HexByte(count);
    uint8_t sum = count;
    for (std::size_t i = addressBytes; i-- > 0;) {
      const auto b = static_cast<uint8_t>(address >> (8 * i));
      output_.HexByte(b);
      sum = static_cast<uint8_t>(sum + b);
    }
    for (std::size_t i = 0; i < length; ++i) {
      output_.HexByte(data[i]);
      sum = static_cast<uint8_t>(sum + data[i]);
    }
    output_.HexByte(static_cast<uint8_t>(~sum));
    output_.Append("\n");
  }
  void WriteData(uint64_t address, const uint8_t* data, std::size_t length) override {
    Record('3', static_cast<uint32_t>(address), 4, data, length);
    ++dataRecords_;
  }
  // The count record is optional; it is left out when the count does not
  // fit in 24 bits.
  void WriteEnd() override {
    if (dataRecords_ <= 0xFFFF) {
      Record('5', static_cast<uint32_t>(dataRecords_), 2, nullptr, 0);
    } else if (dataRecords_ <= 0xFFFFFF) {
      Record('6', static_cast<uint32_t>(dataRecords_), 3, nullptr, 0);
    }
    Record('7', 0, 4, nullptr, 0);
  }

  uint64_t dataRecords_ = 0;
};

// UF2: each block 512 bytes, little-endian words: two magic numbers, the
// flags, the target address, the payload's size, the block's number, the
// count of blocks and the family (or 0), then the payload in 476 bytes and
// a closing magic number.
class Uf2Encoder : public RecordEncoder {
 public:
  Uf2Encoder(ByteSink& sink, uint64_t base, uint8_t fill, const Uf2Blocks& blocks)
      : RecordEncoder(sink, base, fill, kUf2PayloadBytes), blocks_(blocks) {}

 protected:
  void WriteData(uint64_t address, const uint8_t* data, std::size_t length) override {
    constexpr uint32_t kFamilyGiven = 0x00002000;
    std::string block;
    block.reserve(kBlockBytes);
    Word(block, 0x0A324655);  // "UF2\n"
    Word(block, 0x9E5D5157);
    Word(block, blocks_.family ? kFamilyGiven : 0);
    Word(block, static_cast<uint32_t>(address));
    Word(block, static_cast<uint32_t>(length));
    Word(block, written_++);
    Word(block, blocks_.count);
    Word(block, blocks_.family.value_or(0));
    block.append(reinterpret_cast<const char*>(data), length);
    block.resize(kBlockBytes - 4, '\0');
    Word(block, 0x0AB16F30);
    output_.Append(block);
  }
  void WriteEnd() override {}

 private:
  static constexpr std::size_t kBlockBytes = 512;
  static void Word(std::string& block, uint32_t value) {
    for (int i = 0; i < 4; ++i) block += static_cast<char>((value >> (8 * i)) & 0xFF);
  }

  Uf2Blocks blocks_;
  uint32_t written_ = 0;
};

// Keeps nothing: the blocks' count needs no output.
class DiscardingSink : public ByteSink {
 public:
  bool Write(const uint8_t*, std::size_t) override { return true; }
};

class Uf2BlockCounter : public RecordEncoder {
 public:
  Uf2BlockCounter(uint64_t base, uint8_t fill, uint32_t& count)
      : RecordEncoder(nothing_, base, fill, kUf2PayloadBytes), count_(count) {
    count_ = 0;
  }

 protected:
  void WriteData(uint64_t, const uint8_t*, std::size_t) override { ++count_; }
  void WriteEnd() override {}

 private:
  DiscardingSink nothing_;
  uint32_t& count_;
};

}  // namespace

std::optional<FlashFormat> FlashFormatNamed(std::wstring_view name) {
  if (name == L"bin") return FlashFormat::kBinary;
  if (name == L"ihex") return FlashFormat::kIntelHex;
  if (name == L"srec") return FlashFormat::kSRecord;
  if (name == L"uf2") return FlashFormat::kUf2;
  return std::nullopt;
}

const char* FlashFormatName(FlashFormat format) {
  switch (format) {
    case FlashFormat::kIntelHex:
      return "ihex";
    case FlashFormat::kSRecord:
      return "srec";
    case FlashFormat::kUf2:
      return "uf2";
    case FlashFormat::kBinary:
      break;
  }
  return "bin";
}

std::unique_ptr<FlashEncoder> MakeFlashEncoder(FlashFormat format, ByteSink& sink, uint64_t base,
                                               uint8_t fill, const Uf2Blocks& uf2) {
  switch (format) {
    case FlashFormat::kUf2:
      return std::make_unique<Uf2Encoder>(sink, base, fill, uf2);
    case FlashFormat::kIntelHex:
      return std::make_unique<IntelHexEncoder>(sink, base, fill);
    case FlashFormat::kSRecord:
      return std::make_unique<SRecordEncoder>(sink, base, fill);
    case FlashFormat::kBinary:
      break;
  }
  return std::make_unique<BinaryEncoder>(sink, fill);
}

std::unique_ptr<FlashEncoder> MakeUf2BlockCounter(uint64_t base, uint8_t fill, uint32_t& count) {
  return std::make_unique<Uf2BlockCounter>(base, fill, count);
}

}  // namespace vantorel
