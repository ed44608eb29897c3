// The packer's reading and writing lines.
#include "programs/vantorel/run_lines.h"

#include <string>

#include "platform/console.h"

namespace vantorel {

void RunLines::ReadingBegun(const std::wstring& configFile) {
  WriteWideLine(L"[debug]GetPrivateProfileSectionNames, configFile = " + configFile);
}

void RunLines::SectionsListed(const std::vector<SectionReading>& sections) {
  for (const SectionReading& section : sections) WriteWideLine(L"sectionNames = " + section.name);
  WriteLine("Packaging...");
}

void RunLines::SectionPassedOver(const SectionReading&) {
  WriteLine("Read bootloader/ ext-bootloader...");
}

void RunLines::GeneralSettingBegun(const SectionReading&) { WriteLine("Read general setting..."); }

void RunLines::BaseDirectoryRead(const std::wstring& baseDirectory) {
  WriteWideLine(L"Base directory is " + baseDirectory);
}

// The label's lower-case a is as the lines always read, unlike the key's.
void RunLines::StartAddressRead(uint32_t startAddress) {
  WriteLine("Start_address = " + std::to_string(startAddress));
}

void RunLines::PartitionSizeRead(uint32_t partitionSize) {
  WriteLine("Partition_Size = " + std::to_string(partitionSize));
}

void RunLines::CompressionRead(int32_t isCompressed) {
  WriteLine("Is_Compressed = " + std::to_string(isCompressed));
}

// The last section read ends the reading's lines with an empty one.
void RunLines::PartitionRead(const SectionReading& section) {
  WriteWideLine(L"[" + section.name + L"]");
  if (section.role == SectionRole::kLastSection) WriteLine("");
}

// A path without a narrow form is shown as it was given, before the run fails on it.
void RunLines::OutputNamed(const std::wstring& outputFile, const NarrowedPath& narrowed) {
  if (narrowed.narrowing == PathNarrowing::kNarrowed) {
    WriteLine("Output File = " + narrowed.path);
  } else {
    WriteWideLine(L"Output File = " + outputFile);
  }
}

void RunLines::CompressedFileSized(std::size_t, int32_t size) { WriteLine(std::to_string(size)); }

}  // namespace vantorel
