// The formula language: statements, programs, options, reference lines,
// drawing statements, and every compile fault with its message and span.
#include <cstdio>
#include <string>

#include "core/emem.h"
#include "tests/formula/formula_support.h"

using namespace formula_test;

namespace {

// The program of an expression as text: constants, P<n> parameters, call
// names, V<n> statements (SELF for the own name), R<n> references, 'TEXT'
// and the operators.
std::string Rpn(const CKvIndexExpression &e) {
  static const char *const kOps[] = {"(", "?", "?", "?", "*", "/", "+", "-", "<", ">", "<=", ">=", "=", "<>", "AND", "OR"};
  std::string out;
  for (uint32_t i = 0; i < e.TokenCount(); ++i) {
    const INDEXTOKEN &t = e.Tokens()[i];
    char item[48];
    switch (t.kind) {
      case kOperandOperator: std::snprintf(item, sizeof item, "%s", t.op < 16 ? kOps[t.op] : "?"); break;
      case kOperandConstant: std::snprintf(item, sizeof item, "%g", t.value); break;
      case kOperandParam: std::snprintf(item, sizeof item, "P%d", t.index); break;
      case kOperandCall: std::snprintf(item, sizeof item, "%s", e.GetCall(uint32_t(t.index))->name); break;
      case kOperandVariable:
        if (t.index < 0) std::snprintf(item, sizeof item, "SELF");
        else std::snprintf(item, sizeof item, "V%d", t.index);
        break;
      case kOperandReference: std::snprintf(item, sizeof item, "R%d", t.index); break;
      default: std::snprintf(item, sizeof item, "'%.7s'", t.text); break;
    }
    if (!out.empty()) out += ' ';
    out += item;
  }
  return out;
}

CKvIndexParam Param(const char *name, double value) {
  CKvIndexParam p{};
  std::snprintf(p.name, sizeof p.name, "%s", name);
  p.minimum = 0;
  p.maximum = 100;
  p.defaultValue = value;
  p.value = value;
  return p;
}

class CompilerTest : public ::testing::Test {
 protected:
  CompilerTest() {
    market.Add(0, "000001");  // SH000001
    market.Add(1, "399001");  // SZ399001
    market.Add(3, "CU1009");
  }
  // The program of the last statement of a formula.
  std::string Program(const std::string &text) {
    CKvIndex f;
    EXPECT_TRUE(f.Compile(text.c_str(), true)) << text << " -> " << f.errorText << " at " << f.errorPos;
    if (f.variables.empty()) return "<none>";
    return Rpn(*f.variables.back()->expression);
  }

  FakeMarket market;
};

TEST_F(CompilerTest, StatementKinds) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("A:C;B:=A*2;B+1;", true));
  ASSERT_EQ(f.VariableCount(), 3u);
  EXPECT_STREQ(f.variables[0]->name, "A");
  EXPECT_EQ(f.variables[0]->flags & kVariableOutput, kVariableOutput);
  EXPECT_STREQ(f.variables[1]->name, "B");
  EXPECT_EQ(f.variables[1]->flags & kVariableOutput, 0u);
  EXPECT_STREQ(f.variables[2]->name, "");
  EXPECT_EQ(f.variables[2]->flags & kVariableOutput, kVariableOutput);
  EXPECT_EQ(Rpn(*f.variables[2]->expression), "V1 1 +");
  EXPECT_EQ(f.variables[0]->precision, 4);
  EXPECT_EQ(f.variables[0]->lineThick, 1);
}

