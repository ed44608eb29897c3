#include "programs/vantorel-inspect/json_text.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(JsonText, StringsAreEscapedAndAlwaysUtf8) {
  const struct {
    std::string text;
    std::string json;
  } kCases[] = {
      {"", R"("")"},
      {"plain text", R"("plain text")"},
      {R"(a "quoted" C:\path)", R"("a \"quoted\" C:\\path")"},
      {std::string("nul\0tab\tnewline\n\x1F", 17), R"("nul\u0000tab\u0009newline\u000a\u001f")"},
      {"\x7F", "\"\x7F\""},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
      {"caf\xE9 \xFF", "\"caf\xEF\xBF\xBD \xEF\xBF\xBD\""},
  };
  for (const auto& c : kCases) EXPECT_EQ(JsonString(c.text), c.json);
  EXPECT_EQ(JsonNumber(std::nullopt), "null");
  EXPECT_EQ(JsonNumber(18446744073709551615u), "18446744073709551615");
}

}  // namespace
}  // namespace vantorel
