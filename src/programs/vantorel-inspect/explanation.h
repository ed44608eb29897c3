// What a configuration makes before anything is packed: each section in
// file order with the role the packer gives it, each key's text and what it
// is read as, each partition's file against its Partition_Size, the flash
// layout by address, and every warning. For people and as JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "config/config_reader.h"

namespace vantorel {

struct PartitionFile {
  std::string path;              // as the packer opens it
  std::optional<uint64_t> size;  // none when it is no file that can be read
  std::string error;             // then why: the system's text
  uint32_t partitionSize = 0;
  bool Fits() const { return size && *size <= partitionSize; }
};

struct Explanation {
  ConfigurationReading reading;
  PartitionList list;
  std::optional<Diagnostic> failure;  // why the reading failed, if it did
  std::vector<PartitionFile> files;   // one per partition of the list
  Warnings warnings;                  // the reading's, then the partitions'
  // Why the packer would refuse the partitions: the packing rules' failure,
  // its partition named by section.
  std::optional<Diagnostic> refusal;
  bool strict = false;

  // What the exit status says: the configuration reads, the packing rules
  // take its partitions and files, every partition file is a regular file
  // (the size of any other is known only once it is read), and, under
  // --strict, nothing was warned of.
  bool Passed() const;
  // Why it does not pass, in words; empty when it does.
  std::string Verdict() const;
};

// Reads the configuration as the packer does, silently, opens each regular
// partition file for its size (a pipe or device is not opened, for nothing
// may be writing to it yet) and checks the packing rules. Prints nothing.
Explanation ExplainConfiguration(const std::wstring& configFile, bool strict);

std::string FormatExplanationText(const Explanation& explanation);
std::string FormatExplanationJson(const Explanation& explanation);

}  // namespace vantorel