// Precedence, associativity, signs and operands in the reverse Polish program.
TEST_F(CompilerTest, Programs) {
  const std::string defs = "A:1;B:2;D:3;";
  const struct {
    const char *expression;
    const char *program;
  } cases[] = {
      {"1+2*3-4/2", "1 2 3 * + 4 2 / -"},
      {"A OR B AND D", "V0 V1 V2 AND OR"},
      {"A AND B OR D", "V0 V1 AND V2 OR"},
      {"A<B=D", "V0 V1 < V2 ="},
      {"A=B<D", "V0 V1 V2 < ="},
      {"A<>B>=D", "V0 V1 V2 >= <>"},
      {"1-2-3", "1 2 - 3 -"},
      {"8/4/2", "8 4 / 2 /"},
      {"(1+2)*3", "1 2 + 3 *"},
      {"-C", "0 C -"},
      {"-A*B", "0 V0 V1 * -"},
      {"A=-B", "V0 0 V1 - ="},
      {"A AND -B", "V0 0 V1 - AND"},
      {"(-A)", "0 V0 -"},
      {"+C", "C"},
      {"C*0.5", "C 0.5 *"},
      {".5+C", "0.5 C +"},
      {"MA(C,5)+REF(C,1)", "MA REF +"},
      {"'abc'", "'ABC'"},
      {"'ABCDEFGHIJ'", "'ABCDEFG'"},
      {"C AND (O OR H)", "C O H OR AND"},
      {"()", ""},
      {"\"SH000001$CLOSE\"*2", "R0 2 *"},
      {"X", "SELF"},
      {"X+BARSCOUNT", "SELF BARSCOUNT +"},
      {"1 {note} + 2", "1 2 +"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Program(defs + "X:" + c.expression + ";"), c.program) << c.expression;
}

TEST_F(CompilerTest, NamesResolveToParametersThenStatementsThenBuiltinsThenOwnName) {
  CKvIndex f;
  ASSERT_TRUE(f.AddParam(Param("C", 5)));
  ASSERT_TRUE(f.Compile("H:C;X:H+O+X;", true));
  EXPECT_EQ(Rpn(*f.variables[0]->expression), "P0");
  EXPECT_EQ(Rpn(*f.variables[1]->expression), "V0 O + SELF +");
  // A statement name may be the name of a built-in: the bare name is then
  // the statement, and calls of the built-in are refused.
  ASSERT_TRUE(f.Compile("MA:C;X:MA*2;", true));
  EXPECT_EQ(Rpn(*f.variables[1]->expression), "V0 2 *");
}

TEST_F(CompilerTest, Options) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("X:C,STICK,PRECIS2,LINETHICK3,COLORFF0000;Y:C,COLORRED,COLORBLUE,CIRCLEDOT,POINTDOT;"
                        "Z:C,COLOR0000FF;W:C,COLORSTICK;",
                        true));
  const CKvIndexVariable &x = *f.variables[0];
  EXPECT_EQ(x.style, kStyleStick);
  EXPECT_EQ(x.precision, 2);
  EXPECT_EQ(x.lineThick, 3);
  EXPECT_EQ(x.color, 0xFF0000u);
  EXPECT_EQ(x.flags & (kVariableHasColor | kVariableColorSlot), kVariableHasColor);
  EXPECT_EQ(f.variables[1]->color, 0xFF0000u);  // the later word wins
  EXPECT_EQ(f.variables[1]->style, kStylePointDot);
  EXPECT_EQ(f.variables[2]->color, 0x0000FFu);  // BBGGRR: red
  EXPECT_EQ(f.variables[3]->style, kStyleColorStick);
  EXPECT_EQ(f.variables[3]->flags & kVariableHasColor, 0u);

  const struct {
    const char *word;
    COLORREF value;
  } colors[] = {{"RED", 0x0000FF},     {"BLUE", 0xFF0000},    {"GRAY", 0x808080},   {"LIME", 0x00FF00},
                {"NAVY", 0x800000},    {"TEAL", 0x808000},    {"CYAN", 0xFFFF00},   {"AQUA", 0xFFFF00},
                {"GREEN", 0x00FF00},   {"WHITE", 0xFFFFFF},   {"OLIVE", 0x008080},  {"BROWN", 0x000084},
                {"YELLOW", 0x00FFFF},  {"SILVER", 0xC0C0C0},  {"MAROON", 0x000080}, {"PURPLE", 0x800080},
                {"MAGENTA", 0xFF00FF}, {"FUCHSIA", 0xFF00FF}, {"LIRED", 0x8484FF},  {"LIGREEN", 0x00FF84},
                {"LIBLUE", 0xFFFF00},  {"a0b1c2", 0xA0B1C2}};
  for (const auto &c : colors) {
    ASSERT_TRUE(f.Compile((std::string("X:C,COLOR") + c.word).c_str(), true)) << c.word;
    EXPECT_EQ(f.variables[0]->Color(), c.value) << c.word;
  }
}

