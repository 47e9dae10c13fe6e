#include "shell/keypreview.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "charts/drawview.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "shell/framecore.h"
#include "shell/hotkeys.h"
#include "shell/maintimer.h"
#include "shell/mframe.h"
#include "trading/tradekeys.h"
#include "views/mvmain.h"
#include "views/report.h"
#include "views/selstockdlg.h"
#include "views/smartkb.h"

namespace {

// The window or one of its descendants.
bool Inside(HWND control, HWND window) { return control && window && (window == control || IsChild(control, window)); }

// An edit or a rich edit has the focus: it answers with a line count.
bool IsEditWindow(HWND window) { return window && SendMessageA(window, EM_GETLINECOUNT, 0, 0) >= 1; }

// The digit of a main-keyboard or numeric-pad digit key, else -1.
int DigitOf(WPARAM key) {
  if (key >= '0' && key <= '9') return int(key - '0');
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return int(key - VK_NUMPAD0);
  return -1;
}

// LEFT, RIGHT, UP, DOWN, ENTER as a table column, else -1.
int ArrowColumn(WPARAM key) {
  switch (key) {
    case VK_LEFT: return 0;
    case VK_RIGHT: return 1;
    case VK_UP: return 2;
    case VK_DOWN: return 3;
    case VK_RETURN: return 4;
    default: return -1;
  }
}

struct RouteRow {
  const char *focus;
  bool inside;  // the focus is inside the control, else on it
  const char *cells[5];  // LEFT, RIGHT, UP, DOWN, ENTER
};

constexpr RouteRow kOrderPanelRoutes[] = {
    // The keyboard order panel.
    {"ComboBox1", true, {"pass", "pass", "eat", "->XPEdit1", "->XPEdit1"}},
    {"XPEdit1", false,
     {"vol-:XPEdit1:UpDown1", "vol+:XPEdit1:UpDown1", "->ComboBox1", "->XPEdit2|ComboBox5", "->XPEdit2|ComboBox5"}},
    {"XPEdit2", false, {"price-:XPUpDown3", "price+:XPUpDown3", "->XPEdit1", "->XPButton39", "->XPButton39"}},
    {"ComboBox5", false, {"eat", "eat", "->XPEdit1", "->XPEdit2|XPButton39", "->XPEdit2|XPButton39"}},
    {"XPEdit6", false, {"eat", "eat", "->ComboBox1", "->ComboBox1", "->ComboBox1"}},
    {"XPEdit7", false, {"eat", "eat", "->ComboBox1", "->ComboBox1", "->ComboBox1"}},
    {"XPButton33", false, {"eat", "->XPButton34", "->XPEdit2|ComboBox5", "->XPButton32", "pass"}},
    {"XPButton34", false, {"->XPButton33", "->XPButton37", "->XPEdit2|ComboBox5", "->XPButton2", "pass"}},
    {"XPButton37", false, {"->XPButton34", "eat", "->XPEdit2|ComboBox5", "->XPButton35", "pass"}},
    {"XPButton32", false, {"eat", "->XPButton2", "->XPButton33", "->XPButton38", "pass"}},
    {"XPButton2", false, {"->XPButton32", "->XPButton35", "->XPButton34", "->XPButton39", "pass"}},
    {"XPButton35", false, {"->XPButton2", "eat", "->XPButton37", "->XPButton39", "pass"}},
    {"XPButton38", false, {"eat", "->XPButton39", "->XPButton32", "eat", "pass"}},
    {"XPButton39", false, {"->XPButton38", "eat", "->XPButton2", "eat", "pass"}},
    // The standard order panel; LEFT and RIGHT go to the contract box's
    // edit, as in the keyboard panel.
    {"ComboBox1001", true, {"pass", "pass", "eat", "->ComboBox1002", "->ComboBox1002"}},
    {"ComboBox1002", false, {"eat", "eat", "->ComboBox1001", "->XPEdit1001", "->XPEdit1001"}},
    {"XPEdit1001", false,
     {"vol-:XPEdit1001:UpDown1001", "vol+:XPEdit1001:UpDown1001", "->ComboBox1002", "->ComboBox1005",
      "->ComboBox1005"}},
    {"ComboBox1005", false,
     {"eat", "eat", "->XPEdit1001", "->XPEdit1002|XPButton1032", "->XPEdit1002|XPButton1032"}},
    {"XPEdit1002", false,
     {"price-:XPUpDown1003", "price+:XPUpDown1003", "->ComboBox1005", "->XPButton1032", "->XPButton1032"}},
    {"XPButton1032", false, {"eat", "eat", "->XPEdit1002|ComboBox1005", "->XPButton1033", "pass"}},
    {"XPButton1033", false, {"eat", "eat", "->XPButton1032", "eat", "pass"}},
    {nullptr, false, {"eat", "eat", "eat", "eat", "pass"}},
};

constexpr RouteRow kQuickOrderRoutes[] = {
    {"XPComboBoxF1", true, {"pass", "->XPComboBoxF9", "pass", "pass", "->XPComboBoxF9"}},
    {"XPComboBoxF9", false, {"->XPComboBoxF1", "->XPComboBoxF10", "pass", "pass", "->XPComboBoxF10"}},
    {"XPComboBoxF10", false, {"->XPComboBoxF9", "->XPPriceEditF7", "pass", "pass", "->XPPriceEditF7"}},
    {"XPPriceEditF7", false,
     {"->XPComboBoxF10", "->XPEditF19", "price+:XPUpDownF12", "price-:XPUpDownF12", "->XPEditF19"}},
    {"XPEditF19", false,
     {"->XPPriceEditF7", "->XPButtonF53", "vol+:XPEditF19:XPUpDownF13", "vol-:XPEditF19:XPUpDownF13",
      "->XPButtonF53"}},
    {"XPButtonF53", false, {"->XPEditF19", "->XPButtonF54", "pass", "pass", "pass"}},
    {nullptr, false, {"pass", "pass", "pass", "pass", "pass"}},
};

// The quick-deal bar, left to right.
constexpr const char *kQuickDealOrder[] = {"XPComboBox8", "XPEdit12",   "XPPriceEdit2", "XPButton42", "XPButton45",
                                           "XPButton47",  "XPButton43", "XPButton44",   "XPButton46"};
constexpr int kQuickDealCount = int(sizeof kQuickDealOrder / sizeof kQuickDealOrder[0]);
constexpr int kQuickDealFirstButton = 3;

const RouteRow *FindRoute(TTradeKeyTargets &t, const RouteRow *rows, HWND focus) {
  for (;; ++rows) {
    if (!rows->focus) return rows;
    HWND control = t.Control(rows->focus);
    if (rows->inside ? Inside(control, focus) : (control && control == focus)) return rows;
  }
}

bool Enabled(HWND window) { return window && IsWindowEnabled(window); }

std::string WindowText(HWND window) {
  char text[64] = {};
  if (window) GetWindowTextA(window, text, sizeof text);
  return text;
}

bool IsChartType(int type) { return type == VIEW_TYPE_INTRADAY || type == VIEW_TYPE_KLINE; }

}  // namespace

