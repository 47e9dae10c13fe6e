#include "views/wizardsearch.h"

#include <cstdio>
#include <cstring>

#include "formula/kvindex.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "platform/clock.h"

const uint8_t kWizardCommandOrder[kHotKeyCount] = {
    0,  81, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
    20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40,
    41, 42, 73, 43, 44, 45, 46, 82, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59,
    60, 74, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 76, 77, 78, 79, 80, 75};

namespace {

uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 32) : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text is no longer than the field's text and equals its start,
// ignoring the case of ASCII letters. A double-byte character compares
// byte for byte: its second byte may have a letter's value.
bool IsPrefix(const char *field, size_t size, const char *text, int length) {
  if (size_t(length) > strnlen(field, size)) return false;
  for (int i = 0; i < length; ++i) {
    const uint8_t f = uint8_t(field[i]);
    if (f >= 0x81 && f <= 0xFE) {
      if (field[i] != text[i]) return false;
      if (++i < length && field[i] != text[i]) return false;
    } else if (Upper(f) != Upper(uint8_t(text[i]))) {
      return false;
    }
  }
  return true;
}

bool IsExact(const char *field, size_t size, const char *text, int length) {
  return strnlen(field, size) == size_t(length) && IsPrefix(field, size, text, length);
}

// The entry of a code in market 0, else in market 1.
bool LookupCompletion(const char *code, int &market, int &stock) {
  for (int m = 0; m <= 1; ++m) {
    const TMarketData *md = MarketAt(m);
    if (!md || !md->m_stocks) continue;
    int s = md->FindStockIndex(code);
    if (s >= 0 && s < md->m_loadedCount) {
      market = m;
      stock = s;
      return true;
    }
  }
  return false;
}

}  // namespace

TWizardSearch::TWizardSearch() {
  std::memset(rows_, 0, sizeof rows_);
  std::memset(stocks_, 0, sizeof stocks_);
}

bool TWizardSearch::AddRow(uint16_t group, uint16_t value) {
  if (rowCount_ >= kWizardMaxRows) return false;
  rows_[rowCount_++] = WIZARDROW{group, value};
  return true;
}

void TWizardSearch::AddStock(const STKINFO &entry, int market, int stock, bool front) {
  if (stockCount_ >= kWizardMaxStocks) return;
  STKINFO copy = entry;
  copy.market = uint8_t(market);
  copy.index = uint16_t(stock);
  if (front) {
    std::memmove(&stocks_[1], &stocks_[0], size_t(stockCount_) * sizeof(STKINFO));
    stocks_[0] = copy;
  } else {
    stocks_[stockCount_] = copy;
  }
  ++stockCount_;
}

void TWizardSearch::ScanMarket(int market, const char *text, int length, const char *alternative, int altLength) {
  const TMarketData *md = MarketAt(market);
  const BLOCK *block = FindBlockByKindIndex(kBlockMarket, market);
  if (!md || !md->m_stocks || !block || !block->members) return;
  for (int i = 0; i < block->memberCount && stockCount_ < kWizardMaxStocks; ++i) {
    const BLOCKMEMBER &member = block->members[i];
    if (member.market != market || member.stock >= md->m_loadedCount) continue;
    const STKINFO &entry = md->m_stocks[member.stock];
    const STKINFOEX *ex = md->m_stocksEx ? &md->m_stocksEx[member.stock] : nullptr;
    constexpr size_t kCode = sizeof entry.code, kName = sizeof entry.name, kEx = sizeof(STKINFOEX::code);
    bool direct = IsPrefix(entry.code, kCode, text, length) || IsPrefix(entry.name, kName, text, length) ||
                  (ex && (IsPrefix(ex->code, kEx, text, length) ||
                          (altLength > 0 && IsPrefix(ex->code, kEx, alternative, altLength))));
    if (direct) {
      bool exact = IsExact(entry.code, kCode, text, length) || (ex && IsExact(ex->code, kEx, text, length));
      AddStock(entry, market, member.stock, exact);
    } else if (::PinyinMatch(entry.name, text, length, &extra_)) {
      AddStock(entry, market, member.stock, false);
    }
  }
}