TEST_F(CompilerTest, SysColorKeepsTheSlotInStatementsAndTheValueInDrawings) {
  COLORREF table[kIndexColorSlots] = {};
  COLORREF *previous = SetIndexColorTable(table);
  table[5] = 0x112233;
  table[63] = 0x445566;
  CKvIndex f;
  ASSERT_TRUE(f.Compile("X:C,COLORSYSCOLOR5;Y:C,COLORSYSCOLOR63;Z:C,COLORSYSCOLOR5,COLORRED;"
                        "VERTLINE(C>O),COLORSYSCOLOR05;",
                        true));
  EXPECT_EQ(f.variables[0]->flags & (kVariableHasColor | kVariableColorSlot), kVariableHasColor | kVariableColorSlot);
  EXPECT_EQ(f.variables[0]->colorSlot, table + 5);
  EXPECT_EQ(f.variables[1]->colorSlot, table + 63);
  EXPECT_EQ(f.variables[2]->flags & kVariableColorSlot, 0u);
  EXPECT_EQ(f.variables[2]->colorSlot, nullptr);
  EXPECT_EQ(f.variables[2]->Color(), 0x0000FFu);
  table[5] = 0x778899;  // the display scheme changes
  EXPECT_EQ(f.variables[0]->Color(), 0x778899u);
  EXPECT_EQ(f.draws[0]->color, 0x112233u);
  SetIndexColorTable(previous);
}

TEST_F(CompilerTest, ReferenceLines) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("X:C;REFLINE:0,0,-50.25, + 20 {twenty} ,.5;", true));
  ASSERT_EQ(f.refLineCount, 4u);
  EXPECT_EQ(f.refLines[0].value, 0);
  EXPECT_EQ(f.refLines[0].decimals, 0);
  EXPECT_EQ(f.refLines[1].value, -50.25);
  EXPECT_EQ(f.refLines[1].decimals, 2);
  EXPECT_EQ(f.refLines[2].value, 20);
  EXPECT_EQ(f.refLines[3].value, 0.5);
  EXPECT_EQ(f.refLines[3].decimals, 1);
  ASSERT_TRUE(f.Compile("REFLINE:;X:C;", true));
  EXPECT_EQ(f.refLineCount, 0u);
  // Beyond 16 lines the values are passed over.
  std::string many = "REFLINE:";
  for (int i = 1; i <= 20; ++i) many += std::to_string(i) + (i < 20 ? "," : ";");
  ASSERT_TRUE(f.Compile(many.c_str(), true));
  EXPECT_EQ(f.refLineCount, 16u);
  EXPECT_EQ(f.refLines[15].value, 16);
}

TEST_F(CompilerTest, DrawingStatements) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("DRAWTEXT(C>O,L,'up \xB5\xE3 a'),ALIGN2,VALIGN0,FONTSIZE12,COLORRED;"
                        "DRAWICON(C<O,H,12);DRAWKLINE(H,O,L,C);"
                        "PARTLINE(C>O,C),CIRCLEDOT,LINETHICK3;POLYLINE(C>O,C);DRAWBKBMP(1,'pic.bmp');",
                        true));
  ASSERT_EQ(f.draws.size(), 6u);
  const CKvIndexDraw &text = *f.draws[0];
  EXPECT_EQ(text.kind, kDrawText);
  EXPECT_STREQ(text.text, "UP \xB5\xE3 A");  // upper-cased, the GBK character kept
  EXPECT_EQ(text.align, 2);
  EXPECT_EQ(text.valign, 0);
  EXPECT_EQ(text.fontSize, 12);
  EXPECT_EQ(text.color, 0x0000FFu);
  ASSERT_TRUE(text.args[0] && text.args[1]);
  EXPECT_FALSE(text.args[2]);
  EXPECT_EQ(f.draws[1]->IconNumber(), 12u);
  EXPECT_EQ(f.draws[1]->color, 0xFFFFFFFFu);
  EXPECT_FALSE(f.draws[2]->args[0]);
  EXPECT_EQ(Rpn(*f.draws[2]->args[1]), "H");
  EXPECT_EQ(Rpn(*f.draws[2]->args[4]), "C");
  EXPECT_EQ(f.draws[3]->dotStyle, kStyleCircleDot);
  EXPECT_EQ(f.draws[3]->lineThick, 3);
  EXPECT_EQ(f.draws[3]->flags & kIndexFullRecalcOnly, 0u);
  EXPECT_EQ(f.draws[4]->flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);
  EXPECT_STREQ(f.draws[5]->text, "PIC.BMP");
  EXPECT_EQ(f.flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);
  EXPECT_TRUE(f.variables.empty());

  // 259 bytes of text are the limit (whatever the message says).
  const std::string longest(259, 'A');
  ASSERT_TRUE(f.Compile(("DRAWTEXT(1,C,'" + longest + "');").c_str(), true));
  EXPECT_EQ(std::string(f.draws[0]->text), longest);
  ASSERT_FALSE(f.Compile(("DRAWTEXT(1,C,'" + longest + "A');").c_str(), true));
  EXPECT_STREQ(f.errorText, "文字长度不能超过256（128个汉字）。");
  EXPECT_EQ(f.errorPos, 14);
  EXPECT_EQ(f.errorLen, 260u);
}

