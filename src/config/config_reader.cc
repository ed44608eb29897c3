// The configuration reader: the walk over the sections, the keys of each
// role, and the progress lines in the order the reader takes its steps.
#include "config/config_reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "config/number.h"
#include "platform/console.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace vantorel {
namespace {

constexpr uint32_t kSectionListCapacity = 120;
constexpr uint32_t kPathValueCapacity = 256;
constexpr uint32_t kNumberValueCapacity = 20;

const std::wstring kGeneralSetting = L"General Setting";

bool IsPassedOver(std::wstring_view name) {
  return name == L"Bootloader" || name == L"Ext-Bootloader" ||
         name.find(L"Flash") != std::wstring_view::npos;
}

class ConfigReader {
 public:
  ConfigReader(const std::wstring& configFile, ReaderLines lines, std::wstring* failure)
      : configFile_(configFile),
        profile_(configFile, kMaxConfigurationBytes),
        lines_(lines),
        failure_(failure) {}

  int ReadConfiguration(PartitionList& list);

 private:
  // Reads Base_Directory of [General Setting] into `baseDirectory`, ending
  // it in a backslash. kConfigOk, or kGeneralSettingFailed with
  // `baseDirectory` unchanged when the value is missing or empty.
  int ReadGeneralSetting(std::wstring& baseDirectory);
  // Reads File, Start_Address, Partition_Size and Is_Compressed of one
  // section, printing the line of each number and of the flag, and appends
  // the record. kConfigOk, or kPartitionSectionFailed with nothing appended.
  int ReadPartitionSection(PartitionList& list, const std::wstring& baseDirectory,
                           const std::wstring& sectionName);
  // The key's value cut to `capacity` - 1 characters; empty when the
  // section or key is missing or the value is empty.
  std::wstring ReadProfileValue(uint32_t capacity, const std::wstring& key,
                                const std::wstring& section) const;
  std::optional<std::string> NarrowPartitionPath(const std::wstring& widePath,
                                                 const std::wstring& sectionName);
  int FailWithoutSections();

  void Print(std::string_view line) const;
  void PrintWide(std::wstring_view line) const;
  // Keeps why the reading failed; prints it too, after an empty line, for
  // the failures that the packer reports in words.
  int Fail(int status, std::wstring why, bool printed);

