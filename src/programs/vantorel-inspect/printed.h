// printf-style formatting into a string, for the texts both programs build
// from numbers: status lines, tables, reasons.
#pragma once

#include <cstdio>
#include <string>

namespace vantorel {

// What std::snprintf makes of `format` and `values`, however long.
template <typename... Values>
std::string Printed(const char* format, Values... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

}  // namespace vantorel
