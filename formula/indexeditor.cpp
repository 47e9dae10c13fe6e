#include "formula/indexeditor.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "formula/indexdlgparts.h"
#include "formula/indexdlgtext.h"
#include "formula/indexfunction.h"
#include "formula/indexgridedit.h"
#include "formula/indexparamdlg.h"
#include "formula/kvindexlib.h"
#include "formula/lexer.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/winctrl.h"
#include "platform/winuser.h"

const char kIndexHelpAddress[] = "http://www.kivo.example/helponline3/yfhj/mainindex.htm";

namespace {

bool NameIs(const char *name, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (indexlex::SameName(name, int(std::strlen(name)), n)) return true;
  return false;
}

bool NameIsExactly(const char *name, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (std::strcmp(name, n) == 0) return true;
  return false;
}

// Letters, "_", digits after the first character and double-byte characters.
bool ValidParamName(const std::string &name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t c = uint8_t(name[i]);
    if (std::isalpha(c) || c == '_' || (std::isdigit(c) && i > 0)) continue;
    if (c > 128 && i + 1 < name.size()) {
      const uint8_t t = uint8_t(name[i + 1]);
      if (t > 63 && t != 127 && t != 255) {
        ++i;
        continue;
      }
    }
    return false;
  }
  return true;
}

// The cell as a number; 0 unless the whole text (blanks aside) is one.
double CellNumber(const std::string &text) {
  const char *p = text.c_str();
  char *end = nullptr;
  const double value = std::strtod(p, &end);
  if (end == p) return 0;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end || !std::isfinite(value)) return 0;
  for (const char *q = p; q < end; ++q)
    if (std::isalpha(uint8_t(*q)) && *q != 'e' && *q != 'E') return 0;  // no "inf", "nan" or hex
  return value;
}

TXPButton *MakeButton(TForm *form, const char *caption, int x, int w) {
  return MakeIndexButton(form, caption, x, 424, w, 25);
}

}  // namespace

std::string IndexInsertTemplate(const INDEXFUNC &row) {
  const char *name = row.name;
  const char *pattern;
  if (NameIs(name, {"DRAWBMP", "DRAWTEXT"})) pattern = "%s(,,'')#####";
  else if (NameIs(name, {"ISCONTRACT", "ISSTOCK"})) pattern = "%s('')##";
  else if (NameIs(name, {"DRAWICON", "FILLRGN"})) pattern = "%s(,,)###";
  else if (NameIs(name, {"DRAWBKBMP"})) pattern = "%s(,'')####";
  else if (NameIs(name, {"PARTLINE", "POLYLINE"})) pattern = "%s(,)##";
  else if (NameIs(name, {"DRAWGBK", "DRAWNUMBER", "DRAWKLINE", "DRAWBARLINE"})) pattern = "%s(,,,)####";
  else if (NameIs(name, {"STICKLINE", "DRAWLINE", "DRAWSL"})) pattern = "%s(,,,,)#####";
  else if (NameIs(name, {"ALIGN", "VALIGN", "LINETHICK", "CIRCLEDOT", "COLORSTICK", "CROSSDOT", "POINTDOT", "STICK",
                         "VOLSTICK", "PRECIS", "COLOR", "FONTSIZE"}))
    pattern = ",%s";
  else if (NameIsExactly(name, {"+", "-", "*", "/", "<", ">", "<=", ">=", "=", "<>"})) pattern = "%s";
  else if (NameIsExactly(name, {"()", "{}"})) pattern = "%s#";
  else if (NameIsExactly(name, {"\"\""})) pattern = "\"$\"##";
  else if (NameIs(name, {"AND", "OR"})) pattern = " %s ";
  else if (NameIs(name, {"REFLINE"})) pattern = "%s:;#";
  else if (row.maxArgs == 2 || NameIs(name, {"MAX", "MIN"})) pattern = "%s(,)##";
  else if (row.maxArgs == 0) pattern = "%s";
  else if (row.maxArgs == 3) pattern = "%s(,,)###";
  else pattern = "%s()#";
  char text[64];
  std::snprintf(text, sizeof text, pattern, std::string(name, strnlen(name, sizeof row.name)).c_str());
  return text;
}

