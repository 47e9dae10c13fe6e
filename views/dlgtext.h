// Small helpers the views' dialogs share: fixed GBK fields to text and
// back, and the rule by which a selected run of list lines moves.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "classlib/listbox.h"
#include "platform/gbk.h"

// The text of a fixed field that need not hold a NUL.
inline std::string FieldText(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

// Copies at most `limit` bytes of GBK text into a fixed field (zero-padded),
// never half a character.
inline void CopyGbkCut(char *field, size_t size, const std::string &text, size_t limit) {
  const size_t n = platform::GbkCutLength(text, std::min(limit, size - 1));
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), n);
}

// Moves the selected lines of the first `count` one place up or down: a
// line swaps with its neighbour when that one is not selected, so a
// selected run moves as a whole and stops at the end. swap(a, b) swaps the
// entries behind two lines; the lines' texts and marks are swapped here.
template <class Swap>
void MoveSelectedLines(TCustomListBox *list, int count, bool up, Swap swap) {
  if (count > list->Count()) count = list->Count();
  auto exchange = [&](int a, int b) {
    swap(a, b);
    TStrings *items = list->Items();
    std::string text = items->Get(a);
    TObject *object = items->GetObject(a);
    items->Put(a, items->Get(b));
    items->PutObject(a, items->GetObject(b));
    items->Put(b, text);
    items->PutObject(b, object);
    bool marked = list->Selected(a);
    list->SetSelected(a, list->Selected(b));
    list->SetSelected(b, marked);
  };
  if (up) {
    for (int i = 1; i < count; ++i)
      if (list->Selected(i) && !list->Selected(i - 1)) exchange(i, i - 1);
  } else {
    for (int i = count - 2; i >= 0; --i)
      if (list->Selected(i) && !list->Selected(i + 1)) exchange(i, i + 1);
  }
}
