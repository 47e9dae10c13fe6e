#include "trading/optionform.h"

#include <cstdlib>
#include <cstring>

#include "classlib/commdlg.h"
#include "platform/gdi.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "trading/formparts.h"

namespace {

const char *const kPriceKinds[] = {"对手价", "挂单价", "停板价", "止损价"};

int EditNumber(TXPEdit *edit) { return std::atoi(edit->Text().c_str()); }

}  // namespace

TOptionForm::TOptionForm(TComponent *owner, TTradeDesk &desk) : TForm(owner), model(desk) {
  SetCaption("交易参数设置");
  SetClientSize(480, 400);
  XPTabControl1 = new TXPTabControl(this);
  XPTabControl1->SetParent(this);
  XPTabControl1->SetBounds(8, 8, 464, 346);
  for (const char *name : TOptionDlg::kTabNames) XPTabControl1->Tabs()->Add(name);
  XPTabControl1->SetTabIndex(0);
  XPTabControl1->OnChange = [this](TObject *s) { XPTabControl1Change(s); };
  for (int tab = 0; tab < 7; ++tab) {
    pages[tab] = new TPanel(this);
    pages[tab]->SetParent(XPTabControl1);
    pages[tab]->SetBounds(7, 29, 450, 310);
    pages[tab]->SetVisible(tab == 0);
  }

  // General page.
  TPanel *p = Page(TOptionDlg::kGeneral);
  floatBox = Check(p, 10, 10, "浮动交易界面");
  floatBox->OnClick = [this](TObject *) { model.edited.FloatUI = floatBox->Checked(); };
  expressBox = Check(p, 10, 36, "一键下单");
  expressBox->OnClick = [this](TObject *) {
    if (!showing_ && expressBox->Checked() != model.edited.ExpressOrder) model.SetExpressOrder(expressBox->Checked());
  };
  keyboardBox = Check(p, 10, 62, "键盘下单");
  keyboardBox->OnClick = [this](TObject *) { model.keyboardBox = keyboardBox->Checked(); };
  AddPair(autoLockBox, autoLockEdit, p, 88, "自动锁定系统(分钟)", &model.autoLock, nullptr);
  AddPair(autoAdjustBox, autoAdjustEdit, p, 114, "自动调整价格(跳)", &model.autoAdjust, nullptr);
  soundBox = Check(p, 10, 150, "成交时播放声音");
  soundBox->OnClick = [this](TObject *) { model.edited.PlayDealSound = soundBox->Checked(); };
  soundEdit = Edit(p, 10, 176, 260);
  soundEdit->SetMaxLength(259);
  browseButton = Button(p, 276, 174, 70, "浏览...", [this] { BrowseClick(browseButton); });
  XPButton3 = Button(p, 352, 174, 24, "", [this] { XPButton3Click(XPButton3); });
  XPButton3->OnDrawCaption = [](TObject *, HDC dc, RECT &) {
    // A black triangle pointing right, one line per row: the left edge at
    // x 6 from y 6 to 16, the tip at (15, 11).
    HPEN pen = CreatePen(PS_SOLID, 1, 0x000000);
    HGDIOBJ old = SelectObject(dc, pen);
    for (int y = 6; y <= 16; ++y) {
      const int end = 6 + (5 - std::abs(y - 11)) * 9 / 5;
      MoveToEx(dc, 6, y, nullptr);
      LineTo(dc, end + 1, y);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  };

  // The general page's plain flags, two to a row under the sound.
  static const struct {
    const char *caption;
    bool TradingOptions::*flag;
  } kFlags[] = {
      {"交易窗口自动隐藏", &TradingOptions::FloatUIAutoHide},
      {"启用下单工具栏", &TradingOptions::QuickDeal},
      {"双击未完成的委托直接撤单，无需确认", &TradingOptions::DirectCancelOrder},
      {"双击已完成的开仓委托时进入平仓界面", &TradingOptions::ClickOrderToClose},
      {"发出委托后显示“当日委托”", &TradingOptions::ResetUI},
      {"发出平仓、平今委托后自动切换回“开仓”状态", &TradingOptions::ResetToOpen},
      {"同步切换行情窗口中的合约", &TradingOptions::SyncContract},
  };
  for (size_t i = 0; i < sizeof kFlags / sizeof kFlags[0]; ++i) {
    TXPCheckBox *box = Check(p, i % 2 ? 230 : 10, 206 + int(i / 2) * 24, kFlags[i].caption);
    box->SetWidth(215);
    bool TradingOptions::*flag = kFlags[i].flag;
    box->OnClick = [this, box, flag](TObject *) {
      if (!showing_) model.edited.*flag = box->Checked();
    };
    flagBoxes_.push_back({box, flag});
  }
  // The window's arrangement and the two list places, stored at once.
  leftRadios[0] = PlaceControl<TXPRadioButton>(this, p, 230, 10, 200, 20);
  leftRadios[0]->SetCaption("使用上下交易窗口");
  leftRadios[1] = PlaceControl<TXPRadioButton>(this, p, 230, 34, 200, 20);
  leftRadios[1]->SetCaption("使用左右交易窗口");
  for (int i = 0; i < 2; ++i)
    leftRadios[i]->OnClick = [this, i](TObject *) {
      if (!showing_ && leftRadios[i]->Checked()) model.SetLeft(i == 1);
    };
  for (int i = 0; i < 2; ++i) {
    layoutCombos[i] = PlaceControl<TXPComboBox>(this, p, 230 + i * 100, 62, 90, 20);
    for (const char *item : {"持仓", "委托", "成交", "条件单"}) layoutCombos[i]->Items()->Add(item);
    layoutCombos[i]->OnDropDown = [this, i](TObject *) { model.DropDownLayout(i); };
    layoutCombos[i]->OnChange = [this, i](TObject *) {
      if (showing_) return;
      model.ChangeLayout(i, layoutCombos[i]->ItemIndex());
      ShowModel();
    };
  }

  // Quick-operation page.
  p = Page(TOptionDlg::kQuick);
  AddPair(offsetBox, offsetEdit, p, 36, "价格偏移(跳)", &model.priceOffset, nullptr);
  AddPair(timeOutBox, timeOutEdit, p, 62, "超时撤单(秒)", &model.timeOut,
          [this](bool on) { model.CheckTimeOut(false, false, on); });
  AddPair(reorderBox, reorderEdit, p, 88, "超时撤单并重新下单(秒)", &model.reorderTimeOut,
          [this](bool on) { model.CheckTimeOut(false, true, on); });

  // Stop page.
  p = Page(TOptionDlg::kStop);
  lossKindCombo = new TXPComboBox(this);
  profitKindCombo = new TXPComboBox(this);
  int y = 10;
  for (TXPComboBox *combo : {lossKindCombo, profitKindCombo}) {
    combo->SetParent(p);
    combo->SetBounds(10, y, 120, 20);
    for (const char *kind : kPriceKinds) combo->Items()->Add(kind);
    combo->OnChange = [this](TObject *) {
      model.SetStopPriceKinds(lossKindCombo->ItemIndex(), profitKindCombo->ItemIndex());
      ShowModel();
    };
    y += 28;
  }
  AddPair(offsetSBox, offsetSEdit, p, 70, "买入调整(跳)", &model.priceOffsetS, nullptr);
  AddPair(offsetSSellBox, offsetSSellEdit, p, 96, "卖出调整(跳)", &model.priceOffsetSSell, nullptr);
  AddPair(timeOutSBox, timeOutSEdit, p, 122, "超时撤单(秒)", &model.timeOutS,
          [this](bool on) { model.CheckTimeOut(true, false, on); });
  AddPair(reorderSBox, reorderSEdit, p, 148, "超时撤单并重新下单(秒)", &model.reorderTimeOutS,
          [this](bool on) { model.CheckTimeOut(true, true, on); });

  // Automatic stops.
  p = Page(TOptionDlg::kAutoStop);
  XPListBox1 = List(p, true);
  XPListBox1->OnClick = [this](TObject *) {
    model.SelectStopLine(XPListBox1->ItemIndex());
    ShowModel();
  };
  lossEdit = Edit(p, 310, 10);
  profitEdit = Edit(p, 310, 36);
  trailingEdit = Edit(p, 310, 62);
  stopModifyButton = Button(p, 310, 100, 70, "修改", [this] {
    ReadEdits();
    model.ModifyStops();
    ShowModel();
  });
  Button(p, 310, 130, 70, "全部复位", [this] {
    model.ResetAll();
    ShowModel();
  });

  // Default volumes.
  for (int close = 0; close < 2; ++close) {
    p = Page(TOptionDlg::kOpenVolume + close);
    volumeLists[close] = List(p, false);
    volumeLists[close]->OnClick = [this, close](TObject *) {
      model.selectedLine = volumeLists[close]->ItemIndex();
      ShowModel();
    };
    volumeEdits[close] = Edit(p, 310, 10);
    Button(p, 310, 40, 70, "修改", [this, close] {
      ReadEdits();
      model.ModifyVolume(close != 0);
      ShowModel();
    });
    Button(p, 310, 70, 70, "全部复位", [this] {
      model.ResetAll();
      ShowModel();
    });
  }

  // Short names.
  p = Page(TOptionDlg::kShortNames);
  XPListBox2 = List(p, false);
  XPListBox2->OnClick = [this](TObject *) {
    model.selectedShort = XPListBox2->ItemIndex();
    ShowModel();
  };
  shortNameEdit = Edit(p, 310, 10, 80);
  shortNameEdit->SetMaxLength(6);
  shortTargetEdit = Edit(p, 310, 36, 80);
  shortTargetEdit->SetMaxLength(6);
  shortNameEdit->OnChange = [this](TObject *) {
    model.shortName = shortNameEdit->Text();
    shortButton->SetCaption(model.ShortButtonText());
  };
  shortButton = Button(p, 310, 66, 70, "添加", [this] {
    ReadEdits();
    model.AddOrChangeShortName();
    ShowModel();
  });
  Button(p, 310, 96, 70, "删除", [this] {
    model.DeleteShortName();
    ShowModel();
  });

  XPButton1 = Button(this, 220, 366, 76, "确定", [this] { XPButton1Click(XPButton1); });
  XPButton1->SetDefault(true);
  XPButton1->ModalResult = mrOk;
  cancelButton = Button(this, 304, 366, 76, "取消", nullptr);
  cancelButton->Cancel = true;
  cancelButton->ModalResult = mrCancel;
  helpButton = Button(this, 388, 366, 76, "查看帮助", [this] { HelpClick(helpButton); });
  ShowModel();
}

TPanel *TOptionForm::Page(int tab) { return pages[tab]; }

TXPCheckBox *TOptionForm::Check(TWinControl *parent, int x, int y, const char *caption) {
  auto *box = PlaceControl<TXPCheckBox>(this, parent, x, y, 180, 20);
  box->SetCaption(caption);
  return box;
}

TXPEdit *TOptionForm::Edit(TWinControl *parent, int x, int y, int w) {
  return PlaceControl<TXPEdit>(this, parent, x, y, w, 20);
}

TXPButton *TOptionForm::Button(TWinControl *parent, int x, int y, int w, const char *caption,
                               std::function<void()> click) {
  return ActionButton(this, parent, x, y, w, caption, std::move(click));
}

TXPListBox *TOptionForm::List(TWinControl *parent, bool coloured) {
  auto *list = PlaceControl<TXPListBox>(this, parent, 10, 10, 290, 290);
  if (coloured) {
    // The automatic stop lines carry their own background.
    list->SetStyle(lbOwnerDrawFixed);
    list->OnDrawItem = [this, list](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
      TCanvas *canvas = list->Canvas();
      const bool selected = state & odSelected;
      const TOptionLine &line = model.stopLines[size_t(index)];
      canvas->Brush()->SetColor(selected ? clHighlight : TColor(line.colour));
      canvas->Font()->SetColor(selected ? clHighlightText : clBlack);
      canvas->FillRect(rect);
      canvas->TextOut(rect.Left + 2, rect.Top + 1, line.text);
      if (state & odFocused) canvas->DrawFocusRect(rect);
    };
  }
  return list;
}

void TOptionForm::AddPair(TXPCheckBox *&box, TXPEdit *&edit, TWinControl *parent, int y, const char *caption,
                          TValuePair *pair, std::function<void(bool)> check) {
  box = Check(parent, 10, y, caption);
  edit = Edit(parent, 200, y);
  if (!check) check = [pair](bool on) { pair->Check(on); };
  box->OnClick = [this, box, check](TObject *) {
    if (showing_) return;
    ReadEdits();
    check(box->Checked());
    ShowModel();
  };
  edit->OnChange = [this, edit, pair](TObject *) {
    if (!showing_) pair->value = EditNumber(edit);
  };
  pairs_.push_back({box, edit, pair});
}

void TOptionForm::ReadEdits() {
  for (const PairControls &c : pairs_)
    if (c.pair->checked) c.pair->value = EditNumber(c.edit);
  model.lossEdit = EditNumber(lossEdit);
  model.profitEdit = EditNumber(profitEdit);
  model.trailingEdit = EditNumber(trailingEdit);
  model.volumeEdit = EditNumber(volumeEdits[model.tab == TOptionDlg::kCloseVolume ? 1 : 0]);
  model.shortName = shortNameEdit->Text();
  model.shortTarget = shortTargetEdit->Text();
  std::snprintf(model.edited.DealSound, sizeof model.edited.DealSound, "%s", soundEdit->Text().c_str());
}

void TOptionForm::ShowLines(TXPListBox *list, const std::vector<std::string> &lines) {
  const int keep = list->ItemIndex();
  list->Items()->Clear();
  for (const std::string &line : lines) list->Items()->Add(line);
  if (keep < list->Count()) list->SetItemIndex(keep);
}

void TOptionForm::ShowModel() {
  showing_ = true;
  for (const PairControls &c : pairs_) {
    c.box->SetChecked(c.pair->checked);
    c.box->SetEnabled(c.pair->enabled);
    c.edit->SetText(std::to_string(c.pair->value));
    c.edit->SetEnabled(c.pair->checked && c.pair->enabled);
  }
  const TradingOptions &o = model.edited;
  floatBox->SetChecked(o.FloatUI);
  expressBox->SetChecked(o.ExpressOrder);
  for (const auto &[box, flag] : flagBoxes_) box->SetChecked(o.*flag);
  leftRadios[o.Left ? 1 : 0]->SetChecked(true);
  layoutCombos[0]->SetItemIndex(o.LayOut1);
  layoutCombos[1]->SetItemIndex(o.LayOut2);
  keyboardBox->SetChecked(model.keyboardBox);
  soundBox->SetChecked(o.PlayDealSound);
  soundEdit->SetText(o.DealSound);
  lossKindCombo->SetItemIndex(o.StopLPrice);
  profitKindCombo->SetItemIndex(o.StopPPrice);
  std::vector<std::string> stopTexts;
  for (const TOptionLine &line : model.stopLines) stopTexts.push_back(line.text);
  ShowLines(XPListBox1, stopTexts);
  ShowLines(volumeLists[0], model.openLines);
  ShowLines(volumeLists[1], model.closeLines);
  ShowLines(XPListBox2, model.shortLines);
  lossEdit->SetText(std::to_string(model.lossEdit));
  profitEdit->SetText(std::to_string(model.profitEdit));
  trailingEdit->SetText(std::to_string(model.trailingEdit));
  for (TXPEdit *edit : volumeEdits) edit->SetText(std::to_string(model.volumeEdit));
  shortNameEdit->SetText(model.shortName);
  shortTargetEdit->SetText(model.shortTarget);
  shortButton->SetCaption(model.ShortButtonText());
  showing_ = false;
}

void TOptionForm::XPTabControl1Change(TObject *) {
  ReadEdits();
  model.tab = XPTabControl1->TabIndex();
  model.selectedLine = -1;
  for (int tab = 0; tab < 7; ++tab) pages[tab]->SetVisible(tab == model.tab);
  ShowModel();
}

void TOptionForm::XPButton1Click(TObject *) {
  ReadEdits();
  model.Ok();
}

void TOptionForm::XPButton3Click(TObject *) {
  ReadEdits();
  model.PlaySound();
}

void TOptionForm::BrowseClick(TObject *) {
  char file[260] = {};
  std::snprintf(file, sizeof file, "%s", soundEdit->Text().c_str());
  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = Handle();
  request.lpstrFilter = "声音波形文件(*.wav)\0*.wav\0\0";
  request.lpstrFile = file;
  request.nMaxFile = sizeof file;
  request.lpstrInitialDir = ".\\";
  request.lpstrTitle = "选择提示声音";
  request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (GetOpenFileNameA(&request)) soundEdit->SetText(file);
}

void TOptionForm::HelpClick(TObject *) {
  const std::string address = model.HelpAddress();
  const auto opened = [](HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; };
  if (opened(ShellExecuteA(Handle(), "open", "IEXPLORE.EXE", address.c_str(), nullptr, SW_SHOWNORMAL))) return;
  if (opened(ShellExecuteA(Handle(), "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL))) return;
  MessageBoxA(Handle(), "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR);
}

bool RunOptionForm(TTradeDesk &desk, TOptionDlg::Effects *effects) {
  TOptionForm form(nullptr, desk);
  const bool ok = form.ShowModal() == mrOk;
  if (effects) *effects = form.model.AfterClose();
  return ok;
}
