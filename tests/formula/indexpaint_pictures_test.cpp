// Sheets of painted indicator windows for a person to look at, and every
// formula of the system library painted through the window harness.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formula/kvindexlib.h"
#include "formula/libsource.h"
#include "testing/image_capture.h"
#include "testing/index_window.h"
#include "testing/system_library.h"
#include "testing/view_harness.h"

namespace {

using testing_support::IndexWindowRender;
using testing_support::PictureSheet;

void Save(const PictureSheet &sheet, const std::string &name) {
  EXPECT_TRUE(sheet.Compose().save(QString::fromStdString(testing_support::PicturePath(name))));
}

// A window of the formula over 60 walk bars, added to the sheet.
void AddWindow(PictureSheet &sheet, const std::string &label, const std::string &text, int kLineMode = 0,
               const std::function<void(IndexWindowRender &)> &setup = {}) {
  IndexWindowRender w(320, 180);
  if (!w.Load(text, IndexWindowRender::WalkBars(60))) return;
  SetIndexKLineMode(kLineMode);
  if (setup) setup(w);
  w.Paint();
  EXPECT_TRUE(w.ranged || w.fixedRange) << text;
  sheet.Add(label, w.Image());
}

TEST(IndexPictures, Sheets) {
  PictureSheet styles(3);
  const char *lines[][2] = {
      {"line", "X:MA(C,5);Y:MA(C,20),LINETHICK2;"},
      {"COLORSTICK", "X:C-MA(C,10),COLORSTICK;"},
      {"VOLSTICK", "X:VOL,VOLSTICK;"},
      {"CIRCLEDOT", "X:MA(C,5),CIRCLEDOT;"},
      {"KSTICK", "K:C,KSTICK;"},
      {"BARSTICK", "K:C,BARSTICK;"},
      {"TOWERSTICK", "T:C,TOWERSTICK;"},
      {"STICK", "X:C-MA(C,10),STICK;"},
      {"POINTDOT", "X:MA(C,5),POINTDOT,LINETHICK3;"},
      {"CROSSDOT", "X:MA(C,5),CROSSDOT;"},
      {"SSL_KIVOINTERNAL", "X:C,SSL_KIVOINTERNAL;"},
      {"selected line", "X:MA(C,5);"},
  };
  for (const auto &l : lines)
    AddWindow(styles, l[0], l[1], 0, [&l](IndexWindowRender &w) { w.formula.selected = l[0][0] == 's'; });
  Save(styles, "painter-styles.png");

  PictureSheet candles(2);
  AddWindow(candles, "filled", "K:C,KSTICK;");
  AddWindow(candles, "hollow (KLineMode 1)", "K:C,KSTICK;", 1);
  AddWindow(candles, "hollow towers", "T:C,TOWERSTICK;", 1);
  AddWindow(candles, "hollow volumes", "X:VOL,VOLSTICK;", 1);
  Save(candles, "painter-candles-hollow.png");

  PictureSheet bands(2);
  AddWindow(bands, "bands and line", "X:C,SSL_KIVOINTERNAL;");
  AddWindow(bands, "bands, inverted", "X:C,SSL_KIVOINTERNAL;", 0, [](IndexWindowRender &w) { w.inverted = 1; });
  Save(bands, "painter-volume-bands.png");

  PictureSheet scales(2);
  AddWindow(scales, "percent of the first close", "K:C,KSTICK;", 0, [](IndexWindowRender &w) {
    w.percentMode = 1;
    w.percentBase = w.bars[w.Window().first].close / 100.0;
  });
  AddWindow(scales, "values around zero", "X:C-MA(C,10),COLORSTICK;");
  AddWindow(scales, "reference lines", "RSI:SMA(MAX(C-REF(C,1),0),6,1)/SMA(ABS(C-REF(C,1)),6,1)*100;", 0,
            [](IndexWindowRender &w) {
              w.formula.AddRefLine(20, 0);
              w.formula.AddRefLine(80, 0);
            });
  AddWindow(scales, "ten thousands", "X:VOL*10,VOLSTICK;");
  Save(scales, "painter-scale-percent.png");

  PictureSheet marks(2);
  static const IndexPositionMark positions[4] = {
      {{}, {}, '0', '1', {}, 2, 3450000, 10}, {{}, {}, '1', '1', {}, 1, 3400000, 10}};
  static IndexOrderMark orders[4] = {};
  orders[0].direction = '0';
  orders[0].offset = '0';
  orders[0].volume = 3;
  orders[0].price = 3300000;
  orders[1].direction = '1';
  orders[1].offset = '1';
  orders[1].volume = 1;
  orders[1].price = 9999000;  // above the range: on its top row
  AddWindow(marks, "positions and orders", "K:C,KSTICK;", 0, [](IndexWindowRender &w) {
    w.positions = positions;
    w.orders = orders;
    w.lastPrice = w.bars.back().close / 100.0;
  });
  AddWindow(marks, "no latest price", "K:C,KSTICK;", 0, [](IndexWindowRender &w) { w.positions = positions; });
  Save(marks, "trade-marks.png");

  PictureSheet draws(3);
  const char *statements[][2] = {
      {"DRAWTEXT", "X:C;DRAWTEXT(CROSS(C,MA(C,5)),L,'买'),COLORRED,VALIGN0;"},
      {"DRAWICON", "X:C;DRAWICON(CROSS(C,MA(C,5)),H,1);DRAWICON(CROSS(MA(C,5),C),L,2);"},
      {"DRAWBMP", "X:C;DRAWBMP(BARPOS=40,C,'up');"},
      {"DRAWBKBMP", "X:C;DRAWBKBMP(1,'down');"},
      {"DRAWGBK", "X:C;DRAWGBK(1,40,3932160,1);"},
      {"DRAWNUMBER", "X:C;DRAWNUMBER(MOD(BARPOS,10)=0,H,C,1),COLORYELLOW;"},
      {"FILLRGN", "A:MA(C,5);B:MA(C,10);FILLRGN(A>B,A,B),COLORRED;FILLRGN(A<B,A,B),COLORGREEN;"},
      {"STICKLINE", "STICKLINE(C>O,H,L,2,0),COLORRED;STICKLINE(C<=O,C,O,6,1),COLORGREEN;"},
      {"DRAWKLINE", "DRAWKLINE(H,O,L,C);"},
      {"DRAWBARLINE", "DRAWBARLINE(H,O,L,C);"},
      {"PARTLINE", "A:=MA(C,5);PARTLINE(A>REF(A,1),A),COLORRED;PARTLINE(A<=REF(A,1),A),COLORGREEN;"},
      {"POLYLINE", "X:C;POLYLINE(MOD(BARPOS,7)=0,C),COLORYELLOW;"},
      {"DRAWLINE", "X:C;DRAWLINE(MOD(BARPOS,20)=3,L,MOD(BARPOS,20)=12,H,1),COLORMAGENTA;"},
      {"DRAWSL", "X:C;DRAWSL(BARPOS=30,C,0.5,0,2),COLORCYAN;"},
      {"VERTLINE", "X:C;VERTLINE(MOD(BARPOS,15)=0),COLORBLUE;"},
  };
  for (const auto &d : statements) AddWindow(draws, d[0], d[1]);
  Save(draws, "draw-statements.png");

  PictureSheet align(3);
  for (int a = 0; a < 3; ++a)
    for (int v = 0; v < 4; ++v) {
      const std::string options = ",ALIGN" + std::to_string(a) + ",VALIGN" + std::to_string(v);
      AddWindow(align, options.substr(1), "X:C;DRAWTEXT(BARPOS=30,C,'文字'),COLORYELLOW" + options + ";");
    }
  Save(align, "draw-text-align.png");
}

TEST(IndexPictures, EverySystemFormulaPaints) {
  CKvIndexManager library;
  std::string error;
  ASSERT_TRUE(ReadIndexLibrarySource(testing_support::ReadWholeFile(testing_support::SystemLibrarySource()),
                                     library, &error))
      << error;
  PictureSheet sheet(4);
  uint32_t painted = 0;
  for (uint32_t i = 0; const CKvIndex *f = library.GetIndexAt(i); ++i) {
    SCOPED_TRACE(f->name);
    IndexWindowRender w(320, 180);
    ASSERT_EQ(library.CopyIndex(f->name, &w.formula), 1);
    w.Calculate(IndexWindowRender::WalkBars(120));
    w.Paint();
    // Point-and-figure lines draw nothing here (their chart is elsewhere).
    bool drawable = false;
    for (const auto &v : w.formula.variables)
      drawable = drawable || ((v->flags & kVariableOutput) && v->style != kStylePointFigure);
    sheet.Add(f->name, w.Image());
    if (!drawable) continue;
    EXPECT_TRUE(w.ranged);
    EXPECT_LT(w.Count(w.scheme.colors[0]), (w.plot.right - w.plot.left) * (w.plot.bottom - w.plot.top)) << "blank";
    ++painted;
  }
  EXPECT_GE(painted, 13u);
  Save(sheet, "system-formulas.png");
}

}  // namespace
