// Answers the queries of an INI corpus case with this platform's profile
// calls and prints them in the corpus's own format, so that the answers of
// the Linux reader and of the Windows functions can be compared with the
// expected ones. Usage: profile_probe FILE.ini FILE.expected
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "corpus_line.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

std::string Answer(const std::string& query, const vantorel::ProfileFile& ini) {
  using vantorel::Utf8ForDisplay;
  using vantorel::WideFromUtf8;
  if (query.rfind("names\t", 0) == 0) {
    const auto f = vantorel::corpus::Fields(query, 4);
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
  const auto f = vantorel::corpus::Fields(query, 6);
  const auto capacity = static_cast<uint32_t>(std::stoul(f[1]));
  std::vector<wchar_t> buffer(capacity + 1, 0);
  const uint32_t count =
      ini.String(WideFromUtf8(f[2]), WideFromUtf8(f[3]), buffer.data(), capacity);
  return "value\t" + f[1] + "\t" + f[2] + "\t" + f[3] + "\t" + std::to_string(count) + "\t" +
         Utf8ForDisplay(buffer.data());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: profile_probe FILE.ini FILE.expected\n");
    return 2;
  }
  std::ifstream expected(argv[2], std::ios::binary);
  const vantorel::ProfileFile ini(vantorel::WideFromUtf8(argv[1]), std::size_t{1} << 30);
  std::string query;
  while (std::getline(expected, query)) {
    if (query.empty()) continue;
    const std::string answer = Answer(query, ini) + "\n";
    std::fwrite(answer.data(), 1, answer.size(), stdout);
  }
  return 0;
}