TEST_F(CompilerTest, FullRecalculationMarks) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("A:C;B:MA(ZIG(3,5),2);D:SAR(10,2,20);E:REF(C,1);", true));
  EXPECT_EQ(f.variables[0]->flags & kIndexFullRecalcOnly, 0u);
  EXPECT_EQ(f.variables[1]->flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);
  EXPECT_EQ(f.variables[2]->flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);
  EXPECT_EQ(f.variables[3]->flags & kIndexFullRecalcOnly, 0u);
  EXPECT_EQ(f.flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);
  ASSERT_TRUE(f.Compile("A:C;", true));
  EXPECT_EQ(f.flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);  // never removed by a compile
  CKvIndex g;
  ASSERT_TRUE(g.Compile("DRAWTEXT(BACKSET(C>O,2),L,'X');", true));
  EXPECT_EQ(g.flags & kIndexFullRecalcOnly, kIndexFullRecalcOnly);
}

TEST_F(CompilerTest, TextIsUpperCasedAfterLeadingComments) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("  {Keep me} x:c+o {and me};", true));
  EXPECT_STREQ(f.formulaText, "  {Keep me} X:C+O {AND ME};");
  EXPECT_STREQ(f.variables[0]->name, "X");
  // A trail byte in the range of the small letters stays as it is.
  ASSERT_TRUE(f.Compile("a\x81\x61:c;", true));
  EXPECT_STREQ(f.variables[0]->name, "A\x81\x61");
}

TEST_F(CompilerTest, CommentsWhereTheyMayStand) {
  CKvIndex f;
  EXPECT_TRUE(f.Compile("{a}X{b}:C {c} ,{d}PRECIS2{e},COLORRED{f} ;REFLINE:{g}1{h},2;", true))
      << f.errorText << " at " << f.errorPos;
  EXPECT_TRUE(f.Compile("X: {c}C;", true)) << f.errorText << " at " << f.errorPos;
}

TEST_F(CompilerTest, NameLimits) {
  CKvIndex f;
  // Seven GBK characters and a letter make 15 bytes; eight characters 16.
  const std::string seven = "\xB2\xE2\xCA\xD4\xB2\xE2\xCA\xD4\xB2\xE2\xCA\xD4\xB2\xE2";
  ASSERT_TRUE(f.Compile((seven + "A:C;").c_str(), true)) << f.errorText;
  EXPECT_EQ(std::string(f.variables[0]->name), seven + "A");
  ASSERT_FALSE(f.Compile((seven + "\xB2\xE2:C;").c_str(), true));
  EXPECT_STREQ(f.errorText, "变量名太长，名称最长为 15 个字符。");
  EXPECT_EQ(f.errorPos, 0);
  EXPECT_EQ(f.errorLen, 16u);
  // Parameter names may have 31 bytes, but only 15 can be written.
  ASSERT_TRUE(f.AddParam(Param("ABCDEFGHIJKLMNOPQ", 1)));
  ASSERT_FALSE(f.Compile("X:ABCDEFGHIJKLMNOPQ;", true));
  EXPECT_STREQ(f.errorText, "变量未定义。");
  EXPECT_EQ(f.errorPos, 2);
  EXPECT_EQ(f.errorLen, 17u);
}

