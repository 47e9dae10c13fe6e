// The formula editor, the function picker and the parameter, reference-line
// and text-input dialogs, driven on formulas made in code; their pictures
// go to <build>/pictures/.
#include <algorithm>

#include "formula/indexeditor.h"
#include "formula/indexfunction.h"
#include "formula/indexparamdlg.h"
#include "formula/inputtext.h"
#include "platform/winctrl.h"
#include "testing/common_dialog_recorder.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "tests/formula/index_dialog_support.h"

using namespace formula_test;
using testing_support::ViewHarness;

namespace {

class IndexDialogs : public testing::Test {
 protected:
  void SetUp() override {
    AddGroup(library_, "G", {MakeFormula("MA", "M:MA(C,N);", 2, "", "均线", {{"N", 5}}), MakeFormula("USED", "X:C;")});
  }
  // The formula box's selection in bytes.
  static std::pair<int, int> Selection(TIndexEditorDlg &editor) {
    DWORD start = 0, end = 0;
    editor.RichEdit1->Perform(EM_GETSEL, WPARAM(&start), LPARAM(&end));
    return {int(start), int(end)};
  }
  static void SetRow(TIndexEditorDlg &editor, int row, const std::vector<std::string> &cells) {
    for (size_t c = 0; c < cells.size(); ++c) editor.StringGrid1->SetCells(int(c) + 1, row, cells[c]);
  }
  static std::string Column(TIndexEditorDlg &editor, int col) {
    std::string out;
    for (int r = 1; r <= 16; ++r)
      if (!editor.StringGrid1->Cells(col, r).empty()) out += (out.empty() ? "" : ",") + editor.StringGrid1->Cells(col, r);
    return out;
  }

