#include "trading/orderforms.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "classlib/extctrls.h"
#include "classlib/stdctrls.h"
#include "core/ownerdrawpanel.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpcombobox.h"
#include "core/xpdraw.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "trading/deskdata.h"
#include "trading/listcommands.h"
#include "trading/orderentry.h"
#include "trading/orderpanel.h"
#include "trading/tradingwindow.h"

namespace {

HFONT OrderFormFont(int height, int weight, const char *face, bool underline = false) {
  return CreateFontA(height, 0, 0, 0, weight, 0, underline ? 1 : 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0x20, face);
}

// Draws text with a font made for it, transparent.
void OrderFormText(HDC dc, RECT rect, const char *text, HFONT font, COLORREF colour, UINT format) {
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextA(dc, text, int(strlen(text)), &rect, format);
  SelectObject(dc, old);
}

SIZE OrderFormExtent(HDC dc, HFONT font, const char *text, int length) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc, text, length, &size);
  SelectObject(dc, old);
  return size;
}

void OrderFormFill(HDC dc, const RECT &rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

const char *const kOrderFormBarCaptions[6] = {"买开仓", "卖开仓", "买平今", "卖平今", "买平仓", "卖平仓"};
const char *const kOrderFormKeyboardCaptions[7] = {"", "买开仓", "卖平今", "卖平仓", "卖开仓", "买平今", "买平仓"};
const char *const kOrderFormKeyboardNames[7] = {"",           "XPButton32", "XPButton2", "XPButton35",
                                                "XPButton33", "XPButton34", "XPButton37"};
const char *const kOrderFormBarNames[6] = {"XPButton42", "XPButton43", "XPButton44",
                                           "XPButton45", "XPButton46", "XPButton47"};
const char *const kOrderFormVolumes[9] = {"1", "2", "3", "5", "10", "20", "50", "100", "200"};

}  // namespace

COLORREF OffsetItemColour(int item) {
  static const COLORREF colours[5] = {0x000000, 0xFF0000, 0xD200D2, 0x0000FF, 0x008000};
  return item >= 0 && item < 5 ? colours[item] : 0x000000;
}

COLORREF QuickDirectionColour(int item) { return item == 1 ? kEntryGreen : kEntryRed; }

COLORREF QuickOffsetColour(int item) {
  return item == 1 ? kEntryBlue : item == 2 ? COLORREF(0xD200D2) : COLORREF(0x000000);
}

