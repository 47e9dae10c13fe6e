#include <QTextBrowser>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/dialogs.h"
#include "classlib/stdctrls.h"
#include "classlib/grids.h"
#include "classlib/listbox.h"
#include "classlib/listview.h"
#include "classlib/combobox.h"
#include "classlib/richview.h"
#include "classlib/scrollbar.h"
#include "classlib/tabs.h"
#include "classlib/treeview.h"
#include "testing/common_dialog_recorder.h"
#include "testing/shell_recorder.h"
#include "testing/temp_folder.h"
#include "platform/qtbridge.h"
#include "tests/classlib/control_fixture.h"

namespace {

using MiscControlTest = ControlTest;

// A control hidden before its window exists stays hidden when its form is
// shown: nothing of it reaches the screen.
TEST_F(MiscControlTest, AControlHiddenBeforeItsWindowExistsStaysHidden) {
  auto *hidden = Make<TEdit>(10, 10, 100, 21);
  auto *shown = Make<TEdit>(10, 40, 100, 21);
  hidden->Hide();
  ShowForm();
  EXPECT_FALSE(IsWindowVisible(hidden->Handle()));
  EXPECT_FALSE(platform::WidgetFromHandle(hidden->Handle())->isVisible());
  EXPECT_TRUE(platform::WidgetFromHandle(shown->Handle())->isVisible());
  hidden->Show();
  h.Pump();
  EXPECT_TRUE(platform::WidgetFromHandle(hidden->Handle())->isVisible());
}

TEST_F(MiscControlTest, TabsAskBeforeChangingAndPagesFollowTheirTab) {
  auto *tabs = Make<TTabControl>(0, 0, 300, 100);
  for (const char *text : {"F1 交易", "F2 当日委托", "F3 当日成交"}) tabs->Tabs()->Add(text);
  bool allow = true;
  int changes = 0;
  tabs->OnChanging = [&](TObject *, bool &allowChange) { allowChange = allow; };
  tabs->OnChange = [&](TObject *) { ++changes; };
  ShowForm();
  EXPECT_EQ(tabs->TabIndex(), 0);
  TRect second = tabs->TabRect(1);
  EXPECT_EQ(second.Left, tabs->TabRect(0).Right);
  h.Click(tabs->Handle(), second.Left + 3, second.Top + 3);
  EXPECT_EQ(tabs->TabIndex(), 1);
  allow = false;
  TRect third = tabs->TabRect(2);
  h.Click(tabs->Handle(), third.Left + 3, third.Top + 3);
  EXPECT_EQ(tabs->TabIndex(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(tabs->IndexOfTabAt(third.Right + 50, third.Top + 3), -1);

  auto *pages = Make<TPageControl>(0, 110, 300, 100);
  auto *a = new TTabSheet(pages);
  a->SetCaption("甲");
  a->SetPageControl(pages);
  auto *b = new TTabSheet(pages);
  b->SetCaption("乙");
  b->SetPageControl(pages);
  h.Pump();
  EXPECT_EQ(pages->ActivePage(), a);
  TRect tab = pages->TabRect(1);
  h.Click(pages->Handle(), tab.Left + 3, tab.Top + 3);
  EXPECT_EQ(pages->ActivePage(), b);
  EXPECT_TRUE(b->Visible());
  EXPECT_FALSE(a->Visible());
  b->SetTabVisible(false);  // a hidden tab's page gives way
  EXPECT_EQ(pages->ActivePage(), a);
}

TEST_F(MiscControlTest, TreeKeysExpandAndWalkTheNodes) {
  auto *tree = Make<TTreeView>(0, 0, 150, 200);
  TTreeNode *trade = tree->Items()->Add(nullptr, "交易");
  tree->Items()->AddChild(trade, "当日委托");
  tree->Items()->AddChild(trade, "当日成交");
  tree->Items()->Add(nullptr, "查询");
  std::vector<std::string> changes;
  tree->OnChange = [&](TObject *, TTreeNode *node) { changes.push_back(node ? node->Text() : "-"); };
  ShowForm();
  tree->SetFocus();
  h.Key(VK_DOWN);   // the first node
  h.Key(VK_RIGHT);  // expands
  h.Key(VK_RIGHT);  // to the first child
  h.Key(VK_DOWN);
  EXPECT_EQ(changes, (std::vector<std::string>{"交易", "当日委托", "当日成交"}));
  h.Key(VK_LEFT);  // up to the parent
  h.Key(VK_LEFT);  // collapses
  EXPECT_FALSE(trade->Expanded());
  h.Key(VK_DOWN);
  EXPECT_EQ(tree->Selected()->Text(), "查询");
  EXPECT_EQ(tree->Items()->Count(), 4);
  EXPECT_EQ(tree->Items()->Item(2)->Text(), "当日成交");
  trade->Delete();  // the selection is elsewhere and stays
  EXPECT_EQ(tree->Selected()->Text(), "查询");
}

TEST_F(MiscControlTest, ScrollBarAndUpDownStepByTheirButtons) {
  auto *bar = Make<TScrollBar>(0, 0, 17, 150);
  bar->SetKind(sbVertical);
  bar->SetBounds(0, 0, 17, 150);
  bar->SetParams(0, 0, 99);
  bar->SetPageSize(10);
  std::vector<std::pair<TScrollCode, int>> scrolls;
  bar->OnScroll = [&](TObject *, TScrollCode code, int &pos) { scrolls.emplace_back(code, pos); };
  auto *spin = Make<TUpDown>(40, 0, 16, 20);
  spin->Max = 3;
  short proposed = -1;
  spin->OnChangingEx = [&](TObject *, bool &allow, short value, TUpDownDirection) {
    proposed = value;
    allow = value != 3;
  };
  ShowForm();
  h.Click(bar->Handle(), 8, 140);  // the lower arrow
  EXPECT_EQ(bar->Position(), 1);
  h.Click(bar->Handle(), 8, 120);  // the track below the thumb: a page
  EXPECT_EQ(bar->Position(), 11);
  ASSERT_GE(scrolls.size(), 2u);
  EXPECT_EQ(scrolls.front().first, scLineDown);
  EXPECT_EQ(scrolls.back().first, scEndScroll);
  bar->SetPosition(500);
  EXPECT_EQ(bar->Position(), 90);  // the last page starts at Max - PageSize + 1

  h.Click(spin->Handle(), 8, 4);  // upper half
  h.Click(spin->Handle(), 8, 4);
  EXPECT_EQ(spin->Position(), 2);
  h.Click(spin->Handle(), 8, 4);  // refused at 3
  EXPECT_EQ(proposed, 3);
  EXPECT_EQ(spin->Position(), 2);
  h.Click(spin->Handle(), 8, 16);  // lower half
  EXPECT_EQ(spin->Position(), 1);
}

TEST_F(MiscControlTest, DialogComponentsAskTheInstalledAnswerer) {
  CommonDialogRecorder recorder;
  TSaveDialog save(form.get());
  save.Filter = "位图(*.BMP)|*.bmp|PNG(*.PNG)|*.png";
  save.DefaultExt = "bmp";
  save.InitialDir = ".\\";
  save.Title = "保存图片";
  save.Options |= ofOverwritePrompt;
  recorder.QueueFile({true, "C:\\pics\\chart", 2});
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName, "C:\\pics\\chart.bmp");
  EXPECT_EQ(save.FilterIndex, 2);
  const auto &asked = recorder.FileRequests().at(0);
  EXPECT_EQ(asked.kind, platform::FileDialogKind::Save);
  EXPECT_EQ(asked.filters.size(), 2u);
  EXPECT_TRUE(asked.flags & OFN_OVERWRITEPROMPT);
  EXPECT_FALSE(save.Execute());  // cancelled: the name stays
  EXPECT_EQ(save.FileName, "C:\\pics\\chart.bmp");

  TFontDialog font(form.get());
  font.Font()->SetName("宋体");
  font.Font()->SetHeight(-12);
  platform::FontDialogAnswer answer{true, {"黑体", -15, 700, true, false, false, RGB(1, 2, 3)}};
  recorder.QueueFont(answer);
  ASSERT_TRUE(font.Execute());
  EXPECT_EQ(recorder.FontRequests().at(0).font.face, "宋体");
  EXPECT_EQ(font.Font()->Name(), "黑体");
  EXPECT_EQ(font.Font()->Height(), -15);
  EXPECT_EQ(font.Font()->Style(), TFontStyles(fsBold | fsItalic));
  EXPECT_EQ(font.Font()->Color(), TColor(RGB(1, 2, 3)));

  TColorDialog color(form.get());
  color.Color = clRed;
  recorder.QueueColor({true, RGB(0, 128, 0)});
  ASSERT_TRUE(color.Execute());
  EXPECT_EQ(recorder.ColorRequests().at(0).color, COLORREF(RGB(255, 0, 0)));
  EXPECT_EQ(color.Color, TColor(RGB(0, 128, 0)));
}

TEST_F(MiscControlTest, RichEditReportsALinkUnderTheMouseToItsParent) {
  auto *edit = Make<TRichEdit>(0, 0, 300, 100);
  edit->SetReadOnly(true);
  std::vector<ENLINK> links;
  KeepWindowProc keep(form.get());
  TWndMethod inherited = keep.inherited;
  form->WindowProc = [&](TMessage &m) {
    if (m.Msg == WM_NOTIFY && reinterpret_cast<NMHDR *>(m.LParam)->code == EN_LINK) {
      links.push_back(*reinterpret_cast<ENLINK *>(m.LParam));
      m.Result = 1;
      return;
    }
    inherited(m);
  };
  ShowForm();
  SendMessageA(edit->Handle(), EM_AUTOURLDETECT, 1, 0);
  SendMessageA(edit->Handle(), EM_SETEVENTMASK, 0, ENM_LINK);
  edit->Lines()->Add("结算单 http://example.invalid/a 已生成");
  ASSERT_EQ(edit->Links().size(), 1u);
  CHARRANGE range = edit->Links()[0];
  char text[64] = {};
  TEXTRANGEA request{range, text};
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request)), 24);
  EXPECT_STREQ(text, "http://example.invalid/a");

  // A link of Chinese characters never runs past a buffer sized by its
  // character count (one byte per character and the NUL).
  edit->Lines()->Add("http://例子.测试/路径");
  ASSERT_EQ(edit->Links().size(), 2u);
  CHARRANGE wide = edit->Links()[1];
  int chars = wide.cpMax - wide.cpMin;
  std::vector<char> buffer(size_t(chars) + 1 + 8, '#');
  TEXTRANGEA wideRequest{wide, buffer.data()};
  LRESULT copied = SendMessageA(edit->Handle(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&wideRequest));
  EXPECT_LE(copied, chars);
  EXPECT_EQ(std::string(buffer.data()).substr(0, 11), "http://例子");
  EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), std::string(8, '#'));
  // A press beside the link says nothing; a press on it tells the parent.
  SendMessageA(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_TRUE(links.empty());
  QTextBrowser *browser = edit->Browser();
  ASSERT_NE(browser, nullptr);
  QTextCursor at(browser->document());
  at.setPosition(range.cpMin + 3);
  QPoint onLink = browser->viewport()->mapTo(browser, browser->cursorRect(at).center());
  LPARAM where = MAKELPARAM(WORD(onLink.x()), WORD(onLink.y()));
  SendMessageA(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, where);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].msg, UINT(WM_LBUTTONDOWN));
  EXPECT_EQ(links[0].chrg.cpMin, range.cpMin);
  EXPECT_EQ(links[0].chrg.cpMax, range.cpMax);
  EXPECT_EQ(links[0].nmhdr.hwndFrom, edit->Handle());
  // Without the link notification asked for, nothing is reported.
  SendMessageA(edit->Handle(), EM_SETEVENTMASK, 0, 0);
  SendMessageA(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, where);
  EXPECT_EQ(links.size(), 1u);
  EXPECT_EQ(edit->Lines()->Count(), 2);
  EXPECT_EQ(edit->Lines()->Get(0), "结算单 http://example.invalid/a 已生成");
}

