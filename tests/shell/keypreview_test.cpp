#include "shell/keypreview.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <map>
#include <string>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/stdctrls.h"
#include "shell/mframe.h"
#include "tests/shell/frame_world.h"
#include "trading/tradekeys.h"
#include "views/selstockdlg.h"
#include "views/smartkb.h"

using namespace frame_test;

namespace {

// The trading window's controls as a plain tree of panels (buttons, boxes)
// and edits, with the desk's handlers recording what they are asked.
class StandInDesk : public TTradeKeyTargets {
 public:
  explicit StandInDesk(TForm &main) {
    auto *panel7 = Add<TPanel>("Panel7", &main, 0, 500, 1200, 250);
    Add<TPanel>("Panel11", panel7, 0, 0, 200, 100);
    for (const char *edit : {"XPEdit4", "XPEdit5", "XPEditSK1"}) Add<TEdit>(edit, "Panel11");
    Add<TPanel>("Panel12", panel7, 200, 0, 300, 240);
    Add<TPanel>("ComboBox1", "Panel12");
    Add<TEdit>("ComboBox1Edit", "ComboBox1");
    for (const char *edit : {"XPEdit1", "XPEdit2", "XPEdit6", "XPEdit7"}) Add<TEdit>(edit, "Panel12");
    Add<TPanel>("ComboBox5", "Panel12");
    Add<TPanel>("OwnerDrawPanel1", "Panel12");
    for (const char *button : {"XPButton33", "XPButton34", "XPButton37", "XPButton32", "XPButton2", "XPButton35",
                               "XPButton38", "XPButton39", "XPButton58"})
      Add<TPanel>(button, "OwnerDrawPanel1");
    Add<TPanel>("Panel1012", panel7, 500, 0, 300, 240);
    Add<TPanel>("ComboBox1001", "Panel1012");
    Add<TEdit>("ComboBox1001Edit", "ComboBox1001");
    for (const char *name : {"ComboBox1002", "ComboBox1005", "XPButton1032", "XPButton1033"})
      Add<TPanel>(name, "Panel1012");
    for (const char *edit : {"XPEdit1001", "XPEdit1002"}) Add<TEdit>(edit, "Panel1012");
    Add<TPanel>("PanelF22", panel7, 800, 0, 300, 240);
    for (const char *name : {"XPComboBoxF1", "XPComboBoxF9", "XPComboBoxF10", "XPButtonF53", "XPButtonF54"})
      Add<TPanel>(name, "PanelF22");
    for (const char *edit : {"XPPriceEditF7", "XPEditF19"}) Add<TEdit>(edit, "PanelF22");
    // The quick-deal bar is the main window's own.
    Add<TPanel>("PanelQuickDeal", &main, 0, 460, 1200, 30);
    Add<TPanel>("XPComboBox8", "PanelQuickDeal");
    for (const char *edit : {"XPEdit12", "XPPriceEdit2"}) Add<TEdit>(edit, "PanelQuickDeal");
    for (const char *button : {"XPButton42", "XPButton45", "XPButton47", "XPButton43", "XPButton44", "XPButton46"})
      Add<TPanel>(button, "PanelQuickDeal");
  }

  HWND Control(const char *name) override {
    auto found = controls.find(name);
    return found == controls.end() ? nullptr : found->second->Handle();
  }
  bool Locked() override { return locked; }
  int TradingState() override { return state; }
  int OrderEntryLayout() override { return layout; }
  bool KeyboardOrderActive() override { return keyboardActive; }
  bool FloatAutoHide() override { return autoHide; }
  bool Floating() override { return floating; }
  bool Checked(const char *name) override { return std::string(name) == "XPCheckBoxF4" && blockQuoteKeys; }
  int NodeCount() override { return 8; }
  int SelectedNode() override { return 2; }
  void ChangeNode(int node) override { Note("node " + std::to_string(node)); }
  int ComboIndex(const char *name) override { return comboIndex; }
  void SelectCombo(const char *name, int index) override { Note(std::string("select ") + name + " " + std::to_string(index)); }
  bool SpinRange(const char *, Spin &spin) override {
    spin = Spin{1, 8, 2};
    return true;
  }
  void SetSpinPosition(const char *name, int position) override {
    Note(std::string("spin ") + name + " " + std::to_string(position));
  }
  void PressOrderButton(const char *button) override { Note(std::string("press ") + button); }
  void CancelAllOrders() override { Note("cancel all"); }
  void QueryOpenable() override { Note("openable"); }
  void NewConditionOrder() override { Note("condition"); }
  void StepPrice(const char *spin, int step, TSpinDirection direction, bool spinAsSender) override {
    Note(std::string("price ") + spin + " " + std::to_string(step) + (direction == TSpinDirection::None ? " key" : " wheel") +
         (spinAsSender ? " spin" : ""));
  }
  void HideWindow() override { Note("hide"); }

