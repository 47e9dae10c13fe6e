#include "shell/hotkeydlg.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <strings.h>

#include "classlib/listbox.h"
#include "platform/msgbox.h"
#include "shell/dialogparts.h"
#include "shell/hotkeys.h"

namespace {

TXPButton *DialogButton(TForm *form, const char *caption, int x, int y, int result) {
  auto *b = PlaceControl<TXPButton>(form, form, x, y, 75, 25, caption);
  b->ModalResult = result;
  return b;
}

// The built-in keys of the help window, key and meaning; the key column is
// padded to 18 bytes.
struct HelpLine {
  const char *key;
  const char *meaning;
};
const HelpLine kHelpLines[] = {
    {"ESC", "后退"},
    {"F1 或 01", "成交明细列表"},
    {"F2 或 02", "价量分布图"},
    {"F3 或 03", "上证领先指标"},
    {"F4 或 04", "深证领先指标"},
    {"F5 或 05", "切换走势图与技术分析图"},
    {"F6 或 06", "自选品种"},
    {"F7 或 07", "窗口放大、还原"},
    {"F8 或 08", "技术分析图周期循环"},
    {"F9 或 09", "新闻"},
    {"F10 或 10", "背景资料"},
    {"F12", "网上交易"},
    {"0", "闪电图"},
    {"1 至 9、M、D", "技术分析图周期切换"},
    {"16", "信息地雷"},
    {".0 至 .64", "切换自定义页面"},
    {"← 和 →", "报价窗口切换板块，走势图技术分析图查价"},
    {"Ctrl  + ← 和 →", "闪电图、技术分析图向左、右移动整屏"},
    {"Shift + ← 和 →", "闪电图、技术分析图向左、右移动半屏"},
    {"/ 和 *", "技术分析指标循环"},
    {"-", "循环报价"},
    {"↑ 和 ↓", "闪电图技术分析图放大、缩小，走势图历史回忆"},
    {"Del", "技术分析图删除选中的指标或自画线"},
    {"Ctrl+S", "页面循环"},
    {"Shift+Ctrl+S", "反向页面循环"},
    {"Ctrl+Z", "设为自选"},
    {"Ctrl+L", "走势图、技术分析图显隐信息窗口"},
    {"Ctrl+O", "技术分析图商品叠加"},
    {"Ctrl+A", "技术分析图套利"},
    {"Ctrl+R", "技术分析图坐标反转"},
    {"Ctrl+F", "技术分析图指标管理"},
    {"Alt+F12", "技术分析图画线"},
    {"Ctrl+M", "报价窗口添加板块"},
    {"Ctrl+C", "报价窗口关闭板块"},
    {"Ctrl+F4", "关闭窗口"},
    {"Ctrl+P", "全屏显示"},
};

const char *const kEditorHelpLines[] = {
    "",
    " 设置快捷键时，可以使用以下按键（请输入引号内的字符）:",
    "",
    " \"CTRL\"  \"ALT\"  \"SHIFT\"  \"ENTER\"（回车）  \"TAB\"  \"BACKSPACE\"（退格）",
    " \"INSERT\"  \"DELETE\"  \"HOME\"  \"END\"  \"PAGEUP\"  \"PAGEDOWN\"",
    " \"UP\"（上）  \"LEFT\"（左）  \"DOWN\"（下）  \"RIGHT\"（右）  \"SPACE\"（空格）",
    " \"F1\" 至 \"F12\"  \"A\" 至 \"Z\"  \"0\" 至 \"9\"",
    " \"`\"  \"-\"  \"=\"  \"\\\"  \"[\"  \"]\"  \";\"  \"'\"  \",\"  \".\"  \"/\"  \"*\"  \"+\"",
    "",
    "",
    " 其中，\"CTRL\"、\"ALT\"、\"SHIFT\"、\"ENTER\"必须与其它按键配合使用，并以",
    " \"+\"连接。",
    "",
    " 举例：",
    " \"CTRL+A\"    同时按下\"CTRL\"和\"A\"键；",
    " \"81+ENTER\"  依次按下\"8\"、\"1\"、\"回车\"三个键；",
    " \"0\"         按下\"0\"键。",
};

const char *const kPeriodNames[kPeriodCount] = {"闪电图", "1分钟", "3分钟", "任意分", "5分钟", "15分钟", "30分钟", "60分钟",
                                                "日线",   "周线",  "月线",  "季线",   "任意天", "120分钟", "240分钟"};

}  // namespace