TEST_F(MiscControlTest, SheetOfTheListsGridsAndDialogsControls) {
  // A picture of each control for a person to look at.
  form->SetBounds(0, 0, 640, 480);
  auto *grid = Make<TStringGrid>(4, 4, 200, 100);
  grid->SetColCount(3);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 3; ++c) grid->SetCells(c, r, std::to_string(r * 10 + c));
  auto *list = Make<TListBox>(210, 4, 100, 100);
  for (const char *t : {"上证指数", "深证成指", "沪深300"}) list->Items()->Add(t);
  list->SetItemIndex(1);
  auto *checks = Make<TCheckListBox>(320, 4, 100, 100);
  checks->Items()->Add("委托");
  checks->Items()->Add("成交");
  checks->SetChecked(0, true);
  auto *combo = Make<TComboBox>(430, 4, 120, 21);
  combo->SetStyle(csDropDownList);
  combo->Items()->Add("1.限价");
  combo->SetItemIndex(0);
  TListView *view = nullptr;
  {
    view = Make<TListView>(4, 110, 300, 100);
    for (const char *t : {"合约", "方向", "持仓"}) view->Columns()->Add()->SetCaption(t);
    TListItem *item = view->Items()->Add();
    item->SetCaption("IF2412");
    item->SubItems()->Add("买");
    item->SubItems()->Add("2");
  }
  auto *tree = Make<TTreeView>(310, 110, 120, 100);
  TTreeNode *root = tree->Items()->Add(nullptr, "交易");
  tree->Items()->AddChild(root, "持仓");
  root->Expand();
  auto *tabs = Make<TTabControl>(440, 110, 190, 100);
  tabs->Tabs()->Add("F1 交易");
  tabs->Tabs()->Add("F4 持仓");
  auto *bar = Make<TScrollBar>(4, 220, 200, 17);
  bar->SetParams(30, 0, 100);
  auto *spin = Make<TUpDown>(210, 220, 16, 24);
  ShowForm();
  testing_support::PictureSheet sheet(4);
  std::vector<std::pair<std::string, TControl *>> controls = {
      {"TStringGrid", grid}, {"TListBox", list}, {"TCheckListBox", checks}, {"TComboBox", combo},
      {"TListView", view},   {"TTreeView", tree}, {"TTabControl", tabs},   {"TScrollBar", bar},
      {"TUpDown", spin}};
  for (auto &[name, control] : controls) {
    QImage image = h.Render(control);
    EXPECT_FALSE(image.isNull()) << name;
    sheet.Add(name, image);
  }
  std::string path = h.SavePng(sheet.Compose(), "lists_grids_controls");
  EXPECT_FALSE(path.empty());
}

}  // namespace