bool TKeyPreview::Paused() const { return KeyHookPaused != 0; }

int TKeyPreview::CommandFor(UINT key) const {
  return (links_.commandForKey ? links_.commandForKey(key) : HotKeyCommandForKey(key)) & 0xFF;
}

void TKeyPreview::Hook(MSG &msg, bool &handled) {
  switch (msg.message) {
    case WM_KEYDOWN: handled = KeyDown(msg); return;
    case WM_CHAR: handled = Character(msg); return;
    case WM_SYSKEYDOWN: handled = SystemKey(msg); return;
    case WM_SYSCOMMAND: handled = SystemCommand(msg); return;
    case WM_MOUSEMOVE: MouseMove(msg); return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: MouseButton(msg); return;
    case WM_MOUSEWHEEL: handled = Wheel(msg); return;
    default: return;
  }
}

// ---- Keys --------------------------------------------------------------------------------

bool TKeyPreview::SystemKey(const MSG &msg) {
  if (Paused() || OpenStockPicker) return false;
  const int command = CommandFor(UINT(msg.wParam));
  if (!command) return false;
  if (links_.execute) links_.execute(command);
  return true;
}

bool TKeyPreview::KeyDown(MSG &msg) {
  if (Paused() || OpenStockPicker) return false;
  const HWND focus = GetFocus();
  WPARAM &key = msg.wParam;
  const HWND panel7 = links_.tradingWindow ? links_.tradingWindow() : nullptr;
  if (TTradeKeyTargets *t = links_.trading ? links_.trading() : nullptr) {
    const bool locked = t->Locked();
    const int layout = t->OrderEntryLayout();
    if (!locked && Inside(panel7, focus)) TradingFunctionKeys(*t, key);
    if (key && !locked && t->TradingState() >= 12) {
      if ((layout == 1 && Inside(t->Control("Panel12"), focus)) || (layout == 0 && Inside(t->Control("Panel1012"), focus)))
        OrderPanelKeys(*t, key, focus);
      else if (layout == 2)
        QuickOrderKeys(*t, key, focus);
      // The bar orders only while trading, so its keys must reach it then.
      else if (layout == 0 || layout == 1) {
        if (Inside(t->Control("PanelQuickDeal"), focus)) QuickDealKeys(*t, key, focus);
      }
    } else if (key) {
      if (Inside(t->Control("Panel11"), focus)) LoginKeys(*t, key, focus);
      else if (!locked && (layout == 0 || layout == 1) && Inside(t->Control("PanelQuickDeal"), focus))
        QuickDealKeys(*t, key, focus);
    }
  }
  // Function keys reach their commands even inside an edit or the trading
  // window, unless a step above took them.
  if (key >= VK_F1 && key <= VK_F12)
    if (const int command = CommandFor(UINT(key))) {
      if (links_.execute) links_.execute(command);
      key = 0;
    }
  const bool eaten = key == 0;
  if (!eaten && IsEditWindow(focus)) return false;
  if (!eaten && Inside(panel7, focus)) return false;
  if (eaten) {
    TSmartKB *wizard = links_.wizard ? links_.wizard() : nullptr;
    if (wizard && wizard->HandleAllocated() && IsWindowVisible(wizard->Handle()))
      SendMessageA(wizard->Handle(), WM_CLOSE, 0, 0);
    return true;
  }
  const int command = CommandFor(UINT(key));
  if (!command) return false;
  if (links_.execute) links_.execute(command);
  key = 0;
  return true;
}

