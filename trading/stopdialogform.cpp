#include "trading/stopdialogform.h"

#include <cstdlib>

#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "trading/formparts.h"

namespace {

constexpr const char *kStopHelpAddress = ".\\help\\trading.htm#stoporder";

// The header's own procedure; one stop dialog is open at a time.
LONG_PTR gStopDlgHeaderOld = 0;

LRESULT StopDlgHeaderProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(header, &paint);
    TXPListView::OnHeaderPaint(header, dc);
    EndPaint(header, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) {
    TXPListView::OnHeaderEraseBkgnd(header, reinterpret_cast<HDC>(wParam));
    return 1;
  }
  return gStopDlgHeaderOld
             ? CallWindowProcA(reinterpret_cast<WNDPROC>(gStopDlgHeaderOld), header, message, wParam, lParam)
             : DefWindowProcA(header, message, wParam, lParam);
}

TLabel *StopDlgLabel(TComponent *owner, TWinControl *parent, int x, int y, int w, const char *caption) {
  auto *label = PlaceControl<TLabel>(owner, parent, x, y, w, 16);
  label->SetCaption(caption);
  return label;
}

}  // namespace

TSetStopOrderDlg::TSetStopOrderDlg(TComponent *owner, TStopDialogModel &model) : TForm(owner), model_(model) {
  SetCaption("止损止盈设置");
  SetClientSize(560, 380);
  Position = poScreenCenter;
  SetFormStyle(fsStayOnTop);
  Label1 = StopDlgLabel(this, this, 12, 10, 520, model_.Caption().c_str());
  Label12 = StopDlgLabel(this, this, 12, 30, 520, "修改结束之前，该合约的止损止盈功能已暂停。");

  XPListView1 = PlaceControl<TXPListView>(this, this, 12, 52, 536, 160);
  XPListView1->RowSelect = true;
  XPListView1->ReadOnly = true;
  struct Column {
    const char *caption;
    int width;
  } columns[] = {{"设置时间", 108}, {"数量", 60}, {"止损价", 60}, {"浮动止损", 60}, {"止盈价", 60}, {"有效期", 60}};
  for (const Column &c : columns) {
    TListColumn *column = XPListView1->Columns()->Add();
    column->SetCaption(c.caption);
    column->SetWidth(c.width);
  }
  XPListView1->OnMouseDown = [this](TObject *, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbLeft) XPListView1MouseDown(x, y);
  };

  XPEdit1 = PlaceControl<TXPEdit>(this, XPListView1, 0, 0, 60, 18);
  XPUpDown4 = PlaceControl<TXPUpDown>(this, XPListView1, 0, 0, 14, 18);
  XPUpDown4->Min = 0;
  XPUpDown4->Max = 32767;
  XPPriceEdit1 = PlaceControl<TXPPriceEdit>(this, XPListView1, 0, 0, 60, 18);
  XPPriceEdit2 = PlaceControl<TXPPriceEdit>(this, XPListView1, 0, 0, 60, 18);
  XPPriceEdit3 = PlaceControl<TXPPriceEdit>(this, XPListView1, 0, 0, 60, 18);
  XPUpDown1 = PlaceControl<TXPUpDown>(this, XPListView1, 0, 0, 14, 18);
  XPUpDown2 = PlaceControl<TXPUpDown>(this, XPListView1, 0, 0, 14, 18);
  XPUpDown3 = PlaceControl<TXPUpDown>(this, XPListView1, 0, 0, 14, 18);
  XPComboBox1 = PlaceControl<TXPComboBox>(this, XPListView1, 0, 0, 60, 18);
  XPComboBox1->Items()->Add("永久");
  XPComboBox1->Items()->Add("当日");
  XPComboBox1->SetItemIndex(model_.ExpiryDefault());
  for (TCustomEdit *edit : std::initializer_list<TCustomEdit *>{XPEdit1, XPPriceEdit1, XPPriceEdit2, XPPriceEdit3})
    edit->OnExit = [this](TObject *) { XPEdit1Exit(); };
  XPComboBox1->OnExit = [this](TObject *) { XPEdit1Exit(); };
  XPUpDown4->OnChangingEx = [this](TObject *, bool &allow, short value, TUpDownDirection) {
    allow = value >= 0 && value <= model_.volumeMaximum;
    if (allow) XPEdit1->SetText(std::to_string(value));
  };
  for (TXPUpDown *arrows : {XPUpDown1, XPUpDown2, XPUpDown3})
    arrows->OnChangingEx = [this](TObject *, bool &allow, short, TUpDownDirection direction) {
      allow = false;  // the arrows' own position never changes
      StepEditor(direction == updUp);
    };
  HideEditors();

  Label13 = StopDlgLabel(this, this, 12, 222, 70, "单位数量:");
  XPRadioButton1 = PlaceControl<TXPRadioButton>(this, this, 86, 220, 60, 20);
  XPRadioButton2 = PlaceControl<TXPRadioButton>(this, this, 150, 220, 60, 20);
  XPRadioButton3 = PlaceControl<TXPRadioButton>(this, this, 214, 220, 90, 20);
  XPRadioButton1->SetCaption("自动");
  XPRadioButton2->SetCaption("1 手");
  XPRadioButton3->SetCaption("默认手数");
  XPRadioButton1->SetChecked(true);
  for (TXPRadioButton *radio : {XPRadioButton1, XPRadioButton2, XPRadioButton3})
    radio->OnClick = [this](TObject *sender) { XPRadioButton1Click(sender); };
  XPButton1 = ActionButton(this, this, 468, 218, 80, "全部删除", [this] { XPButton1Click(); });

  Label8 = StopDlgLabel(this, this, 12, 252, 536,
                        "说明: 1. 直接点击“数量”、“止损价”、“浮动止损”、“止盈价”及          “有效期”进行修改。"
                        "如不填价格则表示不使用该功能；");
  Label6 = StopDlgLabel(this, this, 12, 270, 536,
                        "      2. “止损止盈”由本软件在用户本机实现，如遇网络断线或软件被           关闭则失效；"
                        "开盘前请确认止损设置，以免跳空开盘导致损失；");
  Label5 = StopDlgLabel(this, this, 12, 288, 536, "      3. “止损止盈”不保证能以指定价成交；");
  Label14 = StopDlgLabel(this, this, 12, 306, 536, "      4. 在“参数设置”界面中可设置该合约的“自动止损止盈”。");
  Label10 = StopDlgLabel(this, this, 12, 346, 130, "使用此功能前，请先");
  Label9 = StopDlgLabel(this, this, 140, 346, 60, "查看帮助");
  Label9->OnClick = [this](TObject *) { Label9Click(); };
  XPButton4 = ActionButton(this, this, 388, 342, 76, "保存", [this] { XPButton4Click(); });
  XPButton2 = ActionButton(this, this, 472, 342, 76, "取消", [this] { SetModalResult(mrCancel); });

  model_.notice = [this](int code) { PostMessageA(Handle(), WM_STOP_DIALOG_NOTICE, 0, code); };
  model_.close = [this] { PostMessageA(Handle(), WM_CLOSE, 0, 0); };
  model_.hideEditors = [this] { HideEditors(); };
  ShowRows();

  HWND header = XPListView1->HeaderHandle();
  if (header) {
    headerProc_ = SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StopDlgHeaderProc));
    gStopDlgHeaderOld = headerProc_;
  }
}

