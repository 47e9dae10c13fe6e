// Small pieces the settings dialogs of the shell share: placing a control
// and moving the selected entries of a list.
#pragma once

#include "classlib/controls.h"
#include "classlib/listbox.h"

// A control made for owner on parent at (x, y), w x h, with its caption.
template <class T>
T *PlaceControl(TWinControl *parent, TComponent *owner, int x, int y, int w, int h, const char *caption = nullptr) {
  auto *c = new T(owner);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  if (caption) c->SetCaption(caption);
  return c;
}

// Moves every selected entry that has an unselected one above (below) it
// one place up (down), with its text, object and check; a block of
// selected entries moves as one.
void MoveSelectedUp(TCustomListBox &list);
void MoveSelectedDown(TCustomListBox &list);
