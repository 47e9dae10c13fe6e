// Controls over the window layer: the window procedure of the class
// library's window classes, message dispatch to the typed handlers, the
// control tree, alignment, painting of graphic children and keyboard
// routing to the form.
#include "classlib/controls.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "platform/gdi.h"
#include "classlib/forms.h"
#include "classlib/menus.h"

namespace {

// GUI thread only, as the windows are.
std::unordered_map<HWND, TWinControl *> &HandleMap() {
  static std::unordered_map<HWND, TWinControl *> map;
  return map;
}
thread_local TWinControl *t_creating = nullptr;

bool IsMouseMessage(UINT m) {
  return (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL) || m == WM_MOUSELEAVE;
}

TMouseButton ButtonOf(UINT m) {
  switch (m) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK: return mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK: return mbMiddle;
    default: return mbLeft;
  }
}

}  // namespace

TShiftState ShiftStateFromKeys(UINT keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s << ssShift;
  if (keys & MK_CONTROL) s << ssCtrl;
  if (keys & MK_LBUTTON) s << ssLeft;
  if (keys & MK_RBUTTON) s << ssRight;
  if (keys & MK_MBUTTON) s << ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s << ssAlt;
  return s;
}

TShiftState KeyboardShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s << ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s << ssAlt;
  return s;
}

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

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  if (WindowProc)
    WindowProc(m);
  else
    WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage &message) { Dispatch(message); }

void TControl::Dispatch(TMessage &m) {
  switch (m.Msg) {
    case WM_PAINT: {
      TWMPaint p{reinterpret_cast<HDC>(m.WParam), Rect(0, 0, width_, height_), 0, &m};
      if (p.DC) {
        RECT clip;
        if (GetClipBox(p.DC, &clip) != 0) p.Rect = clip;
      }
      WMPaint(p);
      m.Result = p.Result;
      return;
    }
    case WM_SIZE: {
      TWMSize s{UINT(m.WParam), int(LOWORD(uintptr_t(m.LParam))), int(HIWORD(uintptr_t(m.LParam))), 0, &m};
      WMSize(s);
      m.Result = s.Result;
      return;
    }
    case WM_TIMER: {
      TWMTimer t{UINT_PTR(m.WParam), reinterpret_cast<TIMERPROC>(m.LParam), 0, &m};
      WMTimer(t);
      m.Result = t.Result;
      return;
    }
    case WM_MOUSEWHEEL: {
      TWMMouseWheel w{UINT(LOWORD(m.WParam)), GET_WHEEL_DELTA_WPARAM(m.WParam),
                      Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)), 0, &m};
      WMMouseWheel(w);
      m.Result = w.Result;
      return;
    }
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
      if (m.Msg == CM_TEXTCHANGED) TextChanged();
      DefaultHandler(m);
      return;
    case CM_COLORCHANGED:
      ColorChanged();
      return;
    case CM_FONTCHANGED:
      FontChanged();
      return;
    case CM_PARENTCOLORCHANGED:
      if (parentColor_ && parent_) {
        color_ = parent_->Color();
        ColorChanged();
      }
      return;
    case CM_PARENTFONTCHANGED:
      if (parentFont_ && parent_) {
        auto handler = std::move(font_.OnChange);
        font_.OnChange = nullptr;
        font_.Assign(parent_->Font());
        font_.OnChange = std::move(handler);
        FontChanged();
      }
      return;
    default: break;
  }
  if (IsMouseMessage(m.Msg)) {
    TWMMouse mm{m.Msg, UINT(m.WParam), Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)), 0, &m};
    WMMouse(mm);
    m.Result = mm.Result;
    return;
  }
  DefaultHandler(m);
}

void TControl::DefaultHandler(TMessage &message) {}

void TControl::WMPaint(TWMPaint &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMEraseBkgnd(TWMEraseBkgnd &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMMouseWheel(TWMMouseWheel &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMKey(TWMKey &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMChar(TWMChar &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMTimer(TWMTimer &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMFocus(TWMFocus &msg) { DefaultHandler(*msg.Raw); }
void TControl::WMCommand(TWMCommand &msg) { DefaultHandler(*msg.Raw); }

void TControl::WMSize(TWMSize &msg) {
  Resize();
  DefaultHandler(*msg.Raw);
}

void TControl::WMMouse(TWMMouse &msg) {
  TShiftState shift = ShiftStateFromKeys(msg.Keys);
  int x = msg.Pos.x, y = msg.Pos.y;
  switch (msg.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      bool dbl = msg.Msg == WM_LBUTTONDBLCLK || msg.Msg == WM_RBUTTONDBLCLK || msg.Msg == WM_MBUTTONDBLCLK;
      if (dbl) shift << ssDouble;
      TMouseButton button = ButtonOf(msg.Msg);
      if (button == mbLeft) mouseDownHere_ = true;
      if (msg.Msg == WM_LBUTTONDBLCLK) DblClick();
      MouseDown(button, shift, x, y);
      break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      TMouseButton button = ButtonOf(msg.Msg);
      bool click = button == mbLeft && mouseDownHere_ && clickOnRelease_ && ClientRect().Contains(msg.Pos);
      if (button == mbLeft) mouseDownHere_ = false;
      if (click) Click();
      MouseUp(button, shift, x, y);
      break;
    }
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
    default: break;
  }
  DefaultHandler(*msg.Raw);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown && !Destroying()) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove && !Destroying()) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp && !Destroying()) OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
  if (OnClick && !Destroying()) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick && !Destroying()) OnDblClick(this);
}

void TControl::Resize() {
  if (OnResize && !Destroying()) OnResize(this);
}

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

void TWinControl::PaintTo(HDC dc, int x, int y) {
  if (!dc) return;
  int saved = SaveDC(dc);
  OffsetViewportOrgEx(dc, x, y, nullptr);
  IntersectClipRect(dc, 0, 0, width_, height_);
  TMessage erase{WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0, 0};
  WindowProc(erase);
  TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
  WindowProc(paint);
  for (TControl *c : controls_) {
    auto *win = dynamic_cast<TWinControl *>(c);
    if (win && win->Visible()) win->PaintTo(dc, win->Left(), win->Top());
  }
  RestoreDC(dc, saved);
}

// ---- dispatch ----------------------------------------------------------------------------
void TWinControl::Dispatch(TMessage &m) {
  switch (m.Msg) {
    case WM_PAINT: {
      HDC given = reinterpret_cast<HDC>(m.WParam);
      if (given) {
        TControl::Dispatch(m);
        return;
      }
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(handle_, &ps);
      TMessage inner{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
      TWMPaint p{dc, ps.rcPaint, 0, &inner};
      if (dc) WMPaint(p);
      EndPaint(handle_, &ps);
      m.Result = 0;
      return;
    }
    case WM_ERASEBKGND: {
      TWMEraseBkgnd e{reinterpret_cast<HDC>(m.WParam), 0, &m};
      WMEraseBkgnd(e);
      m.Result = e.Result;
      return;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
      TWMKey k{m.Msg, WORD(m.WParam), m.LParam, 0, &m};
      WMKey(k);
      m.Result = k.Result;
      return;
    }
    case WM_CHAR:
    case WM_SYSCHAR: {
      TWMChar c{m.Msg, WORD(m.WParam), m.LParam, 0, &m};
      WMChar(c);
      m.Result = c.Result;
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      TWMFocus f{m.Msg, reinterpret_cast<HWND>(m.WParam), 0, &m};
      WMFocus(f);
      m.Result = f.Result;
      return;
    }
    case WM_COMMAND: {
      TWMCommand c{LOWORD(m.WParam), HIWORD(m.WParam), reinterpret_cast<HWND>(m.LParam), 0, &m};
      WMCommand(c);
      m.Result = c.Result;
      return;
    }
    case WM_WINDOWPOSCHANGED:
      DefaultHandler(m);
      UpdateBounds();
      return;
    case WM_GETDLGCODE:
      DefaultHandler(m);
      return;
    case WM_CONTEXTMENU:
      if (PopupMenu && PopupMenu->AutoPopup && !Destroying()) {
        POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        if (m.LParam == -1) p = ClientToScreen(Point(0, 0));
        PopupMenu->SetPopupComponent(this);
        PopupMenu->Popup(p.x, p.y);
        m.Result = 1;
        return;
      }
      DefaultHandler(m);
      return;
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR: {
      // A child's notification goes back to the child.
      HWND from = nullptr;
      if (m.Msg == WM_DRAWITEM && m.LParam) {
        auto *dis = reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam);
        if (dis->CtlType != ODT_MENU) from = dis->hwndItem;
      } else if (m.Msg == WM_MEASUREITEM && m.LParam) {
        auto *mis = reinterpret_cast<MEASUREITEMSTRUCT *>(m.LParam);
        if (mis->CtlType != ODT_MENU)
          for (TControl *c : controls_)
            if (auto *w = dynamic_cast<TWinControl *>(c); w && w->HandleAllocated() &&
                                                          UINT(GetWindowLongA(w->Handle(), GWL_ID)) == mis->CtlID)
              from = w->Handle();
      } else if (m.Msg == WM_NOTIFY && m.LParam) {
        from = reinterpret_cast<NMHDR *>(m.LParam)->hwndFrom;
      } else if (m.Msg != WM_DRAWITEM && m.Msg != WM_MEASUREITEM && m.Msg != WM_NOTIFY) {
        from = reinterpret_cast<HWND>(m.LParam);
      }
      TWinControl *child = from && from != handle_ ? FromHandle(from) : nullptr;
      if (child) {
        m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
        return;
      }
      DefaultHandler(m);
      return;
    }
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font()->Color()));
      SetBkColor(dc, ColorToRGB(brush_.Color()));
      m.Result = reinterpret_cast<LRESULT>(brush_.Handle());
      return;
    }
    case CM_VISIBLECHANGED:
      ApplyVisibility();
      if (Visible() && !handle_ && parent_ && parent_->HandleAllocated()) Handle();
      return;
    case CM_ENABLEDCHANGED:
      if (handle_) EnableWindow(handle_, Enabled());
      return;
    default: break;
  }
  if (IsMouseMessage(m.Msg)) {
    TWMMouse mm{m.Msg, UINT(m.WParam), Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)), 0, &m};
    bool handled = false;
    RouteMouseToGraphic(mm, handled);
    if (!handled) WMMouse(mm);
    m.Result = mm.Result;
    return;
  }
  TControl::Dispatch(m);
}

