// Reads the INI configuration file into the list of partitions to pack. The
// reader prints nothing: it tells its caller of each step as it takes it
// (ReadingEvents), from which the packer prints its progress lines, while
// vantorel-inspect reads silently. Both are told what the reader understood
// (each section's role, each key's text and what it was read as), what it
// reads differently from what was probably meant (warnings), and why a
// reading failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "config/partition_spec.h"

namespace vantorel {

// A configuration file is read whole, once; a larger one is refused.
inline constexpr std::size_t kMaxConfigurationBytes = 16 * 1024 * 1024;

enum class SectionRole {
  kPassedOver,      // by its name: Bootloader, Ext-Bootloader, names with Flash
  kGeneralSetting,  // General Setting, not last
  kPartition,       // any other name, not last
  kLastSection,     // the last section, read as a partition whatever its name
};

struct KeyReading {
  std::wstring key;
  std::wstring text;               // the value as the file gives it, uncut; empty when missing
  uint32_t line = 0;               // 0 when the key is missing
  std::string readAs;              // UTF-8: what the reader made of the value
  std::optional<uint32_t> number;  // the value of a number key, once read
};

struct SectionReading {
  std::wstring name;
  uint32_t line = 0;
  SectionRole role = SectionRole::kPartition;
  bool reached = false;                  // false for sections after the one whose reading failed
  std::vector<KeyReading> keys;          // in the order they were read
  std::optional<std::size_t> partition;  // the index in the list, once read in full
};

// What one reading understood, in file order, and its warnings.
struct ConfigurationReading {
  std::string file;  // UTF-8, as given
  std::vector<SectionReading> sections;
  Warnings warnings;

  // The section that gave partition `index`; null when none did.
  const SectionReading* SectionOf(std::size_t index) const;
};

// The reader's steps, each told as it is taken, in the order of the walk.
// A reading that fails is told of no step after the failure.
class ReadingEvents {
 public:
  virtual ~ReadingEvents() = default;

  // Before anything is read.
  virtual void ReadingBegun(const std::wstring& configFile) = 0;
  // The sections the walk will take, in file order, with their roles.
  virtual void SectionsListed(const std::vector<SectionReading>& sections) = 0;
  virtual void SectionPassedOver(const SectionReading& section) = 0;
  // Before its Base_Directory is read.
  virtual void GeneralSettingBegun(const SectionReading& section) = 0;
  // Ending in a backslash, as it goes in front of the File of later partitions.
  virtual void BaseDirectoryRead(const std::wstring& baseDirectory) = 0;
  // The values of a partition section's keys, each once it was read.
  virtual void StartAddressRead(uint32_t startAddress) = 0;
  virtual void PartitionSizeRead(uint32_t partitionSize) = 0;
  virtual void CompressionRead(int32_t isCompressed) = 0;
  // A partition section read in full; its record is appended.
  virtual void PartitionRead(const SectionReading& section) = 0;
};

// Reads the file once and walks its sections in order: passed-over
// sections, the general setting, partition sections; the last section is
// always read as a partition. Appends one record per partition section read
// and fills `reading`. On failure, a configuration failure (a [General
// Setting] that is not last has no Base_Directory; a section read as a
// partition lacks a key or its path cannot be used; the file cannot be read,
// has no sections or holds more than kMaxConfigurationBytes), the records
// appended before it stay, and the failure names the file, line, section
// and key. `events`, when given, is told of each step.
Outcome ReadConfiguration(const std::wstring& configFile, PartitionList& list,
                          ConfigurationReading& reading, ReadingEvents* events = nullptr);

// Warnings about the partitions of a successful reading that no single key
// shows: flash ranges that overlap or run past 4 GiB, and partition files
// that are empty.
Warnings CheckPartitions(const PartitionList& list, const ConfigurationReading& reading);

}  // namespace vantorel
