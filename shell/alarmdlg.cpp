#include "shell/alarmdlg.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "classlib/dialogs.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "platform/gdi.h"
#include "shell/mframe.h"
#include "shell/profiletext.h"
#include "views/dlgtext.h"
#include "views/mvmain.h"
#include "views/selstockdlg.h"

TAlartfm *AlarmSettingsForm = nullptr;
TAlarmWin *AlarmWindow = nullptr;

namespace {

int Box(TWinControl *owner, const char *text, const char *caption, UINT flags) {
  return MessageBoxA(owner && owner->HandleAllocated() ? owner->Handle() : nullptr, text, caption, flags | MB_TOPMOST);
}

std::string Trimmed(const std::string &text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

TLabel *MakeLabel(TForm *form, const char *caption, int x, int y, int width) {
  auto *l = new TLabel(form);
  l->SetParent(form);
  l->AutoSize = false;
  l->SetBounds(x, y, width, 17);
  l->SetCaption(caption);
  return l;
}

template <class T>
T *Place(TForm *form, int x, int y, int w, int h, const char *caption = nullptr) {
  auto *c = new T(form);
  c->SetParent(form);
  c->SetBounds(x, y, w, h);
  if (caption) c->SetCaption(caption);
  return c;
}

std::string Field(const char *text, size_t width) { return std::string(text, strnlen(text, width)); }

std::string StockCode(STKPTR stock) {
  const STKINFO *info = GetStockInfo(stock);
  return info ? Field(info->code, sizeof info->code) : std::string();
}

std::string StockName(STKPTR stock) {
  const STKINFO *info = GetStockInfo(stock);
  return info ? Field(info->name, sizeof info->name) : std::string();
}

void PostRefresh() {
  if (MainFrame) PostMessageA(MainFrame->Handle(), WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

// The two state images: a green disc for an armed item, a red one for a
// fired item.
void AddStateImages(TImageList *list) {
  list->SetSize(16, 16);
  for (COLORREF colour : {RGB(224, 0, 0), RGB(0, 160, 0)}) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    HBRUSH white = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &all, white);
    DeleteObject(white);
    HBRUSH fill = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, 3, 3, 13, 13);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(fill);
    SelectObject(dc, old);
    DeleteDC(dc);
    list->AddMasked(bitmap, TColor(RGB(255, 0, 255)));
    DeleteObject(bitmap);
  }
}

}  // namespace

// ---- Texts -------------------------------------------------------------------------------

std::string AlarmThresholdText(float value, int decimals) {
  if (!AlarmIsSet(value)) return std::string();
  char format[16], text[64];
  if (decimals < 0) std::snprintf(text, sizeof text, "%.0f", double(value));
  else {
    std::snprintf(format, sizeof format, "%%.%df", decimals);
    std::snprintf(text, sizeof text, format, double(value));
  }
  return text;
}

int AlarmPriceDecimals(STKPTR stock) {
  const STKINFO *info = GetStockInfo(stock);
  return info ? info->decimals : 2;
}

const char *AlarmReasonText(uint32_t state) {
  if (state & ALARM_ABOVE_HIGH) return "超过价格上限";
  if (state & ALARM_BELOW_LOW) return "低于价格下限";
  if (state & ALARM_TRADE_SIZE) return "高出单笔上限";
  if (state & ALARM_VOLUME) return "成交量上限";
  if (state & ALARM_AMOUNT) return "金额/持仓上限";
  return "";
}

