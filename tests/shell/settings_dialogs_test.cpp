// The display options dialog, the hot-key editor, the period-cycle dialog
// and the information boxes, driven without the main window.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "charts/quotepanel.h"
#include "core/emenubar.h"
#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "market/utildata.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "shell/aboutbox.h"
#include "shell/entry.h"
#include "shell/hotkeydlg.h"
#include "shell/hotkeys.h"
#include "shell/quoteoptiondlg.h"
#include "shell/settings_store.h"
#include "testing/msgbox_recorder.h"
#include "testing/temp_folder.h"
#include "testing/view_harness.h"

namespace fs = std::filesystem;

namespace {

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_support::MakeTempFolder("kivo-dialogs");
    ASSERT_FALSE(root_.empty());
    std::strcpy(UserDataPath, (platform::ToWindowsPath(root_.string()) + "\\").c_str());
    KvIndexManager().Clear();
    auto *group = new CKvIndexGroup("测试");
    for (const auto &[name, kind] : std::vector<std::pair<const char *, uint32_t>>{
             {"K", 2}, {"MA", 1}, {"BOLL", 1}, {"VOL", 0}, {"MACD", 0}}) {
      auto *formula = new CKvIndex();
      std::snprintf(formula->name, sizeof formula->name, "%s", name);
      formula->flags = kind;
      group->Add(formula);
    }
    KvIndexManager().AddGroup(group);
    OptionEffects() = TOptionEffects{};
    OptionEffects().settingsChanged = [this](int what) { posted_.push_back(what); };
    LoadHotKeys();
    LoadCycleOrder();
  }
  void TearDown() override {
    KvIndexManager().Clear();
    OptionEffects() = TOptionEffects{};
    UserDataPath[0] = 0;
    fs::remove_all(root_);
  }
  std::string File(const char *name) const { return std::string(UserDataPath) + name; }
  std::string Read(const char *file, const char *section, const char *key) const {
    char value[256];
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, File(file).c_str());
    return value;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto &call : boxes_.Calls()) texts.push_back(call.text);
    return texts;
  }

  testing_support::ViewHarness harness_;
  MessageBoxRecorder boxes_;
  fs::path root_;
  std::vector<int> posted_;
};

// ---- the options dialog ----

TEST_F(SettingsDialogTest, OkChecksBothIndicatorListsBeforeWritingAnyKey) {
  struct Case {
    const char *mainGraph, *subGraph;
    const char *refusal;  // null: accepted
  } cases[] = {
      {"MA , K", "VOL", "MA 不是主图指标。  "},
      {"", "VOL", "主图指标不能为空。  "},
      {"KDX,MA", "VOL", "主图指标 KDX 不存在。  "},
      {"K,MACD", "VOL", "MACD 不是主图叠加指标。  "},
      {"K,XYZ", "VOL", "主图叠加指标 XYZ 不存在。  "},
      {"K,MA", "VOL,MA", "MA 不是副图指标。  "},
      {"K,MA", "VOL,ABC", "副图指标 ABC 不存在。  "},
      // Trailing commas and empty names are accepted.
      {"K,MA,", "VOL,MACD,", nullptr},
      {"K ,, BOLL", ",VOL", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.mainGraph + std::string(" / ") + c.subGraph);
    fs::remove(root_ / "defui.ini");
    boxes_.Clear();
    TQuoteOptionDlg dialog(nullptr);
    dialog.Configure(TOptionCaller::kMainMenu);
    dialog.XPEdit1->SetText(c.mainGraph);
    dialog.XPEdit2->SetText(c.subGraph);
    dialog.XPButton1Click(nullptr);
    if (c.refusal) {
      EXPECT_EQ(Texts(), std::vector<std::string>{c.refusal});
      EXPECT_EQ(dialog.ModalResult(), mrNone);
      EXPECT_EQ(Read("defui.ini", "UI", "MainGraph"), "<none>") << "nothing written before both lists pass";
      EXPECT_EQ(Read("defui.ini", "UI", "Skin"), "<none>");
    } else {
      EXPECT_TRUE(Texts().empty());
      EXPECT_EQ(dialog.ModalResult(), mrOk);
      EXPECT_EQ(Read("defui.ini", "UI", "MainGraph"), c.mainGraph);
      EXPECT_EQ(Read("defui.ini", "UI", "SubGraph"), c.subGraph);
    }
  }
}

