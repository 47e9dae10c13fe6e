#include "shell/framechrome.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "classlib/graphics.h"
#include "core/emenubar.h"
#include "platform/profile.h"
#include "shell/frameskin.h"
#include "shell/framemenus.h"
#include "shell/tradesort.h"
#include "testing/skin_fixture.h"
#include "testing/view_harness.h"

namespace {

using skin_fixture::SkinSandbox;

TEST(FrameSkin, AMissingSkinFileGivesEveryDefault) {
  SkinSandbox box;
  TFrameSkin skin;
  skin.toolBarButtonWidth = 99;
  ReadFrameSkin(".\\skin\\7\\7\\skin.ini", &skin);
  const TFrameSkin d;
  EXPECT_EQ(skin.toolBarButtonWidth, 28);
  EXPECT_EQ(skin.hotBackground, 13041111u);
  EXPECT_EQ(skin.captionText, 255u);
  EXPECT_STREQ(skin.fontName, "宋体");
  EXPECT_STREQ(skin.captionFontName, "隶书");
  EXPECT_EQ(skin.captionFontSize, 14);
  EXPECT_EQ(skin.menuDark, 8937485u);
  EXPECT_EQ(skin.menuLight, 13680799u);
  EXPECT_EQ(skin.splitter, 16777215u);
  EXPECT_EQ(skin.windowBorder[0], 0u);
  EXPECT_EQ(skin.windowBorder[2], 16777215u);
  EXPECT_EQ(std::vector<COLORREF>(skin.tabSet, skin.tabSet + 7), std::vector<COLORREF>(d.tabSet, d.tabSet + 7));
  EXPECT_EQ(skin.statusBarHeight, 0);
}

TEST(FrameSkin, ValuesOfTheFileReplaceTheDefaultsAndALongFontNameIsCut) {
  SkinSandbox box;
  std::filesystem::create_directories(box.Path("prog/skin/1/2"));
  const char *ini = ".\\skin\\1\\2\\skin.ini";
  WritePrivateProfileStringA("Color", "StatusTextRed", "255", ini);
  WritePrivateProfileStringA("Color", "PageBarHotText", "65280", ini);
  WritePrivateProfileStringA("Font", "Name", std::string(40, 'A').c_str(), ini);
  WritePrivateProfileStringA("UI", "ToolBarButtonWidth", "31", ini);
  WritePrivateProfileStringA("UI", "StatusBarHeight", "25", ini);
  TFrameSkin skin;
  ReadFrameSkin(ini, &skin);
  EXPECT_EQ(skin.statusTextRed, 255u);
  EXPECT_EQ(skin.pageBarHotText, 65280u);
  EXPECT_EQ(std::strlen(skin.fontName), 31u);
  EXPECT_EQ(skin.toolBarButtonWidth, 31);
  EXPECT_EQ(skin.statusBarHeight, 25);
  EXPECT_EQ(skin.toolBarButtonHeight, 22);
}

TEST(FrameSkin, TheIndexPanelTakesTheRestBelow804PixelsAnd686From) {
  struct Case {
    int width, expected;
  } cases[] = {{803, 803 - 36 - 83}, {804, 686}, {1200, 686}, {300, 300 - 36 - 83}};
  for (const Case &c : cases) EXPECT_EQ(IndexPanelWidth(c.width, 36, 83), c.expected) << c.width;
}

TPixelPicture Solid(int w, int h, COLORREF c) {
  TPixelPicture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(size_t(w * h), c);
  return p;
}

TEST(FrameSkin, TheStatusBackgroundBlendsBetweenTheEndPictures) {
  const TPixelPicture left = Solid(3, 2, RGB(200, 0, 100)), right = Solid(2, 2, RGB(0, 200, 100));
  const TPixelPicture out = BuildStatusBackground(10, 3, left, right);
  ASSERT_EQ(out.width, 10);
  // columns 3..7 between; t = (x - 3) / 4
  EXPECT_EQ(out.At(3, 0), RGB(200, 0, 100));
  EXPECT_EQ(out.At(5, 1), RGB(100, 100, 100));
  EXPECT_EQ(out.At(7, 0), RGB(0, 200, 100));
  EXPECT_EQ(out.At(8, 0), RGB(0, 200, 100));
  // rows below the left picture stay as they were
  EXPECT_EQ(out.At(5, 2), RGB(0, 0, 0));
}

TEST(FrameSkin, NoBlendWithoutRoomOrWithoutAPicture) {
  const TPixelPicture left = Solid(3, 2, RGB(200, 0, 0)), right = Solid(2, 2, RGB(0, 200, 0)), none;
  struct Case {
    const char *what;
    int width;
    const TPixelPicture &l, &r;
    int probeX;
    COLORREF expected;
  } cases[] = {
      {"one column between", 6, left, right, 3, RGB(0, 0, 0)},
      {"nothing between", 5, left, right, 2, RGB(200, 0, 0)},
      {"pictures overlap", 4, left, right, 1, RGB(200, 0, 0)},
      {"no right picture", 10, left, none, 5, RGB(0, 0, 0)},
      {"no left picture", 10, none, right, 5, RGB(0, 0, 0)},
  };
  for (const Case &c : cases) {
    const TPixelPicture out = BuildStatusBackground(c.width, 2, c.l, c.r);
    ASSERT_EQ(out.width, c.width) << c.what;
    EXPECT_EQ(out.At(c.probeX, 0), c.expected) << c.what;
  }
}

TEST(FrameSkin, TheGradientOfARowOnePixelHighIsTheTopColour) {
  EXPECT_EQ(GradientRowColor(RGB(250, 10, 0), RGB(50, 10, 200), 0, 1), RGB(250, 10, 0));
  EXPECT_EQ(GradientRowColor(RGB(250, 10, 0), RGB(50, 10, 200), 0, 3), RGB(250, 10, 0));
  EXPECT_EQ(GradientRowColor(RGB(250, 10, 0), RGB(50, 10, 200), 1, 3), RGB(150, 10, 100));
  EXPECT_EQ(GradientRowColor(RGB(250, 10, 0), RGB(50, 10, 200), 2, 3), RGB(50, 10, 200));
}

// ---- the chrome on a form ----

class ChromeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 1024, 700);
    chrome = std::make_unique<TFrameChrome>(&form, &menu);
    form.Show();
    h.Pump();
  }
  testing_support::ViewHarness h;
  SkinSandbox box;
  TForm form{nullptr};
  TMainMenu menu{&form};
  std::unique_ptr<TFrameChrome> chrome;
};

