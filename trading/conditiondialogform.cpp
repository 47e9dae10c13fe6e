#include "trading/conditiondialogform.h"

#include <cstdio>
#include <cstdlib>

#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "trading/formparts.h"

namespace {

constexpr const char *kConditionHelpAddress = ".\\help\\trading.htm#condition";

TLabel *CondDlgLabel(TComponent *owner, TWinControl *parent, int x, int y, int w, const char *caption) {
  auto *label = PlaceControl<TLabel>(owner, parent, x, y, w, 16);
  label->SetCaption(caption);
  return label;
}

template <class Radio>
Radio *CondDlgRadio(TComponent *owner, TWinControl *parent, int x, int y, int w, const char *caption) {
  auto *radio = PlaceControl<Radio>(owner, parent, x, y, w, 20);
  radio->SetCaption(caption);
  return radio;
}

}  // namespace

TSetConditionOrderDlg::TSetConditionOrderDlg(TComponent *owner, TConditionDialogModel &model)
    : TForm(owner), model_(model) {
  SetCaption("条件单设置");
  Position = poScreenCenter;
  SetClientSize(420, 423);

  LabelContract = CondDlgLabel(this, this, 12, 14, 40, "合约:");
  XPComboBox4 = PlaceControl<TXPComboBox>(this, this, 56, 10, 120, 20);
  CondDlgLabel(this, this, 200, 14, 40, "买卖:");
  XPRadioButton1 = CondDlgRadio<TXPRadioButton>(this, this, 244, 12, 60, "买入");
  XPRadioButton2 = CondDlgRadio<TXPRadioButton>(this, this, 310, 12, 60, "卖出");
  CondDlgLabel(this, this, 12, 44, 40, "开平:");
  XPRadioButton3 = CondDlgRadio<TXPRadioButton>(this, this, 56, 42, 60, "开仓");
  XPRadioButton4 = CondDlgRadio<TXPRadioButton>(this, this, 120, 42, 60, "平今");
  XPRadioButton5 = CondDlgRadio<TXPRadioButton>(this, this, 184, 42, 60, "平仓");
  for (TXPRadioButton *r : {XPRadioButton3, XPRadioButton4, XPRadioButton5}) r->Font()->SetColor(RGB(92, 92, 92));

  Panel4 = PlaceControl<TPanel>(this, this, 8, 70, 404, 124);
  CondDlgLabel(this, Panel4, 4, 6, 40, "条件:");
  XPRadioButton6 = CondDlgRadio<TXPRadioButton>(this, Panel4, 48, 4, 20, "");
  XPComboBox1 = PlaceControl<TXPComboBox>(this, Panel4, 70, 4, 70, 20);
  for (const char *s : {"最新价", "买一价", "卖一价"}) XPComboBox1->Items()->Add(s);
  CondDlgLabel(this, Panel4, 144, 6, 30, "连续");
  XPEdit2 = PlaceControl<TXPEdit>(this, Panel4, 174, 4, 24, 20);
  CondDlgLabel(this, Panel4, 200, 6, 20, "笔");
  XPComboBox2 = PlaceControl<TXPComboBox>(this, Panel4, 222, 4, 46, 20);
  for (const char *s : {">=", "<="}) XPComboBox2->Items()->Add(s);
  XPPriceEdit2 = PlaceControl<TXPPriceEdit>(this, Panel4, 272, 4, 90, 20);
  XPRadioButton7 = CondDlgRadio<TXPRadioButton>(this, Panel4, 48, 32, 160, "交易所开盘时");
  XPRadioButton8 = CondDlgRadio<TXPRadioButton>(this, Panel4, 48, 60, 80, "时间到达");
  DateTimePicker1 = PlaceControl<TXPDateTimePicker>(this, Panel4, 132, 60, 90, 20);
  CondDlgLabel(this, Panel4, 226, 62, 120, "时（本机时间）");
  XPRadioButton9 = CondDlgRadio<TXPRadioButton>(this, Panel4, 48, 88, 160, "预埋，手动发出");

  Panel3 = PlaceControl<TPanel>(this, this, 8, 200, 404, 146);
  CondDlgLabel(this, Panel3, 4, 8, 40, "价格:");
  XPPriceEdit1 = PlaceControl<TXPPriceEdit>(this, Panel3, 48, 4, 90, 20);
  CondDlgLabel(this, Panel3, 150, 8, 40, "数量:");
  XPEdit3 = PlaceControl<TXPEdit>(this, Panel3, 194, 4, 60, 20);
  LabelStop = CondDlgLabel(this, Panel3, 4, 38, 40, "止损:");
  XPPriceEdit3 = PlaceControl<TXPPriceEdit>(this, Panel3, 48, 34, 80, 20);
  LabelTrailing = CondDlgLabel(this, Panel3, 136, 38, 40, "浮动:");
  XPPriceEdit4 = PlaceControl<TXPPriceEdit>(this, Panel3, 176, 34, 80, 20);
  LabelProfit = CondDlgLabel(this, Panel3, 264, 38, 40, "止盈:");
  XPPriceEdit5 = PlaceControl<TXPPriceEdit>(this, Panel3, 304, 34, 80, 20);
  XPCheckBox8 = PlaceControl<TXPCheckBox>(this, Panel3, 4, 66, 50, 20);
  XPCheckBox8->SetCaption("如果");
  XPEdit14 = PlaceControl<TXPEdit>(this, Panel3, 56, 66, 40, 20);
  LabelSeconds = CondDlgLabel(this, Panel3, 100, 68, 120, "秒内未成交则撤单");
  XPCheckBox3 = PlaceControl<TXPCheckBox>(this, Panel3, 224, 66, 100, 20);
  XPCheckBox3->SetCaption("并重新下单");
  CondDlgLabel(this, Panel3, 4, 100, 40, "有效:");
  XPComboBox3 = PlaceControl<TXPComboBox>(this, Panel3, 48, 96, 80, 20);
  for (const char *s : {"永久", "当日"}) XPComboBox3->Items()->Add(s);
  XPListBox1 = PlaceControl<TXPListBox>(this, Panel3, 48, 24, 90, 72);
  for (const char *word : kConditionPriceWords) XPListBox1->Items()->Add(word);
  XPListBox1->SetVisible(false);
  XPListBox1->OnClick = [this](TObject *) {
    const int index = XPListBox1->ItemIndex();
    if (index >= 0 && index < 4) XPPriceEdit1->SetText(kConditionPriceWords[index]);
    XPListBox1->SetVisible(false);
  };
  PanelVolumePicker1 = PlaceControl<TPanel>(this, Panel3, 194, 24, 150, 60);
  PanelVolumePicker1->SetVisible(false);
  int n = 0;
  for (int volume : {1, 2, 3, 4, 5, 10, 15, 20, 50}) {
    ActionButton(this, PanelVolumePicker1, 2 + (n % 5) * 29, 2 + (n / 5) * 28, 28, std::to_string(volume).c_str(),
                 [this, volume] {
                   XPEdit3->SetText(std::to_string(volume));
                   PanelVolumePicker1->SetVisible(false);
                 });
    ++n;
  }

  Label2 = CondDlgLabel(this, this, 12, 206, 396, "");
  XPButton1 = ActionButton(this, this, 170, 355, 76, "确定", [this] { XPButton1Click(); });
  XPButton2 = ActionButton(this, this, 252, 355, 76, "取消", [this] { SetModalResult(mrCancel); });
  XPButton3 = ActionButton(this, this, 334, 355, 76, "简化", [this] { XPButton3Click(); });
  Label46 = CondDlgLabel(this, this, 12, 361, 60, "查看帮助");
  Label46->OnClick = [this](TObject *) {
    const auto opened = [](HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; };
    if (opened(ShellExecuteA(Handle(), "open", "IEXPLORE.EXE", kConditionHelpAddress, nullptr, SW_SHOWNORMAL))) return;
    if (opened(ShellExecuteA(Handle(), "open", kConditionHelpAddress, nullptr, nullptr, SW_SHOWNORMAL))) return;
    MessageBoxA(Handle(), "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR);
  };

  const auto changed = [this](TObject *) {
    if (showing_) return;
    ReadControls();
    ShowModel();
  };
  for (TXPRadioButton *r : {XPRadioButton1, XPRadioButton2, XPRadioButton3, XPRadioButton4, XPRadioButton5,
                            XPRadioButton6, XPRadioButton7, XPRadioButton8, XPRadioButton9})
    r->OnClick = changed;
  XPCheckBox8->OnClick = changed;
  XPPriceEdit1->OnChange = [this](TObject *) {
    if (showing_) return;
    XPListBox1->SetVisible(false);
    ReadControls();
    ShowModel();
  };
  XPPriceEdit1->OnClick = [this](TObject *) { XPListBox1->SetVisible(true); };
  XPPriceEdit1->OnExit = [this](TObject *) { XPPriceEdit1Exit(); };
  XPEdit3->OnClick = [this](TObject *) { PanelVolumePicker1->SetVisible(true); };
  XPEdit3->OnChange = [this](TObject *) {
    if (showing_) return;
    PanelVolumePicker1->SetVisible(false);
    ReadControls();
    Label2->SetCaption(model_.Summary());
  };
  XPComboBox4->OnExit = [this](TObject *) {
    ReadControls();
    model_.SetContract(model_.fields.contract);
    ShowModel();
  };
  // One layout click from the negated tag shows the wanted layout.
  model_.fields.advanced = !model_.fields.advanced;
  XPButton3Click();
}

void TSetConditionOrderDlg::ShowModel() {
  showing_ = true;
  const TConditionDialogFields &f = model_.fields;
  XPComboBox4->SetText(f.contract);
  XPRadioButton1->SetChecked(!f.sell);
  XPRadioButton2->SetChecked(f.sell);
  XPRadioButton3->SetChecked(f.offset == kOffsetOpen);
  XPRadioButton4->SetChecked(f.offset == kOffsetCloseToday);
  XPRadioButton5->SetChecked(f.offset == kOffsetClose);
  XPRadioButton6->SetChecked(f.condition == kConditionOnPrice);
  XPRadioButton7->SetChecked(f.condition == kConditionAtOpen);
  XPRadioButton8->SetChecked(f.condition == kConditionAtTime);
  XPRadioButton9->SetChecked(f.condition == kConditionByHand);
  const bool onPrice = f.condition == kConditionOnPrice;
  for (TControl *c : std::initializer_list<TControl *>{XPComboBox1, XPEdit2, XPComboBox2, XPPriceEdit2})
    c->SetEnabled(onPrice);
  DateTimePicker1->SetEnabled(f.condition == kConditionAtTime);
  XPComboBox1->SetItemIndex(f.source);
  XPEdit2->SetText(std::to_string(f.ticks));
  XPComboBox2->SetItemIndex(f.comparison);
  XPPriceEdit2->SetText(f.triggerPrice);
  if (DateTimePicker1->EditHandle()) {
    char time[16];
    snprintf(time, sizeof time, "%02d:%02d:%02d", f.hour, f.minute, f.second);
    SetWindowTextA(DateTimePicker1->EditHandle(), time);
  }
  XPPriceEdit1->SetText(f.price);
  XPEdit3->SetText(f.volume);
  const bool stops = model_.StopFieldsVisible();
  for (TControl *c : std::initializer_list<TControl *>{LabelStop, XPPriceEdit3, LabelTrailing, XPPriceEdit4, LabelProfit,
                                                      XPPriceEdit5})
    c->SetVisible(stops);
  XPPriceEdit3->SetText(f.stop);
  XPPriceEdit4->SetText(f.trailing);
  XPPriceEdit5->SetText(f.profit);
  const bool cancel = model_.CancelOptionsVisible();
  for (TControl *c : std::initializer_list<TControl *>{XPCheckBox8, XPEdit14, LabelSeconds, XPCheckBox3})
    c->SetVisible(cancel);
  XPCheckBox8->SetChecked(f.cancelIf);
  XPEdit14->SetText(std::to_string(f.seconds));
  XPCheckBox3->SetChecked(f.reorder);
  for (TControl *c : std::initializer_list<TControl *>{XPEdit14, LabelSeconds, XPCheckBox3}) c->SetEnabled(f.cancelIf);
  XPComboBox3->SetItemIndex(f.validity);
  Label2->SetCaption(model_.Summary());
  showing_ = false;
}

void TSetConditionOrderDlg::ReadControls() {
  TConditionDialogFields &f = model_.fields;
  f.contract = XPComboBox4->Text();
  f.sell = XPRadioButton2->Checked();
  f.offset = XPRadioButton4->Checked() ? kOffsetCloseToday : XPRadioButton5->Checked() ? kOffsetClose : kOffsetOpen;
  f.condition = XPRadioButton7->Checked()   ? kConditionAtOpen
                : XPRadioButton8->Checked() ? kConditionAtTime
                : XPRadioButton9->Checked() ? kConditionByHand
                                            : kConditionOnPrice;
  f.source = std::max(0, XPComboBox1->ItemIndex());
  f.ticks = atoi(XPEdit2->Text().c_str());
  f.comparison = std::max(0, XPComboBox2->ItemIndex());
  f.triggerPrice = XPPriceEdit2->Text();
  if (DateTimePicker1->EditHandle()) {
    char time[16] = {};
    GetWindowTextA(DateTimePicker1->EditHandle(), time, sizeof time);
    sscanf(time, "%d:%d:%d", &f.hour, &f.minute, &f.second);
  }
  f.price = XPPriceEdit1->Text();
  f.volume = XPEdit3->Text();
  f.stop = XPPriceEdit3->Text();
  f.trailing = XPPriceEdit4->Text();
  f.profit = XPPriceEdit5->Text();
  f.cancelIf = XPCheckBox8->Checked();
  f.seconds = atoi(XPEdit14->Text().c_str());
  f.reorder = XPCheckBox3->Checked();
  f.validity = std::max(0, XPComboBox3->ItemIndex());
}

void TSetConditionOrderDlg::XPPriceEdit1Exit() {
  ReadControls();
  model_.PriceFieldLeft();
  ShowModel();
}

void TSetConditionOrderDlg::XPButton3Click() {
  model_.ToggleLayout();
  const bool advanced = model_.fields.advanced;
  XPButton3->SetCaption(advanced ? "简化" : "高级");
  LabelContract->SetVisible(advanced);
  XPComboBox4->SetVisible(advanced);
  Panel3->SetVisible(advanced);
  Label2->SetVisible(!advanced);
  const int top = advanced ? 355 : 242;
  for (TXPButton *b : {XPButton1, XPButton2, XPButton3}) b->SetTop(top);
  Label46->SetTop(advanced ? 361 : 248);
  SetClientHeight(advanced ? 423 : 309);
  ShowModel();
}

void TSetConditionOrderDlg::XPButton1Click() {
  ReadControls();
  model_.SetContract(model_.fields.contract);
  if (model_.Ok()) {
    SetModalResult(mrOk);
    return;
  }
  TWinControl *focus = nullptr;
  switch (model_.focus) {
    case TConditionField::Contract: focus = XPComboBox4; break;
    case TConditionField::TriggerPrice: focus = XPPriceEdit2; break;
    case TConditionField::Stop: focus = XPPriceEdit3; break;
    case TConditionField::Trailing: focus = XPPriceEdit4; break;
    case TConditionField::Profit: focus = XPPriceEdit5; break;
    default: break;
  }
  ShowModel();
  if (focus && focus->Visible() && HandleAllocated() && Visible()) focus->SetFocus();
}

bool RunConditionDialog(TConditionDialogModel &model, const std::function<void(bool)> &setModal) {
  TSetConditionOrderDlg form(nullptr, model);
  if (setModal) setModal(true);
  const int result = form.ShowModal();
  if (setModal) setModal(false);
  return result == mrOk;
}
