// The plug-in as the terminal meets it: a shared library found by its file
// name, bound by export name.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/module.h"
#include "plugin/records.h"
#include "plugin/tradebridge.h"

namespace {

class PluginModule : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("Tradebridge.dll");
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }
  template <class F>
  F Get(const char *name) {
    return reinterpret_cast<F>(GetProcAddress(module_, name));
  }
  HMODULE module_ = nullptr;
};

TEST_F(PluginModule, ExportsTheInterfaceAndNothingElse) {
  for (const char *name : tb::kExportNames) EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(module_, "QueryBankAccount"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, "TradePluginApi"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, "_ZN2tb10SplitFieldEPKcPcm"), nullptr);
}

TEST_F(PluginModule, VersionNamesAndTheSessionTest) {
  EXPECT_EQ(Get<int (*)()>("GetTraderDllVersion")(), 26);
  char name[16] = {};
  EXPECT_EQ(Get<char *(*)(char *)>("GetNameOfTradeSystem")(name), name);
  EXPECT_STREQ(name, "金仕达");
  auto shortName = Get<int (*)(char *)>("GetShortNameOfTradeSystem");
  EXPECT_EQ(shortName(nullptr), 1);
  EXPECT_EQ(shortName(name), 1);
  EXPECT_STREQ(name, "JSD");
  EXPECT_EQ(Get<int (*)(int)>("QueryOrder")(1), tb::kNoSession);
  EXPECT_EQ(Get<int (*)()>("QueryContract")(), tb::kNoSession);
  auto initialize = Get<int (*)(HWND, UINT, int, char *, char *, char *, char *)>("TradeInitialize");
  char account[] = "880001", password[] = "", empty[] = "";
  EXPECT_EQ(initialize(nullptr, 2566, 0, account, password, empty, empty), tb::kBadArguments);
  Get<void (*)(void *)>("TraderDllFree")(nullptr);  // ignored
  Get<void (*)()>("TradeFinalize")();                // harmless without a session
  char date[16] = "junk";
  EXPECT_EQ(Get<int (*)(char *)>("GetTradeDate")(date), 0);
  EXPECT_STREQ(date, "");
}

}  // namespace
