// JSON values and their layout.
#include "programs/vantorel-inspect/json.h"

#include <cstdio>

#include "platform/utf8.h"

namespace vantorel {
namespace {

// Arrays this deep or less (the document is 0) stand one item to a line.
constexpr int kDeepestBrokenArray = 2;
constexpr char kItemIndent[] = "\n    ";
constexpr char kMemberIndent[] = "\n  ";

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : ReplaceInvalidUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

Json::Json(std::string text) : kind_(Kind::kLiteral), text_(JsonString(text)) {}

Json& Json::Add(std::string key, Json value) {
  members_.emplace_back(std::move(key), std::move(value));
  return *this;
}

Json& Json::Push(Json value) {
  items_.push_back(std::move(value));
  return *this;
}

std::string Json::Document() const {
  std::string out;
  Render(out, 0);
  return out + "\n";
}

void Json::Render(std::string& out, int depth) const {
  switch (kind_) {
    case Kind::kNull:
      out += "null";
      return;
    case Kind::kLiteral:
      out += text_;
      return;
    case Kind::kArray: {
      const bool broken = depth <= kDeepestBrokenArray && !items_.empty();
      out += '[';
      for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i > 0) out += broken ? "," : ", ";
        if (broken) out += kItemIndent;
        items_[i].Render(out, depth + 1);
      }
      if (broken) out += kMemberIndent;
      out += ']';
      return;
    }
    case Kind::kObject: {
      const bool document = depth == 0;
      out += '{';
      for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i > 0) out += document ? "," : ", ";
        if (document) out += kMemberIndent;
        out += JsonString(members_[i].first);
        out += ": ";
        members_[i].second.Render(out, depth + 1);
      }
      if (document && !members_.empty()) out += '\n';
      out += '}';
      return;
    }
  }
}

}  // namespace vantorel
