#include "classlib/tabs.h"

#include <algorithm>
#include <vector>

#include "platform/gdi.h"

namespace {
constexpr int kStripTop = 2;
constexpr int kFirstLeft = 2;
constexpr int kCaptionPad = 6;
}  // namespace

// ---- TCustomTabControl -------------------------------------------------------------------
TCustomTabControl::TCustomTabControl(TComponent *owner) : TCustomControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 289, 193);
}

TCustomTabControl::~TCustomTabControl() { BeginDestroy(); }

int TCustomTabControl::StripHeight() {
  if (TabHeight > 0) return TabHeight;
  return std::max(std::abs(Font()->Height()) + 6, 18);
}

TRect TCustomTabControl::TabRect(int index) {
  if (index < 0 || index >= TabCaptionCount()) return TRect();
  int left = kFirstLeft;
  TCanvas *canvas = Canvas();
  bool measure = TabWidth <= 0;
  HDC dc = nullptr;
  if (measure && !canvas->HandleAllocated()) {
    dc = GetDC(nullptr);
    canvas->SetHandle(dc);
  }
  canvas->Font()->Assign(Font());
  TRect rect;
  for (int i = 0; i <= index; ++i) {
    int width = measure ? canvas->TextWidth(TabCaption(i)) + 2 * kCaptionPad : TabWidth;
    if (i == index) rect = Rect(left, kStripTop, left + width, kStripTop + StripHeight());
    left += width;
  }
  if (dc) {
    canvas->SetHandle(nullptr);
    ReleaseDC(nullptr, dc);
  }
  return rect;
}

int TCustomTabControl::IndexOfTabAt(int x, int y) {
  for (int i = 0; i < TabCaptionCount(); ++i)
    if (TabRect(i).Contains(Point(x, y))) return i;
  return -1;
}

TRect TCustomTabControl::DisplayRect() {
  int top = TabCaptionCount() > 0 ? kStripTop + StripHeight() : 0;
  return Rect(4, top + 4, std::max(ClientWidth() - 4, 4), std::max(ClientHeight() - 4, top + 4));
}

void TCustomTabControl::SetTabIndex(int index) {
  if (index < -1 || index >= TabCaptionCount()) index = -1;
  if (index == tabIndex_) return;
  tabIndex_ = index;
  Invalidate();
}

void TCustomTabControl::ItemsChanged(int insertedAt, int deletedAt) {
  int count = TabCaptionCount();
  if (deletedAt == -2 || count == 0)
    tabIndex_ = -1;
  else if (deletedAt >= 0 && deletedAt < tabIndex_)
    --tabIndex_;
  else if (insertedAt >= 0 && tabIndex_ >= 0 && insertedAt <= tabIndex_)
    ++tabIndex_;
  if (tabIndex_ < 0 && count > 0) tabIndex_ = 0;
  tabIndex_ = std::min(tabIndex_, count - 1);
  if (!Destroying()) Invalidate();
}

bool TCustomTabControl::CanChange() {
  bool allow = true;
  if (OnChanging && !Destroying()) OnChanging(this, allow);
  return allow;
}

void TCustomTabControl::Change() {
  if (OnChange && !Destroying()) OnChange(this);
}

bool TCustomTabControl::UserSelect(int index) {
  if (index < 0 || index >= TabCaptionCount() || index == tabIndex_) return false;
  if (!CanChange()) return false;
  tabIndex_ = index;
  Invalidate();
  Change();
  return true;
}

void TCustomTabControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    int index = IndexOfTabAt(x, y);
    if (index >= 0) {
      if (CanFocus() && !Focused()) SetFocus();
      UserSelect(index);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomTabControl::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  int count = TabCaptionCount();
  if (!key || count == 0) return;
  if (key == VK_LEFT && tabIndex_ > 0) UserSelect(tabIndex_ - 1);
  if (key == VK_RIGHT && tabIndex_ + 1 < count) UserSelect(tabIndex_ + 1);
  if (key == VK_TAB && shift.Contains(ssCtrl))
    UserSelect(shift.Contains(ssShift) ? (tabIndex_ + count - 1) % count : (tabIndex_ + 1) % count);
}

LRESULT TCustomTabControl::DialogCode() { return DLGC_WANTARROWS; }

void TCustomTabControl::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TCustomTabControl::Paint() {
  TCanvas *canvas = Canvas();
  const int w = ClientWidth(), h = ClientHeight();
  TColor parent = Parent() ? Parent()->Color() : clBtnFace;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(parent);
  canvas->FillRect(Rect(0, 0, w, h));
  auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
    canvas->Pen()->SetColor(color);
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  int count = TabCaptionCount();
  int top = count > 0 ? kStripTop + StripHeight() : 0;
  // The page area: a raised frame.
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(Rect(0, top, w, h));
  line(clBtnHighlight, 0, h - 1, 0, top);
  line(clBtnHighlight, 0, top, w, top);
  line(clBtnShadow, 1, h - 2, w - 2, h - 2);
  line(clBtnShadow, w - 2, top + 1, w - 2, h - 1);
  line(cl3DDkShadow, 0, h - 1, w - 1, h - 1);
  line(cl3DDkShadow, w - 1, top, w - 1, h);
  std::vector<TRect> rects;
  for (int i = 0; i < count; ++i) rects.push_back(TabRect(i));
  canvas->Font()->Assign(Font());
  if (!Enabled()) canvas->Font()->SetColor(clGrayText);
  // The selected tab comes last, over its neighbours.
  std::vector<int> order;
  for (int i = 0; i < count; ++i)
    if (i != tabIndex_) order.push_back(i);
  if (tabIndex_ >= 0 && tabIndex_ < count) order.push_back(tabIndex_);
  for (int i : order) {
    TRect r = rects[size_t(i)];
    bool selected = i == tabIndex_;
    if (selected) r = Rect(r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 1);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom));
    line(clBtnHighlight, r.Left, r.Bottom - 1, r.Left, r.Top + 1);
    line(clBtnHighlight, r.Left + 1, r.Top, r.Right - 1, r.Top);
    line(clBtnShadow, r.Right - 2, r.Top + 1, r.Right - 2, r.Bottom);
    line(cl3DDkShadow, r.Right - 1, r.Top + 1, r.Right - 1, r.Bottom);
    TRect text = r;
    canvas->Brush()->SetStyle(bsClear);
    canvas->DrawText(TabCaption(i), text, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    canvas->Brush()->SetStyle(bsSolid);
    if (selected && HandleAllocated() && Focused())
      canvas->DrawFocusRect(Rect(r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 2));
  }
}