TEST_F(ChromeTest, TheTwoLayoutsPlaceTheToolBarAndThePageBar) {
  chrome->LayoutToolBars(0);
  h.Pump();
  EXPECT_EQ(chrome->ToolBar1->Align(), alLeft);
  EXPECT_TRUE(chrome->Button("ToolButton2")->Visible());
  EXPECT_TRUE(chrome->Button("ToolButton3")->Visible());
  const TToolButton *first = chrome->Button("ToolButton1"), *second = chrome->Button("ToolButton2");
  EXPECT_EQ(first->Left(), second->Left());
  EXPECT_EQ(second->Top(), first->Top() + chrome->ToolBar1->ButtonHeight);
  EXPECT_EQ(chrome->PagePanel->Align(), alTop);
  EXPECT_EQ(chrome->PagePanel->Height(), 26);
  EXPECT_EQ(chrome->PageLeftPanel->Align(), alLeft);
  EXPECT_EQ(chrome->PageLeftPanel->Width(), chrome->ToolBar1->Width());
  EXPECT_EQ(chrome->PageOther->Width(), 80);
  EXPECT_EQ(chrome->PageOther->Height(), 26);

  chrome->LayoutToolBars(1);
  h.Pump();
  EXPECT_EQ(chrome->ToolBar1->Align(), alTop);
  EXPECT_FALSE(chrome->Button("ToolButton2")->Visible());
  EXPECT_FALSE(chrome->Button("ToolButton3")->Visible());
  const TToolButton *fourth = chrome->Button("ToolButton4");
  EXPECT_EQ(fourth->Top(), first->Top());
  EXPECT_EQ(fourth->Left(), first->Left() + chrome->ToolBar1->ButtonWidth);
  EXPECT_EQ(chrome->PagePanel->Align(), alLeft);
  EXPECT_EQ(chrome->PagePanel->Width(), 26);
  EXPECT_EQ(chrome->PageOther->Width(), 26);
  EXPECT_EQ(chrome->PageOther->Height(), 82);

  // any other value changes nothing
  chrome->LayoutToolBars(2);
  EXPECT_EQ(chrome->ToolBar1->Align(), alTop);
}

