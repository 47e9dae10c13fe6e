#include "views/pagefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/path.h"
#include "classlib/listbox.h"
#include "classlib/stdctrls.h"
#include "testing/page_fixture.h"
#include "tests/views/view_world.h"
#include "views/pagelist.h"
#include "views/pagemngr.h"

namespace {

using page_fixture::NodeDesc;
using page_fixture::PaneDesc;
using views_test::MainWindowOf;
using views_test::ViewWorld;

// Three panes: a report on the left; on the right a K-line chart above an
// intraday chart.
NodeDesc ThreePanes(int blockA, int blockB) {
  PaneDesc report;
  report.viewType = VIEW_TYPE_REPORT;
  report.stock = STKPTR(0, 0, 1);
  report.stockText = "SH 600036";
  report.tabIds = {uint16_t(blockA), uint16_t(blockB)};
  report.tabNames = {"上海期货", "自选 一"};
  report.keptTopRow = 7;
  PaneDesc kline;
  kline.viewType = VIEW_TYPE_KLINE;
  kline.stock = STKPTR(1, 0, 1);
  kline.stockText = "QH AL05";
  kline.windowCount = 2;
  kline.formulas = {"K", "VOL"};
  kline.period = 9;
  kline.keptTopRow = 1;
  kline.overlays = {STKPTR(0, 0, 0), STKPTR(1, 0, 0)};
  kline.overlayTexts = {"SH 600000", "QH CU05"};
  kline.linked = 1;
  PaneDesc intraday;
  intraday.viewType = VIEW_TYPE_INTRADAY;
  intraday.flags = kViewFlagTickMode;
  return page_fixture::Split(
      1, 1.0f, page_fixture::Pane(1, 0.4f, report),
      page_fixture::Split(2, 0.6f, page_fixture::Pane(3, 0.5f, kline), page_fixture::Pane(4, 0.5f, intraday)));
}

std::string Repeat(const std::string &text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// The file with its payload cut to n bytes (and its length saying so).
std::string CutShort(const std::string &bytes, uint32_t n) {
  std::string cut = bytes.substr(0, 76 + n);
  std::memcpy(&cut[72], &n, 4);
  return cut;
}

class PageFileTest : public ViewWorld {
 protected:
  std::string Posix(const std::string &windowsPath) { return platform::ResolvePath(windowsPath.c_str()); }
  std::string UserPage(int d) { return std::string(UserDataPath) + "kvpage" + std::to_string(d) + ".ppg"; }
  void Put(const std::string &windowsPath, const std::string &bytes) {
    page_fixture::WriteFile(Posix(windowsPath), bytes);
  }
  bool Exists(const std::string &windowsPath) {
    return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::string Read(const std::string &windowsPath) {
    std::string bytes;
    ReadWholeFile(windowsPath.c_str(), &bytes);
    return bytes;
  }
  TMultiViewMain *Open(const std::string &path) {
    page_.reset();
    main_ = MainWindowOf(1000, 600);
    page_.reset(new TMultiViewMain(main_.get(), 0, path.c_str()));
    harness_.Pump();
    return page_.get();
  }
  ~PageFileTest() override {
    page_.reset();
    main_.reset();
  }
  std::unique_ptr<TForm> main_;
  std::unique_ptr<TMultiViewMain> page_;
};

TEST_F(PageFileTest, EveryVersionOpensToTheSameTree) {
  const int a = BlockId("上海期货"), b = BlockId("自选 一");
  for (int version : {5, 7, 8, 9, 10, 11, 12, 13}) {
    SCOPED_TRACE("version " + std::to_string(version));
    // Version 5 stores only ids; give it ids that differ from the names'.
    const NodeDesc tree = ThreePanes(version == 5 ? 40 : 300, version == 5 ? 41 : 301);
    PageFile file;
    ASSERT_EQ(ParsePageFile(page_fixture::PageFileBytes(version, "旧页面", tree), &file), PageCheck::Ok);
    EXPECT_EQ(file.version, version);
    EXPECT_EQ(std::string(file.name), "旧页面");
    ASSERT_EQ(file.nodes.size(), 5u);
    const PageFileNode &report = file.nodes[1], &kline = file.nodes[3], &intraday = file.nodes[4];
    EXPECT_FALSE(file.nodes[0].hasPane);
    EXPECT_EQ(file.nodes[0].first, 1);
    EXPECT_EQ(file.nodes[0].second, 2);
    EXPECT_EQ(file.nodes[2].side, 2u);
    EXPECT_FLOAT_EQ(file.nodes[2].ratio, 0.6f);
    EXPECT_EQ(intraday.side, 4u);

    EXPECT_EQ(report.attr.viewType, VIEW_TYPE_REPORT);
    ASSERT_EQ(report.attr.tabCount, 2);
    EXPECT_EQ(report.attr.tabIds[0], version == 5 ? 40 : a);
    EXPECT_EQ(report.attr.tabIds[1], version == 5 ? 41 : b);
    // Versions before 9 knew no kept top row.
    EXPECT_EQ(report.attr.keptTopRow, version <= 8 ? -1 : 7);
    EXPECT_EQ(report.attr.zoomStep, 1);
    // The instrument comes from its text from version 10 on; before, the
    // stored reference holds.
    EXPECT_TRUE(SameStock(report.attr.stock, STKPTR(0, 0, 1)));
    EXPECT_TRUE(SameStock(kline.attr.stock, STKPTR(1, 0, 1)));
    EXPECT_EQ(kline.attr.windowCount, 2u);
    EXPECT_EQ(std::string(kline.attr.formulas[1]), "VOL");
    EXPECT_EQ(kline.attr.period, 9);
    EXPECT_EQ(intraday.attr.flags, kViewFlagTickMode);
    // Overlays: instruments before version 10, texts after; both ways the
    // view data holds both.
    EXPECT_TRUE(SameStock(kline.data.overlays[0], STKPTR(0, 0, 0)));
    EXPECT_TRUE(SameStock(kline.data.overlays[1], STKPTR(1, 0, 0)));
    EXPECT_TRUE(IsOverlayEnd(kline.data.overlays[2]));
    EXPECT_EQ(std::string(kline.data.overlayTexts[1]), "QH CU05");
    EXPECT_EQ(kline.data.linked, 1);
    EXPECT_EQ(kline.data.windowCount, 2u);
  }
}

TEST_F(PageFileTest, APageOpensItsPanesAndSavesThemBackUnchanged) {
  const std::string path = UserPage(3);
  Put(path, page_fixture::PageFileBytes(9, "九版", ThreePanes(0, 0)));
  Open(path);
  ASSERT_EQ(page_->PaneCount(), 3);
  EXPECT_EQ(page_->m_pagePath, path);
  EXPECT_EQ(page_->PaneAt(0)->ViewType(), VIEW_TYPE_REPORT);
  EXPECT_EQ(page_->PaneAt(1)->m_linked, 1);
  EXPECT_EQ(page_->m_active, page_->PaneAt(0));
  EXPECT_EQ(page_->m_root.first->first->width, 400);

  // Saved in place it becomes version 13 with its name kept; saved again
  // after reopening it is the same byte for byte.
  ASSERT_TRUE(page_->SavePage(0));
  const std::string first = Read(path);
  ASSERT_EQ(first.substr(0, 8), "kvpage13");
  EXPECT_EQ(std::string(first.c_str() + 8), "九版");
  Open(path);
  struct stat before, after;
  ASSERT_EQ(stat(Posix(path).c_str(), &before), 0);
  ASSERT_TRUE(page_->SavePage(2));
  EXPECT_EQ(Read(path), first);
  // The save wrote a new file and renamed it over the old one.
  ASSERT_EQ(stat(Posix(path).c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);

  // A page that shrank leaves a file of exactly 76 + L bytes that opens.
  page_->PaneAt(2)->PostToPage(WM_MVM_CLOSE_PANE);
  harness_.Pump();
  ASSERT_EQ(page_->PaneCount(), 2);
  ASSERT_TRUE(page_->SavePage(0));
  const std::string shrunk = Read(path);
  uint32_t length;
  std::memcpy(&length, shrunk.data() + 72, 4);
  EXPECT_EQ(shrunk.size(), 76u + length);
  EXPECT_LT(shrunk.size(), first.size());
  Open(path);
  EXPECT_EQ(page_->PaneCount(), 2);
}

TEST_F(PageFileTest, WhatCouldNotBeResolvedIsWrittenBackAsItWas) {
  PaneDesc report;
  report.viewType = VIEW_TYPE_REPORT;
  report.tabNames = {"已删除", "上海期货", "也没了"};
  PaneDesc kline;
  kline.viewType = VIEW_TYPE_KLINE;
  kline.overlayTexts = {"SH 600000", "XX 999999", "QH CU05"};
  const std::string path = UserPage(1);
  Put(path, page_fixture::PageFileBytes(
                13, "留存", page_fixture::Split(1, 1.0f, page_fixture::Pane(1, 0.5f, report),
                                               page_fixture::Pane(2, 0.5f, kline))));
  Open(path);
  ASSERT_EQ(page_->PaneCount(), 2);
  const TMultiViewChild *r = page_->PaneAt(0);
  ASSERT_EQ(r->m_attr.tabCount, 1);
  EXPECT_EQ(r->m_attr.tabIds[0], BlockId("上海期货"));
  const MVCDATA_12 *d = page_->PaneAt(1)->m_viewData;
  EXPECT_TRUE(SameStock(d->overlays[0], STKPTR(0, 0, 0)));
  EXPECT_TRUE(IsOverlayEnd(d->overlays[1]));
  ASSERT_TRUE(page_->SavePage(0));

  // The tab names and the overlay texts are all still there.
  PageFile file;
  ASSERT_EQ(ParsePageFile(Read(path), &file), PageCheck::Ok);
  EXPECT_EQ(file.nodes[1].keptTabNames, (std::vector<std::string>{"已删除", "也没了"}));
  EXPECT_EQ(file.nodes[2].keptOverlayTexts, (std::vector<std::string>{"XX 999999", "QH CU05"}));
  const std::string bytes = Read(path);
  EXPECT_NE(bytes.find("已删除"), std::string::npos);
  EXPECT_NE(bytes.find("XX 999999"), std::string::npos);
}

TEST_F(PageFileTest, DamagedFilesAreSetAsideNeverDeleted) {
  const std::string good = page_fixture::GridPage(1, 2, VIEW_TYPE_REPORT);
  std::string unknown = good;
  std::memcpy(&unknown[0], "kvpage14", 8);
  struct Case {
    std::string path, bytes;
    PageCheck check;
    bool renamed;  // else left where it was
  } cases[] = {
      {UserPage(2), good + "x", PageCheck::BadLength, true},
      {UserPage(4), "kvpa", PageCheck::TooShort, true},
      {UserPage(5), good.substr(0, 90), PageCheck::TooShort, true},
      {UserPage(6), unknown, PageCheck::UnknownMagic, false},
      {"..\\cfg\\kvpage3.ppg", good + "x", PageCheck::BadLength, false},
      {"..\\CFG\\Default.ppg", good + "x", PageCheck::BadLength, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    Put(c.path, c.bytes);
    PageFile file;
    EXPECT_EQ(ParsePageFile(c.bytes, &file), c.check);
    Open(c.path);
    // The page falls back to one default report named "Default".
    EXPECT_EQ(page_->m_pagePath, "Default");
    ASSERT_EQ(page_->PaneCount(), 1);
    EXPECT_EQ(page_->PaneAt(0)->ViewType(), VIEW_TYPE_REPORT);
    EXPECT_EQ(Exists(c.path), !c.renamed);
    if (c.renamed) EXPECT_EQ(Read(c.path + ".bad"), c.bytes);
    else EXPECT_EQ(Read(c.path), c.bytes);
  }
}

TEST_F(PageFileTest, NodeOffsetsAreCheckedAgainstThePayload) {
  const std::string good = page_fixture::GridPage(2, 2, VIEW_TYPE_REPORT);
  auto patched = [&good](size_t at, uint32_t value) {
    std::string bytes = good;
    std::memcpy(&bytes[76 + at], &value, 4);
    return bytes;
  };
  const uint32_t length = uint32_t(good.size() - 76);
  uint32_t second;
  std::memcpy(&second, good.data() + 76 + 4, 4);
  const float nan = std::nanf("");
  uint32_t nanBits;
  std::memcpy(&nanBits, &nan, 4);
  struct Case {
    const char *what;
    std::string bytes;
  } cases[] = {
      {"past the end", patched(0, length - 10)},
      {"far past the end", patched(0, 0xFFFFFFF0u)},
      {"a cycle", patched(4, 0) == good ? good : patched(size_t(second) + 4, second)},
      {"a shared record", patched(0, second)},
      {"a pane cut short", CutShort(page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT), 1000)},
      {"no ratio", patched(16, nanBits)},
  };
  for (const Case &c : cases) {
    PageFile file;
    EXPECT_EQ(ParsePageFile(c.bytes, &file), PageCheck::BadTree) << c.what;
    EXPECT_TRUE(file.nodes.empty()) << c.what;
  }
  PageFile file;
  EXPECT_EQ(ParsePageFile(good, &file), PageCheck::Ok);
  EXPECT_EQ(file.nodes.size(), 7u);
}

TEST_F(PageFileTest, SaveAsTakesTheSmallestFreeNumber) {
  for (int d = 0; d <= 5; ++d) Put(UserPage(d), page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT, "页" + std::to_string(d)));
  LoadPageList();
  ASSERT_EQ(PageTable().count, 6);
  main_ = MainWindowOf(800, 500);
  page_.reset(new TMultiViewMain(main_.get(), 1, ""));
  page_->AskPageName = [](char (&name)[64]) {
    std::strcpy(name, "新页面");
    return true;
  };
  ASSERT_TRUE(page_->SavePage(0));
  EXPECT_EQ(page_->m_pagePath, UserPage(6));
  const std::string bytes = Read(UserPage(6));
  EXPECT_EQ(std::string(bytes.c_str() + 8), "新页面");
  ASSERT_EQ(PageTable().count, 7);
  EXPECT_EQ(std::string(PageTable().entries[6].path), UserPage(6));
  EXPECT_EQ(std::string(Read(std::string(UserDataPath) + "LP3.DAT").c_str()), UserPage(6));
  EXPECT_EQ(host_.Calls("BuildPageMenu"), std::vector<std::string>{"BuildPageMenu 7"});
  // The index lists the pages in table order.
  const std::string index = Read(std::string(UserDataPath) + "kvpage.idx");
  ASSERT_EQ(index.size(), 4u + 7 * 260);
  EXPECT_EQ(std::string(index.c_str() + 4 + 6 * 260), UserPage(6));
  // The last page opens next time.
  page_.reset(new TMultiViewMain(main_.get(), 0, ""));
  EXPECT_EQ(page_->m_pagePath, UserPage(6));
}

TEST_F(PageFileTest, ThePageListAndTheOpenRuleAgree) {
  Put("..\\cfg\\kvpage0.ppg", page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT, "系统"));
  Put(UserPage(0), page_fixture::GridPage(1, 2, VIEW_TYPE_REPORT, "甲"));
  Put(UserPage(1), page_fixture::GridPage(1, 2, VIEW_TYPE_REPORT, "乙"));
  // Files of exactly 76 + L bytes are listed, also without a node: the
  // header alone (L = 0) and one byte of payload (L = 1).
  std::string headerOnly = std::string("kvpage13") + "空" + std::string(66, '\0');
  Put(UserPage(2), headerOnly);
  std::string oneByte = headerOnly + "x";
  oneByte[72] = 1;
  Put(UserPage(4), oneByte);
  Put(UserPage(3), "kvpage13");
  // The index names user page 1 first, then a page that is gone and user
  // page 1 again.
  std::string index(4, '\0');
  index[0] = 1;
  for (const std::string &p : {UserPage(1), UserPage(9), UserPage(1)}) {
    std::string record(260, '\0');
    std::memcpy(&record[0], p.data(), p.size());
    index += record;
  }
  page_fixture::WriteFile(Posix(std::string(UserDataPath) + "kvpage.idx"), index);
  LoadPageList();
  const PageTableData &table = PageTable();
  ASSERT_EQ(table.count, 5);
  EXPECT_EQ(std::string(table.entries[0].name), "乙");
  EXPECT_EQ(std::string(table.entries[1].name), "系统");
  EXPECT_EQ(std::string(table.entries[2].name), "甲");
  EXPECT_EQ(std::string(table.entries[3].name), "空");
  EXPECT_EQ(std::string(table.entries[4].name), "空");
  EXPECT_TRUE(Exists(UserPage(2)));
  EXPECT_TRUE(Exists(UserPage(4)));
  EXPECT_TRUE(Exists(UserPage(3) + ".bad"));
  // Pages found outside the index were added to it, each once.
  EXPECT_EQ(Read(std::string(UserDataPath) + "kvpage.idx").size(), 4u + 5 * 260);

  // Opened, a page without a node falls back to the default report and is
  // set aside.
  Open(UserPage(4));
  EXPECT_EQ(page_->m_pagePath, "Default");
  EXPECT_TRUE(Exists(UserPage(4) + ".bad"));
}

// A name that fills its 64 bytes without a terminator is cut to at most 63
// bytes on a whole character, in the page and in the page list.
TEST_F(PageFileTest, ANameWithoutTerminatorIsCutOnAWholeCharacter) {
  struct Case {
    std::string stored;  // 64 bytes
    std::string read;
  } cases[] = {
      // A character at bytes 62 and 63 would lose its trail byte: it goes.
      {std::string(62, 'B') + "页", std::string(62, 'B')},
      // A lead byte at 63 whose trail is past the field goes.
      {("A" + Repeat("页", 32)).substr(0, 64), "A" + Repeat("页", 31)},
  };
  for (const Case &c : cases) {
    ASSERT_EQ(c.stored.size(), 64u);
    std::string bytes = page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT);
    bytes.replace(8, 64, c.stored);
    Put(UserPage(0), bytes);
    PageFile file;
    ASSERT_EQ(ParsePageFile(bytes, &file), PageCheck::Ok);
    EXPECT_EQ(std::string(file.name), c.read);
    LoadPageList();
    ASSERT_EQ(PageTable().count, 1);
    EXPECT_EQ(std::string(PageTable().entries[0].name), c.read);
  }
}

TEST_F(PageFileTest, ThePageManagerNamesMovesAndDeletesPages) {
  Put("..\\cfg\\kvpage0.ppg", page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT, "系统"));
  Put(UserPage(0), page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT, "甲"));
  Put(UserPage(1), page_fixture::GridPage(1, 1, VIEW_TYPE_REPORT, "乙"));
  LoadPageList();
  {
    TPageMngr save(nullptr);
    save.Edit1->SetText("");
    save.Button1Click(nullptr);
    save.Edit1->SetText("甲");
    save.Button1Click(nullptr);
    ASSERT_EQ(boxes_.Count(), 2u);
    EXPECT_EQ(boxes_.Calls()[0].text, "请指定页面文件的名称。  ");
    EXPECT_EQ(boxes_.Calls()[1].text, "同名页面已存在，请使用其它名称。  ");
    save.Edit1->SetText("丙");
    save.Button1Click(nullptr);
    EXPECT_EQ(save.ModalResult(), mrOk);
    EXPECT_EQ(std::string(save.m_entry.name), "丙");
  }
  boxes_.Clear();
  TPageMngr manage(nullptr);
  manage.SetManageMode(UserPage(1).c_str());
  manage.ListBox1->SetItemIndex(2);
  manage.XPButton1Click(nullptr);
  EXPECT_EQ(std::string(PageTable().entries[1].name), "乙");
  EXPECT_EQ(manage.ListBox1->ItemIndex(), 1);
  manage.Button1Click(nullptr);  // the page in use
  manage.ListBox1->SetItemIndex(0);
  manage.Button1Click(nullptr);  // a system page
  manage.ListBox1->SetItemIndex(2);
  boxes_.QueueAnswer(IDYES);
  manage.Button1Click(nullptr);
  const auto calls = boxes_.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].text, "您不能删除当前正在使用的页面。  ");
  EXPECT_EQ(calls[1].text, "不允许删除系统页面。  ");
  EXPECT_EQ(calls[2].text, "确定删除页面 甲 吗？  ");
  EXPECT_EQ(PageTable().count, 2);
  EXPECT_FALSE(Exists(UserPage(0)));
  EXPECT_EQ(manage.m_modified, 1);
}

}  // namespace
