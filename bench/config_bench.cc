// Reading configurations of many sections, as both programs read them
// (ReadConfiguration, silently): the time must grow with the file, not with
// the square of its sections. Each configuration has a [General Setting],
// then partition sections of about 80 bytes; every tenth section repeats an
// earlier one's name in other case and every tenth repeats its File key, so
// that the lookups and the warnings of repeats are measured too.
// Usage: vantorel_config_bench [FOLDER]   (scratch files; default: the
// system's temporary folder). Prints one line per size.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/config_reader.h"
#include "platform/text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Configuration(int sections) {
  std::string text = "[General Setting]\nBase_Directory=firmware\n";
  char line[160];
  for (int i = 1; i < sections; ++i) {
    // Every tenth name is an earlier one in capitals: a repeated section.
    if (i % 10 == 0) {
      std::snprintf(line, sizeof line, "[PARTITION_%05d]\n", i / 2);
    } else {
      std::snprintf(line, sizeof line, "[Partition_%05d]\n", i);
    }
    text += line;
    std::snprintf(line, sizeof line,
                  "File=part%05d.bin\nStart_Address=0x%08X\nPartition_Size=0x1000\n"
                  "Is_Compressed=false\n",
                  i, static_cast<unsigned>(i) * 0x1000u);
    text += line;
    if (i % 10 == 5) text += "file=again.bin\n";  // a repeated key
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  std::printf("%9s %10s %9s %9s %9s\n", "sections", "bytes", "seconds", "us/section", "warnings");
  for (const int sections : {10000, 30000, 100000}) {
    const std::filesystem::path path =
        folder / ("vantorel_config_bench_" + std::to_string(sections) + ".ini");
    const std::string text = Configuration(sections);
    std::ofstream(path, std::ios::binary) << text;
    // The best of three readings, or of fewer when one takes seconds.
    double best = 0;
    std::size_t warnings = 0;
    double spent = 0;
    for (int run = 0; run < 3 && spent < 2.0; ++run) {
      vantorel::PartitionList list;
      vantorel::ConfigurationReading reading;
      const auto start = Clock::now();
      (void)vantorel::ReadConfiguration(vantorel::WideFromUtf8(path.string()), list, reading);
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      best = run == 0 ? seconds : std::min(best, seconds);
      spent += seconds;
      warnings = reading.warnings.size();
    }
    std::filesystem::remove(path);
    std::printf("%9d %10zu %9.3f %10.2f %9zu\n", sections, text.size(), best, best * 1e6 / sections,
                warnings);
  }
  return 0;
}
