// Throughput of the SHA-1 routine and of EncodeChunk on the bytes of a file.
// Usage: vantorel_codec_bench FILE
// Prints one line per figure; bench/run compares them with other tools.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "image/image_format.h"
#include "machinery/lzma_codec.h"
#include "machinery/sha1.h"
#include "machinery/sha1_backends.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double MiB(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// SHA-1 over 256 MiB in memory (the file's bytes, repeated), fed in 16 MiB
// pieces as the writer feeds it, with each backend the processor has.
void BenchSha1(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> buffer(256 << 20);
  for (std::size_t i = 0; i < buffer.size(); i += data.size()) {
    std::copy_n(data.begin(), std::min(data.size(), buffer.size() - i), buffer.begin() + i);
  }
  for (const auto backend :
       {vantorel::Sha1Backend::kPortable, vantorel::Sha1Backend::kShaExtensions}) {
    if (!vantorel::SelectSha1Backend(backend)) continue;
    uint8_t digest[vantorel::kSha1DigestSize];
    const auto start = Clock::now();
    vantorel::Sha1Context context;
    vantorel::Sha1Init(context);
    for (std::size_t offset = 0; offset < buffer.size(); offset += vantorel::kChunkSize) {
      vantorel::Sha1Update(context, buffer.data() + offset, vantorel::kChunkSize);
    }
    vantorel::Sha1Final(context, digest);
    std::printf("sha1 (%s): %.0f MiB/s over 256 MiB in memory\n",
                backend == vantorel::Sha1Backend::kPortable ? "portable" : "SHA extensions",
                256 / SecondsSince(start));
  }
}

void BenchEncode(const std::vector<uint8_t>& data) {
  const vantorel::LzmaEncoder encoder;
  std::vector<uint8_t> output(vantorel::kEncodeCapacity);
  std::size_t compressed = 0;
  const auto start = Clock::now();
  for (std::size_t offset = 0; offset < data.size(); offset += vantorel::kChunkSize) {
    const std::size_t length = std::min(vantorel::kChunkSize, data.size() - offset);
    std::size_t streamLength = 0;
    if (encoder.EncodeChunk(data.data() + offset, length, output.data(), output.size(),
                            streamLength) != SZ_OK) {
      std::fprintf(stderr, "EncodeChunk failed\n");
      return;
    }
    compressed += streamLength;
  }
  const double seconds = SecondsSince(start);
  std::printf("encode: %.2f s, %.1f MiB/s, %zu -> %zu bytes (%.1f%%)\n", seconds,
              MiB(data.size()) / seconds, data.size(), compressed,
              100.0 * static_cast<double>(compressed) / static_cast<double>(data.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  BenchSha1(data);
  BenchEncode(data);
  return 0;
}