  ViewHarness harness_;
  MessageBoxRecorder boxes_{IDNO};
  CKvIndexManager library_;
};

// ---- editor ------------------------------------------------------------------------------------

TEST_F(IndexDialogs, TheParameterGridIsCheckedRowByRow) {
  struct Case {
    const char *what;
    std::vector<std::vector<std::string>> rows;  // rows 1, 2, ...; an empty row has no cells
    bool passes;
    std::string message;
    std::string names;  // column 1 afterwards
  } cases[] = {
      {"rows 1 and 3 close up", {{"A", "1", "9", "2"}, {}, {"B", "0", "5", "5"}}, true, "测试通过。", "A,B"},
      {"a row without a name is skipped whatever it holds", {{"", "1", "9", "2"}, {"X2", "1", "2", "1"}}, true,
       "测试通过。", "X2"},
      {"N and n", {{"N", "1", "9", "2"}, {"n", "1", "9", "2"}}, false,
       "参数 2 名称与已有参数重复，请使用其它名称。  ", "N,n"},
      {"a digit first", {{"2X", "1", "9", "2"}}, false,
       "参数 1 名称错误。参数名称只能由字母、汉字、数字和下划线组成，并且首字符不能为数字。  ", "2X"},
      {"Chinese names", {{"参数", "1", "9", "2"}}, true, "测试通过。", "参数"},
      {"min = max = default", {{"P", "5", "5", "5"}}, true, "测试通过。", "P"},
      {"default above the range", {{"P", "5", "5", "6"}}, false,
       "错误。参数 1 的缺省值必须介于最小值与最大值之间。  ", "P"},
      {"min above max", {{"P", "6", "5", "5"}}, false, "错误。参数 1 的最小值必须小于等于最大值。  ", "P"},
      {"text that is no number is 0", {{"P", "abc", "1", "0.50"}}, true, "测试通过。", "P"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TIndexEditorDlg editor(nullptr);
    editor.library = &library_;
    for (size_t r = 0; r < c.rows.size(); ++r) SetRow(editor, int(r) + 1, c.rows[r]);
    editor.RichEdit1->SetText("X:C;");
    EXPECT_EQ(editor.CheckAndTest(), c.passes);
    EXPECT_EQ(editor.StaticText1->Caption(), c.message);
    EXPECT_EQ(Column(editor, 1), c.names);
  }
  TIndexEditorDlg editor(nullptr);
  SetRow(editor, 2, {"P", "abc", "1", "0.50"});
  editor.RichEdit1->SetText("X:C+P;");
  EXPECT_TRUE(editor.CheckAndTest());
  EXPECT_EQ(Column(editor, 2) + "|" + Column(editor, 4), "0|0.5");  // normalised in row 1
  editor.RichEdit1->SetText("");
  EXPECT_FALSE(editor.CheckAndTest());
  EXPECT_EQ(editor.StaticText1->Caption(), "指标公式不能为空。");
}

// The error span is in bytes of the very text compiled, so it lands on the
// faulty name after Chinese text and line breaks.
TEST_F(IndexDialogs, ACompileErrorSelectsTheFaultySpanAfterChineseText) {
  TIndexEditorDlg editor(nullptr);
  const std::string text = "{中文说明}\r\n均线:MA(C,5);\r\nX:NOSUCH(C);";
  editor.RichEdit1->SetText(text);
  EXPECT_FALSE(editor.CheckAndTest());
  EXPECT_FALSE(editor.StaticText1->Caption().empty());
  EXPECT_NE(editor.StaticText1->Caption(), "测试通过。");
  const auto [start, end] = Selection(editor);
  EXPECT_EQ(text.substr(size_t(start), size_t(end - start)), "NOSUCH");
  EXPECT_EQ(editor.RichEdit1->SelText(), "NOSUCH");
}

TEST_F(IndexDialogs, InsertedTemplatesLeaveTheCaretWhereTypingGoesOnAndUndoTakesThemBack) {
  EXPECT_EQ(IndexColorOptionText(0x0000FF), ",COLOR0000FF");
  struct Case {
    const char *name;
    std::string text;
    int caret;  // after the insertion, from the start
  } cases[] = {
      {"DRAWTEXT", "X:C;DRAWTEXT(,,'')", 4 + 9},
      {"MA", "X:C;MA(,)", 4 + 3},
      {"CROSS", "X:C;CROSS(,)", 4 + 6},
      {"IF", "X:C;IF(,,)", 4 + 3},
      {"ABS", "X:C;ABS()", 4 + 4},
      {"CLOSE", "X:C;CLOSE", 4 + 5},
      {"COLORSTICK", "X:C;,COLORSTICK", 4 + 11},
      {"AND", "X:C; AND ", 4 + 5},
      {"\"\"", "X:C;\"$\"", 4 + 1},
      {"()", "X:C;()", 4 + 1},
      {"<=", "X:C;<=", 4 + 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TIndexEditorDlg editor(nullptr);
    editor.RichEdit1->SetText("X:C;");
    editor.RichEdit1->Perform(EM_SETSEL, 4, 4);
    editor.runPicker = [&](TIndexFunctionDlg &picker) {
      INDEXFUNC row{};
      if (!FindIndexFunction(c.name, &row))
        for (uint32_t i = 0; i < kIndexKeywordCount; ++i)
          if (std::string(GetIndexKeywordTable()[i].name) == c.name) row = GetIndexKeywordTable()[i];
      picker.selected = row;
      return int(mrOk);
    };
    editor.Button4Click(nullptr);
    EXPECT_EQ(editor.RichEdit1->Text(), c.text);
    EXPECT_EQ(Selection(editor), std::make_pair(c.caret, c.caret));
    EXPECT_TRUE(editor.RichEdit1->Perform(EM_CANUNDO) != 0);
    editor.RichEdit1->Perform(EM_UNDO);
    EXPECT_EQ(editor.RichEdit1->Text(), "X:C;");
  }

  CommonDialogRecorder colors;
  colors.QueueColor({true, RGB(255, 0, 0)});
  TIndexEditorDlg editor(nullptr);
  editor.RichEdit1->SetText("X:C;");
  editor.RichEdit1->Perform(EM_SETSEL, 3, 3);
  editor.Button5Click(nullptr);
  EXPECT_EQ(editor.RichEdit1->Text(), "X:C,COLOR0000FF;");
  // Nothing picked, or the notes tab shown: nothing is inserted.
  editor.runPicker = [](TIndexFunctionDlg &picker) {
    picker.ShowEntryHelp(-1);
    return int(mrOk);
  };
  editor.Button4Click(nullptr);
  editor.TabControl1->SetTabIndex(1);
  editor.Button5Click(nullptr);
  EXPECT_EQ(editor.RichEdit1->Text(), "X:C,COLOR0000FF;");
  EXPECT_EQ(colors.ColorRequests().size(), 1u);
}

TEST_F(IndexDialogs, OkStoresTheFieldsAndAnUncheckedPasswordBoxStoresNoPassword) {
  CKvIndex source;
  ASSERT_TRUE(source.Compile("M:MA(C,5);", true));
  std::strcpy(source.name, "USED");  // the library has it: an edited formula keeps its name
  std::strcpy(source.password, "old");
  source.flags = kIndexHasPassword | kIndexSystem | 1 | kIndexOwnRange;
  source.SetUsageNotes("旧的用法");
  TIndexEditorDlg editor(nullptr);
  editor.library = &library_;
  editor.LoadIndex(source);
  EXPECT_EQ(editor.Memo1->Text(), "旧的用法");
  editor.Memo1->SetText("");  // notes emptied stay empty
  EXPECT_FALSE(editor.Edit1->Enabled());
  EXPECT_TRUE(editor.RadioButton2->Checked());
  EXPECT_TRUE(editor.CheckBox2->Visible());
  EXPECT_TRUE(editor.CheckBox2->Checked());
  editor.CheckBox1->SetChecked(false);
  editor.Edit3->SetText("ignored");
  editor.Edit2->SetText("说明");
  editor.RichEdit1->SetText("X:NOSUCH;");
  editor.Button1Click(nullptr);  // a failed test keeps the dialog open
  EXPECT_EQ(editor.ModalResult(), mrNone);
  editor.RichEdit1->SetText("x:c;");
  editor.RadioButton3->SetChecked(true);
  editor.RadioButtonClick(editor.RadioButton3);
  EXPECT_FALSE(editor.CheckBox2->Visible());
  editor.Button1Click(nullptr);
  EXPECT_EQ(editor.ModalResult(), mrOk);
  EXPECT_TRUE(boxes_.Calls().empty());
  EXPECT_STREQ(editor.index.name, "USED");
  EXPECT_STREQ(editor.index.password, "");
  EXPECT_STREQ(editor.index.description, "说明");
  EXPECT_STREQ(editor.index.formulaText, "X:C;");
  EXPECT_STREQ(editor.index.usageNotes, "");
  // The system bit survives the failed test; kind 2 keeps bit 4 as it was.
  EXPECT_EQ(editor.index.flags, kIndexSystem | 2 | kIndexOwnRange);
}

TEST_F(IndexDialogs, ANewFormulaNeedsANameTheLibraryDoesNotHave) {
  TIndexEditorDlg editor(nullptr);
  editor.library = &library_;
  editor.RichEdit1->SetText("X:C;");
  editor.Button1Click(nullptr);
  editor.Edit1->SetText("used");
  editor.Button1Click(nullptr);
  editor.Edit1->SetText("FRESH");
  editor.CheckBox1->SetChecked(true);
  editor.Edit3->SetText("pw");
  editor.Button1Click(nullptr);
  ASSERT_EQ(boxes_.Calls().size(), 2u);
  EXPECT_EQ(boxes_.Calls()[0].text, "请指定指标的名称。  ");
  EXPECT_EQ(boxes_.Calls()[1].text, "指标名称已被占用，请使用其它名称。  ");
  EXPECT_EQ(boxes_.Calls()[1].caption, "错误");
  EXPECT_EQ(editor.ModalResult(), mrOk);
  EXPECT_STREQ(editor.index.password, "pw");
  EXPECT_EQ(editor.index.flags, kIndexHasPassword);
}

TEST_F(IndexDialogs, HelpStartsTheBrowserThenOpensThePageAndTellsWhenBothFail) {
  ShellRecorder shell;
  TIndexEditorDlg editor(nullptr);
  editor.Button6Click(nullptr);
  ASSERT_EQ(shell.Starts().size(), 1u);
  EXPECT_EQ(shell.Starts()[0].commandLine, std::string("IEXPLORE.EXE ") + kIndexHelpAddress);
  EXPECT_TRUE(shell.Opens().empty());
  shell.QueueStartFailure(ERROR_FILE_NOT_FOUND);
  editor.Button6Click(nullptr);
  ASSERT_EQ(shell.Opens().size(), 1u);
  EXPECT_EQ(shell.Opens()[0].file, kIndexHelpAddress);
  EXPECT_TRUE(boxes_.Calls().empty());
  shell.QueueStartFailure(ERROR_FILE_NOT_FOUND);
  shell.QueueOpenResult(SE_ERR_NOASSOC);
  editor.Button6Click(nullptr);
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "无法启动浏览器。  ");
}

TEST_F(IndexDialogs, ThePopupMenuOffersWhatTheFormulaBoxCanDo) {
  ShellRecorder shell;
  TIndexEditorDlg editor(nullptr);
  editor.PopupMenu1Popup(nullptr);
  EXPECT_FALSE(editor.CutItem->Enabled);
  EXPECT_FALSE(editor.SelectAllItem->Enabled);
  EXPECT_FALSE(editor.PasteItem->Enabled);
  editor.RichEdit1->SetText("X:C;");
  editor.RichEdit1->Perform(EM_SETSEL, 0, 1);
  shell.SetClipboard("Y");
  editor.PopupMenu1Popup(nullptr);
  EXPECT_TRUE(editor.CutItem->Enabled && editor.CopyItem->Enabled && editor.DeleteItem->Enabled);
  EXPECT_TRUE(editor.PasteItem->Enabled);
  EXPECT_TRUE(editor.SelectAllItem->Enabled);
  editor.SelectAllItem->Click();
  editor.PopupMenu1Popup(nullptr);
  EXPECT_FALSE(editor.SelectAllItem->Enabled);  // already all selected
}

// ---- function picker -----------------------------------------------------------------------

TEST_F(IndexDialogs, ThePickerListsEachCategoryAndFindsOperatorsInTheKeywordTable) {
  TIndexFunctionDlg picker(nullptr);
  EXPECT_EQ(picker.ListBox2->Count(), 136);
  EXPECT_EQ(picker.ListBox2->ItemIndex(), 0);
  struct Case {
    int category, count;
  } cases[] = {{1, 12}, {9, 15}, {10, 4}, {0, 136}};
  for (const Case &c : cases) {
    picker.ListBox1->SetItemIndex(c.category);
    picker.ListBox1Click(nullptr);
    EXPECT_EQ(picker.ListBox2->Count(), c.count) << IndexCategoryName(uint32_t(c.category));
  }
  INDEXFUNC abs{};
  ASSERT_TRUE(FindIndexFunction("ABS", &abs));
  EXPECT_EQ(IndexFunctionEntryText(abs), "ABS" + std::string(13, ' ') + "求绝对值。");
  for (int i = 0; i < picker.ListBox2->Count(); ++i) EXPECT_LE(picker.ListBox2->Items()->Get(i).size(), 63u);

  auto pick = [&](const std::string &name) {
    for (int i = 0; i < picker.ListBox2->Count(); ++i)
      if (picker.ListBox2->Items()->Get(i).rfind(name + " ", 0) == 0) {
        picker.ListBox2->SetItemIndex(i);
        picker.ListBox2Click(nullptr);
        return;
      }
    ADD_FAILURE() << name;
  };
  pick("<=");
  EXPECT_STREQ(picker.selected.name, "<=");
  pick("SAR_KIVO");
  EXPECT_EQ(picker.Memo1->Text().rfind("抛物转向（泽乐传统算法）。", 0), 0u);
  // The category already shown is not built again: the selection stays.
  const int kept = picker.ListBox2->ItemIndex();
  picker.ListBox1Click(nullptr);
  EXPECT_EQ(picker.ListBox2->ItemIndex(), kept);
  picker.ShowEntryHelp(-1);
  EXPECT_EQ(picker.selected.name[0], 0);
}

// ---- parameters, reference lines, text input ----------------------------------------------------

CKvIndex *WithParams(int count) {
  std::vector<std::pair<std::string, double>> params;
  std::string text = "X:C";
  for (int i = 0; i < count; ++i) {
    params.push_back({i ? "LONGERNAME" + std::to_string(i) : "N", 5 + i});
    text += "+" + params.back().first;
  }
  CKvIndex *f = MakeFormula("P" + std::to_string(count), text + ";", 0, "", "", params);
  f->SetUsageNotes("参数说明。");
  return f;
}

TEST_F(IndexDialogs, TheParameterDialogLaysOutItsRowsForEachCount) {
  std::unique_ptr<CKvIndex> none(WithParams(0)), three(WithParams(3)), all(WithParams(16));
  TIndexParamDlg empty(none.get(), nullptr, 8);
  EXPECT_EQ(empty.Caption(), "P0 指标参数（日线）");
  EXPECT_EQ(empty.Labels[0]->Caption(), "此指标无需设置参数。");
  EXPECT_FALSE(empty.Edits[0]->Visible());
  for (TControl *c : std::initializer_list<TControl *>{empty.CheckBox1, empty.Memo1, empty.Button2, empty.Button3})
    EXPECT_FALSE(c->Visible());
  EXPECT_EQ(empty.Button1->Left(), empty.ClientWidth() / 2 - empty.Button1->Width() / 2);
  EXPECT_EQ(empty.Button1->Top(), empty.Labels[0]->Top() + empty.Labels[0]->Height() + 8);
  EXPECT_EQ(empty.Height(), empty.Button1->Top() + empty.Button1->Height() + 40);

  TIndexParamDlg dialog(three.get(), nullptr, 13);
  EXPECT_EQ(dialog.Caption(), "P3 指标参数（120分）");
  EXPECT_EQ(dialog.Labels[2]->Caption(), "LONGERNAME2:");
  EXPECT_TRUE(dialog.Edits[2]->Visible());
  EXPECT_FALSE(dialog.Edits[3]->Visible());
  EXPECT_EQ(dialog.Edits[1]->Text(), "6");
  const int widest = std::max({dialog.Labels[0]->Width(), dialog.Labels[1]->Width(), dialog.Labels[2]->Width()});
  EXPECT_EQ(dialog.Edits[0]->Left(), dialog.Labels[0]->Left() + widest + 3);
  EXPECT_EQ(dialog.Edits[0]->Left() + dialog.Edits[0]->Width(), 74 + 70);  // the right edge stays
  EXPECT_EQ(dialog.Edits[1]->Left() + dialog.Edits[1]->Width(), 242 + 70);
  EXPECT_EQ(dialog.CheckBox1->Top(), dialog.Edits[2]->Top() + dialog.Edits[2]->Height() + 11);
  EXPECT_EQ(dialog.Memo1->Top(), dialog.CheckBox1->Top() + 27);
  EXPECT_EQ(dialog.Button3->Top(), dialog.Memo1->Top() + dialog.Memo1->Height() + 8);
  EXPECT_EQ(dialog.Memo1->Text(), "参数说明。");

  TIndexParamDlg full(all.get(), nullptr, 0);
  EXPECT_TRUE(full.Edits[15]->Visible());
  EXPECT_EQ(full.CheckBox1->Top(), full.Edits[14]->Top() + full.Edits[14]->Height() + 11);
}

TEST_F(IndexDialogs, ParameterValuesOutsideTheirRangeAreQuestioned) {
  std::unique_ptr<CKvIndex> three(WithParams(3));  // ranges 0..100
  three->params[0].minimum = 1;
  TIndexParamDlg dialog(three.get(), nullptr, 8);
  dialog.Edits[0]->SetText("0");
  dialog.Edits[1]->SetText("abc");  // no number: 0, within 0..100
  dialog.Edits[2]->SetText("250");
  boxes_.QueueAnswer(IDYES);
  dialog.Button1Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrNone);
  EXPECT_EQ(dialog.Edits[0]->Text(), "0");
  boxes_.QueueAnswer(IDNO);
  boxes_.QueueAnswer(IDNO);
  dialog.Button1Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrOk);
  EXPECT_EQ(dialog.Edits[0]->Text(), "1");
  EXPECT_EQ(dialog.Edits[2]->Text(), "100");
  EXPECT_EQ(dialog.Value(1), 0);
  ASSERT_EQ(boxes_.Calls().size(), 3u);
  EXPECT_EQ(boxes_.Calls()[0].text, "参数 1 超出了允许的取值范围，是否进行修改？如果点击“否”程序将自动修正。");
  EXPECT_EQ(boxes_.Calls()[2].text, "参数 3 超出了允许的取值范围，是否进行修改？如果点击“否”程序将自动修正。");
  EXPECT_EQ(boxes_.Calls()[2].caption, "警告");

