// Menu items, main menus and popup menus.
#include "classlib/menus.h"

#include <algorithm>

#include "platform/menu.h"
#include "classlib/forms.h"
#include "platform/winuser.h"

namespace {

// Command ids of menu items, unique in the process (GUI thread only).
UINT NextCommand() {
  static UINT next = 100;
  if (++next >= 0xF000) next = 101;  // below the system commands
  return next;
}

std::vector<TMenuItem *> &AllItems() {
  static std::vector<TMenuItem *> items;
  return items;
}

}  // namespace

TMenuItem::TMenuItem(TComponent *owner) : TComponent(owner), command_(NextCommand()) { AllItems().push_back(this); }

TMenuItem::~TMenuItem() {
  BeginDestroy();
  auto &all = AllItems();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (parent_) parent_->Remove(this);
  for (TMenuItem *child : std::vector<TMenuItem *>(items_)) {
    child->parent_ = nullptr;
    if (!child->Owner()) delete child;
  }
  items_.clear();
  FreeHandle();
}

TMenuItem *TMenuItem::Items(int index) const {
  return index >= 0 && size_t(index) < items_.size() ? items_[size_t(index)] : nullptr;
}

int TMenuItem::MenuIndex() const {
  if (!parent_) return -1;
  auto &list = parent_->items_;
  return int(std::find(list.begin(), list.end(), this) - list.begin());
}

void TMenuItem::Add(TMenuItem *item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem *item) {
  if (!item || item == this) return;
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  FreeHandle();
}

void TMenuItem::Remove(TMenuItem *item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  FreeHandle();
}

void TMenuItem::Delete(int index) {
  TMenuItem *item = Items(index);
  if (!item) return;
  Remove(item);
  delete item;
}

void TMenuItem::Clear() {
  while (!items_.empty()) Delete(Count() - 1);
}

TMenuItem *TMenuItem::Find(const std::string &caption) const {
  auto strip = [](const std::string &s) {
    std::string out;
    for (char c : s)
      if (c != '&') out += c;
    return out;
  };
  std::string wanted = strip(caption);
  for (TMenuItem *item : items_)
    if (strip(item->Caption) == wanted) return item;
  return nullptr;
}

void TMenuItem::FreeHandle() {
  if (handle_) {
    DestroyMenu(handle_);
    handle_ = nullptr;
  }
  if (parent_) parent_->FreeHandle();
}

void TMenuItem::Rebuild() {
  if (handle_) DestroyMenu(handle_);
  handle_ = CreatePopupMenu();
  for (TMenuItem *item : items_) {
    if (!item->Visible) continue;
    if (item->IsLine()) {
      AppendMenuA(handle_, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item->Checked) flags |= MF_CHECKED;
    if (!item->Enabled) flags |= MF_GRAYED;
    if (item->BarBreak) flags |= MF_MENUBARBREAK;
    std::string text = item->Caption;
    if (item->ShortCut) {
      text.push_back('\t');
      text.append(ShortCutToText(item->ShortCut));
    }
    if (item->Count() > 0) {
      AppendMenuA(handle_, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(item->Handle()), text.c_str());
    } else {
      AppendMenuA(handle_, flags, item->command_, text.c_str());
    }
  }
}

HMENU TMenuItem::Handle() {
  // Rebuilt every time: checks, enabled states and captions are plain
  // fields that code changes directly.
  Rebuild();
  return handle_;
}

void TMenuItem::Click() {
  if (!Enabled || Destroying()) return;
  if (OnClick) OnClick(this);
}

// ---- TMenu -------------------------------------------------------------------------------
TMenu::TMenu(TComponent *owner) : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)) {}

TMenu::~TMenu() { BeginDestroy(); }

static TMenuItem *FindCommand(TMenuItem *item, UINT command) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem *child = item->Items(i);
    if (child->Command() == command) return child;
    if (TMenuItem *found = FindCommand(child, command)) return found;
  }
  return nullptr;
}

TMenuItem *TMenu::FindItem(UINT command) const { return FindCommand(items_.get(), command); }

bool TMenu::DispatchCommand(UINT command) {
  TMenuItem *item = FindItem(command);
  if (!item) return false;
  item->Click();
  return true;
}

static TMenuItem *FindShortCut(TMenuItem *item, WORD shortcut) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem *child = item->Items(i);
    if (!child->Visible || !child->Enabled) continue;
    if (child->ShortCut && child->ShortCut == shortcut && child->Count() == 0) return child;
    if (TMenuItem *found = FindShortCut(child, shortcut)) return found;
  }
  return nullptr;
}

bool TMenu::IsShortCut(WORD key, unsigned shiftBits) {
  if (!key) return false;
  TMenuItem *item = FindShortCut(items_.get(), WORD((key & 0xFF) | shiftBits));
  if (!item) return false;
  item->Click();
  return true;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  // The menu belongs to the form of the control it was shown for, else to
  // the active window or the main form.
  HWND owner = nullptr;
  if (auto *control = dynamic_cast<TControl *>(popupComponent_))
    if (TCustomForm *form = control->ParentForm(); form && form->HandleAllocated()) owner = form->Handle();
  if (!owner) owner = GetActiveWindow();
  if (!owner && Application()->MainForm()) owner = Application()->MainForm()->Handle();
  UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON;
  if (Alignment == paRight) flags |= TPM_RIGHTALIGN;
  if (Alignment == paCenter) flags |= TPM_CENTERALIGN;
  UINT command = UINT(TrackPopupMenu(Handle(), flags, x, y, 0, owner, nullptr));
  if (command) DispatchCommand(command);
  popupComponent_ = nullptr;  // the control may not outlive the menu
}

std::string ShortCutToText(WORD shortcut) {
  std::string text;
  if (shortcut & scCtrl) text += "Ctrl+";
  if (shortcut & scShift) text += "Shift+";
  if (shortcut & scAlt) text += "Alt+";
  int key = shortcut & 0xFF;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
    text += char(key);
  } else if (key >= VK_F1 && key <= VK_F24) {
    text.push_back('F');
    text.append(std::to_string(key - VK_F1 + 1));
  } else {
    static const struct {
      int key;
      const char *name;
    } names[] = {{VK_BACK, "BkSp"}, {VK_TAB, "Tab"},   {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},
                 {VK_SPACE, "Space"}, {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},
                 {VK_HOME, "Home"},  {VK_LEFT, "Left"},  {VK_UP, "Up"},       {VK_RIGHT, "Right"},
                 {VK_DOWN, "Down"},  {VK_INSERT, "Ins"}, {VK_DELETE, "Del"}};
    for (const auto &n : names)
      if (n.key == key) text += n.name;
  }
  return text;
}
