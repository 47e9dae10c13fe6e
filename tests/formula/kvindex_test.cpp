// Formula records: parameters, reference lines, copying, clearing, chains.
#include <cstdio>
#include <string>

#include "core/emem.h"
#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {

CKvIndexParam Param(const char *name) {
  CKvIndexParam p{};
  std::snprintf(p.name, sizeof p.name, "%s", name);
  p.maximum = 100;
  p.value = 1;
  return p;
}

TEST(KvIndex, ParametersAreUniqueWithoutRegardToCaseAndAtMostSixteen) {
  CKvIndex f;
  EXPECT_TRUE(f.AddParam(Param("N")));
  EXPECT_FALSE(f.AddParam(Param("n")));
  for (int i = 1; i < 16; ++i) {
    std::string name = "P";
    name += std::to_string(i);
    EXPECT_TRUE(f.AddParam(Param(name.c_str())));
  }
  EXPECT_FALSE(f.AddParam(Param("LAST")));
  EXPECT_EQ(f.paramCount, 16u);
  EXPECT_EQ(f.FindParam("p15"), 15);
  EXPECT_EQ(f.FindParam("NONE"), -1);
  EXPECT_EQ(f.FindParam(std::string(32, 'A').c_str()), -1);
  EXPECT_EQ(f.GetParam(16), nullptr);
  CKvIndexParam changed = Param("M");
  f.SetParam(0, changed);
  EXPECT_STREQ(f.GetParam(0)->name, "M");
  f.SetParam(16, changed);  // past the end: nothing
}

TEST(KvIndex, ReferenceLines) {
  CKvIndex f;
  EXPECT_TRUE(f.AddRefLine(0, 0));
  EXPECT_TRUE(f.AddRefLine(0, 2));  // already there: true, nothing added
  EXPECT_EQ(f.refLineCount, 1u);
  EXPECT_EQ(f.GetRefLine(0)->decimals, 0);
  for (int i = 1; i < 16; ++i) EXPECT_TRUE(f.AddRefLine(i, 0));
  EXPECT_FALSE(f.AddRefLine(99, 0));
  EXPECT_TRUE(f.AddRefLine(5, 0));
  EXPECT_EQ(f.GetRefLine(16), nullptr);
  EXPECT_EQ(f.ApplySavedRefLine(f.GetRefLine(0)), 0);
}

TEST(KvIndex, AssignCopiesIdentityParametersAndTextButNotReferenceLinesOrStatements) {
  CKvIndex source;
  std::snprintf(source.name, sizeof source.name, "KDJ");
  std::snprintf(source.password, sizeof source.password, "secret");
  source.flags = kIndexSystem | 2;
  ASSERT_TRUE(source.AddParam(Param("N")));
  source.SetUsageNotes("notes");
  ASSERT_TRUE(source.Compile("K:C*N;REFLINE:20,80;", true));
  ASSERT_EQ(source.refLineCount, 2u);

  CKvIndex copy;
  copy.SetError("old", 3, 4);
  copy.Assign(source);
  EXPECT_STREQ(copy.name, "KDJ");
  EXPECT_STREQ(copy.password, "secret");
  EXPECT_EQ(copy.flags, source.flags);
  EXPECT_EQ(copy.paramCount, 1u);
  EXPECT_STREQ(copy.usageNotes, "notes");
  EXPECT_STREQ(copy.formulaText, "K:C*N;REFLINE:20,80;");
  EXPECT_EQ(copy.refLineCount, 0u);
  EXPECT_TRUE(copy.variables.empty());
  EXPECT_STREQ(copy.errorText, "");

  CKvIndex compiled;
  ASSERT_TRUE(compiled.AssignAndCompile(source));
  EXPECT_EQ(compiled.VariableCount(), 1u);
  EXPECT_EQ(compiled.refLineCount, 2u);
  EXPECT_STREQ(compiled.name, "KDJ");
}

TEST(KvIndex, ClearKeepsTheErrorRecordAndTheBuffers) {
  CKvIndex f;
  ASSERT_FALSE(f.Compile("X:NOPE;", true));
  char *text = f.formulaText;
  f.Clear();
  EXPECT_STREQ(f.errorText, "变量未定义。");
  EXPECT_EQ(f.errorPos, 2);
  EXPECT_EQ(f.errorLen, 4u);
  EXPECT_EQ(f.formulaText, text);
  EXPECT_STREQ(f.formulaText, "");
  EXPECT_GE(MSize(f.formulaText), 4096);
}

TEST(KvIndex, TextBuffersHoldAtLeast4096BytesAndGrowForLongerTexts) {
  CKvIndex f;
  f.SetUsageNotes("");
  EXPECT_EQ(f.usageNotes, nullptr);  // an empty text is passed over
  f.SetUsageNotes("short");
  EXPECT_GE(MSize(f.usageNotes), 4096);
  char *first = f.usageNotes;
  f.SetUsageNotes("again");
  EXPECT_EQ(f.usageNotes, first);  // reused
  const std::string longText(5000, 'x');
  f.SetUsageNotes(longText.c_str());
  EXPECT_EQ(std::string(f.usageNotes), longText);
  EXPECT_GE(MSize(f.usageNotes), 5001);
}

TEST(KvIndex, CurrentVariableOnlyDuringCompileOrCalculate) {
  CKvIndex f;
  EXPECT_EQ(f.GetVariable(-1), nullptr);
  ASSERT_TRUE(f.Compile("X:C;", true));
  EXPECT_EQ(f.GetVariable(-1), nullptr);
  EXPECT_EQ(f.GetVariable(1), nullptr);
  EXPECT_EQ(f.GetVariable(-2), nullptr);
}

// Deleting a chart window's head formula deletes the formulas behind it.
TEST(KvIndex, DeletingTheHeadDeletesTheChain) {
  static int alive = 0;
  struct Counted : CKvIndex {
    Counted() { ++alive; }
    ~Counted() override { --alive; }
  };
  auto *head = new Counted;
  head->next = new Counted;
  head->next->next = new Counted;
  EXPECT_EQ(alive, 3);
  delete head;
  EXPECT_EQ(alive, 0);
}

TEST(KvIndex, StylesWithoutDoublesReadZero) {
  FakeMarket market;
  const FakeStock &cu = market.Add(3, "CU1009");
  Calc calc(market, cu);
  ASSERT_TRUE(calc.Compile("K:0,KSTICK;T:0,TOWERSTICK;P:0,POINTFIGURE;B:0,BARSTICK;"));
  const auto bars = DailyBars({10, 11, 12});
  calc.Run(bars);
  for (uint32_t i = 0; i < 4; ++i) {
    const CKvIndexVariable &v = *calc.formula.variables[i];
    for (uint32_t b = 0; b < 3; ++b) EXPECT_EQ(v.GetValue(b), 0.0);
  }
  // The bar styles keep copies of the bars themselves.
  const auto *kept = static_cast<const KLINEBAR *>(calc.formula.variables[0]->values);
  EXPECT_EQ(kept[2].close, bars[2].close);
  EXPECT_EQ(calc.formula.variables[0]->capacity, 2048u);
}

}  // namespace
