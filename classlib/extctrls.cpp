// Panels, paint boxes, radio groups and timers.
#include "classlib/extctrls.h"

#include <algorithm>
#include <unordered_map>

#include "platform/gdi.h"

namespace {

void Bevel(TCanvas *canvas, TRect &r, TBevelCut cut, int width) {
  if (cut == bvNone) return;
  TColor topLeft = cut == bvLowered ? clBtnShadow : clBtnHighlight;
  TColor bottomRight = cut == bvLowered ? clBtnHighlight : clBtnShadow;
  if (cut == bvSpace) topLeft = bottomRight = clBtnFace;
  for (int i = 0; i < width && r.Width() > 1 && r.Height() > 1; ++i) {
    canvas->Pen()->SetColor(topLeft);
    canvas->MoveTo(r.Left, r.Bottom - 1);
    canvas->LineTo(r.Left, r.Top);
    canvas->LineTo(r.Right - 1, r.Top);
    canvas->Pen()->SetColor(bottomRight);
    canvas->LineTo(r.Right - 1, r.Bottom - 1);
    canvas->LineTo(r.Left - 1, r.Bottom - 1);
    r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  }
}

}  // namespace

// ---- TCustomPanel -------------------------------------------------------------------------
TCustomPanel::TCustomPanel(TComponent *owner) : TCustomControl(owner) { SetBounds(0, 0, 185, 41); }
TCustomPanel::~TCustomPanel() { BeginDestroy(); }

void TCustomPanel::SetBevelInner(TBevelCut cut) {
  bevelInner_ = cut;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut cut) {
  bevelOuter_ = cut;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int width) {
  bevelWidth_ = std::max(width, 1);
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int width) {
  borderWidth_ = std::max(width, 0);
  Realign();
  Invalidate();
}

int TCustomPanel::BevelSize() const {
  return borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

TRect TCustomPanel::ClientRect() const {
  TRect r = TWinControl::ClientRect();
  int inset = BevelSize();
  return TRect(r.Left + inset, r.Top + inset, std::max(r.Left + inset, r.Right - inset),
               std::max(r.Top + inset, r.Bottom - inset));
}

void TCustomPanel::Paint() {
  TCanvas *canvas = Canvas();
  TRect r = TWinControl::ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  Bevel(canvas, r, bevelOuter_, bevelWidth_);
  r = TRect(r.Left + borderWidth_, r.Top + borderWidth_, r.Right - borderWidth_, r.Bottom - borderWidth_);
  Bevel(canvas, r, bevelInner_, bevelWidth_);
  std::string text = Caption();
  if (!ShowCaption || text.empty()) return;
  canvas->Brush()->SetStyle(bsClear);
  UINT flags = DT_SINGLELINE | DT_VCENTER | (Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT);
  if (!Enabled()) canvas->Font()->SetColor(clGrayText);
  canvas->DrawText(text, r, flags);
}

// ---- TPaintBox --------------------------------------------------------------------------
TPaintBox::TPaintBox(TComponent *owner) : TGraphicControl(owner) { SetBounds(0, 0, 105, 105); }

void TPaintBox::Paint() {
  if (OnPaint && !Destroying()) OnPaint(this);
}

// ---- TSplitter ----------------------------------------------------------------------------
TSplitter::TSplitter(TComponent *owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 3, 100);
  SetAlign(alLeft);
  SetParentColor(true);
  clickOnRelease_ = false;
}

TControl *TSplitter::ResizedControl() const {
  TWinControl *parent = Parent();
  if (!parent) return nullptr;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl *c = parent->Controls(i);
    if (c == this || !c->Visible() || c->Align() != Align()) continue;
    bool touches = false;
    switch (Align()) {
      case alTop: touches = c->Top() + c->Height() == Top(); break;
      case alBottom: touches = c->Top() == Top() + Height(); break;
      case alLeft: touches = c->Left() + c->Width() == Left(); break;
      case alRight: touches = c->Left() == Left() + Width(); break;
      default: break;
    }
    if (touches) return c;
  }
  return nullptr;
}

