// The window model: the status window and its components as plain objects.
//
// The driver sets captions, places and states; the host reads them (as JSON
// through the C ABI) instead of seeing a window on a display. Geometry, fonts
// and hints are fixed at construction. Captions, memo lines and the window's
// state can change at run time; they are guarded by a mutex per object,
// because two of the labels are updated from the communication thread.
// Texts are Windows-1250 bytes.
//
// On Windows a FormView shows the form as a real window: every change of the
// model is passed to it, and it passes the user's clicks back.
#ifndef ZL_PORT_WINDOW_H
#define ZL_PORT_WINDOW_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zl {

struct Font {
  std::string Name;
  int Height = 0;  // character height in pixels
  bool Bold = false;
  std::string Color = "black";
};

enum class ComponentKind { Label, Image, Memo, Button };

class Component;
class Form;

// What the status window shows: its state and every component's text. Read
// from the real window where there is one, so a host checks what the user
// sees; else it is the model's.
struct Displayed {
  struct Text {
    std::string Caption;             // Windows-1250
    std::vector<std::string> Lines;  // a memo's lines
  };
  std::string Caption;
  bool Visible = false;
  bool Focused = false;
  bool Minimized = false;
  int Left = 0, Top = 0;
  int ClientWidth = 0, ClientHeight = 0;
  std::vector<Text> Components;  // in the form's order
};

// A native window showing a form (Windows). Created with the form, on the
// thread that will own the window; told of every change, on any thread.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void Added(const Component &c) = 0;
  // c: the component whose content changed, or null for the form itself.
  virtual void Changed(const Component *c) = 0;
  // Reads the real window into shown; false when it cannot (no window, or
  // not on the thread that owns it): the model's state then serves.
  virtual bool Read(Displayed &shown) = 0;
  // Clicks the button's real control; false when there is none.
  virtual bool Click(const Component &button) = 0;
};

// The platform's view of a form: a real window on Windows, none on Linux.
std::unique_ptr<FormView> MakeFormView(Form &form);

class Component {
 public:
  Component(ComponentKind kind, std::string name, int left, int top, int width, int height,
            const Font *font, std::string hint);
  virtual ~Component() = default;
  Component(const Component &) = delete;
  Component &operator=(const Component &) = delete;

  const ComponentKind Kind;
  const std::string Name;
  const int Left, Top;
  const int Width, Height;  // 0 x 0 for a label sized to its caption
  const bool HasFont;       // images have none
  const Font TextFont;
  const std::string Hint;  // empty: none

  bool AutoSize() const { return Kind == ComponentKind::Label; }

  std::string Caption() const;
  void SetCaption(std::string_view text);
  // Sets the caption only when it differs; answers whether it changed.
  bool SetCaptionIfDifferent(std::string_view text);
  // Replaces the caption by next(caption) in one step.
  void UpdateCaption(const std::function<std::string(std::string_view)> &next);

 protected:
  // Tells the form's view, once the caller's lock is released (declare
  // before the lock).
  struct ChangeNote {
    const Component *c;
    ~ChangeNote();
  };

  mutable std::mutex mutex_;
  std::string caption_;

 private:
  friend class Form;
  mutable const Form *owner_ = nullptr;  // set when the form adds it
};

class Label : public Component {
 public:
  Label(std::string name, int left, int top, const Font &font, std::string hint = {},
        std::string_view caption = {});
};

class Image : public Component {
 public:
  Image(std::string name, int left, int top, int width, int height, std::string hint = {},
        bool transparent = false);
  const bool Transparent;
};

class Button : public Component {
 public:
  Button(std::string name, int left, int top, int width, int height, const Font &font,
         std::string hint, std::string_view caption);
};

// A read-only multi-line text box.
class Memo : public Component {
 public:
  Memo(std::string name, int left, int top, int width, int height, const Font &font,
       std::string hint = {});

  std::vector<std::string> Lines() const;
  std::size_t Count() const;
  void Add(std::string_view line);
  // When the memo already holds maxLines or more lines, deletes the first
  // (oldest) one; then appends line. One step for every other writer.
  void AddKeepingNewest(std::string_view line, std::size_t maxLines);
  void Delete(std::size_t index);  // an index out of range deletes nothing
  void Clear();

 private:
  std::vector<std::string> lines_;
};

enum class WindowState { Normal, Minimized };

class Form {
 public:
  Form(std::string_view caption, int left, int top, int clientWidth, int clientHeight);
  virtual ~Form() = default;
  Form(const Form &) = delete;
  Form &operator=(const Form &) = delete;

  std::string Caption() const;
  void SetCaption(std::string_view caption);
  int Left() const;
  int Top() const;
  void SetLeft(int left);
  void SetTop(int top);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }

  bool Visible() const;
  WindowState State() const;
  bool Focused() const;
  bool Enabled() const;

  void Show();
  void Hide();  // also takes the focus away
  void Minimize();
  void Restore();
  void SetEnabled(bool enabled);
  // Gives the window the input focus; refused (false) while it is hidden or disabled.
  bool SetFocus();

  // The components in declaration order.
  const std::vector<const Component *> &Components() const { return components_; }

  // What a click on a button does (by the button's name).
  std::function<void(std::string_view)> ButtonClicked;
  // A click on the named button as the user makes it: through the real
  // control where there is a window, else straight to ButtonClicked. False:
  // the form has no button of that name.
  bool Click(std::string_view name);
  // What the window shows (see Displayed).
  Displayed Display() const;
  // The form or one of its components changed (c null: the form).
  void Changed(const Component *c) const {
    if (view_) view_->Changed(c);
  }

 protected:
  void AddComponent(const Component &c);

 private:
  struct ChangeNote {
    const Form *form;
    ~ChangeNote() { form->Changed(nullptr); }
  };

  mutable std::mutex mutex_;
  std::string caption_;
  int left_, top_;
  const int clientWidth_, clientHeight_;
  bool visible_ = false;
  bool enabled_ = true;
  bool focused_ = false;
  WindowState state_ = WindowState::Normal;
  std::vector<const Component *> components_;
  std::unique_ptr<FormView> view_;  // last: made once the fields above exist
};

}  // namespace zl

#endif  // ZL_PORT_WINDOW_H
