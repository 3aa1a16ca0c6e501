// The full-screen views of watch and the demo: a compact value table, the
// driver's status window beside it, and a progress bar; drawn over the
// terminal in place, in colour.
#ifndef ZL_ZLPOLL_SCREEN_H
#define ZL_ZLPOLL_SCREEN_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zlpoll/Commands.h"
#include "zlpoll/StatusWindow.h"

namespace zl::poll {

// The values of a reading, several objects to a line: "bi  1-8  1 0 1 1 0 0 0 1"
// ("-" for a value no answer brought, a stale one marked with kStaleMark).
std::vector<std::string> CompactLines(const Reading &r, const Style &style);

// The status window: its status labels and event list, cut to width.
std::vector<std::string> StatusLines(const StatusWindow &w, const Style &style, std::size_t width);
// The same as a JSON object: {"label1":..,"label2":..,"events":[..]}.
Json StatusJson(const StatusWindow &w);

// left and right as two columns when the width allows, else one below the other.
std::vector<std::string> SideBySide(const std::vector<std::string> &left,
                                    const std::vector<std::string> &right, std::size_t width);

// "[##########..........]  264/528 rows"
std::string ProgressBar(uint32_t done, uint32_t total, std::size_t width);

// The terminal while a full-screen view runs: the alternate screen without a
// cursor, restored on every way out. Inactive (drawing nothing) when standard
// output is not a terminal.
class Screen {
 public:
  explicit Screen(bool active);
  ~Screen();
  Screen(const Screen &) = delete;
  Screen &operator=(const Screen &) = delete;

  bool Active() const { return active_; }
  std::size_t Width() const;
  std::size_t Height() const;
  // Replaces the screen's content with the lines (cut to the screen's size).
  void Draw(const std::vector<std::string> &lines) const;

 private:
  bool active_;
};

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_SCREEN_H