  TWinControl *operator[](const char *name) { return controls.at(name); }
  std::string Calls() {
    std::string out;
    out.swap(calls);
    return out;
  }

  bool locked = false;
  int state = 12;
  int layout = 1;
  bool keyboardActive = true;
  bool autoHide = true;
  bool floating = true;
  bool blockQuoteKeys = false;
  int comboIndex = 1;
  std::map<std::string, TWinControl *> controls;
  std::string calls;

 private:
  void Note(const std::string &call) { calls += (calls.empty() ? "" : "; ") + call; }
  template <class T>
  T *Add(const char *name, TWinControl *parent, int x = 0, int y = 0, int w = 60, int h = 20) {
    auto *c = new T(parent);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    controls[name] = c;
    return c;
  }
  template <class T>
  T *Add(const char *name, const char *parent) {
    TWinControl *p = controls.at(parent);
    const int n = p->ControlCount();
    return Add<T>(name, p, 2 + (n % 4) * 64, 2 + (n / 4) * 22);
  }
};

class KeyPreviewTest : public FrameWorld {
 protected:
  KeyPreviewTest() : desk_(*main_) {
    SplitInto(2);
    chart_ = Show(0, VIEW_TYPE_INTRADAY, Find("600000", 0), true);
    report_ = Show(1, VIEW_TYPE_REPORT, STKPTR());
    outside_ = new TEdit(main_.get());
    outside_->SetParent(main_.get());
    outside_->SetBounds(0, 440, 100, 20);
    wizard_ = std::make_unique<TSmartKB>(nullptr);
    TKeyPreviewLinks links;
    links.frame = main_->Handle();
    links.core = core_.get();
    links.tradingWindow = [this] { return desk_.Control("Panel7"); };
    links.trading = [this] { return &desk_; };
    links.wizard = [this] { return wizard_.get(); };
    links.execute = [this](int command) { commands_.push_back(command); };
    links.commandForKey = [](UINT key) {
      static const std::map<UINT, int> keys = {{VK_F1, 28}, {VK_F5, 5}, {VK_F10, 10}, {'A', 40}, {'3', 33}};
      auto found = keys.find(key);
      return found == keys.end() ? 0 : found->second;
    };
    links.trendFirst = [this] { return trendFirst_; };
    links.fullScreen = [this] { return fullScreen_; };
    links.leaveFullScreen = [this] { left_ = true; };
    links.showChart = [this](const VIEW_ATTR_13 &a) { shown_.push_back(a); };
    links.runWizard = [this](TSmartKB &wizard) {
      harness_.Pump();  // the posted character reaches the wizard's edit
      typed_ = wizard.Edit1->Text();
      ++wizardRuns_;
      if (script_) script_(wizard);
    };
    preview_ = std::make_unique<TKeyPreview>(std::move(links));
    harness_.Pump();
  }
  ~KeyPreviewTest() override { KeyHookPaused = 0; }

  // A message through the hook: whether it was handled, and the key left.
  bool Send(UINT message, WPARAM wParam, HWND hwnd = nullptr, WPARAM *left = nullptr, LPARAM lParam = 0) {
    MSG msg{hwnd ? hwnd : GetFocus(), message, wParam, lParam, 0, POINT{}};
    bool handled = false;
    preview_->Hook(msg, handled);
    if (left) *left = msg.wParam;
    return handled;
  }
  void Focus(HWND window) {
    SetFocus(window);
    ASSERT_EQ(GetFocus(), window);
  }

