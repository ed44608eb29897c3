#include "programs/vantorel-inspect/json.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(Json, StringsAreEscapedAndAlwaysUtf8) {
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
  EXPECT_EQ(Json::Number(std::nullopt).Document(), "null\n");
  EXPECT_EQ(Json(uint64_t{18446744073709551615u}).Document(), "18446744073709551615\n");
}

// The layout every report shares: the document's members one to a line, the
// items of its arrays and of its objects' arrays too, deeper ones inline.
TEST(Json, LaysOutDocumentsAsTheReportsDo) {
  const struct {
    Json document;
    std::string text;
  } kCases[] = {
      {Json::Object(), "{}\n"},
      {Json::Object().Add("a", Json::Array()).Add("b", nullptr),
       "{\n  \"a\": [],\n  \"b\": null\n}\n"},
      {Json::Object().Add(
           "list", Json::Array()
                       .Push(uint64_t{1})
                       .Push(Json::Object().Add("deep", Json::Array().Push(true).Push("x")))),
       "{\n  \"list\": [\n    1,\n    {\"deep\": [true, \"x\"]}\n  ]\n}\n"},
      {Json::Object().Add(
           "inner", Json::Object().Add("n", uint32_t{7}).Add("items", Json::Array().Push(false))),
       "{\n  \"inner\": {\"n\": 7, \"items\": [\n    false\n  ]}\n}\n"},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.document.Document(), c.text);
}

}  // namespace
}  // namespace vantorel
