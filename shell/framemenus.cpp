#include "shell/framemenus.h"

#include <cstdint>
#include <cstring>

#include "classlib/menus.h"

namespace {

enum : uint8_t { kHidden = 1, kChecked = 2, kRadio = 4 };

struct TMenuRow {
  const char *parent;  // "" the menu's top level
  const char *name;
  const char *caption;
  int tag;
  uint8_t flags;
};

// The main menu in order. Generated parts (blocks, web items, trading
// programs, themes, time zones, indicators, pages) are filled at start-up
// and when a menu opens.
const TMenuRow kMainMenu[] = {
    {"", "N1", "系统", 0, 0},
    {"N1", "C1", "连接主站(&C)", 0, 0},
    {"N1", "N22", "数据刷新(&R)", 0, 0},
    {"N1", "N6", "-", 0, 0},
    {"N1", "N54", "窗口放大还原    F7", 0, 0},
    {"N1", "MenuItem95", "全屏显示", 0, 0},
    {"N1", "N11", "联动(&S)", 0, 0},
    {"N1", "N7", "-", 0, 0},
    {"N1", "T1", "闪电图优先(&T)", 0, kChecked},
    {"N1", "MenuItem94", "走势图优先(&M)", 0, kChecked},
    {"N1", "N8", "视图(&V)", 0, 0},
    {"N8", "MenuItem100", "工具栏(&O)", 0, kChecked},
    {"N8", "MenuItem103", "状态栏(&S)", 0, kChecked},
    {"N8", "Q1", "报价排(&Q)", 0, 0},
    {"N8", "N51", "报价网格(&G)", 0, 0},
    {"N1", "N18", "-", 0, 0},
    {"N1", "N24", "自动升级(&U)", 0, 0},
    {"N1", "N71", "屏幕截图(&B)", 0, 0},
    {"N1", "MenuItem90", "打印(&P)", 0, 0},
    {"N1", "N20", "-", 0, 0},
    {"N1", "MenuItem109", "退出系统      Alt+F4", 0, 0},

    {"", "N9", "页面", 0, 0},
    {"N9", "N14", "报价画面(&P)", 0, 0},
    {"N9", "TICK1", "闪电图(&T)", 0, 0},
    {"N9", "N15", "分时图(&M)", 0, 0},
    {"N9", "N16", "K 线图(&K)", 0, 0},
    {"N9", "N9Sep1", "-", 0, 0},
    {"N9", "N58", "横切(&H)", 0, 0},
    {"N9", "N59", "竖切(&V)", 0, 0},
    {"N9", "N57", "关闭窗口      Ctrl+F4", 0, 0},
    {"N9", "N9Sep2", "-", 0, 0},
    {"N9", "N10", "新建页面(&N)", 0, 0},
    {"N9", "N12", "保存页面(&S)", 0, 0},
    {"N9", "N19", "另存页面(&E)", 0, 0},
    {"N9", "N53", "页面管理(&M)", 0, 0},
    {"N9", "N17", "自动保存页面(&A)", 0, kChecked},
    {"N9", "N9Sep3", "-", 0, 0},
    {"N9", "N13", "导入页面(&I)", 0, 0},

    {"", "N2", "板块", 0, kHidden},

    {"", "MenuItem117", "分析", 0, kHidden},
    {"MenuItem117", "N65", "商品叠加      Ctrl+O", 0, 0},
    {"MenuItem117", "N38", "叠加坐标(&D)", 0, 0},
    {"N38", "R1", "相对坐标(&R)", 0, kRadio},
    {"N38", "R2", "绝对坐标(&A)", 1, kRadio},
    {"MenuItem117", "A1", "套利分析      Ctrl+A", 0, 0},
    {"MenuItem117", "Q2", "区间统计(&Q)", 0, 0},
    {"MenuItem117", "N117Sep1", "-", 0, 0},
    {"MenuItem117", "V1", "数值坐标(&V)", 0, kRadio},
    {"MenuItem117", "V2", "百分比坐标(&P)", 1, kRadio},
    {"MenuItem117", "V3", "对数坐标(&L)", 2, kRadio | kHidden},
    {"MenuItem117", "G1", "坐标反转(&E)", 0, 0},
    {"G1", "CtrlR1", "启用          Ctrl+R", 0, 0},
    {"G1", "S2", "反转副图(&S)", 0, 0},
    {"MenuItem117", "N32", "-", 0, 0},
    {"MenuItem117", "MenuItem127", "指标参数(&P)", 0, 0},
    {"MenuItem117", "R3", "参考线(&R)", 0, 0},
    {"MenuItem117", "MenuItem118", "变换周期(&C)", 0, 0},
    {"MenuItem118", "MenuItem119", "日线      6", 8, kRadio},
    {"MenuItem118", "MenuItem120", "周线      7", 9, kRadio},
    {"MenuItem118", "MenuItem121", "月线      8", 10, kRadio},
    {"MenuItem118", "N23", "季线      9", 11, kRadio},
    {"MenuItem118", "N27", "任意天    D", 12, kRadio},
    {"MenuItem118", "N28", "1分钟     1", 1, kRadio},
    {"MenuItem118", "N31", "3分钟", 2, kRadio},
    {"MenuItem118", "MenuItem122", "5分钟     2", 4, kRadio},
    {"MenuItem118", "MenuItem123", "15分钟    3", 5, kRadio},
    {"MenuItem118", "MenuItem124", "30分钟    4", 6, kRadio},
    {"MenuItem118", "MenuItem125", "60分钟    5", 7, kRadio},
    {"MenuItem118", "N1201", "120分钟", 13, kRadio},
    {"MenuItem118", "N241", "240分钟", 14, kRadio},
    {"MenuItem118", "N29", "任意分    M", 3, kRadio},
    {"MenuItem117", "N39", "除权状态(&W)", 0, kHidden},
    {"N39", "N40", "不除权(&R)", 0, kRadio},
    {"N39", "N42", "前复权      Ctrl+V", 1, kRadio},
    {"N39", "N43", "后复权      Ctrl+B", 2, kRadio},
    {"MenuItem117", "MenuItem128", "画线工具      Alt+F12", 0, 0},
    {"MenuItem117", "N81", "指标管理      Ctrl+F", 0, 0},
    {"MenuItem117", "N82", "选择指标(&I)", 0, 0},

    {"", "N3", "新闻", 0, 0},
    {"N3", "N26", "即时新闻      F9", 0, 0},
    {"N3", "F101", "背景资料      F10", 0, 0},
    {"N3", "N161", "信息地雷      16", 0, 0},
    {"N3", "N44", "上证信息      71", 0, 0},
    {"N3", "N45", "深证信息      72", 0, 0},
    {"N3", "N46", "-", 0, 0},
    {"N3", "N52", "系统消息(&S)", 0, 0},

    {"", "N70", "特色功能", 0, 0},
    {"N70", "N74", "历史回忆(&H)", 0, 0},
    {"N74", "HR0", "当日走势(&1)", 0, 0},
    {"N74", "HR1", "最近2日(&2)", 1, 0},
    {"N74", "HR2", "最近3日(&3)", 2, 0},
    {"N74", "HR3", "最近4日(&4)", 3, 0},
    {"N74", "HR4", "最近5日(&5)", 4, 0},
    {"N74", "HR5", "最近6日(&6)", 5, 0},
    {"N74", "HR6", "最近7日(&7)", 6, 0},
    {"N74", "HR7", "最近8日(&8)", 7, 0},
    {"N74", "HR8", "最近9日(&9)", 8, 0},
    {"N74", "HR9", "最近10日(&0)", 9, 0},
    {"N74", "HR10", "选择日期(&D)", 10, 0},
    {"N70", "N75", "价量分布(&V)", 0, 0},
    {"N70", "N76", "商品叠加      Ctrl+O", 0, 0},
    {"N70", "N77", "套利分析      Ctrl+A", 0, 0},
    {"N70", "N78", "指标管理      Ctrl+F", 0, 0},
    {"N70", "N84", "选择指标(&I)", 0, 0},

    {"", "N25", "网站", 0, 0},

    {"", "MenuItem142", "交易", 0, 0},
    {"MenuItem142", "N37", "kivo交易  F12", 0, kHidden},
    {"MenuItem142", "N61", "-", 0, kHidden},

    {"", "MenuItem143", "工具", 0, 0},
    {"MenuItem143", "O2", "选项(&O)", 0, 0},
    {"MenuItem143", "N67", "颜色字体(&T)", 0, 0},
    {"MenuItem143", "N33", "显示风格(&S)", 0, 0},
    {"MenuItem143", "N49", "时区设定(&Z)", 0, 0},
    {"MenuItem143", "MenuItem144", "板块设置(&B)", 0, 0},
    {"MenuItem143", "MenuItem145", "报价栏目(&E)", 0, kHidden},
    {"MenuItem143", "Y1", "周期设置(&Y)", 0, 0},
    {"MenuItem143", "N35", "热键定义(&H)", 0, 0},
    {"MenuItem143", "N48", "-", 0, 0},
    {"MenuItem143", "O1", "预警开关(&O)", 0, kChecked},
    {"MenuItem143", "S1", "预警设置(&S)", 0, 0},
    {"MenuItem143", "L1", "预警列表(&L)", 0, 0},
    {"MenuItem143", "N50b", "-", 0, 0},
    {"MenuItem143", "N55", "循环报价      -", 0, 0},
    {"MenuItem143", "N73", "修改密码(&P)", 0, 0},
    {"MenuItem143", "N30", "我的目录(&D)", 0, 0},
    {"MenuItem143", "MenuItemNetDetect", "网络诊断(&N)", 0, 0},
    {"MenuItem143", "N21", "计算器  (&C)", 0, 0},

    {"", "MenuItemHelp", "帮助", 0, 0},
    {"MenuItemHelp", "MenuItem167", "使用说明(&H)", 0, 0},
    {"MenuItemHelp", "N66", "常见问题(&F)", 0, kHidden},
    {"MenuItemHelp", "N47", "快捷键(&K)", 0, 0},
    {"MenuItemHelp", "N63", "免责条款(&N)", 0, 0},
    {"MenuItemHelp", "MenuItem170", "用户信息(&U)", 0, 0},
    {"MenuItemHelp", "N64", "同舟服务(&Q)", 0, 0},
    {"MenuItemHelp", "F1", "意见反馈(&S)", 0, 0},
    {"MenuItemHelp", "N68", "-", 0, 0},
    {"MenuItemHelp", "N72", "关于(&A)", 0, 0},
};

const TMenuRow kToolPopup[] = {
    {"", "N5", "工具栏(&T)", 0, kChecked},
    {"", "N5b", "状态栏(&S)", 0, kChecked},
    {"", "N4", "全屏显示    Ctrl+P", 0, 0},
};

const TMenuRow kBoardPopup[] = {
    {"", "N34", "选择商品(&B)", 0, 0},
    {"", "N36", "显示列数(&V)", 0, 0},
    {"N36", "N110", "1列(&1)", 1, kRadio},
    {"N36", "N111", "2列(&2)", 2, kRadio},
    {"N36", "N112", "3列(&3)", 3, kRadio},
    {"", "N60", "-", 0, 0},
    {"", "N41", "关闭(&C)", 0, 0},
};

template <size_t N>
void Build(TComponent *owner, TMenu *menu, const TMenuRow (&rows)[N]) {
  for (const TMenuRow &row : rows) {
    TMenuItem *parent = row.parent[0] ? FindMenuItem(menu->Items(), row.parent) : menu->Items();
    if (!parent) continue;
    auto *item = new TMenuItem(owner);
    item->Name = row.name;
    item->Caption = row.caption;
    item->Tag = row.tag;
    item->Visible = !(row.flags & kHidden);
    item->Checked = (row.flags & kChecked) != 0;
    item->RadioItem = (row.flags & kRadio) != 0;
    parent->Add(item);
  }
}

void Dump(TMenuItem *item, int depth, std::string &out) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem *child = item->Items(i);
    out.append(size_t(depth) * 2, ' ');
    out += child->Caption;
    if (child->Tag) out += "  #" + std::to_string(child->Tag);
    if (!child->Visible) out += " [hidden]";
    if (child->Checked) out += " [checked]";
    if (child->RadioItem) out += " [radio]";
    if (child->BarBreak) out += " [break]";
    out += "\n";
    Dump(child, depth + 1, out);
  }
}

}  // namespace

void BuildFixedMenus(TComponent *owner, TMainMenu *main, TPopupMenu *toolPopup, TPopupMenu *boardPopup) {
  if (main) Build(owner, main, kMainMenu);
  if (toolPopup) Build(owner, toolPopup, kToolPopup);
  if (boardPopup) Build(owner, boardPopup, kBoardPopup);
}

TMenuItem *FindMenuItem(TMenuItem *root, const std::string &name) {
  if (!root) return nullptr;
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem *child = root->Items(i);
    if (child->Name == name) return child;
    if (TMenuItem *found = FindMenuItem(child, name)) return found;
  }
  return nullptr;
}

std::string DumpMenuTree(TMenuItem *root) {
  std::string out;
  if (root) Dump(root, 0, out);
  return out;
}

void ClearMenuFrom(TMenuItem *parent, int from) {
  while (parent && parent->Count() > from) {
    TMenuItem *item = parent->Items(parent->Count() - 1);
    parent->Remove(item);
    delete item;
  }
}

TMenuItem *AddMenuItem(TMenuItem *parent, const std::string &caption, int tag) {
  auto *item = new TMenuItem(nullptr);
  item->Caption = caption;
  item->Tag = tag;
  parent->Add(item);
  return item;
}