void TKeyPreview::TradingFunctionKeys(TTradeKeyTargets &t, WPARAM &key) {
  if (t.TradingState() < 12) return;
  int node = -1;
  if (key >= VK_F1 && key <= VK_F6) node = int(key - VK_F1);
  else if (key == VK_F7) node = t.SelectedNode();
  else if (key == VK_F8) node = 6;
  else if (key == VK_F9) node = 7;
  if (node < 0 || node >= t.NodeCount()) return;
  key = 0;
  if (node != t.SelectedNode()) t.ChangeNode(node);
}

void TKeyPreview::StepVolume(TTradeKeyTargets &t, const char *edit, const char *spin, int sign) {
  HWND window = t.Control(edit);
  TTradeKeyTargets::Spin range;
  if (!window || !t.SpinRange(spin, range)) return;
  // A text that is no number counts as 0.
  long value = std::strtol(WindowText(window).c_str(), nullptr, 10) + long(sign) * range.increment;
  if (value < range.minimum) value = range.minimum;
  if (value > range.maximum) value = range.maximum;
  SetWindowTextA(window, std::to_string(value).c_str());
  t.SetSpinPosition(spin, int(value));
}

void TKeyPreview::Act(TTradeKeyTargets &t, WPARAM &key, const char *cell, bool spinSender) {
  if (std::strcmp(cell, "pass") == 0) return;
  key = 0;
  if (std::strncmp(cell, "->", 2) == 0) {
    std::string first = cell + 2, second;
    if (const size_t bar = first.find('|'); bar != std::string::npos) {
      second = first.substr(bar + 1);
      first.resize(bar);
    }
    HWND target = t.Control(first.c_str());
    if (!second.empty() && !Enabled(target)) target = t.Control(second.c_str());
    if (target) SetFocus(target);
    return;
  }
  const bool down = std::strchr(cell, '-') != nullptr;
  if (std::strncmp(cell, "vol", 3) == 0) {
    std::string names = cell + 5;  // "Edit:Spin"
    const size_t colon = names.find(':');
    StepVolume(t, names.substr(0, colon).c_str(), names.substr(colon + 1).c_str(), down ? -1 : 1);
  } else if (std::strncmp(cell, "price", 5) == 0) {
    t.StepPrice(cell + 7, down ? -1 : 1, TSpinDirection::None, spinSender);
  }
}

