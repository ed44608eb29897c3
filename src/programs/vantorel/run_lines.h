// The packer's lines of the configuration reading and of the image writing,
// printed on standard output as the reader and the writer tell their steps:
// the narrow stream for numbers and fixed texts, the wide one for lines that
// carry a path or a section name. The order of the lines is the order of
// the steps.
#pragma once

#include "config/config_reader.h"
#include "image/image_writer.h"

namespace vantorel {

class RunLines final : public ReadingEvents, public WriterEvents {
 public:
  void ReadingBegun(const std::wstring& configFile) override;
  void SectionsListed(const std::vector<SectionReading>& sections) override;
  void SectionPassedOver(const SectionReading& section) override;
  void GeneralSettingBegun(const SectionReading& section) override;
  void BaseDirectoryRead(const std::wstring& baseDirectory) override;
  void StartAddressRead(uint32_t startAddress) override;
  void PartitionSizeRead(uint32_t partitionSize) override;
  void CompressionRead(int32_t isCompressed) override;
  void PartitionRead(const SectionReading& section) override;

  void OutputNamed(const std::wstring& outputFile, const NarrowedPath& narrowed) override;
  void CompressedFileSized(std::size_t index, int32_t size) override;
};

}  // namespace vantorel
