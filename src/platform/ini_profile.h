// The INI profile reader of the Linux build: the two Windows profile calls
// the configuration reader makes, as pure logic over a file's bytes, with the
// same buffer capacities and returned counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

class IniDocument {
 public:
  // Decodes the bytes (UTF-16LE/BE or UTF-8 by byte-order mark, otherwise
  // UTF-8 with Latin-1 for bytes that are not UTF-8) and splits them into
  // sections and keys.
  static IniDocument Parse(std::string_view bytes);

  // As GetPrivateProfileSectionNamesW: the names in file order, each followed
  // by a zero and one more zero at the end, cut to fit; the count written
  // before the final zero.
  uint32_t SectionNames(wchar_t* buffer, uint32_t capacity) const;

  // As GetPrivateProfileStringW without a default: the value, quotes
  // stripped, cut to capacity - 1 characters; the count copied, 0 when the
  // section or key is missing or the value is empty.
  uint32_t String(std::wstring_view section, std::wstring_view key, wchar_t* buffer,
                  uint32_t capacity) const;

 private:
  // Names and values are held as pieces of the decoded text, not as copies,
  // so that memory stays a small multiple of the file's size.
  struct Piece {
    std::size_t offset = 0;
    std::size_t length = 0;
  };
  struct Key {
    Piece name;
    std::optional<Piece> value;  // none for a line without '='
  };
  struct Section {
    Piece name;  // empty for keys before the first header, and for []
    std::vector<Key> keys;
  };

  void AddLine(std::size_t start, std::size_t end);
  Piece PieceOf(std::wstring_view part) const;
  std::wstring_view View(Piece piece) const;

  std::wstring text_;
  std::vector<Section> sections_{Section{}};
};

}  // namespace vantorel