TSetStopOrderDlg::~TSetStopOrderDlg() {
  model_.notice = nullptr;
  model_.close = nullptr;
  model_.hideEditors = nullptr;
  HWND header = XPListView1->HeaderHandle();
  if (header && headerProc_) SetWindowLongPtrA(header, GWLP_WNDPROC, headerProc_);
}

void TSetStopOrderDlg::ShowRows() {
  TListItems *items = XPListView1->Items();
  items->BeginUpdate();
  items->Clear();
  for (const auto &row : model_.rows) {
    TListItem *item = items->Add();
    item->SetCaption(row[0]);
    for (int c = 1; c < kStopColumns; ++c) item->SubItems()->Add(row[size_t(c)]);
  }
  items->EndUpdate();
}

void TSetStopOrderDlg::HideEditors() {
  // Hiding a focused editor ends its edit; the column goes first so that
  // the exit it causes finds nothing open.
  editColumn_ = -1;
  for (TControl *c : std::initializer_list<TControl *>{XPEdit1, XPUpDown4, XPPriceEdit1, XPPriceEdit2, XPPriceEdit3,
                                                      XPUpDown1, XPUpDown2, XPUpDown3, XPComboBox1})
    c->SetVisible(false);
}

TWinControl *TSetStopOrderDlg::OpenEditor() const {
  switch (editColumn_) {
    case kStopColumnVolume: return XPEdit1;
    case kStopColumnStop: return XPPriceEdit1;
    case kStopColumnTrailing: return XPPriceEdit2;
    case kStopColumnProfit: return XPPriceEdit3;
    case kStopColumnExpiry: return XPComboBox1;
    default: return nullptr;
  }
}

