// Forms: creation as top-level or child windows, showing, closing, the
// modal loop, dialog keys; the application object.
#include "classlib/forms.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "platform/gdi.h"
#include "classlib/menus.h"
#include "classlib/stdctrls.h"

namespace {

// Every form alive, in creation order (GUI thread only).
std::vector<TCustomForm *> &Forms() {
  static std::vector<TCustomForm *> forms;
  return forms;
}

// Serial numbers of forms: never given twice in a run, so that one names
// a form, not an address a later form may take.
uint64_t NextFormSerial() {
  static uint64_t last = 0;
  return ++last;
}

}  // namespace

TCustomForm::TCustomForm(TComponent *owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)), serial_(NextFormSerial()) {
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
  Forms().push_back(this);
}

TCustomForm::~TCustomForm() {
  BeginDestroy();
  canvas_->FreeHandle();
  auto &forms = Forms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (Application()->MainForm() == this) Application()->SetMainForm(nullptr);
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams &p) {
  TWinControl::CreateParams(p);
  bool child = Parent() != nullptr || ParentWindow != nullptr || formStyle_ == fsMDIChild;
  if (formStyle_ == fsMDIChild && !p.WndParent) {
    if (TCustomForm *main = Application()->MainForm(); main && main != this) p.WndParent = main->Handle();
  }
  p.Style &= ~DWORD(WS_CHILD | WS_TABSTOP);
  p.Style |= WS_CLIPCHILDREN;
  if (child) {
    p.Style |= WS_CHILD;
  } else {
    p.WndParent = nullptr;
    switch (borderStyle_) {
      case bsNone: p.Style |= WS_POPUP; break;
      case bsSingle:
      case bsToolWindow: p.Style |= WS_CAPTION | WS_BORDER; break;
      case bsSizeable:
      case bsSizeToolWin: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
      case bsDialog:
        p.Style |= WS_POPUP | WS_CAPTION;
        p.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) p.ExStyle |= WS_EX_TOOLWINDOW;
    if (borderStyle_ != bsNone) {
      if (borderIcons_ & biSystemMenu) p.Style |= WS_SYSMENU;
      if ((borderIcons_ & biMinimize) && borderStyle_ != bsDialog) p.Style |= WS_MINIMIZEBOX;
      if ((borderIcons_ & biMaximize) && borderStyle_ != bsDialog) p.Style |= WS_MAXIMIZEBOX;
    }
    if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
  }
  p.Style &= ~DWORD(WS_VISIBLE);  // shown by Show, after placing
}