bool TWizardSearch::SearchStocks(const char *text) {
  stockCount_ = 0;
  noMatch_ = false;
  if (!text) return false;
  int length = int(strnlen(text, kWizardMaxText));
  if (length == 0) return false;

  // Digit completion: 3 digits after 600 and 000, 4 after 00 and 60.
  bool allDigits = true;
  for (int i = 0; i < length; ++i) allDigits &= IsDigit(text[i]);
  if (allDigits && (length == 3 || length == 4)) {
    const char *prefixes[2] = {length == 3 ? "600" : "00", length == 3 ? "000" : "60"};
    for (const char *prefix : prefixes) {
      char candidate[8];
      std::snprintf(candidate, sizeof candidate, "%s%.*s", prefix, length, text);
      int market = 0, stock = 0;
      if (LookupCompletion(candidate, market, stock)) AddStock(MarketAt(market)->m_stocks[stock], market, stock, false);
    }
  }

  // Year completion: "ru905" also looks for "ru1905" in the 2010s.
  char alternative[8] = {};
  int altLength = 0;
  if (length >= 3 && length <= 5 && IsLetter(text[0]) && IsLetter(text[1]) && IsDigit(text[2]) &&
      (length < 4 || IsDigit(text[3])) && (length < 5 || IsDigit(text[4]))) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    alternative[0] = text[0];
    alternative[1] = text[1];
    alternative[2] = char('0' + (now.wYear % 100) / 10);
    std::memcpy(alternative + 3, text + 2, size_t(length - 2));
    altLength = length + 1;
  }

  // Futures markets first, then the others, each in market order.
  for (int pass = 0; pass < 2; ++pass)
    for (int m = 0; m < MarketTable.marketCount && stockCount_ < kWizardMaxStocks; ++m) {
      const TMarketData *md = MarketAt(m);
      if (md && (md->m_info.type == 2) == (pass == 0)) ScanMarket(m, text, length, alternative, altLength);
    }
  return stockCount_ > 0;
}

bool TWizardSearch::MatchAll(const char *text) {
  rowCount_ = 0;
  stockCount_ = 0;
  noMatch_ = false;
  if (!text) return false;
  int length = int(strnlen(text, kWizardMaxText));
  if (length == 0) return false;

  if (const HOTKEYDEF *keys = sources_ ? sources_->HotKeys() : nullptr) {
    for (uint8_t index : kWizardCommandOrder) {
      const HOTKEYDEF &record = keys[index];
      if (record.flags == 8 && record.keys[0] && IsPrefix(record.keys, sizeof record.keys, text, length))
        AddRow(kWizardCommand, index);
    }
  }
  if (sources_) {
    int formulas = sources_->FormulaCount();
    for (int n = 0; n < formulas && n <= 0xFFFF && rowCount_ < kWizardMaxRows; ++n) {
      const CKvIndex *formula = sources_->FormulaAt(n);
      if (formula && IsPrefix(formula->name, sizeof formula->name, text, length)) AddRow(kWizardIndicator, uint16_t(n));
    }
    int pages = sources_->PageCount();
    for (int i = 0; i < pages && i <= 0xFFFF && rowCount_ < kWizardMaxRows; ++i) {
      char label[16];
      int n = std::snprintf(label, sizeof label, ".%d", i);
      const char *path = sources_->PagePath(i);
      if (path && path[0] && IsPrefix(label, size_t(n), text, length)) AddRow(kWizardPage, uint16_t(i));
    }
  }
  SearchStocks(text);
  for (int k = 0; k < stockCount_ && AddRow(kWizardStock, uint16_t(k)); ++k) {
  }
  return rowCount_ > 0;
}

void TWizardSearch::SetNoMatchRow() {
  stockCount_ = 0;
  std::memset(&stocks_[0], 0, sizeof stocks_[0]);
  std::memcpy(stocks_[0].code, "    ", 5);
  std::memcpy(stocks_[0].name, "    ", 5);
  rowCount_ = 1;
  rows_[0] = WIZARDROW{kWizardStock, 0};
  noMatch_ = true;
}
