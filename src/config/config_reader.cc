// The configuration reader: the walk over the sections, the keys of each
// role, and the events of its steps in the order it takes them. Beside the
// walk it records what it understood and warns of values it reads
// differently from what they probably mean; neither changes the events or
// what it appends.
#include "config/config_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <string_view>

#include "common/hex.h"
#include "config/flash_layout.h"
#include "config/number.h"
#include "config/section_names.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace vantorel {
namespace {

constexpr uint32_t kSectionListCapacity = 120;
constexpr uint32_t kPathValueCapacity = 256;
constexpr uint32_t kNumberValueCapacity = 20;
// Enough for any value a person writes; the uncut text shown in messages.
constexpr uint32_t kRawValueCapacity = 4096;

const std::wstring kGeneralSetting(kGeneralSettingName);

std::string Quoted(std::wstring_view text) { return "\"" + Utf8ForDisplay(text) + "\""; }

class ConfigReader {
 public:
  ConfigReader(const std::wstring& configFile, ReadingEvents* events, ConfigurationReading& reading)
      : configFile_(configFile),
        profile_(configFile, kMaxConfigurationBytes),
        events_(events),
        reading_(reading) {
    reading_.file = Utf8ForDisplay(configFile);
  }

  Outcome ReadConfiguration(PartitionList& list);

 private:
  // Lists the sections, each with its line and the role the walk will give it.
  void ListSections(const std::array<wchar_t, kSectionListCapacity>& names);
  // Reads Base_Directory of [General Setting] into `baseDirectory`, ending
  // it in a backslash; fails with `baseDirectory` unchanged when the value
  // is missing or empty.
  Outcome ReadGeneralSetting(SectionReading& section, std::wstring& baseDirectory);
  // Reads File, Start_Address, Partition_Size and Is_Compressed of one
  // section, telling of each number and of the flag, and appends the
  // record; fails with nothing appended.
  Outcome ReadPartitionSection(SectionReading& section, PartitionList& list,
                               const std::wstring& baseDirectory);
  // The key's value cut to `capacity` - 1 characters, recorded with its
  // uncut text and line; empty when the section or key is missing or the
  // value is empty.
  std::wstring ReadProfileValue(SectionReading& section, uint32_t capacity,
                                const std::wstring& key);
  uint32_t ReadNumber(SectionReading& section, const std::wstring& value);
  int32_t ReadFlag(SectionReading& section, const std::wstring& value);
  void WarnOfRepeats();
  void WarnOfUnlistedSections(const std::vector<IniDocument::SectionLine>& lines);
  void WarnOfPassedOverFile(const SectionReading& section, std::size_t index);
  // Warns of a section read as a partition whose name is a special one
  // misspelt; the warning's words, or empty when there is none.
  std::string WarnOfMisspeltName(const SectionReading& section);

  Where At(const SectionReading& section, const KeyReading* key = nullptr) const;
  Diagnostic Missing(const SectionReading& section, const wchar_t* key) const;
  Outcome FailWithoutSections() const;

  // Tells the events of a step, when there are events to tell.
  template <typename Step, typename... Values>
  void Tell(Step step, const Values&... values) const {
    if (events_) (events_->*step)(values...);
  }

  const std::wstring& configFile_;
  const ProfileFile profile_;
  ReadingEvents* const events_;
  ConfigurationReading& reading_;
};

Where ConfigReader::At(const SectionReading& section, const KeyReading* key) const {
  Where where;
  where.file = reading_.file;
  where.line = key && key->line ? key->line : section.line;
  where.section = Utf8ForDisplay(section.name);
  if (key) where.key = Utf8ForDisplay(key->key);
  return where;
}

// Keys the reader knows; any other key of a section is never read.
bool IsKnownKey(std::wstring_view key) {
  for (const wchar_t* known :
       {L"File", L"Start_Address", L"Partition_Size", L"Is_Compressed", L"Base_Directory"}) {
    if (key.size() == std::wcslen(known) &&
        std::equal(key.begin(), key.end(), known,
                   [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); })) {
      return true;
    }
  }
  return false;
}