TEST_F(ChromeTest, PeriodButtonsShowOnlyInLayoutOneForAPeriodView) {
  bool periodView = true;
  chrome->periodViewActive = [&] { return periodView; };
  struct Case {
    int layout;
    bool periodView;
    bool shown, separator;
  } cases[] = {{0, true, false, false}, {0, false, false, false}, {1, true, true, true}, {1, false, false, true}};
  for (const Case &c : cases) {
    periodView = c.periodView;
    chrome->LayoutToolBars(c.layout);
    EXPECT_EQ(chrome->Button("Cycle1")->Visible(), c.shown) << c.layout << c.periodView;
    EXPECT_EQ(chrome->Button("CycleTick")->Visible(), c.shown) << c.layout << c.periodView;
    EXPECT_EQ(chrome->Button("ToolButton16")->Visible(), c.separator) << c.layout << c.periodView;
  }
}

TEST_F(ChromeTest, PeriodButtonsAreAsWideAsTheirCaptionsAndFollowEachOther) {
  chrome->periodViewActive = [] { return true; };
  chrome->ToolBar1->ButtonWidth = 28;  // the skins' button width, narrower than most captions
  chrome->LayoutToolBars(1);
  h.Pump();
  HDC dc = GetDC(nullptr);
  TCanvas canvas;
  canvas.SetHandle(dc);
  int right = 0;
  for (const char *name : {"CycleReport", "CycleTrend", "CycleTick", "Cycle1", "Cycle5", "Cycle6", "Cycle12", "Cycle13",
                           "Cycle14"}) {
    TToolButton *b = chrome->Button(name);
    ASSERT_TRUE(b && b->Visible()) << name;
    canvas.Font()->Assign(b->Font());
    EXPECT_GE(b->Width(), canvas.TextWidth(b->Caption())) << name;
    EXPECT_GE(b->Width(), chrome->ToolBar1->ButtonWidth) << name;
    EXPECT_GE(b->Left(), right) << name;  // no caption runs into the next button
    right = b->Left() + b->Width();
  }
  canvas.SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  // The picture buttons keep the bar's button width.
  EXPECT_EQ(chrome->Button("ToolButton4")->Width(), chrome->ToolBar1->ButtonWidth);
}

TEST_F(ChromeTest, ViewToolsOfKLineAndReportViews) {
  chrome->LayoutToolBars(0);
  chrome->ShowViewTools(false, 0);
  EXPECT_FALSE(chrome->Button("LineBtn")->Visible());
  EXPECT_FALSE(chrome->MenuItem("MenuItem117")->Visible);
  chrome->ShowViewTools(true, 0);
  EXPECT_TRUE(chrome->Button("LineBtn")->Visible());
  EXPECT_TRUE(chrome->MenuItem("MenuItem117")->Visible);
  chrome->LayoutToolBars(1);
  chrome->ShowViewTools(false, 0);
  EXPECT_TRUE(chrome->Button("LineBtn")->Visible());
  chrome->ShowViewTools(true, 3);
  EXPECT_TRUE(chrome->MenuItem("N2")->Visible);
  chrome->ShowViewTools(false, 3);
  EXPECT_FALSE(chrome->MenuItem("N2")->Visible);
}

TEST_F(ChromeTest, TheStatusBarSizesItsIndexPanelAndKeepsItsBackgroundAtTheSameWidth) {
  SkinLayout = 1;
  SkinNumber = 1;
  skin_fixture::WriteBmp24(box.Path("prog/skin/1/1/leftbottom.bmp"), 20, 22, [](int, int) { return RGB(0, 0, 200); });
  skin_fixture::WriteBmp24(box.Path("prog/skin/1/1/rightbottom.bmp"), 20, 22, [](int, int) { return RGB(200, 0, 0); });
  form.SetWidth(803);
  h.Pump();
  chrome->StatusBarResize();
  EXPECT_EQ(chrome->Panel2->Width(), chrome->StatusBar->Width() - 36 - 83);
  const HBITMAP built = chrome->statusBackground;
  ASSERT_NE(built, nullptr);
  chrome->StatusBarResize();
  EXPECT_EQ(chrome->statusBackground, built);
  form.SetWidth(1100);
  h.Pump();
  chrome->StatusBarResize();
  EXPECT_NE(chrome->statusBackground, nullptr);
  EXPECT_EQ(chrome->Panel2->Width(), 686);
  // The panels lie where their background slices are cut: the clock at the
  // right edge, the brand word left of it.
  EXPECT_EQ(chrome->Panel6->Left(), chrome->StatusBar->Width() - 36);
  EXPECT_EQ(chrome->Panel5->Left(), chrome->StatusBar->Width() - 36 - 83);
  SkinLayout = SkinNumber = 0;
}