TEST_F(SettingsDialogTest, EachCallerWritesItsOwnKeys) {
  struct Case {
    TOptionCaller caller;
    bool saveDefaults;
    std::vector<const char *> written;  // [UI] keys of defui.ini
    std::vector<int> posted;
  } cases[] = {
      {TOptionCaller::kKLine, false, {"Skin", "Layout"}, {}},
      {TOptionCaller::kKLine, true, {"Skin", "Layout", "TodayMinOnly", "Property", "InfoVisible"}, {}},
      {TOptionCaller::kIntraday, false, {"Skin", "Layout"}, {}},
      {TOptionCaller::kReport, false, {"Skin", "Layout", "Property"}, {}},
      {TOptionCaller::kMainMenu,
       false,
       {"Skin", "Layout", "MainGraph", "SubGraph", "DefCycle", "TodayMinOnly", "Property", "InfoVisible"},
       {3, 5, 2, 4}},
  };
  const char *const allKeys[] = {"Skin",         "Layout",   "MainGraph",   "SubGraph",
                                 "DefCycle",     "TodayMinOnly", "Property", "InfoVisible"};
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.caller) * 10 + c.saveDefaults);
    fs::remove(root_ / "defui.ini");
    fs::remove(root_ / "clrfont.INI");
    posted_.clear();
    TQuoteOptionDlg dialog(nullptr);
    dialog.Configure(c.caller);
    dialog.XPCheckBox100->SetChecked(c.saveDefaults);
    dialog.XPButton1Click(nullptr);
    ASSERT_EQ(dialog.ModalResult(), mrOk);
    for (const char *key : allKeys) {
      const bool expected = std::find_if(c.written.begin(), c.written.end(),
                                         [&](const char *k) { return std::strcmp(k, key) == 0; }) != c.written.end();
      EXPECT_EQ(Read("defui.ini", "UI", key) != "<none>", expected) << key;
    }
    EXPECT_EQ(posted_, c.posted);
  }
}

TEST_F(SettingsDialogTest, ZoomLevelsWithoutAChoiceAndAMissingTickLevel) {
  TQuoteOptionDlg dialog(nullptr);
  dialog.Configure(TOptionCaller::kMainMenu);
  EXPECT_EQ(dialog.XPComboBox6->ItemIndex(), 3) << "a missing TickZoomLevel is level 3";
  EXPECT_EQ(dialog.XPComboBox3->ItemIndex(), 16);
  dialog.XPComboBox3->SetItemIndex(-1);
  dialog.XPComboBox6->SetItemIndex(-1);
  dialog.XPButton1Click(nullptr);
  EXPECT_EQ(Read("clrfont.INI", "Parameter", "ZoomLevel"), "16");
  EXPECT_EQ(Read("clrfont.INI", "Parameter", "TickZoomLevel"), "3");
}

TEST_F(SettingsDialogTest, WheelModeAndPropertyBits) {
  WritePrivateProfileStringA("UI", "Property", "65536", File("defui.ini").c_str());  // a bit the dialog keeps
  struct Case {
    int wheel;
    uint32_t bits;
  } cases[] = {{1, 0x80}, {2, 0x100}, {0, 0}};
  for (const Case &c : cases) {
    TQuoteOptionDlg dialog(nullptr);
    dialog.Configure(TOptionCaller::kReport);
    dialog.XPComboBox2->SetItemIndex(c.wheel);
    dialog.XPButton1Click(nullptr);
    EXPECT_EQ(std::stoul(Read("defui.ini", "UI", "Property")), 65536u | c.bits) << c.wheel;
    TQuoteOptionDlg again(nullptr);
    again.Configure(TOptionCaller::kReport);
    EXPECT_EQ(again.XPComboBox2->ItemIndex(), c.wheel);
  }
}

TEST_F(SettingsDialogTest, OkWithNoSkinListedKeepsTheFramesSkin) {
  const int layout = SkinLayout, number = SkinNumber;
  SkinLayout = SkinNumber = 1;
  TQuoteOptionDlg dialog(nullptr);
  dialog.Configure(TOptionCaller::kReport);
  ASSERT_EQ(dialog.XPComboBox5->Items()->Count(), 0);  // no skin folder here
  dialog.XPButton1Click(nullptr);
  EXPECT_EQ(SkinLayout, 1);
  EXPECT_EQ(SkinNumber, 1);
  EXPECT_EQ(Read("defui.ini", "UI", "Skin"), "1");
  SkinLayout = layout;
  SkinNumber = number;
}

