// Reads the INI configuration file into the list of partitions to pack: the
// packer prints one progress line per step; vantorel-inspect reads the same
// way silently. Both are told what the reader understood (each section's
// role, each key's text and what it was read as), what it reads differently
// from what was probably meant (warnings), and why a reading failed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "config/partition_spec.h"

namespace vantorel {

// A configuration file is read whole, once; a larger one is refused.
inline constexpr std::size_t kMaxConfigurationBytes = 16 * 1024 * 1024;

enum class ReaderLines {
  kPrint,   // the progress lines
  kSilent,  // nothing at all
};

enum class SectionRole {
  kPassedOver,      // by its name: Bootloader, Ext-Bootloader, names with Flash
  kGeneralSetting,  // General Setting, not last
  kPartition,       // any other name, not last
  kLastSection,     // the last section, read as a partition whatever its name
};

struct KeyReading {
  std::wstring key;
  std::wstring text;   // the value as the file gives it, uncut; empty when missing
  uint32_t line = 0;   // 0 when the key is missing
  std::string readAs;  // UTF-8: what the reader made of the value
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

// Reads the file once and walks its sections in order: passed-over
// sections, the general setting, partition sections; the last section is
// always read as a partition. Appends one record per partition section read
// and fills `reading`. On failure, a configuration failure (a [General
// Setting] that is not last has no Base_Directory; a section read as a
// partition lacks a key or its path cannot be used; the file cannot be read,
// has no sections or holds more than kMaxConfigurationBytes), the records
// appended before it stay, and the failure names the file, line, section
// and key.
Outcome ReadConfiguration(const std::wstring& configFile, PartitionList& list,
                          ConfigurationReading& reading, ReaderLines lines = ReaderLines::kPrint);

// Warnings about the partitions of a successful reading that no single key
// shows: flash ranges that overlap or run past 4 GiB, and partition files
// that are empty.
Warnings CheckPartitions(const PartitionList& list, const ConfigurationReading& reading);

}  // namespace vantorel
