// The status window as JSON for the host (GetStatusWindow): the window's
// state, the captions, the event lines and every component's place, font and
// hint. The driver's texts are Windows-1250; the JSON is UTF-8.
#include <algorithm>
#include <cstdio>
#include <string>

#include "driver/Driver.h"
#include "util/JsonText.h"
#include "util/Text.h"

namespace zl {
namespace {

void AppendString(std::string &out, std::string_view cp1250) {
  AppendJsonString(out, cp1250);
}

void AppendKey(std::string &out, std::string_view key) {
  AppendJsonKey(out, key);
}

void AppendBool(std::string &out, bool b) {
  out += b ? "true" : "false";
}

const char *KindName(ComponentKind kind) {
  switch (kind) {
    case ComponentKind::Label:
      return "label";
    case ComponentKind::Image:
      return "image";
    case ComponentKind::Memo:
      return "memo";
    case ComponentKind::Button:
      return "button";
  }
  return "";
}

// "name":"caption" for each component as shown, as one object.
void AppendCaptions(std::string &out, const Form &form, const Displayed &shown,
                    std::initializer_list<const Component *> components) {
  out += '{';
  bool first = true;
  for (const Component *c : components) {
    if (!first) out += ',';
    first = false;
    AppendKey(out, c->Name);
    const auto &all = form.Components();
    const auto at = static_cast<std::size_t>(std::find(all.begin(), all.end(), c) - all.begin());
    AppendString(out, at < shown.Components.size() ? shown.Components[at].Caption : c->Caption());
  }
  out += '}';
}

void AppendComponent(std::string &out, const Component &c) {
  AppendKey(out, c.Name);
  out += "{\"kind\":\"";
  out += KindName(c.Kind);
  out += "\",\"left\":" + std::to_string(c.Left) + ",\"top\":" + std::to_string(c.Top) +
         ",\"width\":" + std::to_string(c.Width) + ",\"height\":" + std::to_string(c.Height);
  out += ",\"autoSize\":";
  AppendBool(out, c.AutoSize());
  out += ",\"font\":";
  if (c.HasFont) {
    out += "{\"name\":";
    AppendString(out, c.TextFont.Name);
    out += ",\"height\":" + std::to_string(c.TextFont.Height) + ",\"bold\":";
    AppendBool(out, c.TextFont.Bold);
    out += ",\"color\":";
    AppendString(out, c.TextFont.Color);
    out += '}';
  } else {
    out += "null";
  }
  out += ",\"hint\":";
  AppendString(out, c.Hint);
  out += '}';
}

}  // namespace

std::string Driver::StatusJson() const {
  const Displayed shown = Display();
  std::string out = "{";
  AppendKey(out, "caption");
  AppendString(out, shown.Caption);
  out += ",\"visible\":";
  AppendBool(out, shown.Visible);
  out += ",\"state\":";
  out += shown.Minimized ? "\"minimized\"" : "\"normal\"";
  out += ",\"focused\":";
  AppendBool(out, shown.Focused);
  out += ",\"left\":" + std::to_string(shown.Left) + ",\"top\":" + std::to_string(shown.Top) +
         ",\"width\":" + std::to_string(shown.ClientWidth) +
         ",\"height\":" + std::to_string(shown.ClientHeight);

  out += ",\"labels\":";
  AppendCaptions(out, *this, shown,
                 {&LabelName, &LabelTitleVersion, &LabelVersion, &QueueStatusLabel, &ActivityLabel,
                  &LabelCredit});
  out += ",\"buttons\":";
  AppendCaptions(out, *this, shown, {&About, &ButtonMin});

  const auto &all = Components();
  const auto memo =
      static_cast<std::size_t>(std::find(all.begin(), all.end(), &EventList) - all.begin());
  out += ",\"events\":[";
  bool first = true;
  for (const std::string &line : shown.Components.at(memo).Lines) {
    if (!first) out += ',';
    first = false;
    AppendString(out, line);
  }
  out += "]";

  out += ",\"components\":{";
  first = true;
  for (const Component *c : Components()) {
    if (!first) out += ',';
    first = false;
    AppendComponent(out, *c);
  }
  out += "}}";
  return out;
}

}  // namespace zl