  StandInDesk desk_;
  TMultiViewChild *chart_ = nullptr;
  TMultiViewChild *report_ = nullptr;
  TEdit *outside_ = nullptr;
  std::unique_ptr<TSmartKB> wizard_;
  std::unique_ptr<TKeyPreview> preview_;
  std::vector<int> commands_;
  std::vector<VIEW_ATTR_13> shown_;
  std::function<void(TSmartKB &)> script_;
  std::string typed_;
  int wizardRuns_ = 0;
  bool trendFirst_ = true;
  bool fullScreen_ = false;
  bool left_ = false;
};

// Key-down routing: (focus, key, layout, lock, trading state, armed) to
// eaten or passed, the desk's handler, the command run and the new focus.
TEST_F(KeyPreviewTest, KeysGoWhereTheTradingStateSendsThem) {
  struct Case {
    const char *focus;
    WPARAM key;
    int layout;
    bool locked;
    int state;
    bool active;
    bool handled;
    const char *calls;
    int command;
    const char *newFocus;  // null: unchanged
  } cases[] = {
      // Function keys: in an edit of the order panel they still run their
      // commands; F1 to F9 pick the trading tree's nodes while a trading
      // page shows (the selected node is not picked again).
      {"XPEdit1001", VK_F5, 0, false, 12, false, true, "node 4", 0, nullptr},
      {"XPEdit1001", VK_F1, 0, false, 12, false, true, "node 0", 0, nullptr},
      {"XPEdit1001", VK_F3, 0, false, 12, false, true, "", 0, nullptr},
      {"XPEdit1001", VK_F5, 0, false, 0, false, true, "", 5, nullptr},
      {"XPEdit1001", VK_F5, 0, true, 12, false, true, "", 5, nullptr},
      {"outside", VK_F5, 0, false, 12, false, true, "", 5, nullptr},
      {"outside", 'A', 0, false, 12, false, false, "", 0, nullptr},
      // The armed keyboard panel: digits press its buttons; 7 and 9 pass.
      {"XPButton33", '1', 1, false, 12, true, true, "press XPButton32", 0, nullptr},
      {"XPButton33", VK_NUMPAD0, 1, false, 12, true, true, "cancel all", 0, nullptr},
      {"XPButton33", '8', 1, false, 12, true, true, "condition", 0, nullptr},
      {"XPButton33", VK_DECIMAL, 1, false, 12, true, true, "openable", 0, nullptr},
      {"XPButton33", '7', 1, false, 12, true, false, "", 0, nullptr},
      {"XPButton33", VK_NUMPAD9, 1, false, 12, true, false, "", 0, nullptr},
      {"XPButton33", '1', 1, false, 12, false, false, "", 0, nullptr},
      {"XPButton33", '1', 1, true, 12, true, false, "", 0, nullptr},
      {"XPButton33", VK_ADD, 1, false, 12, true, true, "", 0, "ComboBox1"},
      {"ComboBox5", '3', 1, false, 12, true, true, "", 0, nullptr},
      {"ComboBox5", '1', 1, false, 12, true, true, "select ComboBox5 0", 0, nullptr},
      {"XPButton1032", '3', 0, false, 12, false, true, "", 0, "XPButton1033"},
      // Arrows between the fields; the ends eat without moving.
      {"XPButton33", VK_LEFT, 1, false, 12, true, true, "", 0, nullptr},
      {"XPButton37", VK_RIGHT, 1, false, 12, true, true, "", 0, nullptr},
      {"XPButton39", VK_RIGHT, 1, false, 12, true, true, "", 0, nullptr},
      {"XPButton33", VK_RIGHT, 1, false, 12, true, true, "", 0, "XPButton34"},
      {"XPButton2", VK_DOWN, 1, false, 12, true, true, "", 0, "XPButton39"},
      {"XPButton2", VK_RETURN, 1, false, 12, true, false, "", 0, nullptr},
      {"XPEdit1", VK_DOWN, 1, false, 12, true, true, "", 0, "XPEdit2"},
      {"XPEdit1", VK_RIGHT, 1, false, 12, true, true, "spin UpDown1 7", 0, nullptr},
      {"XPEdit2", VK_LEFT, 1, false, 12, true, true, "price XPUpDown3 -1 key spin", 0, nullptr},
      {"ComboBox1Edit", VK_LEFT, 1, false, 12, true, false, "", 0, nullptr},
      {"ComboBox1001Edit", VK_RIGHT, 0, false, 12, false, false, "", 0, nullptr},
      {"ComboBox1001Edit", VK_DOWN, 0, false, 12, false, true, "", 0, "ComboBox1002"},
      {"XPButton58", VK_UP, 1, false, 12, true, true, "", 0, nullptr},
      // The quick-order panel.
      {"XPPriceEditF7", VK_UP, 2, false, 12, false, true, "price XPUpDownF12 1 key", 0, nullptr},
      {"XPEditF19", VK_RETURN, 2, false, 12, false, true, "", 0, "XPButtonF53"},
      // The login page, locked or not.
      {"XPEdit4", VK_RETURN, 0, false, 0, false, true, "", 0, "XPEdit5"},
      {"XPEdit5", VK_UP, 0, true, 12, false, true, "", 0, "XPEdit4"},
      {"XPEditSK1", VK_DOWN, 0, false, 0, false, true, "", 0, nullptr},
      // The quick-deal bar: a digit moves the focus only, with or without a
      // trading page (it never reaches the hot keys); layouts 2 and 3 and a
      // locked window leave the bar's keys alone.
      {"XPButton42", '3', 0, false, 0, false, true, "", 0, "XPButton47"},
      {"XPButton42", '3', 0, false, 12, false, true, "", 0, "XPButton47"},
      {"XPButton42", '3', 1, false, 13, false, true, "", 0, "XPButton47"},
      {"XPButton42", '3', 2, false, 12, false, true, "", 33, nullptr},
      {"XPButton42", '3', 0, true, 12, false, true, "", 33, nullptr},
      {"XPEdit12", VK_UP, 0, false, 12, false, true, "spin UpDown1001 7; spin XPUpDown1 7", 0, nullptr},
      {"XPButton42", VK_LEFT, 0, false, 0, false, true, "", 0, "XPPriceEdit2"},
      {"XPEdit12", VK_UP, 1, false, 0, false, true, "spin UpDown1 7; spin XPUpDown1 7", 0, nullptr},
  };
  for (const Case &c : cases) {
    desk_.layout = c.layout;
    desk_.locked = c.locked;
    desk_.state = c.state;
    desk_.keyboardActive = c.active;
    desk_.comboIndex = 1;
    desk_["XPEdit1"]->SetText("5");
    desk_["XPEdit1001"]->SetText("5");
    commands_.clear();
    desk_.Calls();
    const HWND focus = std::string(c.focus) == "outside" ? outside_->Handle() : desk_.Control(c.focus);
    Focus(focus);
    WPARAM left = 0;
    const bool handled = Send(WM_KEYDOWN, c.key, focus, &left);
    const std::string what = std::string(c.focus) + " key " + std::to_string(c.key) + " state " + std::to_string(c.state);
    EXPECT_EQ(handled, c.handled) << what;
    EXPECT_EQ(left == 0, c.handled) << what;
    EXPECT_EQ(desk_.Calls(), c.calls) << what;
    EXPECT_EQ(commands_, c.command ? std::vector<int>{c.command} : std::vector<int>{}) << what;
    EXPECT_EQ(GetFocus(), c.newFocus ? desk_.Control(c.newFocus) : focus) << what;
  }
}

// "屏蔽行情快捷键" in the quick-order layout: outside the trading window no
// key becomes a command, not even a function key; navigation keys pass.
TEST_F(KeyPreviewTest, BlockedQuoteKeysSwallowHotKeysOutsideTheTradingWindow) {
  desk_.layout = 2;
  desk_.blockQuoteKeys = true;
  Focus(chart_->Handle());
  for (WPARAM key : {WPARAM('A'), WPARAM(VK_F5)}) EXPECT_TRUE(Send(WM_KEYDOWN, key)) << key;
  EXPECT_TRUE(commands_.empty());
  WPARAM left = 0;
  Send(WM_KEYDOWN, VK_NEXT, nullptr, &left);
  EXPECT_EQ(left, WPARAM(VK_NEXT));
  desk_.blockQuoteKeys = false;
  EXPECT_TRUE(Send(WM_KEYDOWN, VK_F5));
  EXPECT_EQ(commands_, std::vector<int>{5});
}

// F10 and Alt keys come as system keys; a modal dialog or an open picker
// keeps every key from the routing.
TEST_F(KeyPreviewTest, SystemKeysRunTheirCommandsUnlessADialogIsOpen) {
  Focus(chart_->Handle());
  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_F10));
  EXPECT_FALSE(Send(WM_SYSKEYDOWN, 'Z'));
  EXPECT_EQ(commands_, std::vector<int>{10});
  KeyHookPaused = 1;
  EXPECT_FALSE(Send(WM_SYSKEYDOWN, VK_F10));
  EXPECT_FALSE(Send(WM_KEYDOWN, VK_F5));
  KeyHookPaused = 0;
  TSelStockDlg picker(nullptr, 0, 0);
  OpenStockPicker = &picker;
  EXPECT_FALSE(Send(WM_KEYDOWN, VK_F5));
  OpenStockPicker = nullptr;
  EXPECT_EQ(commands_, std::vector<int>{10});
}

