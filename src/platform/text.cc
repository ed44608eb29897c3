// What the platforms' narrowing of paths has in common.
#include "platform/text.h"

namespace vantorel {

NarrowedPath NarrowPath(std::wstring_view path) {
  auto narrow = NarrowText(path);
  if (!narrow) return {PathNarrowing::kUnusableCharacter, {}};
  if (narrow->size() > kMaxNarrowPathBytes) return {PathNarrowing::kTooLong, {}};
  return {PathNarrowing::kNarrowed, std::move(*narrow)};
}

std::wstring NarrowingFailureText(PathNarrowing narrowing) {
  if (narrowing == PathNarrowing::kTooLong) {
    return L"is longer than " + std::to_wstring(kMaxNarrowPathBytes) + L" bytes: ";
  }
  return L"holds characters this system cannot use: ";
}

}  // namespace vantorel
