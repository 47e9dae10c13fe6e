// The trading window offscreen: its pages laid out over a main window, the
// floating frame's drawing, hit codes, cursor-less dragging and minimum
// size, the keypad hidden when the focus leaves the password, and the
// pictures a person looks at.
#include "trading/tradingwindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>

#include "classlib/forms.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/desk_ui_recorder.h"
#include "testing/view_harness.h"
#include "market/rights.h"
#include "trading/automationpages.h"
#include "trading/bankform.h"
#include "trading/conditiondialog.h"
#include "trading/conditionpage.h"
#include "trading/deskautomation.h"
#include "trading/queryform.h"
#include "trading/stopdialog.h"
#include "trading/stoporders.h"
#include "tests/trading/tradedesk_fixture.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/listforms.h"
#include "trading/listrows.h"
#include "trading/orderbook.h"
#include "trading/pluginapi.h"
#include "trading/taskqueue.h"
#include "trading/tongjidlg.h"
#include "trading/tradekeys.h"

namespace trading_test {
namespace {

using testing_support::PictureSheet;
using testing_support::ViewHarness;

class TradingWindowTest : public TradingDeskTest {
 protected:
  TradingWindowTest() {
    form_ = new TForm(nullptr);
    form_->SetClientSize(1000, 700);
    panel_ = new TOwnerDrawPanel(form_);
    panel_->SetParent(form_);
    panel_->SetAlign(alBottom);
    panel_->SetHeight(300);
    window_ = std::make_unique<TTradingWindow>(panel_, desk_);
    Application()->Title = "kivo 交易 - 张三";
    form_->Show();
    desk_.SetupTradingPanel(0);
    harness_.Pump();
  }
  ~TradingWindowTest() override {
    window_.reset();
    delete form_;
  }

  void LogIn(int layout) {
    desk_.Data().options.Layout = layout;
    desk_.pageState = kPageTrading;
    desk_.holderName = "张三";
    data_.SetAccount("880001");
    window_->Layout();
    harness_.Pump();
  }
  QImage Shot() {
    harness_.Pump();
    return harness_.Render(panel_);
  }
  COLORREF Pixel(int x, int y) { return harness_.Pixel(panel_->Handle(), x, y); }
  void Float(int w, int h) {
    desk_.Data().options.FloatUI = false;
    box_.WriteText("user/880001/Consign.ini", "[UI]\nFloatPos=100,100," + std::to_string(w) + "," +
                                                  std::to_string(h) + "\n");
    desk_.OnTradeFloatClick(true);
    harness_.Pump();
  }
  POINT Screen(int x, int y) {
    POINT p{x, y};
    ClientToScreen(panel_->Handle(), &p);
    return p;
  }

