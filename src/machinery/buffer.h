// Large buffers from the process heap with one owner each. They come from
// malloc, through an allocator that tests may replace, so that a refusal is
// a null to report rather than an exception.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace vantorel {

struct FreeDeleter {
  void operator()(uint8_t* block) const { std::free(block); }
};
using Buffer = std::unique_ptr<uint8_t[], FreeDeleter>;

using BufferAllocator = void* (*)(std::size_t);

// Files whose size the program does not choose are read in pieces of this
// size, so that memory stays small whatever a file claims.
inline constexpr std::size_t kPieceSize = 1 << 20;

// `size` bytes from `allocate`; null when it refuses.
inline Buffer AllocateBuffer(std::size_t size, BufferAllocator allocate = std::malloc) {
  return Buffer(static_cast<uint8_t*>(allocate(size)));
}

}  // namespace vantorel