// A typed character over a chart opens the wizard with that character as
// its text; Enter, Esc, Space and Ctrl+letters do not, nor does typing in
// an edit or in the trading window.
TEST_F(KeyPreviewTest, ACharacterOverAChartOpensTheWizard) {
  Focus(chart_->Handle());
  EXPECT_TRUE(Send(WM_CHAR, '6'));
  EXPECT_EQ(wizardRuns_, 1);
  EXPECT_EQ(typed_, "6");
  EXPECT_EQ(wizard_->viewAttr.viewType, VIEW_TYPE_INTRADAY);
  EXPECT_EQ(KeyHookPaused, 0);
  RECT frame{}, wizard{};
  GetWindowRect(main_->Handle(), &frame);
  GetWindowRect(wizard_->Handle(), &wizard);
  EXPECT_EQ(wizard.right, frame.right - 3);
  EXPECT_EQ(wizard.bottom, frame.bottom - 19);

  EXPECT_TRUE(Send(WM_CHAR, VK_RETURN));
  EXPECT_TRUE(Send(WM_CHAR, VK_ESCAPE));
  EXPECT_FALSE(Send(WM_CHAR, VK_SPACE));
  MSG control{chart_->Handle(), WM_KEYDOWN, VK_CONTROL, 0, 0, POINT{}};
  platform::RunTakenMessage(control);
  EXPECT_FALSE(Send(WM_CHAR, 1));
  control.message = WM_KEYUP;
  platform::RunTakenMessage(control);
  Focus(outside_->Handle());
  EXPECT_FALSE(Send(WM_CHAR, '6'));
  Focus(desk_.Control("XPButton33"));
  EXPECT_FALSE(Send(WM_CHAR, '6'));
  EXPECT_EQ(wizardRuns_, 1);
  Focus(chart_->Handle());
  EXPECT_TRUE(Send(WM_CHAR, 8)) << "Backspace without Ctrl opens it too";
  EXPECT_EQ(wizardRuns_, 2);
}

