// Reads the INI configuration file into the list of partitions to pack: the
// packer prints one progress line per step; vantorel-inspect reads the same
// way silently and keeps the reason for a failure.
#pragma once

#include <cstddef>
#include <string>

#include "config/partition_spec.h"

namespace vantorel {

inline constexpr int kConfigOk = 0;
inline constexpr int kGeneralSettingFailed = 2;
inline constexpr int kPartitionSectionFailed = 3;
inline constexpr int kConfigurationTooLarge = 4;

// A configuration file is read whole, once; a larger one is refused.
inline constexpr std::size_t kMaxConfigurationBytes = 16 * 1024 * 1024;

enum class ReaderLines {
  kPrint,   // the progress lines, and the lines of the failures that have them
  kSilent,  // nothing at all
};

// Reads the file once and walks its sections in order: passed-over
// sections, the general setting, partition sections; the last section is
// always read as a partition. Appends one record per partition section
// read. Returns kConfigOk when every section was dealt with (the list then
// holds at least one record); kGeneralSettingFailed when a [General Setting]
// that is not last has no Base_Directory; kPartitionSectionFailed when a
// section read as a partition lacks a key or its path cannot be used (a file
// that cannot be read counts as one without sections);
// kConfigurationTooLarge for a file of more than kMaxConfigurationBytes.
// Records appended before a failure stay. `failure`, when given, receives
// one line that says why the reading failed.
int ReadConfiguration(const std::wstring& configFile, PartitionList& list,
                      ReaderLines lines = ReaderLines::kPrint, std::wstring* failure = nullptr);

}  // namespace vantorel
