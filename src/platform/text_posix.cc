// Narrowing on Linux: file names are UTF-8.
#include "platform/text.h"
#include "platform/utf8.h"

namespace vantorel {

std::optional<std::string> NarrowText(std::wstring_view text) { return EncodeUtf8(text); }

}  // namespace vantorel
