#include <gtest/gtest.h>

#include <QTextBrowser>

#include <functional>
#include <memory>
#include <string>

#include "core/xpchecklistbox.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xpmemo.h"
#include "core/xppriceedit.h"
#include "core/xprichedit.h"
#include "core/xptreeview.h"
#include "tests/core/xp_test_support.h"

namespace {

using xp_test::FramePixel;

DWORD ExStyle(HWND hwnd) { return DWORD(GetWindowLongA(hwnd, GWL_EXSTYLE)); }

class XPFlat : public ::testing::Test {
 protected:
  template <class T>
  T *Make(int w = 120, int height = 60) {
    T *control = new T(&form.form);
    control->SetParent(&form.form);
    control->SetBounds(10, 10, w, height);
    control->SetColor(RGB(255, 255, 255));
    control->Handle();
    h.Pump();
    return control;
  }
  testing_support::ViewHarness h;
  xp_test::Form form{h};
};

TEST_F(XPFlat, OneRingOverAStaticEdge) {
  struct Case {
    const char *name;
    std::function<TWinControl *()> make;
  };
  const Case cases[] = {
      {"memo", [&] { return Make<TXPMemo>(); }},
      {"list box", [&] { return Make<TXPListBox>(); }},
      {"check list", [&] { return Make<TXPCheckListBox>(); }},
      {"tree view", [&] { return Make<TXPTreeView>(); }},
      {"rich edit", [&] { return Make<TXPRichEdit>(); }},
  };
  for (const Case &c : cases) {
    TWinControl *control = c.make();
    HWND w = control->Handle();
    EXPECT_EQ(ExStyle(w) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), DWORD(WS_EX_STATICEDGE)) << c.name;
    EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_STYLE)) & WS_BORDER, 0u) << c.name;
    EXPECT_EQ(control->ClientWidth(), 118) << c.name;
    for (POINT p : {POINT{0, 0}, POINT{119, 0}, POINT{0, 59}, POINT{119, 59}, POINT{60, 59}})
      EXPECT_EQ(FramePixel(w, p.x, p.y), XPFrameColor) << c.name << " " << p.x << "," << p.y;
    // After a resize the frame is painted again.
    control->SetBounds(10, 10, 100, 50);
    h.Pump();
    UpdateWindow(w);
    EXPECT_EQ(FramePixel(w, 99, 49), XPFrameColor) << c.name;
    delete control;
  }
}

TEST_F(XPFlat, EditsKeepTheirEdgeUnderTwoRings) {
  for (TEdit *edit : {static_cast<TEdit *>(Make<TXPEdit>(120, 22)), static_cast<TEdit *>(Make<TXPPriceEdit>(120, 22))}) {
    edit->SetColor(RGB(250, 250, 200));
    HWND w = edit->Handle();
    RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_NE(ExStyle(w) & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(FramePixel(w, 0, 0), XPFrameColor);
    EXPECT_EQ(FramePixel(w, 119, 21), XPFrameColor);
    EXPECT_EQ(FramePixel(w, 1, 1), RGB(250, 250, 200));
    EXPECT_EQ(FramePixel(w, 118, 20), RGB(250, 250, 200));
  }
}

TEST_F(XPFlat, RichEditFramesOnce) {
  // The window's border is the frame; the editor inside draws none.
  auto *rich = Make<TXPRichEdit>();
  ASSERT_NE(rich->Browser(), nullptr);
  EXPECT_EQ(rich->Browser()->frameShape(), QFrame::NoFrame);
}

TEST_F(XPFlat, RichEditWithoutBorderStaysPlain) {
  auto *rich = new TXPRichEdit(&form.form);
  rich->BorderStyle = bsNone;
  rich->SetParent(&form.form);
  rich->SetBounds(10, 10, 100, 40);
  HWND w = rich->Handle();
  h.Pump();
  EXPECT_EQ(ExStyle(w) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), 0u);
  EXPECT_EQ(rich->ClientWidth(), 100);
}

TEST_F(XPFlat, PriceEditFilter) {
  struct Case {
    const char *start;
    int caret;  // -1: all selected
    const char *typed;
    const char *text;
  };
  const Case cases[] = {
      {"", 0, "12.5", "12.5"},
      {"", 0, "1.2.5", "1.25"},       // a second full stop is refused
      {"12", 0, ".", ".12"},          // one full stop, wherever
      {"", 0, "-3", "-3"},            // a minus at the start of an empty edit
      {"45", 0, "-", "-45"},          // at the start of a filled one
      {"45", 1, "-", "45"},           // anywhere else: refused
      {"45", -1, "-", "45"},          // with the text selected: refused
      {"7", 1, "a +,x 8", "78"},      // letters, spaces, '+' and ','
      {"", 0, "-1-2", "-12"},
  };
  auto *edit = Make<TXPPriceEdit>(120, 22);
  edit->SetFocus();
  for (const Case &c : cases) {
    edit->SetText(c.start);
    if (c.caret < 0) {
      edit->SelectAll();
    } else {
      edit->SetSelStart(c.caret);
      edit->SetSelLength(0);
    }
    h.Type(edit, c.typed);
    EXPECT_EQ(edit->Text(), c.text) << c.start << " + " << c.typed;
  }
  // Backspace still deletes; Ctrl+V (a control character) is refused.
  edit->SetText("12");
  edit->SetSelStart(2);
  SendMessageA(edit->Handle(), WM_CHAR, 8, 0);
  h.Pump();
  EXPECT_EQ(edit->Text(), "1");
  EXPECT_EQ(SendMessageA(edit->Handle(), WM_CHAR, 0x16, 0), 0);
  EXPECT_EQ(edit->Text(), "1");
}

TEST_F(XPFlat, ListBoxDrawItem2AndScrollEvents) {
  auto *list = Make<TXPListBox>(120, 60);
  for (int i = 0; i < 20; ++i) list->Items()->Add("item " + std::to_string(i));
  int drawItem = 0, drawItem2 = 0;
  std::vector<int> indexes;
  list->OnDrawItem = [&](TWinControl *, int, TRect, TOwnerDrawState) { ++drawItem; };
  list->OnDrawItem2 = [&](TObject *sender, HDC dc, int index, const RECT &r, TOwnerDrawState) {
    EXPECT_EQ(sender, list);
    EXPECT_NE(dc, nullptr);
    EXPECT_EQ(r.bottom - r.top, list->ItemHeight());
    indexes.push_back(index);
    ++drawItem2;
  };
  // A standard list draws its own items and ignores both events.
  XPRepaint(list->Handle());
  EXPECT_EQ(drawItem2, 0);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemIndex(1);
  XPRepaint(list->Handle());
  EXPECT_EQ(drawItem, 0);
  ASSERT_GT(drawItem2, 0);
  EXPECT_EQ(indexes.front(), 0);

  // The scroll events come after the list has scrolled.
  int topSeen = -1;
  uint32_t code = 99, position = 99;
  list->OnVScroll = [&](TObject *, uint32_t c, uint32_t p) {
    topSeen = list->TopIndex();
    code = c;
    position = p;
  };
  SendMessageA(list->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 5), 0);
  EXPECT_EQ(topSeen, 5);
  EXPECT_EQ(code, uint32_t(SB_THUMBPOSITION));
  EXPECT_EQ(position, 5u);
  list->OnHScroll = [&](TObject *, uint32_t c, uint32_t p) {
    code = c;
    position = p;
  };
  SendMessageA(list->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 7), 0);
  EXPECT_EQ(code, uint32_t(SB_LINEDOWN));
  EXPECT_EQ(position, 7u);
}

}  // namespace