void TSetStopOrderDlg::XPListView1MouseDown(int x, int y) {
  HideEditors();
  TListItem *item = XPListView1->GetItemAt(x, y);
  if (!item) return;
  const int row = item->Index();
  const TRect bounds = item->DisplayRect(LVIR_BOUNDS);
  int left = bounds.Left, column = -1;
  for (int c = 0; c < XPListView1->Columns()->Count(); ++c) {
    const int width = XPListView1->Columns()->Items(c)->Width();
    if (x >= left && x < left + width) {
      column = c;
      break;
    }
    left += width;
  }
  if (column <= kStopColumnTime || size_t(row) >= model_.rows.size()) return;
  XPListView1->SetItemIndex(row);
  editRow_ = row;
  editColumn_ = column;
  const int width = XPListView1->Columns()->Items(column)->Width();
  const std::string text = model_.rows[size_t(row)][size_t(column)];
  TWinControl *editor = OpenEditor();
  TXPUpDown *arrows = column == kStopColumnVolume     ? XPUpDown4
                      : column == kStopColumnStop     ? XPUpDown1
                      : column == kStopColumnTrailing ? XPUpDown2
                      : column == kStopColumnProfit   ? XPUpDown3
                                                      : nullptr;
  const int editorWidth = arrows ? width - 14 : width;
  editor->SetBounds(left, bounds.Top, editorWidth, bounds.Bottom - bounds.Top);
  if (column == kStopColumnExpiry) {
    XPComboBox1->SetItemIndex(text == "当日" ? 1 : 0);
  } else {
    static_cast<TCustomEdit *>(editor)->SetText(text);
  }
  if (column == kStopColumnVolume) {
    model_.BeginVolumeEdit(row);
    XPUpDown4->Max = model_.volumeMaximum;
  }
  editor->SetVisible(true);
  if (arrows) {
    arrows->SetBounds(left + editorWidth, bounds.Top, 14, bounds.Bottom - bounds.Top);
    arrows->SetVisible(true);
  }
  if (HandleAllocated() && Visible()) editor->SetFocus();
}

void TSetStopOrderDlg::XPEdit1Exit() {
  TWinControl *editor = OpenEditor();
  if (!editor || editRow_ < 0) return;
  const int column = editColumn_, row = editRow_;
  const std::string text = column == kStopColumnExpiry ? (XPComboBox1->ItemIndex() == 1 ? "当日" : "永久")
                                                       : static_cast<TCustomEdit *>(editor)->Text();
  HideEditors();
  model_.FinishEdit(row, column, text);
  ShowRows();
}

void TSetStopOrderDlg::StepEditor(bool up) {
  if (editColumn_ != kStopColumnStop && editColumn_ != kStopColumnTrailing && editColumn_ != kStopColumnProfit) return;
  auto *editor = static_cast<TCustomEdit *>(OpenEditor());
  editor->SetText(model_.Step(editColumn_, editor->Text(), up));
  if (HandleAllocated() && Visible()) editor->SetFocus();
}

void TSetStopOrderDlg::XPRadioButton1Click(TObject *sender) {
  HideEditors();
  model_.SetSplit(sender == XPRadioButton2 ? TStopSplit::One
                  : sender == XPRadioButton3 ? TStopSplit::Default
                                             : TStopSplit::Auto);
  ShowRows();
}

void TSetStopOrderDlg::XPButton1Click() {
  if (MessageBoxA(Handle(), "删除所有的止损止盈设置？  ", "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES)
    return;
  HideEditors();
  model_.DeleteAll();
  ShowRows();
}

void TSetStopOrderDlg::XPButton4Click() {
  HideEditors();
  if (model_.Save())
    SetModalResult(mrOk);
  else
    ShowRows();
}

void TSetStopOrderDlg::Label9Click() {
  const auto opened = [](HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; };
  if (opened(ShellExecuteA(Handle(), "open", "IEXPLORE.EXE", kStopHelpAddress, nullptr, SW_SHOWNORMAL))) return;
  if (opened(ShellExecuteA(Handle(), "open", kStopHelpAddress, nullptr, nullptr, SW_SHOWNORMAL))) return;
  MessageBoxA(Handle(), "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

void TSetStopOrderDlg::WndProc(TMessage &message) {
  if (message.Msg == WM_STOP_DIALOG_NOTICE) {
    if (const char *text = StopDialogNoticeText(int(message.LParam)))
      MessageBoxA(Handle(), text, "警告", MB_OK | MB_ICONWARNING | MB_TOPMOST);
    if (int(message.LParam) == 6 || int(message.LParam) == 8) ShowRows();
    message.Result = 0;
    return;
  }
  if (message.Msg == WM_MOUSEWHEEL &&
      (editColumn_ == kStopColumnStop || editColumn_ == kStopColumnTrailing || editColumn_ == kStopColumnProfit)) {
    StepEditor(short(HIWORD(message.WParam)) > 0);
    message.Result = 0;
    return;
  }
  TForm::WndProc(message);
}

namespace {
TSetStopOrderDlg *gStopDlgShown = nullptr;
}  // namespace

bool RunStopDialog(TStopDialogModel &model, const std::function<void(bool)> &setModal) {
  TSetStopOrderDlg form(nullptr, model);
  gStopDlgShown = &form;
  if (setModal) setModal(true);
  const int result = form.ShowModal();
  if (setModal) setModal(false);
  gStopDlgShown = nullptr;
  return result == mrOk;
}

void CloseOpenStopDialog() {
  if (gStopDlgShown && gStopDlgShown->HandleAllocated()) PostMessageA(gStopDlgShown->Handle(), WM_CLOSE, 0, 0);
}