  ViewHarness harness_;
  TForm *form_;
  TOwnerDrawPanel *panel_;
  std::unique_ptr<TTradingWindow> window_;
};

TEST_F(TradingWindowTest, PagesAndPicturesOfTheDockedWindow) {
  PictureSheet sheet(2);
  // The login page with its code and the keypad open.
  desk_.ImageSoftKeyClick();
  EXPECT_TRUE(window_->PanelSoftKey->Visible());
  EXPECT_TRUE(window_->Panel11->Visible());
  EXPECT_FALSE(window_->XPTreeView1->Visible());
  EXPECT_EQ(window_->Panel11->Width(), 1000);
  EXPECT_EQ(window_->Control("XPEdit5"), window_->XPEdit5);
  // The block is centred: the server list starts (1000 - 592) / 2 in.
  EXPECT_EQ(window_->XPListBox1->Left(), 204);
  EXPECT_EQ(window_->PanelVerify->Left(), window_->ImageSoftKey->Left());
  QImage login = Shot();
  harness_.SavePng(login, "trading-login");
  sheet.Add("login", login);

  desk_.login.password = "111111";
  desk_.keptPassword = "111111";
  desk_.OnTradeLockClick();
  harness_.Pump();
  EXPECT_EQ(window_->XPButton5->Caption(), "解锁");
  EXPECT_FALSE(window_->XPComboBoxSecurityType->Visible());
  QImage locked = Shot();
  harness_.SavePng(locked, "trading-login-locked");
  sheet.Add("locked", locked);

  box_.WriteText("cfg/brokernote.txt", "尊敬的客户：\r\n期货交易有风险，入市须谨慎。\r\n");
  desk_.locked = false;
  desk_.pageState = kPageLoggedIn;
  desk_.XPButton19Click();
  EXPECT_TRUE(window_->Panel13->Visible());
  EXPECT_EQ(window_->XPButton19->Caption(), "认可");
  EXPECT_NE(window_->XPRichEdit1->Text().find("期货交易有风险"), std::string::npos);
  QImage text = Shot();
  harness_.SavePng(text, "trading-text-page");
  sheet.Add("text", text);

  for (int layout = 0; layout < 4; ++layout) {
    LogIn(layout);
    EXPECT_TRUE(window_->XPTreeView1->Visible());
    EXPECT_TRUE(window_->PanelCmdBtn->Visible());
    EXPECT_EQ(window_->Panel1012->Visible(), layout == 0);
    EXPECT_EQ(window_->Panel12->Visible(), layout == 1);
    EXPECT_EQ(window_->PanelF22->Visible(), layout == 2);
    EXPECT_EQ(window_->PanelCmdBtn->Left(), 1000 - 21);
    // The strip is white under its buttons.
    EXPECT_EQ(harness_.Pixel(window_->PanelCmdBtn, 10, 200), 0xFFFFFFu);
    const QImage shot = Shot();
    harness_.SavePng(shot, "trading-layout" + std::to_string(layout));
    sheet.Add("layout " + std::to_string(layout), shot);
  }
  LogIn(0);
  desk_.XPButton48Click();
  harness_.Pump();
  EXPECT_FALSE(window_->Panel1012->Visible());
  EXPECT_EQ(window_->XPButton48->Left(), 121);
  EXPECT_EQ(window_->XPButton48->Hint, "显示");
  QImage collapsed = Shot();
  harness_.SavePng(collapsed, "trading-collapsed");
  sheet.Add("collapsed", collapsed);

  desk_.pageState = kPageTasks;
  window_->Layout();
  EXPECT_TRUE(window_->Panel13->Visible());
  EXPECT_FALSE(window_->XPTreeView1->Visible());
  QImage tasks = Shot();
  harness_.SavePng(tasks, "trading-task-page");
  sheet.Add("tasks", tasks);
  harness_.SavePng(sheet.Compose(), "trading-window-sheet");
}

// What the login chain shows on its way: the account summary, the broker's
// note, the system notice, the statement, the contract list's progress and
// a lost connection.
TEST_F(TradingWindowTest, TheLoginChainsPages) {
  TTradeDispatcher dispatch(desk_, host_);
  const struct {
    const char *name, *file, *text;
    int state;
  } texts[] = {
      {"trading-chain-summary", "sum.txt", "客户号: 880001\r\n可用资金: 100000.00\r\n", kPageLoggedIn},
      {"trading-chain-brokernote", "note.txt", "尊敬的客户：\r\n期货交易有风险，入市须谨慎。\r\n", kPageNoteApproved},
      {"trading-chain-notice", "notice.txt", "系统通知\r\n详见 http://notice.test/\r\n", kPageNoticeRead},
      {"trading-chain-statement", "settle.txt", "交易结算单\r\n日期: 20240115\r\n", kPageStatement},
  };
  for (const auto &t : texts) {
    box_.WriteText("prog/" + std::string(t.file), t.text);
    desk_.pageState = t.state;
    window_->ClearViewer();
    window_->LoadViewer(t.file);
    window_->Layout();
    EXPECT_TRUE(window_->Panel13->Visible()) << t.name;
    harness_.SavePng(Shot(), t.name);
  }
  desk_.pageState = kPageLogin;
  desk_.login.message = "更新合约列表...1234";
  window_->LoginPageChanged();
  window_->Layout();
  harness_.SavePng(Shot(), "trading-chain-progress");

  LogIn(0);
  desk_.connectionState = 1;
  dispatch.HandleTradeNotify(tb::TN_CONNECTION_STATE, LPARAM(-2));
  harness_.Pump();
  EXPECT_EQ(window_->Splitter2->Height(), 22);
  Float(600, 300);
  harness_.SavePng(Shot(), "trading-reconnecting");
}

TEST_F(TradingWindowTest, TheFloatingFrameDrawsHitsAndDragsItself) {
  LogIn(0);
  Float(600, 300);
  ASSERT_FALSE(window_->Docked());
  EXPECT_EQ(panel_->Left(), 100);
  EXPECT_EQ(panel_->Width(), 600);
  EXPECT_TRUE(window_->XPTabControl1->Visible());
  EXPECT_FALSE(window_->XPTreeView1->Visible());
  // Three frames and the band.
  EXPECT_EQ(Pixel(0, 100), RGB(0, 19, 140));
  EXPECT_EQ(Pixel(1, 100), RGB(0, 30, 160));
  EXPECT_EQ(Pixel(2, 100), RGB(0, 72, 241));
  EXPECT_EQ(Pixel(590, 10), RGB(0, 72, 241));
  QImage floating = Shot();
  harness_.SavePng(floating, "trading-floating");
  desk_.connectionState = -1;
  window_->RepaintFrame();
  EXPECT_EQ(Pixel(590, 10), RGB(0, 72, 241));
  harness_.SavePng(Shot(), "trading-floating-disconnected");
  desk_.connectionState = 0;

  // Hit codes through the window's own message.
  struct Hit {
    int x, y, code;
  } hits[] = {{2, 100, HTLEFT}, {3, 100, HTCLIENT}, {300, 23, HTCAPTION}, {300, 24, HTCLIENT}, {599, 299, HTBOTTOMRIGHT}};
  for (const Hit &h : hits) {
    const POINT s = Screen(h.x, h.y);
    EXPECT_EQ(SendMessageA(panel_->Handle(), WM_NCHITTEST, 0, MAKELPARAM(WORD(s.x), WORD(s.y))), h.code) << h.x;
  }

  // A caption drag moves it; a border drag stops at 320 x 265; each move
  // that sizes it lays it out once.
  POINT s = Screen(300, 10);
  SendMessageA(panel_->Handle(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(WORD(s.x), WORD(s.y)));
  EXPECT_EQ(GetCapture(), panel_->Handle());
  SendMessageA(panel_->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(300 - 40, 10 + 30));
  SendMessageA(panel_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(260, 40));
  EXPECT_EQ(panel_->Left(), 60);
  EXPECT_EQ(panel_->Top(), 130);
  EXPECT_EQ(panel_->Width(), 600);
  EXPECT_EQ(GetCapture(), nullptr);

  s = Screen(599, 299);
  SendMessageA(panel_->Handle(), WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, MAKELPARAM(WORD(s.x), WORD(s.y)));
  const int before = window_->layoutCount;
  for (int i = 1; i <= 5; ++i) SendMessageA(panel_->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(599 - 100 * i, 299 - 20 * i));
  SendMessageA(panel_->Handle(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(window_->layoutCount - before, 3);  // the last two moves stay at the minimum
  EXPECT_EQ(panel_->Width(), 320);
  EXPECT_EQ(panel_->Height(), 265);
  EXPECT_EQ(panel_->Left(), 60);

  // Docked, the frame is no frame.
  desk_.OnTradeFloatClick(true);
  harness_.Pump();
  EXPECT_TRUE(window_->Docked());
  s = Screen(1, 1);
  EXPECT_EQ(SendMessageA(panel_->Handle(), WM_NCHITTEST, 0, MAKELPARAM(WORD(s.x), WORD(s.y))), HTCLIENT);
}

// As in the main window, the quote page is made after the trading window and
// fills what the docked window leaves: floating, the window is drawn over the
// page (and hidden and shown again stays there); docked again, the page
// gives the bottom back.
TEST_F(TradingWindowTest, TheFloatingWindowLiesOverThePageAndDocksBelowIt) {
  const std::string pageGreen = "#00c800";
  auto *page = new TPanel(form_);
  page->SetParent(form_);
  page->SetAlign(alClient);
  page->SetBevelOuter(bvNone);
  page->SetColor(RGB(0, 200, 0));
  LogIn(0);
  const auto onScreen = [&](int x, int y) {
    harness_.Pump();
    return harness_.Render(form_).pixelColor(x, y).name().toStdString();
  };
  ASSERT_EQ(onScreen(500, 100), pageGreen);

  Float(600, 300);
  ASSERT_FALSE(window_->Docked());
  EXPECT_TRUE(panel_->Visible());
  EXPECT_EQ(page->Height(), 700) << "the page takes the whole height";
  const RECT r = window_->PanelBounds();
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(r.right, 700);
  EXPECT_EQ(r.bottom, 400);
  for (int round = 0; round < 2; ++round) {
    // The left frame and the band, at points inside the page.
    EXPECT_EQ(onScreen(100, 200), "#00138c") << round;
    EXPECT_EQ(onScreen(690, 110), "#0048f1") << round;
    EXPECT_NE(onScreen(400, 300), pageGreen) << round;
    EXPECT_EQ(onScreen(50, 50), pageGreen) << round;
    panel_->Hide();
    harness_.Pump();
    EXPECT_EQ(onScreen(400, 300), pageGreen) << round;
    panel_->Show();
  }

  desk_.OnTradeFloatClick(true);
  harness_.Pump();
  ASSERT_TRUE(window_->Docked());
  EXPECT_EQ(panel_->Top() + panel_->Height(), 700);
  EXPECT_LE(page->Height() + panel_->Height(), 700);
  EXPECT_TRUE(window_->Splitter2->Visible());
  EXPECT_EQ(window_->Splitter2->Top() + window_->Splitter2->Height(), panel_->Top()) << "the splitter above";
  EXPECT_NE(onScreen(500, 690), pageGreen);
  EXPECT_EQ(onScreen(500, 10), pageGreen);
}

TEST_F(TradingWindowTest, TheKeypadHidesWhenTheFocusLeavesThePassword) {
  desk_.ImageSoftKeyClick();
  harness_.Pump();
  ASSERT_TRUE(window_->PanelSoftKey->Visible());
  // A handle that is not the password edit's is only compared.
  window_->TradeFocus(LPARAM(0x1234));
  EXPECT_TRUE(window_->PanelSoftKey->Visible());
  window_->keypad[3]->SetFocus();
  window_->TradeFocus(LPARAM(window_->XPEdit5->Handle()));
  EXPECT_TRUE(window_->PanelSoftKey->Visible());
  window_->XPEdit4->SetFocus();
  window_->TradeFocus(LPARAM(window_->XPEdit5->Handle()));
  EXPECT_FALSE(window_->PanelSoftKey->Visible());
  EXPECT_FALSE(desk_.login.keypadShown);
}

TEST_F(TradingWindowTest, KeypadKeysAndTheLoginButtonWorkThroughTheControls) {
  FillLogin();
  desk_.login.account.clear();
  window_->LoginPageChanged();
  window_->XPEdit4->SetText("880001");
  window_->XPEdit5->SetText("11111");
  const int one = [&] {
    for (int i = 0; i < 10; ++i)
      if (window_->keypad[i]->Caption() == "1") return i;
    return -1;
  }();
  ASSERT_GE(one, 0);
  window_->keypad[one]->Click();
  EXPECT_EQ(window_->XPEdit5->Text(), "111111");
  window_->XPButton5->Click();
  EXPECT_EQ(Fake.Calls("TradeInitialize").size(), 1u);
  EXPECT_EQ(window_->Label10->Caption(), "正在连接服务器...");
  EXPECT_FALSE(window_->XPButton5->Enabled());
}

}  // namespace
TEST_F(TradingWindowTest, BankAndQueryPagesFillTheirPlacesWithTheirForms) {
  LogIn(0);
  window_->BankPageReset();
  window_->QueryTabChange();
  ASSERT_TRUE(window_->bankForm && window_->queryForm);
  EXPECT_EQ(window_->bankForm->Parent(), window_->XPTabControl3);
  EXPECT_EQ(window_->queryForm->Parent(), window_->XPTabControl2);
  // Opening a page again keeps its form and runs its tab handler.
  TBankForm *bank = window_->bankForm;
  window_->BankPageReset();
  EXPECT_EQ(window_->bankForm, bank);

  // The password tab shows the window's password controls.
  window_->queryForm->XPTabControl2->SetTabIndex(TQueryPage::kPassword);
  window_->QueryTabChange();
  harness_.Pump();
  EXPECT_EQ(window_->XPEdit8->Parent(), window_->queryForm->Panel15);
  EXPECT_TRUE(window_->queryForm->Panel15->Visible());
  EXPECT_FALSE(window_->queryForm->Panel17->Visible());
}

namespace {

// Blocks as the plug-in hands them out, each counted when it comes back.
std::map<void *, int> returned;
void CountFree(void *block) { ++returned[block]; }
std::vector<char> Block(const std::string &text) {
  std::vector<char> block(tb::kResultBlockSize);
  memcpy(block.data(), text.data(), std::min(text.size(), block.size() - 1));
  return block;
}

// A logged-in window whose dispatcher's blocks are counted back.
class WindowDispatchTest : public TradingWindowTest {
 protected:
  WindowDispatchTest() : dispatch(desk_, host_) {
    window_->ConnectDispatcher(dispatch);
    TradePlugin.TraderDllFree = CountFree;
    LogIn(0);
    returned.clear();
  }
  TTradeDispatcher dispatch;
};

TEST_F(WindowDispatchTest, TheDispatchersAnswersReachThePagesAndEveryBlockComesBackOnce) {
  TBankPage &bank = window_->Bank();
  TQueryPage &query = window_->Query();

  // The bank's answers: what the page shows and the boxes it opens.
  tb::TB_BANK_BALANCE balance{};
  balance.Balance = 1234.5;
  std::vector<char> balanceBlock(tb::kResultBlockSize);
  memcpy(balanceBlock.data(), &balance, sizeof balance);
  const struct {
    uint32_t wParam;
    std::vector<char> block;
    std::string notice, bankFunds;
    size_t boxes;
  } answers[] = {
      {tb::TN_BANK_BALANCE, balanceBlock, "", "1234.50", 0},
      {tb::TN_BANK_BALANCE | tb::TN_TEXT_FLAG, Block("银行密码错误"), "银行密码错误", "1234.50", 1},
      {tb::TN_BANKS | tb::TN_TEXT_FLAG, Block("银行列表不可用"), "银行列表不可用", "1234.50", 0},
      {tb::TN_BANK_TO_FUTURE_DONE, Block("转帐成功"), "转帐成功", "待查", 0},
  };
  for (const auto &a : answers) {
    boxes_.Clear();
    std::vector<char> block = a.block;
    returned.erase(block.data());  // the address of a block freed before may come back
    dispatch.HandleTradeNotify(a.wParam, LPARAM(block.data()));
    EXPECT_EQ(bank.notice, a.notice) << a.wParam;
    EXPECT_EQ(bank.bankFunds, a.bankFunds) << a.wParam;
    EXPECT_EQ(boxes_.Count(), a.boxes) << a.wParam;
    EXPECT_EQ(returned[block.data()], 1) << a.wParam;
  }

  // A funds report: its file into the query page's memo and deleted, the
  // withdrawable funds on the bank page.
  box_.WriteText("prog/report.txt", "可用资金 5000.00");
  std::vector<char> report = Block("report.txt");
  const double funds[2] = {5000, 4200.25};
  memcpy(report.data() + strlen("report.txt") + 1, funds, sizeof funds);
  returned.erase(report.data());
  dispatch.HandleTradeNotify(tb::TN_QUERY_REPORT, LPARAM(report.data()));
  EXPECT_EQ(query.memo, "可用资金 5000.00");
  EXPECT_FALSE(std::ifstream(box_.Path("prog/report.txt")).good());
  EXPECT_EQ(bank.futuresFunds, "4200.25");
  EXPECT_EQ(query.hint, "日期格式为YYYYMMDD，如20070801。");
  EXPECT_EQ(query.hintColour, TQueryPage::kBlue);
  EXPECT_EQ(returned[report.data()], 1);
  std::vector<char> refused = Block("查询被拒绝");
  dispatch.HandleTradeNotify(tb::TN_QUERY_REPORT | tb::TN_TEXT_FLAG, LPARAM(refused.data()));
  EXPECT_EQ(query.hint, "查询被拒绝");
  EXPECT_EQ(query.hintColour, TQueryPage::kRed);

  // The broker's notice: wrapped, centred, its address a link.
  box_.WriteText("prog/BrokerNote.txt", "系统通知 http://notice.test/");
  desk_.pageState = kPageNoteApproved;
  dispatch.HandleTradeNotify(tb::TN_BROKER_NOTICE, 0);
  EXPECT_EQ(window_->XPRichEdit1->Text(), "系统通知 http://notice.test/");
  EXPECT_EQ(window_->XPRichEdit1->Alignment(), taCenter);
  EXPECT_TRUE(window_->XPRichEdit1->WordWrap);
  EXPECT_EQ(window_->XPRichEdit1->Links().size(), 1u);
  // The statement page goes back to unwrapped, left-aligned text.
  window_->ViewerPlain();
  EXPECT_EQ(window_->XPRichEdit1->Alignment(), taLeftJustify);
  EXPECT_FALSE(window_->XPRichEdit1->WordWrap);
}

TEST_F(WindowDispatchTest, AStatementFailureReachesTheOpenReportDialogWhichReturnsTheBlock) {
  TAccountReport &report = data_.accountReport;
  TTongJiDlg dialog(nullptr, report);
  report.ActiveTongJiDlg = &dialog;
  report.window = dialog.Handle();

  std::vector<char> busy = Block("服务器忙，请稍后再试");
  boxes_.Clear();
  dispatch.HandleTradeNotify(tb::TN_SETTLEMENT_INFO | tb::TN_TEXT_FLAG, LPARAM(busy.data()));
  EXPECT_EQ(returned[busy.data()], 0);  // posted to the dialog, not yet read
  harness_.Pump();
  EXPECT_EQ(returned[busy.data()], 1);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_NE(boxes_.Calls()[0].text.find("服务器忙"), std::string::npos);

  // Without the dialog the statement is the dispatcher's own again.
  report.ActiveTongJiDlg = nullptr;
  std::vector<char> other = Block("服务器忙");
  returned.erase(other.data());
  dispatch.HandleTradeNotify(tb::TN_SETTLEMENT_INFO | tb::TN_TEXT_FLAG, LPARAM(other.data()));
  EXPECT_EQ(returned[other.data()], 1);
  harness_.Pump();
  EXPECT_EQ(returned[other.data()], 1);
}

TEST_F(TradingWindowTest, TheKeyRoutingSeesTheWindowsControlsStateAndNavigation) {
  TTradeKeyTargets &keys = window_->Keys();
  EXPECT_EQ(keys.Control("XPEdit5"), window_->XPEdit5->Handle());
  EXPECT_EQ(keys.Control("NoSuchControl"), nullptr);
  EXPECT_EQ(keys.TradingState(), kPageLogin);
  EXPECT_FALSE(keys.Locked());
  EXPECT_FALSE(keys.Floating());
  EXPECT_EQ(keys.Checked("XPCheckBox1"), window_->XPCheckBox1->Checked());
  EXPECT_FALSE(keys.Checked("XPEdit5"));  // not a check box

  // A combo chosen by the keys runs its change handler.
  EXPECT_EQ(keys.ComboIndex("XPComboBoxSecurityType"), 0);
  keys.SelectCombo("XPComboBoxSecurityType", 1);
  EXPECT_EQ(desk_.login.securityIndex, 1);
  EXPECT_FALSE(desk_.login.verifyShown);
  EXPECT_EQ(keys.ComboIndex("NoSuchCombo"), -1);
  TTradeKeyTargets::Spin spin;
  EXPECT_FALSE(keys.SpinRange("XPUpDown3", spin));

  LogIn(1);
  EXPECT_EQ(keys.OrderEntryLayout(), 1);
  EXPECT_TRUE(keys.KeyboardOrderActive());
  EXPECT_EQ(keys.NodeCount(), 10);
  EXPECT_EQ(keys.SelectedNode(), 0);
  keys.ChangeNode(3);
  EXPECT_EQ(desk_.pageState, kPagePositions);
  EXPECT_EQ(keys.SelectedNode(), 3);
  keys.ChangeNode(10);  // past the end: nothing
  EXPECT_EQ(desk_.pageState, kPagePositions);
  // The condition orders need their right: refused, the page stays.
  keys.ChangeNode(4);
  EXPECT_EQ(desk_.pageState, kPagePositions);
  EXPECT_EQ(keys.SelectedNode(), 3);
  desk_.locked = true;
  EXPECT_TRUE(keys.Locked());
}

}  // namespace

}  // namespace trading_test

namespace trading_test {
namespace {

// The task page while a task's order is being sent, and after a run with a
// failed task.
struct TaskPageShot {
  ViewHarness *harness;
  TControl *panel;
  QImage running;
  std::string caption;
};
TaskPageShot *Shooting = nullptr;

int InsertWhileShooting(char *, char *, double, int, char, char, char, char *ref, char *) {
  Shooting->harness->Pump();
  Shooting->running = Shooting->harness->Render(Shooting->panel);
  strcpy(ref, "7");
  return 0;
}

TEST_F(TradingWindowTest, TaskPageWhileRunningAndAfterAFailure) {
  LogIn(0);
  CContractInfo cu{};
  strcpy(cu.InstrumentID, "cu2402");
  strcpy(cu.ExchangeID, "SHFE");
  cu.PriceTick = 10;
  cu.VolumeMultiple = 5;
  data_.SetContracts(&cu, 1);
  TOrderBook book(data_, host_);
  TTaskQueue queue(desk_, book, host_);
  OrderScript fixed{};
  strcpy(fixed.InstrumentID, "cu2402");
  strcpy(fixed.Description, "快捷平仓 cu2402");
  fixed.Direction = '1';
  fixed.OffsetFlag = '1';
  fixed.HedgeFlag = '1';
  fixed.Volume = 2;
  fixed.PriceKind = kTaskPriceFixed;
  fixed.PriceValue = 69000;
  fixed.OrderLink = -1;
  OrderScript open = fixed;
  strcpy(open.Description, "快捷反手 cu2402");
  open.OffsetFlag = '0';
  open.PriceKind = kTaskPriceOffsetTicks;  // without a quote: no ask
  data_.tasks.Add(fixed);
  data_.tasks.Add(open);
  TaskPageShot shot{&harness_, panel_, {}, {}};
  Shooting = &shot;
  TradePlugin.OrderInsert = InsertWhileShooting;
  queue.StartOrderScripts();
  Shooting = nullptr;
  ASSERT_FALSE(shot.running.isNull());
  harness_.SavePng(shot.running, "task-page-running");
  EXPECT_EQ(desk_.pageState, kPageTasks);
  EXPECT_TRUE(window_->Panel13->Visible());
  EXPECT_EQ(window_->XPButton19->Caption(), "确定");
  EXPECT_NE(window_->XPRichEdit1->Text().find("其中 1 个任务失败"), std::string::npos);
  harness_.SavePng(Shot(), "task-page-failed");
}

// A stop set in the dialog shows in the position list's stop column at
// once, not only after the next answer from the broker.
TEST_F(WindowDispatchTest, AStopSavedInTheDialogShowsInThePositionList) {
  TDeskAutomation automation(desk_.Data());
  TListCommands commands(desk_, dispatch);
  window_->ShowListArea(commands);
  window_->ConnectAutomation(automation, commands);
  CContractInfo c{};
  strcpy(c.InstrumentID, "cu2405");
  strcpy(c.ExchangeID, "SHFE");
  c.VolumeMultiple = 5;
  c.PriceTick = 10;
  c.Stock = STKPTR(1, 0, 0);
  desk_.Data().contracts = &c;
  desk_.Data().contractCount = 1;
  InvestorPosition_Lite p{};
  strcpy(p.InstrumentID, "cu2405");
  p.PosiDirection = '2';
  p.HedgeFlag = '1';
  p.Volume = 2;
  p.OpenAverage = p.HoldingAverage = 69000;
  p.Stock = c.Stock;
  desk_.Data().positions.Add(p);
  dispatch.positionBook.FillPositionList();
  window_->listArea->ShowPositions();
  TListItems *items = window_->listArea->XPListView3->Items();
  ASSERT_EQ(items->Count(), 1);
  const std::string before = items->Item(0)->SubItems()->Strings(kPosStop);

  window_->runStopDialog = [](TStopDialogModel &model) {
    model.lastPrice = [] { return 69000.0; };
    model.tradeDate = [] { return 20240115; };
    model.FinishEdit(0, kStopColumnStop, "68000");
    model.Save();
  };
  commands.setStopOrderForPosition(0);
  const std::string shown = dispatch.positionBook.rows.rows.at(0).items.at(kPosStop);
  EXPECT_NE(shown, before);
  EXPECT_EQ(shown.rfind("68000", 0), 0u) << shown;
  EXPECT_EQ(items->Item(0)->SubItems()->Strings(kPosStop), shown);
  ReleaseAllStops(desk_.Data());
  desk_.Data().contracts = nullptr;
  desk_.Data().contractCount = 0;
}

}  // namespace
}  // namespace trading_test

namespace trading_test {
namespace {

TEST_F(WindowDispatchTest, TheListAreaCoversTheListPanelOnTheListPagesOnly) {
  TListCommands commands(desk_, dispatch);
  TListAreaForm *area = window_->ShowListArea(commands);
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(window_->ShowListArea(commands), area);  // made once
  harness_.Pump();
  TControl *panel4 = window_->Control("Panel4");
  ASSERT_NE(panel4, nullptr);
  EXPECT_TRUE(area->Visible());
  EXPECT_EQ(area->Width(), static_cast<TWinControl *>(panel4)->ClientWidth());
  EXPECT_TRUE(area->OwnerDrawPanel3->Visible() && area->OwnerDrawPanel2->Visible());
  desk_.pageState = kPageConditions;
  window_->Layout();
  harness_.Pump();
  EXPECT_FALSE(area->Visible());
  // A modify puts the order into the window's order panel.
  CKivoOrderField o{};
  strcpy(o.OrderRef, "5");
  strcpy(o.InstrumentID, "cu2405");
  o.Direction = '0';
  o.OffsetFlag = '0';
  o.VolumeTotal = 4;
  o.OrderStatus[0] = '3';
  o.OrderStatus[1] = '0';
  desk_.Data().orders.Add(o);
  OnOrderRadioClick(dispatch.book, desk_.Data(), kPageTrading, desk_.orderTag);
  commands.XPButton30Click(0);
  EXPECT_EQ(window_->orderPanel.contract, "cu2405");
  EXPECT_EQ(window_->orderPanel.volume, "4");
}

TEST_F(WindowDispatchTest, TheAutomationPagesAndTheStopDialogAreConnected) {
  TDeskAutomation automation(desk_.Data());
  TListCommands commands(desk_, dispatch);
  window_->ShowListArea(commands);
  window_->ConnectAutomation(automation, commands);
  TCheckListPanel *check = window_->checkListPanel;
  TConditionPagePanel *conditions = window_->conditionPagePanel;
  ASSERT_NE(check, nullptr);
  ASSERT_NE(conditions, nullptr);

  // The check list fills Panel21 on its page; filling the list shows its rows.
  desk_.pageState = kPageCheckList;
  window_->Layout();
  harness_.Pump();
  EXPECT_TRUE(check->Showing());
  EXPECT_EQ(check->Width(), window_->Panel21->ClientWidth());
  EXPECT_FALSE(conditions->Showing());
  dispatch.hooks.fillAutomationCheckList();
  EXPECT_EQ(check->XPListView5->Items()->Count(), int(automation.checkList.rows.size()));
  // "确认" arms the automation and goes to trading.
  harness_.Click(check->XPButton50, 5, 5);
  EXPECT_TRUE(desk_.automationArmed);
  EXPECT_EQ(desk_.pageState, kPageTrading);

  // The condition-order navigation entry shows the page on its first tab.
  conditions->XPTabControl4->SetTabIndex(1);
  conditions->XPTabControl4Change();
  desk_.ShowTradingPage(4);
  harness_.Pump();
  EXPECT_EQ(desk_.pageState, kPageConditions);
  EXPECT_TRUE(conditions->Showing());
  EXPECT_EQ(window_->conditionPage->tab, 0);
  EXPECT_EQ(conditions->XPTabControl4->TabIndex(), 0);
  // After a new order the dialog's run shows the same page.
  desk_.pageState = kPageTrading;
  window_->Layout();
  const TConditionDialogRun run = window_->ConditionDialogRun();
  ASSERT_TRUE(run.showConditionPage && run.saveConditionOrders && run.rights);
  run.showConditionPage();
  EXPECT_EQ(desk_.pageState, kPageConditions);

  // The position list's stop column, button and menu reach the stop
  // dialog under the account's right (the position's contract is unknown
  // here, which the dialog itself reports).
  InvestorPosition_Lite p{};
  strcpy(p.InstrumentID, "cu2405");
  p.PosiDirection = '2';
  p.HedgeFlag = '1';
  p.Volume = 5;
  desk_.Data().positions.Add(p);
  ASSERT_TRUE(commands.stopRight && commands.setStopOrderForPosition);
  for (uint8_t rights : {uint8_t(0), uint8_t(kRightStopOrders)}) {
    UserRights[kFeatureOrderByte] = rights;
    EXPECT_EQ(commands.stopRight(), rights != 0);
  }
  UserRights[kFeatureOrderByte] = 0;
  int dialogs = 0;
  window_->runStopDialog = [&](TStopDialogModel &) { ++dialogs; };
  boxes_.Clear();
  commands.setStopOrderForPosition(1);  // past the array: nothing
  EXPECT_EQ(boxes_.Count(), 0u);
  commands.setStopOrderForPosition(0);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls().back().text, "该合约不存在或不可交易。  ");
  EXPECT_EQ(dialogs, 0);

  // "退出" on the check list closes trading.
  desk_.pageState = kPageCheckList;
  window_->Layout();
  harness_.Pump();
  harness_.Click(check->XPButton52, 5, 5);
  EXPECT_EQ(desk_.pageState, kPageLogin);
}

}  // namespace
}  // namespace trading_test
