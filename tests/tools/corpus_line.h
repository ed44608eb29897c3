// The INI corpus's answer lines: tab-separated fields, the last one taking
// the rest of the line (a value may hold tabs).
#pragma once

#include <string>
#include <vector>

namespace vantorel::corpus {

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

}  // namespace vantorel::corpus
