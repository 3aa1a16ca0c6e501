#include "zlpoll/StatusWindow.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace zl::poll {

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
  const nlohmann::json doc = nlohmann::json::parse(json, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return StatusWindow();
  // A member of another kind than zlpoll expects is left empty.
  auto text = [](const nlohmann::json &object, const char *key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  StatusWindow w;
  w.Caption = text(doc, "caption");
  const auto labels = doc.find("labels");
  if (labels != doc.end() && labels->is_object()) {
    w.QueueStatusLabel = text(*labels, "Label1");
    w.ActivityLabel = text(*labels, "Label2");
  }
  const auto events = doc.find("events");
  if (events != doc.end() && events->is_array()) {
    for (const nlohmann::json &e : *events)
      if (e.is_string()) w.Events.push_back(e.get<std::string>());
  }
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
