// The heap allocator handed to the LZMA SDK.
#include "image/heap_allocator.h"

#include <cstdlib>

namespace vantorel {
namespace {

void* HeapAlloc(void*, size_t size) { return std::malloc(size); }
void HeapFree(void*, void* address) { std::free(address); }

}  // namespace

ISzAlloc HeapAllocator = {HeapAlloc, HeapFree};

}  // namespace vantorel
