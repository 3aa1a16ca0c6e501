#include "support/Json.h"

#include <cstdlib>

namespace zl::test {
namespace {

const JsonValue kNull;

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  bool Document(JsonValue &out) {
    if (!Value(out, 0)) return false;
    Blanks();
    return i_ == s_.size();
  }

 private:
  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  bool Value(JsonValue &out, int depth) {
    if (depth > 64) return false;
    Blanks();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '{') return ObjectValue(out, depth);
    if (c == '[') return ArrayValue(out, depth);
    if (c == '"') {
      out.type = JsonValue::String;
      return StringValue(out.string);
    }
    if (Literal("true")) {
      out.type = JsonValue::Bool;
      out.boolean = true;
      return true;
    }
    if (Literal("false")) {
      out.type = JsonValue::Bool;
      return true;
    }
    if (Literal("null")) return true;
    return NumberValue(out);
  }

  bool ObjectValue(JsonValue &out, int depth) {
    out.type = JsonValue::Object;
    ++i_;
    Blanks();
    if (i_ < s_.size() && s_[i_] == '}') {
      ++i_;
      return true;
    }
    for (;;) {
      Blanks();
      std::string key;
      if (i_ >= s_.size() || s_[i_] != '"' || !StringValue(key)) return false;
      Blanks();
      if (i_ >= s_.size() || s_[i_++] != ':') return false;
      JsonValue v;
      if (!Value(v, depth + 1)) return false;
      out.object.emplace_back(std::move(key), std::move(v));
      Blanks();
      if (i_ >= s_.size()) return false;
      char c = s_[i_++];
      if (c == '}') return true;
      if (c != ',') return false;
    }
  }

  bool ArrayValue(JsonValue &out, int depth) {
    out.type = JsonValue::Array;
    ++i_;
    Blanks();
    if (i_ < s_.size() && s_[i_] == ']') {
      ++i_;
      return true;
    }
    for (;;) {
      JsonValue v;
      if (!Value(v, depth + 1)) return false;
      out.array.push_back(std::move(v));
      Blanks();
      if (i_ >= s_.size()) return false;
      char c = s_[i_++];
      if (c == ']') return true;
      if (c != ',') return false;
    }
  }

  static void AppendUtf8(std::string &out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool Hex4(unsigned &v) {
    if (i_ + 4 > s_.size()) return false;
    v = 0;
    for (int k = 0; k < 4; ++k) {
      char c = s_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9') {
        v |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        v |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        v |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  bool StringValue(std::string &out) {
    ++i_;  // the opening quote
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {
            unsigned low;
            if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool NumberValue(JsonValue &out) {
    std::size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    bool digits = false;
    while (i_ < s_.size() && ((s_[i_] >= '0' && s_[i_] <= '9') || s_[i_] == '.' || s_[i_] == 'e' ||
                              s_[i_] == 'E' || s_[i_] == '+' || s_[i_] == '-')) {
      digits = digits || (s_[i_] >= '0' && s_[i_] <= '9');
      ++i_;
    }
    if (!digits) return false;
    std::string text(s_.substr(start, i_ - start));
    char *end = nullptr;
    out.type = JsonValue::Number;
    out.number = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

}  // namespace

const JsonValue &JsonValue::operator[](std::string_view key) const {
  for (const auto &[k, v] : object) {
    if (k == key) return v;
  }
  return kNull;
}

const JsonValue &JsonValue::operator[](std::size_t i) const {
  return i < array.size() ? array[i] : kNull;
}

bool JsonValue::Has(std::string_view key) const {
  for (const auto &member : object) {
    if (member.first == key) return true;
  }
  return false;
}

bool ParseJson(std::string_view text, JsonValue &out) {
  out = JsonValue();
  return Parser(text).Document(out);
}

}  // namespace zl::test
