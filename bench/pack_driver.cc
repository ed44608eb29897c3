// Packs one partition file with a given number of worker threads, so that
// benchmarks can measure time and memory for any count.
// Usage: vantorel_pack_driver THREADS plain|compressed FILE IMAGE
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/image_writer.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s THREADS plain|compressed FILE IMAGE\n", argv[0]);
    return 2;
  }
  vantorel::WriterOptions options;
  options.threads = static_cast<unsigned>(std::atoi(argv[1]));
  const int compressed = std::string(argv[2]) == "compressed" ? 1 : 0;
  const vantorel::PartitionList list = {{argv[3], 0, 0xFFFFFFFF, compressed}};
  vantorel::ImageHeader header{};
  const std::string image = argv[4];
  return vantorel::ImageWriter(list, header, std::wstring(image.begin(), image.end()), options);
}
