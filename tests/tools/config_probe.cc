// Reads a configuration file as the packer does and prints the packer's
// lines and what it read, as the configuration corpus records them, so that
// the Linux and the Windows builds can be compared on the same files.
// Usage: config_probe FILE.ini
#include "config_reading.h"
#include "platform/console.h"
#include "programs/vantorel/run_lines.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  vantorel::PartitionList list;
  vantorel::ConfigurationReading reading;
  vantorel::RunLines lines;
  const vantorel::Outcome outcome =
      vantorel::ReadConfiguration(vantorel::WideFromUtf8(argv[1]), list, reading, &lines);
  vantorel::WriteUtf8Text(vantorel::corpus::DescribeReading(outcome, reading, list));
  return 0;
}