const std::vector<std::string> &HotKeyHelpLines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out{"系统默认快捷键", ""};
    for (const HelpLine &line : kHelpLines) {
      std::string text = line.key;
      if (text.size() < 18) text.resize(18, ' ');
      out.push_back(text + line.meaning);
    }
    return out;
  }();
  return lines;
}

const char *const *HotKeyEditorHelpLines(int &count) {
  count = int(std::size(kEditorHelpLines));
  return kEditorHelpLines;
}

const char *PeriodName(int code) { return code >= 0 && code < kPeriodCount ? kPeriodNames[code] : ""; }

// ---- TSetHotkeyDlg ----

TSetHotkeyDlg::TSetHotkeyDlg(TComponent *owner) : TForm(owner) {
  SetCaption("设置快捷键");
  SetBorderStyle(bsDialog);
  SetClientSize(420, 430);
  Position = poOwnerFormCenter;
  XPTabControl1 = PlaceControl<TXPTabControl>(this, this, 8, 8, 404, 380);
  XPTabControl1->Tabs()->Add("快捷键");
  XPTabControl1->Tabs()->Add("帮助");
  XPTabControl1->SetTabIndex(0);
  XPTabControl1->OnChange = [this](TObject *s) { XPTabControl1Change(s); };
  const TRect area = XPTabControl1->DisplayRect();
  XPStringGrid1 = PlaceControl<TXPStringGrid>(XPTabControl1, this, area.Left + 2, area.Top + 2, area.Right - area.Left - 4,
                                       area.Bottom - area.Top - 4);
  XPStringGrid1->SetColCount(2);
  XPStringGrid1->SetRowCount(kCommandCount);
  XPStringGrid1->SetFixedRows(0);
  XPStringGrid1->SetFixedCols(1);
  XPStringGrid1->SetDefaultRowHeight(18);
  XPStringGrid1->SetColWidths(0, 100);
  XPStringGrid1->SetColWidths(1, 280);
  XPStringGrid1->SetOptions(XPStringGrid1->Options() | goEditing);
  XPMemo1 = PlaceControl<TXPMemo>(XPTabControl1, this, area.Left + 2, area.Top + 2, area.Right - area.Left - 4,
                           area.Bottom - area.Top - 4);
  XPMemo1->SetReadOnly(true);
  int count = 0;
  const char *const *lines = HotKeyEditorHelpLines(count);
  for (int i = 0; i < count; ++i) XPMemo1->Lines()->Add(lines[i]);
  XPMemo1->SetVisible(false);
  XPButton1 = DialogButton(this, "确定", 250, 398, 0);
  XPButton1->SetDefault(true);
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2 = DialogButton(this, "取消", 337, 398, mrCancel);
  XPButton2->Cancel = true;

  std::memcpy(edited, HotKeyTable, sizeof edited);
  for (int code = 1; code <= kCommandCount; ++code) {
    const int row = HotKeyDisplayRow(code);
    if (row < 0) continue;
    char text[kHotKeyFormatSize];
    FormatHotKeyDefinition(HotKeyTable[code - 1], text);
    XPStringGrid1->SetCells(0, row, CommandName(code));
    XPStringGrid1->SetCells(1, row, text);
  }
  DoCreate();
}

void TSetHotkeyDlg::XPTabControl1Change(TObject *) {
  const bool help = XPTabControl1->TabIndex() == 1;
  XPStringGrid1->SetVisible(!help);
  XPMemo1->SetVisible(help);
}

