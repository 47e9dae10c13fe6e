// Message dispatch of the controls: a window message becomes a call of the
// typed handler, mouse messages reach the graphic child under the pointer,
// and keys go to the control, the form's dialog keys and its key preview.
#include "classlib/controls.h"

#include "platform/gdi.h"
#include "classlib/forms.h"
#include "classlib/menus.h"

namespace {

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

// The form that previews the control's keys: the nearest form around it
// with KeyPreview on. A form shown inside another (a view on a page of the
// main window) previews its own controls' keys.
TWinControl *DispatchKeyPreviewForm(const TControl *control) {
  for (TWinControl *c = control->Parent(); c; c = c->Parent())
    if (auto *form = dynamic_cast<TCustomForm *>(c); form && form->KeyPreview) return form;
  return nullptr;
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
  TWinControl *preview = DispatchKeyPreviewForm(this);
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
  TWinControl *preview = DispatchKeyPreviewForm(this);
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
