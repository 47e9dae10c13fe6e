// The list area's widgets: the positions pane (vertical tabs "持仓" and
// "套利" beside the position list and its buttons), the orders pane (tabs
// "全部" and "可撤" beside the order list and its buttons), the trades pane
// (the three modes, the notice line and the trade list) and the splitter
// between the two panes of the trading page. The rows come from the list
// models of the order and position books; every command goes to the list
// commands. Each list draws its own rows.
#pragma once

#include <vector>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "core/xpbutton.h"
#include "core/xplistview.h"
#include "core/xppushradiobutton.h"
#include "core/xpradiobutton.h"
#include "trading/listarea.h"

class TTradingDesk;
class TTradeDispatcher;
class TListCommands;
struct TListModel;

class TListAreaForm : public TForm {
 public:
  TListAreaForm(TComponent *owner, TTradingDesk &desk, TTradeDispatcher &dispatch, TListCommands &commands);

  // The panes.
  TPanel *OwnerDrawPanel3, *OwnerDrawPanel2, *Panel14;
  TPanel *Panel16, *Panel8;
  TSplitter *Splitter3;
  TXPListView *XPListView1, *XPListView2, *XPListView3;
  // "持仓", "套利", "可撤", "全部".
  TXPPushRadioButton *XPPushRadioButton1, *XPPushRadioButton2, *XPPushRadioButton3, *XPPushRadioButton4;
  // "成交明细", "按委托汇总", "按合约汇总".
  TXPRadioButton *XPRadioButton3, *XPRadioButton4, *XPRadioButton5;
  TLabel *Label15;
  TXPButton *XPButton1, *XPButton3, *XPButton30, *XPButton40, *XPButton26, *XPButton41, *XPButton4;
  TXPButton *XPButton20, *XPButton21, *XPButton22, *XPButton23, *XPButton24, *XPButton31, *XPButton60;

  // The panes for the page state (the trading page: the options' pair).
  void Panel4Resize();
  void Panel14Resize();
  void Panel16Resize();
  void Panel8Resize();
  void Splitter3Moved();
  // The models into the views.
  void ShowOrders();
  void ShowTrades();
  void ShowPositions();
  // Only the profit cells of the position rows, after a quote.
  void ShowPositionProfits();
  void ShowAll();
  // The selected rows of a list, top first.
  static std::vector<int> SelectedRows(TCustomListView *view);
  // The pop-up menu of a list for a right click (built anew each time).
  TPopupMenu *BuildMenu(TListKind list);
  void RunMenuCommand(TListCommand command);

  // A row of a list drawn by the owner: background, texts 6 pixels in,
  // ellipsis, colours by column, focus rectangle.
  static void DrawListRow(TListKind list, TCustomListView *view, TListItem *item, TCustomDrawState state);

 private:
  void Fill(TXPListView *view, const TListModel &model);
  void TabCaption(TObject *sender, HDC dc, RECT &rect);
  TXPListView *MakeList(TWinControl *parent, TListKind kind,
                        std::initializer_list<std::pair<const char *, int>> columns);

  TTradingDesk &desk_;
  TTradeDispatcher &dispatch_;
  TListCommands &commands_;
  TPopupMenu *menu_ = nullptr;
};
