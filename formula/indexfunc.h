// The built-in function table (93 rows sorted by name) and the keyword table
// (43 rows for the function picker), with the lookups the compiler, the
// evaluator and the dialogs use.
#pragma once

#include <cstdint>

#include "formula/kvindex.h"

enum IndexFunctionCategory : uint8_t {
  kCategoryAll = 0,  // the picker's "全部"
  kCategoryQuote = 1,
  kCategoryArithmetic = 2,
  kCategoryMath = 3,
  kCategoryDrawing = 4,
  kCategoryTime = 5,
  kCategoryLogic = 6,
  kCategoryStatistics = 7,
  kCategoryReference = 8,
  kCategoryOperator = 9,
  kCategoryOther = 10,
};
constexpr uint32_t kIndexCategoryCount = 11;

// The name of a category as the function picker lists it (GBK): "全部" for
// 0, "行情" to "其它" for 1 to 10; null past 10.
const char *IndexCategoryName(uint32_t category);

// INDEXFUNC::flags.
constexpr uint32_t kFunctionFuture = 1;      // the value at a bar depends on later bars
constexpr uint32_t kFunctionFullRecalc = 2;  // statements calling it get kIndexFullRecalcOnly

struct INDEXFUNC {
  char name[16];
  uint32_t flags;
  int32_t minArgs;
  int32_t maxArgs;  // 0: used without parentheses
  IndexFunctionImpl impl;  // null in the keyword table
  uint8_t category;
  char help[259];  // GBK, lines separated by "\n"
};

constexpr uint32_t kIndexFunctionCount = 93;
constexpr uint32_t kIndexKeywordCount = 43;

uint32_t GetIndexFunctionCount();
// Copies row index; false (nothing copied) past the end.
bool GetIndexFunction(uint32_t index, INDEXFUNC *row);
// Case-insensitive; false and the row untouched when not found. The form with
// a length finds nothing for more than 15 bytes.
bool FindIndexFunction(const char *name, INDEXFUNC *row);
bool FindIndexFunction(const char *text, int length, INDEXFUNC *row);
IndexFunctionImpl FindIndexFunctionImpl(const char *name);
IndexFunctionImpl FindIndexFunctionImpl(const char *text, int length);

// The keyword table in its own order (not sorted; the picker searches it).
const INDEXFUNC *GetIndexKeywordTable();

// Makes the built-ins' state pools (done on first use as well) and gives
// them back with every state record still held.
void IndexBuiltinStartup();
void IndexBuiltinShutdown();
