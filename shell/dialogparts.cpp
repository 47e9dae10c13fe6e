#include "shell/dialogparts.h"

namespace {

TListStrings &ListItems(TCustomListBox &list) { return *static_cast<TListStrings *>(list.Items()); }

// Swaps two entries with their texts, codes, checks and selection marks.
void SwapEntries(TCustomListBox &list, int a, int b) {
  TListStrings &items = ListItems(list);
  const bool checkedA = items.Checked(a), checkedB = items.Checked(b);
  const bool selectedA = list.Selected(a), selectedB = list.Selected(b);
  items.Exchange(a, b);
  items.SetChecked(a, checkedB);
  items.SetChecked(b, checkedA);
  if (list.MultiSelect) {
    list.SetSelected(a, selectedB);
    list.SetSelected(b, selectedA);
  } else if (selectedA || selectedB) {
    list.SetItemIndex(selectedA ? b : a);
  }
}

}  // namespace

void MoveSelectedUp(TCustomListBox &list) {
  for (int i = 1; i < list.Count(); ++i)
    if (list.Selected(i) && !list.Selected(i - 1)) SwapEntries(list, i, i - 1);
  list.Invalidate();
}

void MoveSelectedDown(TCustomListBox &list) {
  for (int i = list.Count() - 2; i >= 0; --i)
    if (list.Selected(i) && !list.Selected(i + 1)) SwapEntries(list, i, i + 1);
  list.Invalidate();
}

