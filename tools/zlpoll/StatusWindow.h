// The driver's status window as zlpoll shows it: the two status labels and
// the event list, taken from the JSON that GetStatusWindow writes.
#ifndef ZL_ZLPOLL_STATUSWINDOW_H
#define ZL_ZLPOLL_STATUSWINDOW_H

#include <string>
#include <string_view>
#include <vector>

namespace zl::poll {

struct StatusWindow {
  std::string Caption;
  std::string QueueStatusLabel;     // the queue status text
  std::string ActivityLabel;        // the activity indicator
  std::vector<std::string> Events;  // oldest first
};

// A text of the window for one line of a terminal: line breaks and tabs
// become blanks, runs of blanks one blank, and the ends are trimmed (the
// driver indents the lines of answers deeply for its narrow window).
std::string OneLine(std::string_view text);

// Reads the members zlpoll shows; anything else in the text is skipped. A text
// that is not a JSON object gives an empty window.
StatusWindow ParseStatusWindow(std::string_view json);

// The event lines after the last one that starts with marker (all of them
// when none does).
std::vector<std::string> EventsAfter(const StatusWindow &w, std::string_view marker);

// The lines of now that were not in before: the event list drops lines at its
// front and appends at its end, so the longest end of before that starts now
// is what both hold.
std::vector<std::string> NewEvents(const std::vector<std::string> &before,
                                   const std::vector<std::string> &now);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_STATUSWINDOW_H
