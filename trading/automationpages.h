// The trading window's two automation pages as panels the window holds:
// the after-login check list (Panel21 with its owner-drawn list, "确认",
// "全部删除" and "退出") and the condition-order page (XPTabControl4 with
// its list and commands). Both show their models and forward input.
#pragma once

#include <functional>

#include "classlib/extctrls.h"
#include "classlib/imglist.h"
#include "classlib/menus.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xplistview.h"
#include "core/xptabcontrol.h"
#include "trading/checklist.h"
#include "trading/conditionpage.h"

class TCheckListPanel : public TPanel {
 public:
  TCheckListPanel(TComponent *owner, TAutomationCheckList &list);

  TLabel *Label47;
  TXPListView *XPListView5;
  TXPButton *XPButton50, *XPButton51, *XPButton52;
  // "确认" (arming) and "退出" (closing trading).
  std::function<void()> confirm, exit;

  void ShowRows();
  // A left press in the list: a click in the "操作" column deletes the row.
  void XPListView5MouseDown(int x, int y);
  void XPButton51Click();
  // A right press on the selected keyed row: the menu "删除    (&D)",
  // separator, "全部删除(&A)" at the screen point.
  void XPListView5ContextPopup(int x, int y);
  // The selected row deleted (the menu's first entry).
  void DeleteSelected();
  TPopupMenu *checkMenu;

 private:
  void DrawRow(TListItem *item, TCustomDrawState state);
  TAutomationCheckList &list_;
};

class TConditionPagePanel : public TPanel {
 public:
  TConditionPagePanel(TComponent *owner, TConditionPage &page);

  TXPTabControl *XPTabControl4;
  TPanel *PanelConditionOrder;
  TXPListView *XPListViewConditionOrder;
  TImageList *pausedImages;
  TXPButton *XPButtonCOPause, *Button6, *Button5, *XPButton29;

  void XPTabControl4Change();
  void XPTabControl4Resize();
  // The list's selection into the page.
  void ReadSelection();
  void ShowRows();

 private:
  TConditionPage &page_;
};
