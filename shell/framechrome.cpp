#include "shell/framechrome.h"

#include <algorithm>

#include "classlib/picture.h"
#include "core/emenubar.h"
#include "core/skinmenu.h"
#include "platform/gdi.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "core/xpdraw.h"
#include "platform/gbk.h"
#include "shell/framemenus.h"

namespace {

struct TButtonRow {
  const char *name;
  const char *hint;
  int image;  // -1: the button shows its caption
  int tag;
  bool hidden;
};

// The tool bar in its order: the view and command buttons, then the
// separator and the period buttons of layout 1.
const TButtonRow kToolButtons[] = {
    {"ToolButton1", "后退 ESC", 0, 0, false},
    {"ToolButton2", "走势图", 1, 0, false},
    {"ToolButton3", "K线图", 2, 0, false},
    {"ToolButton4", "起始页", 3, 0, false},
    {"ToolButton5", "新闻", 4, 0, false},
    {"ToolButton14", "背景资料 F10", 5, 0, false},
    {"ToolButton9", "数据刷新", 6, 0, false},
    {"ToolButton6", "放大", 7, 0, false},
    {"ToolButton7", "缩小", 8, 0, false},
    {"ToolButton15", "显示风格", 9, 0, false},
    {"ToolButton23", "页面循环 Ctrl+S", 10, 0, true},
    {"LineBtn", "画线工具 Alt+F12", 11, 0, false},
    {"ToolButton19", "预警设置", 12, 0, false},
    {"ToolButton18", "同舟服务", 13, 0, true},
    {"ToolButton17", "交易 F12", 14, 0, true},
    {"ToolButton16", "", -1, 0, true},
    {"CycleReport", "报价", -1, 0, true},
    {"CycleTrend", "走势图", -1, 0, true},
    {"CycleTick", "闪电图", -1, 0, true},
    {"Cycle1", "日线", -1, 8, true},
    {"Cycle2", "周线", -1, 9, true},
    {"Cycle3", "月线", -1, 10, true},
    {"Cycle4", "季线", -1, 11, true},
    {"Cycle5", "任意天", -1, 12, true},
    {"Cycle6", "1分钟", -1, 1, true},
    {"Cycle7", "3分钟", -1, 2, true},
    {"Cycle8", "5分钟", -1, 4, true},
    {"Cycle9", "15分钟", -1, 5, true},
    {"Cycle10", "30分钟", -1, 6, true},
    {"Cycle11", "60分钟", -1, 7, true},
    {"Cycle12", "任意分钟", -1, 3, true},
    {"Cycle13", "120分钟", -1, 13, true},
    {"Cycle14", "240分钟", -1, 14, true},
};

// The buttons the layout puts on their own rows (layout 0) or in one row.
const char *const kLayoutButtons[] = {"ToolButton1",  "ToolButton2",  "ToolButton3",  "ToolButton4", "ToolButton5",
                                      "ToolButton14", "ToolButton9",  "ToolButton6",  "ToolButton7", "ToolButton15",
                                      "ToolButton23", "LineBtn",      "ToolButton19", "ToolButton18", "ToolButton17"};

const char *const kPeriodButtons[] = {"CycleReport", "CycleTrend", "CycleTick", "Cycle1",  "Cycle2",  "Cycle3",
                                      "Cycle4",      "Cycle5",     "Cycle6",    "Cycle7",  "Cycle8",  "Cycle9",
                                      "Cycle10",     "Cycle11",    "Cycle12",   "Cycle13", "Cycle14"};

HBITMAP LoadSkinBitmap(const char *file) {
  char path[MAX_PATH];
  SkinFileName(path, sizeof path, file);
  return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

void Replace(HBITMAP &held, HBITMAP fresh) {
  if (held) DeleteObject(held);
  held = fresh;
}

TPixelPicture PictureOf(HBITMAP bitmap) {
  TPixelPicture out;
  platform::PixelImage image;
  if (!bitmap || !platform::PixelsFromBitmap(bitmap, image) || image.Empty()) return out;
  out.width = image.width;
  out.height = image.height;
  out.pixels.resize(image.argb.size());
  for (size_t i = 0; i < image.argb.size(); ++i) {
    const uint32_t p = image.argb[i];
    out.pixels[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  return out;
}

HBITMAP BitmapOf(const TPixelPicture &picture) {
  platform::PixelImage image;
  image.width = picture.width;
  image.height = picture.height;
  image.argb.resize(picture.pixels.size());
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const COLORREF c = picture.pixels[i];
    image.argb[i] = 0xFF000000u | uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
  }
  return platform::CreateBitmapFromPixels(image);
}

int BitmapWidth(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || GetObjectA(bitmap, sizeof info, &info) == 0) return 0;
  return info.bmWidth;
}

int BitmapHeight(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || GetObjectA(bitmap, sizeof info, &info) == 0) return 0;
  return info.bmHeight;
}

TOwnerDrawPanel *NewPanel(TForm *form, TWinControl *parent, TAlign align, int size) {
  auto *p = new TOwnerDrawPanel(form);
  p->SetParent(parent);
  if (align == alLeft || align == alRight)
    p->SetWidth(size);
  else if (align == alTop || align == alBottom)
    p->SetHeight(size);
  p->SetAlign(align);
  p->SetBevelOuter(bvNone);
  p->ShowCaption = false;
  return p;
}

}  // namespace

