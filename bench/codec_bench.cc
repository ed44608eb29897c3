// Throughput of the SHA-1 routine and of EncodeChunk on the bytes of a file.
// Usage: vantorel_codec_bench FILE
// Prints one line per figure; bench/run compares them with other tools.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "image/image_format.h"
#include "image/lzma_adapter.h"
#include "image/sha1.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double MiB(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void BenchSha1(const std::vector<uint8_t>& data) {
  const std::size_t length = std::min(data.size(), vantorel::kChunkSize);
  const int rounds = 16;
  uint8_t digest[vantorel::kSha1DigestSize];
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    vantorel::Sha1Context context;
    vantorel::Sha1Init(context);
    vantorel::Sha1Update(context, data.data(), static_cast<uint32_t>(length));
    vantorel::Sha1Final(context, digest);
  }
  const double seconds = SecondsSince(start);
  std::printf("sha1: %.1f MiB/s over a %.0f MiB buffer\n", MiB(length) * rounds / seconds,
              MiB(length));
}

void BenchEncode(const std::vector<uint8_t>& data) {
  const vantorel::LzmaEncoderAdapter adapter;
  std::vector<uint8_t> output(vantorel::kEncodeCapacity);
  std::size_t compressed = 0;
  const auto start = Clock::now();
  for (std::size_t offset = 0; offset < data.size(); offset += vantorel::kChunkSize) {
    const std::size_t length = std::min(vantorel::kChunkSize, data.size() - offset);
    std::size_t streamLength = 0;
    if (adapter.EncodeChunk(data.data() + offset, length, output.data(), output.size(),
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
