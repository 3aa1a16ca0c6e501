#include "zlpoll/StatusWindow.h"

#include <algorithm>
#include <cstdlib>

namespace zl::poll {

namespace {

// A reader over the JSON text that knows just enough to find strings by their
// place: objects, arrays, strings, and skipping any other value.
class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  bool Fail() const { return failed_; }

  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  bool Take(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  char Peek() {
    Blanks();
    return i_ < s_.size() ? s_[i_] : '\0';
  }

  std::string String() {
    std::string out;
    if (!Take('"')) return Failed(), out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) break;
      c = s_[i_++];
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          if (i_ + 4 > s_.size()) return Failed(), out;
          const long code = std::strtol(std::string(s_.substr(i_, 4)).c_str(), nullptr, 16);
          i_ += 4;
          AppendUtf8(out, code);
          break;
        }
        default:
          out += c;
      }
    }
    if (i_ >= s_.size()) return Failed(), out;
    ++i_;
    return out;
  }

  // Calls member(key) for every member of an object; member reads the value.
  template <class F>
  void Object(F &&member) {
    if (!Take('{')) return Failed();
    if (Take('}')) return;
    do {
      const std::string key = String();
      if (failed_ || !Take(':')) return Failed();
      member(key);
      if (failed_) return;
    } while (Take(','));
    if (!Take('}')) Failed();
  }
  template <class F>
  void Array(F &&element) {
    if (!Take('[')) return Failed();
    if (Take(']')) return;
    do {
      element();
      if (failed_) return;
    } while (Take(','));
    if (!Take(']')) Failed();
  }

  void Skip() {
    switch (Peek()) {
      case '{':
        Object([&](const std::string &) { Skip(); });
        break;
      case '[':
        Array([&] { Skip(); });
        break;
      case '"':
        String();
        break;
      case '\0':
        Failed();
        break;
      default:  // a number, true, false or null
        while (i_ < s_.size() && s_[i_] != ',' && s_[i_] != '}' && s_[i_] != ']') ++i_;
    }
  }

 private:
  void Failed() { failed_ = true; }
  static void AppendUtf8(std::string &out, long code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
  bool failed_ = false;
};

}  // namespace

std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\r' || c == '\n' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

StatusWindow ParseStatusWindow(std::string_view json) {
  StatusWindow w;
  Reader r(json);
  r.Object([&](const std::string &key) {
    if (key == "caption" && r.Peek() == '"') {
      w.Caption = r.String();
    } else if (key == "labels" && r.Peek() == '{') {
      r.Object([&](const std::string &label) {
        if (label == "Label1" && r.Peek() == '"') {
          w.QueueStatusLabel = r.String();
        } else if (label == "Label2" && r.Peek() == '"') {
          w.ActivityLabel = r.String();
        } else {
          r.Skip();
        }
      });
    } else if (key == "events" && r.Peek() == '[') {
      r.Array([&] {
        if (r.Peek() == '"') {
          w.Events.push_back(r.String());
        } else {
          r.Skip();
        }
      });
    } else {
      r.Skip();
    }
  });
  if (r.Fail()) return StatusWindow();
  return w;
}

std::vector<std::string> EventsAfter(const StatusWindow &w, std::string_view marker) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < w.Events.size(); ++i)
    if (w.Events[i].rfind(marker, 0) == 0) from = i + 1;
  return std::vector<std::string>(w.Events.begin() + static_cast<std::ptrdiff_t>(from),
                                  w.Events.end());
}

std::vector<std::string> NewEvents(const std::vector<std::string> &before,
                                   const std::vector<std::string> &now) {
  for (std::size_t k = std::min(before.size(), now.size()); k > 0; --k) {
    if (std::equal(before.end() - static_cast<std::ptrdiff_t>(k), before.end(), now.begin()))
      return std::vector<std::string>(now.begin() + static_cast<std::ptrdiff_t>(k), now.end());
  }
  return now;
}

}  // namespace zl::poll
