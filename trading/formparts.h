// Small helpers the trading window's page forms share to make their
// controls: a control of a class placed on a parent, a tab control over
// the whole form, and a button that runs an action.
#pragma once

#include <functional>
#include <initializer_list>

#include "classlib/forms.h"
#include "core/xpbutton.h"
#include "core/xptabcontrol.h"

template <class Control>
Control *PlaceControl(TComponent *owner, TWinControl *parent, int x, int y, int w, int h) {
  auto *control = new Control(owner);
  control->SetParent(parent);
  control->SetBounds(x, y, w, h);
  return control;
}

inline TXPTabControl *FormTabs(TCustomForm *form, std::initializer_list<const char *> captions) {
  auto *tabs = new TXPTabControl(form);
  tabs->SetParent(form);
  tabs->SetAlign(alClient);
  for (const char *caption : captions) tabs->Tabs()->Add(caption);
  tabs->SetTabIndex(0);
  return tabs;
}

inline TXPButton *ActionButton(TComponent *owner, TWinControl *parent, int x, int y, int w, const char *caption,
                               std::function<void()> action) {
  auto *button = PlaceControl<TXPButton>(owner, parent, x, y, w, 24);
  button->SetCaption(caption);
  if (action) button->OnClick = [action](TObject *) { action(); };
  return button;
}
