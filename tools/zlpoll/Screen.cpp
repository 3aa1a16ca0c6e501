#include "zlpoll/Screen.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zl::poll {

namespace {

// The first width characters of a UTF-8 text without colour escapes.
std::string Cut(const std::string &text, std::size_t width) {
  if (DisplayWidth(text) <= width) return text;
  std::string out;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == 0x1b) {  // colour escapes pass whole and take no room
      while (i < text.size() && !std::isalpha(static_cast<unsigned char>(text[i])))
        out += text[i++];
      if (i < text.size()) out += text[i];
      continue;
    }
    if ((b & 0xC0) != 0x80) {
      if (shown == width) break;
      ++shown;
    }
    out += text[i];
  }
  return out;
}

bool Numbered(const Item &item) {
  return item.Of != Group::MB && item.Of != Group::QQ;
}

}  // namespace

std::vector<std::string> CompactLines(const Reading &r, const Style &style) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < r.Items.size()) {
    const Item &first = r.Items[i];
    const std::string group = style.Cyan(Pad(GroupName(first.Of), 4));
    if (!Numbered(first)) {
      lines.push_back(group + Pad(first.Label, 7) +
                      Pad(ShowValue(r.Values[i], r.Brought[i]), 12, true) + "  " +
                      style.Dim(first.Kind));
      ++i;
      continue;
    }
    const bool bits = first.Type == ZL_TYPE_BOOL;
    const std::size_t perLine = bits ? 8 : 4;
    std::size_t end = i;
    while (end < r.Items.size() && end - i < perLine && r.Items[end].Of == first.Of) ++end;
    std::string cells;
    for (std::size_t k = i; k < end; ++k) {
      std::string v = ShowValue(r.Values[k], r.Brought[k]);
      if (bits) {
        const bool on = r.Brought[k] == Freshness::Fresh && r.Values[k].Number != 0;
        cells += " " + (on ? style.Green(v) : style.Dim(v));
      } else {
        cells += Pad(v, 11, true);
      }
    }
    lines.push_back(group + Pad(first.Label + "-" + r.Items[end - 1].Label, 7) + cells);
    i = end;
  }
  return lines;
}

std::vector<std::string> StatusLines(const StatusWindow &w, const Style &style, std::size_t width) {
  std::vector<std::string> lines;
  lines.push_back(style.Bold(Cut("status window " + w.Caption, width)));
  lines.push_back(Cut("Label1  " + OneLine(w.QueueStatusLabel), width));
  lines.push_back(Cut("Label2  " + OneLine(w.ActivityLabel), width));
  lines.push_back(style.Bold("events"));
  for (const std::string &e : w.Events) lines.push_back(Cut("  " + OneLine(e), width));
  return lines;
}

Json StatusJson(const StatusWindow &w) {
  return {{"label1", w.QueueStatusLabel}, {"label2", w.ActivityLabel}, {"events", w.Events}};
}

std::vector<std::string> SideBySide(const std::vector<std::string> &left,
                                    const std::vector<std::string> &right, std::size_t width) {
  std::size_t leftWidth = 0;
  for (const std::string &l : left) leftWidth = std::max(leftWidth, DisplayWidth(l));
  constexpr std::size_t kGap = 3, kRightMin = 36;
  std::vector<std::string> out;
  if (leftWidth + kGap + kRightMin > width) {
    out = left;
    out.push_back("");
    for (const std::string &r : right) out.push_back(Cut(r, width));
    return out;
  }
  const std::size_t rows = std::max(left.size(), right.size());
  for (std::size_t i = 0; i < rows; ++i) {
    std::string line = Pad(i < left.size() ? left[i] : "", leftWidth + kGap);
    if (i < right.size()) line += Cut(right[i], width - leftWidth - kGap);
    out.push_back(line);
  }
  return out;
}

std::string ProgressBar(uint32_t done, uint32_t total, std::size_t width) {
  done = std::min(done, total);
  const std::size_t filled = total ? width * done / total : 0;
  char count[48];
  std::snprintf(count, sizeof count, "  %u/%u rows", done, total);
  return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]" + count;
}

Screen::Screen(bool active) : active_(active) {
  if (active_) {
    std::fputs("\x1b[?1049h\x1b[?25l", stdout);  // alternate screen, no cursor
    std::fflush(stdout);
  }
}

Screen::~Screen() {
  if (active_) {
    std::fputs("\x1b[?25h\x1b[?1049l", stdout);
    std::fflush(stdout);
  }
}

std::size_t Screen::Width() const {
  winsize ws{};
  return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col ? ws.ws_col : 80;
}

std::size_t Screen::Height() const {
  winsize ws{};
  return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row ? ws.ws_row : 24;
}

void Screen::Draw(const std::vector<std::string> &lines) const {
  if (!active_) return;
  const std::size_t width = Width(), height = Height();
  std::string out = "\x1b[H";
  for (std::size_t i = 0; i < lines.size() && i < height; ++i) {
    out += Cut(lines[i], width);
    out += "\x1b[0m\x1b[K";
    if (i + 1 < height) out += "\r\n";
  }
  out += "\x1b[J";
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace zl::poll
