// JSON text for the reports: strings always valid UTF-8.
#pragma once

#include <optional>
#include <string>

namespace vantorel {

// A JSON string: quotes and backslashes escaped, control characters as
// \u00XX, bytes that are not UTF-8 as U+FFFD.
std::string JsonString(const std::string& text);

// A number, or null.
std::string JsonNumber(std::optional<uint64_t> value);

}  // namespace vantorel
