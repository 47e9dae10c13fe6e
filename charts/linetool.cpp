#include "charts/linetool.h"

#include <string>

#include "charts/drawline.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "views/mvmain.h"
#include "views/viewattr.h"
#include "views/viewhost.h"

namespace {

struct ToolPlace {
  int code;
  int x, y;
  const char *name;
};

constexpr ToolPlace kPlaces[TLineToolBox::kToolCount] = {
    {1, 0, 0, "两点直线"},     {2, 26, 0, "两点线段"},     {3, 52, 0, "平行线"},
    {24, 0, 26, "水平线"},     {25, 26, 26, "垂直线"},     {8, 52, 26, "矩形"},
    {26, 0, 52, "上45度"},     {27, 26, 52, "下45度"},     {4, 52, 52, "正弦线"},
    {7, 0, 78, "圆弧"},        {12, 26, 78, "速阻线"},     {9, 52, 78, "甘氏线"},
    {5, 0, 104, "黄金分割线"}, {6, 26, 104, "百分比线"},   {29, 52, 104, "复杂百分比"},
    {11, 0, 130, "周期线"},    {10, 26, 130, "费波拉契周期"}, {13, 52, 130, "线形回归带"},
    {14, 0, 156, "回归通道"},  {15, 26, 156, "文字"},      {28, 52, 156, "螺历"},
    {16, 0, 182, "上箭头"},    {22, 26, 182, "右上箭头"},  {23, 52, 182, "左上箭头"},
    {17, 0, 208, "下箭头"},    {20, 26, 208, "右下箭头"},  {21, 52, 208, "左下箭头"},
    {18, 0, 234, "删除画线"},  {19, 26, 234, "全部删除"},
};

constexpr int kGroupTools = 1;
constexpr int kGroupSpiral = 2;
constexpr COLORREF kGlyphClear = 0xFF00FF;

TLinePaletteClient *ActivePageKLine() {
  TMultiViewMain *page = CurrentPage();
  if (!page || !page->m_active || page->m_active->ViewType() != VIEW_TYPE_KLINE) return nullptr;
  return dynamic_cast<TLinePaletteClient *>(page->m_active);
}

void EveryPageKLine(const std::function<void(TLinePaletteClient *)> &visit) {
  TMultiViewMain *page = CurrentPage();
  if (!page) return;
  for (int i = 0; i < page->PaneCount(); ++i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && view->ViewType() == VIEW_TYPE_KLINE)
      if (auto *client = dynamic_cast<TLinePaletteClient *>(view)) visit(client);
  }
}

// A 16 x 16 glyph bitmap drawn by the tool's picture on the see-through colour.
HBITMAP MakeGlyph(int code, int width) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = 16;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH clear = CreateSolidBrush(kGlyphClear);
  RECT all{0, 0, width, 16};
  FillRect(dc, &all, clear);
  DeleteObject(clear);
  DrawLineToolGlyph(dc, (width - 16) / 2, 0, code);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

}  // namespace

std::string LineSettingsPath() { return std::string(UserDataPath) + "defui.ini"; }