// The firing time is the computer's local time: through UTC and the
// market's own clock it comes into the display zone the charts use.
std::string AlarmFiredText(const AlarmData &item) {
  FILETIME local{}, utc{};
  SYSTEMTIME shown = item.firedAt;
  PackedDateTime packed = 0;
  if (SystemTimeToFileTime(&item.firedAt, &local) && LocalFileTimeToFileTime(&local, &utc) &&
      FileTimeToSystemTime(&utc, &shown)) {
    packed = MakePackedDateTime(shown.wYear, shown.wMonth, shown.wDay, shown.wHour, shown.wMinute);
    const TMarketData *market = MarketAt(item.stock.market);
    const STKINFO *info = GetStockInfo(item.stock);
    ShiftPackedHours(&packed, market ? market->m_info.hourOffset : 8);
    MarketTimeToLocal(&TimeZoneTable, item.stock.market, info ? info->kind : 0, &packed);
  } else {
    packed = MakePackedDateTime(shown.wYear, shown.wMonth, shown.wDay, shown.wHour, shown.wMinute);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", PackedYear(packed), PackedMonth(packed),
                PackedDay(packed), PackedHour(packed), PackedMinute(packed));
  return text;
}

// ---- TModifyAlert ------------------------------------------------------------------------

TModifyAlert::TModifyAlert(TComponent *owner, const AlarmData &source) : TForm(owner), item(source) {
  SetCaption("修改预警条件");
  SetBorderStyle(bsDialog);
  SetClientSize(300, 300);
  Position = poOwnerFormCenter;
  Label5 = MakeLabel(this, "", 12, 10, 276);
  static const char *const kCaptions[5] = {"价格上限", "价格下限", "现手上限", "成交量上限", "持仓（金额）上限"};
  for (int i = 0; i < 5; ++i) {
    boxes_[i] = Place<TCheckBox>(this, 12, 36 + i * 28, 140, 20, kCaptions[i]);
    edits_[i] = Place<TXPEdit>(this, 160, 36 + i * 28, 128, 21);
    edits_[i]->SetEnabled(false);
    boxes_[i]->OnClick = [this](TObject *s) { CheckBoxClick(s); };
  }
  CheckBox1 = boxes_[0], CheckBox2 = boxes_[1], CheckBox3 = boxes_[2], CheckBox4 = boxes_[3], CheckBox5 = boxes_[4];
  Edit_Up = edits_[0], Edit_Low = edits_[1], Edit_CurVol = edits_[2], Edit_Vol = edits_[3], Edit_Amount = edits_[4];
  MakeLabel(this, "预警声音（如不填则播放默认提示音）:", 12, 180, 276);
  XPEdit1 = Place<TXPEdit>(this, 12, 200, 196, 21);
  XPEdit1->SetMaxLength(kAlarmSoundPath - 1);
  XPButton1 = Place<TXPButton>(this, 212, 199, 52, 23, "浏览...");
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2 = Place<TXPButton>(this, 266, 199, 22, 23);
  XPButton2->OnClick = [this](TObject *s) { XPButton2Click(s); };
  XPButton2->OnDrawCaption = [](TObject *, HDC dc, RECT &) {
    // A small black triangle pointing right, drawn with lines.
    HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
    for (int x = 6; x <= 16; ++x) {
      const int half = (16 - x) / 2;
      MoveToEx(dc, x, 11 - half, nullptr);
      LineTo(dc, x, 11 + half + 1);
    }
    SelectObject(dc, old);
  };
  Button1 = Place<TButton>(this, 120, 260, 80, 26, "确定");
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = Place<TButton>(this, 208, 260, 80, 26, "取消");
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;

  const float values[5] = {item.priceHigh, item.priceLow, item.tradeSize, item.volume, item.amount};
  const int decimals = AlarmPriceDecimals(item.stock);
  for (int i = 0; i < 5; ++i) {
    if (!AlarmIsSet(values[i])) continue;
    edits_[i]->SetText(AlarmThresholdText(values[i], i < 2 ? decimals : -1));
    edits_[i]->SetEnabled(true);
    boxes_[i]->SetChecked(true);
  }
  XPEdit1->SetText(Field(item.sound, sizeof item.sound));
  DoCreate();
}

