// The keyboard wizard's search: on every keystroke it lists the commands
// typed as digits and Enter, the indicator formulas, the saved pages and
// the instruments that the text finds. Plain data and fixed arrays: one
// search allocates nothing.
#pragma once

#include <cstdint>

#include "market/marketrecords.h"
#include "views/hotkeydef.h"
#include "views/pinyin.h"

class CKvIndex;


constexpr int kHotKeyCount = 83;
constexpr int kWizardMaxRows = 1024;
constexpr int kWizardMaxStocks = 512;
constexpr int kWizardMaxText = 63;

enum WizardGroup : uint16_t { kWizardCommand = 0, kWizardStock = 1, kWizardIndicator = 2, kWizardPage = 3 };

struct WIZARDROW {
  uint16_t group;
  uint16_t value;  // command record, instrument result, formula number or page index
};

// What the wizard searches besides the market table: the main window's
// hot-key table, the formula library and the page table. Each is read on
// every keystroke, so each is the owner's live data, not a copy.
class WizardSources {
 public:
  virtual ~WizardSources() = default;
  // The 83 hot-key records in command order, or null.
  virtual const HOTKEYDEF *HotKeys() const = 0;
  // The formulas of the library in library order, group by group.
  virtual int FormulaCount() const = 0;
  virtual const CKvIndex *FormulaAt(int n) const = 0;
  // The page table, in menu order.
  virtual int PageCount() const = 0;
  virtual const char *PageName(int i) const = 0;
  virtual const char *PagePath(int i) const = 0;
};

// The order in which the wizard lists the commands, by record index.
extern const uint8_t kWizardCommandOrder[kHotKeyCount];

class TWizardSearch {
 public:
  TWizardSearch();

  // The rows for a text (at most 63 characters are looked at): commands,
  // formulas, pages and instruments, in that order, at most 1024 in all.
  // True when any row was found.
  bool MatchAll(const char *text);
  // The instruments the text finds, at most 512: digit completions first,
  // exact codes moved to the front. True when any was found.
  bool SearchStocks(const char *text);
  bool PinyinMatch(const char *name, const char *text, int length) const {
    return ::PinyinMatch(name, text, length, &extra_);
  }
  void LoadPinyinExtra() { ::LoadPinyinExtra(extra_); }
  PinyinExtraTable &ExtraTable() { return extra_; }

  void SetSources(const WizardSources *sources) { sources_ = sources; }
  const WizardSources *Sources() const { return sources_; }

  int RowCount() const { return rowCount_; }
  const WIZARDROW &Row(int i) const { return rows_[i]; }
  int StockCount() const { return stockCount_; }
  const STKINFO &Stock(int i) const { return stocks_[i]; }
  STKINFO &MutableStock(int i) { return stocks_[i]; }
  // The rows as left after a search that found nothing: one blank
  // instrument row that stands for no choice.
  void SetNoMatchRow();
  bool NoMatch() const { return noMatch_; }

 private:
  bool AddRow(uint16_t group, uint16_t value);
  void AddStock(const STKINFO &entry, int market, int stock, bool front);
  void ScanMarket(int market, const char *text, int length, const char *alternative, int altLength);

  const WizardSources *sources_ = nullptr;
  PinyinExtraTable extra_{};
  int rowCount_ = 0;
  WIZARDROW rows_[kWizardMaxRows];
  int stockCount_ = 0;
  STKINFO stocks_[kWizardMaxStocks];
  bool noMatch_ = false;
};
