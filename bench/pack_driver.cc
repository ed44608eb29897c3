// Packs one partition file with a given number of workers and prints, on
// standard error, the most chunks that were in flight at one time, so that
// benchmarks can measure time, memory and concurrency for any count.
// Usage: vantorel_pack_driver WORKERS plain|compressed FILE IMAGE
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/image_writer.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s WORKERS plain|compressed FILE IMAGE\n", argv[0]);
    return 2;
  }
  vantorel::WriterStatistics statistics;
  vantorel::WriterOptions options;
  options.workers = static_cast<unsigned>(std::atoi(argv[1]));
  options.statistics = &statistics;
  const int compressed = std::string(argv[2]) == "compressed" ? 1 : 0;
  const vantorel::PartitionList list = {{argv[3], 0, 0xFFFFFFFF, compressed}};
  const std::string image = argv[4];
  const vantorel::Outcome outcome =
      vantorel::PackImage(list, std::wstring(image.begin(), image.end()), options);
  std::fprintf(stderr, "max chunks in flight %u\n", statistics.maxChunksInFlight);
  return outcome.ok() ? 0 : 1;
}