  dialog.Edits[1]->SetText("");
  dialog.Button1Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrNone);
  EXPECT_EQ(boxes_.Calls().back().text, "参数值不能留空。  ");
  dialog.Button3Click(nullptr);
  EXPECT_EQ(dialog.Edits[0]->Text() + "," + dialog.Edits[1]->Text() + "," + dialog.Edits[2]->Text(), "5,6,7");
  EXPECT_EQ(dialog.Edits[3]->Text(), "");
  EXPECT_EQ(ReadIndexNumber("  12.5kg"), 12.5);
  EXPECT_EQ(ReadIndexNumber("-.5"), -0.5);
  EXPECT_EQ(ReadIndexNumber("inf"), 0);
}

TEST_F(IndexDialogs, ReferenceLineCellsAreCleanedToTheirNumbers) {
  struct Case {
    const char *cell, *kept;
  } cases[] = {{"80", "80"},    {" 20.50 ", "20.50"}, {"-20", "-20"}, {"x", ""},   {"1-2", "1"},
               {"1.2.3", "1.2"}, {".5", ".5"},         {"a+3b", "+3"}, {"-", ""},   {"--5", ""}};
  for (const Case &c : cases) EXPECT_EQ(CleanRefLineText(c.cell), c.kept) << c.cell;

  CKvIndex formula;
  formula.AddRefLine(50, 0);
  formula.AddRefLine(70.5, 1);
  TIndexRefLineDlg dialog(&formula, nullptr);
  EXPECT_EQ(dialog.StringGrid1->Cells(1, 2), "70.5");
  EXPECT_EQ(dialog.StringGrid2->Cells(0, 8), "  16");
  const char *cells[] = {"80", " 20.50 ", "-20", "x", "80"};
  for (int r = 0; r < 8; ++r) dialog.StringGrid1->SetCells(1, r + 1, r < 5 ? cells[r] : "");
  dialog.StringGrid2->SetCells(1, 3, ".5");
  dialog.Button1Click(nullptr);
  EXPECT_EQ(dialog.ModalResult(), mrOk);
  ASSERT_EQ(formula.refLineCount, 4u);
  const std::pair<double, int> expected[] = {{80, 0}, {20.5, 2}, {-20, 0}, {0.5, 1}};
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(formula.refLines[i].value, expected[i].first);
    EXPECT_EQ(formula.refLines[i].decimals, expected[i].second);
  }
}