void TModifyAlert::CheckBoxClick(TObject *sender) {
  for (int i = 0; i < 5; ++i) {
    if (sender != boxes_[i]) continue;
    if (boxes_[i]->Checked()) {
      edits_[i]->SetEnabled(true);
    } else {
      edits_[i]->SetText("");
      edits_[i]->SetEnabled(false);
    }
  }
}

void TModifyAlert::Button1Click(TObject *) {
  static const char *const kNames[5] = {"价格上限", "价格下限", "现手上限", "成交量上限", "持仓（金额）上限"};
  float values[5];
  for (int i = 0; i < 5; ++i) {
    values[i] = AlarmUnset();
    const std::string text = Trimmed(edits_[i]->Text()).substr(0, 31);
    if (text.empty()) continue;
    // A text that is no number is refused rather than read as 0, which
    // would fire a price ceiling on the first quote.
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (!end || *end != 0 || errno == ERANGE || !std::isfinite(v) || std::fabs(v) > 3.0e38) {
      char message[128];
      std::snprintf(message, sizeof message, "“%s”不是有效的数字。  ", kNames[i]);
      Box(this, message, "错误", MB_OK | MB_ICONERROR);
      if (edits_[i]->CanFocus()) edits_[i]->SetFocus();
      return;
    }
    values[i] = float(v);
  }
  bool any = false;
  for (float v : values) any = any || AlarmIsSet(v);
  if (!any) {
    Box(this, "必须设定至少一项报警条件。  ", "错误", MB_OK | MB_ICONERROR);
    return;
  }
  char sound[kAlarmSoundPath] = {};
  const std::string path = XPEdit1->Text();
  if (!path.empty()) {
    CopyGbkBounded(sound, sizeof sound, path.c_str());
    if (!AlarmSoundExists(sound)) {
      char message[kAlarmSoundPath + 96];
      std::snprintf(message, sizeof message, "指定的报警声音“%s”不存在或路径太深，是否重新指定？  ", sound);
      if (Box(this, message, "提示", MB_YESNO | MB_ICONWARNING) == IDYES) return;
      sound[0] = 0;
    }
  }
  item.priceHigh = values[0];
  item.priceLow = values[1];
  item.tradeSize = values[2];
  item.volume = values[3];
  item.amount = values[4];
  std::memcpy(item.sound, sound, sizeof item.sound);
  SetModalResult(mrOk);
}

void TModifyAlert::XPButton1Click(TObject *) {
  TOpenDialog dialog(this);
  dialog.FileName = XPEdit1->Text();
  dialog.InitialDir = ".\\";
  dialog.Filter = "声音波形文件(*.wav)|*.wav";
  dialog.Title = "选择预警声音";
  dialog.Options = ofHideReadOnly | ofNoChangeDir | ofFileMustExist | ofEnableSizing;
  if (dialog.Execute()) XPEdit1->SetText(dialog.FileName);
}