TFrameChrome::TFrameChrome(TForm *form, TMainMenu *mainMenu) : MainMenu1(mainMenu) {
  Panel9 = new TPanel(form);
  Panel9->SetParent(form);
  Panel9->SetAlign(alTop);
  Panel9->SetHeight(26);
  Panel9->SetBevelOuter(bvNone);

  StatusBar = NewPanel(form, form, alBottom, 22);
  // The clock at the right edge, the brand word left of it.
  Panel6 = NewPanel(form, StatusBar, alRight, 36);
  Panel5 = NewPanel(form, StatusBar, alRight, 83);
  Panel5->Hint = "未联机";
  Panel3 = NewPanel(form, StatusBar, alRight, 82);
  Panel3->Hide();
  Panel2 = NewPanel(form, StatusBar, alLeft, 686);
  Panel1 = NewPanel(form, StatusBar, alClient, 0);
  StatusBar->OnResize = [this](TObject *) { StatusBarResize(); };

  ToolBar1 = new TToolBar(form);
  ToolBar1->SetParent(form);
  ToolBar1->ShowCaptions = false;
  for (const TButtonRow &row : kToolButtons) {
    TToolButton *b = AddButton(ToolBar1, row.name, row.hint, row.image, row.tag);
    if (row.hidden) b->Hide();
  }

  PagePanel = NewPanel(form, form, alTop, 26);
  PageLeftPanel = NewPanel(form, PagePanel, alLeft, 28);
  PageBar = new TToolBar(form);
  PageBar->SetParent(PagePanel);
  PageBar->SetAlign(alClient);
  PageOther = AddButton(PageBar, "PageOther", "我的页面", -1, 0);
  PageOther->SetCaption("我的页面");
  for (int i = 0; i < 13; ++i) {
    Page[i] = AddButton(PageBar, ("Page" + std::to_string(i + 1)).c_str(), "", -1, -1);
    Page[i]->Hide();
  }

  DrawGrid1 = new TDrawGrid(form);
  DrawGrid1->SetParent(form);
  DrawGrid1->SetFixedCols(0);
  DrawGrid1->SetFixedRows(0);
  DrawGrid1->ScrollBars = ssNone;
  DrawGrid1->SetAlign(alRight);
  DrawGrid1->Hide();
  Splitter1 = new TSplitter(form);
  Splitter1->SetParent(form);
  Splitter1->SetWidth(2);
  Splitter1->SetAlign(alRight);
  Splitter1->Hide();

  PopupMenu1 = new TPopupMenu(form);
  PopupMenu2 = new TPopupMenu(form);
  PopupMenu3 = new TPopupMenu(form);
  BuildFixedMenus(form, MainMenu1, PopupMenu1, PopupMenu3);
  BindPainting();
  StatusBar->PopupMenu = PopupMenu1;
  ToolBar1->PopupMenu = PopupMenu1;
}