  const std::wstring& configFile_;
  const ProfileFile profile_;
  const ReaderLines lines_;
  std::wstring* failure_;
};

void ConfigReader::Print(std::string_view line) const {
  if (lines_ == ReaderLines::kPrint) WriteLine(line);
}

void ConfigReader::PrintWide(std::wstring_view line) const {
  if (lines_ == ReaderLines::kPrint) WriteWideLine(line);
}

int ConfigReader::Fail(int status, std::wstring why, bool printed) {
  if (printed) {
    Print("");
    PrintWide(why);
  }
  if (failure_) *failure_ = std::move(why);
  return status;
}

std::wstring ConfigReader::ReadProfileValue(uint32_t capacity, const std::wstring& key,
                                            const std::wstring& section) const {
  std::array<wchar_t, kPathValueCapacity> buffer{};
  if (profile_.String(section, key, buffer.data(), capacity) == 0) return {};
  return buffer.data();
}

std::optional<std::string> ConfigReader::NarrowPartitionPath(const std::wstring& widePath,
                                                             const std::wstring& sectionName) {
  NarrowedPath narrowed = NarrowPath(widePath);
  if (narrowed.outcome == PathNarrowing::kNarrowed) return std::move(narrowed.path);
  Fail(kPartitionSectionFailed,
       L"[" + sectionName + L"] partition file path " + NarrowingFailureText(narrowed.outcome) +
           widePath,
       true);
  return std::nullopt;
}

int ConfigReader::ReadGeneralSetting(std::wstring& baseDirectory) {
  const std::wstring value =
      ReadProfileValue(kPathValueCapacity, L"Base_Directory", kGeneralSetting);
  if (value.empty()) {
    return Fail(kGeneralSettingFailed, L"[" + kGeneralSetting + L"] has no Base_Directory value",
                false);
  }
  baseDirectory = value;
  if (baseDirectory.back() != L'\\') baseDirectory += L'\\';
  return kConfigOk;
}

int ConfigReader::ReadPartitionSection(PartitionList& list, const std::wstring& baseDirectory,
                                       const std::wstring& sectionName) {
  const auto missing = [&](const wchar_t* key) {
    return Fail(kPartitionSectionFailed, L"[" + sectionName + L"] has no " + key + L" value",
                false);
  };
  const std::wstring file = ReadProfileValue(kPathValueCapacity, L"File", sectionName);
  if (file.empty()) return missing(L"File");
  const auto path = NarrowPartitionPath(baseDirectory + file, sectionName);
  if (!path) return kPartitionSectionFailed;

  PartitionSpec partition;
  partition.path = *path;
  partition.section = sectionName;
  const std::wstring start = ReadProfileValue(kNumberValueCapacity, L"Start_Address", sectionName);
  if (start.empty()) return missing(L"Start_Address");
  partition.startAddress = ParseNumber(NumberText(start));
  Print("Start_address = " + std::to_string(partition.startAddress));

  const std::wstring size = ReadProfileValue(kNumberValueCapacity, L"Partition_Size", sectionName);
  if (size.empty()) return missing(L"Partition_Size");
  partition.partitionSize = ParseNumber(NumberText(size));
  Print("Partition_Size = " + std::to_string(partition.partitionSize));

  const std::wstring compressed =
      ReadProfileValue(kNumberValueCapacity, L"Is_Compressed", sectionName);
  if (compressed.empty()) return missing(L"Is_Compressed");
  partition.isCompressed = compressed == L"true" ? 1 : 0;
  Print("Is_Compressed = " + std::to_string(partition.isCompressed));

  list.push_back(std::move(partition));
  return kConfigOk;
}

// A file without sections leaves the one empty name, read as a partition
// that has no File: the packer says nothing more, the reason says which.
int ConfigReader::FailWithoutSections() {
  return Fail(kPartitionSectionFailed,
              (profile_.Readable() ? L"configuration file has no sections: "
                                   : L"cannot read configuration file: ") +
                  configFile_,
              false);
}

int ConfigReader::ReadConfiguration(PartitionList& list) {
  std::array<wchar_t, kSectionListCapacity> names{};
  PrintWide(L"[debug]GetPrivateProfileSectionNames, configFile = " + configFile_);
  if (profile_.TooLarge()) {
    return Fail(kConfigurationTooLarge,
                L"configuration file too large: " + configFile_ + L" (at most " +
                    std::to_wstring(kMaxConfigurationBytes >> 20) + L" MiB)",
                true);
  }
  profile_.SectionNames(names.data(), kSectionListCapacity);

  // The list holds each name with its zero and one more zero after the last;
  // the platform keeps the last two positions zero when it has to cut it.
  names.back() = 0;
  for (std::size_t at = 0; at < names.size() && names[at] != 0;) {
    const std::wstring name = names.data() + at;
    PrintWide(L"sectionNames = " + name);
    at += name.size() + 1;
  }
  Print("Packaging...");

  std::wstring baseDirectory;
  std::size_t at = 0;
  for (;;) {
    const std::wstring name = names.data() + at;
    const std::size_t next = at + name.size() + 1;
    if (next >= names.size() || names[next] == 0) break;  // the last name
    if (IsPassedOver(name)) {
      Print("Read bootloader/ ext-bootloader...");
    } else if (name == kGeneralSetting) {
      Print("Read general setting...");
      const int status = ReadGeneralSetting(baseDirectory);
      if (status != kConfigOk) return status;
      PrintWide(L"Base directory is " + baseDirectory);
    } else {
      const int status = ReadPartitionSection(list, baseDirectory, name);
      if (status != kConfigOk) return status;
      PrintWide(L"[" + name + L"]");
    }
    at = next;
  }

  const std::wstring lastName = names.data() + at;
  if (lastName.empty()) return FailWithoutSections();
  const int status = ReadPartitionSection(list, baseDirectory, lastName);
  if (status != kConfigOk) return status;
  PrintWide(L"[" + lastName + L"]");
  Print("");
  return kConfigOk;
}

}  // namespace

int ReadConfiguration(const std::wstring& configFile, PartitionList& list, ReaderLines lines,
                      std::wstring* failure) {
  return ConfigReader(configFile, lines, failure).ReadConfiguration(list);
}

}  // namespace vantorel