// Enter and Esc typed in a grid's cell reach the dialog's buttons.
TEST_F(IndexDialogs, EnterAndEscInAGridCloseTheReferenceLineDialog) {
  CKvIndex formula;
  TIndexRefLineDlg ok(&formula, nullptr);
  EXPECT_EQ(harness_.RunModal(&ok, [&] {
    ok.CellEditor(0)->Edit()->SetFocus();
    harness_.Type("30");
    harness_.Key(VK_RETURN);
  }), mrOk);
  EXPECT_EQ(formula.refLineCount, 1u);
  TIndexRefLineDlg cancel(&formula, nullptr);
  EXPECT_EQ(harness_.RunModal(&cancel, [&] { harness_.Key(VK_ESCAPE); }), mrCancel);
}

TEST_F(IndexDialogs, TheInputBoxShowsWhatItsModeAsks) {
  TInputTextDlg input(nullptr);
  input.Edit1->SetText("old");
  input.Setup("输入密码", "请输入指标公式的密码:", "所有加密指标均使用此密码", 1, 31);
  EXPECT_EQ(input.Caption(), "输入密码");
  EXPECT_EQ(input.Edit1->Text(), "");
  EXPECT_EQ(input.Edit1->PasswordChar(), '*');
  EXPECT_EQ(input.Edit1->MaxLength(), 31);
  EXPECT_TRUE(input.CheckBox1->Visible());
  EXPECT_TRUE(input.CheckBox1->Checked());
  input.Setup("任意天技术分析", "请输入天数:", nullptr, 2, -1);
  EXPECT_FALSE(input.Edit1->Visible());
  EXPECT_FALSE(input.CheckBox1->Visible());
  EXPECT_EQ(input.Edit1->MaxLength(), 0);
  input.Setup("新建指标分组", "请输入指标分组名称:", nullptr, 0, 31);
  EXPECT_EQ(harness_.RunModal(&input, [&] {
    harness_.Type("指标组");
    harness_.Key(VK_RETURN);
  }), mrOk);
  EXPECT_EQ(input.Edit1->Text(), "指标组");
}

