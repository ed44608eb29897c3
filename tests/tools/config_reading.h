// How the configuration corpus records a reading: after the reader's own
// lines, whether it read, its warnings, why it failed (when it did) and the
// partition list, the paths in hexadecimal so that any byte shows.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "config/config_reader.h"
#include "platform/text.h"

namespace vantorel::corpus {

inline std::string DescribeReading(const Outcome& outcome, const ConfigurationReading& reading,
                                   const PartitionList& list) {
  std::string text = outcome.ok() ? "outcome read\n" : "outcome failed\n";
  Warnings warnings = reading.warnings;
  if (outcome.ok()) {
    for (Diagnostic& warning : CheckPartitions(list, reading)) warnings.push_back(warning);
  }
  for (const Diagnostic& warning : warnings) text += "warning " + DiagnosticText(warning) + "\n";
  if (!outcome.ok()) text += "why " + DiagnosticText(outcome.failure()) + "\n";
  for (const PartitionSpec& partition : list) {
    std::string hex;
    for (const unsigned char c : partition.path) {
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02x", c);
      hex += digits;
    }
    text += "record " + hex + " " + std::to_string(partition.startAddress) + " " +
            std::to_string(partition.partitionSize) + " " + std::to_string(partition.isCompressed) +
            "\n";
  }
  return text;
}

// What a record holds after the lines the packer prints while it reads
// (none of which begins as the reading does).
inline std::string RecordedReading(const std::string& record) {
  if (record.starts_with("outcome ")) return record;
  const std::size_t at = record.find("\noutcome ");
  return at == std::string::npos ? std::string() : record.substr(at + 1);
}

// Calls check(name, record) for each case of the corpus folder, a file
// NAME.ini beside its record NAME.reading, from inside the folder (the
// packer's first line names the path as given); returns the count.
template <typename Check>
int ForEachCase(const std::filesystem::path& corpus, Check check) {
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(corpus);
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".ini") continue;
    std::ifstream in(std::filesystem::path(entry.path()).replace_extension(".reading"),
                     std::ios::binary);
    std::ostringstream record;
    record << in.rdbuf();
    check(entry.path().filename(), record.str());
    ++checked;
  }
  std::filesystem::current_path(saved);
  return checked;
}

}  // namespace vantorel::corpus
