// What the platforms' folders have in common.
#include "platform/folders.h"

#include <cstdio>
#include <mutex>
#include <random>

namespace vantorel {

std::string TemporaryNameFor(const std::string& target) {
  // Extraction's workers ask for names at once.
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}()};
  const std::lock_guard lock(mutex);
  const std::size_t slash = target.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(random() >> 16));
  return folder + "." + name + suffix;
}

}  // namespace vantorel
