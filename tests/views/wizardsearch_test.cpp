// The wizard's search: pinyin initials, digit and year completion, exact
// codes first, the result limits and the groups of rows.
#include "views/wizardsearch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "tests/views/wizard_fixture.h"
#include "views/pagelist.h"
#include "views/wizardsources.h"

namespace {

PinyinExtraTable ExtraWith(char letter, const char *characters) {
  PinyinExtraTable table{};
  int l = letter - 'A';
  for (size_t i = 0; characters[i] && characters[i + 1]; i += 2) {
    table.chars[l][table.counts[l]][0] = uint8_t(characters[i]);
    table.chars[l][table.counts[l]][1] = uint8_t(characters[i + 1]);
    ++table.counts[l];
  }
  table.loaded = 1;
  return table;
}

struct PinyinCase {
  const char *name;
  const char *text;
  bool extra;  // with 鑫 listed under X
  bool expected;
};

class PinyinMatchTable : public testing::TestWithParam<PinyinCase> {};

TEST_P(PinyinMatchTable, Matches) {
  const PinyinCase &c = GetParam();
  char field[9] = {};
  std::memcpy(field, c.name, strnlen(c.name, 8));
  PinyinExtraTable extra = ExtraWith('X', "鑫");
  EXPECT_EQ(PinyinMatch(field, c.text, int(std::strlen(c.text)), c.extra ? &extra : nullptr), c.expected)
      << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PinyinMatchTable,
    testing::Values(PinyinCase{"中国平安", "ZGPA", false, true}, PinyinCase{"中国平安", "Z.PA", false, true},
                    PinyinCase{"中国平安", "zgpa", false, true}, PinyinCase{"中国平安", "GPA", false, true},
                    PinyinCase{"中国平安", "ZGPB", false, false}, PinyinCase{"中国平安", "ZGPAY", false, false},
                    // A Chinese character in the text, or no letter at all.
                    PinyinCase{"中国平安", "中", false, false}, PinyinCase{"中国平安", "....", false, false},
                    // Letters and digits of the name match themselves.
                    PinyinCase{"A股50", "AG50", false, true}, PinyinCase{"A股50", "ag5", false, true},
                    PinyinCase{"A股 50", "AG50", false, true},  // the blank gives no cell
                    // Full-width capitals match their letter.
                    PinyinCase{"ＡＢ", "AB", false, true},
                    // The second level matches only through the extra table.
                    PinyinCase{"鑫达", "XD", false, false}, PinyinCase{"鑫达", "XD", true, true},
                    // I, U and V own no range of the first level.
                    PinyinCase{"华", "I", false, false}, PinyinCase{"", "A", false, false},
                    // A character whose first byte is below 0xA0 is still one
                    // character: its second byte (here 'a', 'Z') is no letter.
                    PinyinCase{"\x81\x61", "A", false, false}, PinyinCase{"\x81\x5A\xB0\xA1", "ZA", false, false},
                    PinyinCase{"\x81\x5A\xB0\xA1", ".A", false, true}));

TEST(PinyinExtra, TakesPairsFromTheStartAndKeepsSixteen) {
  wizard_fixture::MarketWorld world;
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += "鑫";
  world.Box().WriteText("cfg/SETTING.INI", "[PYLEVEL2]\r\nX=" + seventeen + "\r\nY=a鑫\r\nZ=鑫a\r\n");
  PinyinExtraTable table;
  LoadPinyinExtra(table);
  EXPECT_TRUE(table.loaded);
  EXPECT_EQ(table.counts['X' - 'A'], 16);
  EXPECT_EQ(table.counts['Y' - 'A'], 0);  // the one-byte character shifts the pairing
  EXPECT_EQ(table.counts['Z' - 'A'], 1);
}

// The wizard's sources as plain lists.
class FakeSources : public WizardSources {
 public:
  FakeSources() { std::memset(keys, 0, sizeof keys); }
  const HOTKEYDEF *HotKeys() const override { return keys; }
  int FormulaCount() const override { return int(formulas.size()); }
  const CKvIndex *FormulaAt(int n) const override { return formulas[size_t(n)].get(); }
  int PageCount() const override { return int(pages.size()); }
  const char *PageName(int i) const override { return pages[size_t(i)].first.c_str(); }
  const char *PagePath(int i) const override { return pages[size_t(i)].second.c_str(); }

  void AddFormula(const char *name) {
    formulas.push_back(std::make_unique<CKvIndex>());
    std::snprintf(formulas.back()->name, sizeof formulas.back()->name, "%s", name);
  }