TEST_F(CompilerTest, ReferencesAndTrust) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("X:MA(\"SH000001$CLOSE\",5)+\" cu1009 $ vol \";", false)) << f.errorText;
  const CKvIndexExpression &e = *f.variables[0]->expression;
  ASSERT_EQ(e.ReferenceCount(), 1u);
  const CKvIndexRefother &vol = *e.GetReference(0);
  EXPECT_STREQ(vol.code, "CU1009");
  EXPECT_EQ(vol.market, 255);
  EXPECT_EQ(vol.agent, -1);
  EXPECT_EQ(vol.field, FindIndexFunctionImpl("VOL"));
  const CKvIndexRefother &index = *e.GetCall(0)->args->GetReference(0);
  EXPECT_STREQ(index.code, "000001");
  EXPECT_EQ(index.market, 0);

  // Only an untrusted compile asks whether the instrument exists, and the
  // SH and SZ forms look in their own market only.
  const char *missing[] = {"X:\"XX9999$CLOSE\";", "X:\"SZ000001$CLOSE\";", "X:\"SH399001$CLOSE\";"};
  for (const char *text : missing) {
    EXPECT_TRUE(f.Compile(text, true)) << text;
    ASSERT_FALSE(f.Compile(text, false)) << text;
    EXPECT_STREQ(f.errorText, "错误，指定的品种不存在。");
    EXPECT_EQ(f.errorPos, 3);
  }
  EXPECT_TRUE(f.Compile("X:\"SZ399001$CLOSE\";", false));
}

TEST_F(CompilerTest, EmptyParenthesesCompileToNothingAndEvaluateToZero) {
  CKvIndex f;
  ASSERT_TRUE(f.Compile("X:();", true));
  EXPECT_EQ(f.variables[0]->expression->TokenCount(), 0u);
  INDEXCALC ctx;
  EXPECT_EQ(f.variables[0]->expression->Evaluate(&ctx), 0);
}

TEST_F(CompilerTest, AFailedCompileLeavesTheFormulaClearedWithTheSpanInTheWholeText) {
  CKvIndex f;
  std::snprintf(f.name, sizeof f.name, "KDJ");
  ASSERT_FALSE(f.Compile("A:C;REFLINE:20,80;B:NOPE;", true));
  EXPECT_STREQ(f.name, "");
  EXPECT_TRUE(f.variables.empty());
  EXPECT_EQ(f.refLineCount, 0u);
  EXPECT_STREQ(f.errorText, "变量未定义。");
  EXPECT_EQ(f.errorPos, 20);
  EXPECT_EQ(f.errorLen, 4u);
}