void TModifyAlert::XPButton2Click(TObject *) {
  const std::string path = XPEdit1->Text();
  if (!path.empty() && !AlarmSoundExists(path.c_str())) {
    Box(this, "指定的报警声音不存在。  ", "提示", MB_OK | MB_ICONWARNING);
    return;
  }
  PlaySoundA(path.empty() ? ".\\Alarm.wav" : path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
}

bool RunAlarmCondition(TComponent *owner, AlarmData &item) {
  TModifyAlert dialog(owner, item);
  char label[64];
  std::snprintf(label, sizeof label, "%s(%s)", StockName(item.stock).c_str(), StockCode(item.stock).c_str());
  dialog.Label5->SetCaption(label);
  KeyHookPaused = 1;
  const bool ok = dialog.ShowModal() == mrOk;
  KeyHookPaused = 0;
  if (ok) item = dialog.item;
  return ok;
}

int AddAlarmFor(TComponent *owner, STKPTR stock) {
  if (!AlarmEngine || AlarmEngine->items.GetCount() >= kAlarmMaxItems) return -1;
  AlarmData item = NewAlarmItem(stock);
  if (!RunAlarmCondition(owner, item)) return -1;
  return AlarmEngine->AddAlarm(item);
}

// ---- TAlartfm ----------------------------------------------------------------------------

TAlartfm::TAlartfm(TComponent *owner) : TForm(owner) {
  SetCaption("预警设置");
  Position = poOwnerFormCenter;
  SetBorderStyle(bsSizeable);
  SetFormStyle(fsStayOnTop);
  OnClose = [](TObject *, TCloseAction &action) { action = caHide; };
  ImageList1 = new TImageList(this);
  AddStateImages(ImageList1);

  MainMenu1 = new TMainMenu(this);
  auto item = [this](TMenuItem *parent, const char *caption, std::function<void()> click) {
    auto *m = new TMenuItem(this);
    m->Caption = caption;
    if (click) m->OnClick = [click](TObject *) { click(); };
    parent->Add(m);
    return m;
  };
  TMenuItem *control = item(MainMenu1->Items(), "控制(&C)", nullptr);
  item(control, "添加行(&A)", [this] { AddClick(nullptr); });
  item(control, "删除行(&D)", [this] { DeleteClick(nullptr); });
  item(control, "清空列表(&E)", [this] { ClearClick(nullptr); });
  item(control, "报警记录(&W)", [this] { RecordClick(nullptr); });
  item(control, "-", nullptr);
  item(control, "关闭(&C)", [this] { Hide(); });
  TMenuItem *show = item(MainMenu1->Items(), "显示(&V)", nullptr);
  ToolBarItem = item(show, "工具栏(&T)", [this] { ToolBarItemClick(nullptr); });
  ToolBarItem->Checked = true;
  Menu = MainMenu1;

  ToolBar1 = new TToolBar(this);
  ToolBar1->SetParent(this);
  ToolBar1->ButtonWidth = 64;
  auto button = [this](const char *caption, std::function<void()> click) {
    auto *b = new TToolButton(this);
    b->SetCaption(caption);
    b->Hint = caption;
    b->OnClick = [click](TObject *) { click(); };
    b->SetBar(ToolBar1);
    return b;
  };
  AddButton = button("添加", [this] { AddClick(nullptr); });
  ChangeButton = button("修改", [this] { ChangeClick(nullptr); });
  DeleteButton = button("删除", [this] { DeleteClick(nullptr); });
  ClearButton = button("清空列表", [this] { ClearClick(nullptr); });
  RecordButton = button("报警记录", [this] { RecordClick(nullptr); });

  BaseGrid = new TStringGrid(this);
  BaseGrid->SetParent(this);
  BaseGrid->SetColCount(8);
  BaseGrid->SetFixedCols(0);
  BaseGrid->SetFixedRows(1);
  BaseGrid->SetRowCount(2);
  BaseGrid->SetOptions(BaseGrid->Options() | goRowSelect);
  BaseGrid->OnDrawCell = [this](TObject *, int c, int r, TRect rect, TGridDrawState) { DrawCell(c, r, rect); };
  BaseGrid->OnDblClick = [this](TObject *) { ChangeClick(nullptr); };
  static const char *const kHeader[8] = {"代码",       "名称",   "价格上限",         "价格下限",
                                         "现手上限", "成交量上限", "持仓（金额）上限", "状态"};
  for (int c = 0; c < 8; ++c) BaseGrid->SetCells(c, 0, kHeader[c]);
  BaseGrid->Handle();  // the font is measured on the grid's window
  TCanvas *canvas = BaseGrid->Canvas();
  const int w = canvas->TextWidth("商");
  for (int c = 0; c <= 4; ++c) BaseGrid->SetColWidths(c, 4 * w + 10);
  BaseGrid->SetColWidths(5, 5 * w + 10);
  BaseGrid->SetColWidths(6, 8 * w + 10);
  BaseGrid->SetColWidths(7, 28);
  BaseGrid->SetDefaultRowHeight(canvas->TextHeight("商") + 4);

  CBSound = new TCheckBox(this);
  CBSound->SetParent(this);
  CBSound->SetCaption("预警时播放声音");
  CBPopWin = new TCheckBox(this);
  CBPopWin->SetParent(this);
  CBPopWin->SetCaption("预警时弹出提示窗口");
  CBSound->SetChecked(AlarmEngine && AlarmEngine->soundOn);
  CBPopWin->SetChecked(AlarmEngine && AlarmEngine->popupOn);
  CBSound->OnClick = [this](TObject *) {
    if (AlarmEngine) AlarmEngine->soundOn = CBSound->Checked();
  };
  CBPopWin->OnClick = [this](TObject *) {
    if (AlarmEngine) AlarmEngine->popupOn = CBPopWin->Checked();
  };
  auto escape = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_ESCAPE) Hide();
  };
  BaseGrid->OnKeyDown = escape;
  CBSound->OnKeyDown = escape;
  CBPopWin->OnKeyDown = escape;

  const int width = 33 * w + 118;
  SetClientSize(width, 300);
  BaseGrid->SetBounds(0, ToolBar1->Height(), width, 300 - ToolBar1->Height() - 30);
  CBSound->SetBounds(8, 276, 150, 20);
  CBPopWin->SetBounds(170, 276, 170, 20);

  pickInstrument = [this](STKPTR &chosen) {
    TSelStockDlg picker(this, 0, 3);
    OpenStockPicker = &picker;
    KeyHookPaused = 1;
    const bool ok = picker.ShowModal() == mrOk && !picker.chosen.IsNone();
    KeyHookPaused = 0;
    OpenStockPicker = nullptr;
    if (ok) chosen = picker.chosen;
    return ok;
  };
  editCondition = [this](AlarmData &edited) { return RunAlarmCondition(this, edited); };
  DoCreate();
  RefreshList();
}

