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
  return document;
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
  const auto section = std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) {
    return s.name.length > 0 && EqualIgnoringCase(View(s.name), name);
  });
  return section == sections_.end() ? nullptr : &*section;
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
    for (const Key& key : section.keys) {
      const Key* firstKey = FindKey(section, View(key.name));
      if (firstKey && firstKey != &key) {
        repeats.push_back({std::wstring(View(section.name)), std::wstring(View(key.name)), key.line,
                           firstKey->line});
      }
    }
  }
  return repeats;
}

}  // namespace vantorel