// A picture of the main window with the wizard a typed "6" opened, the
// wizard drawn where it stands.
TEST_F(KeyPreviewTest, PictureOfTheWizardFromAKey) {
  Focus(chart_->Handle());
  QImage picture;
  script_ = [&](TSmartKB &wizard) {
    wizard.Show();
    harness_.Pump();
    picture = harness_.Render(main_->Handle());
    RECT frame{}, box{};
    GetWindowRect(main_->Handle(), &frame);
    GetWindowRect(wizard.Handle(), &box);
    QPainter painter(&picture);
    painter.drawImage(box.left - frame.left, box.top - frame.top, harness_.Render(wizard.Handle()));
    painter.end();
    // The wizard's list: the first row is drawn selected, in grey.
    EXPECT_EQ(harness_.Pixel(wizard.DrawGrid1->Handle(), 2, 2), RGB(128, 128, 128));
    wizard.Hide();
  };
  Send(WM_CHAR, '6');
  ASSERT_FALSE(picture.isNull());
  harness_.SavePng(picture, "wizard-from-key");
}

// The wizard's instrument: into an open picker; to the active chart (which
// the linked charts then follow); from a report to an intraday chart, or a
// K-line chart when "走势图优先" is off. A command runs by its table row.
TEST_F(KeyPreviewTest, TheWizardsChoiceGoesToThePickerTheChartOrANewChart) {
  const STKPTR chosen = Find("600036", 0);
  script_ = [&](TSmartKB &wizard) {
    wizard.accepted = 1;
    wizard.resultGroup = kWizardStock;
    wizard.resultKind = kWizardResultView;
    wizard.viewAttr.stock = chosen;
  };
  TSelStockDlg picker(nullptr, 0, 0);
  OpenStockPicker = &picker;
  Focus(chart_->Handle());
  EXPECT_TRUE(Send(WM_CHAR, '6'));
  OpenStockPicker = nullptr;
  EXPECT_TRUE(SameStock(picker.chosen, chosen));

  ViewLog().clear();
  EXPECT_TRUE(Send(WM_CHAR, '6'));
  ASSERT_FALSE(ViewLog().empty());
  EXPECT_EQ(ViewLog().back().view, chart_);
  EXPECT_EQ(ViewLog().back().code, 1);
  EXPECT_EQ(ViewLog().back().stock, chosen.Word());
  EXPECT_TRUE(shown_.empty());

  page_->SetActiveChild(report_);
  Focus(report_->Handle());
  for (bool trend : {true, false}) {
    trendFirst_ = trend;
    EXPECT_TRUE(Send(WM_CHAR, '6'));
    ASSERT_FALSE(shown_.empty());
    EXPECT_EQ(shown_.back().viewType, trend ? VIEW_TYPE_INTRADAY : VIEW_TYPE_KLINE);
    EXPECT_TRUE(SameStock(shown_.back().stock, chosen));
    EXPECT_EQ(shown_.back().currentBlock, chosen.market);
  }

  HotKeyTable[4].command = 5;
  script_ = [](TSmartKB &wizard) {
    wizard.accepted = 1;
    wizard.resultGroup = kWizardCommand;
    wizard.resultKind = kWizardResultCommand;
    wizard.resultValue = 4;
  };
  EXPECT_TRUE(Send(WM_CHAR, '6'));
  EXPECT_EQ(commands_, std::vector<int>{5});
  script_ = nullptr;  // cancelled
  EXPECT_TRUE(Send(WM_CHAR, '6'));
  EXPECT_EQ(commands_, std::vector<int>{5});
}