void DrawColouredItem(HDC dc, const RECT &rect, const char *text, COLORREF colour, bool selected) {
  OrderFormFill(dc, rect, selected ? GetSysColor(COLOR_HIGHLIGHT) : 0xFFFFFF);
  HFONT font = OrderFormFont(12, FW_NORMAL, "宋体");
  RECT r = rect;
  r.left += 2;
  OrderFormText(dc, r, text, font, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : colour,
                DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  DeleteObject(font);
}

void DrawPriceLineButton(HDC dc, const RECT &rect, const char *caption, const std::string &hint,
                         COLORREF captionColour, bool enabled) {
  const int height = rect.bottom - rect.top;
  const int top = height * 5 / 14;
  HFONT font = OrderFormFont(16, FW_NORMAL, "system");
  const COLORREF colour = enabled ? captionColour : kEntryGrey;
  const std::string price = !hint.empty() && hint[0] == '^' ? hint.substr(1) : hint;
  RECT line{rect.left, rect.top, rect.right, rect.top + top};
  OrderFormText(dc, line, price.c_str(), font, enabled ? 0x000000 : kEntryGrey,
                DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  RECT rule{rect.left + 2, rect.top + top + 2, rect.right - 2, rect.top + top + 3};
  OrderFormFill(dc, rule, kEntryGrey);
  RECT below{rect.left, rect.top + top + 7, rect.right, rect.bottom};
  OrderFormText(dc, below, caption, font, colour, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  DeleteObject(font);
}

void DrawNumberedButton(HDC dc, const RECT &rect, int digit, const char *caption, COLORREF colour, bool enabled,
                        bool keyboardLayout) {
  if (keyboardLayout) {
    HFONT key = OrderFormFont(16, FW_NORMAL, "system", true);
    char text[2] = {char('0' + std::clamp(digit, 0, 9)), 0};
    RECT r{rect.left + 3, rect.top, rect.right, rect.bottom};
    OrderFormText(dc, r, text, key, enabled ? 0x000000 : kEntryGrey, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    DeleteObject(key);
  }
  HFONT font = OrderFormFont(12, FW_NORMAL, "宋体");
  // The first three characters.
  char text[7] = {};
  CopyGbkCut(text, sizeof text, caption);
  RECT r{rect.left + (keyboardLayout ? 12 : 6), rect.top, rect.right, rect.bottom};
  OrderFormText(dc, r, text, font, enabled ? colour : kEntryGrey, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  DeleteObject(font);
}

void DrawHintButton(HDC dc, const RECT &rect, const char *hint, const char *caption, bool keyboardLayout) {
  const int middle = (rect.top + rect.bottom) / 2;
  if (keyboardLayout) {
    HFONT key = OrderFormFont(16, FW_NORMAL, "system", true);
    const char *shown = hint[0] == '^' ? hint + 1 : hint;
    const SIZE size = OrderFormExtent(dc, key, shown, int(strlen(shown)));
    RECT r{rect.left + 3, middle - 8 - size.cy / 2, rect.right, middle - 8 + size.cy};
    OrderFormText(dc, r, shown, key, 0x000000, DT_SINGLELINE | DT_TOP | DT_LEFT);
    DeleteObject(key);
  }
  HFONT font = OrderFormFont(12, FW_NORMAL, "宋体");
  const SIZE size = OrderFormExtent(dc, font, caption, int(strlen(caption)));
  const int width = rect.right - rect.left;
  const int x = keyboardLayout ? (width - size.cx - 12) / 2 + 12 : (width - size.cx) / 2;
  RECT r{rect.left + x, middle + 1 - size.cy / 2, rect.right, rect.bottom};
  OrderFormText(dc, r, caption, font, 0x000000, DT_SINGLELINE | DT_TOP | DT_LEFT);
  DeleteObject(font);
}

void DrawQuickDealButton(HDC dc, const RECT &rect, int tag) {
  if (tag < 0 || tag > 5) return;
  const char *caption = kOrderFormBarCaptions[tag];
  HFONT font = OrderFormFont(14, FW_BOLD, "宋体");
  const SIZE first = OrderFormExtent(dc, font, caption, 2);
  const int x = (rect.left + rect.right - 3 * first.cx - 1) / 2;
  const bool buy = tag % 2 == 0;
  const COLORREF rest = tag < 2 ? kEntryRed : tag < 4 ? kEntryBlue : kEntryGreen;
  const COLORREF colours[2] = {buy ? kEntryRed : kEntryGreen, rest};
  RECT r{x, rect.top, rect.right, rect.bottom};
  OrderFormText(dc, r, std::string(caption, 2).c_str(), font, colours[0], DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  r.left = x + first.cx;
  OrderFormText(dc, r, caption + 2, font, colours[1], DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  DeleteObject(font);
}

void DrawQuickButtonBack(HDC dc, const RECT &rect, int orderColor, bool pressed) {
  if (orderColor == 0) return;
  RECT r = rect;
  InflateRect(&r, 2, 2);
  const COLORREF colour = orderColor == 1 ? (pressed ? 0xF3E2DC : 0xF9EFEC) : (pressed ? 0xD2D1D3 : 0xD7D6D8);
  OrderFormFill(dc, r, colour);
}

// ---- the forms ----

namespace {

std::vector<TControl *> *g_orderFormMade = nullptr;

template <class T>
T *OrderFormMake(TTradingWindow &window, TWinControl *parent, const std::string &name, int x, int y, int w, int h) {
  auto *c = new T(window.Panel7());
  if (g_orderFormMade) g_orderFormMade->push_back(c);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  window.RegisterControl(name, c);
  return c;
}

TPanel *OrderFormPane(TTradingWindow &window, TWinControl *parent, const std::string &name, int x, int y, int w,
                      int h) {
  auto *p = OrderFormMake<TPanel>(window, parent, name, x, y, w, h);
  p->SetBevelOuter(bvNone);
  p->SetColor(clWhite);
  return p;
}

TLabel *OrderFormLabel(TTradingWindow &window, TWinControl *parent, const std::string &name, const char *caption,
                       int x, int y) {
  auto *l = OrderFormMake<TLabel>(window, parent, name, x, y, 60, 14);
  l->Transparent = true;
  l->SetCaption(caption);
  return l;
}

TXPButton *OrderFormButton(TTradingWindow &window, TWinControl *parent, const std::string &name,
                           const char *caption, int x, int y, int w, int h) {
  auto *b = OrderFormMake<TXPButton>(window, parent, name, x, y, w, h);
  b->SetCaption(caption);
  return b;
}

TXPComboBox *OrderFormCombo(TTradingWindow &window, TWinControl *parent, const std::string &name,
                            std::initializer_list<const char *> items, int x, int y, int w) {
  auto *c = OrderFormMake<TXPComboBox>(window, parent, name, x, y, w, 21);
  for (const char *item : items) c->Items()->Add(item);
  if (items.size()) c->SetItemIndex(0);
  return c;
}

}  // namespace

TOrderPanelForms::TOrderPanelForms(TTradingWindow &window, TOrderEntry &entry, TWinControl *barParent)
    : window_(window), entry_(entry) {
  g_orderFormMade = &made_;
  BuildOrdinary();
  BuildKeyboard();
  BuildQuick();
  BuildBar(barParent ? barParent : window.Panel7());
  g_orderFormMade = nullptr;
  window_.orderForms = this;
  Refresh();
}

TOrderPanelForms::~TOrderPanelForms() {
  if (window_.orderForms == this) window_.orderForms = nullptr;
  for (TControl *c : made_) {
    c->OnClick = nullptr;
    c->OnDblClick = nullptr;
    c->OnMouseDown = c->OnMouseUp = nullptr;
    c->OnMouseMove = nullptr;
    if (auto *w = dynamic_cast<TWinControl *>(c)) w->OnEnter = w->OnExit = nullptr;
    if (auto *b = dynamic_cast<TXPComboBox *>(c)) {
      b->OnChange = b->OnDropDown = nullptr;
      b->OnDrawItem = nullptr;
    }
    if (auto *e = dynamic_cast<TXPEdit *>(c)) e->OnChange = nullptr;
    if (auto *b = dynamic_cast<TXPButton *>(c)) b->OnDrawCaption = nullptr;
  }
}

template <class F>
void TOrderPanelForms::Run(F &&operation) {
  if (refreshing_) return;
  // An operation that moves the focus runs the handlers of the control it
  // leaves at once, inside itself. The controls then still show the models
  // as they were before the outer operation (a contract mirrored into the
  // bar is not on screen yet), so the inner one works on the models as they
  // stand and leaves showing them to the outer one.
  if (running_ > 0) {
    operation();
    return;
  }
  struct Depth {
    int &n;
    explicit Depth(int &count) : n(count) { ++n; }
    ~Depth() { --n; }
  } depth(running_);
  ReadOrdinary();
  ReadKeyboard();
  ReadQuick();
  ReadBar();
  operation();
  Refresh();
  if (changed) changed();
}

void TOrderPanelForms::BuildOrdinary() {
  ordinaryBody_ = OrderFormPane(window_, window_.Panel1012, "Panel1012Body", 0, 0, 240, 230);
  ordinaryBody_->SetAlign(alClient);
  TWinControl *p = ordinaryBody_;
  auto &w = window_;
  OrderFormLabel(w, p, "Label1001", "合 约:", 8, 10);
  ComboBox1001 = OrderFormCombo(w, p, "ComboBox1001", {}, 60, 6, 90);
  ComboBox1001->DropDownCount = 12;
  ComboBoxHedge2 = OrderFormCombo(w, p, "ComboBoxHedge2", {"投机", "保值"}, 154, 6, 56);
  OrderFormLabel(w, p, "Label1002", "开 平:", 8, 36);
  ComboBox1002 = OrderFormCombo(w, p, "ComboBox1002", {"1.开仓", "2.平今", "3.平仓"}, 60, 32, 90);
  ComboBox1002->SetStyle(csOwnerDrawFixed);
  XPButton1026 = OrderFormButton(w, p, "XPButton1026", "查可开数量", 154, 32, 76, 21);
  OrderFormLabel(w, p, "Label1003", "数 量:", 8, 62);
  XPEdit1001 = OrderFormMake<TXPEdit>(w, p, "XPEdit1001", 60, 58, 90, 21);
  XPEdit1001->SetMaxLength(int(kVolumeTextMax));
  OrderFormLabel(w, p, "Label1004", "报 价:", 8, 88);
  ComboBox1005 = OrderFormCombo(w, p, "ComboBox1005", {"1.限价", "3.市价"}, 60, 84, 90);
  OrderFormLabel(w, p, "Label1006", "价 格:", 8, 114);
  XPEdit1002 = OrderFormMake<TXPEdit>(w, p, "XPEdit1002", 60, 110, 90, 21);
  XPEdit1002->SetMaxLength(int(kPriceTextMax));
  XPCheckBox2 = OrderFormMake<TXPCheckBox>(w, p, "XPCheckBox2", 154, 110, 50, 21);
  XPCheckBox2->SetCaption("自动");
  XPCheckBox2->SetVisible(false);
  Label1005 = OrderFormLabel(w, p, "Label1005", "", 8, 136);
  Label1005->SetWidth(230);
  XPButton1002 = OrderFormButton(w, p, "XPButton1002", "复  位", 8, 156, 60, 42);
  XPButton1032 = OrderFormButton(w, p, "XPButton1032", "买入", 72, 156, 76, 42);
  XPButton1033 = OrderFormButton(w, p, "XPButton1033", "卖出", 152, 156, 76, 42);
  XPButton128 = OrderFormButton(w, p, "XPButton128", "条件单", 8, 202, 60, 21);

  ComboBox1002->OnDrawItem = [this](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
    const auto &items = entry_.ordinary.offsetItems;
    if (index < 0 || index >= int(items.size())) return;
    const HDC dc = ComboBox1002->Canvas()->Handle();
    DrawColouredItem(dc, RECT{rect.Left, rect.Top, rect.Right, rect.Bottom}, items[size_t(index)].c_str(),
                     OffsetItemColour(index), (state & odSelected) != 0);
  };
  ComboBox1002->OnChange = [this](TObject *) { Run([this] { entry_.ComboBox1002Change(ComboBox1002->ItemIndex()); }); };
  ComboBox1001->OnDropDown = [this](TObject *) { Run([this] { entry_.ContractDropDown(0); }); };
  ComboBox1001->OnChange = [this](TObject *) {
    Run([this] { entry_.ComboBox1001Change(entry_.ordinary.contractTag == 1 ? ComboBox1001->ItemIndex() : -1); });
  };
  ComboBox1001->OnExit = [this](TObject *) { Run([this] { entry_.ComboBox1001Exit(true); }); };
  ComboBoxHedge2->OnChange = [this](TObject *) { Run([this] { entry_.HedgeChange(ComboBoxHedge2->ItemIndex()); }); };
  ComboBox1005->OnChange = [this](TObject *) { Run([this] { entry_.ComboBox1005Change(ComboBox1005->ItemIndex()); }); };
  XPEdit1002->OnChange = [this](TObject *) { Run([this] { entry_.XPEdit1002Change(); }); };
  XPEdit1002->OnExit = [this](TObject *) { Run([this] { entry_.XPEdit1002Exit(); }); };
  XPEdit1001->OnChange = [this](TObject *) { Run([this] { entry_.MirrorPanelToQuickDeal(false, true, false); }); };
  XPButton1026->OnClick = [this](TObject *) { Run([this] { entry_.XPButton1026Click(true); }); };
  XPButton1002->OnClick = [this](TObject *) { Run([this] { entry_.XPButton1002Click(true); }); };
  XPButton1032->OnClick = [this](TObject *) { Run([this] { entry_.XPButton1032Click(true); }); };
  XPButton1033->OnClick = [this](TObject *) { Run([this] { entry_.XPButton1032Click(false); }); };
  XPButton128->OnClick = [this](TObject *) { entry_.NewConditionOrder(); };
  XPCheckBox2->OnClick = [this](TObject *) { Run([this] { entry_.XPCheckBox2Click(XPCheckBox2->Checked()); }); };
  XPButton1032->OnDrawCaption = [this](TObject *, HDC dc, RECT &r) {
    DrawPriceLineButton(dc, r, "买入", entry_.ordinary.buyHint, kEntryRed, XPButton1032->Enabled());
  };
  XPButton1033->OnDrawCaption = [this](TObject *, HDC dc, RECT &r) {
    DrawPriceLineButton(dc, r, "卖出", entry_.ordinary.sellHint, kEntryGreen, XPButton1033->Enabled());
  };
  BuildChoices(0, p, XPEdit1001, XPEdit1002, Panel22, XPListBox1012);
}

void TOrderPanelForms::BuildKeyboard() {
  keyboardBody_ = OrderFormPane(window_, window_.Panel12, "Panel12Body", 0, 0, 260, 240);
  keyboardBody_->SetAlign(alClient);
  TWinControl *p = keyboardBody_;
  auto &w = window_;
  OrderFormLabel(w, p, "Label16", "资 金:", 8, 10);
  XPEdit6 = OrderFormMake<TXPEdit>(w, p, "XPEdit6", 60, 6, 90, 21);
  OrderFormLabel(w, p, "Label17", "可 开:", 156, 10);
  XPEdit7 = OrderFormMake<TXPEdit>(w, p, "XPEdit7", 200, 6, 60, 21);
  OrderFormLabel(w, p, "Label19", "合 约:", 8, 36);
  ComboBox1 = OrderFormCombo(w, p, "ComboBox1", {}, 60, 32, 90);
  ComboBox1->DropDownCount = 12;
  ComboBoxHedge = OrderFormCombo(w, p, "ComboBoxHedge", {"投机", "保值"}, 156, 32, 56);
  OrderFormLabel(w, p, "Label21", "数 量:", 8, 62);
  XPEdit1 = OrderFormMake<TXPEdit>(w, p, "XPEdit1", 60, 58, 90, 21);
  XPEdit1->SetMaxLength(int(kVolumeTextMax));
  OrderFormLabel(w, p, "Label22", "报 价:", 8, 88);
  ComboBox5 = OrderFormCombo(w, p, "ComboBox5", {"1.限价", "3.市价"}, 60, 84, 90);
  OrderFormLabel(w, p, "Label23", "价 格:", 8, 114);
  XPEdit2 = OrderFormMake<TXPEdit>(w, p, "XPEdit2", 60, 110, 90, 21);
  XPEdit2->SetMaxLength(int(kPriceTextMax));
  OrderFormLabel(w, p, "Label24", "买 价:", 156, 88);
  Label20 = OrderFormLabel(w, p, "Label20", "", 200, 88);
  OrderFormLabel(w, p, "Label25", "卖 价:", 156, 114);
  Label36 = OrderFormLabel(w, p, "Label36", "", 200, 114);
  OwnerDrawPanel1 = OrderFormMake<TOwnerDrawPanel>(w, p, "OwnerDrawPanel1", 4, 136, 252, 84);
  OwnerDrawPanel1->SetColor(clWhite);
  // Row 1: 卖开仓 买平今 买平仓; row 2: 买开仓 卖平今 卖平仓.
  const int rows[7] = {0, 1, 1, 1, 0, 0, 0};
  const int columns[7] = {0, 0, 1, 2, 0, 1, 2};
  for (int tag = 1; tag <= 6; ++tag) {
    auto *b = OrderFormButton(w, OwnerDrawPanel1, kOrderFormKeyboardNames[tag], kOrderFormKeyboardCaptions[tag],
                              4 + columns[tag] * 82, 4 + rows[tag] * 26, 78, 24);
    b->Tag = tag;
    orderButtons[tag] = b;
    b->OnClick = [this, tag](TObject *) { Run([this, tag] { entry_.XPButton32Click(tag); }); };
    b->OnDrawCaption = [this, b, tag](TObject *, HDC dc, RECT &r) {
      const bool buy = tag == 1 || tag == 5 || tag == 6;
      DrawNumberedButton(dc, r, tag, kOrderFormKeyboardCaptions[tag], buy ? kEntryRed : kEntryGreen, b->Enabled(),
                         entry_.PanelLayout() == 1);
    };
  }
  orderButtons[0] = nullptr;
  XPButton38 = OrderFormButton(w, OwnerDrawPanel1, "XPButton38", "全部撤单", 4, 56, 78, 24);
  XPButton38->Hint = "^0";
  XPButton39 = OrderFormButton(w, OwnerDrawPanel1, "XPButton39", "查可开", 86, 56, 78, 24);
  XPButton39->Hint = "^.";
  XPButton58 = OrderFormButton(w, OwnerDrawPanel1, "XPButton58", "条件单", 168, 56, 78, 24);
  XPButton58->Hint = "^8";
  for (TXPButton *b : {XPButton38, XPButton39, XPButton58})
    b->OnDrawCaption = [this, b](TObject *, HDC dc, RECT &r) {
      DrawHintButton(dc, r, b->Hint.c_str(), b->Caption().c_str(), entry_.PanelLayout() == 1);
    };
  XPButton38->OnClick = [this](TObject *) {
    if (entry_.hooks.cancelAllOrders) entry_.hooks.cancelAllOrders();
  };
  XPButton39->OnClick = [this](TObject *) { Run([this] { entry_.XPButton39Click(true); }); };
  XPButton58->OnClick = [this](TObject *) { entry_.NewConditionOrder(); };
  for (TXPButton *b : {orderButtons[1], orderButtons[2], orderButtons[3], orderButtons[4], orderButtons[5],
                       orderButtons[6], XPButton38, XPButton39, XPButton58})
  {
    b->OnEnter = [this](TObject *) {
      entry_.OwnerDrawPanel1Enter();
      OwnerDrawPanel1->SetColor(TColor(kBlockFocusColour));
    };
    b->OnExit = [this](TObject *) {
      if (focusTarget) PostMessageA(focusTarget, WM_TRADE_FOCUS, 0, LPARAM(XPButton39->Handle()));
    };
  }
  OwnerDrawPanel1->OnClick = [this](TObject *) {
    if (XPButton39->Showing()) XPButton39->SetFocus();
  };

  ComboBox1->OnDropDown = [this](TObject *) { Run([this] { entry_.ContractDropDown(1); }); };
  ComboBox1->OnChange = [this](TObject *) {
    Run([this] { entry_.ComboBox1Change(entry_.keyboard.contractTag == 1 ? ComboBox1->ItemIndex() : -1); });
  };
  ComboBox1->OnExit = [this](TObject *) { Run([this] { entry_.ComboBox1Exit(true); }); };
  ComboBoxHedge->OnChange = [this](TObject *) { Run([this] { entry_.HedgeChange(ComboBoxHedge->ItemIndex()); }); };
  ComboBox5->OnChange = [this](TObject *) { Run([this] { entry_.ComboBox5Change(ComboBox5->ItemIndex()); }); };
  XPEdit2->OnChange = [this](TObject *) { Run([this] { entry_.XPEdit2Change(); }); };
  XPEdit2->OnExit = [this](TObject *) { Run([this] { entry_.XPEdit2Exit(); }); };
  XPEdit1->OnChange = [this](TObject *) { Run([this] { entry_.MirrorPanelToQuickDeal(false, true, false); }); };
  Label20->OnClick = [this](TObject *) { Run([this] { entry_.Label20Click(false); }); };
  Label36->OnClick = [this](TObject *) { Run([this] { entry_.Label20Click(true); }); };
  BuildChoices(1, p, XPEdit1, XPEdit2, Panel24, XPListBox2);
}

void TOrderPanelForms::BuildChoices(int layout, TWinControl *parent, TXPEdit *volume, TXPEdit *price,
                                    TPanel *&buttons, TXPListBox *&words) {
  auto &w = window_;
  buttons = OrderFormPane(w, parent, layout == 1 ? "Panel24" : "Panel22", volume->Left(),
                          volume->Top() + volume->Height(), 3 * 30 + 4, 3 * 22 + 4);
  buttons->SetColor(clBtnFace);
  buttons->SetVisible(false);
  const int first = layout == 1 ? 118 : 80;
  for (int i = 0; i < 9; ++i) {
    auto *b = OrderFormButton(w, buttons, "XPButton" + std::to_string(first + i), kOrderFormVolumes[i],
                              2 + i % 3 * 30, 2 + i / 3 * 22, 30, 22);
    b->OnClick = [this, b, layout](TObject *) {
      const std::string caption = b->Caption();
      Run([this, layout, &caption] { entry_.VolumeButtonClick(layout, caption.c_str()); });
    };
  }
  words = OrderFormMake<TXPListBox>(w, parent, layout == 1 ? "XPListBox2" : "XPListBox1012", price->Left(),
                                    price->Top() + price->Height(), price->Width(), 5 * 16 + 4);
  for (const char *word : kPriceWords) words->Items()->Add(word);
  words->SetVisible(false);
  TXPListBox *list = words;
  list->OnClick = [this, list, layout](TObject *) {
    const int item = list->ItemIndex();
    if (item < 0) return;
    Run([this, layout, item] {
      if (layout == 1)
        entry_.XPListBox2Click(item);
      else
        entry_.XPListBox1012Click(item);
    });
  };
  volume->OnClick = [this, layout](TObject *) { Run([this, layout] { entry_.VolumeFieldClick(layout); }); };
  price->OnClick = [this, layout](TObject *) { Run([this, layout] { entry_.PriceFieldClick(layout); }); };
  TPanel *body = layout == 1 ? keyboardBody_ : ordinaryBody_;
  body->OnMouseMove = [this, layout](TObject *, TShiftState, int, int) {
    const bool shown = layout == 1 ? entry_.keyboard.volumeButtonsShown || entry_.keyboard.wordListShown
                                   : entry_.ordinary.volumeButtonsShown || entry_.ordinary.wordListShown;
    if (shown) Run([this, layout] { entry_.PanelMouseMove(layout); });
  };
}

void TOrderPanelForms::BuildQuick() {
  TWinControl *p = window_.PanelF22;
  auto &w = window_;
  PanelF24 = OrderFormPane(w, p, "PanelF24", 0, 0, 700, 30);
  PanelF25 = OrderFormPane(w, p, "PanelF25", 0, 30, 700, 30);
  PanelF29 = OrderFormPane(w, p, "PanelF29", 0, 60, 700, 30);
  PanelF25->SetVisible(false);
  OrderFormLabel(w, PanelF24, "LabelF2", "合约:", 4, 8);
  XPComboBoxF1 = OrderFormCombo(w, PanelF24, "XPComboBoxF1", {}, 36, 4, 80);
  XPComboBoxF1->DropDownCount = 12;
  XPComboBoxF9 = OrderFormCombo(w, PanelF24, "XPComboBoxF9", {"1.买入", "3.卖出"}, 120, 4, 64);
  XPComboBoxF9->SetStyle(csOwnerDrawFixed);
  XPComboBoxF10 = OrderFormCombo(w, PanelF24, "XPComboBoxF10", {"1.开仓", "2.平今", "3.平仓"}, 188, 4, 64);
  XPComboBoxF10->SetStyle(csOwnerDrawFixed);
  priceCaption_ = OrderFormLabel(w, PanelF24, "LabelF7", "价格:", 258, 8);
  XPPriceEditF7 = OrderFormMake<TXPEdit>(w, PanelF24, "XPPriceEditF7", 290, 4, 70, 21);
  XPPriceEditF7->SetMaxLength(int(kPriceTextMax));
  volumeCaption_ = OrderFormLabel(w, PanelF24, "LabelF19", "数量:", 372, 8);
  volumeCaption_->SetWidth(30);
  XPEditF19 = OrderFormMake<TXPEdit>(w, PanelF24, "XPEditF19", 404, 4, 50, 21);
  XPEditF19->SetMaxLength(int(kVolumeTextMax));
  XPButtonF53 = OrderFormButton(w, PanelF24, "XPButtonF53", "下单", 470, 4, 50, 22);
  XPCheckBoxF4 = OrderFormMake<TXPCheckBox>(w, PanelF24, "XPCheckBoxF4", 526, 6, 100, 18);
  XPCheckBoxF4->SetCaption("屏蔽行情快捷键");
  XPCheckBoxF5 = OrderFormMake<TXPCheckBox>(w, PanelF24, "XPCheckBoxF5", 626, 6, 72, 18);
  XPCheckBoxF5->SetCaption("一键下单");
  OrderFormLabel(w, PanelF25, "LabelF81", "卖价  买进", 4, 8);
  LabelF57 = OrderFormLabel(w, PanelF25, "LabelF57", "", 74, 8);
  OrderFormLabel(w, PanelF25, "LabelF82", "买价  卖出", 100, 8);
  LabelF60 = OrderFormLabel(w, PanelF25, "LabelF60", "", 170, 8);
  OrderFormLabel(w, PanelF25, "LabelF83", "超价点数", 200, 8)->OnDblClick = [this](TObject *) {
    Run([this] { entry_.LabelF83DblClick(0); });
  };
  XPEditF20 = OrderFormMake<TXPEdit>(w, PanelF25, "XPEditF20", 260, 4, 40, 21);
  OrderFormLabel(w, PanelF25, "LabelF85", "买价  买进", 320, 8);
  LabelF58 = OrderFormLabel(w, PanelF25, "LabelF58", "", 390, 8);
  OrderFormLabel(w, PanelF25, "LabelF86", "卖价  卖出", 416, 8);
  LabelF59 = OrderFormLabel(w, PanelF25, "LabelF59", "", 486, 8);
  OrderFormLabel(w, PanelF25, "LabelF84", "超价点数", 516, 8)->OnDblClick = [this](TObject *) {
    Run([this] { entry_.LabelF83DblClick(1); });
  };
  XPEditF21 = OrderFormMake<TXPEdit>(w, PanelF25, "XPEditF21", 576, 4, 40, 21);
  OrderFormLabel(w, PanelF29, "LabelF63", "可用资金:", 4, 8);
  LabelF65 = OrderFormLabel(w, PanelF29, "LabelF65", "", 64, 8);
  OrderFormLabel(w, PanelF29, "LabelF64", "可    开:", 200, 8);
  LabelF66 = OrderFormLabel(w, PanelF29, "LabelF66", "", 260, 8);
  XPButtonF54 = OrderFormButton(w, PanelF29, "XPButtonF54", "查询", 330, 4, 50, 22);
  XPButtonF55 = OrderFormButton(w, PanelF29, "XPButtonF55", "锁系统", 390, 4, 60, 22);
  XPButtonF55->SetVisible(false);

  XPComboBoxF9->OnDrawItem = [this](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
    if (index < 0 || index > 1) return;
    DrawColouredItem(XPComboBoxF9->Canvas()->Handle(), RECT{rect.Left, rect.Top, rect.Right, rect.Bottom},
                     entry_.quick.directionItems[index].c_str(), QuickDirectionColour(index),
                     (state & odSelected) != 0);
  };
  XPComboBoxF10->OnDrawItem = [this](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
    if (index < 0 || index > 2) return;
    DrawColouredItem(XPComboBoxF10->Canvas()->Handle(), RECT{rect.Left, rect.Top, rect.Right, rect.Bottom},
                     entry_.quick.offsetItems[index].c_str(), QuickOffsetColour(index), (state & odSelected) != 0);
  };
  const TXPButton *buttons[3] = {XPButtonF53, XPButtonF54, XPButtonF55};
  for (int i = 0; i < 3; ++i) {
    TXPButton *b = const_cast<TXPButton *>(buttons[i]);
    b->OnDrawCaption = [this, b, i](TObject *, HDC dc, RECT &r) {
      DrawQuickButtonBack(dc, r, entry_.quick.orderColor, entry_.quick.pressed[i]);
      HFONT font = OrderFormFont(12, FW_NORMAL, "宋体");
      OrderFormText(dc, r, b->Caption().c_str(), font, 0x000000, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
      DeleteObject(font);
    };
    b->OnMouseDown = [this, b, i](TObject *, TMouseButton, TShiftState, int, int) {
      entry_.quick.pressed[i] = true;
      b->Invalidate();
    };
    b->OnMouseUp = [this, b, i](TObject *, TMouseButton, TShiftState, int, int) {
      entry_.quick.pressed[i] = false;
      b->Invalidate();
    };
  }
  XPButtonF53->OnClick = [this](TObject *) { Run([this] { entry_.XPButtonF53Click(); }); };
  XPButtonF54->OnClick = [this](TObject *) { Run([this] { entry_.XPButtonF54Click(true); }); };
  XPButtonF55->OnClick = [this](TObject *) { Run([this] { entry_.XPButtonF55Click(); }); };
  XPCheckBoxF4->OnClick = [this](TObject *) { Run([this] { entry_.XPCheckBoxF4Click(XPCheckBoxF4->Checked()); }); };
  XPCheckBoxF5->OnClick = [this](TObject *) { Run([this] { entry_.XPCheckBoxF5Click(XPCheckBoxF5->Checked()); }); };
  XPComboBoxF1->OnChange = [this](TObject *) { Run([this] { entry_.XPComboBoxF1Change(); }); };
  XPComboBoxF1->OnExit = [this](TObject *) { Run([this] { entry_.XPComboBoxF1Exit(true); }); };
  XPComboBoxF9->OnChange = [this](TObject *) { Run([this] { entry_.XPComboBoxF9Change(XPComboBoxF9->ItemIndex()); }); };
  XPEditF20->OnChange = [this](TObject *) { Run([this] { entry_.XPEditF20Change(0); }); };
  XPEditF21->OnChange = [this](TObject *) { Run([this] { entry_.XPEditF20Change(1); }); };
}

void TOrderPanelForms::BuildBar(TWinControl *parent) {
  auto &w = window_;
  PanelQuickDeal = OrderFormPane(w, parent, "PanelQuickDeal", 0, 0, 760, 28);
  PanelQuickDeal->SetVisible(false);
  // A line of its own along the top of the main window, below the menu and
  // tool bars already there, so that it never covers them.
  PanelQuickDeal->SetAlign(alTop);
  OrderFormLabel(w, PanelQuickDeal, "LabelQD1", "数量:", 112, 8);
  XPComboBox8 = OrderFormCombo(w, PanelQuickDeal, "XPComboBox8", {}, 4, 4, 100);
  XPComboBox8->DropDownCount = 12;
  XPEdit12 = OrderFormMake<TXPEdit>(w, PanelQuickDeal, "XPEdit12", 144, 4, 50, 21);
  XPEdit12->SetMaxLength(int(kVolumeTextMax));
  OrderFormLabel(w, PanelQuickDeal, "LabelQD2", "价格:", 200, 8);
  XPPriceEdit2 = OrderFormMake<TXPEdit>(w, PanelQuickDeal, "XPPriceEdit2", 232, 4, 70, 21);
  XPPriceEdit2->SetMaxLength(int(kPriceTextMax));
  for (int tag = 0; tag < 6; ++tag) {
    auto *b = OrderFormButton(w, PanelQuickDeal, kOrderFormBarNames[tag], kOrderFormBarCaptions[tag], 310 + tag * 74, 2,
                              70, 24);
    b->Tag = tag;
    barButtons[tag] = b;
    b->OnClick = [this, tag](TObject *) { Run([this, tag] { entry_.XPButton42Click(tag); }); };
    b->OnDrawCaption = [tag](TObject *, HDC dc, RECT &r) { DrawQuickDealButton(dc, r, tag); };
  }
  XPComboBox8->OnChange = [this](TObject *) { Run([this] { entry_.XPComboBox8Change(); }); };
  XPComboBox8->OnExit = [this](TObject *) { Run([this] { entry_.XPComboBox8Exit(); }); };
  XPEdit12->OnChange = [this](TObject *) { Run([this] { entry_.XPEdit12Change(); }); };
  XPPriceEdit2->OnChange = [this](TObject *) { Run([this] { entry_.XPPriceEdit2Change(); }); };
  XPPriceEdit2->OnExit = [this](TObject *) { Run([this] { entry_.XPPriceEdit2Exit(); }); };
}

void TOrderPanelForms::ReadOrdinary() {
  TOrderFields &f = entry_.Panel().fields[0];
  f.contract = ComboBox1001->Text();
  f.volume = XPEdit1001->Text();
  f.price = XPEdit1002->Text();
}

void TOrderPanelForms::ReadKeyboard() {
  TOrderFields &f = entry_.Panel().fields[1];
  f.contract = ComboBox1->Text();
  f.volume = XPEdit1->Text();
  f.price = XPEdit2->Text();
}

void TOrderPanelForms::ReadQuick() {
  TOrderFields &f = entry_.Panel().fields[2];
  f.contract = XPComboBoxF1->Text();
  f.volume = XPEditF19->Text();
  f.price = XPPriceEditF7->Text();
  entry_.quick.ticks[0] = XPEditF20->Text();
  entry_.quick.ticks[1] = XPEditF21->Text();
}

void TOrderPanelForms::ReadBar() {
  entry_.bar.contract = XPComboBox8->Text();
  entry_.bar.volume = XPEdit12->Text();
  entry_.bar.price = XPPriceEdit2->Text();
}

namespace {

void OrderFormSetText(TControl *c, const std::string &text) {
  if (c->Text() != text) c->SetText(text);
}

void OrderFormSetItems(TXPComboBox *box, const std::vector<std::string> &items) {
  bool same = box->Items()->Count() == int(items.size());
  for (size_t i = 0; same && i < items.size(); ++i) same = box->Items()->Strings(int(i)) == items[i];
  if (same) return;
  const std::string text = box->Text();
  box->Items()->Clear();
  for (const std::string &item : items) box->Items()->Add(item);
  box->SetText(text);
}

}  // namespace

void TOrderPanelForms::Refresh() {
  refreshing_ = true;
  const TOrderPanel &panel = entry_.Panel();
  // The ordinary panel.
  const TOrdinaryPanelModel &o = entry_.ordinary;
  window_.Panel1012->SetColor(TColor(o.colour));
  ordinaryBody_->SetColor(TColor(o.colour));
  OrderFormSetItems(ComboBox1002, o.offsetItems);
  ComboBox1002->DropDownCount = o.offsetRows;
  ComboBox1002->SetItemIndex(o.offsetItem);
  ComboBox1002->SetEnabled(o.offsetEnabled);
  OrderFormSetText(ComboBox1001, panel.fields[0].contract);
  OrderFormSetText(XPEdit1001, panel.fields[0].volume);
  OrderFormSetText(XPEdit1002, panel.fields[0].price);
  ComboBox1005->SetItemIndex(panel.fields[0].priceKind == 1 ? 1 : 0);
  XPEdit1002->SetEnabled(o.priceEnabled);
  XPButton1026->SetVisible(o.queryShown);
  XPButton1032->SetEnabled(o.buyEnabled);
  XPButton1033->SetEnabled(o.sellEnabled);
  XPButton1032->Hint = o.buyHint;
  XPButton1033->Hint = o.sellHint;
  XPButton1032->Invalidate();
  XPButton1033->Invalidate();
  Panel22->SetVisible(o.volumeButtonsShown);
  XPListBox1012->SetVisible(o.wordListShown);
  if (o.volumeButtonsShown) Panel22->BringToFront();
  if (o.wordListShown) XPListBox1012->BringToFront();
  Label1005->SetCaption(panel.hint);
  Label1005->Font()->SetColor(TColor(panel.hintColour));
  Label1005->SetVisible(panel.hintShown);
  for (TXPComboBox *hedge : {ComboBoxHedge2, ComboBoxHedge}) {
    OrderFormSetItems(hedge, entry_.hedgeItems);
    hedge->SetItemIndex(entry_.hedgeIndex);
  }
  // The keyboard-order panel.
  const TKeyboardPanelModel &k = entry_.keyboard;
  OrderFormSetText(XPEdit6, k.funds);
  OrderFormSetText(XPEdit7, k.openable);
  OrderFormSetText(ComboBox1, panel.fields[1].contract);
  OrderFormSetText(XPEdit1, panel.fields[1].volume);
  OrderFormSetText(XPEdit2, panel.fields[1].price);
  ComboBox5->SetItemIndex(panel.fields[1].priceKind == 1 ? 1 : 0);
  XPEdit2->SetEnabled(k.priceEnabled);
  Label20->SetCaption(k.buyLabel);
  Label36->SetCaption(k.sellLabel);
  for (int tag = 1; tag <= 6; ++tag) {
    orderButtons[tag]->SetEnabled(k.buttonsEnabled && k.buttonEnabled[tag]);
    orderButtons[tag]->Invalidate();
  }
  for (TXPButton *b : {XPButton38, XPButton39, XPButton58}) b->Invalidate();
  OwnerDrawPanel1->SetColor(TColor(k.blockFocused ? kBlockFocusColour : kEntryWhite));
  Panel24->SetVisible(k.volumeButtonsShown);
  XPListBox2->SetVisible(k.wordListShown);
  if (k.volumeButtonsShown) Panel24->BringToFront();
  if (k.wordListShown) XPListBox2->BringToFront();
  // The quick order panel.
  const TQuickPanelModel &q = entry_.quick;
  for (TPanel *row : {PanelF24, PanelF25, PanelF29}) row->SetColor(TColor(q.colour));
  OrderFormSetItems(XPComboBoxF9, {q.directionItems[0], q.directionItems[1]});
  OrderFormSetItems(XPComboBoxF10, {q.offsetItems[0], q.offsetItems[1], q.offsetItems[2]});
  XPComboBoxF9->SetItemIndex(q.direction);
  XPComboBoxF10->SetItemIndex(q.offset);
  OrderFormSetText(XPComboBoxF1, panel.fields[2].contract);
  OrderFormSetText(XPEditF19, panel.fields[2].volume);
  OrderFormSetText(XPPriceEditF7, panel.fields[2].price);
  OrderFormSetText(XPEditF20, q.ticks[0]);
  OrderFormSetText(XPEditF21, q.ticks[1]);
  LabelF57->SetCaption(q.keys[0]);
  LabelF58->SetCaption(q.keys[1]);
  LabelF60->SetCaption(q.keys[2]);
  LabelF59->SetCaption(q.keys[3]);
  LabelF65->SetCaption(q.funds);
  LabelF66->SetCaption(q.openable);
  XPCheckBoxF4->SetChecked(q.shield);
  XPCheckBoxF4->SetEnabled(q.shieldEnabled);
  XPCheckBoxF5->SetChecked(q.oneClick);
  for (TControl *c : std::initializer_list<TControl *>{XPComboBoxF1, XPComboBoxF9, XPComboBoxF10, XPPriceEditF7,
                                                       XPEditF19, XPEditF20, XPEditF21})
    c->SetEnabled(q.fieldsEnabled);
  PanelF25->SetVisible(q.oneClick);
  for (TControl *c :
       std::initializer_list<TControl *>{XPComboBoxF9, XPComboBoxF10, priceCaption_, XPPriceEditF7, XPButtonF53})
    c->SetVisible(!q.oneClick);
  // One-click mode draws the row together behind the contract field.
  if (q.oneClick) {
    volumeCaption_->SetLeft(XPComboBoxF9->Left() + 2);
    XPEditF19->SetLeft(volumeCaption_->Left() + volumeCaption_->Width() + 2);
    XPCheckBoxF4->SetLeft(XPEditF19->Left() + XPEditF19->Width() + 5);
  } else {
    volumeCaption_->SetLeft(XPPriceEditF7->Left() + XPPriceEditF7->Width() + 8);
    XPEditF19->SetLeft(volumeCaption_->Left() + volumeCaption_->Width() + 2);
    XPButtonF53->SetLeft(XPEditF19->Left() + XPEditF19->Width() + 5);
    XPCheckBoxF4->SetLeft(XPButtonF53->Left() + XPButtonF53->Width() + 5);
  }
  XPCheckBoxF5->SetLeft(XPCheckBoxF4->Left() + XPCheckBoxF4->Width());
  PanelF24->SetWidth(q.oneClick ? XPCheckBoxF5->Left() + XPCheckBoxF5->Width() + 5 : 700);
  // The bar.
  const TQuickDealBarModel &b = entry_.bar;
  OrderFormSetText(XPComboBox8, b.contract);
  OrderFormSetText(XPEdit12, b.volume);
  OrderFormSetText(XPPriceEdit2, b.price);
  XPPriceEdit2->SetEnabled(b.priceEnabled);
  PanelQuickDeal->SetVisible(window_.quickDealShown);
  refreshing_ = false;
}

void TOrderPanelForms::RefreshQuotePrices(unsigned texts) {
  refreshing_ = true;
  // A quote moves the texts of the filled panel and the bar only.
  const TOrderPanel &panel = entry_.Panel();
  const bool field = texts & TOrderEntry::kQuotePriceField;
  const bool lines = texts & TOrderEntry::kQuotePriceLines;
  switch (entry_.PanelLayout()) {
    case 0: {
      if (field) OrderFormSetText(XPEdit1002, panel.fields[0].price);
      const TOrdinaryPanelModel &o = entry_.ordinary;
      for (auto [button, hint] : {std::pair{XPButton1032, &o.buyHint}, std::pair{XPButton1033, &o.sellHint}}) {
        if (!lines || button->Hint == *hint) continue;
        button->Hint = *hint;
        button->Invalidate();
      }
      break;
    }
    case 1:
      if (field) OrderFormSetText(XPEdit2, panel.fields[1].price);
      if (lines) {
        Label20->SetCaption(entry_.keyboard.buyLabel);
        Label36->SetCaption(entry_.keyboard.sellLabel);
      }
      break;
    default:
      if (field) OrderFormSetText(XPPriceEditF7, panel.fields[2].price);
  }
  if (entry_.PanelLayout() != 2 && (texts & TOrderEntry::kQuoteBarPrice)) {
    OrderFormSetText(XPPriceEdit2, entry_.bar.price);
    XPPriceEdit2->SetEnabled(entry_.bar.priceEnabled);
  }
  refreshing_ = false;
}

namespace {
// The mouse cursor to the centre of target, measured by the size of the
// panel's first button (the buttons of a panel are one size).
void OrderFormCursorTo(const TControl *first, TWinControl *target) {
  if (!first || !target || !target->HandleAllocated()) return;
  POINT centre{first->Width() / 2, first->Height() / 2};
  if (!ClientToScreen(target->Handle(), &centre)) return;
  SetCursorPos(centre.x, centre.y);
}
}  // namespace

void TOrderPanelForms::Prepare(const TPanelPrepare &p) {
  if (refreshing_ || p.layout < 0 || p.layout > 2) return;
  TOrderFields &f = entry_.Panel().fields[p.layout];
  // What the list command chose; the contract's exit may reset the volume.
  const std::string volume = f.volume, price = f.price;
  const int spinPosition = f.spinPosition;
  if (p.layout == 0 && !p.offsetItem.empty()) {
    const auto &items = entry_.ordinary.offsetItems;
    const auto it = std::find(items.begin(), items.end(), p.offsetItem);
    if (it != items.end()) entry_.ComboBox1002Change(int(it - items.begin()));
  }
  if (p.layout == 2) {
    if (p.quickDirectionIndex >= 0) entry_.XPComboBoxF9Change(p.quickDirectionIndex);
    if (p.quickOffsetIndex >= 0) entry_.quick.offset = std::clamp(p.quickOffsetIndex, 0, 2);
  }
  switch (p.layout) {
    case 0: entry_.ComboBox1001Exit(false); break;
    case 1: entry_.ComboBox1Exit(false); break;
    default: entry_.XPComboBoxF1Exit(false); break;
  }
  if (!p.contractOnly) {
    if (p.layout == 2) {
      if (p.volume > 0) f.volume = volume;
    } else {
      if (p.volume > 0) {
        f.volume = volume;
        f.spinPosition = spinPosition;
      }
      f.price = price;
      entry_.ComboBox1005Change(0);  // "1.限价"
    }
  }
  if (p.hedgeIndex >= 0 && p.hedgeIndex < int(entry_.hedgeItems.size())) entry_.hedgeIndex = p.hedgeIndex;
  for (const auto &[name, enabled] : p.buttons) {
    const std::string button = name ? name : "";
    if (button == "XPButton1032") entry_.ordinary.buyEnabled = enabled;
    else if (button == "XPButton1033") entry_.ordinary.sellEnabled = enabled;
    for (int tag = 1; tag <= 6; ++tag)
      if (button == kOrderFormKeyboardNames[tag]) entry_.keyboard.buttonEnabled[tag] = enabled;
  }
  Refresh();
  if (p.focusPrice) {
    TXPEdit *field = p.layout == 0 ? XPEdit1002 : p.layout == 1 ? XPEdit2 : nullptr;
    if (field && field->Showing() && field->Enabled()) field->SetFocus();
  }
  if (p.cursorButton) {
    const TControl *first = p.layout == 0 ? static_cast<TControl *>(XPButton1032) : orderButtons[1];
    OrderFormCursorTo(first, dynamic_cast<TWinControl *>(window_.Control(p.cursorButton)));
  }
  if (p.quickDealButton) {
    if (XPPriceEdit2->Showing() && XPPriceEdit2->Enabled()) XPPriceEdit2->SetFocus();
    OrderFormCursorTo(barButtons[0], dynamic_cast<TWinControl *>(window_.Control(p.quickDealButton)));
  }
  if (changed) changed();
}

bool TOrderPanelForms::Press(const char *name) {
  auto *button = dynamic_cast<TXPButton *>(window_.Control(name ? name : ""));
  if (!button || !button->OnClick || !button->Enabled()) return false;
  button->OnClick(button);
  return true;
}

void TOrderPanelForms::StepPrice(const char *spin, int step) {
  const std::string name = spin ? spin : "";
  if (name == "XPUpDown2")
    Run([this, step] { entry_.XPUpDown2ChangingEx(step); });
  else if (name == "XPUpDown1003" || name == "XPUpDown3" || name == "XPUpDownF12")
    Run([this, step] { entry_.StepPrice(step); });
}

bool TOrderPanelForms::VolumeSpin(const char *spin, int *minimum, int *maximum) {
  const std::string name = spin ? spin : "";
  if (name != "UpDown1001" && name != "UpDown1" && name != "XPUpDown1" && name != "XPUpDownF13") return false;
  *minimum = 1;
  *maximum = name == "XPUpDownF13" ? 2147483647 : 32767;
  return true;
}

void TOrderPanelForms::OrderLayoutChanged(int from, int to) {
  Run([this, from, to] { entry_.OrderLayoutChanged(from, to); });
}
