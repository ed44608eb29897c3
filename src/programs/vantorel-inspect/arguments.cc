// Option parsing of vantorel-inspect: options in any order, one image.
#include "programs/vantorel-inspect/arguments.h"

#include <string_view>

#include "flash/flash_plan.h"
#include "platform/text.h"
#include "programs/vantorel-inspect/command_number.h"
#include "programs/vantorel-inspect/messages.h"

namespace vantorel {

const char kInspectUsage[] =
    "usage: vantorel-inspect [--json] [--strict] [--config CONFIG]\n"
    "                        [--extract DIR [--partition N]... [--force]]\n"
    "                        [--flash FILE [--fill BYTE] [--format bin|ihex|srec|uf2]\n"
    "                                      [--family ID] [--base ADDR] [--size N]\n"
    "                                      [--force]] IMAGE\n"
    "       vantorel-inspect [--json] [--strict] --config CONFIG\n"
    "       vantorel-inspect [--json] --diff OLD_IMAGE NEW_IMAGE\n"
    "       vantorel-inspect --version | --help\n"
    "  Verifies an update image: header, entries, offsets, digests and the\n"
    "  compressed streams, and warns of partitions that overlap in flash or run\n"
    "  past 4 GiB. Exit status 0 when it is sound, 1 when it is not, 2 on misuse,\n"
    "  3 when a read or write failed.\n"
    "  Without an image, explains what CONFIG makes before anything is packed:\n"
    "  each section and key as the packer reads them, the files, the flash layout\n"
    "  and every warning; exit status 1 when it does not read or a file is\n"
    "  missing or too large.\n"
    "  --config CONFIG  also check that the image is what CONFIG and its files make\n"
    "  --strict         count warnings as failures\n"
    "  --extract DIR    write each partition's original bytes to DIR/partition-N.bin\n"
    "  --partition N    extract partition N only (repeatable)\n"
    "  --flash FILE     write the flash contents after the update to FILE\n"
    "  --fill BYTE      the byte of gaps and unused partition space (default 0xFF)\n"
    "  --format FORMAT  bin (default), ihex (Intel HEX), srec (S-records) or uf2\n"
    "  --family ID      the chip family every UF2 block names (a 32-bit number)\n"
    "  --base ADDR      the first flash address written (default: the lowest start)\n"
    "  --size N         the bytes of flash written (default: to the highest end)\n"
    "  --force          replace files that --extract or --flash would write\n"
    "  --diff OLD_IMAGE compare OLD_IMAGE with NEW_IMAGE partition by partition;\n"
    "                   exit status 0 when the same, 1 when they differ, 2 on trouble\n"
    "  --json           print the report as JSON\n"
    "  --version        print the version\n"
    "  -h, --help       print this text\n"
    "  Numbers are decimal, or hexadecimal after 0x.\n";

namespace {

Diagnostic Misuse(const std::wstring& what) {
  return Error(FailureKind::kUsage, Utf8ForDisplay(what));
}

constexpr std::wstring_view kValueOptions[] = {
    L"--extract", L"--config", L"--partition", L"--flash", L"--fill",
    L"--format",  L"--base",   L"--size",      L"--diff",  L"--family"};

bool TakesValue(std::wstring_view option) {
  for (const std::wstring_view known : kValueOptions) {
    if (option == known) return true;
  }
  return false;
}

uint64_t LargestValue(std::wstring_view option) {
  if (option == L"--fill") return 0xFF;
  if (option == L"--size") return kFlashEnd;
  return kFlashEnd - 1;  // an address, and a UF2 family: 32 bits
}

Outcome ReadOptionNumber(std::wstring_view option, std::wstring_view text, uint64_t maximum,
                         uint64_t& value) {
  const auto number = ParseCommandNumber(text, maximum);
  if (!number) {
    return Misuse(std::wstring(option) + L" takes a number from 0 to " + std::to_wstring(maximum) +
                  L" (decimal, or hexadecimal after 0x), not '" + std::wstring(text) + L"'");
  }
  value = *number;
  return {};
}

// One option that takes a number.
Outcome TakeNumber(std::wstring_view option, std::wstring_view value, InspectCommand& command) {
  uint64_t number = 0;
  if (Outcome read = ReadOptionNumber(option, value, LargestValue(option), number); !read.ok())
    return read;
  if (option == L"--partition") {
    command.partitions.insert(static_cast<std::size_t>(number));
    return {};
  }
  if (option == L"--fill") command.flash.fill = static_cast<uint8_t>(number);
  if (option == L"--base") command.flash.base = number;
  if (option == L"--size") command.flash.size = number;
  if (option == L"--family") command.flash.family = static_cast<uint32_t>(number);
  command.flash.adjusted = true;
  return {};
}

// One option that takes a value.
Outcome TakeValue(std::wstring_view option, std::wstring_view value, InspectCommand& command) {
  if (option == L"--extract") {
    command.extractDirectory = value;
  } else if (option == L"--config") {
    command.config = value;
  } else if (option == L"--flash") {
    command.flash.file = value;
  } else if (option == L"--diff") {
    command.diffImage = value;
  } else if (option == L"--format") {
    const auto format = FlashFormatNamed(value);
    if (!format)
      return Misuse(L"--format takes bin, ihex, srec or uf2, not '" + std::wstring(value) + L"'");
    command.flash.format = *format;
    command.flash.adjusted = true;
  } else {
    return TakeNumber(option, value, command);
  }
  return {};
}

// Options that only make sense together.
Outcome Consistent(const InspectCommand& command) {
  const FlashRequest& flash = command.flash;
  if (flash.adjusted && flash.file.empty()) {
    return Misuse(L"--fill, --format, --base, --size and --family need --flash");
  }
  if (flash.family && flash.format != FlashFormat::kUf2) {
    return Misuse(L"--family is for --format uf2");
  }
  if (!command.partitions.empty() && command.extractDirectory.empty()) {
    return Misuse(L"--partition needs --extract");
  }
  if (flash.size && flash.base.value_or(0) + *flash.size > kFlashEnd) {
    return Misuse(L"--base and --size reach past 4 GiB, beyond 32-bit flash addresses");
  }
  if (!command.diffImage.empty() && (!command.config.empty() || !command.extractDirectory.empty() ||
                                     !flash.file.empty() || command.strict)) {
    return Misuse(L"--diff compares two images and takes no other option but --json");
  }
  if (command.help || command.version || !command.image.empty()) return {};
  if (command.config.empty()) return Misuse(L"no image given");
  if (!command.extractDirectory.empty()) return Misuse(L"--extract needs an image");
  if (!flash.file.empty()) return Misuse(L"--flash needs an image");
  return {};
}

}  // namespace

Outcome ParseInspectArguments(int argc, const wchar_t* const* argv, InspectCommand& command) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    if (argument == L"-h" || argument == L"--help") {
      command.help = true;
    } else if (argument == L"--version") {
      command.version = true;
    } else if (argument == L"--json") {
      command.json = true;
    } else if (argument == L"--strict") {
      command.strict = true;
    } else if (argument == L"--force") {
      command.force = true;
    } else if (TakesValue(argument) && i + 1 >= argc) {
      return Misuse(std::wstring(argument) + L" needs a value");
    } else if (TakesValue(argument) && argv[i + 1][0] == L'\0') {
      return Misuse(std::wstring(argument) + L" needs a value that is not empty");
    } else if (TakesValue(argument)) {
      if (Outcome taken = TakeValue(argument, argv[++i], command); !taken.ok()) return taken;
    } else if (argument.starts_with(L"-") && argument != L"-") {
      return Misuse(L"unknown option " + std::wstring(argument));
    } else if (command.image.empty()) {
      command.image = argument;
    } else {
      return Misuse(L"one image at a time (" + std::wstring(argument) + L")");
    }
  }
  return Consistent(command);
}

}  // namespace vantorel