  HOTKEYDEF keys[kHotKeyCount];
  std::vector<std::unique_ptr<CKvIndex>> formulas;
  std::vector<std::pair<std::string, std::string>> pages;
};

class WizardSearchTest : public testing::Test {
 protected:
  void SetUp() override {
    world_.WriteStandard();
    world_.Build();
    search_ = std::make_unique<TWizardSearch>();
  }
  std::vector<std::string> Found(const char *text) {
    search_->SearchStocks(text);
    std::vector<std::string> out;
    for (int i = 0; i < search_->StockCount(); ++i) {
      const STKINFO &s = search_->Stock(i);
      out.push_back(std::to_string(s.market) + ":" + std::string(s.code, strnlen(s.code, 7)));
    }
    return out;
  }
  std::vector<std::string> Rows(const char *text) {
    search_->MatchAll(text);
    std::vector<std::string> out;
    for (int i = 0; i < search_->RowCount(); ++i)
      out.push_back(std::to_string(search_->Row(i).group) + "/" + std::to_string(search_->Row(i).value));
    return out;
  }

  wizard_fixture::MarketWorld world_;
  std::unique_ptr<TWizardSearch> search_;
};

using Codes = std::vector<std::string>;

TEST_F(WizardSearchTest, DigitCompletionComesFirstInItsOrder) {
  // Three digits: 600 before 000 (market 0 first, then market 1), then
  // the codes that begin with the digits.
  EXPECT_EQ(Found("036"), (Codes{"0:600036", "1:000036", "0:036001"}));
  // Four digits: 00 before 60; an exact code still goes in front.
  EXPECT_EQ(Found("0036"), (Codes{"1:0036", "1:000036", "0:600036"}));
}

TEST_F(WizardSearchTest, ExactCodesGoToTheFront) {
  EXPECT_EQ(Found("000001"), (Codes{"1:000001", "0:000001"}));
  EXPECT_EQ(Found("cu05"), (Codes{"2:CU05"}));
  EXPECT_EQ(Found("cu1905"), (Codes{"2:CU05"}));  // the extended code, exactly
}

TEST_F(WizardSearchTest, YearCompletionUsesTheDecadeOfTheLocalYear) {
  EXPECT_EQ(Found("ru905"), (Codes{"2:RU05"}));
  world_.Clock().SetUtc(market_fixture::UtcAt(2024, 5, 10, 2, 0));
  EXPECT_EQ(Found("ru905"), Codes{});
}

TEST_F(WizardSearchTest, PinyinFindsNamesAndEveryFuturesMarketIsScanned) {
  EXPECT_EQ(Found("ZGPA"), (Codes{"0:601318"}));
  EXPECT_EQ(Found("z.pa"), (Codes{"0:601318"}));
  EXPECT_EQ(Found("PAYX"), (Codes{"1:000001"}));
  // A second futures market is reached too, and before the stock markets.
  EXPECT_EQ(Found("M0"), (Codes{"3:M05"}));
  // Second-level characters only after the extra table names them.
  EXPECT_EQ(Found("XD"), Codes{});
  world_.Box().WriteText("cfg/SETTING.INI", "[PYLEVEL2]\r\nX=鑫\r\n");
  search_->LoadPinyinExtra();
  EXPECT_EQ(Found("XD"), (Codes{"1:000002"}));
  // Chinese text matches by name prefix, never by pinyin.
  EXPECT_EQ(Found("中国"), (Codes{"0:601318"}));
}

// Only ASCII letters fold: a double-byte character's second byte may fall
// on a letter's value (0x81 0x61 and 0x81 0x41 are two characters), and
// compares as it is.
TEST_F(WizardSearchTest, NamePrefixesFoldLettersButNeverASecondByte) {
  TMarketData *sh = MarketAt(0);
  ASSERT_NE(sh, nullptr);
  const int stock = sh->FindStockIndex("601318");
  ASSERT_GE(stock, 0);
  std::memcpy(sh->m_stocks[stock].name, "\x81\x61\xB0\xA1", 5);
  EXPECT_EQ(Found("\x81\x41"), Codes{});
  EXPECT_EQ(Found("\x81\x61"), (Codes{"0:601318"}));
  EXPECT_EQ(Found("\x81\x61\xB0\xA1"), (Codes{"0:601318"}));
}

TEST(WizardSearchLimits, StopsAt512InstrumentsWithExactCodesInFront) {
  wizard_fixture::MarketWorld world;
  MKINFO big = wizard_fixture::Market("BG", "bgd", 1, 700, "大市场", {"A股"});
  world.Box().WriteMarketInfo({big});
  std::vector<STKINFO> stocks;
  for (int i = 0; i < 600; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "A%03d", i % 1000);
    stocks.push_back(market_fixture::MakeStock(0, 0, i == 100 ? "A" : code, "名称"));
  }
  world.Box().WriteTable(big, "nametbl", stocks);
  world.Build();
  auto search = std::make_unique<TWizardSearch>();
  ASSERT_TRUE(search->SearchStocks("a"));
  ASSERT_EQ(search->StockCount(), kWizardMaxStocks);
  EXPECT_STREQ(search->Stock(0).code, "A");
  EXPECT_EQ(search->Stock(0).index, 100);
  EXPECT_STREQ(search->Stock(511).code, "A511");
}

