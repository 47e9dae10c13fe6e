// Menus of the class library: items in a tree, the form's main menu and
// popup menus, over the window layer's menus (platform/menu.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "platform/windef.h"

class TControl;
class TImageList;

class TMenuItem : public TComponent {
 public:
  VCL_CLASS_NAME(TMenuItem)
  explicit TMenuItem(TComponent *owner);
  ~TMenuItem() override;

  // "-" makes a separator; '&' marks the access key (GBK).
  std::string Caption;
  bool Checked = false;
  bool Enabled = true;
  bool Visible = true;
  bool RadioItem = false;
  int GroupIndex = 0;
  int ImageIndex = -1;
  // The item starts a new column of its menu (with a bar between).
  bool BarBreak = false;
  // The key shown after a tab and handled by the menu (a virtual key with
  // the scShift / scCtrl / scAlt bits), 0 for none.
  WORD ShortCut = 0;
  std::string Hint;
  TNotifyEvent OnClick;

  int Count() const { return int(items_.size()); }
  TMenuItem *Items(int index) const;
  TMenuItem *operator[](int index) const { return Items(index); }
  TMenuItem *Parent() const { return parent_; }
  int MenuIndex() const;
  void Add(TMenuItem *item);
  void Insert(int index, TMenuItem *item);
  void Remove(TMenuItem *item);
  void Delete(int index);
  void Clear();
  TMenuItem *Find(const std::string &caption) const;
  bool IsLine() const { return Caption == "-"; }

  // The command id the item carries in the window layer's menus.
  UINT Command() const { return command_; }
  // The window layer's menu of this item's children (made on first use and
  // rebuilt when the children change).
  HMENU Handle();
  virtual void Click();

 private:
  friend class TMenu;
  void Rebuild();
  void FreeHandle();
  std::vector<TMenuItem *> items_;
  TMenuItem *parent_ = nullptr;
  UINT command_ = 0;
  HMENU handle_ = nullptr;
};

enum : WORD { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };

class TMenu : public TComponent {
 public:
  VCL_CLASS_NAME(TMenu)
  explicit TMenu(TComponent *owner);
  ~TMenu() override;
  TMenuItem *Items() const { return items_.get(); }
  HMENU Handle() { return items_->Handle(); }
  TImageList *Images = nullptr;
  // The item with this command id anywhere in the tree, or null.
  TMenuItem *FindItem(UINT command) const;
  // Clicks the item with the command id; false when there is none.
  bool DispatchCommand(UINT command);
  // Runs the item whose ShortCut matches; false when none does.
  bool IsShortCut(WORD key, unsigned shiftBits);

 private:
  std::unique_ptr<TMenuItem> items_;
};

class TMainMenu : public TMenu {
 public:
  VCL_CLASS_NAME(TMainMenu)
  explicit TMainMenu(TComponent *owner) : TMenu(owner) {}
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
 public:
  VCL_CLASS_NAME(TPopupMenu)
  explicit TPopupMenu(TComponent *owner) : TMenu(owner) {}
  // Shown by a right click on a control that names it.
  bool AutoPopup = true;
  TPopupAlignment Alignment = paLeft;
  TNotifyEvent OnPopup;
  TComponent *PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent *c) { popupComponent_ = c; }
  // Shows the menu at a screen point and runs the chosen item's OnClick.
  virtual void Popup(int x, int y);

 private:
  TComponent *popupComponent_ = nullptr;
};

// Changes every menu item's shortcut text; used by the key table editor.
std::string ShortCutToText(WORD shortcut);
