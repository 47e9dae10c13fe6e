#include "views/wizardsources.h"

#include "formula/kvindexlib.h"
#include "views/pagelist.h"

int TWizardLibrarySources::FormulaCount() const {
  if (!library_) return 0;
  int count = 0;
  for (const CKvIndexGroup *group = library_->groups; group; group = group->next)
    for (const CKvIndex *formula = group->first; formula; formula = formula->next) ++count;
  return count;
}

const CKvIndex *TWizardLibrarySources::FormulaAt(int n) const {
  if (!library_ || n < 0) return nullptr;
  const CKvIndexGroup *group;
  const CKvIndex *formula;
  int number;
  if (cursorFormula_ && n == cursorNumber_ + 1) {
    group = static_cast<const CKvIndexGroup *>(cursorGroup_);
    formula = cursorFormula_->next;
    number = n;
    while (!formula && group) {
      group = group->next;
      formula = group ? group->first : nullptr;
    }
  } else {
    group = library_->groups;
    formula = group ? group->first : nullptr;
    number = 0;
    for (;;) {
      while (!formula && group) {
        group = group->next;
        formula = group ? group->first : nullptr;
      }
      if (!formula || number == n) break;
      formula = formula->next;
      ++number;
    }
  }
  cursorNumber_ = formula ? n : -1;
  cursorFormula_ = formula;
  cursorGroup_ = group;
  return formula;
}

int TWizardLibrarySources::PageCount() const {
  int count = PageTable().count;
  return count < 0 ? 0 : count > kMaxPages ? kMaxPages : count;
}

const char *TWizardLibrarySources::PageName(int i) const {
  return i >= 0 && i < PageCount() ? PageTable().entries[i].name : "";
}

const char *TWizardLibrarySources::PagePath(int i) const {
  return i >= 0 && i < PageCount() ? PageTable().entries[i].path : "";
}
