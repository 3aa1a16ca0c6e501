#include "port/Window.h"

namespace zl {

Component::Component(ComponentKind kind, std::string name, int left, int top, int width, int height,
                     const Font *font, std::string hint)
    : Kind(kind),
      Name(std::move(name)),
      Left(left),
      Top(top),
      Width(width),
      Height(height),
      HasFont(font != nullptr),
      TextFont(font ? *font : Font{}),
      Hint(std::move(hint)) {}

Component::ChangeNote::~ChangeNote() {
  if (c->owner_) c->owner_->Changed(c);
}

std::string Component::Caption() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return caption_;
}

void Component::SetCaption(std::string_view text) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  caption_.assign(text);
}

bool Component::SetCaptionIfDifferent(std::string_view text) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  if (caption_ == text) return false;
  caption_.assign(text);
  return true;
}

void Component::UpdateCaption(const std::function<std::string(std::string_view)> &next) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  caption_ = next(caption_);
}

Label::Label(std::string name, int left, int top, const Font &font, std::string hint,
             std::string_view caption)
    : Component(ComponentKind::Label, std::move(name), left, top, 0, 0, &font, std::move(hint)) {
  caption_.assign(caption);
}

Image::Image(std::string name, int left, int top, int width, int height, std::string hint,
             bool transparent)
    : Component(ComponentKind::Image, std::move(name), left, top, width, height, nullptr,
                std::move(hint)),
      Transparent(transparent) {}

Button::Button(std::string name, int left, int top, int width, int height, const Font &font,
               std::string hint, std::string_view caption)
    : Component(ComponentKind::Button, std::move(name), left, top, width, height, &font,
                std::move(hint)) {
  caption_.assign(caption);
}

Memo::Memo(std::string name, int left, int top, int width, int height, const Font &font,
           std::string hint)
    : Component(ComponentKind::Memo, std::move(name), left, top, width, height, &font,
                std::move(hint)) {}

std::vector<std::string> Memo::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::size_t Memo::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}

void Memo::Add(std::string_view line) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.emplace_back(line);
}

void Memo::AddKeepingNewest(std::string_view line, std::size_t maxLines) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lines_.empty() && lines_.size() >= maxLines) lines_.erase(lines_.begin());
  lines_.emplace_back(line);
}

void Memo::Delete(std::size_t index) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  if (index < lines_.size()) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
}

void Memo::Clear() {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

Form::Form(std::string_view caption, int left, int top, int clientWidth, int clientHeight)
    : caption_(caption),
      left_(left),
      top_(top),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight),
      view_(MakeFormView(*this)) {}

void Form::AddComponent(const Component &c) {
  c.owner_ = this;
  components_.push_back(&c);
  if (view_) view_->Added(c);
}

bool Form::Click(std::string_view name) {
  for (const Component *c : components_) {
    if (c->Kind != ComponentKind::Button || c->Name != name) continue;
    if (!(view_ && view_->Click(*c)) && ButtonClicked) ButtonClicked(name);
    return true;
  }
  return false;
}

Displayed Form::Display() const {
  Displayed shown;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shown.Caption = caption_;
    shown.Visible = visible_;
    shown.Focused = focused_;
    shown.Minimized = state_ == WindowState::Minimized;
    shown.Left = left_;
    shown.Top = top_;
  }
  shown.ClientWidth = clientWidth_;
  shown.ClientHeight = clientHeight_;
  for (const Component *c : components_) {
    Displayed::Text &text = shown.Components.emplace_back();
    if (c->Kind == ComponentKind::Memo) {
      text.Lines = static_cast<const Memo *>(c)->Lines();
    } else {
      text.Caption = c->Caption();
    }
  }
  if (view_) view_->Read(shown);
  return shown;
}

std::string Form::Caption() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return caption_;
}

void Form::SetCaption(std::string_view caption) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  caption_.assign(caption);
}

int Form::Left() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return left_;
}

int Form::Top() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return top_;
}

void Form::SetLeft(int left) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  left_ = left;
}

void Form::SetTop(int top) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  top_ = top;
}

bool Form::Visible() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return visible_;
}

WindowState Form::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

bool Form::Focused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return focused_;
}

bool Form::Enabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return enabled_;
}

void Form::Show() {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  visible_ = true;
}

void Form::Hide() {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  visible_ = false;
  focused_ = false;
}

void Form::Minimize() {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = WindowState::Minimized;
}

void Form::Restore() {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = WindowState::Normal;
}

void Form::SetEnabled(bool enabled) {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  enabled_ = enabled;
  if (!enabled) focused_ = false;
}

bool Form::SetFocus() {
  const ChangeNote note{this};
  std::lock_guard<std::mutex> lock(mutex_);
  if (!visible_ || !enabled_) return false;
  focused_ = true;
  return true;
}

}  // namespace zl
