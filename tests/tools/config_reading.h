// How the configuration corpus records a reading: after the reader's own
// lines, whether it read, its warnings, why it failed (when it did) and the
// partition list, the paths in hexadecimal so that any byte shows.
#pragma once

#include <cstdio>
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

}  // namespace vantorel::corpus
