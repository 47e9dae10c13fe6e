// The order-entry panels on screen: the controls of the ordinary panel
// (Panel1012), the keyboard-order panel (Panel12), the quick order panel
// (PanelF22) and the quick-deal bar (PanelQuickDeal), each registered in
// the trading window under its form name. The forms hold no state: a
// handler copies the controls into TOrderEntry, runs the model's operation
// and shows the model again (Refresh). The owner drawing of the buttons and
// lists is done by the free routines below, which the picture tests call
// on bitmaps too.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"

class TTradingWindow;
struct TPanelPrepare;
class TOrderEntry;
class TWinControl;
class TOwnerDrawPanel;
class TPanel;
class TXPButton;
class TXPComboBox;
class TXPEdit;
class TXPCheckBox;
class TLabel;
class TXPListBox;
class TControl;

// ---- owner drawing ----
// An order button of the ordinary panel: its price line (the hint without
// its "^") in the top 5/14, the grey rule 2 pixels below, the caption 7
// pixels under that; disabled texts grey.
void DrawPriceLineButton(HDC dc, const RECT &rect, const char *caption, const std::string &hint,
                         COLORREF captionColour, bool enabled);
// A numbered order button of the keyboard-order panel.
void DrawNumberedButton(HDC dc, const RECT &rect, int digit, const char *caption, COLORREF colour, bool enabled,
                        bool keyboardLayout);
// "全部撤单", "查可开", "条件单": the key hint above, the caption below.
void DrawHintButton(HDC dc, const RECT &rect, const char *hint, const char *caption, bool keyboardLayout);
// A quick-deal bar button by its tag (0 to 5).
void DrawQuickDealButton(HDC dc, const RECT &rect, int tag);
// The quick order panel's button background by OrderColor and pressed
// state (nothing for OrderColor 0).
void DrawQuickButtonBack(HDC dc, const RECT &rect, int orderColor, bool pressed);
// One item of an owner-drawn list in its colour (selected: highlight).
void DrawColouredItem(HDC dc, const RECT &rect, const char *text, COLORREF colour, bool selected);
// Item colours of the ordinary offset list, the quick direction and
// offset lists.
COLORREF OffsetItemColour(int item);
COLORREF QuickDirectionColour(int item);
COLORREF QuickOffsetColour(int item);

class TOrderPanelForms {
 public:
  // Builds the controls into the window's three order panels and the bar
  // panel into barParent (the main window's client; may be the window's
  // own Panel7 when there is no main window).
  TOrderPanelForms(TTradingWindow &window, TOrderEntry &entry, TWinControl *barParent);
  // Detaches the controls' handlers: the controls outlive the forms.
  ~TOrderPanelForms();
  TOrderPanelForms(const TOrderPanelForms &) = delete;
  TOrderPanelForms &operator=(const TOrderPanelForms &) = delete;

  // The models into the controls.
  void Refresh();
  // Only the texts a quote rewrites, of those texts (the entry's kQuote...
  // bits) the quote changed: the filled panel's price field and price
  // lines (the ordinary buttons' hints, the keyboard labels) and the bar's
  // price. The panels follow every quote of their contract.
  void RefreshQuotePrices(unsigned texts = ~0u);

  // The options changed the layout between 0 and 1.
  void OrderLayoutChanged(int from, int to);

  // A list command prepared an order (the panel model holds its contract,
  // volume and price already): the offset choice and the order type with
  // their handlers, the contract field's exit, the hedge choice, the
  // buttons a close leaves, then the focus and the mouse cursor.
  void Prepare(const TPanelPrepare &prepare);

  // ---- what the key preview drives ----
  // Clicks a button of the panels or the bar by its name; false when
  // there is none.
  bool Press(const char *name);
  // A price spinner ("XPUpDown1003", "XPUpDown3", "XPUpDownF12" or the
  // bar's "XPUpDown2") stepped by +1 or -1.
  void StepPrice(const char *spin, int step);
  // The range of a volume spinner; false for an unknown one.
  static bool VolumeSpin(const char *spin, int *minimum, int *maximum);
  // After every handler: the panel's contract changed, a key moved the
  // focus, a box was shown (the main window follows the contract).
  std::function<void()> changed;
  // The main window: WM_TRADE_FOCUS goes there when a button of the
  // keyboard block loses the focus.
  HWND focusTarget = nullptr;

  // ---- the ordinary panel ----
  TXPComboBox *ComboBox1001, *ComboBoxHedge2, *ComboBox1002, *ComboBox1005;
  TXPEdit *XPEdit1001, *XPEdit1002;
  TXPButton *XPButton1026, *XPButton1002, *XPButton1032, *XPButton1033, *XPButton128;
  TXPCheckBox *XPCheckBox2;
  TLabel *Label1005;
  TPanel *Panel22;               // the nine volume buttons
  TXPListBox *XPListBox1012;     // the price words
  // ---- the keyboard-order panel ----
  TXPEdit *XPEdit6, *XPEdit7, *XPEdit1, *XPEdit2;
  TXPComboBox *ComboBox1, *ComboBoxHedge, *ComboBox5;
  TLabel *Label20, *Label36;
  TOwnerDrawPanel *OwnerDrawPanel1;
  TXPButton *orderButtons[7];  // by tag 1..6
  TXPButton *XPButton38, *XPButton39, *XPButton58;
  TPanel *Panel24;
  TXPListBox *XPListBox2;
  // ---- the quick order panel ----
  TPanel *PanelF24, *PanelF25, *PanelF29;
  TXPComboBox *XPComboBoxF1, *XPComboBoxF9, *XPComboBoxF10;
  TXPEdit *XPPriceEditF7, *XPEditF19, *XPEditF20, *XPEditF21;
  TXPButton *XPButtonF53, *XPButtonF54, *XPButtonF55;
  TXPCheckBox *XPCheckBoxF4, *XPCheckBoxF5;
  TLabel *LabelF65, *LabelF66, *LabelF57, *LabelF58, *LabelF59, *LabelF60;
  // ---- the quick-deal bar ----
  TPanel *PanelQuickDeal;
  TXPComboBox *XPComboBox8;
  TXPEdit *XPEdit12, *XPPriceEdit2;
  TXPButton *barButtons[6];  // by tag

 private:
  void BuildOrdinary();
  void BuildKeyboard();
  void BuildQuick();
  void BuildBar(TWinControl *parent);
  // The hidden volume buttons and price-word list of a panel.
  void BuildChoices(int layout, TWinControl *parent, TXPEdit *volume, TXPEdit *price, TPanel *&buttons,
                    TXPListBox *&words);
  // The user's input into the models.
  void ReadOrdinary();
  void ReadKeyboard();
  void ReadQuick();
  void ReadBar();
  // Runs an operation between reading the controls and showing the models.
  template <class F>
  void Run(F &&operation);

  TTradingWindow &window_;
  TOrderEntry &entry_;
  std::vector<TControl *> made_;
  // The panes inside the ordinary and keyboard panels that carry their
  // controls and labels.
  TPanel *ordinaryBody_ = nullptr, *keyboardBody_ = nullptr;
  // Row 1 of the quick panel: the price caption and the volume caption.
  TLabel *priceCaption_ = nullptr, *volumeCaption_ = nullptr;
  bool refreshing_ = false;
  // How deep operations run inside each other (see Run).
  int running_ = 0;
};