Diagnostic ConfigReader::Missing(const SectionReading& section, const wchar_t* key) const {
  std::string reason = "has no " + Utf8ForDisplay(key) + " value";
  // A misspelt key is the likeliest reason; the section's unknown keys name it.
  std::string unknown;
  for (const auto& [name, line] : profile_.Lines().KeysOf(section.name)) {
    if (IsKnownKey(name)) continue;
    unknown += (unknown.empty() ? "" : ", ") + Utf8ForDisplay(name) + " (line " +
               std::to_string(line) + ")";
  }
  if (!unknown.empty()) reason += "; keys the reader does not know: " + unknown;
  const bool specialName = IsPassedOverName(section.name) || section.name == kGeneralSetting;
  if (section.role == SectionRole::kLastSection && (specialName || key == std::wstring(L"File"))) {
    reason += " (the last section is always read as a partition, whatever its name)";
  }
  Where where = At(section);
  if (const uint32_t line = profile_.Lines().KeyLine(section.name, key)) {
    where.line = line;
    reason += ": it is empty";
  }
  return Error(FailureKind::kConfiguration, std::move(reason)).At(where);
}

std::wstring ConfigReader::ReadProfileValue(SectionReading& section, uint32_t capacity,
                                            const std::wstring& key) {
  std::array<wchar_t, kRawValueCapacity> buffer{};
  KeyReading& reading = section.keys.emplace_back();
  reading.key = key;
  if (profile_.String(section.name, key, buffer.data(), kRawValueCapacity) == 0) return {};
  reading.text = buffer.data();
  reading.line = profile_.Lines().KeyLine(section.name, key);
  // The profile call with the reader's own capacity: what the reader reads.
  if (profile_.String(section.name, key, buffer.data(), capacity) == 0) return {};
  return buffer.data();
}

uint32_t ConfigReader::ReadNumber(SectionReading& section, const std::wstring& value) {
  const uint32_t number = ParseNumber(NumberText(value));
  KeyReading& reading = section.keys.back();
  reading.readAs = HexAndDecimal(number);
  reading.number = number;
  if (const std::string doubt = NumberDoubt(reading.text); !doubt.empty()) {
    const std::string sentence = doubt.starts_with("read as ")
                                     ? " is " + doubt
                                     : " is read as " + reading.readAs + ": " + doubt;
    reading_.warnings.push_back(Warning(Quoted(reading.text) + sentence).At(At(section, &reading)));
  }
  return number;
}

int32_t ConfigReader::ReadFlag(SectionReading& section, const std::wstring& value) {
  const bool compressed = value == L"true";
  KeyReading& reading = section.keys.back();
  reading.readAs = compressed ? "true: compressed" : "false: stored plainly";
  if (reading.text != L"true" && reading.text != L"false") {
    reading_.warnings.push_back(Warning(Quoted(reading.text) +
                                        " is read as false, stored plainly: only \"true\" "
                                        "(exactly so) compresses")
                                    .At(At(section, &reading)));
  }
  return compressed ? 1 : 0;
}

Outcome ConfigReader::ReadGeneralSetting(SectionReading& section, std::wstring& baseDirectory) {
  const std::wstring value = ReadProfileValue(section, kPathValueCapacity, L"Base_Directory");
  if (value.empty()) {
    return Missing(section, L"Base_Directory");
  }
  baseDirectory = value;
  if (baseDirectory.back() != L'\\') baseDirectory += L'\\';
  section.keys.back().readAs = Utf8ForDisplay(baseDirectory);
  return {};
}

Outcome ConfigReader::ReadPartitionSection(SectionReading& section, PartitionList& list,
                                           const std::wstring& baseDirectory) {
  const std::wstring file = ReadProfileValue(section, kPathValueCapacity, L"File");
  if (file.empty()) return Missing(section, L"File");
  const NarrowedPath path = NarrowPath(baseDirectory + file);
  if (path.narrowing != PathNarrowing::kNarrowed) {
    return Error(FailureKind::kConfiguration,
                 Utf8ForDisplay(L"path " + NarrowingFailureText(path.narrowing) + baseDirectory +
                                file))
        .At(At(section, &section.keys.back()));
  }
  section.keys.back().readAs = Utf8ForDisplay(baseDirectory + file);

  PartitionSpec partition;
  partition.path = path.path;
  const std::wstring start = ReadProfileValue(section, kNumberValueCapacity, L"Start_Address");
  if (start.empty()) return Missing(section, L"Start_Address");
  partition.startAddress = ReadNumber(section, start);
  Tell(&ReadingEvents::StartAddressRead, partition.startAddress);

  const std::wstring size = ReadProfileValue(section, kNumberValueCapacity, L"Partition_Size");
  if (size.empty()) return Missing(section, L"Partition_Size");
  partition.partitionSize = ReadNumber(section, size);
  Tell(&ReadingEvents::PartitionSizeRead, partition.partitionSize);

  const std::wstring compressed = ReadProfileValue(section, kNumberValueCapacity, L"Is_Compressed");
  if (compressed.empty()) return Missing(section, L"Is_Compressed");
  partition.isCompressed = ReadFlag(section, compressed);
  Tell(&ReadingEvents::CompressionRead, partition.isCompressed);

  section.partition = list.size();
  list.push_back(std::move(partition));
  return {};
}

