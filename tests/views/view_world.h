// The world of the view tests: a scratch program folder with two markets
// (SH stocks, QH futures) and user blocks, the block table built from them,
// a main-window stand-in that records what the views ask of it, a form that
// plays the main window, and the view harness.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/frame_host_recorder.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"
#include "views/viewhost.h"

namespace views_test {

class ViewWorld : public ::testing::Test {
 protected:
  ViewWorld() {
    using namespace market_fixture;
    MKINFO sh = MakeMarket("SH", "shd", 1, 8, 8, 0);
    AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO qh = MakeMarket("QH", "qhd", 2, 8, 8, 3);
    AddKind(qh, "期货", {{540, 690}, {810, 900}}, 480, 960);
    box_.WriteMarketInfo({sh, qh});
    box_.WriteTable(sh, "nametbl",
                    std::vector<STKINFO>{MakeStock(0, 0, "600000", "浦发"), MakeStock(0, 0, "600036", "招行")});
    box_.WriteTable(qh, "nametbl",
                    std::vector<STKINFO>{MakeStock(1, 0, "CU05", "沪铜"), MakeStock(1, 0, "AL05", "沪铝")});
    box_.WriteTable(qh, "nametble", std::vector<STKINFOEX>{MakeStockEx("CU2405"), MakeStockEx("AL2405")});
    box_.WriteText("user/blocks.ini",
                   "[FileInfo]\r\nVersion=1\r\n"
                   "[空板]\r\n"
                   "[上海期货]\r\nI1=QH CU05\r\nI2=QH AL05\r\n"
                   "[自选 一]\r\nI1=SH 600000\r\n");
    SetSysBlocks("空板 上海期货 自选 一 LME");
    io_ = std::make_unique<TDataIO>(nullptr);
    blocks_ = std::make_unique<TBlockGroup>();
    host_.mainWindow = nullptr;
  }
  ~ViewWorld() override {
    blocks_.reset();
    FormulaServices() = ViewFormulaServices{};
  }

  static void SetSysBlocks(const char *text) {
    WritePrivateProfileStringA("PARAMETER", "SysBlocks", text, "..\\CFG\\SETTING.INI");
  }
  static void SetUserSetting(const char *section, const char *key, const char *value) {
    WritePrivateProfileStringA(section, key, value, (std::string(UserDataPath) + "defui.ini").c_str());
  }
  static int BlockId(const char *name) {
    BLOCK *b = FindBlockByName(name);
    return b ? b->blockId : -1;
  }
  static STKPTR Stock(int market, int stock) { return STKPTR(market, 0, stock); }

  testing_support::ViewHarness harness_;
  market_fixture::MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
  std::unique_ptr<TBlockGroup> blocks_;
  FrameHostRecorder host_;
  MessageBoxRecorder boxes_;
};

// A form that plays the main window, with a client area of the given size.
inline std::unique_ptr<TForm> MainWindowOf(int width, int height) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(width, height);
  form->Show();
  return form;
}

}  // namespace views_test
