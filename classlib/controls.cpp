// Controls over the window layer: the control tree and its windows. A
// control's bounds, visibility, text, colour and font; the window behind a
// windowed control, its window class and procedure; the children, their
// alignment, z-order and focus. The messages are dispatched in
// controls_dispatch.cpp, the painting lives in controls_paint.cpp.
#include "classlib/controls.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "platform/gdi.h"
#include "classlib/forms.h"

namespace {

// GUI thread only, as the windows are.
std::unordered_map<HWND, TWinControl *> &HandleMap() {
  static std::unordered_map<HWND, TWinControl *> map;
  return map;
}
thread_local TWinControl *t_creating = nullptr;

}  // namespace

// ---- TControl --------------------------------------------------------------------------
TControl::TControl(TComponent *owner) : TComponent(owner) {
  WindowProc = [this](TMessage &m) { WndProc(m); };
  font_.OnChange = [this](TObject *) {
    parentFont_ = false;
    Perform(CM_FONTCHANGED);
  };
}

TControl::~TControl() {
  BeginDestroy();
  if (Application()->HintControl() == this) Application()->SetHintControl(nullptr);
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl *parent) {
  if (parent == parent_) return;
  if (parent == this) return;
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool sized = width != width_ || height != height_;
  InvalidateControl();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged();
  InvalidateControl();
  if (align_ != alNone) RequestAlign();
  if (sized && !dynamic_cast<TWinControl *>(this)) Resize();
}

void TControl::SetClientSize(int width, int height) {
  TRect client = ClientRect();
  SetBounds(left_, top_, width_ + width - client.Width(), height_ + height - client.Height());
}

TPoint TControl::ClientOrigin() const {
  if (!parent_) return Point(left_, top_);
  TPoint p = parent_->ClientOrigin();
  return Point(p.x + left_, p.y + top_);
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.x + o.x, p.y + o.y);
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.x - o.x, p.y - o.y);
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  VisibleChanging();
  InvalidateControl();
  visible_ = visible;
  Perform(CM_VISIBLECHANGED, visible);
  InvalidateControl();
  if (parent_ && align_ != alNone) parent_->Realign();
}

bool TControl::Showing() const {
  if (!visible_) return false;
  return parent_ ? parent_->Showing() : true;
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED);
  InvalidateControl();
}