void DrawLineToolGlyph(HDC dc, int x, int y, int code) {
  auto pen = [&](COLORREF c, int style = PS_SOLID) {
    HPEN p = CreatePen(style, 1, c);
    DeleteObject(SelectObject(dc, p));
  };
  HGDIOBJ original = SelectObject(dc, CreatePen(PS_SOLID, 1, 0));
  auto line = [&](int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x + x0, y + y0, nullptr);
    LineTo(dc, x + x1, y + y1);
  };
  auto dot = [&](int cx, int cy) {
    RECT r{x + cx - 1, y + cy - 1, x + cx + 2, y + cy + 2};
    HBRUSH b = CreateSolidBrush(0x000000);
    FillRect(dc, &r, b);
    DeleteObject(b);
  };
  auto poly = [&](const int (*pts)[2], int n, int ox, int oy) {
    for (int i = 0; i + 1 < n; ++i) line(ox + pts[i][0], oy + pts[i][1], ox + pts[i + 1][0], oy + pts[i + 1][1]);
  };
  const COLORREF dark = 0x000000, blue = 0x8B0000, red = 0x0000C0, gold = 0x0080C0, green = 0x008000;
  switch (code) {
    case 1: pen(dark); line(1, 14, 16, -1); dot(4, 11); dot(11, 4); break;
    case 2: pen(dark); line(3, 12, 12, 3); dot(3, 12); dot(12, 3); break;
    case 3: pen(dark); line(0, 10, 11, -1); line(4, 15, 16, 3); break;
    case 24: pen(dark); line(0, 8, 16, 8); dot(8, 8); break;
    case 25: pen(dark); line(8, 0, 8, 16); dot(8, 8); break;
    case 8: pen(dark); line(2, 3, 13, 3); line(13, 3, 13, 12); line(13, 12, 2, 12); line(2, 12, 2, 3); break;
    case 26: pen(dark); line(2, 13, 15, 0); dot(2, 13); break;
    case 27: pen(dark); line(2, 2, 15, 15); dot(2, 2); break;
    case 4: {
      pen(blue);
      static const int wave[][2] = {{0, 8}, {2, 4}, {4, 2}, {6, 4}, {8, 8}, {10, 12}, {12, 14}, {14, 12}, {16, 8}};
      poly(wave, 9, 0, 0);
      break;
    }
    case 7: {
      pen(blue);
      static const int arc[][2] = {{1, 13}, {2, 8}, {4, 5}, {8, 3}, {12, 5}, {14, 8}, {15, 13}};
      poly(arc, 7, 0, 0);
      break;
    }
    case 12: pen(dark); line(1, 14, 15, 1); line(1, 14, 15, 6); line(1, 14, 15, 10); break;
    case 9:
      pen(dark);
      for (int k = 0; k < 5; ++k) line(1, 14, 15, 14 - 4 * (k + 1) + (k > 2 ? 6 * (k - 2) : 0));
      line(1, 14, 4, 0);
      break;
    case 5:
      pen(gold);
      for (int yy : {2, 6, 8, 10, 14}) line(1, yy, 15, yy);
      break;
    case 6:
      pen(green);
      for (int yy : {2, 5, 8, 11, 14}) line(1, yy, 15, yy);
      break;
    case 29:
      pen(green);
      for (int yy = 1; yy <= 15; yy += 2) line(1, yy, 15, yy);
      break;
    case 11:
      pen(dark);
      for (int xx : {2, 6, 10, 14}) line(xx, 1, xx, 15);
      break;
    case 10:
      pen(dark);
      for (int xx : {1, 2, 3, 5, 8, 13}) line(xx, 1, xx, 15);
      break;
    case 13: pen(dark); line(1, 11, 15, 4); pen(dark, PS_DOT); line(1, 7, 15, 0); line(1, 15, 15, 8); break;
    case 14: pen(dark); line(1, 11, 15, 4); line(1, 7, 15, 0); line(1, 15, 15, 8); break;
    case 15: pen(dark); line(3, 14, 8, 2); line(8, 2, 13, 14); line(5, 10, 11, 10); break;
    case 28:
      pen(dark);
      line(1, 2, 15, 2);
      line(15, 2, 15, 14);
      line(15, 14, 1, 14);
      line(1, 14, 1, 2);
      for (int xx : {5, 9, 12}) line(xx, 2, xx, 14);
      line(1, 6, 15, 6);
      line(1, 10, 15, 10);
      break;
    case 16: {
      pen(red);
      static const int up[][2] = {{0, -9}, {-4, -5}, {-2, -5}, {-2, 3}, {2, 3}, {2, -5}, {4, -5}, {0, -9}};
      poly(up, 8, 8, 11);
      break;
    }
    case 17: {
      pen(green);
      static const int down[][2] = {{0, 9}, {-4, 5}, {-2, 5}, {-2, -3}, {2, -3}, {2, 5}, {4, 5}, {0, 9}};
      poly(down, 8, 8, 4);
      break;
    }
    case 20:
    case 21:
    case 22:
    case 23: {
      static const int corner[4][8][2] = {
          {{4, 4}, {4, -3}, {2, -1}, {-5, -8}, {-8, -5}, {-1, 2}, {-3, 4}, {4, 4}},
          {{-4, 4}, {-4, -3}, {-2, -1}, {5, -8}, {8, -5}, {1, 2}, {3, 4}, {-4, 4}},
          {{4, -4}, {4, 3}, {2, 1}, {-5, 8}, {-8, 5}, {-1, -2}, {-3, -4}, {4, -4}},
          {{-4, -4}, {-4, 3}, {-2, 1}, {5, 8}, {8, 5}, {1, -2}, {3, -4}, {-4, -4}}};
      static const int centre[4][2] = {{10, 10}, {5, 10}, {10, 5}, {5, 5}};
      pen(code < 22 ? green : red);
      poly(corner[code - 20], 8, centre[code - 20][0], centre[code - 20][1]);
      break;
    }
    case 18: pen(red); line(3, 3, 13, 13); line(12, 3, 2, 13); break;
    case 19:
      pen(red);
      line(1, 3, 9, 11);
      line(8, 3, 0, 11);
      line(7, 5, 15, 13);
      line(14, 5, 6, 13);
      break;
    default: break;
  }
  DeleteObject(SelectObject(dc, original));
}

// ---- the snap box ----

TLineSnapBox::TLineSnapBox(TComponent *owner) : TGraphicControl(owner) {}

void TLineSnapBox::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Invalidate();
}

void TLineSnapBox::Click() {
  SetChecked(!checked_);
  TGraphicControl::Click();
}

