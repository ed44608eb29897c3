// The one home of vantorel-inspect's JSON: a value built member by member,
// in the order given, and rendered as every report lays it out. The
// document's members stand one to a line, and so do the items of an array
// that is one of them or a member of one of them; everything deeper stays on
// its item's line. Strings are always valid UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantorel {

class Json {
 public:
  static Json Object() { return Json(Kind::kObject); }
  static Json Array() { return Json(Kind::kArray); }
  Json() : kind_(Kind::kNull) {}    // null
  Json(std::nullptr_t) : Json() {}  // NOLINT: null converts implicitly, as in JSON
  Json(bool value) : kind_(Kind::kLiteral), text_(value ? "true" : "false") {}   // NOLINT
  Json(uint64_t value) : kind_(Kind::kLiteral), text_(std::to_string(value)) {}  // NOLINT
  Json(uint32_t value) : Json(uint64_t{value}) {}                                // NOLINT
  Json(std::string text);                                                        // NOLINT: a string
  Json(const char* text) : Json(std::string(text)) {}                            // NOLINT
  // A number, or null.
  static Json Number(std::optional<uint64_t> value) { return value ? Json(*value) : Json(); }
  // A string, or null.
  static Json String(std::optional<std::string> text) {
    return text ? Json(std::move(*text)) : Json();
  }

  // Appends a member to an object; returns the object.
  Json& Add(std::string key, Json value);
  // Appends an item to an array; returns the array.
  Json& Push(Json value);

  // The whole document, with its final line end.
  std::string Document() const;

 private:
  enum class Kind { kNull, kLiteral, kObject, kArray };
  explicit Json(Kind kind) : kind_(kind) {}
  void Render(std::string& out, int depth) const;

  Kind kind_;
  std::string text_;  // of a literal: rendered already
  std::vector<std::pair<std::string, Json>> members_;
  std::vector<Json> items_;
};

// A JSON string: quotes and backslashes escaped, control characters as
// \u00XX, bytes that are not UTF-8 as U+FFFD.
std::string JsonString(const std::string& text);

}  // namespace vantorel