void TCustomForm::CreateHandle() {
  TWinControl::CreateHandle();
  if (windowState_ == wsMaximized && (GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD)) {
    // A maximised child form fills its parent.
    RECT r;
    GetClientRect(GetParent(Handle()), &r);
    SetBounds(0, 0, r.right, r.bottom);
  }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == borderIcons_) return;
  borderIcons_ = icons;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  if (style == fsMDIChild) SetVisible(true);
  RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState state) {
  windowState_ = state;
  if (!HandleAllocated()) return;
  if (state == wsMaximized && (GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD)) {
    RECT r;
    GetClientRect(GetParent(Handle()), &r);
    SetBounds(0, 0, r.right, r.bottom);
  } else if (Visible()) {
    ShowWindow(Handle(), state == wsMaximized ? SW_SHOWMAXIMIZED : state == wsMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
  }
}

void TCustomForm::PlaceByPosition() {
  if (placed_) return;
  placed_ = true;
  if (Parent() || (HandleAllocated() && (GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD))) return;
  RECT area{0, 0, 1024, 768};
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect g = screen->geometry();
    area = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  }
  const RECT screen = area;
  TCustomForm *relative = nullptr;
  if (Position == poMainFormCenter) relative = Application()->MainForm();
  if (Position == poOwnerFormCenter) relative = dynamic_cast<TCustomForm *>(Owner());
  if (relative == this) relative = nullptr;
  if (relative && relative->HandleAllocated()) GetWindowRect(relative->Handle(), &area);
  switch (Position) {
    case poScreenCenter:
    case poDesktopCenter:
    case poMainFormCenter:
    case poOwnerFormCenter: {
      int x = area.left + ((area.right - area.left) - Width()) / 2;
      int y = area.top + ((area.bottom - area.top) - Height()) / 2;
      // Centred on a form near the screen's edge, the form stays on the
      // screen; one larger than the screen keeps its top-left corner on it.
      x = std::max(std::min(x, int(screen.right) - Width()), int(screen.left));
      y = std::max(std::min(y, int(screen.bottom) - Height()), int(screen.top));
      SetBounds(x, y, Width(), Height());
      break;
    }
    default: break;
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::BringToFront() {
  if (!HandleAllocated()) return;
  if (GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD) {
    TControl::BringToFront();
    return;
  }
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetActiveWindow(Handle());
}

void TCustomForm::WndProc(TMessage &m) {
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      if (Visible()) {
        HandleNeeded();
        PlaceByPosition();
        bool child = (GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD) != 0;
        ShowWindow(Handle(), child ? SW_SHOWNA
                             : windowState_ == wsMaximized ? SW_SHOWMAXIMIZED
                             : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                           : SW_SHOWNORMAL);
        DoShow();
        if (!child) {
          TWinControl *focus = activeControl_;
          if (focus && focus->CanFocus())
            focus->SetFocus();
          else
            SelectNext(nullptr, true);
          if (!GetFocus() || !IsChild(Handle(), GetFocus())) ::SetFocus(Handle());
        }
      } else {
        if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
        DoHide();
      }
      return;
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) != WA_INACTIVE) {
        if (OnActivate && !Destroying()) OnActivate(this);
        if (activeControl_ && activeControl_->CanFocus() && activeControl_->HandleAllocated()) {
          ::SetFocus(activeControl_->Handle());
          m.Result = 0;
          return;
        }
      } else if (OnDeactivate && !Destroying()) {
        OnDeactivate(this);
      }
      break;
    case WM_SIZE:
      // A shown top-level form follows the state the window was put in.
      if (HandleAllocated() && !(GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD) && IsWindowVisible(Handle()))
        windowState_ = m.WParam == SIZE_MAXIMIZED ? wsMaximized : m.WParam == SIZE_MINIMIZED ? wsMinimized : wsNormal;
      break;
    case WM_COMMAND:
      // Menu commands: no control, a zero notification code.
      if (m.LParam == 0 && HIWORD(m.WParam) == 0 && Menu && Menu->DispatchCommand(LOWORD(m.WParam))) {
        m.Result = 0;
        return;
      }
      break;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TCustomForm::WMPaint(TWMPaint &msg) {
  canvas_->PaintOn(msg.DC, [this] { Paint(); });
  PaintControls(msg.DC);
}

void TCustomForm::Paint() {
  if (OnPaint && !Destroying()) OnPaint(this);
}

void TCustomForm::WMKey(TWMKey &msg) {
  // Shortcuts of the main menu come before the control's own handling.
  if ((msg.Msg == WM_KEYDOWN || msg.Msg == WM_SYSKEYDOWN) && Menu) {
    TShiftState s = KeyboardShiftState();
    unsigned bits = (s.Contains(ssShift) ? scShift : 0) | (s.Contains(ssCtrl) ? scCtrl : 0) | (s.Contains(ssAlt) ? scAlt : 0);
    if (Menu->IsShortCut(msg.CharCode, bits)) {
      msg.Result = 0;
      return;
    }
  }
  TWinControl::WMKey(msg);
}

void TCustomForm::DoShow() {
  if (OnShow && !Destroying()) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide && !Destroying()) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction &action) {
  if (OnClose && !Destroying()) OnClose(this, action);
}

