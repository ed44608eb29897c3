// The INI profile reader: decoding, the split into sections and keys, and
// the answers with the counts and cuts of the Windows profile functions.
#include "platform/ini_profile.h"

#include <algorithm>

#include "platform/utf8.h"

namespace vantorel {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f' || c == 0x1A; }

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Names and values are C strings to the profile functions: a zero ends them.
std::wstring_view UpToZero(std::wstring_view text) { return text.substr(0, text.find(L'\0')); }

wchar_t FoldCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c + (L'a' - L'A');
  // Latin-1 capitals, but for the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  return c;
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

// Orders names as lookups tell them apart: by their case-folded characters.
bool FoldedLess(std::wstring_view a, std::wstring_view b) {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](wchar_t x, wchar_t y) { return FoldCase(x) < FoldCase(y); });
}

// The case-folded characters of a name, hashed (FNV-1a, a character at a time).
uint32_t FoldedHash(std::wstring_view name) {
  uint32_t hash = 2166136261u;
  for (const wchar_t c : name) hash = (hash ^ static_cast<uint32_t>(FoldCase(c))) * 16777619u;
  return hash;
}

// Turns `items`, positions in file order, into an index of the first item
// of each name (names compared as lookups compare them), ordered by hash,
// then by name: what a walk in file order would find first, found by a
// binary search. `nameOf` gives the name of the item at a position.
template <typename Entry, typename NameOf>
void IndexFirstOfEachName(std::vector<Entry>& items, NameOf nameOf) {
  for (Entry& item : items) item.hash = FoldedHash(nameOf(item.position));
  std::stable_sort(items.begin(), items.end(), [&](const Entry& a, const Entry& b) {
    return a.hash != b.hash ? a.hash < b.hash : FoldedLess(nameOf(a.position), nameOf(b.position));
  });
  items.erase(std::unique(items.begin(), items.end(),
                          [&](const Entry& a, const Entry& b) {
                            return a.hash == b.hash &&
                                   EqualIgnoringCase(nameOf(a.position), nameOf(b.position));
                          }),
              items.end());
}

