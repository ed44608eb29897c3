// Arbitrary image bytes through the image reader of vantorel-inspect.
#include "image/image_reader.h"
#include "test_support/memory_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  vantorel::testing::MemorySource source(bytes);
  const vantorel::ImageReport report = vantorel::ReadImage(source);
  if (report.problem && report.problem->offset > size + 20) __builtin_trap();
  return 0;
}