void TKeyPreview::OrderPanelKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus) {
  const bool active = t.KeyboardOrderActive();
  const bool armed = active && Inside(t.Control("OwnerDrawPanel1"), focus);
  const auto on = [&](const char *name) {
    HWND control = t.Control(name);
    return control && control == focus;
  };
  // A box's item chosen by its number, with its change handler.
  const auto choose = [&](const char *box, int index) {
    if (t.ComboIndex(box) != index) t.SelectCombo(box, index);
  };
  const auto press = [&](const char *button) { t.PressOrderButton(button); };
  const int digit = DigitOf(key);
  bool acted = true;
  if (digit == 1 && on("ComboBox5")) choose("ComboBox5", 0);
  else if (digit == 1 && on("ComboBox1005")) choose("ComboBox1005", 0);
  else if (digit == 1 && on("ComboBox1002")) choose("ComboBox1002", 0);
  else if (digit == 1 && on("XPButton1033")) SetFocus(t.Control("XPButton1032"));
  else if (digit == 1 && armed) press("XPButton32");
  else if (digit == 2 && on("ComboBox1002")) choose("ComboBox1002", 1);
  else if (digit == 2 && armed) press("XPButton2");
  else if (digit == 3 && (on("ComboBox5") || on("ComboBox1005"))) {
    // The selection stays.
  } else if (digit == 3 && on("ComboBox1002")) choose("ComboBox1002", 2);
  else if (digit == 3 && on("XPButton1032")) SetFocus(t.Control("XPButton1033"));
  else if (digit == 3 && armed) press("XPButton35");
  else if (digit == 4 && armed) press("XPButton33");
  else if (digit == 5 && armed) press("XPButton34");
  else if (digit == 6 && armed) press("XPButton37");
  else if (digit == 8 && armed) t.NewConditionOrder();
  else if (digit == 0 && armed) t.CancelAllOrders();
  else if ((key == VK_OEM_PERIOD || key == VK_DECIMAL) && armed) t.QueryOpenable();
  else if ((key == VK_OEM_PLUS || key == VK_ADD) && active)
    SetFocus(t.Control(Inside(t.Control("OwnerDrawPanel1"), focus) ? "ComboBox1" : "XPButton39"));
  else acted = false;
  if (acted) {
    key = 0;
    return;
  }
  const int column = ArrowColumn(key);
  if (column < 0) return;
  Act(t, key, FindRoute(t, kOrderPanelRoutes, focus)->cells[column], true);
}

void TKeyPreview::QuickOrderKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus) {
  if (!t.Checked("XPCheckBoxF4") && !Inside(t.Control("PanelF22"), focus)) return;
  const int column = ArrowColumn(key);
  if (column >= 0) {
    HWND f54 = t.Control("XPButtonF54");
    if (column == 0 && f54 && f54 == focus) {
      HWND panel = t.Control("PanelF24");
      SetFocus(t.Control(panel && IsWindowVisible(panel) ? "XPButtonF53" : "XPButtonF55"));
      key = 0;
    } else {
      Act(t, key, FindRoute(t, kQuickOrderRoutes, focus)->cells[column], false);
    }
  }
  if (!key) return;
  switch (key) {
    case VK_ESCAPE:
    case VK_RETURN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: return;
    default: break;
  }
  // "屏蔽行情快捷键": no key outside the trading window becomes a command.
  const HWND panel7 = links_.tradingWindow ? links_.tradingWindow() : nullptr;
  if (t.Checked("XPCheckBoxF4") && !Inside(panel7, focus)) key = 0;
}

void TKeyPreview::LoginKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus) {
  static const struct {
    const char *focus;
    const char *enter, *up, *down;
  } kRows[] = {
      {"XPEdit4", "->XPEdit5", "eat", "->XPEdit5"},
      {"XPEdit5", "->XPEditSK1", "->XPEdit4", "->XPEditSK1"},
      {"XPEditSK1", "pass", "->XPEdit5", "eat"},
      {nullptr, "pass", "eat", "eat"},
  };
  if (key != VK_RETURN && key != VK_UP && key != VK_DOWN) return;
  const auto *row = kRows;
  for (; row->focus; ++row) {
    HWND control = t.Control(row->focus);
    if (control && control == focus) break;
  }
  Act(t, key, key == VK_RETURN ? row->enter : key == VK_UP ? row->up : row->down, false);
}

