#include "driver/Driver.h"

#include <string>

#include "driver/EventLines.h"
#include "util/Texts.h"

namespace zl {
namespace {

const Font kSansBold{"MS Sans Serif", 11, true};
const Font kSmallFonts{"Small Fonts", 9, false};
const Font kSystem{"System", 13, false};  // the window's own font
const Font kArial{"Arial", 11, false};

}  // namespace

Driver::Driver()
    : Form(kWindowCaption, 308, 167, 336, 239),
      LabelName("LabelName", 56, 8, kSansBold, "Right mouse button to Popup"),
      LabelTitleVersion("LabelTitleVersion", 56, 28, kSmallFonts, {}, Say(TextId::VersionTitle)),
      LabelVersion("LabelVersion", 85, 24, kSystem),
      ImageIcon("ImageIcon", 8, 8, 32, 32, "Double-click for help", true),
      LabelCredit("LabelCredit", 56, 44, kSmallFonts, {}, Say(TextId::Credit)),
      Image1("Image1", 251, 2, 80, 37),
      QueueStatusLabel("Label1", 80, 208, kSmallFonts),
      ActivityLabel("Label2", 304, 48, kSmallFonts, {}, kActivityAtStart),
      EventList("EventList", 8, 64, 321, 137, kSmallFonts),
      About("About", 8, 208, 57, 25, kArial, "Info about product", Say(TextId::AboutCaption)),
      ButtonMin("ButtonMin", 256, 208, 73, 25, kArial, "Minimize dialog to icon",
                Say(TextId::MinimizeCaption)) {
  const std::initializer_list<const Component *> components = {
      &LabelName,        &LabelTitleVersion, &LabelVersion, &ImageIcon, &LabelCredit, &Image1,
      &QueueStatusLabel, &ActivityLabel,     &EventList,    &About,     &ButtonMin};
  for (const Component *c : components) AddComponent(*c);
  Di.Services = this;
  ButtonClicked = [this](std::string_view name) { ClickButton(name); };
  // The creation handler.
  LabelName.SetCaption(kDriverInfo);
  LabelVersion.SetCaption(kVersionDate);
  SetCaption(kWindowCaption);
  EventList.Clear();
  Thread.reset();
}

Driver::~Driver() {
  StopThread();
  Di.Client = nullptr;
  Client.reset();
  Di.Services = nullptr;
}

void Driver::AddEvent(std::string_view line) {
  EventList.AddKeepingNewest(line, kEventListLines);
}

void Driver::AddStatusLine(std::string_view line) {
  // Status lines stand outside the 12-line rule, so the list may grow past 12
  // for a while; the ceiling only keeps a driver that reconnects for months
  // from growing it without end.
  EventList.AddKeepingNewest(line, kStatusLineCeiling);
}

void Driver::PostEvent(std::string_view line) {
  Di.CommThreadRole.Assert();  // only the communication thread posts event lines
  Di.PendingEvent = line;      // cut to 255
  // Waits for the host's thread: the caller holds no driver lock.
  Synchronize([this] { AddToMemo(); });
}

void Driver::Synchronize(const std::function<void()> &fn) {
  Loop.Send(fn);
}

void Driver::Wake() {
  if (Thread) Thread->Wake();
}

void Driver::AddToMemo() {
  // On the host's thread within PostEvent's synchronised call, while the
  // communication thread waits: the line is lent for that call.
  Di.CommThreadRole.Assert();
  zl::AddToMemo(Di);
}

void Driver::AboutClick() {
  AddEvent(" ");
  AddEvent(kDriverInfo);
  AddEvent(Say(TextId::AboutPurpose));
  AddEvent(Say(TextId::AboutLibrary));
  AddEvent(Say(TextId::AboutVersion));
  AddEvent(" ");
}

void Driver::ButtonMinClick() {
  Minimize();
}

bool Driver::ClickButton(std::string_view name) {
  if (name == About.Name) {
    AboutClick();
  } else if (name == ButtonMin.Name) {
    ButtonMinClick();
  } else {
    return false;
  }
  return true;
}

void Driver::DriverProc(int32_t code, int32_t p1, int32_t p2) {
  switch (code) {
    case 0:
      Hide();
      break;
    case 1:
      Show();
      break;
    case 2:
      Minimize();
      break;
    case 3:
      Restore();
      break;
    case 4:
      SetFocus();  // refused while hidden or disabled
      break;
    case 5:
      SetTop(p2);
      SetLeft(p1);
      break;
    case 6:
      AddEvent(Say(TextId::NewLoginLevelLine) + std::to_string(p1));
      LoginLevel = p1;
      break;
    default:
      break;
  }
}

void Driver::QueryProc(int32_t code, int32_t param) {
  if (code != 8) return;
  switch (param) {
    case 0:
      Minimize();
      break;
    case 1:
      Show();
      break;
    case 2:
      Hide();
      break;
    default:
      break;
  }
}

}  // namespace zl
