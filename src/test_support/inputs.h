// Test inputs: bytes from a seeded generator (the same on every platform and
// build), and an allocator for the LZMA SDK that refuses its Nth request and
// keeps track of the blocks still out.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <vector>

#include "Types.h"

namespace vantorel::testing {

// `size` bytes, each one of `distinct` values: 256 is incompressible, a few
// values compress well.
inline std::vector<uint8_t> RandomBytes(std::size_t size, unsigned seed, unsigned distinct = 256) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() % distinct);
  return bytes;
}

class FailingAllocator {
 public:
  // Refuses request number `failOnCall`, counted from 1; 0 refuses none.
  explicit FailingAllocator(int failOnCall = 0) : failOnCall_(failOnCall) {}
  ISzAlloc* get() { return &table_.alloc; }
  int calls() const { return calls_; }
  bool AllReleased() const {
    const std::lock_guard lock(mutex_);
    return live_.empty();
  }

 private:
  static FailingAllocator& Owner(void* table) { return *static_cast<Table*>(table)->owner; }
  static void* Allocate(void* table, size_t size) {
    FailingAllocator& a = Owner(table);
    if (++a.calls_ == a.failOnCall_) return nullptr;
    void* block = std::malloc(size);
    const std::lock_guard lock(a.mutex_);
    if (block) a.live_.insert(block);
    return block;
  }
  static void Release(void* table, void* block) {
    FailingAllocator& a = Owner(table);
    {
      const std::lock_guard lock(a.mutex_);
      a.live_.erase(block);
    }
    std::free(block);
  }

  struct Table {
    ISzAlloc alloc;
    FailingAllocator* owner;
  } table_{{Allocate, Release}, this};
  const int failOnCall_;
  std::atomic<int> calls_ = 0;
  mutable std::mutex mutex_;
  std::set<void*> live_;
};

}  // namespace vantorel::testing