void TKeyPreview::QuickDealKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus) {
  int at = -1;
  for (int i = 0; i < kQuickDealCount && at < 0; ++i)
    if (i == 0 ? Inside(t.Control(kQuickDealOrder[0]), focus) : t.Control(kQuickDealOrder[i]) == focus) at = i;
  const bool priceEnabled = Enabled(t.Control("XPPriceEdit2"));
  const auto focusAt = [&](int i) {
    if (HWND target = t.Control(kQuickDealOrder[i])) SetFocus(target);
  };
  const int digit = DigitOf(key);
  if (digit >= 1 && digit <= 6) {
    if (at >= kQuickDealFirstButton) {
      // Only the focus moves; the button is not pressed.
      focusAt(kQuickDealFirstButton + digit - 1);
      key = 0;
    }
    return;
  }
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
      const int step = key == VK_LEFT ? -1 : 1;
      if (at >= 0) {
        int next = at + step;
        if (next == 2 && !priceEnabled) next += step;
        if (next >= 0 && next < kQuickDealCount) focusAt(next);
      }
      key = 0;
      return;
    }
    case VK_UP:
    case VK_DOWN: {
      const int sign = key == VK_UP ? 1 : -1;
      const bool standard = t.OrderEntryLayout() == 0;
      if (at == 1) {
        const char *edit = standard ? "XPEdit1001" : "XPEdit1";
        StepVolume(t, edit, standard ? "UpDown1001" : "UpDown1", sign);
        const std::string text = WindowText(t.Control(edit));
        if (HWND own = t.Control("XPEdit12")) SetWindowTextA(own, text.c_str());
        t.SetSpinPosition("XPUpDown1", int(std::strtol(text.c_str(), nullptr, 10)));
      } else if (at == 2) {
        t.StepPrice(standard ? "XPUpDown1003" : "XPUpDown3", sign, TSpinDirection::None, false);
        const std::string text = WindowText(t.Control(standard ? "XPEdit1002" : "XPEdit2"));
        if (HWND own = t.Control("XPPriceEdit2")) SetWindowTextA(own, text.c_str());
      } else if (at == 0) {
        return;  // the contract box's own list
      }
      key = 0;
      return;
    }
    case VK_RETURN:
      if (at == 2) focusAt(3);
      else if (at == 1) focusAt(priceEnabled ? 2 : 3);
      else if (at == 0) focusAt(1);
      else return;
      key = 0;
      return;
    default: return;
  }
}

// ---- Typed characters --------------------------------------------------------------------

bool TKeyPreview::Character(MSG &msg) {
  if (Paused()) return false;
  const HWND focus = GetFocus();
  if (IsEditWindow(focus)) return false;
  if (Inside(links_.tradingWindow ? links_.tradingWindow() : nullptr, focus)) return false;
  const WPARAM ch = msg.wParam;
  if (ch >= 1 && ch <= 26 && GetKeyState(VK_CONTROL) < 0) return false;
  if (ch == VK_RETURN || ch == VK_ESCAPE) return true;
  if (ch == VK_SPACE) return false;
  TSmartKB *wizard = links_.wizard ? links_.wizard() : nullptr;
  if (!wizard) return false;
  if (wizard->HandleAllocated() && IsWindowVisible(wizard->Handle())) return false;

  // The wizard opens at the main window's bottom-right corner with the
  // character as the first of its text.
  RECT frame{};
  GetWindowRect(links_.frame, &frame);
  wizard->SetBounds(frame.right - wizard->Width() - 3, frame.bottom - wizard->Height() - 19, wizard->Width(),
                    wizard->Height());
  wizard->Edit1->Clear();
  PostMessageA(wizard->Edit1->Handle(), WM_CHAR, msg.wParam, msg.lParam);
  TMultiViewChild *active = links_.core ? links_.core->ActiveView() : nullptr;
  wizard->accepted = 0;
  if (active) wizard->viewAttr.viewType = int16_t(active->ViewType());
  const int type = wizard->viewAttr.viewType;
  KeyHookPaused = 1;
  if (links_.runWizard) links_.runWizard(*wizard);
  else wizard->ShowModal();
  KeyHookPaused = 0;
  if (!wizard->accepted) return true;

  if (wizard->resultGroup == kWizardStock) {
    const STKPTR chosen = wizard->viewAttr.stock;
    if (TSelStockDlg *picker = OpenStockPicker) {
      picker->chosen = chosen;
      picker->Button1Click(picker);
    } else if (active && (IsChartType(type) || type == VIEW_TYPE_TEXT || type == VIEW_TYPE_NOTES)) {
      active->m_attr.currentBlock = chosen.market;
      active->Notify(1, chosen.Word(), intptr_t(active->m_attr.currentBlock), 0);
      if (IsChartType(type)) SendMessageA(links_.frame, WM_LINKED_STOCK_CHANGED, 0, reinterpret_cast<LPARAM>(active));
    } else {
      const int chart = links_.trendFirst && links_.trendFirst() ? VIEW_TYPE_INTRADAY : VIEW_TYPE_KLINE;
      VIEW_ATTR_13 attributes = wizard->viewAttr;
      if (InitViewAttr(chart, &attributes)) {
        attributes.stock = chosen;
        attributes.currentBlock = chosen.market;
        if (links_.showChart) links_.showChart(attributes);
      }
    }
    return true;
  }
  if (wizard->resultGroup == kWizardIndicator) {
    if (active && active->ViewType() == VIEW_TYPE_KLINE && links_.applyIndicator)
      links_.applyIndicator(active, wizard->viewAttr.formulas[0]);
    return true;
  }
  if (wizard->resultKind == kWizardResultPage) {
    if (links_.openPage) links_.openPage(wizard->resultValue);
    return true;
  }
  if (wizard->resultKind == kWizardResultCommand && wizard->resultValue >= 0 &&
      wizard->resultValue < kHotKeyTableSize) {
    if (links_.execute) links_.execute(HotKeyTable[wizard->resultValue].command & 0xFF);
  }
  return true;
}