void TWinControl::DefaultHandler(TMessage &m) {
  if (!handle_) return;
  m.Result = CallWindowProcA(defWndProc_ ? defWndProc_ : DefWindowProcA, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::RouteMouseToGraphic(TWMMouse &msg, bool &handled) {
  TControl *target = captureControl_;
  if (!target && msg.Msg != WM_MOUSELEAVE) target = ControlAtPos(msg.Pos);
  // Enter and leave of the graphic children.
  if (msg.Msg == WM_MOUSELEAVE) target = nullptr;
  if (target != mouseControl_ && !captureControl_) {
    if (mouseControl_) mouseControl_->Perform(CM_MOUSELEAVE);
    mouseControl_ = target;
    if (mouseControl_) mouseControl_->Perform(CM_MOUSEENTER);
  }
  if (msg.Msg == WM_MOUSEMOVE) Application()->SetHintControl(target ? target : this);
  if (!target || msg.Msg == WM_MOUSELEAVE) return;
  handled = true;
  bool down = msg.Msg == WM_LBUTTONDOWN || msg.Msg == WM_RBUTTONDOWN || msg.Msg == WM_MBUTTONDOWN ||
              msg.Msg == WM_LBUTTONDBLCLK || msg.Msg == WM_RBUTTONDBLCLK || msg.Msg == WM_MBUTTONDBLCLK;
  bool up = msg.Msg == WM_LBUTTONUP || msg.Msg == WM_RBUTTONUP || msg.Msg == WM_MBUTTONUP;
  if (down && !captureControl_) {
    captureControl_ = target;
    SetCapture(handle_);
  }
  int x = msg.Pos.x - target->Left(), y = msg.Pos.y - target->Top();
  msg.Result = target->Perform(msg.Msg, msg.Keys, MAKELPARAM(WORD(SHORT(x)), WORD(SHORT(y))));
  if (up && !(msg.Keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && captureControl_ == target) {
    captureControl_ = nullptr;
    if (GetCapture() == handle_) ReleaseCapture();
  }
}

void TWinControl::WMPaint(TWMPaint &msg) {
  if (defWndProc_ && defWndProc_ != DefWindowProcA) {
    DefaultHandler(*msg.Raw);  // a standard control paints into the given context
  }
  PaintControls(msg.DC);
}

void TWinControl::WMEraseBkgnd(TWMEraseBkgnd &msg) {
  if (defWndProc_ && defWndProc_ != DefWindowProcA) {
    DefaultHandler(*msg.Raw);
    msg.Result = msg.Raw->Result;
    return;
  }
  if (msg.DC) {
    RECT r = ClientRect();
    FillRect(msg.DC, &r, brush_.Handle());
  }
  msg.Result = 1;
}

void TWinControl::PaintControls(HDC dc, TControl *first) {
  if (!dc) return;
  bool started = first == nullptr;
  for (TControl *c : controls_) {
    if (!started) {
      started = c == first;
      if (!started) continue;
    }
    if (dynamic_cast<TWinControl *>(c) || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    RECT bounds = c->BoundsRect();
    if (!RectVisible(dc, &bounds)) continue;
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, c->Left(), c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
  }
}

void TWinControl::WMMouse(TWMMouse &msg) {
  bool leftDown = msg.Msg == WM_LBUTTONDOWN || msg.Msg == WM_LBUTTONDBLCLK;
  if (leftDown && clickOnRelease_ && handle_) SetCapture(handle_);
  TControl::WMMouse(msg);
  if (msg.Msg == WM_LBUTTONUP && clickOnRelease_ && handle_ && GetCapture() == handle_) ReleaseCapture();
  if (msg.Msg == WM_RBUTTONUP && handle_ && IsWindow(handle_)) {
    // The platform's default handling does not raise the context menu.
    TPoint p = ClientToScreen(msg.Pos);
    SendMessageA(handle_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle_), MAKELPARAM(WORD(p.x), WORD(p.y)));
  }
}

void TWinControl::WMSize(TWMSize &msg) {
  UpdateBounds();
  Realign();
  TControl::WMSize(msg);
}

LRESULT TWinControl::DialogCode() { return Perform(WM_GETDLGCODE); }

void TWinControl::WMKey(TWMKey &msg) {
  WORD key = msg.CharCode;
  TShiftState shift = KeyboardShiftState();
  TCustomForm *form = ParentForm();
  bool down = msg.Msg == WM_KEYDOWN || msg.Msg == WM_SYSKEYDOWN;
  TWinControl *preview = form && form != this && form->KeyPreview ? form : nullptr;
  if (down) {
    // Keys the control does not want go to the form as dialog keys first;
    // one the form uses reaches no key handler.
    bool arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
    if (form && (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || arrow)) {
      // Tab only when wanted by name; Enter with all keys; Esc always
      // reaches the form (an edit has no use for it).
      LRESULT code = DialogCode();
      bool wanted = (key == VK_TAB && (code & DLGC_WANTTAB)) ||
                    (key == VK_RETURN && (code & DLGC_WANTALLKEYS)) ||
                    (arrow && (code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)));
      if (!wanted && form->DialogKey(key, shift)) {
        // The character the key also typed goes with it.
        MSG pending;
        if (handle_) PeekMessageA(&pending, handle_, WM_CHAR, WM_CHAR, PM_REMOVE);
        key = 0;
      }
    }
    if (key && preview) preview->KeyDown(key, shift);
    if (key) KeyDown(key, shift);
  } else {
    if (preview) preview->KeyUp(key, shift);
    if (key) KeyUp(key, shift);
  }
  if (!key) {
    msg.CharCode = 0;
    msg.Result = 0;
    return;
  }
  msg.Raw->WParam = key;
  DefaultHandler(*msg.Raw);
  msg.Result = msg.Raw->Result;
}

void TWinControl::WMChar(TWMChar &msg) {
  char key = char(msg.CharCode);
  TCustomForm *form = ParentForm();
  TWinControl *preview = form && form != this && form->KeyPreview ? form : nullptr;
  if (msg.Msg == WM_CHAR) {
    if (preview) preview->KeyPress(key);
    if (key) KeyPress(key);
  }
  if (!key) {
    msg.CharCode = 0;
    msg.Result = 0;
    return;
  }
  msg.Raw->WParam = WPARAM(BYTE(key));
  DefaultHandler(*msg.Raw);
  msg.Result = msg.Raw->Result;
}

void TWinControl::KeyDown(WORD &key, TShiftState shift) {
  if (OnKeyDown && !Destroying()) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD &key, TShiftState shift) {
  if (OnKeyUp && !Destroying()) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char &key) {
  if (OnKeyPress && !Destroying()) OnKeyPress(this, key);
}

void TWinControl::DoEnter() {
  if (OnEnter && !Destroying()) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit && !Destroying()) OnExit(this);
}

void TWinControl::WMFocus(TWMFocus &msg) {
  if (msg.Msg == WM_SETFOCUS) {
    if (TCustomForm *form = ParentForm(); form && form != this) form->activeControl_ = this;
    DoEnter();
  } else {
    DoExit();
  }
  DefaultHandler(*msg.Raw);
}

void TWinControl::WMCommand(TWMCommand &msg) {
  if (msg.Ctl && msg.Ctl != handle_) {
    if (TWinControl *child = FromHandle(msg.Ctl)) {
      msg.Result = child->Perform(CN_COMMAND, msg.Raw->WParam, msg.Raw->LParam);
      return;
    }
  }
  DefaultHandler(*msg.Raw);
}

// ---- TCustomControl and TGraphicControl ----------------------------------------------------------
void TControlCanvas::CreateHandle() {
  if (own_ || !control_) return;
  if (auto *win = dynamic_cast<TWinControl *>(control_)) {
    if (!win->HandleAllocated()) return;
    window_ = win->Handle();
    own_ = GetDC(window_);
    SetHandle(own_);
    return;
  }
  // A control without a window draws on its part of the parent.
  TWinControl *parent = control_->Parent();
  if (!parent || !parent->HandleAllocated()) return;
  window_ = parent->Handle();
  own_ = GetDC(window_);
  if (!own_) return;
  SetViewportOrgEx(own_, control_->Left(), control_->Top(), nullptr);
  IntersectClipRect(own_, 0, 0, control_->Width(), control_->Height());
  SetHandle(own_);
}

void TControlCanvas::FreeHandle() {
  if (!own_) return;
  SetHandle(nullptr);
  if (IsWindow(window_)) ReleaseDC(window_, own_);
  own_ = nullptr;
  window_ = nullptr;
}

void TControlCanvas::PaintOn(HDC dc, const std::function<void()> &paint) {
  FreeHandle();
  int saved = SaveDC(dc);
  SetHandle(dc);
  Font()->Assign(control_->Font());
  Brush()->SetColor(control_->Color());
  paint();
  SetHandle(nullptr);
  RestoreDC(dc, saved);
}

TCustomControl::TCustomControl(TComponent *owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}
TCustomControl::~TCustomControl() {
  BeginDestroy();
  canvas_->FreeHandle();
}

void TCustomControl::WMPaint(TWMPaint &msg) {
  canvas_->PaintOn(msg.DC, [this] { Paint(); });
  PaintControls(msg.DC);
}

TGraphicControl::TGraphicControl(TComponent *owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}
TGraphicControl::~TGraphicControl() {
  BeginDestroy();
  canvas_->FreeHandle();
}

void TGraphicControl::WMPaint(TWMPaint &msg) {
  if (msg.DC) canvas_->PaintOn(msg.DC, [this] { Paint(); });
}