TFrameChrome::~TFrameChrome() {
  Replace(toolBarBitmap, nullptr);
  Replace(statusBackground, nullptr);
}

TToolButton *TFrameChrome::AddButton(TToolBar *bar, const char *name, const char *caption, int image, int tag) {
  auto *b = new TToolButton(bar->Owner());
  b->Name = name;
  b->Hint = caption;
  if (image < 0) b->SetCaption(caption);
  // The period buttons show their captions: each as wide as its caption.
  b->AutoSize = image < 0 && bar == ToolBar1;
  b->ImageIndex = image;
  b->Tag = tag;
  b->SetBar(bar);
  buttons_[name] = b;
  if (bar == ToolBar1) toolButtons_.push_back(b);
  return b;
}

TToolButton *TFrameChrome::Button(const std::string &name) const {
  auto it = buttons_.find(name);
  return it == buttons_.end() ? nullptr : it->second;
}

TMenuItem *TFrameChrome::MenuItem(const std::string &name) const {
  for (TMenu *menu : {static_cast<TMenu *>(MainMenu1), static_cast<TMenu *>(PopupMenu1),
                      static_cast<TMenu *>(PopupMenu3)})
    if (TMenuItem *item = menu ? FindMenuItem(menu->Items(), name) : nullptr) return item;
  return nullptr;
}

void TFrameChrome::LayoutToolBars(int layout) {
  const TToolBarGeometry g = ToolBarGeometryFor(layout);
  if (!g.valid) return;
  layout_ = layout;
  for (const char *name : kLayoutButtons)
    if (TToolButton *b = Button(name)) b->Wrap = g.wrapButtons;
  Button("ToolButton2")->SetVisible(g.showChartButtons);
  Button("ToolButton3")->SetVisible(g.showChartButtons);
  const int barSize = skin.toolBarWidth ? skin.toolBarWidth : ToolBar1->ButtonWidth + 4;
  if (g.toolBarLeft) {
    ToolBar1->SetAlign(alLeft);
    ToolBar1->SetWidth(barSize);
  } else {
    ToolBar1->SetAlign(alTop);
    ToolBar1->SetHeight(skin.toolBarHeight ? skin.toolBarHeight : ToolBar1->ButtonHeight + 4);
  }
  if (g.pagePanelTop) {
    PagePanel->SetAlign(alTop);
    PagePanel->SetHeight(skin.pageBarHeight ? skin.pageBarHeight : g.pagePanelSize);
    PageLeftPanel->SetAlign(alLeft);
    PageLeftPanel->SetWidth(ToolBar1->Width());
  } else {
    PagePanel->SetAlign(alLeft);
    PagePanel->SetWidth(skin.pageBarWidth ? skin.pageBarWidth : g.pagePanelSize);
    PageLeftPanel->SetAlign(alNone);
    PageLeftPanel->SetLeft(PagePanel->Width());
  }
  PageBar->SetAlign(alClient);
  PageBar->ButtonWidth = skin.pageBarWidth ? skin.pageBarWidth : g.pageButtonWidth;
  PageBar->ButtonHeight = skin.pageBarHeight ? skin.pageBarHeight : g.pageButtonHeight;
  PageOther->Wrap = g.pageButtonsWrap;
  for (TToolButton *b : Page) b->Wrap = g.pageButtonsWrap;
  ToolBar1->Arrange();
  PageBar->Arrange();
  if (menuBar) menuBar->LayoutItems();
  ShowViewTools(periodViewActive && periodViewActive(), 2);
}

