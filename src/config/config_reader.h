// Reads the INI configuration file into the list of partitions to pack,
// printing one progress line per step.
#pragma once

#include <cstdint>
#include <string>

#include "config/partition_spec.h"
#include "platform/profile.h"

namespace vantorel {

inline constexpr int kConfigOk = 0;
inline constexpr int kGeneralSettingFailed = 2;
inline constexpr int kPartitionSectionFailed = 3;
inline constexpr int kConfigurationTooLarge = 4;

// A configuration file is read whole, once; a larger one is refused.
inline constexpr std::size_t kMaxConfigurationBytes = 16 * 1024 * 1024;

// Reads the file once and walks its sections in order: passed-over
// sections, the general setting, partition sections; the last section is
// always read as a partition. Appends one record per partition section read
// and prints one progress line per step. Returns kConfigOk when every
// section was dealt with (the list then holds at least one record);
// kGeneralSettingFailed when [General Setting] has no Base_Directory;
// kPartitionSectionFailed when a partition section lacks a key or its path
// cannot be used (a file that cannot be read counts as one without
// sections); kConfigurationTooLarge, after saying so, for a file of more
// than kMaxConfigurationBytes. Records appended before a failure stay.
int ReadConfiguration(const std::wstring& configFile, PartitionList& list);

// Reads Base_Directory of [General Setting] into `baseDirectory`, ending it
// in a backslash. kConfigOk, or kGeneralSettingFailed with `baseDirectory`
// unchanged when the value is missing or empty. Prints nothing.
int ReadGeneralSetting(const ProfileFile& profile, std::wstring& baseDirectory);

// Reads File, Start_Address, Partition_Size and Is_Compressed of one section,
// printing the line of each number and of the flag, and appends the record.
// kConfigOk, or kPartitionSectionFailed, with nothing appended, when a key is
// missing or empty or the path cannot be narrowed (which is said).
int ReadPartitionSection(const ProfileFile& profile, PartitionList& list,
                         const std::wstring& baseDirectory, const std::wstring& sectionName);

// Reads the key's value into the buffer of `capacity` characters, cut to
// fit; true when at least one character was delivered. Prints nothing.
bool ReadProfileValue(const ProfileFile& profile, wchar_t* buffer, uint32_t capacity,
                      const std::wstring& key, const std::wstring& section);

}  // namespace vantorel
