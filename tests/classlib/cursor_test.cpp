// Cursors: the standard shapes load, and a set cursor shows on the window
// under the mouse (the capturing one first) until the mouse moves on.
#include <gtest/gtest.h>

#include <QCursor>
#include <QWidget>

#include "platform/qtbridge.h"
#include "classlib/extctrls.h"
#include "tests/classlib/control_fixture.h"

namespace {

Qt::CursorShape Shown(HWND hwnd) { return platform::WidgetFromHandle(hwnd)->cursor().shape(); }

TEST(CursorTest, OnlyTheStandardCursorsLoad) {
  const LPCSTR names[] = {IDC_ARROW, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL, IDC_HAND, IDC_IBEAM, IDC_WAIT};
  for (LPCSTR a : names) {
    EXPECT_NE(LoadCursorA(nullptr, a), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, a), LoadCursorA(nullptr, a));
    for (LPCSTR b : names)
      if (a != b) EXPECT_NE(LoadCursorA(nullptr, a), LoadCursorA(nullptr, b));
  }
  EXPECT_EQ(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(uintptr_t{1})), nullptr);
  EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(uintptr_t{0x400000}), IDC_ARROW), nullptr);
}

TEST_F(ControlTest, SetCursorShowsOnTheWindowUnderTheMouseOrWithTheCapture) {
  auto *left = Make<TPanel>(0, 0, 200, 200);
  auto *right = Make<TPanel>(200, 0, 200, 200);
  ShowForm();
  const HCURSOR sizeWE = LoadCursorA(nullptr, IDC_SIZEWE), sizeNS = LoadCursorA(nullptr, IDC_SIZENS);

  h.MouseMove(left->Handle(), 10, 10);
  SetCursor(sizeWE);
  EXPECT_EQ(GetCursor(), sizeWE);
  EXPECT_EQ(Shown(left->Handle()), Qt::SizeHorCursor);
  EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(uintptr_t{0x1234})), sizeWE) << "an unknown handle";
  EXPECT_EQ(GetCursor(), sizeWE);

  // On to the other window: the first shows its own cursor again.
  h.MouseMove(right->Handle(), 10, 10);
  EXPECT_EQ(Shown(left->Handle()), Qt::ArrowCursor);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));

  // The capture wins over the window under the mouse.
  SetCapture(left->Handle());
  EXPECT_EQ(SetCursor(sizeNS), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(Shown(left->Handle()), Qt::SizeVerCursor);
  EXPECT_EQ(Shown(right->Handle()), Qt::ArrowCursor);
  ReleaseCapture();

  // Without the capture it is the window under the mouse again; null hides it.
  SetCursor(nullptr);
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(Shown(right->Handle()), Qt::BlankCursor);
  EXPECT_EQ(Shown(left->Handle()), Qt::ArrowCursor);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace
