// The configuration reader: the walk over the sections, the keys of each
// role, and the progress lines in the order the reader takes its steps.
#include "config/config_reader.h"

#include <array>
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

constexpr std::wstring_view kGeneralSetting = L"General Setting";

bool IsPassedOver(std::wstring_view name) {
  return name == L"Bootloader" || name == L"Ext-Bootloader" ||
         name.find(L"Flash") != std::wstring_view::npos;
}

// Reads one value into a buffer of the given capacity; empty when missing.
std::wstring ReadValue(const ProfileFile& profile, uint32_t capacity, const std::wstring& key,
                       const std::wstring& section) {
  std::array<wchar_t, kPathValueCapacity> buffer{};
  if (!ReadProfileValue(profile, buffer.data(), capacity, key, section)) return {};
  return buffer.data();
}

void PrintNumberLine(std::string_view label, uint32_t value) {
  WriteLine(std::string(label) + std::to_string(value));
}

// The narrow path of a partition, or nullopt after saying why there is none.
std::optional<std::string> NarrowPartitionPath(const std::wstring& widePath,
                                               const std::wstring& sectionName) {
  NarrowedPath narrowed = NarrowPath(widePath);
  if (narrowed.outcome == PathNarrowing::kNarrowed) return std::move(narrowed.path);
  WriteLine("");
  WriteWideLine(L"[" + sectionName + L"] partition file path " +
                NarrowingFailureText(narrowed.outcome) + widePath);
  return std::nullopt;
}

}  // namespace

bool ReadProfileValue(const ProfileFile& profile, wchar_t* buffer, uint32_t capacity,
                      const std::wstring& key, const std::wstring& section) {
  return profile.String(section, key, buffer, capacity) != 0;
}

int ReadGeneralSetting(const ProfileFile& profile, std::wstring& baseDirectory) {
  const std::wstring value =
      ReadValue(profile, kPathValueCapacity, L"Base_Directory", std::wstring(kGeneralSetting));
  if (value.empty()) return kGeneralSettingFailed;
  baseDirectory = value;
  if (baseDirectory.back() != L'\\') baseDirectory += L'\\';
  return kConfigOk;
}

int ReadPartitionSection(const ProfileFile& profile, PartitionList& list,
                         const std::wstring& baseDirectory, const std::wstring& sectionName) {
  const std::wstring file = ReadValue(profile, kPathValueCapacity, L"File", sectionName);
  if (file.empty()) return kPartitionSectionFailed;
  const auto path = NarrowPartitionPath(baseDirectory + file, sectionName);
  if (!path) return kPartitionSectionFailed;

  PartitionSpec partition;
  partition.path = *path;
  const std::wstring start =
      ReadValue(profile, kNumberValueCapacity, L"Start_Address", sectionName);
  if (start.empty()) return kPartitionSectionFailed;
  partition.startAddress = ParseNumber(NumberText(start));
  PrintNumberLine("Start_address = ", partition.startAddress);

  const std::wstring size =
      ReadValue(profile, kNumberValueCapacity, L"Partition_Size", sectionName);
  if (size.empty()) return kPartitionSectionFailed;
  partition.partitionSize = ParseNumber(NumberText(size));
  PrintNumberLine("Partition_Size = ", partition.partitionSize);

  const std::wstring compressed =
      ReadValue(profile, kNumberValueCapacity, L"Is_Compressed", sectionName);
  if (compressed.empty()) return kPartitionSectionFailed;
  partition.isCompressed = compressed == L"true" ? 1 : 0;
  PrintNumberLine("Is_Compressed = ", static_cast<uint32_t>(partition.isCompressed));

  list.push_back(std::move(partition));
  return kConfigOk;
}

int ReadConfiguration(const std::wstring& configFile, PartitionList& list) {
  std::array<wchar_t, kSectionListCapacity> names{};
  WriteWideLine(L"[debug]GetPrivateProfileSectionNames, configFile = " + configFile);
  const ProfileFile profile(configFile, kMaxConfigurationBytes);
  if (profile.TooLarge()) {
    WriteLine("");
    WriteWideLine(L"configuration file too large: " + configFile + L" (at most " +
                  std::to_wstring(kMaxConfigurationBytes >> 20) + L" MiB)");
    return kConfigurationTooLarge;
  }
  profile.SectionNames(names.data(), kSectionListCapacity);

  // The list holds each name with its zero and one more zero after the last;
  // the platform keeps the last two positions zero when it has to cut it.
  names.back() = 0;
  for (std::size_t at = 0; at < names.size() && names[at] != 0;) {
    const std::wstring name = names.data() + at;
    WriteWideLine(L"sectionNames = " + name);
    at += name.size() + 1;
  }
  WriteLine("Packaging...");

  std::wstring baseDirectory;
  std::size_t at = 0;
  for (;;) {
    const std::wstring name = names.data() + at;
    const std::size_t next = at + name.size() + 1;
    if (next >= names.size() || names[next] == 0) break;  // the last name
    if (IsPassedOver(name)) {
      WriteLine("Read bootloader/ ext-bootloader...");
    } else if (name == kGeneralSetting) {
      WriteLine("Read general setting...");
      const int status = ReadGeneralSetting(profile, baseDirectory);
      if (status != kConfigOk) return status;
      WriteWideLine(L"Base directory is " + baseDirectory);
    } else {
      const int status = ReadPartitionSection(profile, list, baseDirectory, name);
      if (status != kConfigOk) return status;
      WriteWideLine(L"[" + name + L"]");
    }
    at = next;
  }

  const std::wstring lastName = names.data() + at;
  const int status = ReadPartitionSection(profile, list, baseDirectory, lastName);
  if (status != kConfigOk) return status;
  WriteWideLine(L"[" + lastName + L"]");
  WriteLine("");
  return kConfigOk;
}

}  // namespace vantorel