void TAlartfm::RefreshList() {
  const int n = AlarmEngine ? AlarmEngine->items.GetCount() : 0;
  BaseGrid->SetRowCount(n > 0 ? n + 1 : 2);
  for (int c = 0; c < 8; ++c) BaseGrid->SetCells(c, 1, "");
  for (int i = 0; i < n; ++i) {
    const AlarmData &a = AlarmEngine->items.GetData()[i];
    const int decimals = AlarmPriceDecimals(a.stock);
    const int r = i + 1;
    BaseGrid->SetCells(0, r, StockCode(a.stock));
    BaseGrid->SetCells(1, r, StockName(a.stock));
    BaseGrid->SetCells(2, r, AlarmThresholdText(a.priceHigh, decimals));
    BaseGrid->SetCells(3, r, AlarmThresholdText(a.priceLow, decimals));
    BaseGrid->SetCells(4, r, AlarmThresholdText(a.tradeSize, -1));
    BaseGrid->SetCells(5, r, AlarmThresholdText(a.volume, -1));
    BaseGrid->SetCells(6, r, AlarmThresholdText(a.amount, -1));
    BaseGrid->SetCells(7, r, a.state == 0 ? " " : "  ");
  }
  BaseGrid->Invalidate();
}

void TAlartfm::DrawCell(int col, int row, const TRect &rect) {
  if (col != 7 || row < 1) return;
  const std::string cell = BaseGrid->Cells(col, row);
  if (cell.empty()) return;
  TCanvas *canvas = BaseGrid->Canvas();
  canvas->Brush()->SetColor(clWindow);
  canvas->FillRect(rect);
  ImageList1->Draw(canvas, rect.Left + 5, rect.Top + 1, cell == " " ? 1 : 0);
}

void TAlartfm::PostRefreshSubscription() { PostRefresh(); }

