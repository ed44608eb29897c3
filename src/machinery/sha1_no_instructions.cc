// The block function of the SHA instructions on a processor family that has
// none we use. The processor check never finds them there, so this is never
// chosen; it exists so that every build offers the same backends.
#include "machinery/sha1_backends.h"

namespace vantorel {

void Sha1BlocksShaExtensions(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
  Sha1BlocksPortable(state, data, blocks);
}

}  // namespace vantorel
