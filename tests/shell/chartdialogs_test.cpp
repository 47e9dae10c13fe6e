// The chart views' dialogs as the main window provides them: the property
// commands of the K-line and intraday views open the options dialog in its
// chart forms and apply what it returns; the interval statistics open the
// statistics dialog over the view's bars.
#include <gtest/gtest.h>

#include <functional>

#include "../charts/techform_world.h"
#include "charts/quotepanel.h"
#include "charts/rendform.h"
#include "charts/zonestatdlg.h"
#include "platform/winuser.h"
#include "shell/chartdialogs.h"
#include "shell/quoteoptiondlg.h"

namespace {

using kline_test::TechFormTest;

class ChartDialogsTest : public TechFormTest {
 protected:
  ChartDialogsTest() {
    RegisterIntradayView();
    InstallChartDialogs();
  }
  ~ChartDialogsTest() override {
    KLinePropertyDialog() = nullptr;
    RendPropertyDialog() = nullptr;
    KLineZoneStatDialog() = nullptr;
    RegisterViewClass(VIEW_TYPE_INTRADAY, nullptr);
  }
  // Runs the script inside the next modal loop on the dialog it shows; a
  // dialog of another class is refused with Esc so the test cannot hang.
  template <class Dialog>
  void OnDialog(const std::function<void(Dialog &)> &script) {
    harness_.Soon([this, script] {
      harness_.Pump();
      auto *dialog = dynamic_cast<Dialog *>(Application()->ActiveForm());
      if (!dialog) {
        ADD_FAILURE() << "no dialog of the expected class";
        harness_.Key(VK_ESCAPE);
        return;
      }
      script(*dialog);
    });
  }
};

TEST_F(ChartDialogsTest, KLinePropertiesApplyOnOkOnly) {
  for (bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    auto page = Open(Data({"K", "VOL"}));
    TTechForm *v = View(*page);
    Feed(v, 120);
    v->m_attr.displayFlags = 0;
    OnDialog<TQuoteOptionDlg>([&](TQuoteOptionDlg &d) {
      // The chart page alone, without the intraday group and the K-line
      // defaults, in the page list's place.
      EXPECT_FALSE(d.XPListBox1->Visible());
      EXPECT_EQ(d.Panel1->Left(), d.XPListBox1->Left());
      EXPECT_FALSE(d.GroupBox2->Visible());
      EXPECT_FALSE(d.XPEdit1->Visible());
      EXPECT_TRUE(d.XPCheckBox6->Visible());
      EXPECT_EQ(d.XPCheckBox2->Checked(), v->Panel1->Visible());
      EXPECT_TRUE(d.XPCheckBox14->Checked());
      d.XPCheckBox3->SetChecked(true);    // panel on the left
      d.XPCheckBox14->SetChecked(false);  // no position and order lines
      d.XPCheckBox4->SetChecked(true);    // scale on the right
      if (ok) d.XPButton1Click(nullptr);
      else d.SetModalResult(mrCancel);
    });
    v->NPropertyClick();
    const uint32_t expected = ok ? 0x4 | 0x40 | 0x4000 : 0;
    EXPECT_EQ(v->m_attr.displayFlags & (0x4 | 0x40 | 0x4000), expected);
    EXPECT_EQ(v->Panel1->Align() == alLeft, ok);
  }
}

TEST_F(ChartDialogsTest, IntradayPropertiesApplyTheTrendGroup) {
  VIEW_ATTR_13 record{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &record);
  record.stock = Stock(charts_test::SH, 1);
  auto page = std::make_unique<testing_support::ViewPage>(VIEW_TYPE_INTRADAY, &record, 800, 500);
  harness_.Pump();
  TRendForm *v = page->View<TRendForm>();
  ASSERT_NE(v, nullptr);
  v->m_attr.displayFlags = 0x2000;
  uint8_t firstItem = 0;
  OnDialog<TQuoteOptionDlg>([&](TQuoteOptionDlg &d) {
    EXPECT_FALSE(d.XPListBox1->Visible());
    EXPECT_FALSE(d.GroupBox1->Visible());
    EXPECT_TRUE(d.GroupBox2->Visible());
    EXPECT_FALSE(d.XPComboBox6->Visible());
    EXPECT_TRUE(d.XPCheckBox5->Checked());
    EXPECT_FALSE(d.XPCheckBox13->Checked());  // 0x2000: interest not raised
    d.XPCheckBox5->SetChecked(false);         // not centred on the close
    d.XPCheckBox11->SetChecked(false);        // no average in the tick chart
    d.XPCheckBox12->SetChecked(true);         // red and green volume
    d.XPCheckBox13->SetChecked(true);
    ASSERT_GT(d.XPCheckListBox1->Count(), 1);
    firstItem = uint8_t(d.ItemCodeAt(0));
    d.XPCheckListBox1->SetChecked(0, false);
    d.XPButton1Click(nullptr);
  });
  v->NPropertyClick();
  EXPECT_EQ(v->m_attr.displayFlags & (0x8 | 0x400 | 0x1000 | 0x2000), 0x8u | 0x400 | 0x1000);
  EXPECT_EQ(v->Tick.averageShown, 0);
  // The unticked first item left the panel's list, which the market group keeps.
  EXPECT_NE(v->DetailItems()[0], firstItem);
  uint8_t stored[32] = {};
  LoadMarketDetailItems(v->m_attr.stock.market, stored);
  EXPECT_EQ(stored[0], v->DetailItems()[0]);
}

TEST_F(ChartDialogsTest, IntervalStatisticsOpenOverTheShownBars) {
  auto page = Open(Data({"K", "VOL"}));
  TTechForm *v = View(*page);
  Feed(v, 120);
  v->UpdateScreen(true);
  const uint32_t first = v->FirstVisibleBar();
  int start = -2, end = -2;
  OnDialog<TZoneStatDlg>([&](TZoneStatDlg &d) {
    EXPECT_TRUE(KLineZoneStatShowing());
    start = d.StartIndex;
    end = d.EndIndex;
    d.SetModalResult(mrCancel);
  });
  host_.calls.clear();
  v->NZoneStatClick();
  EXPECT_EQ(start, int(first));
  EXPECT_EQ(end, 119);
  EXPECT_FALSE(KLineZoneStatShowing());
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"SetDialogOpen 1", "SetDialogOpen 0"}));
}

}  // namespace