// The mouse: a move tells every other pane to drop its cross-hair; a click
// in the main window outside a floating trading window hides it; the wheel
// pages a chart unless its detail list is locked; the screen saver is
// dropped and leaving full screen comes first.
TEST_F(KeyPreviewTest, MouseMessagesAndSystemCommands) {
  EXPECT_FALSE(Send(WM_MOUSEMOVE, 0, chart_->Handle()));
  int posted = 0;
  for (int i = 0; i < page_->PaneCount(); ++i) {
    MSG msg;
    while (PeekMessageA(&msg, page_->PaneAt(i)->Handle(), WM_NCMOUSEMOVE, WM_NCMOUSEMOVE, PM_REMOVE)) {
      EXPECT_NE(page_->PaneAt(i), chart_);
      ++posted;
    }
  }
  EXPECT_EQ(posted, page_->PaneCount() - 1);

  EXPECT_FALSE(Send(WM_LBUTTONDOWN, 0, desk_.Control("XPButton33")));
  EXPECT_EQ(desk_.Calls(), "");
  EXPECT_FALSE(Send(WM_RBUTTONDOWN, 0, chart_->Handle()));
  EXPECT_EQ(desk_.Calls(), "hide");
  desk_.floating = false;
  Send(WM_LBUTTONDOWN, 0, chart_->Handle());
  EXPECT_EQ(desk_.Calls(), "");

  main_->BringToFront();
  harness_.Pump();
  page_->SetActiveChild(chart_);
  Focus(chart_->Handle());
  const WPARAM wheelUp = WPARAM(120) << 16;
  EXPECT_TRUE(Send(WM_MOUSEWHEEL, wheelUp));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, chart_->Handle(), WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_EQ(msg.wParam, WPARAM(VK_PRIOR));
  chart_->m_attr.flags |= 0x4;  // the price-distribution page
  EXPECT_FALSE(Send(WM_MOUSEWHEEL, wheelUp));
  chart_->m_attr.flags &= ~0x4u;
  Focus(desk_.Control("XPEdit1002"));
  EXPECT_FALSE(Send(WM_MOUSEWHEEL, WPARAM(uint16_t(-120)) << 16));
  EXPECT_EQ(desk_.Calls(), "price XPUpDown1003 -1 wheel");

  EXPECT_TRUE(Send(WM_SYSCOMMAND, SC_SCREENSAVE));
  EXPECT_FALSE(Send(WM_SYSCOMMAND, SC_MINIMIZE));
  EXPECT_FALSE(left_);
  fullScreen_ = true;
  EXPECT_FALSE(Send(WM_SYSCOMMAND, SC_MINIMIZE));
  EXPECT_TRUE(left_);
}

}  // namespace