std::string IndexColorOptionText(COLORREF color) {
  char text[16];
  std::snprintf(text, sizeof text, "    %08X", unsigned(color));
  std::memcpy(text, ",COLOR", 6);
  return text;
}

TIndexEditorDlg::TIndexEditorDlg(TComponent *owner) : TForm(owner), library(&KvIndexManager()) {
  SetCaption("指标编辑器");
  SetBorderStyle(bsDialog);
  SetClientSize(650, 459);
  Position = poScreenCenter;
  Font()->SetName("Tahoma");
  runPicker = [](TIndexFunctionDlg &picker) { return picker.ShowModal(); };

  MakeIndexLabel(this, "名称:", 10, 12);
  Edit1 = new TXPEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(50, 9, 120, 21);
  Edit1->SetMaxLength(15);
  CheckBox1 = new TXPCheckBox(this);
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(186, 11, 52, 17);
  CheckBox1->SetCaption("密码:");
  CheckBox1->OnClick = [this](TObject *s) { CheckBox1Click(s); };
  Edit3 = new TXPEdit(this);
  Edit3->SetParent(this);
  Edit3->SetBounds(242, 9, 120, 21);
  Edit3->SetMaxLength(31);
  Edit3->SetPasswordChar('*');
  MakeIndexLabel(this, "描述:", 10, 40);
  Edit2 = new TXPEdit(this);
  Edit2->SetParent(this);
  Edit2->SetBounds(50, 37, 312, 21);
  Edit2->SetMaxLength(511);
  StaticText1 = new TLabel(this);
  StaticText1->SetParent(this);
  StaticText1->AutoSize = false;
  StaticText1->SetBounds(10, 64, 392, 16);
  StaticText1->Font()->SetColor(clRed);
  StaticText1->ShowAccelChar = false;

  RadioButton1 = MakeRadio("副图", 9, 0);
  RadioButton2 = MakeRadio("主图叠加", 31, 1);
  RadioButton3 = MakeRadio("主图", 53, 2);
  CheckBox2 = new TXPCheckBox(this);
  CheckBox2->SetParent(this);
  CheckBox2->SetBounds(500, 31, 140, 17);
  CheckBox2->SetCaption("以相对坐标叠加");
  CheckBox2->Hide();
  RadioButton1->SetChecked(true);

  TabControl1 = new TXPTabControl(this);
  TabControl1->SetParent(this);
  TabControl1->SetBounds(10, 84, 392, 330);
  TabControl1->Tabs()->Add("指标公式");
  TabControl1->Tabs()->Add("用法说明");
  TabControl1->SetTabIndex(0);
  TabControl1->OnChange = [this](TObject *s) { TabControl1Change(s); };
  const TRect page = TabControl1->DisplayRect();
  RichEdit1 = new TXPMemo(this);
  RichEdit1->SetParent(TabControl1);
  RichEdit1->SetBounds(page.Left + 2, page.Top + 2, page.Width() - 4, page.Height() - 4);
  RichEdit1->ScrollBars = ssVertical;
  RichEdit1->WordWrap = false;
  RichEdit1->HideSelection = false;
  RichEdit1->WantTabs = false;
  Memo1 = new TXPMemo(this);
  Memo1->SetParent(TabControl1);
  Memo1->SetBounds(page.Left + 2, page.Top + 2, page.Width() - 4, page.Height() - 4);
  Memo1->ScrollBars = ssVertical;
  Memo1->Hide();

  StringGrid1 = new TXPStringGrid(this);
  StringGrid1->SetParent(this);
  StringGrid1->SetColCount(5);
  StringGrid1->SetRowCount(17);
  StringGrid1->SetFixedRows(1);
  StringGrid1->SetFixedCols(1);
  StringGrid1->SetDefaultRowHeight(18);
  StringGrid1->SetColWidths(0, 35);
  for (int c = 1; c <= 4; ++c) StringGrid1->SetColWidths(c, 48);
  StringGrid1->ScrollBars = ssNone;
  StringGrid1->SetOptions(StringGrid1->Options() | goEditing | goAlwaysShowEditor);
  StringGrid1->SetBounds(410, 84, 232, 17 * 19 + 3);
  const char *const headers[5] = {" 参数", " 名称", " 最小值", " 最大值", " 缺省值"};
  for (int c = 0; c < 5; ++c) StringGrid1->SetCells(c, 0, headers[c]);
  for (int r = 1; r <= 16; ++r) {
    char label[16];
    std::snprintf(label, sizeof label, "%4d", r);
    StringGrid1->SetCells(0, r, label);
  }
  gridEditor_ = std::make_unique<TIndexGridEditor>(StringGrid1);

  Button3 = MakeButton(this, "测试(&T)", 10, 72);
  Button4 = MakeButton(this, "插入函数(&F)", 88, 92);
  Button5 = MakeButton(this, "插入颜色(&C)", 186, 92);
  Button6 = MakeButton(this, "帮助(&H)", 284, 72);
  MakeIndexOkCancel(this, Button1, Button2, 488, 567, 424, 75, 25, false);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button3->OnClick = [this](TObject *s) { Button3Click(s); };
  Button4->OnClick = [this](TObject *s) { Button4Click(s); };
  Button5->OnClick = [this](TObject *s) { Button5Click(s); };
  Button6->OnClick = [this](TObject *s) { Button6Click(s); };
  ColorDialog1 = new TColorDialog(this);

  PopupMenu1 = new TPopupMenu(this);
  auto item = [this](const char *caption, UINT message) {
    auto *m = new TMenuItem(PopupMenu1);
    m->Caption = caption;
    m->OnClick = [this, message](TObject *) {
      if (message == EM_SETSEL) RichEdit1->SelectAll();
      else RichEdit1->Perform(message, 0, 0);
    };
    PopupMenu1->Items()->Add(m);
    return m;
  };
  UndoItem = item("撤销(&U)", EM_UNDO);
  CutItem = item("剪切(&T)", WM_CUT);
  CopyItem = item("复制(&C)", WM_COPY);
  PasteItem = item("粘贴(&P)", WM_PASTE);
  DeleteItem = item("删除(&D)", WM_CLEAR);
  SelectAllItem = item("全选(&A)", EM_SETSEL);
  PopupMenu1->OnPopup = [this](TObject *s) { PopupMenu1Popup(s); };
  RichEdit1->PopupMenu = PopupMenu1;

  CheckBox1Click(this);
}