void TAlartfm::AddClick(TObject *) {
  if (!AlarmEngine) return;
  if (AlarmEngine->items.GetCount() >= kAlarmMaxItems) {
    Box(this, "报警项目个数已达到上限，无法添加。  ", "错误", MB_OK | MB_ICONERROR);
    return;
  }
  STKPTR chosen;
  if (!pickInstrument || !pickInstrument(chosen)) return;
  AlarmData item = NewAlarmItem(chosen);
  if (!editCondition || !editCondition(item)) return;
  if (AlarmEngine->AddAlarm(item) < 0) return;
  RefreshList();
  PostRefreshSubscription();
}

void TAlartfm::ChangeClick(TObject *) {
  if (!AlarmEngine) return;
  const int r = BaseGrid->Row();
  if (r < 1 || r > AlarmEngine->items.GetCount()) return;
  AlarmData copy = AlarmEngine->items.GetAt(r - 1);
  AlarmEngine->RemoveAlarm(r - 1);
  RefreshList();
  AlarmData edited = copy;
  if (editCondition && editCondition(edited)) {
    copy = edited;
    copy.state = 0;
    std::memset(&copy.firedAt, 0, sizeof copy.firedAt);
  }
  // OK or not, the item comes back at the end of the list.
  AlarmEngine->items.Add(copy);
  AlarmEngine->ListChanged();
  RefreshList();
  BaseGrid->SetRow(AlarmEngine->items.GetCount());
}