// Every fault: the message and the byte span it marks.
TEST_F(CompilerTest, Faults) {
  const std::string s32(32, '1');
  const struct {
    std::string text;
    const char *message;
    int32_t pos;
    uint32_t len;
    bool untrusted = false;
  } cases[] = {
      {"", "指标公式不能为空。", 0, 0},
      {" {just a comment} ", "指标公式不能为空。", 0, 0},
      {"A:B;B:1;", "变量未定义。", 2, 1},
      {"X:NOSUCHNAME;", "变量未定义。", 2, 10},
      {"X:ABCDEFGHIJKLMNOP;", "变量未定义。", 2, 16},
      {"X:ABCDEFGHIJKLMNOP(1);", "不支持此函数。", 2, 16},
      {"X:FOO(1);", "不支持此函数。", 2, 3},
      {"X:MA2(C,2);", "不支持此函数。", 2, 3},
      {"MA:C;X:MA(C,5);", "由于已定义了同名的变量，此函数不再可用。请更改同名变量的名称。", 7, 2},
      {"A:DRAWTEXT(C>O,L,'X');", "绘图函数应单独使用，且不能有名称。", 2, 8},
      {"X:C+VERTLINE(1);", "绘图函数应单独使用，且不能有名称。", 4, 8},
      {"X:C*-1;", "语法错误。", 4, 1},
      {"X:C+-1;", "语法错误。", 4, 1},
      {"X:--C;", "语法错误。", 2, 1},
      {"X:C*.5;", "运算符使用有误。", 4, 1},
      {"X:.A;", "语法错误。", 2, 1},
      {"X:C{x};", "错误字符。", 3, 1},
      {"X:{x}C;", "错误字符。", 2, 1},
      {"X:#;", "错误字符。", 2, 1},
      {"X:C+\x81\x20;", "错误字符。", 4, 1},
      {"X:AB\x81\x7F;", "错误字符。", 4, 1},
      {"X:C O;", "语法错误。", 4, 1},
      {"X:C (1);", "函数参数过多。", 5, 1},
      {"X:1(2);", "语法错误。", 3, 1},
      {"X:AND C;", "语法错误。", 2, 3},
      {"X:C OR OR O;", "语法错误。", 7, 2},
      {"X:C<=<=O;", "语法错误。", 5, 2},
      {"X:C AND;", "表达式意外结束。", 7, 1},
      {"X:C+", "表达式意外结束。", 4, 0},
      {"X:(C+1;", "括号不匹配。", 6, 1},
      {"X:((C)", "括号不匹配。", 6, 0},
      {"X:C);", "语法错误。", 3, 1},
      {"X:1.2.3;", "语法错误，数值格式不正确。", 5, 1},
      {"X:" + s32 + ";", "数值太长。", 2, 32},
      {"X:'ABC;", "缺少对应的 ' 。", 2, 1},
      {"X:C+'A';", "语法错误。", 4, 1},
      {"X:('A');", "语法错误。", 3, 1},
      {"X:MA(C);", "函数缺少参数。", 2, 2},
      {"X:MA();", "函数缺少参数。", 2, 2},
      {"X:MA(C,5,1);", "函数参数过多。", 9, 1},
      {"X:MA(C,5, 1 );", "函数参数过多。", 10, 1},
      {"X:MA(C,);", "语法错误。", 7, 1},
      {"X:MA(C,,5);", "语法错误。", 7, 1},
      {"X:MA(C;", "语法错误。", 6, 1},
      {"X:MA(C", "语法错误。", 6, 0},
      {"X:MA(,C);", "语法错误。", 5, 1},
      {"X:MA(C,\"SH000001$CLOSE\");", "语法错误。", 7, 1},
      {"X:\"SH000001CLOSE\";", "语法错误，目前仅支持跨品种数据调用。", 2, 1},
      {"X:\"SH000001$CLOSE;", "语法错误，无与之匹配的 \" 。", 2, 1},
      {"X:\"  $CLOSE\";", "语法错误，请指定需要引用数据的品种代码。", 5, 1},
      {"X:\"SH0000011$CLOSE\";", "语法错误，品种代码太长。", 3, 9},
      {"X:\"SX000001$CLOSE\";", "语法错误，品种代码太长。", 3, 8},
      {"X:\"CU1009$\";", "语法错误，请指定需要引用的数据类型。", 9, 1},
      {"X:\"CU1009$FOO\";", "语法错误，指定的数据类型不存在。", 10, 3},
      {"X:\"CU1009$BARSCOUNT\";", "语法错误，数据类型不可引用。", 10, 9},
      {"X:\"CU1009$MA\";", "语法错误，数据类型不可引用。", 10, 2},
      {"X:\"AL1009$CLOSE\";", "错误，指定的品种不存在。", 3, 6, true},
      {",C;", "语法错误。", 0, 1},
      {"ABCDEFGHIJKLMNOP:C;", "变量名太长，名称最长为 15 个字符。", 0, 16},
      {"N:C;", "变量名称与参数名称重复，请使用其它名称。", 0, 1},
      {"A:C;A:O;", "变量名称与已有变量相同，请使用其它名称。", 4, 1},
      {"A:;", "变量的表达式不能为空。", 0, 1},
      {"A:=  ;", "变量的表达式不能为空。", 0, 1},
      {"A:", "变量的表达式不能为空。", 0, 1},
      {"A: =C;", "语法错误。", 3, 1},
      {"REFLINE:1;REFLINE:2;", "参考线重复定义。", 10, 7},
      {"REFLINE:A;", "设置参考线时必须使用数值。", 8, 1},
      {"REFLINE:1,;", "设置参考线时必须使用数值。", 10, 1},
      {"REFLINE:1.2.3;", "语法错误，数值格式不正确。", 8, 5},
      {"REFLINE:12X;", "语法错误，数值格式不正确。", 10, 1},
      {"REFLINE:1 2;", "语法错误，数值格式不正确。", 10, 1},
      {"REFLINE:-,1;", "语法错误，数值格式不正确。", 9, 0},
      {"X:C,FOO;", "控制符不可识别或不可在此使用。", 4, 3},
      {"X:C,STICK{x};", "语法错误。", 9, 1},
      {"X:C,STICK ;", "语法错误。", 9, 1},
      {"X:C,STICKY;", "语法错误。", 9, 1},
      {"X:C STICK;", "语法错误。", 4, 1},
      {"X:C,COLORRED1;", "颜色值格式不正确。", 9, 4},
      {"X:C,COLORSYSCOLOR64;", "颜色值格式不正确。", 9, 10},
      {"X:C,COLORSYSCOLOR;", "颜色值格式不正确。", 9, 8},
      {"X:C,COLOR12G456;", "颜色值格式不正确。", 11, 1},
      {"X:C,COLOR;", "颜色值格式不正确。", 9, 0},
      {"X:C,COLORRED X;", "语法错误。", 13, 1},
      {"X:C,PRECIS;", "语法错误。", 10, 1},
      {"X:C,PRECIS", "语法错误。", 10, 0},
      {"X:C,PRECIS7;", "此处需要十进制整数，取值范围 0 - 6 。", 10, 1},
      {"X:C,PRECIS1X;", "此处需要十进制整数，取值范围 0 - 6 。", 11, 1},
      {"X:C,PRECIS12345678901;", "数值太长。此处取值范围为 0 - 6 。", 10, 11},
      {"X:C,LINETHICK;", "语法错误。此处需要十进制整数，取值范围 0 - 7 。", 13, 1},
      {"X:C,LINETHICK8;", "此处需要十进制整数，取值范围 0 - 7 。", 13, 1},
      {"X:C,LINETHICK00000000000;", "数值太长。此处取值范围为 0 - 7 。", 13, 11},
      {"DRAWTEXT(C>O,L,'');", "文字不能为空。", 15, 2},
      {"DRAWBMP(C>O,L,'');", "图片路径不能为空。", 14, 2},
      {std::string("DRAWBKBMP(1,'").append(260, 'P').append("');"), "图片路径长度不能超过 256。", 13, 260},
      {"DRAWTEXT(C>O,L,X);", "此处应使用字符串。", 15, 1},
      {"DRAWTEXT(C>O,L,'ABC", "表达式意外结束。", 19, 0},
      {"DRAWTEXT(C>O);", "函数缺少参数。", 12, 1},
      {"DRAWTEXT(C>O;", "语法错误。", 12, 1},
      {"VERTLINE();", "语法错误。", 9, 1},
      {"VERTLINE(,1);", "语法错误。", 9, 1},
      {"VERTLINE(C,1);", "语法错误。", 10, 1},
      {"VERTLINE C;", "语法错误。", 9, 1},
      {"VERTLINE(C) X;", "语法错误。", 12, 1},
      {"DRAWICON(C>O,L,1X);", "此处需要十进制整数，取值范围 1 - 14 。", 16, 1},
      {"DRAWICON(C>O,L,);", "此处需要十进制整数，取值范围 1 - 14 。", 15, 1},
      {"DRAWICON(C>O,L,12345678901);", "数值太长。此处取值范围为 1 - 14 。", 15, 11},
      {"VERTLINE(C>O),ALIGN3;", "此处需要十进制整数，取值范围 0 - 2 。", 19, 1},
      {"VERTLINE(C>O),ALIGN;", "语法错误。", 19, 1},
      {"VERTLINE(C>O),ALIGN00000000001;", "数值太长。此处取值范围为 0 - 2 。", 19, 11},
      {"VERTLINE(C>O),VALIGN;", "语法错误。", 20, 1},
      {"VERTLINE(C>O),VALIGN4;", "此处需要十进制整数，取值范围 0 - 3 。", 20, 1},
      {"VERTLINE(C>O),VALIGN12345678901;", "数值太长。此处取值范围为 0 - 3 。", 20, 11},
      {"VERTLINE(C>O),FONTSIZE10;", "控制符不可识别或不可在此使用。", 14, 10},
      {"DRAWTEXT(1,L,'X'),FONTSIZE7;", "此处需要十进制整数，取值范围 8 - 72 。", 26, 1},
      {"DRAWTEXT(1,L,'X'),FONTSIZE73;", "此处需要十进制整数，取值范围 8 - 72 。", 26, 2},
      {"DRAWTEXT(1,L,'X'),FONTSIZE;", "语法错误。此处需要十进制整数，取值范围 8 - 72 。", 26, 1},
      {"DRAWTEXT(1,L,'X'),FONTSIZE123456789012;", "数值太长。此处取值范围为 8 - 72 。", 26, 12},
      {"DRAWTEXT(1,L,'X'),LINETHICK1;", "控制符不可识别或不可在此使用。", 18, 10},
      {"PARTLINE(1,L),LINETHICK9;", "此处需要十进制整数，取值范围 0 - 7 。", 23, 1},
      {"PARTLINE(1,L),CROSSDOTX;", "语法错误。", 22, 1},
      {"POLYLINE(1,L),CROSSDOT;", "控制符不可识别或不可在此使用。", 14, 8},
      {"DRAWNUMBER(1,L,C,2),COLORBAD;", "颜色值格式不正确。", 25, 3},
  };
  for (const auto &c : cases) {
    CKvIndex f;
    ASSERT_TRUE(f.AddParam(Param("N", 5)));
    EXPECT_FALSE(f.Compile(c.text.c_str(), !c.untrusted)) << c.text;
    EXPECT_STREQ(f.errorText, c.message) << c.text;
    EXPECT_EQ(f.errorPos, c.pos) << c.text;
    EXPECT_EQ(f.errorLen, c.len) << c.text;
  }
  // A parameter hides a built-in of its name.
  CKvIndex f;
  ASSERT_TRUE(f.AddParam(Param("MA", 5)));
  EXPECT_FALSE(f.Compile("X:MA(C,5);", true));
  EXPECT_STREQ(f.errorText, "由于已定义了同名的参数，此函数不再可用。请更改同名参数的名称。");
  EXPECT_EQ(f.errorPos, 2);
  EXPECT_EQ(f.errorLen, 2u);
}

