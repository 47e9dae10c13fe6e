// The key preview: the application's message hook, which sees every
// message the GUI thread takes from its queue before it is translated, in
// the main loop and in every modal loop. It routes the keyboard (hot keys,
// the trading window's keys, typed characters to the keyboard wizard) and
// treats a few mouse messages and system commands. It keeps no state
// between messages.
#pragma once

#include <functional>

#include "platform/winuser.h"

class TFrameCore;
class TMultiViewChild;
class TSmartKB;
class TTradeKeyTargets;
class TWheelAndTicker;
struct VIEW_ATTR_13;

// What the hook reaches; empty entries do nothing.
struct TKeyPreviewLinks {
  HWND frame = nullptr;                      // the main window
  TFrameCore *core = nullptr;                // the page and its active view
  std::function<HWND()> tradingWindow;       // "Panel7"'s window
  std::function<TTradeKeyTargets *()> trading;  // null while no trading window exists
  std::function<TSmartKB *()> wizard;
  // The command dispatcher.
  std::function<void(int command)> execute;
  // The command of a key press (the hot-key table by default).
  std::function<int(UINT virtualKey)> commandForKey;
  // "走势图优先(&M)" and "全屏显示" with its way out.
  std::function<bool()> trendFirst;
  std::function<bool()> fullScreen;
  std::function<void()> leaveFullScreen;
  // An instrument's chart brought forward or made (the dispatcher's).
  std::function<void(const VIEW_ATTR_13 &attributes)> showChart;
  // A page chosen in the wizard (its index) and an indicator chosen for a
  // K-line view.
  std::function<void(int page)> openPage;
  std::function<void(TMultiViewChild *view, const char *indicator)> applyIndicator;
  // Runs the wizard modally: ShowModal by default.
  std::function<void(TSmartKB &wizard)> runWizard;
  // The wheel's time stamp on a quote report.
  TWheelAndTicker *wheel = nullptr;
};

class TKeyPreview {
 public:
  explicit TKeyPreview(TKeyPreviewLinks links) : links_(std::move(links)) {}

  // The application's message handler: may set handled and may clear the
  // key code of a key-down message.
  void Hook(MSG &msg, bool &handled);

 private:
  bool KeyDown(MSG &msg);
  bool SystemKey(const MSG &msg);
  bool Character(MSG &msg);
  bool SystemCommand(const MSG &msg);
  void MouseButton(const MSG &msg);
  void MouseMove(const MSG &msg);
  bool Wheel(const MSG &msg);

  // The trading window's steps; each may eat the key (set it to 0).
  void TradingFunctionKeys(TTradeKeyTargets &t, WPARAM &key);
  void OrderPanelKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus);
  void QuickOrderKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus);
  void LoginKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus);
  void QuickDealKeys(TTradeKeyTargets &t, WPARAM &key, HWND focus);
  // Runs one cell of a routing table: "pass", "eat", "->A" or "->A|B",
  // "vol-:Edit:Spin", "vol+:Edit:Spin", "price-:Spin", "price+:Spin".
  void Act(TTradeKeyTargets &t, WPARAM &key, const char *cell, bool spinSender);
  void StepVolume(TTradeKeyTargets &t, const char *edit, const char *spin, int sign);
  int CommandFor(UINT key) const;
  bool Paused() const;

  TKeyPreviewLinks links_;
};