void TAlartfm::DeleteClick(TObject *) {
  if (!AlarmEngine) return;
  const int r = BaseGrid->Row();
  if (r < 1 || r > AlarmEngine->items.GetCount()) return;
  char question[64];
  std::snprintf(question, sizeof question, "删除 %s ？  ", StockName(AlarmEngine->items.GetAt(r - 1).stock).c_str());
  if (Box(this, question, "确认", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  AlarmEngine->RemoveAlarm(r - 1);
  RefreshList();
  PostRefreshSubscription();
}

void TAlartfm::ClearClick(TObject *) {
  if (!AlarmEngine || AlarmEngine->items.IsEmpty()) return;
  if (Box(this, "删除全部项目？  ", "确认", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  AlarmEngine->items.RemoveAll();
  RefreshList();
  PostRefreshSubscription();
}

void TAlartfm::RecordClick(TObject *) { ShowAlarmWindow(); }

void TAlartfm::ToolBarItemClick(TObject *) {
  ToolBarItem->Checked = !ToolBarItem->Checked;
  ToolBar1->SetVisible(ToolBarItem->Checked);
}

// ---- TAlarmWin ---------------------------------------------------------------------------

TAlarmWin::TAlarmWin(TComponent *owner) : TForm(owner) {
  SetCaption("预警系统");
  Position = poOwnerFormCenter;  // without an owner: the screen's centre
  SetBorderStyle(bsSingle);
  SetFormStyle(fsStayOnTop);
  OnClose = [](TObject *, TCloseAction &action) { action = caHide; };
  AlarmGrid = new TStringGrid(this);
  AlarmGrid->SetParent(this);
  AlarmGrid->SetColCount(4);
  AlarmGrid->SetFixedCols(0);
  AlarmGrid->SetFixedRows(1);
  AlarmGrid->SetRowCount(2);
  AlarmGrid->SetOptions(AlarmGrid->Options() | goRowSelect);
  static const char *const kHeader[4] = {"商品名称", "报警时间", "当前价格", "报警原因"};
  for (int c = 0; c < 4; ++c) AlarmGrid->SetCells(c, 0, kHeader[c]);
  AlarmGrid->Handle();
  TCanvas *canvas = AlarmGrid->Canvas();
  const int widths[4] = {canvas->TextWidth("商品代码"), canvas->TextWidth("0000-00-00 00:00"),
                         canvas->TextWidth("00000.00"), canvas->TextWidth("超过价格上限")};
  const int extra[4] = {10, 30, 20, 10};
  int total = 0;
  for (int c = 0; c < 4; ++c) {
    AlarmGrid->SetColWidths(c, widths[c] + extra[c]);
    total += widths[c];
  }
  AlarmGrid->SetDefaultRowHeight(canvas->TextHeight("商") + 4);
  const int width = total + 100;
  SetClientSize(width, 260);
  AlarmGrid->SetBounds(0, 0, width, 180);
  Label1 = MakeLabel(this, "提示: 已经报警过的项目，不会继续报警。          除非再次对其进行设置。", 8, 186,
                     width - 16);
  Label1->SetHeight(34);
  Label1->WordWrap = true;
  const int bw = (width - 40) / 4;
  XPButton1 = Place<TXPButton>(this, 8, 226, bw, 25, "查看走势");
  XPButton2 = Place<TXPButton>(this, 16 + bw, 226, bw, 25, "设置");
  XPButton3 = Place<TXPButton>(this, 24 + 2 * bw, 226, bw, 25, "关闭");
  XPButton4 = Place<TXPButton>(this, 32 + 3 * bw, 226, bw, 25, "中止声音");
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2->OnClick = [this](TObject *s) { XPButton2Click(s); };
  XPButton3->OnClick = [this](TObject *) { Hide(); };
  XPButton4->OnClick = [this](TObject *s) { XPButton4Click(s); };
  DoCreate();
  RefreshList();
}

void TAlarmWin::RefreshList() {
  rowStocks.RemoveAll();
  AlarmGrid->SetRowCount(2);
  for (int c = 0; c < 4; ++c) AlarmGrid->SetCells(c, 1, "");
  const int n = AlarmEngine ? AlarmEngine->items.GetCount() : 0;
  for (int i = n - 1; i >= 0; --i) {
    const AlarmData &a = AlarmEngine->items.GetData()[i];
    if (a.state == 0) continue;
    const int r = rowStocks.GetCount() + 1;
    if (r + 1 > AlarmGrid->RowCount()) AlarmGrid->SetRowCount(r + 1);
    AlarmGrid->SetCells(0, r, StockName(a.stock));
    AlarmGrid->SetCells(1, r, AlarmFiredText(a));
    const STKINFO *info = GetStockInfo(a.stock);
    const TMarketData *market = MarketAt(a.stock.market);
    std::string price;
    if (info && market && a.stock.stock < market->m_loadedCount)
      price = AlarmThresholdText(float(double(market->m_quotes[a.stock.stock].last) / info->PriceDivisor()),
                                 info->decimals);
    AlarmGrid->SetCells(2, r, price);
    AlarmGrid->SetCells(3, r, AlarmReasonText(a.state));
    rowStocks.Add(a.stock);
  }
  AlarmGrid->Invalidate();
}

void TAlarmWin::XPButton1Click(TObject *) {
  const int r = AlarmGrid->Row();
  if (r < 1 || r > rowStocks.GetCount()) return;
  const STKPTR stock = rowStocks.GetAt(r - 1);
  if (!GetStockInfo(stock)) return;
  if (MainFrame) MainFrame->ShowIntradayChart(stock);
  Hide();
}

void TAlarmWin::XPButton2Click(TObject *) {
  Hide();
  if (MainFrame) MainFrame->S1Click(nullptr);
  else ShowAlarmSettings();
}

void TAlarmWin::XPButton4Click(TObject *) {
  if (AlarmEngine) AlarmEngine->StopSounds();
}

// ---- The windows made once ---------------------------------------------------------------

void ShowAlarmSettings() {
  if (!AlarmSettingsForm) AlarmSettingsForm = new TAlartfm(MainFrame);
  AlarmSettingsForm->Show();
  AlarmSettingsForm->RefreshList();
}

void ShowAlarmWindow() {
  if (AlarmWindow) AlarmWindow->RefreshList();
  else AlarmWindow = new TAlarmWin(nullptr);
  AlarmWindow->Show();
}

void FreeAlarmWindows() {
  delete AlarmSettingsForm;
  AlarmSettingsForm = nullptr;
  delete AlarmWindow;
  AlarmWindow = nullptr;
}