void TControl::SetText(const std::string &text) {
  if (GetText() == text) return;
  if (auto *win = dynamic_cast<TWinControl *>(this); win && win->HandleAllocated()) {
    SendMessageA(win->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else {
    text_ = text;
  }
  Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor color) {
  if (color == color_ && !parentColor_) return;
  color_ = color;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  parentColor_ = value;
  if (value && parent_) {
    color_ = parent_->Color();
    Perform(CM_COLORCHANGED);
    parentColor_ = true;
  }
}

void TControl::SetParentFont(bool value) {
  parentFont_ = value;
  if (value && parent_) Perform(CM_PARENTFONTCHANGED);
}

void TControl::ColorChanged() { Invalidate(); }

void TControl::FontChanged() { Invalidate(); }

void TControl::InvalidateControl() {
  if (!parent_ || !parent_->HandleAllocated() || !visible_ || width_ <= 0 || height_ <= 0) return;
  if (dynamic_cast<TWinControl *>(this)) return;  // a window repaints itself
  RECT r = BoundsRect();
  InvalidateRect(parent_->Handle(), &r, TRUE);
}

void TControl::Invalidate() { InvalidateControl(); }

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto &list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  if (auto *win = dynamic_cast<TWinControl *>(this); win && win->HandleAllocated())
    SetWindowPos(win->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto &list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin(), this);
  if (auto *win = dynamic_cast<TWinControl *>(this); win && win->HandleAllocated())
    SetWindowPos(win->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

TCustomForm *TControl::ParentForm() const {
  const TControl *c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm *>(const_cast<TControl *>(c));
}

// ---- TWinControl -----------------------------------------------------------------------
TWinControl::TWinControl(TComponent *owner) : TControl(owner) { brush_.SetColor(Color()); }

TWinControl::~TWinControl() {
  BeginDestroy();
  // Owned components first, while this control is whole; then children
  // that others own.
  DestroyComponents();
  while (!controls_.empty()) {
    TControl *child = controls_.back();
    RemoveControl(child);
    delete child;
  }
  if (handle_) {
    // A replaced WindowProc may belong to an object that is gone already.
    WindowProc = [this](TMessage &m) { TWinControl::WndProc(m); };
    HWND h = handle_;
    DestroyWindow(h);
    Unbind();
  }
}

TWinControl *TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto it = HandleMap().find(hwnd);
  return it == HandleMap().end() ? nullptr : it->second;
}

TWinControl *TWinControl::FindControl(HWND hwnd) {
  for (HWND h = hwnd; h; h = GetParent(h)) {
    if (TWinControl *c = FromHandle(h)) return c;
    if (!(GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return nullptr;
}

void TWinControl::Bind(HWND hwnd) {
  handle_ = hwnd;
  HandleMap()[hwnd] = this;
}

void TWinControl::Unbind() {
  if (handle_) HandleMap().erase(handle_);
  handle_ = nullptr;
}

LRESULT TWinControl::StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl *control = FromHandle(hwnd);
  if (!control && t_creating) {
    control = t_creating;
    t_creating = nullptr;
    control->Bind(hwnd);
  }
  if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_DESTROY) control->DestroyHandle();
  TMessage m{msg, wParam, lParam, 0};
  control->WindowProc(m);
  if (msg == WM_NCDESTROY && FromHandle(hwnd) == control) control->Unbind();
  return m.Result;
}

HWND TWinControl::Handle() {
  if (handle_ || creating_) return handle_;
  if (parent_ && !parent_->HandleAllocated()) {
    parent_->Handle();  // makes this one too
    if (handle_) return handle_;
  }
  creating_ = true;
  CreateWnd();
  creating_ = false;
  if (handle_) CreateHandle();
  return handle_;
}

void TWinControl::CreateParams(TCreateParams &p) {
  p.Caption = text_;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (Visible()) p.Style |= WS_VISIBLE;
  if (!Enabled()) p.Style |= WS_DISABLED;
  if (TabStop) p.Style |= WS_TABSTOP;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  p.WndParent = parent_ ? parent_->Handle() : ParentWindow;
  p.WinClassName = ClassName();
  p.DefWndProc = DefWindowProcA;
  p.ClassStyle = CS_DBLCLKS;
}

void TWinControl::CreateSubClass(TCreateParams &params, const char *controlClassName) {
  platform::RegisterStandardControls();
  WNDCLASSA wc{};
  if (GetClassInfoA(nullptr, controlClassName, &wc)) {
    params.DefWndProc = wc.lpfnWndProc;
    params.ClassStyle = wc.style;
    params.WindowExtra = wc.cbWndExtra;
    params.Cursor = wc.hCursor;
  }
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent) return;  // no place for it yet
  defWndProc_ = p.DefWndProc ? p.DefWndProc : DefWindowProcA;
  // One window class per control class and procedure beneath: a name that
  // already serves another procedure gets a numbered twin.
  static std::map<std::pair<std::string, WNDPROC>, std::string> registered;
  std::string base = p.WinClassName.empty() ? std::string(ClassName()) : p.WinClassName;
  auto key = std::make_pair(base, defWndProc_);
  auto it = registered.find(key);
  std::string className;
  if (it != registered.end()) {
    className = it->second;
  } else {
    className = base;
    for (int n = 2; std::any_of(registered.begin(), registered.end(),
                                [&](const auto &entry) { return entry.second == className; });
         ++n) {
      className = base;
      className.push_back('.');
      className.append(std::to_string(n));
    }
    WNDCLASSA wc{};
    wc.style = p.ClassStyle;
    wc.cbWndExtra = p.WindowExtra;
    wc.lpfnWndProc = &TWinControl::StdWndProc;
    wc.hCursor = p.Cursor;
    wc.hbrBackground = p.Background;
    wc.lpszClassName = className.c_str();
    RegisterClassA(&wc);
    registered[key] = className;
  }
  p.WinClassName = className;
  CreateWindowHandle(p);
}

void TWinControl::CreateWindowHandle(const TCreateParams &p) {
  t_creating = this;
  HWND h = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                           p.Height, p.WndParent, nullptr, nullptr, p.Param);
  t_creating = nullptr;
  if (h && !handle_) Bind(h);
}

void TWinControl::CreateHandle() {
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
  UpdateBounds();
  for (TControl *child : std::vector<TControl *>(controls_))
    if (auto *win = dynamic_cast<TWinControl *>(child)) win->Handle();
  Realign();
}

void TWinControl::DestroyHandle() {
  // What lives only in the window is kept for the next one.
  if (Destroying()) return;
  TMessage len{WM_GETTEXTLENGTH, 0, 0, 0};
  DefaultHandler(len);
  std::string text(size_t(std::max<LRESULT>(len.Result, 0)) + 1, '\0');
  TMessage get{WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()), 0};
  DefaultHandler(get);
  text.resize(size_t(std::max<LRESULT>(get.Result, 0)));
  text_ = text;
}

void TWinControl::DestroyWnd() {
  if (handle_) DestroyWindow(handle_);
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  DestroyWnd();
  Handle();
}

