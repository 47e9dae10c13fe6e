// Where the frame's dialogs and windows open: over the middle of the window
// that owns them, and in the middle of the screen when nothing owns them;
// never at the screen's top-left corner.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <functional>
#include <memory>

#include "market/dataio5.h"
#include "market/logindlg.h"
#include "shell/alarm.h"
#include "shell/alarmdlg.h"
#include "shell/hotkeydlg.h"
#include "shell/quoteconn.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/view_harness.h"

using namespace market_fixture;

namespace {

TEST(DialogPlaces, DialogsOpenCentredOnTheirOwner) {
  testing_support::ViewHarness harness;
  MarketSandbox box;
  WriteDataSet(StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0)), box.Root());
  BuildMarketTableOffline();
  AlarmEngine = new TAlarm(false);
  // The owner over the screen's left part, so that its centre is not the
  // screen's and every dialog fits inside it.
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  TForm owner(nullptr);
  owner.SetBounds(screen.left(), screen.top(), screen.width() / 2 + 200, screen.height());
  owner.Show();
  harness.Pump();
  struct Case {
    const char *name;
    bool owned;
    std::function<TForm *(TForm *)> make;
  } cases[] = {
      {"hot-key help", true, [](TForm *o) { return new Thotkeydlg(o); }},
      {"alarm settings", true, [](TForm *o) { return new TAlartfm(o); }},
      {"alarm list", false, [](TForm *) { return new TAlarmWin(nullptr); }},
      {"password change", true, [](TForm *o) { return new TChangeDiag(o, false); }},
      {"network settings", true, [](TForm *o) { return new TQuoteNetworkDlg(o); }},
      {"new server", true, [](TForm *o) { return new TForm_AddSrv(o); }},
  };
  for (const Case &c : cases) {
    std::unique_ptr<TForm> form(c.make(&owner));
    form->Show();
    harness.Pump();
    const int areaLeft = c.owned ? owner.Left() : screen.left();
    const int areaTop = c.owned ? owner.Top() : screen.top();
    const int areaWidth = c.owned ? owner.Width() : screen.width();
    const int areaHeight = c.owned ? owner.Height() : screen.height();
    EXPECT_EQ(form->Left(), areaLeft + (areaWidth - form->Width()) / 2) << c.name;
    EXPECT_EQ(form->Top(), areaTop + (areaHeight - form->Height()) / 2) << c.name;
    form->Hide();
  }
  FreeAlarmWindows();
  delete AlarmEngine;
  AlarmEngine = nullptr;
  FreeMarketTable();
}

}  // namespace