// The position of the item named `name` in such an index, if there is one.
template <typename Entry, typename NameOf>
std::optional<uint32_t> FindInIndex(const std::vector<Entry>& index, std::wstring_view name,
                                    NameOf nameOf) {
  const uint32_t hash = FoldedHash(name);
  const auto found = std::lower_bound(
      index.begin(), index.end(), name, [&](const Entry& item, std::wstring_view wanted) {
        return item.hash != hash ? item.hash < hash : FoldedLess(nameOf(item.position), wanted);
      });
  if (found == index.end() || found->hash != hash ||
      !EqualIgnoringCase(nameOf(found->position), name)) {
    return std::nullopt;
  }
  return found->position;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    const char32_t unit = bigEndian ? (first << 8 | second) : (second << 8 | first);
    const bool highSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
    if (highSurrogate && i + 3 < bytes.size()) {
      const auto third = static_cast<unsigned char>(bytes[i + 2]);
      const auto fourth = static_cast<unsigned char>(bytes[i + 3]);
      const char32_t low = bigEndian ? (third << 8 | fourth) : (fourth << 8 | third);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

std::wstring DecodeFile(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return DecodeUtf8(bytes, InvalidUtf8::kAsLatin1);
}

// Strips one pair of matching quotes around a value of two or more characters.
std::wstring_view Unquote(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument document;
  document.text_ = DecodeFile(bytes);
  const std::wstring& text = document.text_;
  std::size_t start = 0;
  for (uint32_t line = 1; start < text.size(); ++line) {
    std::size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    document.AddLine(start, end, line);
    // CRLF is one line end; a lone CR or LF is one too.
    start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
  }
  document.IndexSections();
  return document;
}

// Positions fit in 32 bits: a file holds far fewer lines than that.
void IniDocument::IndexSections() {
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (sections_[i].name.length > 0) sectionIndex_.push_back({0, static_cast<uint32_t>(i)});
  }
  IndexFirstOfEachName(sectionIndex_, [this](uint32_t i) { return View(sections_[i].name); });
}

IniDocument::Piece IniDocument::PieceOf(std::wstring_view part) const {
  return {static_cast<std::size_t>(part.data() - text_.data()), part.size()};
}

std::wstring_view IniDocument::View(Piece piece) const {
  return std::wstring_view(text_).substr(piece.offset, piece.length);
}

void IniDocument::AddLine(std::size_t start, std::size_t end, uint32_t number) {
  const std::wstring_view line = Trim(std::wstring_view(text_).substr(start, end - start));
  if (line.empty()) return;
  if (line.front() == L'[') {
    const std::size_t close = line.rfind(L']');
    if (close != std::wstring_view::npos) {
      sections_.push_back(Section{PieceOf(UpToZero(Trim(line.substr(1, close - 1)))), {}, number});
      return;
    }
  }
  Key key;
  key.line = number;
  const std::size_t equals = line.find(L'=');
  if (equals == std::wstring_view::npos) {
    key.name = PieceOf(UpToZero(line));
  } else {
    key.name = PieceOf(UpToZero(Trim(line.substr(0, equals))));
    key.value = PieceOf(UpToZero(Trim(line.substr(equals + 1))));
  }
  sections_.back().keys.push_back(key);
}

uint32_t IniDocument::SectionNames(wchar_t* buffer, uint32_t capacity) const {
  if (capacity == 0) return 0;
  if (capacity == 1) {
    buffer[0] = 0;
    return 0;
  }
  uint32_t position = 0;
  for (const Section& section : sections_) {
    const std::wstring_view name = View(section.name);
    if (name.empty()) continue;
    const std::size_t room = capacity - 1 - position;  // keeping the final zero
    const std::size_t needed = name.size() + 1;
    if (needed >= room) {
      // The name that does not fit is cut before the last two positions.
      std::copy_n(name.begin(), room - 1, buffer + position);
      buffer[capacity - 2] = 0;
      buffer[capacity - 1] = 0;
      return capacity - 2;
    }
    std::copy(name.begin(), name.end(), buffer + position);
    position += static_cast<uint32_t>(needed);
    buffer[position - 1] = 0;
  }
  buffer[position] = 0;
  return position;
}

const IniDocument::Section* IniDocument::FindSection(std::wstring_view name) const {
  name = Trim(name);
  if (name.empty()) return nullptr;  // the unnamed section never answers
  const auto section =
      FindInIndex(sectionIndex_, name, [this](uint32_t i) { return View(sections_[i].name); });
  return section ? &sections_[*section] : nullptr;
}

const IniDocument::Key* IniDocument::FindKey(const Section& section, std::wstring_view name) const {
  name = Trim(name);
  const auto key = std::find_if(section.keys.begin(), section.keys.end(), [&](const Key& k) {
    return EqualIgnoringCase(View(k.name), name);
  });
  return key == section.keys.end() ? nullptr : &*key;
}

uint32_t IniDocument::String(std::wstring_view sectionName, std::wstring_view keyName,
                             wchar_t* buffer, uint32_t capacity) const {
  if (capacity == 0) return 0;
  buffer[0] = 0;
  const Section* section = FindSection(sectionName);
  const Key* key = section ? FindKey(*section, keyName) : nullptr;
  if (!key || !key->value) return 0;
  const std::wstring_view value = Unquote(View(*key->value));
  const std::size_t count = std::min<std::size_t>(value.size(), capacity - 1);
  std::copy_n(value.begin(), count, buffer);
  buffer[count] = 0;
  return static_cast<uint32_t>(count);
}

std::vector<IniDocument::SectionLine> IniDocument::Sections() const {
  std::vector<SectionLine> lines;
  for (const Section& section : sections_) {
    if (section.name.length > 0) lines.push_back({std::wstring(View(section.name)), section.line});
  }
  return lines;
}

uint32_t IniDocument::KeyLine(std::wstring_view sectionName, std::wstring_view keyName) const {
  const Section* section = FindSection(sectionName);
  const Key* key = section ? FindKey(*section, keyName) : nullptr;
  return key ? key->line : 0;
}

uint32_t IniDocument::KeyLineIn(std::size_t index, std::wstring_view keyName) const {
  for (const Section& section : sections_) {
    if (section.name.length == 0) continue;
    if (index-- > 0) continue;
    const Key* key = FindKey(section, keyName);
    return key ? key->line : 0;
  }
  return 0;
}

std::vector<std::pair<std::wstring, uint32_t>> IniDocument::KeysOf(
    std::wstring_view sectionName) const {
  std::vector<std::pair<std::wstring, uint32_t>> keys;
  if (const Section* section = FindSection(sectionName)) {
    for (const Key& key : section->keys) keys.emplace_back(View(key.name), key.line);
  }
  return keys;
}

std::vector<IniDocument::Repeat> IniDocument::Repeats() const {
  std::vector<Repeat> repeats;
  std::vector<IndexEntry> keyIndex;
  for (const Section& section : sections_) {
    if (section.name.length == 0) continue;
    // A name that no lookup finds (a blank before a zero that ends it) has
    // no first occurrence to repeat.
    const Section* first = FindSection(View(section.name));
    if (!first) continue;
    if (first != &section) {
      repeats.push_back({std::wstring(View(section.name)), {}, section.line, first->line});
      continue;
    }
    // The key FindKey finds for each key's name, through an index of the
    // section's keys rather than a walk over them for every key.
    const auto keyName = [&](uint32_t i) { return View(section.keys[i].name); };
    keyIndex.clear();
    for (std::size_t i = 0; i < section.keys.size(); ++i) {
      keyIndex.push_back({0, static_cast<uint32_t>(i)});
    }
    IndexFirstOfEachName(keyIndex, keyName);
    for (std::size_t i = 0; i < section.keys.size(); ++i) {
      const Key& key = section.keys[i];
      const auto firstKey = FindInIndex(keyIndex, Trim(View(key.name)), keyName);
      if (firstKey && *firstKey != i) {
        repeats.push_back({std::wstring(View(section.name)), std::wstring(View(key.name)), key.line,
                           section.keys[*firstKey].line});
      }
    }
  }
  return repeats;
}

}  // namespace vantorel
