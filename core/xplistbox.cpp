#include "core/xplistbox.h"

void TXPListBox::WndProc(TMessage &m) {
  if ((m.Msg == WM_DRAWITEM || m.Msg == CN_DRAWITEM) && Style() != lbStandard && OnDrawItem2) {
    auto *record = reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam);
    if (record && record->CtlType == ODT_LISTBOX && HandleAllocated() && record->hwndItem == Handle()) {
      constexpr UINT kStates = odSelected | odGrayed | odDisabled | odChecked | odFocused | odDefault | odHotLight |
                               odInactive | odNoAccel | odNoFocusRect | odComboBoxEdit;
      OnDrawItem2(this, record->hDC, int(record->itemID), record->rcItem, TOwnerDrawState(record->itemState & kStates));
    }
    m.Result = 1;
    return;
  }
  TXPFlat<TListBox>::WndProc(m);
  if (m.Msg == WM_HSCROLL && OnHScroll) OnHScroll(this, LOWORD(m.WParam), HIWORD(m.WParam));
  if (m.Msg == WM_VSCROLL && OnVScroll) OnVScroll(this, LOWORD(m.WParam), HIWORD(m.WParam));
}

namespace xplistbox {
void Register() { RegisterComponent(kXPPalettePage, "TXPListBox"); }
}  // namespace xplistbox
