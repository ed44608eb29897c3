// Arbitrary configuration files through the whole configuration reader and
// the INI profile reader under it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/config_reader.h"
#include "platform/utf8.h"

namespace {

std::string ScratchFile() {
  static const std::string path = [] {
    char pattern[] = "/tmp/vantorel-fuzz-config-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(pattern);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = ScratchFile();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  vantorel::PartitionList list;
  vantorel::ConfigurationReading reading;
  const vantorel::Outcome outcome = vantorel::ReadConfiguration(
      vantorel::DecodeUtf8(path, vantorel::InvalidUtf8::kEscape), list, reading);
  if (outcome.kind() != vantorel::FailureKind::kNone &&
      outcome.kind() != vantorel::FailureKind::kConfiguration)
    __builtin_trap();  // a reading fails only as a configuration
  if (!outcome.ok() && outcome.failure().reason.empty())
    __builtin_trap();                                  // every failure says why
  if (outcome.ok() && list.empty()) __builtin_trap();  // success reads the last section
  for (const auto& warning : reading.warnings) {
    if (warning.where.file.empty() || warning.where.line == 0) __builtin_trap();  // says where
  }
  (void)vantorel::CheckPartitions(list, reading);
  for (const auto& partition : list) {
    if (partition.path.empty() || partition.path.size() > 255) __builtin_trap();
    if (partition.isCompressed != 0 && partition.isCompressed != 1) __builtin_trap();
  }
  return 0;
}