TEST_F(ChromeTest, LoadingASkinWithoutPicturesKeepsEverythingWorking) {
  SkinLayout = 0;
  SkinNumber = 0;
  chrome->LoadSkin();
  EXPECT_EQ(chrome->toolBarBitmap, nullptr);
  EXPECT_EQ(chrome->skin.toolBarButtonWidth, 28);
  EXPECT_EQ(chrome->ToolBar1->ButtonWidth, 28);
  h.Pump();
}

// ---- the trading lists' sort orders ----

Trade_Lite Trade(const char *time, const char *id) {
  Trade_Lite t{};
  std::memcpy(t.TradeTime, time, std::min(std::strlen(time), sizeof t.TradeTime));
  std::memcpy(t.Text19, id, std::min(std::strlen(id), sizeof t.Text19));
  return t;
}

TEST(TradeSort, NightTradesComeFirstWithResortTrade) {
  SkinSandbox box;
  const char *ini = "..\\cfg\\NightTrade.ini";
  struct Case {
    const char *resort;
    const char *begin;
    const char *a;
    const char *b;
    int sign;  // of Compare(a, b)
  } cases[] = {
      {"0", "", "21:05:00", "09:30:00", 1},
      {"1", "", "21:05:00", "09:30:00", -1},
      {"1", "", "20:59:59", "09:30:00", 1},
      {"1", "1290", "21:05:00", "09:30:00", 1},  // begins 21:30
      {"1", "", "21:05:00", "23:10:00", -1},
  };
  for (const Case &c : cases) {
    WritePrivateProfileStringA("Option", "ResortTrade", c.resort, ini);
    WritePrivateProfileStringA("Option", "BeginMinute", c.begin[0] ? c.begin : nullptr, ini);
    const Trade_Lite a = Trade(c.a, "1"), b = Trade(c.b, "1");
    const int r = CompareTradesByTime(&a, &b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.resort << " " << c.begin << " " << c.a << " " << c.b;
  }
}

TEST(TradeSort, EqualTimesGoByTheTradeNumberAndASortReadsTheRuleOnce) {
  SkinSandbox box;
  WritePrivateProfileStringA("Option", "ResortTrade", "1", "..\\cfg\\NightTrade.ini");
  const Trade_Lite a = Trade("10:00:00", "   12"), b = Trade("10:00:00", "9");
  EXPECT_GT(CompareTradesByTime(&a, &b), 0);
  std::vector<Trade_Lite> trades = {Trade("10:00:00", "7"), Trade("21:01:00", "3"), Trade("09:00:00", "5"),
                                    Trade("10:00:00", "2")};
  // a full 21-character number field without a NUL
  std::memset(trades[0].Text19, '9', sizeof trades[0].Text19);
  SortTrades(trades.data(), int(trades.size()));
  std::vector<std::string> order;
  for (const Trade_Lite &t : trades) order.emplace_back(t.TradeTime, 8);
  EXPECT_EQ(order, (std::vector<std::string>{"21:01:00", "09:00:00", "10:00:00", "10:00:00"}));
  EXPECT_EQ(trades[2].Text19[0], '2');
}

TEST(TradeSort, OrdersContractsAndPositions) {
  CKivoOrderField o1{}, o2{};
  std::memcpy(o1.OrderRef, "100", 3);
  std::memcpy(o2.OrderRef, "99", 2);
  EXPECT_GT(CompareOrdersByRef(&o1, &o2), 0);
  std::memset(o1.OrderRef, '9', sizeof o1.OrderRef);  // 13 digits, no NUL, beyond 32 bits
  EXPECT_GT(CompareOrdersByRef(&o1, &o2), 0);
  EXPECT_LT(CompareOrdersByRef(&o2, &o1), 0);

  CContractInfo c1{}, c2{};
  c1.Stock = STKPTR(2, 0, 5);
  c2.Stock = STKPTR(2, 0, 300);
  EXPECT_LT(CompareContractsByStock(&c1, &c2), 0);
  c1.Stock.kind = 200;
  c2.Stock.kind = 3;
  EXPECT_GT(CompareContractsByStock(&c1, &c2), 0);
  c1.Stock.market = 1;
  EXPECT_LT(CompareContractsByStock(&c1, &c2), 0);

  InvestorPosition_Lite p1{}, p2{};
  std::memcpy(p1.InstrumentID, "cu2405", 6);
  std::memcpy(p2.InstrumentID, "CU2405", 6);
  p1.PosiDirection = p2.PosiDirection = '2';
  p1.Attribute = 1;
  p2.Attribute = 2;
  EXPECT_LT(ComparePositions(&p1, &p2), 0);
  p1.PosiDirection = '3';
  EXPECT_GT(ComparePositions(&p1, &p2), 0);
  std::memcpy(p2.InstrumentID, "AU2406", 6);
  EXPECT_GT(ComparePositions(&p1, &p2), 0);
}

}  // namespace