TEST_F(SettingsDialogTest, InstantControlsWriteAtOnceAndRestoreGivesTheDefaults) {
  int panels = 0, reports = 0;
  OptionEffects().refreshChartQuotePanels = [&] { ++panels; };
  OptionEffects().applyReportFonts = [&] { ++reports; };
  TQuoteOptionDlg dialog(nullptr);
  dialog.Configure(TOptionCaller::kMainMenu);
  dialog.XPEditF4->SetText("250");
  EXPECT_EQ(Read("defui.ini", "UI", "BSZoom1"), "100") << "held to the up-down's range";
  EXPECT_GE(panels, 1);
  dialog.XPEditF3->SetText("3");
  EXPECT_EQ(Read("defui.ini", "UI", "BSZoom2"), "3");
  EXPECT_GE(reports, 1);
  dialog.XPButton5Click(nullptr);
  EXPECT_EQ(Read("defui.ini", "UI", "BSZoom1"), "4");
  EXPECT_EQ(Read("defui.ini", "UI", "BSZoom2"), "0");
  EXPECT_EQ(Read("defui.ini", "UI", "SelectedRowParam"), "1");
  EXPECT_EQ(dialog.XPComboBox6->ItemIndex(), 3);
  EXPECT_EQ(dialog.XPComboBox3->ItemIndex(), 16);
  EXPECT_EQ(dialog.XPEdit1->Text(), "K,MA");
  // The quote panel's default list, checked, then the rest of the catalogue.
  uint8_t checked[kDetailListSize];
  dialog.CheckedItems(checked);
  EXPECT_EQ(std::vector<uint8_t>(checked, checked + kOptionDefaultItemCount),
            std::vector<uint8_t>(kOptionDefaultItems, kOptionDefaultItems + kOptionDefaultItemCount));
  EXPECT_EQ(checked[kOptionDefaultItemCount], 0);
  EXPECT_EQ(dialog.XPCheckListBox1->Count(), 35);
  // Cancel after that leaves the other keys unwritten.
  EXPECT_EQ(Read("defui.ini", "UI", "MainGraph"), "<none>");
}

TEST_F(SettingsDialogTest, ItemListsMoveBlocksAndTravelBetweenTabs) {
  TQuoteOptionDlg dialog(nullptr);
  dialog.Configure(TOptionCaller::kMainMenu);
  auto &list = *dialog.XPCheckListBox1;
  // The first three entries selected move as a block: nothing above them.
  list.SetSelected(1, true);
  list.SetSelected(2, true);
  const int first = dialog.ItemCodeAt(0), second = dialog.ItemCodeAt(1), third = dialog.ItemCodeAt(2);
  dialog.MoveUpClick(nullptr);
  EXPECT_EQ(dialog.ItemCodeAt(0), second);
  EXPECT_EQ(dialog.ItemCodeAt(1), third);
  EXPECT_EQ(dialog.ItemCodeAt(2), first);
  EXPECT_TRUE(list.Checked(2));
  // Leaving the tab keeps its list; the other groups keep theirs.
  bool allow = true;
  dialog.XPTabControl1Changing(nullptr, allow);
  EXPECT_EQ(dialog.items[0][0], second);
  dialog.XPTabControl1->SetTabIndex(1);
  dialog.XPTabControl1Change(nullptr);
  dialog.XPButton1Click(nullptr);
  uint8_t stored[kDetailListSize] = {};
  LoadDetailItems(0, stored);
  EXPECT_EQ(stored[0], second);
  EXPECT_EQ(stored[2], first);
}

// ---- the hot-key editor ----

