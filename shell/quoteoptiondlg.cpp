#include "shell/quoteoptiondlg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charts/quotepanel.h"
#include "core/emenubar.h"
#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/gbk.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "shell/dialogparts.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

const uint8_t kOptionItemCatalogue[35] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                                          19, 20, 21, 27, 28, 29, 30, 31, 37, 38, 39, 40, 43, 44, 45, 46, 47};
// The quote panel's own default list.
const uint8_t kOptionDefaultItems[] = {31, 30, 29, 28, 27, 17, 18, 19, 20, 21, 1, 2, 3,
                                       4,  5,  6,  7,  8,  9,  10, 37, 38, 11, 12, 13, 14};
const int kOptionDefaultItemCount = int(sizeof kOptionDefaultItems);

namespace {

const char *const kGroupNames[kDetailGroupCount] = {"期货", "股票", "外汇", "指数", "港股", "国外期货", "现货"};
const char *const kCycleItems[] = {"日线",  "周线",  "月线",  "季线",  "1分钟",  "3分钟",
                                   "5分钟", "15分钟", "30分钟", "60分钟", "120分钟", "240分钟"};
const uint8_t kCycleCodes[] = {8, 9, 10, 11, 1, 2, 4, 5, 6, 7, 13, 14};

std::string UserFile(const char *name) { return std::string(UserDataPath) + name; }

int ReadUi(const char *key, int fallback) {
  return int(GetPrivateProfileIntA("UI", key, fallback, UserFile("defui.ini").c_str()));
}
void WriteUi(const char *key, const char *value) {
  WritePrivateProfileStringA("UI", key, value, UserFile("defui.ini").c_str());
}
void WriteUiInt(const char *key, long value) { WriteUi(key, std::to_string(value).c_str()); }
void WriteParameter(const char *key, long value) {
  WritePrivateProfileStringA("Parameter", key, std::to_string(value).c_str(), UserFile("clrfont.INI").c_str());
}
int ReadParameter(const char *key, int fallback) {
  return int(GetPrivateProfileIntA("Parameter", key, fallback, UserFile("clrfont.INI").c_str()));
}

TXPCheckBox *Check(TWinControl *parent, TComponent *owner, int x, int y, const char *caption, int w = 170) {
  return PlaceControl<TXPCheckBox>(parent, owner, x, y, w, 18, caption);
}

TXPComboBox *Combo(TWinControl *parent, TComponent *owner, int x, int y, int w) {
  auto *c = PlaceControl<TXPComboBox>(parent, owner, x, y, w, 21);
  c->SetStyle(csDropDownList);
  return c;
}

// The width levels " 1(最窄)" .. the default .. the widest.
void AddLevels(TXPComboBox *combo, int count, int standard) {
  for (int level = 1; level <= count; ++level) {
    char text[24];
    std::snprintf(text, sizeof text, "%2d%s", level,
                  level == 1 ? "(最窄)" : level == standard ? "(默认)" : level == count ? "(最宽)" : "");
    combo->Items()->Add(text);
  }
}

// The value of an up-down edit: the text as an integer, held to 0..100.
int EditValue(TXPEdit *edit) { return std::clamp(std::atoi(edit->Text().c_str()), 0, 100); }

// Cuts a name to 15 bytes (never half a character) and trims blanks.
std::string IndicatorName(const std::string &piece) {
  std::string name = piece.substr(0, platform::GbkCutLength(piece, 15));
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

int MarketTypeOf(STKPTR stock) {
  if (stock.IsNone()) return -1;
  const TMarketData *market = MarketAt(stock.market);
  return market ? int(market->m_info.type) : -1;
}

void SetBit(uint32_t &bits, uint32_t bit, bool set) { bits = set ? (bits | bit) : (bits & ~bit); }

}  // namespace

TOptionEffects &OptionEffects() {
  static TOptionEffects effects;
  return effects;
}

TQuoteOptionDlg::TQuoteOptionDlg(TComponent *owner) : TForm(owner) {
  SetCaption("参数设置");
  SetBorderStyle(bsDialog);
  SetClientSize(560, 470);
  Position = poOwnerFormCenter;
  XPListBox1 = PlaceControl<TXPListBox>(this, this, 8, 8, 100, 416);
  for (const char *page : {"界面", "报价窗口", "走势图和K线图"}) XPListBox1->Items()->Add(page);
  XPListBox1->OnClick = [this](TObject *s) { XPListBox1Click(s); };

  Panel3 = PlaceControl<TPanel>(this, this, 116, 8, 436, 416);
  Panel3->SetBevelOuter(bvNone);
  PlaceControl<TLabel>(Panel3, this, 10, 14, 70, 16, "界面布局:");
  XPComboBox4 = Combo(Panel3, this, 84, 10, 150);
  XPComboBox4->Items()->Add("工具栏靠左");
  XPComboBox4->Items()->Add("工具栏靠上");
  XPComboBox4->OnChange = [this](TObject *s) { XPComboBox4Change(s); };
  PlaceControl<TLabel>(Panel3, this, 10, 44, 70, 16, "视觉效果:");
  XPComboBox5 = Combo(Panel3, this, 84, 40, 150);

  Panel2 = PlaceControl<TPanel>(this, this, 116, 8, 436, 416);
  Panel2->SetBevelOuter(bvNone);
  PlaceControl<TLabel>(Panel2, this, 10, 14, 100, 16, "滚动鼠标滚轮时:");
  XPComboBox2 = Combo(Panel2, this, 114, 10, 150);
  for (const char *item : {"滚动一行", "滚动一页", "滚动至下一品种"}) XPComboBox2->Items()->Add(item);
  PlaceControl<TLabel>(Panel2, this, 10, 44, 150, 16, "选中行买一卖一字体放大");
  XPEditF3 = PlaceControl<TXPEdit>(Panel2, this, 164, 40, 40, 21);
  XPUpDownF2 = PlaceControl<TXPUpDown>(Panel2, this, 204, 40, 16, 21);
  XPUpDownF2->Associate = XPEditF3;
  PlaceControl<TLabel>(Panel2, this, 224, 44, 20, 16, "号");
  XPCheckBoxF13 = Check(Panel2, this, 10, 74, "选中行带底色");
  XPCheckBoxF14 = Check(Panel2, this, 10, 98, "选中行带边框");
  XPCheckBoxHighLightLimit = Check(Panel2, this, 10, 122, "涨跌停时高亮显示");

  Panel1 = PlaceControl<TPanel>(this, this, 116, 8, 436, 416);
  Panel1->SetBevelOuter(bvNone);
  XPCheckBox2 = Check(Panel1, this, 6, 4, "显示信息窗口", 140);
  XPCheckBox3 = Check(Panel1, this, 150, 4, "将信息窗口置于左侧");
  XPCheckBox7 = Check(Panel1, this, 6, 24, "成交明细由下至上显示", 160);
  XPCheckBox10 = Check(Panel1, this, 6, 44, "按下回车键时在报价、", 150);
  PlaceControl<TLabel>(Panel1, this, 158, 46, 110, 16, "走势、K线间循环");
  XPCheckBox14 = Check(Panel1, this, 270, 4, "显示持仓线和委托线", 160);
  PlaceControl<TLabel>(Panel1, this, 270, 28, 110, 16, "买一卖一字体放大");
  XPEditF4 = PlaceControl<TXPEdit>(Panel1, this, 376, 24, 30, 21);
  XPUpDownF1 = PlaceControl<TXPUpDown>(Panel1, this, 406, 24, 16, 21);
  XPUpDownF1->Associate = XPEditF4;
  PlaceControl<TLabel>(Panel1, this, 424, 28, 12, 16, "号");

  GroupBox1 = PlaceControl<TGroupBox>(Panel1, this, 4, 66, 428, 128, "K 线图");
  LabelMain = PlaceControl<TLabel>(GroupBox1, this, 8, 22, 60, 16, "主图指标:");
  XPEdit1 = PlaceControl<TXPEdit>(GroupBox1, this, 70, 18, 130, 21);
  LabelSub = PlaceControl<TLabel>(GroupBox1, this, 212, 22, 60, 16, "副图指标:");
  XPEdit2 = PlaceControl<TXPEdit>(GroupBox1, this, 274, 18, 146, 21);
  LabelCycle = PlaceControl<TLabel>(GroupBox1, this, 8, 50, 60, 16, "默认周期:");
  XPComboBox1 = Combo(GroupBox1, this, 70, 46, 130);
  for (const char *item : kCycleItems) XPComboBox1->Items()->Add(item);
  LabelZoom = PlaceControl<TLabel>(GroupBox1, this, 212, 50, 60, 16, "K 线宽窄:");
  XPComboBox3 = Combo(GroupBox1, this, 274, 46, 146);
  AddLevels(XPComboBox3, 29, 17);
  XPCheckBox1 = Check(GroupBox1, this, 8, 76, "分钟线只显示当日数据", 150);
  XPCheckBox6 = Check(GroupBox1, this, 164, 76, "不显示坐标", 100);
  XPCheckBox4 = Check(GroupBox1, this, 270, 76, "坐标置于右侧", 120);
  XPCheckBox8 = Check(GroupBox1, this, 8, 100, "空心 K 线", 100);
  XPCheckBox9 = Check(GroupBox1, this, 164, 100, "曲线平滑", 100);

  GroupBox2 = PlaceControl<TGroupBox>(Panel1, this, 4, 198, 428, 76, "走势图");
  XPCheckBox5 = Check(GroupBox2, this, 8, 20, "分时图以昨收为中线", 150);
  XPCheckBox11 = Check(GroupBox2, this, 164, 20, "闪电图中显示均线", 130);
  XPCheckBox12 = Check(GroupBox2, this, 8, 44, "成交量线分红绿显示", 150);
  XPCheckBox13 = Check(GroupBox2, this, 164, 44, "持仓量线抬高显示", 130);
  LabelTickZoom = PlaceControl<TLabel>(GroupBox2, this, 300, 22, 90, 16, "Tick图宽窄:");
  XPComboBox6 = Combo(GroupBox2, this, 300, 40, 120);
  AddLevels(XPComboBox6, 7, 4);

  XPTabControl1 = PlaceControl<TXPTabControl>(Panel1, this, 4, 278, 340, 112);
  XPTabControl1->OnChange = [this](TObject *s) { XPTabControl1Change(s); };
  XPTabControl1->OnChanging = [this](TObject *s, bool &allow) { XPTabControl1Changing(s, allow); };
  XPCheckListBox1 = PlaceControl<TXPCheckListBox>(XPTabControl1, this, 4, 26, 332, 82);
  XPCheckListBox1->MultiSelect = true;
  XPButtonUp = PlaceControl<TXPButton>(Panel1, this, 352, 300, 75, 25, "上移");
  XPButtonUp->OnClick = [this](TObject *s) { MoveUpClick(s); };
  XPButtonDown = PlaceControl<TXPButton>(Panel1, this, 352, 332, 75, 25, "下移");
  XPButtonDown->OnClick = [this](TObject *s) { MoveDownClick(s); };
  XPCheckBox100 = Check(Panel1, this, 6, 394, "将以上设置保存为默认参数", 220);

  XPButton5 = PlaceControl<TXPButton>(this, this, 8, 436, 100, 25, "恢复为初始值");
  XPButton5->OnClick = [this](TObject *s) { XPButton5Click(s); };
  XPButton6 = PlaceControl<TXPButton>(this, this, 116, 436, 100, 25, "颜色和字体");
  XPButton6->OnClick = [this](TObject *s) { XPButton6Click(s); };
  XPButton1 = PlaceControl<TXPButton>(this, this, 390, 436, 75, 25, "确定");
  XPButton1->SetDefault(true);
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2 = PlaceControl<TXPButton>(this, this, 475, 436, 75, 25, "取消");
  XPButton2->ModalResult = mrCancel;
  XPButton2->Cancel = true;

  // Read by every caller.
  const int zoom = std::clamp(ReadUi("BSZoom1", 6), 0, 100);
  XPEditF4->SetText(std::to_string(zoom));
  XPUpDownF1->SetPosition(zoom);
  XPComboBox4->SetItemIndex(SkinLayout == 0 || SkinLayout == 1 ? SkinLayout : 1);
  XPComboBox4Change(nullptr);
  XPComboBox5->SetItemIndex(SkinNumber >= 0 && SkinNumber < XPComboBox5->Items()->Count() ? SkinNumber : 0);
  DoCreate();
}

void TQuoteOptionDlg::Configure(TOptionCaller caller, STKPTR shownStock) {
  stock = shownStock;
  const bool menu = caller == TOptionCaller::kMainMenu;
  XPListBox1->SetVisible(menu);
  XPCheckBox100->SetVisible(!menu && caller != TOptionCaller::kReport);
  XPTabControl1->Tabs()->Clear();
  std::memset(items, 0, sizeof items);
  if (menu) {
    for (const char *name : kGroupNames) XPTabControl1->Tabs()->Add(name);
    for (int group = 0; group < kDetailGroupCount; ++group) LoadDetailItems(group, items[group]);
  } else {
    XPTabControl1->Tabs()->Add("数据项");
    if (!stock.IsNone()) LoadMarketDetailItems(stock.market, items[0]);
    else LoadDetailItems(0, items[0]);
  }
  XPTabControl1->SetTabIndex(0);
  FillFromSettings();
  switch (caller) {
    case TOptionCaller::kMainMenu:
      XPListBox1->SetItemIndex(0);
      ShowPage(0);
      break;
    case TOptionCaller::kReport:
      ShowPage(1);
      GroupBox1->SetVisible(false);
      GroupBox2->SetVisible(false);
      break;
    case TOptionCaller::kKLine:
      ShowPage(2);
      GroupBox2->SetVisible(false);
      for (TControl *c : std::initializer_list<TControl *>{LabelMain, XPEdit1, LabelSub, XPEdit2, LabelCycle, XPComboBox1,
                                                           LabelZoom, XPComboBox3, XPCheckBox8, XPCheckBox9})
        c->SetVisible(false);
      break;
    case TOptionCaller::kIntraday:
      ShowPage(2);
      GroupBox1->SetVisible(false);
      LabelTickZoom->SetVisible(false);
      XPComboBox6->SetVisible(false);
      break;
  }
  if (caller == TOptionCaller::kKLine || caller == TOptionCaller::kIntraday) {
    // The chart page alone, in the page list's place.
    Panel1->SetLeft(XPListBox1->Left());
    XPButton1->SetLeft(Panel1->Left() + 286);
    XPButton2->SetLeft(Panel1->Left() + 365);
    SetClientWidth(Panel1->Left() + Panel1->Width() + 10);
  }
  if (!instantAttached_) {
    instantAttached_ = true;
    XPEditF4->OnChange = [this](TObject *s) { XPEditF4Change(s); };
    XPEditF3->OnChange = [this](TObject *s) { XPEditF3Change(s); };
    for (TXPCheckBox *box : {XPCheckBoxF13, XPCheckBoxF14, XPCheckBoxHighLightLimit})
      box->OnClick = [this](TObject *s) { SelectedRowClick(s); };
  }
}

void TQuoteOptionDlg::FillFromSettings() {
  const uint32_t property = uint32_t(ReadUi("Property", 0));
  XPComboBox2->SetItemIndex((property & kPropWheelPage) ? 1 : (property & kPropWheelNext) ? 2 : 0);
  const int zoom2 = std::clamp(ReadUi("BSZoom2", 0), 0, 100);
  XPEditF3->SetText(std::to_string(zoom2));
  XPUpDownF2->SetPosition(zoom2);
  const int selected = ReadUi("SelectedRowParam", 1);
  XPCheckBoxF13->SetChecked(selected & 1);
  XPCheckBoxF14->SetChecked(selected & 2);
  XPCheckBoxHighLightLimit->SetChecked(selected & 4);
  XPCheckBox2->SetChecked(ReadUi("InfoVisible", 1) != 0);
  XPCheckBox3->SetChecked(property & kPropInfoLeft);
  XPCheckBox7->SetChecked(property & kPropDetailsBottomUp);
  XPCheckBox10->SetChecked(!(property & kPropNoEnterCycle));
  XPCheckBox14->SetChecked(!(property & kPropHideTradeLines));
  char text[256];
  GetPrivateProfileStringA("UI", "MainGraph", "K,MA", text, sizeof text, UserFile("defui.ini").c_str());
  XPEdit1->SetText(text);
  GetPrivateProfileStringA("UI", "SubGraph", "VOL,MACD", text, sizeof text, UserFile("defui.ini").c_str());
  XPEdit2->SetText(text);
  const int cycle = ReadUi("DefCycle", 8);
  XPComboBox1->SetItemIndex(0);
  for (int i = 0; i < int(std::size(kCycleCodes)); ++i)
    if (kCycleCodes[i] == cycle) XPComboBox1->SetItemIndex(i);
  const int level = ReadParameter("ZoomLevel", 16);
  XPComboBox3->SetItemIndex(level >= 0 && level <= 28 ? level : 16);
  XPCheckBox1->SetChecked(ReadUi("TodayMinOnly", 0) != 0);
  XPCheckBox6->SetChecked(property & kPropHideAxis);
  XPCheckBox4->SetChecked(property & kPropAxisRight);
  XPCheckBox8->SetChecked(ReadParameter("KLineMode", 1) != 0);
  XPCheckBox9->SetChecked(ReadParameter("AntiAlias", 1) != 0);
  XPCheckBox5->SetChecked(!(property & kPropNotCentredOnClose));
  XPCheckBox11->SetChecked(!(property & kPropNoTickAverage));
  XPCheckBox12->SetChecked(property & kPropRedGreenVolume);
  XPCheckBox13->SetChecked(!(property & kPropNotRaisedInterest));
  // A missing key is level 3, as the tick chart reads it.
  const int tick = ReadParameter("TickZoomLevel", 3);
  XPComboBox6->SetItemIndex(tick >= 0 && tick <= 6 ? tick : 3);
  FillItemList(items[0], true, false);
}

void TQuoteOptionDlg::ShowPage(int page) {
  Panel3->SetVisible(page == 0);
  Panel2->SetVisible(page == 1);
  Panel1->SetVisible(page == 2);
}

void TQuoteOptionDlg::XPListBox1Click(TObject *) {
  if (XPListBox1->ItemIndex() >= 0) ShowPage(XPListBox1->ItemIndex());
}

void TQuoteOptionDlg::XPComboBox4Change(TObject *) {
  const int remembered = XPComboBox5->ItemIndex();
  XPComboBox5->Items()->Clear();
  const int layout = std::max(XPComboBox4->ItemIndex(), 0);
  for (int n = 0;; ++n) {
    char file[64], name[32] = {};
    std::snprintf(file, sizeof file, ".\\skin\\%i\\%i\\skin.ini", layout, n);
    GetPrivateProfileStringA("GENERAL", "NAME", "", name, sizeof name, file);
    if (!name[0]) break;
    XPComboBox5->Items()->Add(name);
  }
  XPComboBox5->SetItemIndex(remembered >= 0 && remembered < XPComboBox5->Items()->Count() ? remembered : 0);
}

// ---- the data-item list ----

int TQuoteOptionDlg::ItemCodeAt(int index) const {
  return int(reinterpret_cast<intptr_t>(const_cast<TXPCheckListBox *>(XPCheckListBox1)->Items()->Objects(index)));
}

void TQuoteOptionDlg::FillItemList(const uint8_t *list, bool firstTab, bool restoreNames) {
  XPCheckListBox1->Clear();
  const int type = MarketTypeOf(stock);
  const auto name = [&](int code) -> const char * {
    if (restoreNames) {
      if (code == 2) return type == 2 ? "结算" : "均价";
      if (code == 11) return type == 1 || type == 6 ? "金额" : "持仓";
      if (code == 12) return type == 1 || type == 6 ? "量比" : "仓差";
    } else {
      if (code == 2) return firstTab ? "结算" : "均价";
      if (code == 11) return "持仓";
      if (code == 12) return "仓差";
    }
    if (code == 47) return "均价";
    return QuotePanelItemName(code);
  };
  const auto add = [&](int code, bool checked) {
    const int index = XPCheckListBox1->Items()->AddObject(name(code), reinterpret_cast<TObject *>(intptr_t(code)));
    XPCheckListBox1->SetChecked(index, checked);
  };
  const auto known = [](int code) {
    return std::find(std::begin(kOptionItemCatalogue), std::end(kOptionItemCatalogue), code) !=
           std::end(kOptionItemCatalogue);
  };
  bool held[64] = {};
  for (int i = 0; i < kDetailListSize && list[i]; ++i)
    if (known(list[i]) && !held[list[i]]) {
      held[list[i]] = true;
      add(list[i], true);
    }
  for (uint8_t code : kOptionItemCatalogue)
    if (!held[code]) add(code, false);
}

void TQuoteOptionDlg::CheckedItems(uint8_t (&out)[kDetailListSize]) const {
  std::memset(out, 0, sizeof out);
  int n = 0;
  for (int i = 0; i < XPCheckListBox1->Count() && n < kDetailListSize; ++i)
    if (XPCheckListBox1->Checked(i)) out[n++] = uint8_t(ItemCodeAt(i));
}

void TQuoteOptionDlg::XPTabControl1Changing(TObject *, bool &) {
  const int tab = XPTabControl1->TabIndex();
  if (tab >= 0 && tab < kDetailGroupCount) CheckedItems(items[tab]);
}

void TQuoteOptionDlg::XPTabControl1Change(TObject *) {
  const int tab = XPTabControl1->TabIndex();
  if (tab >= 0 && tab < kDetailGroupCount) FillItemList(items[tab], tab == 0, false);
}

void TQuoteOptionDlg::MoveUpClick(TObject *) { MoveSelectedUp(*XPCheckListBox1); }
void TQuoteOptionDlg::MoveDownClick(TObject *) { MoveSelectedDown(*XPCheckListBox1); }

// ---- instant controls ----

void TQuoteOptionDlg::XPEditF4Change(TObject *) {
  const int value = EditValue(XPEditF4);
  WriteUiInt("BSZoom1", value);
  RebuildViewFonts();
  if (OptionEffects().refreshChartQuotePanels) OptionEffects().refreshChartQuotePanels();
}

void TQuoteOptionDlg::XPEditF3Change(TObject *) {
  const int value = EditValue(XPEditF3);
  WriteUiInt("BSZoom2", value);
  ViewDisplay().bsZoom2 = value;
  ViewDisplay().selectedRowFactor = value < 1 ? 1.0f : 2.0f;
  if (OptionEffects().applyReportFonts) OptionEffects().applyReportFonts();
}

void TQuoteOptionDlg::SelectedRowClick(TObject *) {
  uint32_t style = ViewDisplay().selectedRowStyle;
  SetBit(style, 1, XPCheckBoxF13->Checked());
  SetBit(style, 2, XPCheckBoxF14->Checked());
  SetBit(style, 4, XPCheckBoxHighLightLimit->Checked());
  ViewDisplay().selectedRowStyle = style;
  WriteUiInt("SelectedRowParam", long(style));
  if (OptionEffects().applyReportFonts) OptionEffects().applyReportFonts();
}

// ---- buttons ----

bool TQuoteOptionDlg::ValidateIndicators(bool mainList, const char *text) {
  std::string all(text);
  all = all.substr(0, 255);
  const auto refuse = [this](const char *format, const std::string &name) {
    char message[128];
    std::snprintf(message, sizeof message, format, name.c_str());
    MessageBoxA(HandleAllocated() ? Handle() : nullptr, message, "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return false;
  };
  const auto kindOf = [](const std::string &name) -> int {
    const CKvIndex *index = KvIndexManager().FindIndex(name.c_str());
    return index ? int(index->flags & kIndexKindMask) : -1;
  };
  size_t at = 0;
  bool first = true;
  while (at <= all.size()) {
    const size_t comma = all.find(',', at);
    const std::string piece = all.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    const std::string name = IndicatorName(piece);
    if (mainList && first) {
      if (name.empty()) {
        MessageBoxA(HandleAllocated() ? Handle() : nullptr, "主图指标不能为空。  ", "错误",
                    MB_OK | MB_ICONERROR | MB_TOPMOST);
        return false;
      }
      const int kind = kindOf(name);
      if (kind < 0) return refuse("主图指标 %s 不存在。  ", name);
      if (kind != 2) return refuse("%s 不是主图指标。  ", name);
    } else if (!name.empty()) {
      const int kind = kindOf(name);
      if (mainList) {
        if (kind < 0) return refuse("主图叠加指标 %s 不存在。  ", name);
        if (kind != 1) return refuse("%s 不是主图叠加指标。  ", name);
      } else {
        if (kind < 0) return refuse("副图指标 %s 不存在。  ", name);
        if (kind != 0) return refuse("%s 不是副图指标。  ", name);
      }
    }
    first = false;
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return true;
}

void TQuoteOptionDlg::XPButton1Click(TObject *) {
  const bool kline = GroupBox1->Visible();
  const bool trend = GroupBox2->Visible();
  // Both lists are checked before anything is written.
  const std::string mainGraph = XPEdit1->Text().substr(0, 255), subGraph = XPEdit2->Text().substr(0, 255);
  if (kline && XPEdit1->Visible() && !ValidateIndicators(true, mainGraph.c_str())) return;
  if (kline && XPEdit2->Visible() && !ValidateIndicators(false, subGraph.c_str())) return;
  const auto changed = [](int what) {
    if (OptionEffects().settingsChanged) OptionEffects().settingsChanged(what);
  };
  if (kline && XPEdit1->Visible()) WriteUi("MainGraph", mainGraph.c_str());
  if (kline && XPEdit2->Visible()) WriteUi("SubGraph", subGraph.c_str());
  if (kline && XPComboBox1->Visible()) {
    const int i = XPComboBox1->ItemIndex();
    WriteUiInt("DefCycle", i >= 0 && i < int(std::size(kCycleCodes)) ? kCycleCodes[i] : 8);
  }
  if (kline && XPComboBox3->Visible()) {
    WriteParameter("ZoomLevel", XPComboBox3->ItemIndex() >= 0 ? XPComboBox3->ItemIndex() : 16);
    changed(3);
  }
  if (trend && XPComboBox6->Visible()) {
    WriteParameter("TickZoomLevel", XPComboBox6->ItemIndex() >= 0 ? XPComboBox6->ItemIndex() : 3);
    changed(5);
  }
  if (kline && XPCheckBox8->Visible()) {
    WriteParameter("KLineMode", XPCheckBox8->Checked() ? 1 : 0);
    changed(2);
  }
  if (kline && XPCheckBox9->Visible()) {
    WriteParameter("AntiAlias", XPCheckBox9->Checked() ? 1 : 0);
    changed(4);
  }
  if (XPListBox1->Visible() || (XPCheckBox100->Visible() && XPCheckBox100->Checked())) {
    uint32_t property = uint32_t(ReadUi("Property", 0));
    if (kline) {
      WriteUi("TodayMinOnly", XPCheckBox1->Checked() ? "1" : "0");
      SetBit(property, kPropHideAxis, XPCheckBox6->Checked());
      SetBit(property, kPropAxisRight, XPCheckBox4->Checked());
    }
    if (trend) {
      SetBit(property, kPropNotCentredOnClose, !XPCheckBox5->Checked());
      SetBit(property, kPropNoTickAverage, !XPCheckBox11->Checked());
      SetBit(property, kPropRedGreenVolume, XPCheckBox12->Checked());
      SetBit(property, kPropNotRaisedInterest, !XPCheckBox13->Checked());
    }
    SetBit(property, kPropDetailsBottomUp, XPCheckBox7->Checked());
    SetBit(property, kPropNoEnterCycle, !XPCheckBox10->Checked());
    SetBit(property, kPropInfoLeft, XPCheckBox3->Checked());
    SetBit(property, kPropHideTradeLines, !XPCheckBox14->Checked());
    WriteUi("Property", std::to_string(property).c_str());
    WriteUi("InfoVisible", XPCheckBox2->Checked() ? "1" : "0");
    if (XPTabControl1->Tabs()->Count() > 1) {
      bool allow = true;
      XPTabControl1Changing(nullptr, allow);
      for (int group = 0; group < kDetailGroupCount; ++group) SaveDetailItems(group, items[group]);
    }
  }
  if (XPListBox1->Visible() || Panel2->Visible()) {
    uint32_t property = uint32_t(ReadUi("Property", 0));
    const int wheel = XPComboBox2->ItemIndex();
    SetBit(property, kPropWheelPage, wheel == 1);
    SetBit(property, kPropWheelNext, wheel == 2);
    WriteUi("Property", std::to_string(property).c_str());
  }
  // Without a skin listed for the chosen layout the frame keeps the skin it
  // has: a skin that is not there would leave the frame without its chrome.
  if (XPComboBox5->Items()->Count() > 0) {
    SkinNumber = std::max(XPComboBox5->ItemIndex(), 0);
    SkinLayout = std::max(XPComboBox4->ItemIndex(), 0);
  }
  WriteUiInt("Skin", SkinNumber);
  WriteUiInt("Layout", SkinLayout);
  SetModalResult(mrOk);
}

void TQuoteOptionDlg::XPButton5Click(TObject *) {
  uint8_t defaults[kDetailListSize] = {};
  std::memcpy(defaults, kOptionDefaultItems, sizeof kOptionDefaultItems);
  FillItemList(defaults, XPTabControl1->TabIndex() <= 0, true);
  XPCheckBox2->SetChecked(true);
  XPCheckBox3->SetChecked(false);
  XPCheckBox7->SetChecked(false);
  XPCheckBox10->SetChecked(true);
  XPCheckBox14->SetChecked(true);
  XPEditF4->SetText("4");
  XPUpDownF1->SetPosition(4);
  XPCheckBox5->SetChecked(true);
  XPCheckBox12->SetChecked(true);
  XPCheckBox13->SetChecked(true);
  XPCheckBox1->SetChecked(false);
  XPCheckBox6->SetChecked(false);
  XPCheckBox4->SetChecked(false);
  XPCheckBox8->SetChecked(true);
  XPCheckBox9->SetChecked(true);
  XPComboBox1->SetItemIndex(0);
  XPComboBox3->SetItemIndex(16);
  XPComboBox6->SetItemIndex(3);
  XPComboBox2->SetItemIndex(0);
  XPEdit1->SetText("K,MA");
  XPEdit2->SetText("VOL,MACD");
  XPEditF3->SetText("0");
  XPUpDownF2->SetPosition(0);
  XPCheckBoxF13->SetChecked(true);
  XPCheckBoxF14->SetChecked(false);
  XPCheckBoxHighLightLimit->SetChecked(false);
  if (instantAttached_) SelectedRowClick(nullptr);
}

void TQuoteOptionDlg::XPButton6Click(TObject *) {
  const HWND frame = OptionEffects().mainWindow ? OptionEffects().mainWindow() : nullptr;
  char commandLine[128];
  std::snprintf(commandLine, sizeof commandLine, ".\\themetool.exe HWND:%d MSG:%d THEME:%d",
                int(reinterpret_cast<intptr_t>(frame)), int(WM_DISPLAY_SETTINGS_CHANGED), int(CurrentTheme));
  const bool started = OptionEffects().startThemeTool && OptionEffects().startThemeTool(commandLine);
  if (!started)
    MessageBoxA(HandleAllocated() ? Handle() : nullptr, "启动配置程序失败。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}
