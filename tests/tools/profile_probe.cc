// Answers the queries of an INI corpus case with this platform's profile
// calls, so that the answers of the Windows functions can be compared with
// the expected ones. Usage: profile_probe FILE.ini FILE.expected
#include <cstdio>
#include <fstream>

#include "profile_corpus.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: profile_probe FILE.ini FILE.expected\n");
    return 2;
  }
  std::ifstream expected(argv[2], std::ios::binary);
  const vantorel::ProfileFile ini(vantorel::WideFromUtf8(argv[1]), std::size_t{1} << 30);
  for (std::string query; std::getline(expected, query);) {
    if (query.empty()) continue;
    const std::string answer = vantorel::corpus::Answer(query, ini) + "\n";
    std::fwrite(answer.data(), 1, answer.size(), stdout);
  }
  return 0;
}