TIndexEditorDlg::~TIndexEditorDlg() = default;

TXPRadioButton *TIndexEditorDlg::MakeRadio(const char *caption, int top, intptr_t tag) {
  auto *r = new TXPRadioButton(this);
  r->SetParent(this);
  r->SetBounds(410, top, 85, 17);
  r->SetCaption(caption);
  r->Tag = tag;
  r->OnClick = [this](TObject *s) { RadioButtonClick(s); };
  return r;
}

void TIndexEditorDlg::LoadIndex(const CKvIndex &formula) {
  index.Assign(formula);
  Edit1->SetText(std::string(index.name, strnlen(index.name, sizeof index.name)));
  Edit1->SetEnabled(false);
  Edit1->SetColor(clBtnFace);
  Edit3->SetText(std::string(index.password, strnlen(index.password, sizeof index.password)));
  Edit2->SetText(std::string(index.description, strnlen(index.description, sizeof index.description)));
  CheckBox1->SetChecked((index.flags & kIndexHasPassword) != 0);
  CheckBox1Click(this);
  const uint32_t kind = index.flags & kIndexKindMask;
  if (kind == 0) RadioButton1->SetChecked(true);
  else if (kind == 2) RadioButton3->SetChecked(true);
  else RadioButton2->SetChecked(true);
  CheckBox2->SetVisible(kind == 1 || kind == 3);
  CheckBox2->SetChecked((kind == 1 || kind == 3) && (index.flags & kIndexOwnRange) != 0);
  FillParamGrid();
  RichEdit1->SetText(index.formulaText ? WithCrLf(index.formulaText) : std::string());
  Memo1->SetText(index.usageNotes ? WithCrLf(index.usageNotes) : std::string());
}