void TFrameChrome::ShowViewTools(bool show, int kind) {
  switch (kind) {
    case 0:
      Button("LineBtn")->SetVisible(layout_ == 1 || show);
      if (TMenuItem *item = MenuItem("MenuItem117")) item->Visible = show;
      break;
    case 2:
      Button("ToolButton16")->SetVisible(layout_ == 1);
      for (const char *name : kPeriodButtons) Button(name)->SetVisible(layout_ == 1 && show);
      ToolBar1->Arrange();
      return;
    case 3:
      if (TMenuItem *item = MenuItem("N2")) item->Visible = show;
      break;
    default:
      return;
  }
  ToolBar1->Arrange();
  if (menuBar) {
    menuBar->LayoutItems();
    if (menuBar->m_hWnd) InvalidateRect(menuBar->m_hWnd, nullptr, TRUE);
  }
}

void TFrameChrome::LoadSkin() {
  if (menuBar) {
    Replace(menuBar->m_hLeft, LoadSkinBitmap("lefttop.bmp"));
    Replace(menuBar->m_hRight, LoadSkinBitmap("righttop.bmp"));
    Replace(menuBar->m_hMinimize, LoadSkinBitmap("minnormal.bmp"));
    Replace(menuBar->m_hMaximize, LoadSkinBitmap("maxnormal.bmp"));
    Replace(menuBar->m_hRestore, LoadSkinBitmap("restorenormal.bmp"));
    Replace(menuBar->m_hClose, LoadSkinBitmap("closenormal.bmp"));
  }
  Replace(toolBarBitmap, LoadSkinBitmap("toolbar.bmp"));
  char ini[MAX_PATH];
  SkinFileName(ini, sizeof ini, "skin.ini");
  skin = TFrameSkin();
  ReadFrameSkin(ini, &skin);
  if (menuBar) {
    menuBar->m_menuText = skin.menuText;
    menuBar->m_highlightText = skin.highLightText;
    menuBar->m_hotBorder = skin.ctrlBorder;
    menuBar->m_hotFill = skin.hotBackground;
    menuBar->m_captionText = skin.captionText;
    std::snprintf(menuBar->m_menuFace, sizeof menuBar->m_menuFace, "%s", skin.fontName);
    menuBar->m_menuFontHeight = skin.fontSize;
    std::snprintf(menuBar->m_captionFace, sizeof menuBar->m_captionFace, "%s", skin.captionFontName);
    menuBar->m_captionFontHeight = skin.captionFontSize;
    menuBar->m_captionFontStyle = skin.captionFontStyle;
    if (const int h = BitmapHeight(menuBar->m_hLeft)) Panel9->SetHeight(h);
  }
  MenuDark = skin.menuDark;
  MenuLight = skin.menuLight;
  if (applyPageBorders) applyPageBorders(skin);
  ToolBar1->ButtonWidth = skin.toolBarButtonWidth;
  ToolBar1->ButtonHeight = skin.toolBarButtonHeight;
  if (skin.toolBarWidth) {
    ToolBar1->SetWidth(skin.toolBarWidth);
    PageLeftPanel->SetWidth(skin.toolBarWidth);
  }
  if (skin.toolBarHeight) ToolBar1->SetHeight(skin.toolBarHeight);
  if (skin.pageBarWidth) {
    PagePanel->SetWidth(skin.pageBarWidth);
    PageBar->ButtonWidth = skin.pageBarWidth;
  }
  if (skin.pageBarHeight) {
    PagePanel->SetHeight(skin.pageBarHeight);
    PageBar->ButtonHeight = skin.pageBarHeight;
  }
  ToolBar1->Arrange();
  PageBar->Arrange();
  if (TForm *form = dynamic_cast<TForm *>(ToolBar1->Owner()); form && form->HandleAllocated() && form->Visible())
    SetWindowPos(form->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER);
  Splitter1->SetColor(TColor(skin.splitter));
  Replace(statusBackground, nullptr);
  if (skin.statusBarHeight && skin.statusBarHeight != StatusBar->Height())
    StatusBar->SetHeight(skin.statusBarHeight);  // the resize rebuilds the background
  else
    StatusBarResize();
  for (TControl *c : {static_cast<TControl *>(Panel2), static_cast<TControl *>(Panel1),
                      static_cast<TControl *>(Panel5), static_cast<TControl *>(Panel6),
                      static_cast<TControl *>(ToolBar1), static_cast<TControl *>(PageBar)})
    c->Invalidate();
  if (repaintPage) repaintPage();
  if (menuBar) {
    menuBar->m_backWidth = 0;
    menuBar->m_backHeight = 0;
    if (menuBar->m_hWnd) InvalidateRect(menuBar->m_hWnd, nullptr, TRUE);
  }
}