// A file without sections leaves the one empty name, read as a partition
// that has no File: no step is told of, the reason says which.
Outcome ConfigReader::FailWithoutSections() const {
  Diagnostic failure =
      profile_.Readable() ? Error(FailureKind::kConfiguration, "configuration file has no sections")
                          : Error(FailureKind::kConfiguration, "cannot read configuration file")
                                .Because(SystemErrorText(profile_.ReadError()));
  failure.where.file = reading_.file;
  return failure;
}

void ConfigReader::ListSections(const std::array<wchar_t, kSectionListCapacity>& names) {
  const std::vector<IniDocument::SectionLine> lines = profile_.Lines().Sections();
  for (std::size_t at = 0; at < names.size() && names[at] != 0;) {
    SectionReading section;
    section.name = names.data() + at;
    const std::size_t index = reading_.sections.size();
    section.line = index < lines.size() ? lines[index].line : 0;
    at += section.name.size() + 1;
    if (at >= names.size() || names[at] == 0) {
      section.role = SectionRole::kLastSection;
    } else if (IsPassedOverName(section.name)) {
      section.role = SectionRole::kPassedOver;
    } else if (section.name == kGeneralSetting) {
      section.role = SectionRole::kGeneralSetting;
    }
    reading_.sections.push_back(std::move(section));
  }
  WarnOfUnlistedSections(lines);
}

// The names are listed through a buffer of 120 characters: sections whose
// names do not fit are never read, and the last name listed may be cut.
void ConfigReader::WarnOfUnlistedSections(const std::vector<IniDocument::SectionLine>& lines) {
  const std::size_t listed = reading_.sections.size();
  if (listed == 0 || listed > lines.size()) return;
  const bool cut = reading_.sections.back().name != lines[listed - 1].name;
  if (!cut && listed == lines.size()) return;
  const std::size_t unread = lines.size() - listed + (cut ? 1 : 0);
  const IniDocument::SectionLine& first = lines[listed - (cut ? 1 : 0)];
  Where where;
  where.file = reading_.file;
  where.line = first.line;
  where.section = Utf8ForDisplay(first.name);
  std::string reason = "is never read";
  if (unread > 1) reason += ", nor the " + std::to_string(unread - 1) + " sections after it";
  reason += ": the section names fill the " + std::to_string(kSectionListCapacity) +
            " characters of the list";
  if (cut)
    reason += ", whose last name is cut to [" +
              Utf8ForDisplay(lines.empty() ? L"" : reading_.sections.back().name) + "]";
  reading_.warnings.push_back(Warning(std::move(reason)).At(where));
}

// With duplicate sections or keys the first answers; the others are dead text.
void ConfigReader::WarnOfRepeats() {
  for (const IniDocument::Repeat& repeat : profile_.Lines().Repeats()) {
    Where where;
    where.file = reading_.file;
    where.line = repeat.line;
    where.section = Utf8ForDisplay(repeat.section);
    if (repeat.key.empty()) {
      reading_.warnings.push_back(
          Warning("repeats the section of line " + std::to_string(repeat.firstLine) +
                  ", whose values answer for both; this one's are never read")
              .At(where));
    } else {
      where.key = Utf8ForDisplay(repeat.key);
      reading_.warnings.push_back(Warning("repeats the key of line " +
                                          std::to_string(repeat.firstLine) +
                                          ", whose value answers; this one is never read")
                                      .At(where));
    }
  }
}

std::string ConfigReader::WarnOfMisspeltName(const SectionReading& section) {
  const auto meant = SpecialNameMeant(section.name);
  if (!meant) return {};
  const std::string text = "[" + Utf8ForDisplay(section.name) + "] is read as a partition; " +
                           "did you mean [" + Utf8ForDisplay(*meant) + "]?";
  Where where = At(section);
  where.section.clear();
  reading_.warnings.push_back(Warning(text).At(where));
  return text;
}