TEST_F(SettingsDialogTest, HotKeyEditorOffersTheReadForm) {
  struct Case {
    const char *typed;
    bool asked;
    const char *stored;  // the cell and the file afterwards
  } cases[] = {
      {"ctrl+a", false, "CTRL+A"},
      {"81", true, "8"},
      {"CTRL+ENTER", true, ""},
      {"", false, ""},
      {"F5", false, "F5"},
  };
  const int command = 30;
  const int row = HotKeyDisplayRow(command);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.typed);
    boxes_.Clear();
    boxes_.SetDefaultAnswer(IDYES);
    TSetHotkeyDlg dialog(nullptr);
    dialog.XPStringGrid1->SetCells(1, row, c.typed);
    dialog.XPButton1Click(nullptr);
    EXPECT_EQ(boxes_.Count(), c.asked ? 1u : 0u);
    EXPECT_EQ(dialog.ModalResult(), mrOk);
    EXPECT_EQ(dialog.XPStringGrid1->Cells(1, row) == c.stored || !c.asked, true);
    char key[8];
    std::snprintf(key, sizeof key, "h%d", command);
    EXPECT_EQ(Read("HotKey.ini", "HotKey", key), c.stored);
    char formatted[kHotKeyFormatSize];
    FormatHotKeyDefinition(HotKeyTable[command - 1], formatted);
    EXPECT_STREQ(formatted, c.stored);
  }
}

TEST_F(SettingsDialogTest, HotKeyEditorNoThenCancelChangesNothing) {
  const int row = HotKeyDisplayRow(30);
  HOTKEYDEF before[kHotKeyTableSize];
  std::memcpy(before, HotKeyTable, sizeof before);
  boxes_.SetDefaultAnswer(IDNO);
  TSetHotkeyDlg dialog(nullptr);
  // An earlier command gets a new key, a later one a malformed key.
  dialog.XPStringGrid1->SetCells(1, HotKeyDisplayRow(1), "CTRL+Q");
  dialog.XPStringGrid1->SetCells(1, row, "81");
  dialog.XPButton1Click(nullptr);
  EXPECT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(dialog.ModalResult(), mrNone);
  EXPECT_EQ(dialog.XPStringGrid1->Cells(1, row), "81") << "left for the user to mend";
  EXPECT_EQ(std::memcmp(before, HotKeyTable, sizeof before), 0) << "the table waits for an accepted OK";
  EXPECT_FALSE(fs::exists(root_ / "HotKey.ini"));
}

TEST_F(SettingsDialogTest, GridEditorPutsTypedTextIntoTheCell) {
  TSetHotkeyDlg dialog(nullptr);
  dialog.Show();
  harness_.Pump();
  auto *grid = dialog.XPStringGrid1;
  grid->SetCol(1);
  grid->SetRow(2);
  grid->SetFocus();
  harness_.Type("x", grid->Handle());
  ASSERT_TRUE(grid->EditorMode());
  harness_.Type("y", grid->InplaceEditor()->Handle());
  harness_.Key(VK_RETURN, TShiftState(), grid->InplaceEditor()->Handle());
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->Cells(1, 2), "xy");
  // Esc drops what was typed.
  harness_.Key(VK_F2, TShiftState(), grid->Handle());
  ASSERT_TRUE(grid->EditorMode());
  grid->InplaceEditor()->SetText("zz");
  harness_.Key(VK_ESCAPE, TShiftState(), grid->InplaceEditor()->Handle());
  EXPECT_EQ(grid->Cells(1, 2), "xy");
  dialog.Hide();
}

// ---- the period cycle ----

TEST_F(SettingsDialogTest, PeriodCycleNeedsTwoPeriodsAndCommitsOnlyOnOk) {
  WritePrivateProfileStringA("Parameter", "CycleOrder", "1D,1W", File("SETTING.INI").c_str());
  LoadCycleOrder();
  PeriodCycleEntry before[kPeriodCount];
  std::memcpy(before, PeriodCycle, sizeof before);
  {
    TCycleOrder dialog(nullptr);
    ASSERT_EQ(dialog.XPCheckListBox1->Count(), kPeriodCount);
    EXPECT_STREQ(dialog.XPCheckListBox1->Items()->Get(0).c_str(), "日线");
    dialog.XPCheckListBox1->SetChecked(1, false);  // only 日线 left
    dialog.XPButton3Click(nullptr);
    EXPECT_EQ(Texts(), std::vector<std::string>{"请至少勾选 2 种周期，以实现周期的循环。  "});
    EXPECT_EQ(dialog.ModalResult(), mrNone);
    // Then cancelled: memory and file as they were.
  }
  EXPECT_EQ(std::memcmp(before, PeriodCycle, sizeof before), 0);
  EXPECT_EQ(Read("SETTING.INI", "Parameter", "CycleOrder"), "1D,1W");
  TCycleOrder dialog(nullptr);
  dialog.XPCheckListBox1->SetSelected(1, true);
  dialog.XPButton1Click(nullptr);  // 周线 to the top
  dialog.XPCheckListBox1->SetChecked(2, true);
  dialog.XPButton3Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrOk);
  EXPECT_EQ(Read("SETTING.INI", "Parameter", "CycleOrder"), "1W,1D,1T,01,03,0Y,05,015,030,060,0M,0S,0X,0120,0240");
  EXPECT_EQ(PeriodCycle[0].code, 9);
}