void TIndexEditorDlg::FillParamGrid() {
  for (uint32_t r = 1; r <= 16; ++r) {
    const CKvIndexParam *p = r <= index.paramCount ? &index.params[r - 1] : nullptr;
    StringGrid1->SetCells(1, int(r), p ? std::string(p->name, strnlen(p->name, sizeof p->name)) : "");
    StringGrid1->SetCells(2, int(r), p ? FormatIndexNumber(p->minimum) : "");
    StringGrid1->SetCells(3, int(r), p ? FormatIndexNumber(p->maximum) : "");
    StringGrid1->SetCells(4, int(r), p ? FormatIndexNumber(p->defaultValue) : "");
  }
  gridEditor_->Place();
}

bool TIndexEditorDlg::CheckAndTest() {
  index.paramCount = 0;
  char message[200];
  for (int r = 1; r <= 16; ++r) {
    const std::string name = GbkPrefix(StringGrid1->Cells(1, r), 31);
    if (name.empty()) continue;
    if (!ValidParamName(name)) {
      std::snprintf(message, sizeof message,
                    "参数 %d 名称错误。参数名称只能由字母、汉字、数字和下划线组成，并且首字符不能为数字。  ", r);
      StaticText1->SetCaption(message);
      return false;
    }
    if (index.FindParam(name.c_str()) >= 0) {
      std::snprintf(message, sizeof message, "参数 %d 名称与已有参数重复，请使用其它名称。  ", r);
      StaticText1->SetCaption(message);
      return false;
    }
    CKvIndexParam p{};
    SetGbkField(p.name, sizeof p.name, name);
    p.minimum = CellNumber(StringGrid1->Cells(2, r));
    p.maximum = CellNumber(StringGrid1->Cells(3, r));
    p.defaultValue = CellNumber(StringGrid1->Cells(4, r));
    if (p.minimum > p.maximum) {
      std::snprintf(message, sizeof message, "错误。参数 %d 的最小值必须小于等于最大值。  ", r);
      StaticText1->SetCaption(message);
      return false;
    }
    if (p.defaultValue < p.minimum || p.defaultValue > p.maximum) {
      std::snprintf(message, sizeof message, "错误。参数 %d 的缺省值必须介于最小值与最大值之间。  ", r);
      StaticText1->SetCaption(message);
      return false;
    }
    p.reserved = 1.0;
    p.value = p.defaultValue;
    index.AddParam(p);
  }
  FillParamGrid();
  RichEdit1->Perform(EM_SETSEL, 0, 0);
  if (RichEdit1->Text().empty()) {
    StaticText1->SetCaption("指标公式不能为空。");
    if (RichEdit1->CanFocus()) RichEdit1->SetFocus();
    return false;
  }
  StaticText1->SetCaption("");
  // The test compiles a copy: a failed compile clears the formula it runs
  // on, and the dialog's formula keeps its flags and fields whatever the
  // text holds.
  CKvIndex test;
  test.Assign(index);
  const bool compiled = test.CompileFromWindow(RichEdit1->Handle(), false);
  if (RichEdit1->CanFocus()) RichEdit1->SetFocus();
  if (!compiled) {
    char error[64];
    int32_t position = 0;
    uint32_t length = 0;
    test.GetError(error, &position, &length);
    StaticText1->SetCaption(error);
    RichEdit1->Perform(EM_SETSEL, WPARAM(position), LPARAM(position + int32_t(length)));
    return false;
  }
  CKvIndex text;
  text.Assign(test);  // the compiled text, upper-cased as the compiler keeps it
  std::swap(index.formulaText, text.formulaText);
  StaticText1->SetCaption("测试通过。");
  return true;
}

void TIndexEditorDlg::Button3Click(TObject *) { CheckAndTest(); }

