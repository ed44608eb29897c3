// Reads a configuration file with the configuration reader and prints, after
// the reader's own lines, its status and the partition list, so that the
// Linux and the Windows builds can be compared on the same files.
// Usage: config_probe FILE.ini
#include <cstdio>
#include <string>

#include "config/config_reader.h"
#include "platform/console.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  vantorel::PartitionList list;
  const int status = vantorel::ReadConfiguration(vantorel::WideFromUtf8(argv[1]), list);
  vantorel::WriteLine("status " + std::to_string(status));
  for (const auto& partition : list) {
    std::string hex;
    for (unsigned char c : partition.path) {
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02x", c);
      hex += digits;
    }
    vantorel::WriteLine("record " + hex + " " + std::to_string(partition.startAddress) + " " +
                        std::to_string(partition.partitionSize) + " " +
                        std::to_string(partition.isCompressed));
  }
  return 0;
}
