// Binding the trading plug-in: which builds bind, which slots they fill,
// and the boxes of a build that can't be used.
#include "trading/pluginapi.h"

#include <gtest/gtest.h>

#include "platform/module.h"
#include "testing/msgbox_recorder.h"

namespace {

constexpr const char *kReinstall = "交易初始化失败，请重新安装本软件。  ";
constexpr const char *kMismatch = "文件 tradebridge.dll 不匹配，交易初始化失败。  ";

bool SlotFilled(int slot) { return PluginSlots(TradePlugin)[slot] != nullptr; }

bool TableEmpty() {
  for (int i = 0; i < 37; ++i)
    if (SlotFilled(i)) return false;
  return true;
}

class PluginBindingTest : public testing::Test {
 protected:
  ~PluginBindingTest() override { TradePlugin = TradePluginApi{}; }
  MessageBoxRecorder boxes_;
};

TEST_F(PluginBindingTest, EachBuildBindsOrIsRefusedWithItsBox) {
  struct Case {
    const char *library;
    int bound;
    const char *box;                 // null: none
    std::vector<int> filled, empty;  // slots
  } cases[] = {
      // The real plug-in: no QueryBankAccount, the other bank calls there.
      {"Tradebridge.dll", 1, nullptr, {0, 4, 5, 6, 27, 28, 29, 31, 32, 33, 34, 35, 36}, {30}},
      {"FakeBridgeNoNotice.dll", 0, kReinstall, {}, {}},
      {"FakeBridgeV25.dll", 0, kMismatch, {}, {}},
      // Older names fill the slots of the newer ones.
      {"FakeBridgeOlderNames.dll", 1, nullptr, {4, 5, 6}, {30, 31}},
      {"FakeBridgeBank.dll", 1, nullptr, {29, 30}, {31}},
  };
  const HWND owner = reinterpret_cast<HWND>(0x1234);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.library);
    boxes_.Clear();
    EXPECT_EQ(LoadTradePlugin(owner, c.library), c.bound);
    EXPECT_EQ(TradingBound(), c.bound == 1);
    if (!c.bound) EXPECT_TRUE(TableEmpty());
    for (int slot : c.filled) EXPECT_TRUE(SlotFilled(slot)) << slot;
    for (int slot : c.empty) EXPECT_FALSE(SlotFilled(slot)) << slot;
    if (!c.box) {
      EXPECT_EQ(boxes_.Count(), 0u);
      continue;
    }
    ASSERT_EQ(boxes_.Count(), 1u);
    const platform::MessageBoxCall box = boxes_.Calls()[0];
    EXPECT_EQ(box.text, c.box);
    EXPECT_EQ(box.caption, "错误");
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.type & MB_TOPMOST, MB_TOPMOST);
    EXPECT_EQ(box.type & MB_ICONMASK, MB_ICONERROR);
  }
}

TEST_F(PluginBindingTest, OlderNamesAreCalledThroughTheNewerSlots) {
  ASSERT_EQ(LoadTradePlugin(nullptr, "FakeBridgeOlderNames.dll"), 1);
  EXPECT_EQ(TradePlugin.TradeInitialize(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr), 55);
  EXPECT_EQ(TradePlugin.GetServerCount(), 2607);
  // A second binding of the same library fills the table anew.
  TradePlugin = TradePluginApi{};
  ASSERT_EQ(LoadTradePlugin(nullptr, "FakeBridgeOlderNames.dll"), 1);
  EXPECT_TRUE(IsProcessCloseToday("SHFE"));
  EXPECT_FALSE(IsProcessCloseToday("CZCE"));
  TradePlugin = TradePluginApi{};
  EXPECT_FALSE(IsProcessCloseToday("SHFE"));
}

TEST_F(PluginBindingTest, WithoutTheOutsideLibraryThePluginIsNeverOpened) {
  EXPECT_EQ(LoadTradePlugin(nullptr, "FakeBridgeUnloaded.dll", "NoSuchKernel.dll"), 0);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_TRUE(TableEmpty());
  EXPECT_EQ(GetModuleHandleA("FakeBridgeUnloaded.dll"), nullptr);
  // A missing plug-in is as silent.
  EXPECT_EQ(LoadTradePlugin(nullptr, "NoSuchBridge.dll"), 0);
  EXPECT_EQ(boxes_.Count(), 0u);
}

}  // namespace
