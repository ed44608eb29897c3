// The implementations behind the SHA-1 routine: portable code, and the x86
// SHA extensions where the processor has them. Chosen once, at run time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantorel {

enum class Sha1Backend { kPortable, kShaExtensions };

// Compresses `blocks` consecutive 64-byte blocks into the state.
void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, std::size_t blocks);
void Sha1BlocksShaExtensions(uint32_t state[5], const uint8_t* data, std::size_t blocks);

bool ProcessorHasShaExtensions();

// Selects the backend for every later digest; false, and no change, when the
// processor lacks it. For tests and benchmarks; the default is the fastest.
bool SelectSha1Backend(Sha1Backend backend);
Sha1Backend CurrentSha1Backend();

}  // namespace vantorel
