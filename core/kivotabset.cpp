#include "core/kivotabset.h"

#include "core/xpdraw.h"
#include "platform/gdi.h"

TKivoTabSet::TKivoTabSet(TComponent *owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 185, 21);
  Tabs.OnChange = [this](TObject *) {
    if (HandleAllocated()) Invalidate();
  };
}

TKivoTabSet::~TKivoTabSet() { Tabs.OnChange = nullptr; }

void TKivoTabSet::SetTabIndex(int index) {
  if (index < -1 || index >= Tabs.Count() || index == tabIndex_) return;
  tabIndex_ = index;
  if (HandleAllocated()) Invalidate();
  if (OnChange) OnChange(this);
}

void TKivoTabSet::SetStartMargin(int margin) {
  layout_.startMargin = margin;
  if (HandleAllocated()) Invalidate();
}

// The layout follows the tabs and the size; the first visible tab stays.
void TKivoTabSet::Sync() {
  layout_.width = Width();
  layout_.height = Height();
  layout_.titles.clear();
  for (int i = 0; i < Tabs.Count(); ++i) layout_.titles.push_back(Tabs.Get(i));
}

bool TKivoTabSet::GetItemRect(int index, RECT *rect) {
  Sync();
  return layout_.GetItemRect(index, rect);
}

int TKivoTabSet::ItemAtPosI(int x, int y, int *offset) {
  Sync();
  return layout_.ItemAtPos(x, y, offset);
}

void TKivoTabSet::InvalidateItem(int item) {
  RECT r{};
  if (item >= 0) {
    if (!layout_.GetItemRect(item, &r)) return;
    r.left -= 1;
  } else if (item == TabSetLayout::kLeftButton || item == TabSetLayout::kRightButton) {
    r = layout_.ButtonRect(item);
  } else {
    return;
  }
  InvalidateRect(Handle(), &r, FALSE);
}

void TKivoTabSet::PaintOwnerDrawn(HDC dc) {
  Sync();
  layout_.Update();
  RECT all{0, 0, Width(), Height()};
  OnDrawBackGround(this, dc, &all);
  if (!OnDrawItem) return;
  int saved = SaveDC(dc);
  HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "宋体");
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  for (int i = layout_.first; i < int(layout_.titles.size()); ++i) {
    RECT r;
    if (!layout_.GetItemRect(i, &r)) break;
    OnDrawItem(this, dc, &r, layout_.titles[size_t(i)], i == tabIndex_, i == hot_);
  }
  if (layout_.scrollMode) {
    RECT l = layout_.ButtonRect(TabSetLayout::kLeftButton), g = layout_.ButtonRect(TabSetLayout::kRightButton);
    OnDrawItem(this, dc, &l, "<", false, hot_ == TabSetLayout::kLeftButton);
    OnDrawItem(this, dc, &g, ">", false, hot_ == TabSetLayout::kRightButton);
  }
  RestoreDC(dc, saved);
  DeleteObject(font);
}

// Without the owner's drawing: plain tabs side by side, the selected one
// white, in the control's font.
void TKivoTabSet::PaintPlain(HDC dc) {
  Sync();
  layout_.Update();
  RECT all{0, 0, Width(), Height()};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  int saved = SaveDC(dc);
  SelectObject(dc, Font()->Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  for (int i = layout_.first; i < int(layout_.titles.size()); ++i) {
    RECT r;
    if (!layout_.GetItemRect(i, &r)) break;
    if (i == tabIndex_) FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    const std::string &t = layout_.titles[size_t(i)];
    DrawTextA(dc, t.c_str(), int(t.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (layout_.scrollMode) {
    for (int which : {TabSetLayout::kLeftButton, TabSetLayout::kRightButton}) {
      RECT r = layout_.ButtonRect(which);
      FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
      DrawTextA(dc, which == TabSetLayout::kLeftButton ? "<" : ">", 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
  }
  RestoreDC(dc, saved);
}

void TKivoTabSet::WndProc(TMessage &message) {
  int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
  auto paint = [this](HDC dc) {
    if (OnDrawBackGround)
      PaintOwnerDrawn(dc);
    else
      PaintPlain(dc);
  };
  if (XPHandlePaint(Handle(), message, paint)) return;
  switch (message.Msg) {
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
        tracking_ = true;
      }
      int hit = ItemAtPosI(x, y, nullptr);
      if (hit != hot_) {
        InvalidateItem(hot_);
        InvalidateItem(hit);
        hot_ = hit;
        UpdateWindow(Handle());
      }
      break;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (hot_ != -1) {
        hot_ = -1;
        Invalidate();
        Update();
      }
      break;
    case WM_LBUTTONDOWN:
      if (OnLButtonDown) {
        int offset = 0;
        int hit = ItemAtPosI(x, y, &offset);
        if (hit >= 0) {
          OnLButtonDown(this, hit, offset);
        } else if (hit == TabSetLayout::kLeftButton && layout_.ScrollLeft()) {
          Invalidate();
          Update();
        } else if (hit == TabSetLayout::kRightButton && layout_.ScrollRight()) {
          Invalidate();
          Update();
        }
        message.Result = 0;
        return;
      }
      {
        int hit = ItemAtPosI(x, y, nullptr);
        if (hit >= 0) {
          SetTabIndex(hit);
        } else if ((hit == TabSetLayout::kLeftButton && layout_.ScrollLeft()) ||
                   (hit == TabSetLayout::kRightButton && layout_.ScrollRight())) {
          Invalidate();
        }
      }
      break;
    case WM_LBUTTONDBLCLK: {
      int hit = ItemAtPosI(x, y, nullptr);
      if ((hit == TabSetLayout::kLeftButton && layout_.ScrollLeft()) ||
          (hit == TabSetLayout::kRightButton && layout_.ScrollRight())) {
        Invalidate();
        Update();
      }
      break;
    }
  }
  TCustomControl::WndProc(message);
}
