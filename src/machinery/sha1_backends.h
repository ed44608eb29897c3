// The implementations behind the SHA-1 routine: portable code, and the
// processor's SHA instructions where it has them (the x86 SHA extensions,
// the ARMv8 SHA1 instructions). The fastest is chosen once, at run time;
// tests and benchmarks may choose another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vantorel {

enum class Sha1Backend { kPortable, kShaExtensions };

// Compresses `blocks` consecutive 64-byte blocks into the state.
void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, std::size_t blocks);
void Sha1BlocksShaExtensions(uint32_t state[5], const uint8_t* data, std::size_t blocks);

bool ProcessorHasShaExtensions();

// Selects the backend for every later digest and returns the one it
// replaces; nullopt, and no change, when the processor lacks it.
std::optional<Sha1Backend> SelectSha1Backend(Sha1Backend backend);

}  // namespace vantorel
