// The status window on Windows: the form model shown as a real window.
//
// The model stays the one place that holds captions, lines and the window's
// state (the JSON of GetStatusWindow reads it); this view follows it. A change
// on the thread that owns the window is shown at once; one from another thread
// (the communication thread's labels) is posted to the window and shown when
// the host's loop dispatches. What the user does to the window (minimize,
// restore, close, move, a click on a button) goes to the model first.
//
// The window is a fixed-size dialog frame with system menu and minimize box;
// components are standard controls: labels and images are static controls,
// the event list a read-only multi-line edit, the buttons push buttons; hints
// are tooltips. The icon and the logo are the library's resources.
#include <windows.h>
// Then the common controls, which need the types above.
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "port/Window.h"
#include "port/win32/DriverWindows.h"
#include "port/win32/Resources.h"
#include "port/win32/WideText.h"

namespace zl {
namespace {

constexpr UINT kRefreshMessage = WM_APP + 20;  // wParam: component index + 1; 0: the form
constexpr int kFirstControlId = 100;
// The window class keeps its name: other programs may find the window by it.
const wchar_t kStatusClassName[] = L"ZLNETDRV.TDrvForm";

// The picture of a resource, drawn into r (the icon over the button face).
void DrawIcon(HDC dc, const RECT &r, HICON icon) {
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (icon)
    DrawIconEx(dc, r.left, r.top, icon, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
}

void DrawBitmap(HDC dc, const RECT &r, HBITMAP bitmap) {
  BITMAP size = {};
  if (!bitmap || !GetObjectW(bitmap, sizeof size, &size)) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, size.bmWidth,
             size.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

HICON LoadIconOfSize(int size) {
  return static_cast<HICON>(
      LoadImageW(ThisModule(), MAKEINTRESOURCEW(ZL_IDI_DRIVER), IMAGE_ICON, size, size, 0));
}

class StatusWindow : public FormView {
 public:
  explicit StatusWindow(Form &form);
  ~StatusWindow() override;

  void Added(const Component &c) override;
  void Changed(const Component *c) override;
  bool Read(Displayed &shown) override;
  bool Click(const Component &button) override;

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Show(const Component *c);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyForm();
  void ApplyComponent(std::size_t index);
  HFONT FontOf(const Font &font);
  std::size_t IndexOf(const Component *c) const;
  bool IsMemo(HWND control) const;

  Form &form_;
  const DWORD ownerThread_;
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  HICON icon_ = nullptr, smallIcon_ = nullptr;
  HBITMAP logo_ = nullptr;
  std::vector<HWND> controls_;  // by component index
  std::vector<HFONT> fonts_;
  bool applying_ = false;                    // the window is being made to follow the model
  static constexpr std::size_t kSlots = 32;  // the form, then its components
  std::atomic<bool> refreshPending_[kSlots] = {};
};

const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
const DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;

StatusWindow::StatusWindow(Form &form) : form_(form), ownerThread_(GetCurrentThreadId()) {
  INITCOMMONCONTROLSEX common = {static_cast<DWORD>(sizeof common), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kStatusClassName;
  RegisterClassExW(&wc);  // already there for a second driver or a reloaded library
  RECT r = {0, 0, form.ClientWidth(), form.ClientHeight()};
  AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  window_ = CreateWindowExW(kExStyle, kStatusClassName, WideFromCp1250(form.Caption()).c_str(),
                            kStyle, form.Left(), form.Top(), r.right - r.left, r.bottom - r.top,
                            nullptr, nullptr, wc.hInstance, this);
  if (!window_) return;  // no window station: the model alone serves
  icon_ = LoadIconOfSize(32);
  smallIcon_ = LoadIconOfSize(16);
  logo_ = static_cast<HBITMAP>(
      LoadImageW(ThisModule(), MAKEINTRESOURCEW(ZL_IDB_LOGO), IMAGE_BITMAP, 0, 0, 0));
  if (icon_) SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  if (smallIcon_) {
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  }
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, wc.hInstance, nullptr);
  RegisterDriverWindow(window_);
  RegisterDriverWindow(tooltip_);
}

StatusWindow::~StatusWindow() {
  if (window_) {
    UnregisterDriverWindow(tooltip_);
    UnregisterDriverWindow(window_);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    if (GetCurrentThreadId() == ownerThread_) {
      DestroyWindow(window_);  // the tooltip with it: the window owns it
    } else {
      PostMessageW(window_, WM_CLOSE, 0, 0);  // the owner thread destroys it
    }
  }
  for (HFONT f : fonts_) DeleteObject(f);
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  if (logo_) DeleteObject(logo_);
  UnregisterClassW(kStatusClassName, ThisModule());  // fails while another driver's window lives
}

HFONT StatusWindow::FontOf(const Font &font) {
  const bool system = font.Name == "System";  // the window's own font
  HFONT f =
      CreateFontW(-font.Height, 0, 0, 0, font.Bold || system ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                  FALSE, EASTEUROPE_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, WideFromCp1250(font.Name).c_str());
  if (f) fonts_.push_back(f);
  return f;
}

void StatusWindow::Added(const Component &c) {
  if (!window_) return;
  const std::size_t index = controls_.size();
  const wchar_t *cls = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  switch (c.Kind) {
    case ComponentKind::Label:
      style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
      break;
    case ComponentKind::Image:
      style |= SS_OWNERDRAW | SS_NOTIFY;
      break;
    case ComponentKind::Memo:
      cls = L"EDIT";
      style |= WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ComponentKind::Button:
      cls = L"BUTTON";
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
  }
  HWND control =
      CreateWindowExW(exStyle, cls, L"", style, c.Left, c.Top, c.Width, c.Height, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                      ThisModule(), nullptr);
  controls_.push_back(control);
  if (!control) return;
  if (c.HasFont) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(c.TextFont)), 0);
  if (!c.Hint.empty() && tooltip_) {
    std::wstring hint = WideFromCp1250(c.Hint);
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = hint.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  ApplyComponent(index);
}

std::size_t StatusWindow::IndexOf(const Component *c) const {
  const auto &all = form_.Components();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] == c) return i;
  }
  return all.size();
}