void TCustomForm::SetModalResult(TModalResult result) { modalResult_ = result; }

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery && !Destroying()) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = formStyle_ == fsMDIChild ? caMinimize : caHide;
  DoClose(action);
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    case caNone: return;
  }
  if (Application()->MainForm() == this && action != caNone) Application()->Terminate();
}

namespace {

// Frees released forms from a window of its own, so that a form is never
// freed inside one of its own handlers. The message names the form by its
// serial number: a form freed meanwhile by other means is no longer found,
// even when a new form now lives at its address.
LRESULT ReleaseProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == CM_RELEASE) {
    const uint64_t serial = uint64_t(wParam);
    auto &forms = Forms();
    auto it = std::find_if(forms.begin(), forms.end(), [serial](TCustomForm *f) { return f->Serial() == serial; });
    if (it != forms.end()) delete *it;
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND ReleaseWindow() {
  static HWND hwnd = nullptr;
  if (hwnd && IsWindow(hwnd)) return hwnd;
  WNDCLASSA wc{};
  wc.lpfnWndProc = &ReleaseProc;
  wc.lpszClassName = "KivoFormRelease";
  if (!GetClassInfoA(nullptr, wc.lpszClassName, &wc)) RegisterClassA(&wc);
  hwnd = CreateWindowExA(0, "KivoFormRelease", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  return hwnd;
}

}  // namespace

void TCustomForm::Release() {
  if (HandleAllocated()) Hide();
  PostMessageA(ReleaseWindow(), CM_RELEASE, WPARAM(serial_), 0);
}

int TCustomForm::ShowModal() {
  if (Visible() || modal_ || !Enabled()) return mrNone;
  if (GetCapture()) ReleaseCapture();
  HWND previous = GetActiveWindow();
  // Every other top-level form is disabled while this one runs.
  std::vector<TCustomForm *> disabled;
  for (TCustomForm *form : Forms()) {
    if (form == this || !form->HandleAllocated() || !form->Visible()) continue;
    if (GetWindowLongA(form->Handle(), GWL_STYLE) & WS_CHILD) continue;
    if (!IsWindowEnabled(form->Handle())) continue;
    EnableWindow(form->Handle(), FALSE);
    disabled.push_back(form);
  }
  modal_ = true;
  modalResult_ = mrNone;
  Show();
  while (true) {
    Application()->HandleMessage();
    if (Application()->Terminated()) modalResult_ = mrCancel;
    if (modalResult_ != mrNone) {
      // The close query may keep the form open.
      if (CloseQuery()) {
        TCloseAction action = caHide;
        DoClose(action);
        if (action != caNone || Application()->Terminated()) break;
      }
      if (Application()->Terminated()) break;
      modalResult_ = mrNone;
    }
  }
  TModalResult result = modalResult_;
  modal_ = false;
  for (TCustomForm *form : Forms())
    if (std::find(disabled.begin(), disabled.end(), form) != disabled.end() && form->HandleAllocated())
      EnableWindow(form->Handle(), TRUE);
  Hide();
  if (previous && IsWindow(previous)) SetActiveWindow(previous);
  return result;
}

void TCustomForm::SetActiveControl(TWinControl *control) {
  if (control && control->ParentForm() != this) return;
  activeControl_ = control;
  if (control && Visible() && control->CanFocus() && control->HandleAllocated() && GetFocus() != control->Handle())
    ::SetFocus(control->Handle());
}

namespace {

void CollectTabStops(TWinControl *parent, std::vector<TWinControl *> &out) {
  std::vector<TWinControl *> children;
  for (int i = 0; i < parent->ControlCount(); ++i)
    if (auto *w = dynamic_cast<TWinControl *>(parent->Controls(i))) children.push_back(w);
  std::stable_sort(children.begin(), children.end(), [](TWinControl *a, TWinControl *b) {
    int ta = a->TabOrder() < 0 ? 1 << 30 : a->TabOrder();
    int tb = b->TabOrder() < 0 ? 1 << 30 : b->TabOrder();
    return ta < tb;
  });
  for (TWinControl *w : children) {
    if (!w->Visible() || !w->Enabled()) continue;
    if (w->TabStop) out.push_back(w);
    CollectTabStops(w, out);
  }
}

}  // namespace

void TCustomForm::SelectNext(TWinControl *current, bool forward) {
  std::vector<TWinControl *> stops;
  CollectTabStops(this, stops);
  if (stops.empty()) return;
  auto it = std::find(stops.begin(), stops.end(), current);
  size_t index;
  if (it == stops.end())
    index = forward ? 0 : stops.size() - 1;
  else if (forward)
    index = size_t(it - stops.begin() + 1) % stops.size();
  else
    index = (size_t(it - stops.begin()) + stops.size() - 1) % stops.size();
  TWinControl *next = stops[index];
  activeControl_ = next;
  if (next->CanFocus() && next->Handle()) ::SetFocus(next->Handle());
}

namespace {

TButton *FindButton(TWinControl *parent, bool wantDefault) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl *c = parent->Controls(i);
    if (auto *b = dynamic_cast<TButton *>(c)) {
      if ((wantDefault ? b->Default() : b->Cancel) && b->Visible() && b->Enabled()) return b;
    }
    if (auto *w = dynamic_cast<TWinControl *>(c)) {
      if (!w->Visible()) continue;
      if (TButton *found = FindButton(w, wantDefault)) return found;
    }
  }
  return nullptr;
}

}  // namespace