TEST_F(CompilerTest, NoMemoryForTheText) {
  CKvIndex f;
  SetMallocRefusal([](int32_t size) { return size >= 4096; });
  EXPECT_FALSE(f.Compile("X:C;", true));
  SetMallocRefusal(nullptr);
  EXPECT_STREQ(f.errorText, "内存不足。");
  EXPECT_EQ(f.errorPos, 0);
  EXPECT_EQ(f.errorLen, 0u);
  EXPECT_TRUE(f.Compile("X:C;", true));
}

TEST_F(CompilerTest, DrawKeywordsAreWholeWords) {
  EXPECT_TRUE(IsDrawKeyword("DRAWTEXT", 8));
  EXPECT_TRUE(IsDrawKeyword("VERTLINE(", 8));
  EXPECT_FALSE(IsDrawKeyword("DRAWTEXTX", 9));
  EXPECT_FALSE(IsDrawKeyword("DRAWTEX", 7));
  EXPECT_FALSE(IsDrawKeyword("drawtext", 8));
}

TEST_F(CompilerTest, ParseExpressionChecksWithoutBuilding) {
  CKvIndex f;
  bool full = false;
  EXPECT_EQ(f.ParseExpression("MA(C,5)+ZIG(3,5);X", nullptr, true, &full), 16u);
  EXPECT_TRUE(full);
  EXPECT_EQ(f.ParseExpression("C+", nullptr, true, nullptr), 0u);
  EXPECT_STREQ(f.errorText, "表达式意外结束。");
  CKvIndexExpression e;
  EXPECT_EQ(f.ParseExpression("1+2,COLORRED", &e, true, nullptr), 3u);
  EXPECT_EQ(Rpn(e), "1 2 +");
}

}  // namespace
