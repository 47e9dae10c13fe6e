// The account report's page in the real engine: the dialog builds it from
// a small period and shows it with its stylesheet and its balance chart.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <filesystem>

#include "classlib/richview.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/market_fixture_min.h"
#include "testing/pump.h"
#include "testing/view_harness.h"
#include "trading/accountreport.h"
#include "trading/tongjidlg.h"

namespace {

int CountColour(const QImage &image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == colour;
  return n;
}

TEST(AccountReportPage, ShowsWithItsStylesheetAndChart) {
  platform::AllowWebEngine(true);
  testing_support::ViewHarness h;
  market_fixture::MarketSandbox box;
  const std::filesystem::path files = std::filesystem::path(KIVO_SOURCE_DIR) / "trading/reportfiles";
  std::filesystem::create_directories("images");
  std::filesystem::copy_file(files / "style.css", "style.css");
  std::filesystem::copy_file(files / "images/Sample.bmp", "images/Sample.bmp");

  TAccountReport report;
  {
    TTongJiDlg dialog(nullptr, report);
    snprintf(report.accountId, sizeof report.accountId, "880001");
    snprintf(report.holderName, sizeof report.holderName, "张三");
    snprintf(report.startDate, sizeof report.startDate, "20240102");
    snprintf(report.endDate, sizeof report.endDate, "20240131");
    report.priceBegin.Add(PriceBegin{"", 1000000});
    const double balances[] = {1012000, 1008000, 1031000, 1049000, 1077000, 1101000, 1125000, 1161000, 1190000};
    for (int i = 0; i < 9; ++i) {
      PriceBegin p{};
      snprintf(p.date, sizeof p.date, "202401%02d", 3 * i + 3);
      p.value = balances[i];
      report.priceBegin.Add(p);
    }
    report.priceEnd.Add(PriceEnd{"20240129", 1190000});
    report.fees.Add(ShouXuFei{120});
    ChengJiaoJiLu trade{};
    snprintf(trade.contract, sizeof trade.contract, "cu2405");
    snprintf(trade.direction, sizeof trade.direction, "卖");
    snprintf(trade.openClose, sizeof trade.openClose, "平仓");
    trade.volume = 2;
    trade.closeProfit = 6000;
    report.trades.Add(trade);

    dialog.Show();
    h.Pump();
    ASSERT_TRUE(report.OnReady());
    ASSERT_TRUE(dialog.CppWebBrowser1->UsesEngine());
    // The bar colour of the stylesheet and the chart's line show.
    const HWND web = dialog.CppWebBrowser1->Handle();
    EXPECT_TRUE(testing_support::PumpUntil(
        [&] {
          const QImage image = h.Render(web);
          return CountColour(image, 0x13658C) > 100 && CountColour(image, 0xFF7F28) > 100;
        },
        30000));
    h.SavePng(h.Render(dialog.Handle()), "account-report");
  }
  h.Pump();
  platform::AllowWebEngine(false);
}

}  // namespace
