// The built-in table and the keyword table.
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "formula/builtin.h"
#include "tests/formula/formula_support.h"

namespace {

int CompareNoCase(const char *a, const char *b) {
  for (;; ++a, ++b) {
    const int x = toupper(uint8_t(*a)), y = toupper(uint8_t(*b));
    if (x != y || !x) return x - y;
  }
}

TEST(BuiltinTable, RowsAreSortedByNameAndFoundWithoutRegardToCase) {
  ASSERT_EQ(GetIndexFunctionCount(), 93u);
  INDEXFUNC row;
  for (uint32_t i = 0; i + 1 < 93; ++i) {
    INDEXFUNC next;
    ASSERT_TRUE(GetIndexFunction(i, &row));
    ASSERT_TRUE(GetIndexFunction(i + 1, &next));
    EXPECT_LT(CompareNoCase(row.name, next.name), 0) << row.name << " / " << next.name;
    // Every row is found by its name, in any case.
    std::string lower = row.name;
    for (char &c : lower) c = char(tolower(c));
    INDEXFUNC found;
    ASSERT_TRUE(FindIndexFunction(lower.c_str(), &found)) << row.name;
    EXPECT_STREQ(found.name, row.name);
  }
  EXPECT_TRUE(GetIndexFunction(92, &row));
  EXPECT_STREQ(row.name, "ZIG");
  std::memset(&row, 0x5A, sizeof row);
  EXPECT_FALSE(GetIndexFunction(93, &row));
  EXPECT_EQ(uint8_t(row.name[0]), 0x5A);

  for (const char *name : {"ma", "Ma", "MA", "max", "MIN", "SAR_KIVO", "T0TOTIME", "TIME0"})
    EXPECT_TRUE(FindIndexFunction(name, &row)) << name;
  EXPECT_TRUE(FindIndexFunction("MAX", &row));
  EXPECT_EQ(row.maxArgs, 16);
  for (const char *name : {"ZIGZAG", "AAA", "ZZZ", "", "MAXX", "ABCDEFGHIJKLMNOP"})
    EXPECT_FALSE(FindIndexFunction(name, &row)) << name;
  EXPECT_TRUE(FindIndexFunction("EMA2XYZ", 4, &row));
  EXPECT_STREQ(row.name, "EMA2");
  EXPECT_FALSE(FindIndexFunction("ABCDEFGHIJKLMNOP", 16, &row));
  EXPECT_EQ(FindIndexFunctionImpl("close"), FindIndexFunctionImpl("C"));
  EXPECT_EQ(FindIndexFunctionImpl("NOPE"), nullptr);
}

TEST(BuiltinTable, CategoriesFlagsAndSharedImplementations) {
  std::map<int, int> perCategory;
  std::set<std::string> future, fullOnly;
  std::map<IndexFunctionImpl, std::set<std::string>> byImpl;
  for (uint32_t i = 0; i < 93; ++i) {
    INDEXFUNC row;
    GetIndexFunction(i, &row);
    ++perCategory[row.category];
    if (row.flags & kFunctionFuture) future.insert(row.name);
    if (row.flags & kFunctionFullRecalc) fullOnly.insert(row.name);
    EXPECT_EQ(row.flags & ~3u, 0u) << row.name;
    ASSERT_NE(row.impl, nullptr) << row.name;
    byImpl[row.impl].insert(row.name);
    const size_t help = strnlen(row.help, sizeof row.help);
    EXPECT_LE(help, 258u) << row.name;
    EXPECT_NE(std::strstr(row.help, "\n用法："), nullptr) << row.name;
    EXPECT_EQ(std::strstr(row.help, "注意：此函数为未来函数。") != nullptr, (row.flags & kFunctionFuture) != 0)
        << row.name;
  }
  const std::map<int, int> expected = {{kCategoryQuote, 12}, {kCategoryArithmetic, 10}, {kCategoryMath, 11},
                                       {kCategoryDrawing, 1}, {kCategoryTime, 15},       {kCategoryLogic, 13},
                                       {kCategoryStatistics, 9}, {kCategoryReference, 18}, {kCategoryOther, 4}};
  EXPECT_EQ(perCategory, expected);
  EXPECT_EQ(future, (std::set<std::string>{"BACKSET", "REFX", "ZIG"}));
  EXPECT_EQ(fullOnly, (std::set<std::string>{"BACKSET", "REFX", "ZIG", "FILTER", "SAR", "SAR_KIVO"}));
  std::set<std::set<std::string>> shared;
  for (const auto &entry : byImpl)
    if (entry.second.size() > 1) shared.insert(entry.second);
  const std::set<std::set<std::string>> pairs = {
      {"C", "CLOSE"},         {"H", "HIGH"},          {"L", "LOW"},
      {"O", "OPEN"},          {"V", "VOL"},           {"IF", "IFELSE"},
      {"ISLASTBAR", "ISLASTPERIOD"}, {"ISCONTRACT", "ISSTOCK"}, {"EMA2", "WMA"}};
  EXPECT_EQ(shared, pairs);
}

TEST(BuiltinTable, ArgumentCountsAndAdviceInTheHelp) {
  const struct {
    const char *name;
    int lo, hi;
  } counts[] = {{"BARSCOUNT", 0, 1}, {"MAX", 2, 16}, {"MIN", 2, 16}, {"SMA", 3, 3},   {"SAR", 3, 3},
                {"LONGCROSS", 3, 3}, {"IF", 3, 3},   {"COLORRGB", 3, 3}, {"C", 0, 0},  {"ZIG", 2, 2},
                {"ISCONTRACT", 1, 1}, {"T0TOTIME", 1, 1}, {"CURRENTDATE", 0, 0}};
  for (const auto &c : counts) {
    INDEXFUNC row;
    ASSERT_TRUE(FindIndexFunction(c.name, &row)) << c.name;
    EXPECT_EQ(row.minArgs, c.lo) << c.name;
    EXPECT_EQ(row.maxArgs, c.hi) << c.name;
  }
  for (const char *name : {"COUNT", "EMA2", "HHV", "LLV", "MA", "SUM", "WMA"}) {
    INDEXFUNC row;
    FindIndexFunction(name, &row);
    EXPECT_NE(std::strstr(row.help, "（建议小于1024，否则将计算缓慢）"), nullptr) << name;
  }
  for (const char *name : {"AVEDEV", "DEVSQ", "STD", "STDP", "VAR", "VARP"}) {
    INDEXFUNC row;
    FindIndexFunction(name, &row);
    EXPECT_NE(std::strstr(row.help, "（建议小于8192，否则将计算缓慢）"), nullptr) << name;
  }
  INDEXFUNC row;
  FindIndexFunction("MA", &row);
  EXPECT_EQ(std::string(row.help).substr(0, std::string("求简单移动平均。\n").size()), "求简单移动平均。\n");
}

TEST(BuiltinTable, KeywordTable) {
  const INDEXFUNC *k = GetIndexKeywordTable();
  EXPECT_STREQ(k[0].name, "DRAWTEXT");
  EXPECT_STREQ(k[14].name, "VERTLINE");
  EXPECT_STREQ(k[42].name, "\"\"");
  int drawing = 0, operators = 0;
  for (uint32_t i = 0; i < kIndexKeywordCount; ++i) {
    EXPECT_EQ(k[i].impl, nullptr);
    EXPECT_LE(strnlen(k[i].help, sizeof k[i].help), 258u) << k[i].name;
    drawing += k[i].category == kCategoryDrawing;
    operators += k[i].category == kCategoryOperator;
    const bool fullOnly = std::strcmp(k[i].name, "POLYLINE") == 0 || std::strcmp(k[i].name, "DRAWLINE") == 0;
    EXPECT_EQ(k[i].flags, fullOnly ? kFunctionFullRecalc : 0u) << k[i].name;
    // The first 15 are the drawing statements, each a keyword of the compiler.
    EXPECT_EQ(i < 15, IsDrawKeyword(k[i].name, int(std::strlen(k[i].name)))) << k[i].name;
  }
  EXPECT_EQ(drawing, 28);
  EXPECT_EQ(operators, 15);
}

}  // namespace
