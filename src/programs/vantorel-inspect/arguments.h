// The command line of vantorel-inspect:
//   vantorel-inspect [--json] [--strict] [--config CONFIG]
//                    [--extract DIR [--partition N]... [--force]]
//                    [--flash FILE [--fill BYTE] [--format bin|ihex|srec|uf2]
//                                  [--family ID] [--base ADDR] [--size N] [--force]] IMAGE
//   vantorel-inspect [--json] [--strict] --config CONFIG
//   vantorel-inspect [--json] --diff OLD NEW
//   vantorel-inspect --version | --help
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "common/diagnostic.h"
#include "flash/flash_records.h"

namespace vantorel {

struct FlashRequest {
  std::wstring file;  // empty: no flash file
  FlashFormat format = FlashFormat::kBinary;
  uint8_t fill = 0xFF;  // erased NOR flash
  std::optional<uint64_t> base;
  std::optional<uint64_t> size;    // base + size stays within 4 GiB
  std::optional<uint32_t> family;  // --family: the UF2 blocks' chip family
  bool adjusted = false;           // any of --fill, --format, --base, --size, --family given
};

struct InspectCommand {
  std::wstring image;                // empty: explain the configuration
  std::wstring config;               // empty: no configuration to check against
  std::wstring extractDirectory;     // empty: nothing extracted
  std::set<std::size_t> partitions;  // extracted: these only; empty: all
  FlashRequest flash;
  std::wstring diffImage;  // empty: no comparison; else the old image, `image` the new one
  bool force = false;
  bool json = false;
  bool strict = false;
  bool help = false;
  bool version = false;
};

// Fills `command` from the arguments after the program's name; misuse
// fails with a usage failure and what was wrong. Prints nothing.
Outcome ParseInspectArguments(int argc, const wchar_t* const* argv, InspectCommand& command);

// The usage text.
extern const char kInspectUsage[];

}  // namespace vantorel
