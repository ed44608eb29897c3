// The INI profile reader of the Linux build: the two Windows profile calls
// the configuration reader makes, as pure logic over a file's bytes, with the
// same buffer capacities and returned counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

  // Where things stand in the file, for messages; lines count from 1, and 0
  // means none. Names are matched as String matches them.
  //
  // The named sections with their lines, in the order SectionNames lists
  // them (uncut).
  struct SectionLine {
    std::wstring name;
    uint32_t line = 0;
  };
  std::vector<SectionLine> Sections() const;
  // The line of the key that answers String for this section and key.
  uint32_t KeyLine(std::wstring_view section, std::wstring_view key) const;
  // The line of the first such key in the `index`-th named section itself,
  // even where an earlier section of the same name answers String.
  uint32_t KeyLineIn(std::size_t index, std::wstring_view key) const;

  // The names and lines of the keys of the section that answers String for
  // `section`, in file order.
  std::vector<std::pair<std::wstring, uint32_t>> KeysOf(std::wstring_view section) const;

  // A section or key that stands again where String answers from the first.
  struct Repeat {
    std::wstring section;
    std::wstring key;  // empty for a repeated section
    uint32_t line = 0;
    uint32_t firstLine = 0;
  };
  std::vector<Repeat> Repeats() const;

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
    uint32_t line = 0;
  };
  struct Section {
    Piece name;  // empty for keys before the first header, and for []
    std::vector<Key> keys;
    uint32_t line = 0;
  };

  void AddLine(std::size_t start, std::size_t end, uint32_t line);
  void IndexSections();
  const Section* FindSection(std::wstring_view name) const;
  const Key* FindKey(const Section& section, std::wstring_view name) const;
  Piece PieceOf(std::wstring_view part) const;
  std::wstring_view View(Piece piece) const;

  std::wstring text_;
  std::vector<Section> sections_{Section{}};
  // The sections a lookup by name can answer from, the first of each name,
  // ordered by the hash of the case-folded name, then by that name; built
  // once, so that a lookup is a binary search, not a walk over the file.
  struct IndexEntry {
    uint32_t hash = 0;      // of the case-folded name
    uint32_t position = 0;  // in sections_ (or, for keys, in a section's keys)
  };
  std::vector<IndexEntry> sectionIndex_;
};

}  // namespace vantorel