// ---- pictures ----------------------------------------------------------------------------------

QImage Shown(ViewHarness &harness, TForm &form) {
  form.Show();
  harness.Pump();
  QImage image = harness.Render(form.Handle());
  form.Hide();
  return image;
}

TEST_F(IndexDialogs, PicturesOfTheDialogs) {
  TIndexEditorDlg editor(nullptr);
  editor.LoadIndex(*library_.FindIndex("MA"));
  editor.Edit2->SetText("移动平均线");
  QImage plain = Shown(harness_, editor);
  harness_.SavePng(plain, "formula-editor");
  // The grid's header and the red message: the fixed row is painted in the
  // fixed colour, the message text in red.
  editor.RichEdit1->SetText("{说明}\r\nM:MA(C,N);\r\nX:NOSUCH(C);");
  EXPECT_FALSE(editor.CheckAndTest());
  QImage error = Shown(harness_, editor);
  harness_.SavePng(error, "formula-editor-error");
  bool red = false;
  for (int x = editor.StaticText1->Left(); x < editor.StaticText1->Left() + 200 && !red; ++x)
    for (int y = editor.StaticText1->Top(); y < editor.StaticText1->Top() + editor.StaticText1->Height(); ++y)
      red = red || error.pixelColor(x, y) == QColor(255, 0, 0);
  EXPECT_TRUE(red);

  TIndexFunctionDlg picker(nullptr);
  harness_.SavePng(Shown(harness_, picker), "function-picker");
  std::unique_ptr<CKvIndex> none(WithParams(0)), three(WithParams(3)), all(WithParams(16));
  TIndexParamDlg p0(none.get(), nullptr, 8), p3(three.get(), nullptr, 8), p16(all.get(), nullptr, 8);
  harness_.SavePng(Shown(harness_, p0), "param-dialog-none");
  harness_.SavePng(Shown(harness_, p3), "param-dialog-3");
  harness_.SavePng(Shown(harness_, p16), "param-dialog-16");
  CKvIndex lines;
  for (double v : {80.0, 50.0, 20.0}) lines.AddRefLine(v, 0);
  TIndexRefLineDlg refline(&lines, nullptr);
  harness_.SavePng(Shown(harness_, refline), "refline-dialog");
  TInputTextDlg input(nullptr);
  input.Setup("输入密码", "请输入指标 MACD 的密码:", "所有加密指标均使用此密码", 1, 31);
  input.Edit1->SetText("secret");
  harness_.SavePng(Shown(harness_, input), "input-text-password");
}

}  // namespace