void TSplitter::Paint() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  dragged_ = ResizedControl();
  start_ = Point(Left() + x, Top() + y);
  bool vertical = Align() == alLeft || Align() == alRight;
  if (dragged_) startSize_ = vertical ? dragged_->Width() : dragged_->Height();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragged_ || !Parent()) return;
  TPoint p = Point(Left() + x, Top() + y);
  bool vertical = Align() == alLeft || Align() == alRight;
  int delta = vertical ? p.x - start_.x : p.y - start_.y;
  // Dragging towards the resized control makes it smaller.
  if (Align() == alRight || Align() == alBottom) delta = -delta;
  // The room the parent has for the control: its client size less the
  // aligned controls of the same side and this bar, leaving MinSize beside.
  TRect client = Parent()->ClientRect();
  int total = vertical ? client.Width() : client.Height();
  int others = 0;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl *c = Parent()->Controls(i);
    if (c == dragged_ || !c->Visible()) continue;
    bool sameAxis = vertical ? (c->Align() == alLeft || c->Align() == alRight)
                             : (c->Align() == alTop || c->Align() == alBottom);
    if (sameAxis) others += vertical ? c->Width() : c->Height();
  }
  int most = std::max(MinSize, total - others - MinSize);
  int size = std::clamp(startSize_ + delta, MinSize, most);
  if (vertical)
    dragged_->SetWidth(size);
  else
    dragged_->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !dragged_) return;
  dragged_ = nullptr;
  if (OnMoved && !Destroying()) OnMoved(this);
}

// ---- TCustomRadioGroup ------------------------------------------------------------------
TCustomRadioGroup::TCustomRadioGroup(TComponent *owner)
    : TCustomGroupBox(owner), items_(std::make_unique<TStringList>()) {
  items_->OnChange = [this](TObject *) { UpdateButtons(); };
  TabStop = true;
}

TCustomRadioGroup::~TCustomRadioGroup() {
  BeginDestroy();
  items_->OnChange = nullptr;
}

TRadioButton *TCustomRadioGroup::Buttons(int index) const {
  return index >= 0 && size_t(index) < buttons_.size() ? buttons_[size_t(index)] : nullptr;
}

void TCustomRadioGroup::UpdateButtons() {
  if (Destroying()) return;
  updating_ = true;
  while (buttons_.size() > size_t(items_->Count())) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (buttons_.size() < size_t(items_->Count())) {
    auto *button = new TRadioButton(this);
    int index = int(buttons_.size());
    button->OnClick = [this, index](TObject *) {
      if (updating_ || Destroying()) return;
      if (Buttons(index) && Buttons(index)->Checked() && itemIndex_ != index) {
        itemIndex_ = index;
        Click();
      }
    };
    button->SetParent(this);
    buttons_.push_back(button);
  }
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->SetCaption(items_->Get(int(i)));
    buttons_[i]->SetChecked(int(i) == itemIndex_);
  }
  if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
  updating_ = false;
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  TRect r = ClientRect();
  int columns = std::max(1, columns_);
  int rows = (int(buttons_.size()) + columns - 1) / columns;
  int width = (r.Width() - 8) / columns;
  int height = std::max(1, r.Height() / std::max(rows, 1));
  for (size_t i = 0; i < buttons_.size(); ++i) {
    int col = int(i) / rows, row = int(i) % rows;
    int buttonHeight = std::min(height, 17);
    buttons_[i]->SetBounds(r.Left + 8 + col * width, r.Top + row * height + (height - buttonHeight) / 2, width, buttonHeight);
  }
}

void TCustomRadioGroup::SetItemIndex(int index) {
  if (index < -1 || index >= items_->Count()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  updating_ = true;
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->SetChecked(int(i) == index);
  updating_ = false;
}

void TCustomRadioGroup::SetColumns(int columns) {
  columns_ = std::clamp(columns, 1, 16);
  ArrangeButtons();
}

void TCustomRadioGroup::BoundsChanged() { ArrangeButtons(); }

void TCustomRadioGroup::WMSize(TWMSize &msg) {
  TCustomGroupBox::WMSize(msg);
  ArrangeButtons();
}

// ---- TTimer -----------------------------------------------------------------------------
namespace {
std::unordered_map<UINT_PTR, TTimer *> &Timers() {
  static std::unordered_map<UINT_PTR, TTimer *> timers;
  return timers;
}
}  // namespace

TTimer::TTimer(TComponent *owner) : TComponent(owner) { UpdateTimer(); }

TTimer::~TTimer() {
  BeginDestroy();
  enabled_ = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (id_) {
    KillTimer(nullptr, id_);
    Timers().erase(id_);
    id_ = 0;
  }
  // Nothing runs without an interval.
  if (!enabled_ || interval_ == 0 || Destroying()) return;
  id_ = SetTimer(nullptr, 0, interval_, &TTimer::Fire);
  if (id_) Timers()[id_] = this;
}

void TTimer::Fire(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it == Timers().end()) return;
  TTimer *timer = it->second;
  if (timer->OnTimer && !timer->Destroying()) timer->OnTimer(timer);
}
