// The view harness: drives forms, controls and windows offscreen the way a
// user would, at the message level (messages posted to the queue, so they
// pass the application's hook, translation and the window procedures) or at
// the Qt level (Qt events to the widgets, which the window layer turns into
// the same messages); moves the fake clock so timers fire; reads pixels back
// and writes pictures under the build folder.
//
// A test makes one harness; the harness makes the fake clock the process
// clock for as long as it lives.
#pragma once

#include <functional>
#include <string>

#include <QImage>

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "testing/fake_clock.h"

namespace testing_support {

class ViewHarness {
 public:
  ViewHarness();
  ~ViewHarness();
  ViewHarness(const ViewHarness &) = delete;
  ViewHarness &operator=(const ViewHarness &) = delete;

  FakeClock &Clock() { return clock_; }
  // Handles everything that is due now: Qt events, posted and sent messages,
  // timers and paints.
  void Pump();
  // Moves the clock on and handles what became due (timers fire once per
  // step of at most `step` milliseconds, as a running program sees them).
  void Advance(uint64_t ms, uint64_t step = 10);

  // ---- message level: posted to the window, then handled ----
  void Click(HWND hwnd, int x, int y, TMouseButton button = mbLeft, UINT keys = 0);
  void DoubleClick(HWND hwnd, int x, int y);
  void MouseDown(HWND hwnd, int x, int y, TMouseButton button = mbLeft, UINT keys = 0);
  void MouseUp(HWND hwnd, int x, int y, TMouseButton button = mbLeft, UINT keys = 0);
  void MouseMove(HWND hwnd, int x, int y, UINT keys = 0);
  // Press and release of a key at the focused window (or the given one),
  // with Shift, Ctrl and Alt held as the shift state says. The key-down is
  // translated into characters as a keyboard would type them.
  void Key(int virtualKey, TShiftState shift = TShiftState(), HWND target = nullptr);
  // Typed text (GBK) as keys where the keyboard has them, else as
  // characters (double-byte characters as two WM_CHAR messages).
  void Type(const std::string &gbk, HWND target = nullptr);
  // Only posted, not handled: for scripts running inside a loop that takes
  // its input itself (a popup menu's).
  void PostKey(int virtualKey, TShiftState shift = TShiftState(), HWND target = nullptr);
  void PostClick(HWND hwnd, int x, int y, TMouseButton button = mbLeft);
  // The same for a control (its window is made if needed).
  void Click(TControl *control, int x, int y, TMouseButton button = mbLeft);
  void Type(TWinControl *control, const std::string &gbk) { Type(gbk, control->Handle()); }

  // ---- Qt level: events to the widgets ----
  void QtKey(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = QString());
  void QtType(const QString &text);
  void QtClick(HWND hwnd, int x, int y, Qt::MouseButton button = Qt::LeftButton);

  // Runs the form modally with the script acting inside its loop (the
  // script types, clicks, advances the clock). When the script leaves the
  // form open, it is ended with -1 so that a test fails instead of hanging.
  int RunModal(TCustomForm *form, const std::function<void()> &script);
  // Runs code inside the next message loop (a popup menu's, a modal form's).
  void Soon(const std::function<void()> &script);

  // ---- pixels and pictures ----
  // A client pixel of the window after pending paints (0xFFFFFFFF outside).
  COLORREF Pixel(HWND hwnd, int x, int y);
  COLORREF Pixel(TControl *control, int x, int y);
  // The window as shown, wrapped Qt widgets included (client area; for a
  // control without a window, its part of the parent).
  QImage Render(HWND hwnd);
  QImage Render(TControl *control);
  // Writes the picture to <build>/pictures/<name>.png and returns the path.
  std::string SavePng(const QImage &image, const std::string &name);
  static std::string PicturesFolder();

 private:
  void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT ScriptProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  ScopedFakeClock clock_;
  HWND scriptWindow_ = nullptr;
};

// A sheet of labelled pictures in a grid, for a person to look at.
class PictureSheet {
 public:
  explicit PictureSheet(int columns = 4) : columns_(columns) {}
  void Add(const std::string &label, const QImage &image);
  QImage Compose() const;

 private:
  int columns_;
  std::vector<std::pair<std::string, QImage>> items_;
};

}  // namespace testing_support
