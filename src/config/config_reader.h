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

// Walks the file's sections in order: passed-over sections, the general
// setting, partition sections; the last section is always read as a
// partition. Appends one record per partition section read.
int ReadConfiguration(const std::wstring& configFile, PartitionList& list);

// Reads Base_Directory of [General Setting] and makes it end in a backslash.
int ReadGeneralSetting(const ProfileFile& profile, std::wstring& baseDirectory);

// Reads File, Start_Address, Partition_Size and Is_Compressed of one section
// and appends the record.
int ReadPartitionSection(const ProfileFile& profile, PartitionList& list,
                         const std::wstring& baseDirectory, const std::wstring& sectionName);

// True when the key has a non-empty value in the section.
bool ReadProfileValue(const ProfileFile& profile, wchar_t* buffer, uint32_t capacity,
                      const std::wstring& key, const std::wstring& section);

}  // namespace vantorel