void ConfigReader::WarnOfPassedOverFile(const SectionReading& section, std::size_t index) {
  const uint32_t line = profile_.Lines().KeyLineIn(index, L"File");
  if (line == 0) return;
  Where where = At(section);
  where.line = line;
  where.key = "File";
  reading_.warnings.push_back(
      Warning("is not packed: a section named Bootloader, Ext-Bootloader or with Flash in its "
              "name is passed over unless it is the last one")
          .At(where));
}

Outcome ConfigReader::ReadConfiguration(PartitionList& list) {
  std::array<wchar_t, kSectionListCapacity> names{};
  Tell(&ReadingEvents::ReadingBegun, configFile_);
  if (profile_.TooLarge()) {
    Diagnostic failure = Error(FailureKind::kConfiguration,
                               "configuration file is larger than " +
                                   std::to_string(kMaxConfigurationBytes >> 20) + " MiB");
    failure.where.file = reading_.file;
    return failure;
  }
  profile_.SectionNames(names.data(), kSectionListCapacity);

  // The list holds each name with its zero and one more zero after the last;
  // the platform keeps the last two positions zero when it has to cut it.
  names.back() = 0;
  ListSections(names);
  Tell(&ReadingEvents::SectionsListed, reading_.sections);
  WarnOfRepeats();
  if (reading_.sections.empty()) return FailWithoutSections();

  std::wstring baseDirectory;
  for (std::size_t index = 0; index < reading_.sections.size(); ++index) {
    SectionReading& section = reading_.sections[index];
    section.reached = true;
    switch (section.role) {
      case SectionRole::kPassedOver:
        Tell(&ReadingEvents::SectionPassedOver, section);
        WarnOfPassedOverFile(section, index);
        break;
      case SectionRole::kGeneralSetting: {
        Tell(&ReadingEvents::GeneralSettingBegun, section);
        if (Outcome outcome = ReadGeneralSetting(section, baseDirectory); !outcome.ok()) {
          return outcome;
        }
        Tell(&ReadingEvents::BaseDirectoryRead, baseDirectory);
        break;
      }
      case SectionRole::kPartition:
      case SectionRole::kLastSection: {
        const std::string misspelt = WarnOfMisspeltName(section);
        if (Outcome outcome = ReadPartitionSection(section, list, baseDirectory); !outcome.ok()) {
          if (!misspelt.empty()) outcome.failure().reason += "; " + misspelt;
          return outcome;
        }
        Tell(&ReadingEvents::PartitionRead, section);
        break;
      }
    }
  }
  return {};
}

}  // namespace

const SectionReading* ConfigurationReading::SectionOf(std::size_t index) const {
  for (const SectionReading& section : sections) {
    if (section.partition == index) return &section;
  }
  return nullptr;
}

Outcome ReadConfiguration(const std::wstring& configFile, PartitionList& list,
                          ConfigurationReading& reading, ReadingEvents* events) {
  return ConfigReader(configFile, events, reading).ReadConfiguration(list);
}

Warnings CheckPartitions(const PartitionList& list, const ConfigurationReading& reading) {
  const auto placeOf = [&](std::size_t index) {
    Where where;
    where.file = reading.file;
    if (const SectionReading* section = reading.SectionOf(index)) {
      where.line = section->line;
      where.section = Utf8ForDisplay(section->name);
    }
    return where;
  };
  const auto nameOf = [&](std::size_t index) {
    const SectionReading* section = reading.SectionOf(index);
    return section ? "[" + Utf8ForDisplay(section->name) + "]"
                   : "partition " + std::to_string(index);
  };
  Warnings warnings;
  std::vector<FlashRange> ranges;
  for (const PartitionSpec& partition : list) {
    ranges.push_back(RangeOf(partition.startAddress, partition.partitionSize));
  }
  for (const LayoutFinding& finding : FindLayoutFindings(ranges)) {
    const std::size_t i = finding.first;
    if (finding.kind == LayoutFinding::Kind::kPastFlashEnd) {
      warnings.push_back(
          Warning("runs past 4 GiB in flash: " + RangeText(ranges[i])).At(placeOf(i)));
    } else {
      const std::size_t j = *finding.second;
      warnings.push_back(Warning("overlaps " + nameOf(j) + " in flash: " + RangeText(ranges[i]) +
                                 " and " + RangeText(ranges[j]))
                             .At(placeOf(i)));
    }
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (SizeOfPath(list[i].path) == uint64_t{0}) {
      warnings.push_back(Warning("partition file " + list[i].path + " is empty").At(placeOf(i)));
    }
  }
  return warnings;
}

}  // namespace vantorel