void StatusWindow::Changed(const Component *c) {
  if (!window_) return;
  // Called when a setter's lock is released, from a destructor: nothing may
  // leave here.
  try {
    Show(c);
  } catch (...) {
  }
}

void StatusWindow::Show(const Component *c) {
  const std::size_t index = c ? IndexOf(c) : 0;
  if (c && index >= controls_.size()) return;  // not added yet
  if (GetCurrentThreadId() == ownerThread_) {
    if (c) {
      ApplyComponent(index);
    } else {
      ApplyForm();
    }
    return;
  }
  // One refresh waiting per component is enough: a label that changes every
  // 100 ms does not fill the queue of a host that is slow to dispatch.
  const std::size_t slot = c ? index + 1 : 0;
  if (slot < kSlots && refreshPending_[slot].exchange(true)) return;
  if (!PostMessageW(window_, kRefreshMessage, slot, 0) && slot < kSlots) {
    refreshPending_[slot].store(false);
  }
}

void StatusWindow::ApplyComponent(std::size_t index) {
  if (index >= controls_.size() || !controls_[index]) return;
  const Component &c = *form_.Components()[index];
  HWND control = controls_[index];
  if (c.Kind == ComponentKind::Image) {
    InvalidateRect(control, nullptr, TRUE);
    return;
  }
  if (c.Kind == ComponentKind::Memo) {
    std::wstring text;
    for (const std::string &line : static_cast<const Memo &>(c).Lines()) {
      if (!text.empty()) text += L"\r\n";
      text += WideFromCp1250(line);
    }
    SetWindowTextW(control, text.c_str());
    // The newest line in sight.
    LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(control, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
    return;
  }
  const std::wstring caption = WideFromCp1250(c.Caption());
  SetWindowTextW(control, caption.c_str());
  if (c.AutoSize()) {  // a label as large as its caption
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, caption.empty() ? L" " : caption.c_str(),
                          caption.empty() ? 1 : static_cast<int>(caption.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    // The place of a longer caption before is painted afresh too.
    RECT before;
    GetWindowRect(control, &before);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT *>(&before), 2);
    SetWindowPos(control, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    before.right = std::max<LONG>(before.right, before.left + size.cx);
    before.bottom = std::max<LONG>(before.bottom, before.top + size.cy);
    InvalidateRect(window_, &before, TRUE);
  }
}

void StatusWindow::ApplyForm() {
  applying_ = true;
  SetWindowTextW(window_, WideFromCp1250(form_.Caption()).c_str());
  EnableWindow(window_, form_.Enabled());
  if (!form_.Visible()) {
    ShowWindow(window_, SW_HIDE);
  } else if (form_.State() == WindowState::Minimized) {
    if (!IsIconic(window_) || !IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWMINNOACTIVE);
  } else if (IsIconic(window_) || !IsWindowVisible(window_)) {
    ShowWindow(window_, SW_SHOWNOACTIVATE);
  }
  if (!IsIconic(window_)) {
    SetWindowPos(window_, nullptr, form_.Left(), form_.Top(), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (form_.Focused() && IsWindowVisible(window_) && !IsIconic(window_)) {
    HWND focus = GetFocus();
    if (focus != window_ && !IsChild(window_, focus)) {
      SetForegroundWindow(window_);
      ::SetFocus(window_);
    }
  }
  applying_ = false;
}

// A window's text, as the driver's Windows-1250.
std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(std::max(GetWindowTextLengthW(window), 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      std::max(GetWindowTextW(window, text.data(), static_cast<int>(text.size())), 0)));
  return Cp1250FromWide(text);
}

bool StatusWindow::Read(Displayed &shown) {
  // Another thread would wait here for the owner's loop: it reads the model.
  if (!window_ || GetCurrentThreadId() != ownerThread_) return false;
  // Changes from the communication thread that wait for the host's loop are
  // shown first: the window is read as the user is about to see it.
  for (std::size_t slot = 0; slot < kSlots; ++slot) {
    if (!refreshPending_[slot].exchange(false)) continue;
    if (slot == 0) {
      ApplyForm();
    } else {
      ApplyComponent(slot - 1);
    }
  }
  shown.Caption = TextOf(window_);
  shown.Visible = IsWindowVisible(window_) != FALSE;
  // A hidden window shows no state: the model's stays.
  if (shown.Visible) shown.Minimized = IsIconic(window_) != FALSE;
  const HWND focus = GetFocus();
  shown.Focused = focus && (focus == window_ || IsChild(window_, focus));
  WINDOWPLACEMENT place = {};
  place.length = sizeof place;
  if (GetWindowPlacement(window_, &place)) {  // where it stands when not minimized
    shown.Left = place.rcNormalPosition.left;
    shown.Top = place.rcNormalPosition.top;
  }
  RECT client;
  if (!IsIconic(window_) && GetClientRect(window_, &client)) {
    shown.ClientWidth = client.right - client.left;
    shown.ClientHeight = client.bottom - client.top;
  }
  const auto &all = form_.Components();
  for (std::size_t i = 0; i < controls_.size() && i < shown.Components.size(); ++i) {
    if (!controls_[i] || all[i]->Kind == ComponentKind::Image) continue;
    const std::string text = TextOf(controls_[i]);
    if (all[i]->Kind != ComponentKind::Memo) {
      shown.Components[i].Caption = text;
      continue;
    }
    std::vector<std::string> &lines = shown.Components[i].Lines;
    lines.clear();
    for (std::size_t at = 0; at < text.size();) {  // no text: no lines
      const std::size_t end = std::min(text.find("\r\n", at), text.size());
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
  }
  return true;
}

bool StatusWindow::Click(const Component &button) {
  if (!window_ || GetCurrentThreadId() != ownerThread_) return false;
  const std::size_t index = IndexOf(&button);
  if (index >= controls_.size() || !controls_[index]) return false;
  // What the button tells its window when the user clicks it. (BM_CLICK
  // would also leave the focus and the mouse capture on the button, which a
  // host's check would then see and Linux has no counterpart of.)
  HWND control = controls_[index];
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  return true;
}

bool StatusWindow::IsMemo(HWND control) const {
  const auto &all = form_.Components();
  for (std::size_t i = 0; i < controls_.size() && i < all.size(); ++i) {
    if (controls_[i] == control) return all[i]->Kind == ComponentKind::Memo;
  }
  return false;
}

LRESULT CALLBACK StatusWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto *create = reinterpret_cast<CREATESTRUCTW *>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto *self = reinterpret_cast<StatusWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && self->window_ == window) {
    // Nothing may unwind into the window manager's frames.
    try {
      return self->Handle(message, wParam, lParam);
    } catch (...) {
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT StatusWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRefreshMessage:
      if (wParam < kSlots) refreshPending_[wParam].store(false);
      if (wParam == 0) {
        ApplyForm();
      } else {
        ApplyComponent(wParam - 1);
      }
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        const std::size_t index = LOWORD(wParam) - kFirstControlId;
        const auto &all = form_.Components();
        if (index < all.size() && all[index]->Kind == ComponentKind::Button && form_.ButtonClicked)
          form_.ButtonClicked(all[index]->Name);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 0));
      if (IsMemo(reinterpret_cast<HWND>(lParam))) {  // read-only, yet white as a text box
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DRAWITEM: {
      const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
      const std::size_t index = item->CtlID - kFirstControlId;
      const auto &all = form_.Components();
      if (index < all.size()) {
        if (all[index]->Name == "ImageIcon") {
          DrawIcon(item->hDC, item->rcItem, icon_);
        } else {
          DrawBitmap(item->hDC, item->rcItem, logo_);
        }
      }
      return TRUE;
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
          form_.Minimize();
          return 0;
        case SC_RESTORE:
          form_.Restore();
          return 0;
        case SC_CLOSE:
          form_.Hide();
          return 0;
        default:
          break;
      }
      break;
    case WM_CLOSE:  // the window is the driver's: closing it hides it
      form_.Hide();
      return 0;
    case WM_MOVE:
      if (!applying_ && !IsIconic(window_) && IsWindowVisible(window_)) {
        RECT r;
        GetWindowRect(window_, &r);
        if (r.left != form_.Left()) form_.SetLeft(r.left);
        if (r.top != form_.Top()) form_.SetTop(r.top);
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<FormView> MakeFormView(Form &form) {
  return std::make_unique<StatusWindow>(form);
}

}  // namespace zl