void TSetHotkeyDlg::XPButton1Click(TObject *) {
  XPStringGrid1->HideEditor();
  std::memcpy(edited, HotKeyTable, sizeof edited);
  for (int code = 1; code <= kCommandCount; ++code) {
    const int row = HotKeyDisplayRow(code);
    if (row < 0) continue;
    char cell[256];
    std::snprintf(cell, sizeof cell, "%s", XPStringGrid1->Cells(1, row).c_str());
    char parsed[256];
    std::memcpy(parsed, cell, sizeof parsed);
    ParseHotKeyText(edited[code - 1], parsed);
    char formatted[kHotKeyFormatSize];
    FormatHotKeyDefinition(edited[code - 1], formatted);
    if (strcasecmp(cell, formatted) == 0) continue;
    const std::string name = XPStringGrid1->Cells(0, row);
    char first[160], second[400];
    std::snprintf(first, sizeof first, "“%s”的快捷键“", name.c_str());
    std::snprintf(second, sizeof second, "%s”格式不正确。点击“是”将其设置为“%s”，点击“否”手工修改。", cell, formatted);
    const std::string question = std::string(first) + second;
    const int answer = MessageBoxA(HandleAllocated() ? Handle() : nullptr, question.c_str(), "错误",
                                   MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    if (answer != IDYES) return;  // left to the user; nothing is kept
    XPStringGrid1->SetCells(1, row, formatted);
  }
  std::memcpy(HotKeyTable, edited, sizeof HotKeyTable);
  SaveHotKeys();
  SetModalResult(mrOk);
}

// ---- Thotkeydlg ----

Thotkeydlg::Thotkeydlg(TComponent *owner) : TForm(owner) {
  SetCaption("快捷键说明");
  Position = poOwnerFormCenter;
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetClientSize(430, 440);
  Memo1 = PlaceControl<TXPMemo>(this, this, 8, 8, 414, 390);
  Memo1->SetReadOnly(true);
  for (const std::string &line : HotKeyHelpLines()) Memo1->Lines()->Add(line);
  XPButton1 = PlaceControl<TXPButton>(this, this, 8, 406, 100, 25, "自定义快捷键");
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  Button1 = PlaceControl<TXPButton>(this, this, 347, 406, 75, 25, "确定");
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  DoCreate();
}

void Thotkeydlg::XPButton1Click(TObject *) {
  if (openEditor) openEditor();
}

// ---- TCycleOrder ----

TCycleOrder::TCycleOrder(TComponent *owner) : TForm(owner) {
  SetCaption("周期循环次序");
  SetBorderStyle(bsDialog);
  SetClientSize(300, 360);
  Position = poOwnerFormCenter;
  Label1 = PlaceControl<TLabel>(this, this, 10, 8, 280, 34,
                         "按下 F8 键后，周期将按以下次序（由上至下）循环。其中未勾选的周期将被跳过。");
  Label1->WordWrap = true;
  XPCheckListBox1 = PlaceControl<TXPCheckListBox>(this, this, 10, 48, 190, 300);
  XPCheckListBox1->MultiSelect = true;
  XPButton1 = PlaceControl<TXPButton>(this, this, 212, 48, 75, 25, "上移");
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2 = PlaceControl<TXPButton>(this, this, 212, 80, 75, 25, "下移");
  XPButton2->OnClick = [this](TObject *s) { XPButton2Click(s); };
  XPButton3 = DialogButton(this, "确定", 212, 290, 0);
  XPButton3->SetDefault(true);
  XPButton3->OnClick = [this](TObject *s) { XPButton3Click(s); };
  XPButton4 = DialogButton(this, "取消", 212, 322, mrCancel);
  XPButton4->Cancel = true;
  for (const PeriodCycleEntry &entry : PeriodCycle) {
    const int index = XPCheckListBox1->Items()->AddObject(PeriodName(entry.code),
                                                          reinterpret_cast<TObject *>(intptr_t(entry.code)));
    XPCheckListBox1->SetChecked(index, entry.shown);
  }
  DoCreate();
}

int TCycleOrder::CodeAt(int index) const {
  return int(reinterpret_cast<intptr_t>(const_cast<TXPCheckListBox *>(XPCheckListBox1)->Items()->Objects(index)));
}

void TCycleOrder::XPButton1Click(TObject *) { MoveSelectedUp(*XPCheckListBox1); }
void TCycleOrder::XPButton2Click(TObject *) { MoveSelectedDown(*XPCheckListBox1); }

void TCycleOrder::XPButton3Click(TObject *) {
  PeriodCycleEntry order[kPeriodCount] = {};
  int checked = 0;
  for (int i = 0; i < kPeriodCount && i < XPCheckListBox1->Count(); ++i) {
    order[i] = PeriodCycleEntry{uint8_t(CodeAt(i)), XPCheckListBox1->Checked(i)};
    if (order[i].shown) ++checked;
  }
  if (checked < 2) {
    MessageBoxA(HandleAllocated() ? Handle() : nullptr, "请至少勾选 2 种周期，以实现周期的循环。  ", "错误",
                MB_OK | MB_ICONWARNING | MB_TOPMOST);
    return;
  }
  std::memcpy(PeriodCycle, order, sizeof PeriodCycle);
  SaveCycleOrder();
  SetModalResult(mrOk);
}