void TLineSnapBox::Paint() {
  HDC dc = Canvas()->Handle();
  const TRect r = ClientRect();
  const int top = r.Top + (r.Height() - 12) / 2;
  RECT box{r.Left, top, r.Left + 12, top + 12};
  HBRUSH white = CreateSolidBrush(0xFFFFFF);
  FillRect(dc, &box, white);
  DeleteObject(white);
  HBRUSH frame = CreateSolidBrush(0x808080);
  FrameRect(dc, &box, frame);
  DeleteObject(frame);
  if (checked_) {
    HPEN pen = CreatePen(PS_SOLID, 1, 0x000000);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int k = 0; k < 2; ++k) {
      MoveToEx(dc, box.left + 2, box.top + 5 + k, nullptr);
      LineTo(dc, box.left + 4, box.top + 7 + k);
      LineTo(dc, box.left + 10, box.top + 1 + k);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  const std::string caption = Caption();
  RECT text{r.Left + 16, r.Top, r.Right, r.Bottom};
  const int mode = SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, caption.c_str(), int(caption.size()), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  SetBkMode(dc, mode);
}

// ---- the palette ----

TLineToolBox::TLineToolBox(TComponent *owner) : TForm(owner) {
  SetCaption("画线");
  SetBorderStyle(bsToolWindow);
  SetBorderIcons(biSystemMenu);
  SetClientSize(115, 280);
  Font()->SetName("Tahoma");
  activeKLine = ActivePageKLine;
  forEachKLine = EveryPageKLine;
  for (const ToolPlace &place : kPlaces) {
    auto *button = new TSpeedButton(this);
    button->SetParent(this);
    button->SetBounds(place.x, place.y, place.code == kToolDeleteAll ? 51 : 25, 25);
    button->Tag = place.code;
    button->Hint = place.name;
    button->ShowHint = true;
    if (place.code == kToolSpiral) {
      button->GroupIndex = kGroupSpiral;
      button->AllowAllUp = true;
      button->OnClick = [this](TObject *sender) { B28Click(sender); };
    } else {
      if (place.code != kToolDeleteAll) {
        button->GroupIndex = kGroupTools;
        button->AllowAllUp = true;
      }
      button->OnClick = [this](TObject *sender) { BClick(sender); };
    }
    button->Glyph()->SetHandle(MakeGlyph(place.code, place.code == kToolDeleteAll ? 32 : 16));
    buttons_[place.code - 1] = button;
  }
  XPCheckBox1 = new TLineSnapBox(this);
  XPCheckBox1->SetParent(this);
  XPCheckBox1->SetBounds(5, 263, 70, 14);
  XPCheckBox1->SetCaption("自动吸附");
  XPCheckBox1->SetChecked(GetPrivateProfileIntA("UI", "LineSnap", 1, LineSettingsPath().c_str()) != 0);
  XPCheckBox1->OnClick = [this](TObject *sender) { XPCheckBox1Click(sender); };
  OnClose = [this](TObject *sender, TCloseAction &action) { FormClose(sender, action); };
  DoCreate();
}

void TLineToolBox::ReleaseToolButton() {
  if (TSpeedButton *button = Button(MainFrameHost()->LineToolCode())) button->SetDown(false);
}

void TLineToolBox::BClick(TObject *sender) {
  auto *button = static_cast<TSpeedButton *>(sender);
  const int code = button->Down() ? int(button->Tag) : -1;
  MainFrameHost()->SetLineToolCode(code);
  if (button->Tag != kToolDeleteAll) return;
  // Delete-all never stays pressed.
  MainFrameHost()->SetLineToolCode(-1);
  TLinePaletteClient *view = activeKLine ? activeKLine() : nullptr;
  if (!view) return;
  if (MessageBoxA(nullptr, "删除所有的自画线吗？  ", "确认", MB_ICONQUESTION | MB_YESNO | MB_TOPMOST) == IDYES)
    view->DeleteAllLines();
}

void TLineToolBox::B28Click(TObject *sender) {
  auto *button = static_cast<TSpeedButton *>(sender);
  if (TLinePaletteClient *view = activeKLine ? activeKLine() : nullptr) view->SetLuoliShown(button->Down());
}

void TLineToolBox::XPCheckBox1Click(TObject *) {
  WritePrivateProfileStringA("UI", "LineSnap", XPCheckBox1->Checked() ? "1" : "0", LineSettingsPath().c_str());
}

void TLineToolBox::FormClose(TObject *, TCloseAction &action) {
  action = caHide;
  ReleaseToolButton();
  MainFrameHost()->RaiseLineButton();
  if (forEachKLine) forEachKLine([](TLinePaletteClient *view) { view->SetLineToolItemChecked(false); });
}

void TLineToolBox::WndProc(TMessage &message) {
  switch (message.Msg) {
    case WM_MOUSEACTIVATE:
      message.Result = 3;  // no activation
      return;
    case WM_ACTIVATE:
      // The activation goes straight back to the main window.
      if (LOWORD(message.WParam) != WA_INACTIVE) {
        if (HWND main = MainFrameHost()->MainWindow()) SetActiveWindow(main);
        message.Result = 0;
        return;
      }
      break;
    default: break;
  }
  TForm::WndProc(message);
}
