// Labels, buttons, check boxes, radio buttons, group boxes, edits, memos.
#include "classlib/stdctrls.h"

#include <algorithm>

#include "platform/gdi.h"
#include "classlib/forms.h"

// ---- TLabel --------------------------------------------------------------------------------
TLabel::TLabel(TComponent *owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

UINT TLabel::DrawFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (!ShowAccelChar) flags |= DT_NOPREFIX;
  flags |= Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  if (WordWrap) flags |= DT_WORDBREAK;
  return flags;
}

void TLabel::Paint() {
  TCanvas *canvas = Canvas();
  TRect r = ClientRect();
  if (!Transparent) {
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(r);
  }
  canvas->Brush()->SetStyle(bsClear);
  std::string text = Caption();
  if (text.empty()) return;
  UINT flags = DrawFlags();
  if (Layout != tlTop) {
    TRect measure = r;
    canvas->DrawText(text, measure, flags | DT_CALCRECT);
    int h = measure.Height();
    r.Top = Layout == tlCenter ? (r.Height() - h) / 2 : r.Bottom - h;
  }
  if (!Enabled()) {
    canvas->Font()->SetColor(clGrayText);
  }
  canvas->DrawText(text, r, flags);
}

void TLabel::AdjustSize() {
  if (!AutoSize || !Parent() || !Parent()->HandleAllocated()) return;
  HDC dc = GetDC(nullptr);
  if (!dc) return;
  TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.Font()->Assign(Font());
  TRect r = Rect(0, 0, WordWrap ? Width() : 0, 0);
  std::string text = Caption().empty() ? std::string(" ") : Caption();
  canvas.DrawText(text, r, DrawFlags() | DT_CALCRECT);
  canvas.SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  SetBounds(Left(), Top(), WordWrap ? Width() : r.Width(), r.Height());
}

void TLabel::TextChanged() {
  AdjustSize();
  Invalidate();
}

void TLabel::FontChanged() {
  AdjustSize();
  Invalidate();
}

// ---- buttons -------------------------------------------------------------------------------
TButtonControl::TButtonControl(TComponent *owner) : TWinControl(owner) {
  clickOnRelease_ = false;  // the button window reports clicks itself
  TabStop = true;
}

TButton::TButton(TComponent *owner) : TButtonControl(owner) { SetBounds(0, 0, 75, 25); }

void TButton::CreateParams(TCreateParams &p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  if (HandleAllocated())
    SendMessageA(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (TCustomForm *form = ParentForm(); form && ModalResult != 0) form->SetModalResult(ModalResult);
  TButtonControl::Click();
}

void TButton::WndProc(TMessage &m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == BN_CLICKED) Click();
    m.Result = 0;
    return;
  }
  TButtonControl::WndProc(m);
}

// ---- check boxes -------------------------------------------------------------------------
TCustomCheckBox::TCustomCheckBox(TComponent *owner) : TButtonControl(owner) { SetBounds(0, 0, 97, 17); }

void TCustomCheckBox::CreateParams(TCreateParams &p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= BS_3STATE;
  if (Alignment == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::SetState(TCheckBoxState state) {
  if (state == state_) return;
  state_ = state;
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, WPARAM(state), 0);
  Perform(CM_CHANGED);
  Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(AllowGrayed ? cbGrayed : cbChecked); break;
    case cbGrayed: SetState(cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
  }
}

void TCustomCheckBox::WndProc(TMessage &m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) Toggle();
      m.Result = 0;
      return;
    case WM_CREATE:
      TButtonControl::WndProc(m);
      SendMessageA(Handle(), BM_SETCHECK, WPARAM(state_), 0);
      return;
    default: TButtonControl::WndProc(m);
  }
}

// ---- radio buttons -------------------------------------------------------------------------
TRadioButton::TRadioButton(TComponent *owner) : TButtonControl(owner) {
  SetBounds(0, 0, 113, 17);
  TabStop = false;
}

void TRadioButton::CreateParams(TCreateParams &p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= BS_RADIOBUTTON;
  if (Alignment == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TRadioButton::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  TabStop = checked;
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  Perform(CM_TABSTOPCHANGED);
  Perform(CM_CHANGED);
  if (checked) {
    if (TWinControl *parent = Parent()) {
      for (int i = 0; i < parent->ControlCount(); ++i) {
        auto *other = dynamic_cast<TRadioButton *>(parent->Controls(i));
        if (other && other != this) other->SetChecked(false);
      }
    }
    Click();
  }
}

void TRadioButton::WndProc(TMessage &m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) SetChecked(true);
      m.Result = 0;
      return;
    case WM_CREATE:
      TButtonControl::WndProc(m);
      SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
      return;
    default: TButtonControl::WndProc(m);
  }
}

// ---- group boxes ---------------------------------------------------------------------------
TCustomGroupBox::TCustomGroupBox(TComponent *owner) : TCustomControl(owner) { SetBounds(0, 0, 185, 105); }

TRect TCustomGroupBox::ClientRect() const {
  TRect r = TWinControl::ClientRect();
  // Inside the frame, below the caption line.
  int caption = std::max(8, -const_cast<TCustomGroupBox *>(this)->Font()->Height());
  return Rect(r.Left + 1, r.Top + caption, std::max(r.Left + 1, r.Right - 1), std::max(r.Top + caption, r.Bottom - 1));
}

void TCustomGroupBox::Paint() {
  TCanvas *canvas = Canvas();
  TRect r = TWinControl::ClientRect();
  int textHeight = canvas->TextHeight("0");
  TRect frame(r.Left, r.Top + textHeight / 2, r.Right, r.Bottom);
  // An etched frame: shadow, then highlight one pixel in.
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clBtnHighlight);
  canvas->FrameRect(TRect(frame.Left + 1, frame.Top + 1, frame.Right, frame.Bottom));
  canvas->Brush()->SetColor(clBtnShadow);
  canvas->FrameRect(TRect(frame.Left, frame.Top, frame.Right - 1, frame.Bottom - 1));
  std::string text = Caption();
  if (text.empty()) return;
  TRect t(8, 0, 0, textHeight);
  canvas->DrawText(text, t, DT_SINGLELINE | DT_CALCRECT);
  canvas->Brush()->SetColor(Color());
  canvas->Brush()->SetStyle(bsSolid);
  if (!Enabled()) canvas->Font()->SetColor(clGrayText);
  canvas->DrawText(text, t, DT_SINGLELINE);
}
