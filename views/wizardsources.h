// The wizard's sources in the running program: the formula library, the
// page table, and the main window's hot-key table (handed in by the main
// window, which owns it).
#pragma once

#include "views/wizardsearch.h"

class CKvIndexManager;

class TWizardLibrarySources : public WizardSources {
 public:
  // The library and the hot keys may be null (nothing of theirs is listed).
  TWizardLibrarySources(const CKvIndexManager *library, const HOTKEYDEF *hotKeys)
      : library_(library), hotKeys_(hotKeys) {}

  const HOTKEYDEF *HotKeys() const override { return hotKeys_; }
  int FormulaCount() const override;
  // Numbered as the library's GetIndexAt counts; reading them in order
  // walks the chains once.
  const CKvIndex *FormulaAt(int n) const override;
  int PageCount() const override;
  const char *PageName(int i) const override;
  const char *PagePath(int i) const override;

 private:
  const CKvIndexManager *library_;
  const HOTKEYDEF *hotKeys_;
  // Where the last FormulaAt ended.
  mutable int cursorNumber_ = -1;
  mutable const CKvIndex *cursorFormula_ = nullptr;
  mutable const void *cursorGroup_ = nullptr;
};