TButton *TCustomForm::DefaultButton() const { return FindButton(const_cast<TCustomForm *>(this), true); }
TButton *TCustomForm::CancelButton() const { return FindButton(const_cast<TCustomForm *>(this), false); }

bool TCustomForm::DialogKey(WORD key, TShiftState shift) {
  switch (key) {
    case VK_RETURN: {
      // A focused button takes Enter itself; otherwise the default button.
      TButton *button = dynamic_cast<TButton *>(activeControl_);
      if (!button || !button->Focused()) button = DefaultButton();
      if (!button) return false;
      button->Click();
      return true;
    }
    case VK_ESCAPE: {
      TButton *button = CancelButton();
      if (!button) return false;
      button->Click();
      return true;
    }
    case VK_TAB:
      if (shift.Contains(ssCtrl) || shift.Contains(ssAlt)) return false;
      SelectNext(activeControl_, !shift.Contains(ssShift));
      return true;
    default: return false;
  }
}

// ---- TApplication -----------------------------------------------------------------------
TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() = default;

void TApplication::SetOnMessage(TMessageEvent handler) {
  onMessage_ = std::move(handler);
  if (onMessage_) {
    platform::SetAppMessageHook([this](MSG &msg, bool &handled) {
      if (onMessage_) onMessage_(msg, handled);
    });
  } else {
    platform::SetAppMessageHook(nullptr);
  }
}

void TApplication::SetHintControl(TControl *control) {
  if (control == hintControl_) return;
  hintControl_ = control;
  std::string hint = control ? control->Hint : std::string();
  if (size_t bar = hint.find('|'); bar != std::string::npos) hint = hint.substr(bar + 1);
  if (hint == Hint) return;
  Hint = hint;
  if (OnHint) OnHint(this);
}

void TApplication::ProcessMessages() { platform::ProcessPendingMessages(); }

void TApplication::HandleMessage() {
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      PostQuitMessage(int(msg.wParam));  // the outer loop ends too
      return;
    }
    platform::RunTakenMessage(msg);
    return;
  }
  WaitMessage();
}

void TApplication::Run() {
  terminated_ = false;
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

TCustomForm *TApplication::ActiveForm() const {
  HWND active = GetActiveWindow();
  for (TCustomForm *form : Forms())
    if (form->HandleAllocated() && form->Handle() == active) return form;
  return nullptr;
}

TApplication *Application() {
  static TApplication *app = new TApplication();  // lives as long as the process
  return app;
}