namespace {

struct WebBrowserTest : testing_support::TempFolderTest {
  void TearDown() override {
    form.reset();
    h.Pump();
    TempFolderTest::TearDown();
  }
  std::vector<std::string> Opened() const {
    std::vector<std::string> files;
    for (const platform::ShellOpenCall &call : shell.Opens()) files.push_back(call.file);
    return files;
  }
  ShellRecorder shell;
  testing_support::ViewHarness h;
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
};

TEST_F(WebBrowserTest, WithoutTheEngineLocalPagesShowInsideAndWebAddressesAsLinks) {
  Put("Report.HTML", "<html><body><p>交易及账户报告</p><a href=\"more.html\">more</a></body></html>");
  Put("more.html", "<html><body>第二页</body></html>");
  auto *web = new TWebBrowser(form.get());
  web->SetParent(form.get());
  web->SetBounds(0, 0, 300, 200);
  form->Show();
  h.Pump();
  EXPECT_TRUE(web->Navigate(".\\report.html"));  // found without regard to case
  EXPECT_NE(web->DocumentText().find("交易及账户报告"), std::string::npos);
  EXPECT_TRUE(web->Navigate(".\\more.html"));
  EXPECT_NE(web->DocumentText().find("第二页"), std::string::npos);
  web->GoBack();
  EXPECT_NE(web->DocumentText().find("交易及账户报告"), std::string::npos);
  web->GoForward();
  EXPECT_NE(web->DocumentText().find("第二页"), std::string::npos);
  EXPECT_FALSE(web->Navigate(".\\missing.html"));
  EXPECT_TRUE(Opened().empty());

  // A web address is kept in the history and shown as its link; nothing
  // is opened until the link is followed.
  std::vector<std::string> completed;
  web->OnDocumentComplete = [&](TObject *, const std::string &url) { completed.push_back(url); };
  EXPECT_TRUE(web->Navigate("http://news.example.invalid/list"));
  EXPECT_TRUE(Opened().empty());
  EXPECT_EQ(web->LocationURL(), "http://news.example.invalid/list");
  EXPECT_NE(web->DocumentText().find("news.example.invalid/list"), std::string::npos);
  web->GoBack();
  EXPECT_NE(web->DocumentText().find("第二页"), std::string::npos);
  EXPECT_EQ(completed, (std::vector<std::string>{"http://news.example.invalid/list", web->LocationURL()}));
  EXPECT_FALSE(web->UsesEngine());
}

}  // namespace
