#include "zlsim/Endpoints.h"

#include <algorithm>
#include <optional>

#include "config/ValueForms.h"
#include "util/Text.h"

namespace zl::sim {

// ---------------------------------------------------------------------------
// Endpoint rewriting

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Item {
  std::size_t Pos = 0;
  std::size_t Len = 0;
};

class ItemScanner {
 public:
  explicit ItemScanner(std::string_view text) : text_(text) {}

  bool Next(Item &item) {
    while (pos_ < text_.size() && IsSeparator(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return false;
    item.Pos = pos_;
    while (pos_ < text_.size() && !IsSeparator(text_[pos_])) ++pos_;
    item.Len = pos_ - item.Pos;
    return true;
  }
  // Next item outside comments.
  bool NextWord(Item &item) {
    while (Next(item)) {
      std::string_view w = View(item);
      if (w.front() == '{') {
        while (w.back() != '}') {
          if (!Next(item)) return false;
          w = View(item);
        }
        continue;
      }
      if (w.back() == '}') continue;
      return true;
    }
    return false;
  }
  // The end of the line the scanner stands in (before its CR or LF).
  std::size_t LineEnd(std::size_t from) const {
    std::size_t end = from;
    while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
    return end;
  }
  void SkipTo(std::size_t pos) { pos_ = std::max(pos_, pos); }
  std::string_view View(const Item &item) const { return text_.substr(item.Pos, item.Len); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

struct StationSection {
  bool HasPort = false;
  long Port = 0;
  Item PortItem;
  bool HasIp = false;
  std::string Ip;
  std::size_t IpBegin = 0, IpEnd = 0;
};

struct Edit {
  std::size_t Pos, Len;
  std::string Text;
};

void PlanEdits(const StationSection &s, const std::vector<EndpointMapping> &mappings,
               std::vector<Edit> &edits) {
  if (!s.HasPort) return;
  for (const EndpointMapping &m : mappings) {
    if (m.ConfiguredPort != s.Port) continue;
    if (!m.ConfiguredIp.empty() && m.ConfiguredIp != s.Ip) continue;
    edits.push_back(Edit{s.PortItem.Pos, s.PortItem.Len, std::to_string(m.ActualPort)});
    if (s.HasIp && !m.ActualIp.empty() && m.ActualIp != s.Ip)
      edits.push_back(Edit{s.IpBegin, s.IpEnd - s.IpBegin, "\"" + m.ActualIp + "\""});
    return;
  }
}

}  // namespace

std::string RewriteEndpoints(std::string_view text, const std::vector<EndpointMapping> &mappings) {
  ItemScanner scan(text);
  std::vector<Edit> edits;
  bool inStation = false;
  StationSection section;
  Item item;
  while (scan.NextWord(item)) {
    std::string word = AsciiUpper(scan.View(item));
    if (!inStation) {
      if (word == "[STATION]") {
        inStation = true;
        section = StationSection();
      }
      continue;
    }
    if (word == "END") {
      PlanEdits(section, mappings, edits);
      inStation = false;
      continue;
    }
    bool restOfLine = word == "NAME" || word == "BINAR_IN_XOR" || word == "BINAR_OUT_XOR";
    if (word == "PORT" || word == "IP" || restOfLine) {
      Item value;
      if (!scan.Next(value)) break;
      std::string upper = AsciiUpper(scan.View(value));
      if (word == "PORT") {
        // The reader's own whole-number forms: the port it will find.
        const std::optional<int32_t> port = ParseWhole(scan.View(value));
        section.HasPort = port.has_value();
        section.Port = port.value_or(0);
        section.PortItem = value;
        continue;
      }
      if (upper == "NONE") continue;
      std::size_t end = scan.LineEnd(value.Pos);
      if (word == "IP") {
        section.HasIp = true;
        section.IpBegin = value.Pos;
        section.IpEnd = end;
        section.Ip.clear();
        bool quoted = false;
        for (std::size_t i = value.Pos; i < end; ++i) {
          if (text[i] == '"') {
            quoted = !quoted;
          } else if (quoted) {
            section.Ip += text[i];
          }
        }
      }
      scan.SkipTo(end);
    }
  }
  if (inStation) PlanEdits(section, mappings, edits);

  std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.Pos > b.Pos; });
  std::string out(text);
  for (const Edit &e : edits) out.replace(e.Pos, e.Len, e.Text);
  return out;
}

}  // namespace zl::sim
