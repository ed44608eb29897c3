// The flash contents encoded as a file, streamed: a flat binary, Intel HEX,
// Motorola S-records or UF2 blocks (what many bootloaders take by drag and
// drop). An encoder is given the bytes of the output range
// in address order, decoded partition bytes and runs of fill alike, and
// writes its form of them to a byte sink as it goes, holding no more than a
// small buffer. Pure apart from the sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "common/byte_sink.h"

namespace vantorel {

enum class FlashFormat { kBinary, kIntelHex, kSRecord, kUf2 };

// "bin", "ihex", "srec", "uf2"; nullopt for any other name.
std::optional<FlashFormat> FlashFormatNamed(std::wstring_view name);
const char* FlashFormatName(FlashFormat format);

class FlashEncoder {
 public:
  virtual ~FlashEncoder() = default;
  // The next bytes of the range. Every call returns false once the sink has
  // failed.
  virtual bool Data(const uint8_t* data, std::size_t length) = 0;
  // The next `length` bytes of the range are the fill byte. Costs time in
  // proportion to the output it writes, not to `length`.
  virtual bool Fill(uint64_t length) = 0;
  // Writes what is still held and the closing records, after the last
  // byte of the range.
  virtual bool WriteTrailer() = 0;
};

// What every UF2 block carries beside its bytes: the count of blocks in
// the file, and the family of the chips it is for, when one is given.
struct Uf2Blocks {
  uint32_t count = 0;
  std::optional<uint32_t> family;
};

// An encoder of the range starting at `base` (below 4 GiB; the range may
// end at 4 GiB exactly). Record forms hold 16 bytes per data record (UF2:
// 256 per block), each within one block of that size aligned to its size,
// so that none crosses a 64 KiB boundary, and leave out the records whose
// bytes are all fill: a reader that pads with the fill byte gets the same
// range back.
std::unique_ptr<FlashEncoder> MakeFlashEncoder(FlashFormat format, ByteSink& sink, uint64_t base,
                                               uint8_t fill, const Uf2Blocks& uf2 = {});

// Counts, into `count`, the UF2 blocks the range given to it makes: every
// block carries the count, so it is known before the first is written.
std::unique_ptr<FlashEncoder> MakeUf2BlockCounter(uint64_t base, uint8_t fill, uint32_t& count);

}  // namespace vantorel