namespace {

// A skin of our own in the sandbox: status-bar ends, a tool-bar strip and
// colours for the bars.
void WriteSkinFolder(const SkinSandbox &box, int layout, int number) {
  const std::string folder = box.Path("prog/skin/" + std::to_string(layout) + "/" + std::to_string(number) + "/");
  std::filesystem::create_directories(folder);
  skin_fixture::WriteBmp24(folder + "leftbottom.bmp", 30, 22, [](int, int) { return RGB(20, 40, 90); });
  skin_fixture::WriteBmp24(folder + "rightbottom.bmp", 30, 22, [](int, int) { return RGB(90, 130, 190); });
  skin_fixture::WriteBmp24(folder + "lefttop.bmp", 120, 28, [](int x, int) { return RGB(20, 40, BYTE(90 + x / 2)); });
  skin_fixture::WriteBmp24(folder + "toolbar.bmp", 16 * 15, 16, [](int x, int y) {
    const int i = x / 16, u = x % 16;
    return u > 2 && u < 13 && y > 2 && y < 13 ? RGB(BYTE(60 + i * 12), 200, BYTE(240 - i * 10)) : RGB(255, 0, 255);
  });
  std::ofstream(folder + "skin.ini", std::ios::binary)
      << "[Color]\r\nToolBarTop=" << RGB(70, 110, 160) << "\r\nToolBarBottom=" << RGB(18, 36, 66)
      << "\r\nToolBarMask=" << RGB(255, 0, 255) << "\r\nPageBarTop=" << RGB(60, 90, 140)
      << "\r\nPageBarBottom=" << RGB(18, 36, 66) << "\r\nPageBarSelectedTop=" << RGB(120, 160, 210)
      << "\r\nPageBarSelectedBottom=" << RGB(60, 90, 140) << "\r\nPageBarText=" << RGB(220, 225, 235)
      << "\r\nPageBarHotText=" << RGB(255, 255, 255) << "\r\n";
}

TEST_F(ChromeTest, BothLayoutsAndAFrameWithoutASkinArePictured) {
  struct Case {
    int layout;
    bool skinned;
    const char *picture;
  } cases[] = {{0, true, "frame-layout0"}, {1, true, "frame-layout1"}, {1, false, "frame-no-skin"}};
  for (const Case &c : cases) {
    if (c.skinned) WriteSkinFolder(box, c.layout, 1);
    SkinLayout = c.layout;
    SkinNumber = c.skinned ? 1 : 5;
    chrome->Page[0]->SetCaption("期货报价");
    chrome->Page[0]->Tag = 1;
    chrome->Page[0]->Show();
    chrome->Page[1]->SetCaption("主力合约");
    chrome->Page[1]->Tag = 2;
    chrome->Page[1]->Show();
    chrome->Page[0]->SetDown(true);
    chrome->PageOther->SetDown(false);
    chrome->LayoutToolBars(c.layout);
    chrome->LoadSkin();
    h.Pump();
    const QImage image = h.Render(form.Handle());
    h.SavePng(image, c.picture);
    if (!c.skinned) {
      EXPECT_EQ(chrome->toolBarBitmap, nullptr);
      continue;
    }
    ASSERT_NE(chrome->toolBarBitmap, nullptr);
    // The tool bar's gradient starts in ToolBarTop at its first row, beside
    // the buttons.
    TToolBar *bar = chrome->ToolBar1;
    const int x = c.layout == 1 ? bar->Width() - 5 : bar->Width() / 2;
    const int y = c.layout == 1 ? 0 : bar->Height() - 2;
    const COLORREF expected = c.layout == 1 ? RGB(70, 110, 160)
                                            : GradientRowColor(RGB(70, 110, 160), RGB(18, 36, 66), y, bar->Height());
    EXPECT_EQ(h.Pixel(bar->Handle(), x, y), expected) << c.picture;
  }
  SkinLayout = SkinNumber = 0;
}

}  // namespace
