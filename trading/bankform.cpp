#include "trading/bankform.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "trading/formparts.h"
#include "trading/pluginapi.h"

namespace {

TLabel *MakeLabel(TComponent *owner, TWinControl *parent, int x, int y, const char *caption) {
  auto *label = PlaceControl<TLabel>(owner, parent, x, y, 70, 16);
  label->SetCaption(caption);
  return label;
}

}  // namespace

TBankForm::TBankForm(TComponent *owner, TBankPage &page) : TForm(owner), page_(page) {
  SetClientSize(520, 260);
  XPTabControl3 = FormTabs(this, {"转帐", "查转帐记录"});
  PanelBank = PlaceControl<TPanel>(this, XPTabControl3, 3, 27, 500, 200);
  PanelBank1 = PlaceControl<TPanel>(this, XPTabControl3, 3, 27, 500, 200);
  PanelBank1->SetVisible(false);
  Label18 = PlaceControl<TLabel>(this, PanelBank1, 20, 30, 460, 16);
  if (TradePlugin.GetNameOfTradeSystem) {
    char name[64] = {};
    TradePlugin.GetNameOfTradeSystem(name);
    char text[160];
    std::snprintf(text, sizeof text, "请使用%s网上交易软件的银期转帐功能。", name);
    Label18->SetCaption(text);
  }

  XPComboBoxBank = new TXPComboBox(this);
  XPComboBoxBank->SetParent(PanelBank);
  XPComboBoxBank->SetBounds(8, 8, 240, 20);
  XPComboBoxBank->OnChange = [this](TObject *) {
    page_.SelectBank(XPComboBoxBank->ItemIndex());
    ShowPage();
  };

  TLabel *labels[5] = {MakeLabel(this, PanelBank, 8, 42, "资金密码:"), MakeLabel(this, PanelBank, 8, 68, "银行密码:"),
                       MakeLabel(this, PanelBank, 8, 94, "转帐金额:"), MakeLabel(this, PanelBank, 260, 42, "期货资金:"),
                       MakeLabel(this, PanelBank, 260, 68, "银行资金:")};
  XPEditBank1 = new TXPEdit(this);
  XPEditBank2 = new TXPEdit(this);
  XPPriceEditBank2 = new TXPPriceEdit(this);
  int y = 40;
  for (TCustomEdit *edit : std::initializer_list<TCustomEdit *>{XPEditBank1, XPEditBank2, XPPriceEditBank2}) {
    edit->SetParent(PanelBank);
    edit->SetBounds(80, y, 120, 20);
    y += 26;
  }
  XPEditBank1->SetPasswordChar('*');
  XPEditBank2->SetPasswordChar('*');
  XPEditBank1->SetMaxLength(63);
  XPEditBank2->SetMaxLength(63);
  PanelBank2 = new TPanel(this);
  PanelBank3 = new TPanel(this);
  y = 40;
  for (TPanel *funds : {PanelBank2, PanelBank3}) {
    funds->SetParent(PanelBank);
    funds->SetBounds(332, y, 100, 20);
    funds->SetColor(clWhite);
    y += 26;
  }
  const auto button = [this](TWinControl *parent, int x, int y, int w, const char *caption,
                             std::function<void()> click) {
    return ActionButton(this, parent, x, y, w, caption, [this, click] {
      ReadEdits();
      click();
      ShowPage();
    });
  };
  XPButtonBank1 = button(PanelBank, 80, 124, 90, "银行 -> 期货", [this] { page_.TransferBankToFuture(); });
  XPButtonBank2 = button(PanelBank, 176, 124, 90, "期货 -> 银行", [this] { page_.TransferFutureToBank(); });
  XPButtonBank3 = button(PanelBank, 440, 66, 50, "查询", [this] { page_.QueryBankFunds(); });
  XPButtonBank4 = button(PanelBank, 440, 40, 50, "查询", [this] { page_.QueryFuturesFunds(); });
  XPButtonBankQuery = button(PanelBank, 256, 6, 60, "查询", [this] { page_.QueryTransfers(GetTickCount()); });
  LabelBankNotice = new TLabel(this);
  LabelBankNotice->SetParent(PanelBank);
  LabelBankNotice->SetBounds(8, 160, 480, 16);
  XPMemoBank = new TXPMemo(this);
  XPMemoBank->SetParent(PanelBank);
  XPMemoBank->SetTop(40);
  XPMemoBank->SetLeft(8);
  XPMemoBank->SetReadOnly(true);
  XPMemoBank->ScrollBars = ssVertical;
  // The transfer records are a table laid out in columns of characters.
  XPMemoBank->Font()->SetName("宋体");
  XPMemoBank->Font()->SetHeight(-12);

  TControl *controls[] = {LabelBankNotice, labels[0], labels[1], labels[2], labels[3], labels[4], XPEditBank1,
                          XPEditBank2, XPPriceEditBank2, PanelBank2, PanelBank3, XPButtonBank1, XPButtonBank2};
  std::copy(std::begin(controls), std::end(controls), transferControls_);

  XPTabControl3->OnChange = [this](TObject *s) { XPTabControl3Change(s); };
  XPTabControl3->OnResize = [this](TObject *s) { XPTabControl3Resize(s); };
  PanelBank->OnResize = [this](TObject *s) { PanelBankResize(s); };
  XPTabControl3Resize(XPTabControl3);
  XPTabControl3Change(XPTabControl3);
}

void TBankForm::XPTabControl3Change(TObject *) {
  page_.ShowTab(XPTabControl3->TabIndex());
  ShowPage();
}

void TBankForm::XPTabControl3Resize(TObject *) {
  PanelBank->SetWidth(XPTabControl3->Width() - 6);
  PanelBank->SetHeight(XPTabControl3->Height() - 30);
  PanelBank1->SetWidth(XPTabControl3->Width() - 6);
  PanelBank1->SetHeight(XPTabControl3->Height() - 30);
}

void TBankForm::PanelBankResize(TObject *) {
  XPMemoBank->SetWidth(PanelBank->Width() - 16);
  XPMemoBank->SetHeight(PanelBank->Height() - 48);
}

void TBankForm::ReadEdits() {
  page_.fundsPassword = XPEditBank1->Text();
  page_.bankPassword = XPEditBank2->Text();
  page_.amount = XPPriceEditBank2->Text();
}

void TBankForm::ShowPage() {
  PanelBank1->SetVisible(page_.notePanel);
  PanelBank->SetVisible(!page_.notePanel);
  const bool transfer = page_.tab == 0;
  for (TControl *control : transferControls_) control->SetVisible(transfer);
  XPButtonBank3->SetVisible(transfer);
  XPButtonBank4->SetVisible(transfer);
  XPButtonBankQuery->SetVisible(!transfer);
  XPMemoBank->SetVisible(!transfer);

  XPComboBoxBank->Items()->Clear();
  for (const std::string &item : page_.items) XPComboBoxBank->Items()->Add(item);
  XPComboBoxBank->SetItemIndex(page_.selected);
  XPEditBank1->SetText(page_.fundsPassword);
  XPEditBank2->SetText(page_.bankPassword);
  XPPriceEditBank2->SetText(page_.amount);
  PanelBank2->SetCaption(page_.futuresFunds);
  PanelBank3->SetCaption(page_.bankFunds);
  LabelBankNotice->SetCaption(page_.notice);
  LabelBankNotice->Font()->SetColor(TColor(page_.noticeColour));
  if (XPMemoBank->Text() != page_.memo) {
    XPMemoBank->SetText(page_.memo);
    if (page_.memoAtEnd) XPMemoBank->SetSelStart(int(page_.memo.size()));
  }
}
