#include "trading/queryform.h"

#include "platform/clock.h"
#include "trading/formparts.h"

TQueryForm::TQueryForm(TComponent *owner, TQueryPage &page) : TForm(owner), page_(page) {
  SetClientSize(640, 260);
  XPTabControl2 = FormTabs(this, {"资金状况", "结算单", "持仓明细", "历史成交", "交易统计", "出入金", "修改密码"});
  Panel17 = PlaceControl<TPanel>(this, XPTabControl2, 5, 26, 400, 200);
  Panel15 = PlaceControl<TPanel>(this, XPTabControl2, 5, 26, 400, 200);
  Panel15->SetVisible(false);
  XPMemo3 = PlaceControl<TXPMemo>(this, Panel17, 0, 0, 200, 200);
  XPMemo3->SetReadOnly(true);
  XPMemo3->ScrollBars = ssBoth;
  XPMemo3->WordWrap = false;
  // The reports are tables laid out in columns of characters.
  XPMemo3->Font()->SetName("宋体");
  XPMemo3->Font()->SetHeight(-12);

  // The column right of the memo, placed from the panel's right edge.
  const auto label = [this](int y, int h) { return PlaceControl<TLabel>(this, Panel17, 0, y, 140, h); };
  const auto edit = [this](int y) {
    auto *e = PlaceControl<TXPEdit>(this, Panel17, 0, y, 90, 20);
    e->SetMaxLength(15);
    return e;
  };
  const auto button = [this](int y, const char *caption, std::function<void()> click) {
    return ActionButton(this, Panel17, 0, y, 110, caption, [this, click] {
      ReadEdits();
      click();
      ShowPage();
    });
  };
  Label6 = label(6, 16);
  XPEdit3 = edit(24);
  Label16 = label(48, 16);
  XPEdit11 = edit(66);
  XPRadioButton6 = new TXPRadioButton(this);
  XPRadioButton7 = new TXPRadioButton(this);
  int y = 6;
  for (TXPRadioButton *radio : {XPRadioButton6, XPRadioButton7}) {
    radio->SetParent(Panel17);
    radio->SetBounds(0, y, 70, 18);
    radio->OnClick = [this, radio](TObject *) {
      if (showing_) return;
      ReadEdits();
      page_.StatementKindClick(radio == XPRadioButton6);
      ShowPage();
    };
    y += 20;
  }
  XPRadioButton6->SetCaption("日结单");
  XPRadioButton7->SetCaption("月结单");
  XPButton27 = button(92, "查询", [this] { page_.Query(GetTickCount()); });
  XPButton36 = button(120, "打印", [this] { page_.Print(); });
  XPButtonCFMMC = button(148, "监控中心结算单", [this] { page_.QueryCfmmc(); });
  Label22 = label(176, 60);
  Label22->WordWrap = true;

  XPTabControl2->OnChange = [this](TObject *s) { XPTabControl2Change(s); };
  XPTabControl2->OnResize = [this](TObject *s) { XPTabControl2Resize(s); };
  Panel17->OnResize = [this](TObject *s) { Panel17Resize(s); };
  XPTabControl2Resize(XPTabControl2);
  XPTabControl2Change(XPTabControl2);
}

void TQueryForm::XPTabControl2Change(TObject *) {
  page_.ChangeTab(XPTabControl2->TabIndex());
  ShowPage();
  if (page_.passwordPanel) Panel15->SetFocus();
}

void TQueryForm::XPTabControl2Resize(TObject *) {
  Panel17->SetWidth(XPTabControl2->Width() - 11);
  Panel17->SetHeight(XPTabControl2->Height() - 29);
}

void TQueryForm::Panel17Resize(TObject *) {
  XPMemo3->SetWidth(Panel17->Width() - 153);
  XPMemo3->SetHeight(Panel17->Height() - 2);
  const int x = Panel17->Width() - 145;
  for (TControl *control : std::initializer_list<TControl *>{Label6, XPEdit3, Label16, XPEdit11, XPButton27,
                                                              XPButton36, XPButtonCFMMC, Label22})
    control->SetLeft(x);
  XPRadioButton6->SetLeft(x);
  XPRadioButton7->SetLeft(x + 72);
  XPRadioButton6->SetTop(12);
  XPRadioButton7->SetTop(12);
}

void TQueryForm::ReadEdits() {
  page_.firstDate = XPEdit3->Text();
  page_.secondDate = XPEdit11->Text();
}

void TQueryForm::ShowPage() {
  showing_ = true;
  Panel15->SetVisible(page_.passwordPanel);
  Panel17->SetVisible(!page_.passwordPanel);
  Label6->SetVisible(page_.firstShown);
  XPEdit3->SetVisible(page_.firstShown);
  Label16->SetVisible(page_.secondShown);
  XPEdit11->SetVisible(page_.secondShown);
  // The statement kind takes the first field's place.
  XPRadioButton6->SetVisible(page_.radiosShown);
  XPRadioButton7->SetVisible(page_.radiosShown);
  XPRadioButton6->SetChecked(page_.daily);
  XPRadioButton7->SetChecked(!page_.daily);
  XPButtonCFMMC->SetVisible(page_.cfmmcShown);
  Label6->SetCaption(page_.firstLabel);
  Label16->SetCaption(page_.secondLabel);
  XPEdit3->SetText(page_.firstDate);
  XPEdit11->SetText(page_.secondDate);
  Label22->SetCaption(page_.hint);
  Label22->Font()->SetColor(TColor(page_.hintColour));
  if (XPMemo3->Text() != page_.memo) XPMemo3->SetText(page_.memo);
  showing_ = false;
}
