// The system formula library as the build makes it from its source: the
// file reads, saves back byte for byte, holds the formulas the chart relies
// on, and every formula in it calculates.
#include <cmath>
#include <filesystem>

#include "formula/libsource.h"
#include "platform/gbk.h"
#include "testing/system_library.h"
#include "tests/formula/formula_support.h"
#include "tests/formula/library_support.h"

using namespace formula_test;
using testing_support::BuiltSystemLibrary;
using testing_support::ReadWholeFile;
using testing_support::SystemLibrarySource;

namespace {

class SystemLibrary : public LibraryFolderTest {
 protected:
  void SetUp() override {
    LibraryFolderTest::SetUp();
    ASSERT_TRUE(std::filesystem::exists(BuiltSystemLibrary())) << BuiltSystemLibrary();
    std::filesystem::copy_file(BuiltSystemLibrary(), SystemFile());
  }
};

TEST_F(SystemLibrary, TheBuiltFileIsTheSourceAndSavesBackToTheSamePlainBytes) {
  const std::string shipped = PlainOf(SystemFile());
  ASSERT_FALSE(shipped.empty());

  // The same source read here gives the same plain bytes as the build tool.
  CKvIndexManager fromSource;
  std::string error;
  ASSERT_TRUE(ReadIndexLibrarySource(ReadWholeFile(SystemLibrarySource()), fromSource, &error)) << error;
  fromSource.SetFiles(SystemFile().c_str(), (root_ + "/fromsource.dat").c_str(), "", ".\\pit.dat");
  ASSERT_TRUE(fromSource.SaveLibraryFile(true, (root_ + "/fromsource.dat").c_str()));
  EXPECT_EQ(PlainOf(root_ + "/fromsource.dat"), shipped);

  CKvIndexManager library;
  library.Load();
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(library.SkippedAtLoad(), 0u);
  ASSERT_TRUE(library.Save());
  EXPECT_EQ(PlainOf(root_ + "/cfg/kvindexs.dat"), shipped);
  // The user file holds every group, each empty.
  PlainLibrary groups;
  for (const CKvIndexGroup *g = library.groups; g; g = g->next) groups.Group(g->name);
  EXPECT_EQ(PlainOf(UserFile()), groups.Done());
}

TEST_F(SystemLibrary, HoldsTheFormulasTheChartNamesWithTheirKinds) {
  CKvIndexManager library;
  library.Load();
  struct Named {
    const char *name;
    uint32_t kind;
  };
  for (const Named &n : std::vector<Named>{{"K", 2},      {"BAR", 2},  {"TWR", 2},  {"OX", 2},  {"MA", 1},
                                           {"VOL", 0},    {"MACD", 0}, {"AMOUNT", 0}, {"RSI", 0}, {"DMA", 0},
                                           {"JZBD", 2},   {"JZGZ", 0}, {"JZSP", 0}}) {
    SCOPED_TRACE(n.name);
    const CKvIndex *f = library.FindIndex(n.name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->flags & kIndexKindMask, n.kind);
    EXPECT_TRUE(f->flags & kIndexSystem);
  }
}

// Every formula calculates over a fixture series; its output lines end in
// finite values once the longest default window is filled.
TEST_F(SystemLibrary, EveryFormulaCalculatesOverTheFixtureBars) {
  CKvIndexManager library;
  library.Load();
  FakeMarket market;
  const FakeStock &stock = market.Add(0, "CU1009");
  std::vector<double> closes, opens, highs, lows;
  for (int i = 0; i < 300; ++i) {
    const double c = 100 + 10 * std::sin(i / 7.0) + i * 0.05;
    closes.push_back(c);
    opens.push_back(c - std::cos(i / 3.0));
    highs.push_back(std::max(c, opens.back()) + 1);
    lows.push_back(std::min(c, opens.back()) - 1);
  }
  const std::vector<KLINEBAR> bars = DailyBars(closes, 100, opens, highs, lows);
  uint32_t count = 0;
  for (uint32_t i = 0; const CKvIndex *f = library.GetIndexAt(i); ++i, ++count) {
    SCOPED_TRACE(f->name);
    Calc calc(market, stock);
    ASSERT_EQ(library.CopyIndex(f->name, &calc.formula), 1);
    ASSERT_GT(calc.formula.VariableCount(), 0u) << calc.formula.errorText;
    calc.Run(bars);
    ASSERT_EQ(calc.formula.calcCount, bars.size());
    for (uint32_t v = 0; v < calc.formula.VariableCount(); ++v) {
      const CKvIndexVariable *line = calc.formula.GetVariable(int32_t(v));
      if (!(line->flags & kVariableOutput) || line->RecordSize() != sizeof(double)) continue;
      EXPECT_TRUE(std::isfinite(line->GetValue(uint32_t(bars.size() - 1)))) << line->name;
    }
  }
  EXPECT_GE(count, 13u);

  // Spot checks against the usual definitions.
  Calc ma(market, stock);
  ASSERT_EQ(library.CopyIndex("MA", &ma.formula), 1);
  ma.Run(bars);
  double sum = 0;
  for (size_t i = bars.size() - 5; i < bars.size(); ++i) sum += bars[i].close / 100.0;
  EXPECT_NEAR(ma.Line("MA1").back(), sum / 5, 1e-9);

  Calc macd(market, stock);
  ASSERT_EQ(library.CopyIndex("MACD", &macd.formula), 1);
  macd.Run(bars);
  const auto dif = macd.Line("DIF"), dea = macd.Line("DEA"), bar = macd.Line("MACD");
  EXPECT_NEAR(bar.back(), 2 * (dif.back() - dea.back()), 1e-9);

  Calc rsi(market, stock);
  ASSERT_EQ(library.CopyIndex("RSI", &rsi.formula), 1);
  rsi.Run(bars);
  for (double v : rsi.Line("RSI1"))
    if (std::isfinite(v)) EXPECT_TRUE(v >= 0 && v <= 100) << v;
}

TEST(SystemLibrarySource, FaultsNameTheirLine) {
  struct Case {
    const char *source;
    const char *error;
  };
  for (const Case &c : std::vector<Case>{
           {"formula X\n", "line 1: a formula before any group"},
           {"group G\nformula X\ntext\nX:NOPE;\nend\n", "at the end: X: "},
           {"group G\nformula X\nparam N 5 1 3\n", "line 3: "},
           {"group G\nformula X\nkind side\n", "line 3: kind is main, overlay or sub"},
           {"group G\nformula X\ntext\nX:C;\n", "line 3: a block without its 'end'"},
           {"group G\nwhat\n", "line 2: 'what' outside a formula"},
       }) {
    SCOPED_TRACE(c.source);
    CKvIndexManager library;
    std::string error;
    EXPECT_FALSE(ReadIndexLibrarySource(c.source, library, &error));
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  CKvIndexManager library;
  std::string error;
  ASSERT_TRUE(ReadIndexLibrarySource("# c\n\ngroup 主图\nformula 甲\nkind overlay\nflags 10\ndescription 说明\n"
                                     "param N 1 10 5\ntext\nA:C*N;\nB:A;\nend\nnotes\n第一行\n第二行\nend\n",
                                     library, &error))
      << error;
  const CKvIndex *f = library.FindIndex(platform::Utf8ToGbk("甲").c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(library.groups->name, platform::Utf8ToGbk("主图").c_str());
  EXPECT_EQ(f->flags, kIndexSystem | 0x10 | 1);
  EXPECT_STREQ(f->formulaText, "A:C*N;\r\nB:A;");
  EXPECT_EQ(std::string(f->usageNotes), platform::Utf8ToGbk("第一行\r\n第二行"));
  EXPECT_EQ(f->params[0].value, 5);
}

}  // namespace