// ---- System commands and the mouse -------------------------------------------------------

bool TKeyPreview::SystemCommand(const MSG &msg) {
  const WPARAM command = msg.wParam;
  if ((command == SC_MINIMIZE || command == SC_RESTORE || command == SC_MAXIMIZE) && links_.fullScreen &&
      links_.fullScreen() && links_.leaveFullScreen)
    links_.leaveFullScreen();
  return command == SC_SCREENSAVE;
}

void TKeyPreview::MouseButton(const MSG &msg) {
  TTradeKeyTargets *t = links_.trading ? links_.trading() : nullptr;
  if (!t || !t->FloatAutoHide() || !t->Floating()) return;
  const HWND panel7 = links_.tradingWindow ? links_.tradingWindow() : nullptr;
  if (Inside(panel7, msg.hwnd) || !Inside(links_.frame, msg.hwnd)) return;
  t->HideWindow();
}

void TKeyPreview::MouseMove(const MSG &msg) {
  TMultiViewMain *page = links_.core ? links_.core->Page() : nullptr;
  if (!page) return;
  for (int i = page->PaneCount() - 1; i >= 0; --i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && view->HandleAllocated() && view->Handle() != msg.hwnd)
      PostMessageA(view->Handle(), WM_NCMOUSEMOVE, 0, 0);
  }
}

bool TKeyPreview::Wheel(const MSG &msg) {
  const bool up = int16_t(HIWORD(msg.wParam)) > 0;
  const HWND focus = GetFocus();
  if (TTradeKeyTargets *t = links_.trading ? links_.trading() : nullptr) {
    const TSpinDirection direction = up ? TSpinDirection::Up : TSpinDirection::Down;
    HWND standard = t->Control("XPEdit1002"), keyboard = t->Control("XPEdit2");
    if (standard && focus == standard) {
      t->StepPrice("XPUpDown1003", up ? 1 : -1, direction, false);
      return false;
    }
    if (keyboard && focus == keyboard) {
      t->StepPrice("XPUpDown3", up ? 1 : -1, direction, false);
      return false;
    }
  }
  TMultiViewChild *view = links_.core ? links_.core->ActiveView() : nullptr;
  if (!view || !view->HandleAllocated()) return false;
  const HWND active = GetActiveWindow();
  if (active != links_.frame && active != view->Handle()) return false;
  if (Inside(links_.tradingWindow ? links_.tradingWindow() : nullptr, focus)) return false;
  const auto postPage = [&](HWND target, WPARAM key) {
    PostMessageA(target, WM_KEYDOWN, key, 0);
    PostMessageA(target, WM_KEYUP, key, 0);
  };
  const int type = view->ViewType();
  if (IsChartType(type)) {
    auto *chart = dynamic_cast<TDrawView *>(view);
    const uint32_t blocking = type == VIEW_TYPE_KLINE ? 0x6u : 0x4u;
    if ((chart && chart->DetailScrollLock) || (view->m_attr.flags & blocking)) return false;
    postPage(view->Handle(), up ? VK_PRIOR : VK_NEXT);
    return true;
  }
  if (type == VIEW_TYPE_REPORT) {
    auto *report = dynamic_cast<TReport *>(view);
    if (!report) return false;
    if (links_.wheel) links_.wheel->NoteWheel(GetTickCount());
    report->wheelFlag = true;
    const bool pages = (view->m_attr.displayFlags & 0x180) != 0;
    postPage(report->Grid()->Handle(), pages ? (up ? VK_PRIOR : VK_NEXT) : (up ? VK_UP : VK_DOWN));
    return true;
  }
  return false;
}