void TFrameChrome::StatusBarResize() {
  const int width = StatusBar->Width(), height = StatusBar->Height();
  if (statusBackground && BitmapWidth(statusBackground) != width) Replace(statusBackground, nullptr);
  if (!statusBackground && width > 0 && height > 0) {
    HBITMAP left = LoadSkinBitmap("leftbottom.bmp");
    HBITMAP right = LoadSkinBitmap("rightbottom.bmp");
    statusBackground = BitmapOf(BuildStatusBackground(width, height, PictureOf(left), PictureOf(right)));
    if (left) DeleteObject(left);
    if (right) DeleteObject(right);
  }
  Panel2->SetWidth(IndexPanelWidth(width, Panel6->Width(), Panel5->Width()));
}

void TFrameChrome::CopyStatusBackground(HDC dc, int x, int width, int height) const {
  if (!statusBackground) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, statusBackground);
  BitBlt(dc, 0, 0, width, height, mem, x, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

namespace {

// One line a row from left to right, in the colour of that row.
void Rows(HDC dc, int left, int top, int right, int height, const std::function<COLORREF(int row)> &colour) {
  for (int row = 0; row < height; ++row) XPLine(dc, left, top + row, right, top + row, colour(row));
}

void Gradient(HDC dc, const RECT &r, COLORREF top, COLORREF bottom) {
  const int height = r.bottom - r.top;
  Rows(dc, r.left, r.top, r.right, height, [&](int row) { return GradientRowColor(top, bottom, row, height); });
}

void Fill(HDC dc, const RECT &r, COLORREF colour) { XPFill(dc, r, colour); }

}  // namespace

void TFrameChrome::BindPainting() {
  ToolBar1->OnAdvancedCustomDraw = [this](TToolBar *, TCanvas *canvas, const TRect &r, bool &defaultDraw) {
    Gradient(canvas->Handle(), RECT{r.Left, r.Top, r.Right, r.Bottom}, skin.toolBarTop, skin.toolBarBottom);
    defaultDraw = false;
  };
  ToolBar1->OnAdvancedCustomDrawButton = [this](TToolBar *bar, TToolButton *button, TCanvas *canvas,
                                                bool &defaultDraw) {
    defaultDraw = false;
    HDC dc = canvas->Handle();
    const RECT r{0, 0, button->Width(), button->Height()};
    // The bar's own background behind the button.
    const int barHeight = bar->Height();
    Rows(dc, 0, 0, r.right, r.bottom, [&](int row) {
      return GradientRowColor(skin.toolBarTop, skin.toolBarBottom, button->Top() + row, barHeight);
    });
    if (button->Left() + button->Width() > bar->Width()) return;
    if (button->Down() || button->Pressing()) {
      HBRUSH brush = CreateSolidBrush(skin.hotBackground);
      HPEN pen = CreatePen(PS_SOLID, 1, skin.ctrlBorder);
      HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
      RoundRect(dc, 0, 0, r.right, r.bottom, 5, 5);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
      DeleteObject(brush);
      DeleteObject(pen);
    }
    const int shift = button->Pressing() ? 1 : 0;
    if (button->ImageIndex >= 0 && toolBarBitmap) {
      const int w = skin.toolBarImageWidth, h = skin.toolBarImageHeight;
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(mem, toolBarBitmap);
      TransparentBlt(dc, (r.right - w) / 2 + shift, (r.bottom - h + 1) / 2 + shift, w, h, mem, button->ImageIndex * w, 0,
                     w, h, skin.toolBarMask);
      SelectObject(mem, old);
      DeleteDC(mem);
    } else if (!button->Caption().empty()) {
      // In the button's font, the one the bar sized the button by.
      canvas->Brush()->SetStyle(bsClear);
      canvas->Font()->SetColor(TColor(button->Down() ? skin.pageBarHotText : skin.pageBarText));
      TRect text(shift, shift, r.right + shift, r.bottom + shift);
      canvas->DrawText(button->Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
  };
  PageBar->OnAdvancedCustomDraw = [this](TToolBar *, TCanvas *canvas, const TRect &r, bool &defaultDraw) {
    Gradient(canvas->Handle(), RECT{r.Left, r.Top, r.Right, r.Bottom}, skin.pageBarTop, skin.pageBarBottom);
    defaultDraw = false;
  };
  PageBar->OnAdvancedCustomDrawButton = [this](TToolBar *bar, TToolButton *button, TCanvas *canvas,
                                               bool &defaultDraw) {
    defaultDraw = false;
    HDC dc = canvas->Handle();
    const RECT r{0, 0, button->Width(), button->Height()};
    const bool vertical = bar->ButtonWidth < bar->ButtonHeight;
    const bool hot = button->Down() || button->Pressing();
    if (vertical) {
      Fill(dc, r, hot ? skin.pageBarSelectedBottom : skin.pageBarNormalTop);
      HPEN pen = CreatePen(PS_SOLID, 1, skin.ctrlBorder);
      HGDIOBJ old = SelectObject(dc, pen);
      MoveToEx(dc, 4, 0, nullptr);
      LineTo(dc, r.right, 0);
      MoveToEx(dc, 2, 2, nullptr);
      LineTo(dc, 2, r.bottom - 10);
      LineTo(dc, r.right, r.bottom);
      SelectObject(dc, old);
      DeleteObject(pen);
    } else {
      const int barHeight = bar->Height();
      Rows(dc, 0, 0, r.right, r.bottom, [&](int row) {
        return hot ? GradientRowColor(skin.pageBarSelectedTop, skin.pageBarSelectedBottom, row, r.bottom)
                   : GradientRowColor(skin.pageBarTop, skin.pageBarBottom, button->Top() + row, barHeight);
      });
    }
    std::string caption = button->Caption().substr(0, 61);
    SetBkMode(dc, TRANSPARENT);
    const COLORREF text = hot ? skin.pageBarHotText : skin.pageBarText;
    SetTextColor(dc, text);
    const bool other = button == PageOther;
    if (!vertical) {
      RECT area = r;
      if (other) area.right -= 18;
      DrawTextA(dc, caption.c_str(), int(caption.size()), &area,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
      if (other) {
        const int x = r.right - 16, y = r.bottom / 2 - 2;
        for (int i = 0; i < 4; ++i) XPLine(dc, x + i, y + i, x + 7 - i, y + i, text);
      }
    } else {
      // One character under the other, centred in the tab.
      const std::u16string wide = platform::GbkToUtf16(caption);
      SIZE one{};
      GetTextExtentPoint32A(dc, "沪", 2, &one);
      const int left = (r.right - one.cx - 2) / 2 + 3;
      int y = other ? 10 : 14;
      const int bottom = r.bottom - (other ? 19 : 11);
      for (size_t i = 0; i < wide.size() && i < 64; ++i) {
        const std::string ch = platform::Utf16ToGbk(wide.substr(i, 1));
        SIZE s{};
        GetTextExtentPoint32A(dc, ch.c_str(), int(ch.size()), &s);
        if (y + s.cy > bottom) break;
        TextOutA(dc, left, y, ch.c_str(), int(ch.size()));
        y += s.cy;
      }
    }
  };
  PageLeftPanel->OnDraw = [this](TObject *, HDC dc, RECT *r) { Fill(dc, *r, skin.toolBarTop); };
  PagePanel->OnDraw = [this](TObject *, HDC dc, RECT *r) { Gradient(dc, *r, skin.pageBarTop, skin.pageBarBottom); };
  StatusBar->OnDraw = [this](TObject *, HDC dc, RECT *r) {
    CopyStatusBackground(dc, 0, r->right, r->bottom);
  };
}
