// The allocator record the LZMA SDK's encoder and decoder are given: blocks
// from the process heap, nothing added.
#pragma once

#include "Types.h"

namespace vantorel {

// Allocates with malloc (null when the heap is exhausted) and releases with
// free (null accepted); no size check, no header. The same record serves
// every allocation of the encoder and the decoder.
extern ISzAlloc HeapAllocator;

}  // namespace vantorel