TEST_F(WizardSearchTest, RowsComeInGroupOrder) {
  FakeSources sources;
  for (int i = 0; i < kHotKeyCount; ++i) {
    sources.keys[i].command = uint16_t(i + 1);
    sources.keys[i].flags = i == 80 ? 9 : 8;  // 80 is not typed with Enter alone
    std::snprintf(sources.keys[i].keys, sizeof sources.keys[i].keys, "%d", i);
  }
  sources.AddFormula("MACD");
  sources.AddFormula("MA");
  sources.AddFormula("KDJ");
  sources.pages = {{"默认", "a.ppg"}, {"一", "b.ppg"}, {"空", ""}, {"三", "d.ppg"}};
  search_->SetSources(&sources);

  // Commands follow the display order: 81 sits second, 82 after 46.
  EXPECT_EQ(Rows("8"), (Codes{"0/81", "0/8", "0/82"}));
  EXPECT_EQ(Rows("ma"), (Codes{"2/0", "2/1"}));
  // Pages with a path, then instruments whose code or name begins with it.
  EXPECT_EQ(Rows("."), (Codes{"3/0", "3/1", "3/3"}));
  EXPECT_EQ(Rows(".3"), (Codes{"3/3"}));
  // Formulas, then instruments found by pinyin (豆粕05: D, P).
  EXPECT_EQ(Rows("dp"), (Codes{"1/0"}));
  EXPECT_FALSE(search_->MatchAll(""));
  EXPECT_EQ(search_->RowCount(), 0);
}

TEST_F(WizardSearchTest, RowTableStopsAt1024) {
  FakeSources sources;
  for (int i = 0; i < 1500; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Z%d", i);
    sources.AddFormula(name);
  }
  search_->SetSources(&sources);
  ASSERT_TRUE(search_->MatchAll("z"));
  EXPECT_EQ(search_->RowCount(), kWizardMaxRows);
  EXPECT_EQ(search_->Row(kWizardMaxRows - 1).group, kWizardIndicator);
  EXPECT_EQ(search_->Row(kWizardMaxRows - 1).value, kWizardMaxRows - 1);
}

}  // namespace

namespace {

// The library numbers its formulas group after group; the wizard's
// reading in order and at random gives the same formulas.
TEST(WizardLibrarySources, NumbersFormulasAsTheLibraryAndReadsThePageTable) {
  CKvIndexManager library;
  const char *groups[3][3] = {{"MA", "EMA", nullptr}, {nullptr}, {"KDJ", "RSI", "WR"}};
  for (auto &names : groups) {
    auto *group = new CKvIndexGroup("g");
    for (const char *name : names) {
      if (!name) break;
      auto *formula = new CKvIndex();
      std::snprintf(formula->name, sizeof formula->name, "%s", name);
      group->Add(formula);
    }
    library.AddGroup(group);
  }
  TWizardLibrarySources sources(&library, nullptr);
  ASSERT_EQ(sources.FormulaCount(), 5);
  for (int n : {0, 1, 2, 3, 4, 2, 0, 4, 5, 3})
    EXPECT_EQ(sources.FormulaAt(n), library.GetIndexAt(uint32_t(n))) << n;

  PageTableData saved = PageTable();
  PageTable().count = 2;
  std::snprintf(PageTable().entries[1].name, kPageNameSize, "第二页");
  std::snprintf(PageTable().entries[1].path, kPagePathSize, "kvpage1.ppg");
  EXPECT_EQ(sources.PageCount(), 2);
  EXPECT_STREQ(sources.PageName(1), "第二页");
  EXPECT_STREQ(sources.PagePath(2), "");
  PageTable() = saved;
}

}  // namespace