// ---- the boxes ----

TEST_F(SettingsDialogTest, UserInformationAndAboutBoxTexts) {
  TAboutBox box(nullptr);
  box.ShowUserInfo();
  EXPECT_EQ(box.Label7->Caption(), "－");
  EXPECT_EQ(box.Label8->Caption(), "－");
  EXPECT_EQ(box.Label9->Caption(), "未登录");
  EXPECT_FALSE(box.Label9->Enabled());
  EXPECT_EQ(box.Label1->Caption(), kProductName);
  box.connected = 3;
  std::strcpy(box.userName, "alice");
  box.expiryDate = ShortExpiryDate(20120331);
  box.ShowUserInfo();
  EXPECT_EQ(box.Label8->Caption(), "2012年03月31日");
  EXPECT_EQ(box.Label7->Caption(), "alice");
  EXPECT_TRUE(box.Label8->Enabled());
  EXPECT_EQ(VersionText(2 * 10000000 + 11 * 10000 + 725), "2.11.725");
}

TEST_F(SettingsDialogTest, NewsAddressIsCutTo127Bytes) {
  struct Case {
    std::string typed, kept;
  } cases[] = {
      {"http://a.example/", "http://a.example/"},
      {std::string(200, 'x'), std::string(127, 'x')},
      // Never half a character at the cut.
      {std::string(126, 'x') + "新闻", std::string(126, 'x')},
  };
  for (const Case &c : cases) {
    TTSetNewsUrlForm form(nullptr);
    EXPECT_EQ(form.XPEdit1->Text(), "http://");
    form.XPEdit1->SetText(c.typed);
    form.XPButton1Click(nullptr);
    EXPECT_EQ(form.ModalResult(), mrOk);
    EXPECT_EQ(std::string(form.address), c.kept);
  }
}

// ---- pictures ----

TEST_F(SettingsDialogTest, PicturesOfTheDialogs) {
  const auto shoot = [&](TForm &form, const char *name) {
    form.Show();
    harness_.Pump();
    harness_.SavePng(harness_.Render(form.Handle()), name);
    form.Hide();
  };
  struct Page {
    TOptionCaller caller;
    int page;
    const char *name;
  } pages[] = {{TOptionCaller::kMainMenu, 0, "options-interface"},
               {TOptionCaller::kReport, 1, "options-report"},
               {TOptionCaller::kMainMenu, 2, "options-charts"},
               {TOptionCaller::kKLine, 2, "options-kline-properties"},
               {TOptionCaller::kIntraday, 2, "options-intraday-properties"}};
  for (const Page &p : pages) {
    TQuoteOptionDlg dialog(nullptr);
    dialog.Configure(p.caller);
    if (p.caller == TOptionCaller::kMainMenu) {
      dialog.XPListBox1->SetItemIndex(p.page);
      dialog.XPListBox1Click(nullptr);
    }
    shoot(dialog, p.name);
  }
  TSetHotkeyDlg editor(nullptr);
  shoot(editor, "hotkey-editor");
  Thotkeydlg help(nullptr);
  shoot(help, "hotkey-help");
  TCycleOrder cycle(nullptr);
  shoot(cycle, "period-cycle");
  Trighrbox about(nullptr);
  shoot(about, "about");
  TAboutBox user(nullptr);
  user.connected = 1;
  std::strcpy(user.userName, "alice");
  user.expiryDate = 120331;
  user.ShowUserInfo();
  user.Show();
  harness_.Pump();
  // The white title band and its line.
  EXPECT_EQ(harness_.Pixel(user.Handle(), 5, 5), RGB(255, 255, 255));
  EXPECT_EQ(harness_.Pixel(user.Handle(), 5, 52), COLORREF(0x99A8AC));
  harness_.SavePng(harness_.Render(user.Handle()), "user-info");
  user.Hide();
  TTSetNewsUrlForm news(nullptr);
  shoot(news, "news-address");
}

}  // namespace
