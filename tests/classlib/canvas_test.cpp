// The canvas over a device context, and the picture sheet of the controls.
#include <gtest/gtest.h>

#include "platform/gdi.h"
#include "platform/menu.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/imglist.h"
#include "classlib/stdctrls.h"
#include "testing/image_capture.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

struct Bitmap {
  explicit Bitmap(int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Bitmap() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HBITMAP bitmap;
  HDC dc;
  HGDIOBJ old;
};

TEST(Canvas, DrawsWithItsPenBrushAndModeAndLeavesTheContextAsItWas) {
  Bitmap b(20, 10);
  HGDIOBJ ownPen = GetCurrentObject(b.dc, OBJ_PEN);
  TCanvas canvas;
  canvas.SetHandle(b.dc);
  canvas.Brush()->SetColor(clWhite);
  canvas.FillRect(Rect(0, 0, 20, 10));
  canvas.Pen()->SetColor(clRed);
  canvas.MoveTo(2, 5);
  canvas.LineTo(12, 5);  // the last pixel is left out
  EXPECT_EQ(b.At(2, 5), RGB(255, 0, 0));
  EXPECT_EQ(b.At(11, 5), RGB(255, 0, 0));
  EXPECT_EQ(b.At(12, 5), RGB(255, 255, 255));
  EXPECT_EQ(canvas.PenPos().x, 12);

  // XOR drawn twice restores the picture.
  canvas.Pen()->SetMode(pmXor);
  canvas.Pen()->SetColor(clWhite);
  for (int pass = 0; pass < 2; ++pass) {
    canvas.MoveTo(0, 5);
    canvas.LineTo(20, 5);
    EXPECT_EQ(b.At(5, 5), pass == 0 ? RGB(0, 255, 255) : RGB(255, 0, 0));
  }
  canvas.SetHandle(nullptr);
  EXPECT_EQ(GetCurrentObject(b.dc, OBJ_PEN), ownPen);
}

// A pen, brush or font changed while the canvas has it selected (as a grid
// does from cell to cell) gives its old handle back: the context gets its
// own object again first, since a selected object cannot be deleted.
TEST(Canvas, ChangingASelectedDrawingObjectDeletesItsOldHandle) {
  struct Case {
    const char *object;
    int kind;
    void (*draw)(TCanvas &);
    void (*change)(TCanvas &, int);
  } cases[] = {
      {"pen", OBJ_PEN, [](TCanvas &c) {
         c.MoveTo(0, 1);
         c.LineTo(10, 1);
       },
       [](TCanvas &c, int k) { c.Pen()->SetColor(k % 2 ? clRed : clBlue); }},
      {"brush", OBJ_BRUSH, [](TCanvas &c) { c.FillRect(Rect(0, 0, 10, 5)); },
       [](TCanvas &c, int k) { c.Brush()->SetColor(k % 2 ? clRed : clBlue); }},
      {"font", OBJ_FONT, [](TCanvas &c) { c.TextOut(0, 0, "8"); },
       [](TCanvas &c, int k) { c.Font()->SetHeight(-20 - k); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.object);
    Bitmap b(20, 10);
    const HGDIOBJ own = GetCurrentObject(b.dc, UINT(c.kind));
    const size_t before = platform::LiveGdiObjectCount();
    {
      TCanvas canvas;
      canvas.SetHandle(b.dc);
      c.draw(canvas);
      const size_t drawing = platform::LiveGdiObjectCount();
      for (int k = 1; k <= 3; ++k) {
        c.change(canvas, k);
        c.draw(canvas);
        EXPECT_EQ(platform::LiveGdiObjectCount(), drawing) << "change " << k;
      }
      canvas.SetHandle(nullptr);
      EXPECT_EQ(GetCurrentObject(b.dc, UINT(c.kind)), own);
    }
    EXPECT_EQ(platform::LiveGdiObjectCount(), before);
  }
}

TEST(Canvas, ImageListDrawsItsImagesWithTheMaskColourLeftOut) {
  Bitmap strip(8, 4);
  RECT left{0, 0, 4, 4}, right{4, 0, 8, 4};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), fuchsia = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(strip.dc, &left, red);
  FillRect(strip.dc, &right, fuchsia);
  SetPixelV(strip.dc, 5, 1, RGB(0, 0, 255));
  DeleteObject(red);
  DeleteObject(fuchsia);
  SelectObject(strip.dc, strip.old);  // a bitmap is read while no context holds it

  TImageList list(nullptr);
  list.SetSize(4, 4);
  TChangeLink link;
  int changes = 0;
  link.OnChange = [&](TObject *) { ++changes; };
  list.RegisterChanges(&link);
  EXPECT_EQ(list.AddMasked(strip.bitmap, clFuchsia), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(changes, 1);

  Bitmap target(4, 4);
  RECT all{0, 0, 4, 4};
  HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
  FillRect(target.dc, &all, green);
  DeleteObject(green);
  list.Draw(target.dc, 0, 0, 1);
  EXPECT_EQ(target.At(1, 1), RGB(0, 0, 255));
  EXPECT_EQ(target.At(0, 0), RGB(0, 128, 0));  // masked: the background stays
  SelectObject(strip.dc, strip.bitmap);
}

TEST(Canvas, ChangeLinkLosesItsListWhenTheListGoes) {
  TChangeLink link;
  {
    TImageList list(nullptr);
    list.RegisterChanges(&link);
    EXPECT_EQ(link.Sender, &list);
  }
  EXPECT_EQ(link.Sender, nullptr);
}

// A sheet of the class library's controls, for a person to look at:
// <build>/pictures/classlib_controls.png.
TEST(Pictures, SheetOfTheControls) {
  ViewHarness harness;
  testing_support::PictureSheet sheet(4);
  TForm form(nullptr);
  form.SetBounds(0, 0, 640, 400);
  form.Show();
  auto place = [&](TControl *c, int x, int y, int w, int h) {
    c->SetParent(&form);
    c->SetBounds(x, y, w, h);
    return c;
  };
  auto *label = new TLabel(&form);
  label->SetCaption("标签 Label");
  place(label, 8, 8, 100, 16);
  auto *button = new TButton(&form);
  button->SetCaption("确定");
  place(button, 8, 32, 75, 25);
  auto *defButton = new TButton(&form);
  defButton->SetCaption("默认");
  defButton->SetDefault(true);
  place(defButton, 90, 32, 75, 25);
  auto *check = new TCheckBox(&form);
  check->SetCaption("使用代理服务器");
  check->SetChecked(true);
  place(check, 8, 64, 140, 17);
  auto *radio = new TRadioButton(&form);
  radio->SetCaption("电信");
  radio->SetChecked(true);
  place(radio, 8, 88, 100, 17);
  auto *group = new TGroupBox(&form);
  group->SetCaption("分组");
  place(group, 170, 8, 150, 80);
  auto *panel = new TPanel(&form);
  panel->SetCaption("面板");
  place(panel, 170, 96, 150, 41);
  auto *edit = new TEdit(&form);
  edit->SetText("编辑 12.5");
  place(edit, 8, 112, 150, 21);
  auto *memo = new TMemo(&form);
  memo->Lines()->Add("第一行");
  memo->Lines()->Add("second line");
  place(memo, 8, 140, 150, 60);
  auto *radios = new TRadioGroup(&form);
  radios->SetCaption("网络类型");
  place(radios, 170, 144, 150, 70);
  radios->Items()->Add("电信");
  radios->Items()->Add("网通");
  radios->SetItemIndex(1);
  auto *box = new TPaintBox(&form);
  place(box, 330, 8, 60, 40);
  box->OnPaint = [box](TObject *) {
    TCanvas *c = box->Canvas();
    c->Brush()->SetColor(clNavy);
    c->Ellipse(0, 0, box->Width(), box->Height());
  };
  harness.Pump();
  for (TControl *c : std::initializer_list<TControl *>{label, button, defButton, check, radio, group, panel, edit, memo,
                                                       radios, box})
    sheet.Add(c->ClassName(), harness.Render(c));
  sheet.Add("TForm", harness.Render(form.Handle()));

  // A popup menu as it shows.
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING | MF_CHECKED, 1, "报价画面(&P)");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_GRAYED, 2, "闪电图(&T)");
  AppendMenuA(menu, MF_STRING, 3, "关闭窗口\tCtrl+F4");
  harness.Soon([&] {
    HWND popup = GetCapture();
    SendMessageA(popup, MN_SELECTITEM, 3, 0);
    sheet.Add("popup menu", harness.Render(popup));
    EndMenu();
  });
  TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, form.Handle(), nullptr);
  DestroyMenu(menu);

  std::string path = harness.SavePng(sheet.Compose(), "classlib_controls");
  EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull());
  // The default button's black frame and the navy ellipse are where they belong.
  EXPECT_EQ(harness.Pixel(defButton, 0, 12), RGB(0, 0, 0));
  EXPECT_EQ(harness.Pixel(box, 30, 20), ColorToRGB(clNavy));
}

}  // namespace