void TIndexEditorDlg::Button1Click(TObject *) {
  if (Edit1->Enabled()) {
    const std::string name = Edit1->Text();
    const char *refusal = nullptr;
    if (name.empty()) refusal = "请指定指标的名称。  ";
    else if (library && library->FindIndex(GbkPrefix(name, 15).c_str())) refusal = "指标名称已被占用，请使用其它名称。  ";
    if (refusal) {
      MessageBoxA(Handle(), refusal, "错误", MB_ICONWARNING | MB_TOPMOST);
      if (Edit1->CanFocus()) Edit1->SetFocus();
      return;
    }
  }
  if (!CheckAndTest()) return;
  SetGbkField(index.name, sizeof index.name, Edit1->Text());
  SetGbkField(index.description, sizeof index.description, Edit2->Text());
  SetGbkField(index.password, sizeof index.password, CheckBox1->Checked() ? Edit3->Text() : std::string());
  index.flags &= ~(kIndexHasPassword | kIndexKindMask);
  if (CheckBox1->Checked()) index.flags |= kIndexHasPassword;
  const uint32_t kind = RadioButton2->Checked() ? 1 : RadioButton3->Checked() ? 2 : 0;
  index.flags |= kind;
  if (kind == 1) index.flags = CheckBox2->Checked() ? index.flags | kIndexOwnRange : index.flags & ~kIndexOwnRange;
  // Notes emptied in the memo are emptied in the formula too.
  if (index.usageNotes) index.usageNotes[0] = 0;
  index.SetUsageNotesFromWindow(Memo1->Handle());
  SetModalResult(mrOk);
}

void TIndexEditorDlg::InsertAtCaret(const std::string &text, int back) {
  if (RichEdit1->CanFocus()) RichEdit1->SetFocus();
  RichEdit1->Perform(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  if (back > 0) {
    DWORD start = 0, end = 0;
    RichEdit1->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int caret = std::max(0, int(end) - back);
    RichEdit1->Perform(EM_SETSEL, WPARAM(caret), LPARAM(caret));
  }
}

void TIndexEditorDlg::Button4Click(TObject *) {
  TIndexFunctionDlg picker(this);
  if (runPicker(picker) != mrOk || !picker.selected.name[0]) return;
  std::string text = IndexInsertTemplate(picker.selected);
  int back = 0;
  while (!text.empty() && text.back() == '#') {
    text.pop_back();
    ++back;
  }
  InsertAtCaret(text, back);
}

void TIndexEditorDlg::Button5Click(TObject *) {
  if (TabControl1->TabIndex() != 0) return;
  if (!ColorDialog1->Execute()) {
    if (RichEdit1->CanFocus()) RichEdit1->SetFocus();
    return;
  }
  InsertAtCaret(IndexColorOptionText(COLORREF(ColorDialog1->Color)), 0);
}

void TIndexEditorDlg::Button6Click(TObject *) {
  std::string commandLine = std::string("IEXPLORE.EXE ") + kIndexHelpAddress;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return;
  }
  if (reinterpret_cast<INT_PTR>(ShellExecuteA(Handle(), "open", kIndexHelpAddress, nullptr, nullptr, SW_SHOWNORMAL)) > 32)
    return;
  MessageBoxA(Handle(), "无法启动浏览器。  ", "错误", MB_ICONERROR | MB_TOPMOST);
}

void TIndexEditorDlg::CheckBox1Click(TObject *) {
  Edit3->SetEnabled(CheckBox1->Checked());
  Edit3->SetColor(CheckBox1->Checked() ? clWindow : clBtnFace);
}

void TIndexEditorDlg::RadioButtonClick(TObject *sender) {
  const auto *radio = dynamic_cast<TXPRadioButton *>(static_cast<TObject *>(sender));
  const bool overlay = radio && radio->Tag == 1;
  CheckBox2->SetVisible(overlay);
  if (!overlay) CheckBox2->SetChecked(false);
}

void TIndexEditorDlg::TabControl1Change(TObject *) {
  const bool formula = TabControl1->TabIndex() == 0;
  RichEdit1->SetVisible(formula);
  Memo1->SetVisible(!formula);
}

void TIndexEditorDlg::PopupMenu1Popup(TObject *) {
  DWORD start = 0, end = 0;
  RichEdit1->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const bool selection = end > start;
  const int length = GetWindowTextLengthA(RichEdit1->Handle());
  UndoItem->Enabled = RichEdit1->Perform(EM_CANUNDO, 0, 0) != 0;
  CutItem->Enabled = CopyItem->Enabled = DeleteItem->Enabled = selection;
  PasteItem->Enabled = platform::ClipboardHasText();
  SelectAllItem->Enabled = length > 0 && !(start == 0 && int(end) >= length);
}