void TCustomTabControl::WndProc(TMessage &m) {
  switch (m.Msg) {
    case TCM_GETITEMCOUNT: m.Result = TabCaptionCount(); return;
    case TCM_GETCURSEL: m.Result = tabIndex_; return;
    case TCM_SETCURSEL: {
      int old = tabIndex_;
      SetTabIndex(int(intptr_t(m.WParam)));
      m.Result = old;
      return;
    }
    case TCM_GETITEMRECT: {
      auto *rect = reinterpret_cast<RECT *>(m.LParam);
      int index = int(intptr_t(m.WParam));
      m.Result = FALSE;
      if (!rect || index < 0 || index >= TabCaptionCount()) return;
      *rect = TabRect(index);
      m.Result = TRUE;
      return;
    }
    default: break;
  }
  TCustomControl::WndProc(m);
}

// ---- TTabControl -----------------------------------------------------------------------------
TTabControl::TTabControl(TComponent *owner)
    : TCustomTabControl(owner), tabs_(std::make_unique<TListStrings>(this)) {}

// ---- TTabSheet and TPageControl ------------------------------------------------------------------
TTabSheet::TTabSheet(TComponent *owner) : TWinControl(owner) { SetVisible(false); }

TTabSheet::~TTabSheet() {
  BeginDestroy();
  SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl *control) {
  if (control == pageControl_) return;
  if (pageControl_) pageControl_->RemovePage(this);
  pageControl_ = control;
  if (control) {
    SetParent(control);
    control->InsertPage(this);
  }
}

void TTabSheet::SetTabVisible(bool visible) {
  if (visible == tabVisible_) return;
  tabVisible_ = visible;
  if (pageControl_) pageControl_->PagesChanged();
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto &pages = pageControl_->pages_;
  auto it = std::find(pages.begin(), pages.end(), this);
  return it == pages.end() ? -1 : int(it - pages.begin());
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int tab = 0;
  for (TTabSheet *page : pageControl_->pages_) {
    if (page == this) return tab;
    if (page->tabVisible_) ++tab;
  }
  return -1;
}

TPageControl::TPageControl(TComponent *owner) : TCustomTabControl(owner) {}

TPageControl::~TPageControl() {
  BeginDestroy();
  for (TTabSheet *page : pages_) page->pageControl_ = nullptr;
  pages_.clear();
}

TTabSheet *TPageControl::Pages(int index) const {
  return index >= 0 && index < PageCount() ? pages_[size_t(index)] : nullptr;
}

int TPageControl::TabCaptionCount() const {
  int count = 0;
  for (TTabSheet *page : pages_) count += page->TabVisible() ? 1 : 0;
  return count;
}

std::string TPageControl::TabCaption(int index) const {
  TTabSheet *page = SheetOfTab(index);
  return page ? page->Caption() : std::string();
}

TTabSheet *TPageControl::SheetOfTab(int tab) const {
  for (TTabSheet *page : pages_)
    if (page->TabVisible() && tab-- == 0) return page;
  return nullptr;
}

void TPageControl::InsertPage(TTabSheet *page) {
  pages_.push_back(page);
  if (!active_ && page->TabVisible()) SetActivePage(page);
  PagesChanged();
}

void TPageControl::RemovePage(TTabSheet *page) {
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  if (active_ == page) {
    active_ = nullptr;
    if (!Destroying()) SetActivePage(SheetOfTab(0));
  }
  PagesChanged();
}

void TPageControl::PagesChanged() {
  if (active_ && !active_->TabVisible()) {
    active_->SetVisible(false);
    active_ = nullptr;
    SetActivePage(SheetOfTab(0));
  }
  tabIndex_ = active_ ? active_->TabIndex() : -1;
  if (!Destroying()) Invalidate();
}

void TPageControl::PlaceSheets() {
  TRect area = DisplayRect();
  for (TTabSheet *page : pages_) page->SetBounds(area.Left, area.Top, area.Width(), area.Height());
}

void TPageControl::SetActivePage(TTabSheet *page) {
  if (page && (page->PageControl() != this || !page->TabVisible())) return;
  if (page == active_) return;
  TTabSheet *old = active_;
  active_ = page;
  PlaceSheets();
  if (page) page->SetVisible(true);
  if (old) old->SetVisible(false);
  tabIndex_ = page ? page->TabIndex() : -1;
  Invalidate();
}

void TPageControl::Change() {
  // The tab the user picked brings its sheet.
  SetActivePage(SheetOfTab(tabIndex_));
  TCustomTabControl::Change();
}

void TPageControl::WMSize(TWMSize &msg) {
  PlaceSheets();
  TCustomTabControl::WMSize(msg);
}