void TWinControl::SetParent(TWinControl *parent) {
  if (parent == parent_) return;
  TControl::SetParent(parent);
  if (!handle_) {
    if (parent_ && parent_->HandleAllocated()) Handle();
    return;
  }
  if (parent_ && parent_->HandleAllocated()) {
    ::SetParent(handle_, parent_->Handle());
    SetWindowPos(handle_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    DestroyWnd();
  }
}

void TWinControl::InsertControl(TControl *control) {
  if (!control || control->parent_ == this) return;
  if (control->parent_) control->parent_->RemoveControl(control);
  controls_.push_back(control);
  control->parent_ = this;
  if (control->ParentColor()) control->Perform(CM_PARENTCOLORCHANGED);
  if (control->ParentFont()) control->Perform(CM_PARENTFONTCHANGED);
  if (control->Align() != alNone) Realign();
  control->InvalidateControl();
}

void TWinControl::RemoveControl(TControl *control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  control->InvalidateControl();
  controls_.erase(it);
  control->parent_ = nullptr;
  if (mouseControl_ == control) mouseControl_ = nullptr;
  if (captureControl_ == control) captureControl_ = nullptr;
  if (TCustomForm *form = ParentForm(); form && form->activeControl_ &&
                                        (form->activeControl_ == control ||
                                         (dynamic_cast<TWinControl *>(control) &&
                                          form->activeControl_->ParentForm() != form)))
    form->activeControl_ = nullptr;
  if (control->Align() != alNone && !Destroying()) Realign();
}

TControl *TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl *c = *it;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    if (!allowWinControls && dynamic_cast<TWinControl *>(c)) continue;
    if (c->BoundsRect().Contains(p)) return c;
  }
  return nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (handle_) {
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();  // the window may have refused or changed the size
  } else {
    bool sized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (sized) Realign();
  }
  if (Align() != alNone) RequestAlign();
}

void TWinControl::UpdateBounds() {
  if (!handle_) return;
  RECT r;
  GetWindowRect(handle_, &r);
  HWND parent = GetParent(handle_);
  if (parent && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)) {
    POINT tl{r.left, r.top};
    ::ScreenToClient(parent, &tl);
    r = RECT{tl.x, tl.y, tl.x + (r.right - r.left), tl.y + (r.bottom - r.top)};
  }
  bool sized = (r.right - r.left) != width_ || (r.bottom - r.top) != height_;
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  if (sized) Realign();
}

void TWinControl::BoundsChanged() {}

TRect TWinControl::ClientRect() const {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return r;
  }
  return Rect(0, 0, width_, height_);
}

TPoint TWinControl::ClientOrigin() const {
  if (handle_) {
    POINT p{0, 0};
    ::ClientToScreen(handle_, &p);
    return p;
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  if (handle_) EnableWindow(handle_, enabled);
  TControl::SetEnabled(enabled);
}

void TWinControl::SetTabOrder(int order) { tabOrder_ = order; }

bool TWinControl::CanFocus() const {
  for (const TControl *c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
  if (TCustomForm *form = ParentForm(); form && form != this) form->SetActiveControl(this);
  if (Handle()) ::SetFocus(handle_);
}

void TWinControl::Realign() {
  if (alignDisabled_ > 0 || aligning_) return;
  TRect r = ClientRect();
  AlignControls(r);
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::AlignControls(TRect &rect) {
  aligning_ = true;
  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl *c : std::vector<TControl *>(controls_)) {
      if (c->Align() != pass || !c->Visible()) continue;
      switch (pass) {
        case alTop:
          c->SetBounds(rect.Left, rect.Top, rect.Width(), c->Height());
          rect.Top += c->Height();
          break;
        case alBottom:
          c->SetBounds(rect.Left, rect.Bottom - c->Height(), rect.Width(), c->Height());
          rect.Bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(rect.Left, rect.Top, c->Width(), rect.Height());
          rect.Left += c->Width();
          break;
        case alRight:
          c->SetBounds(rect.Right - c->Width(), rect.Top, c->Width(), rect.Height());
          rect.Right -= c->Width();
          break;
        case alClient: c->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height()); break;
        default: break;
      }
    }
  }
  aligning_ = false;
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::ApplyVisibility() {
  if (!handle_) return;
  ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
}

std::string TWinControl::GetText() const {
  if (!handle_) return text_;
  int n = GetWindowTextLengthA(handle_);
  std::string text(size_t(std::max(n, 0)) + 1, '\0');
  int got = GetWindowTextA(handle_, text.data(), int(text.size()));
  text.resize(size_t(std::max(got, 0)));
  return text;
}

void TWinControl::ColorChanged() {
  brush_.SetColor(Color());
  for (TControl *c : std::vector<TControl *>(controls_)) c->Perform(CM_PARENTCOLORCHANGED);
  Invalidate();
}

void TWinControl::FontChanged() {
  if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
  for (TControl *c : std::vector<TControl *>(controls_)) c->Perform(CM_PARENTFONTCHANGED);
  Invalidate();
}
