// The INI corpus: each case is an INI file and, beside it, the queries of
// the two profile calls with the answers they must give, one per line, as
// tab-separated fields (zeros in a section-name list shown as '|'):
//   names <TAB> capacity <TAB> count <TAB> list up to the final zero
//   value <TAB> capacity <TAB> section <TAB> key <TAB> count <TAB> value
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/text.h"

namespace vantorel::corpus {

// The fields of a line, the last one taking the rest (a value may hold tabs).
inline std::vector<std::string> Fields(const std::string& line, std::size_t count) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (fields.size() + 1 < count) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string::npos) break;
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

// This platform's answer to the query of a corpus line, as a line.
inline std::string Answer(const std::string& query, const ProfileFile& ini) {
  if (query.starts_with("names\t")) {
    const auto f = Fields(query, 4);
    const auto capacity = static_cast<uint32_t>(std::stoul(f[1]));
    std::vector<wchar_t> buffer(capacity + 1, 0);
    const uint32_t count = ini.SectionNames(buffer.data(), capacity);
    std::size_t end = 0;  // up to and including the first double zero
    while (end + 1 < capacity && !(buffer[end] == 0 && (end == 0 || buffer[end - 1] == 0))) ++end;
    std::wstring shown(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(end + 1));
    for (wchar_t& c : shown) {
      if (c == 0) c = L'|';
    }
    return "names\t" + f[1] + "\t" + std::to_string(count) + "\t" + Utf8ForDisplay(shown);
  }
  const auto f = Fields(query, 6);
  const auto capacity = static_cast<uint32_t>(std::stoul(f[1]));
  std::vector<wchar_t> buffer(capacity + 1, 0);
  const uint32_t count =
      ini.String(WideFromUtf8(f[2]), WideFromUtf8(f[3]), buffer.data(), capacity);
  return "value\t" + f[1] + "\t" + f[2] + "\t" + f[3] + "\t" + std::to_string(count) + "\t" +
         Utf8ForDisplay(buffer.data());
}

}  // namespace vantorel::corpus
