// Controls: typed message handlers, window-procedure subclassing, the
// control tree, alignment and timers on the fake clock.
#include <gtest/gtest.h>

#include "platform/gdi.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

// Records what its typed handlers receive.
class Recorder : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> seen;

 protected:
  void WMMouse(TWMMouse &m) override {
    if (m.Msg == WM_LBUTTONDOWN)
      seen.push_back("down " + std::to_string(m.Pos.x) + "," + std::to_string(m.Pos.y) +
                     ((m.Keys & MK_SHIFT) ? " shift" : ""));
    TCustomControl::WMMouse(m);
  }
  void WMKey(TWMKey &m) override {
    if (m.Msg == WM_KEYDOWN) seen.push_back("key " + std::to_string(m.CharCode));
    TCustomControl::WMKey(m);
  }
  void WMChar(TWMChar &m) override {
    seen.push_back(std::string("char ") + char(m.CharCode));
    TCustomControl::WMChar(m);
  }
  void WMSize(TWMSize &m) override {
    seen.push_back("size " + std::to_string(m.Width) + "x" + std::to_string(m.Height));
    TCustomControl::WMSize(m);
  }
  void WMFocus(TWMFocus &m) override {
    seen.push_back(m.Msg == WM_SETFOCUS ? "focus" : "blur");
    TCustomControl::WMFocus(m);
  }
  void WMTimer(TWMTimer &m) override {
    seen.push_back("timer " + std::to_string(m.TimerID));
    TCustomControl::WMTimer(m);
  }
  void WMPaint(TWMPaint &m) override {
    if (m.DC) seen.push_back("paint");
    TCustomControl::WMPaint(m);
  }
};

struct ControlFixture : ::testing::Test {
  ControlFixture() {
    form.SetBounds(0, 0, 200, 150);
    form.Show();
  }
  ViewHarness harness;
  TForm form{nullptr};
};

TEST_F(ControlFixture, MessagesReachTheTypedHandlersDecoded) {
  auto *r = new Recorder(&form);
  r->TabStop = true;
  r->SetParent(&form);
  r->SetBounds(10, 10, 50, 40);
  r->SetFocus();
  harness.Pump();
  r->seen.clear();
  harness.Click(r->Handle(), 7, -3, mbLeft, MK_SHIFT);  // coordinates are signed
  harness.Key('Q');
  r->SetBounds(10, 10, 60, 45);
  r->Invalidate();
  harness.Pump();
  EXPECT_EQ(r->seen, (std::vector<std::string>{"down 7,-3 shift", "key 81", "char q", "size 60x45", "paint"}));
}

TEST_F(ControlFixture, CanvasDrawsOutsidePaintAndXorTwiceRestores) {
  auto *r = new Recorder(&form);
  r->SetParent(&form);
  r->SetBounds(0, 0, 40, 30);
  r->SetColor(clWhite);
  harness.Pump();
  ASSERT_EQ(harness.Pixel(r->Handle(), 10, 10), RGB(255, 255, 255));
  TCanvas *canvas = r->Canvas();
  canvas->Pen()->SetMode(pmXor);
  canvas->Pen()->SetColor(clWhite);
  canvas->MoveTo(0, 10);
  canvas->LineTo(40, 10);  // a cross-hair line, drawn at a mouse move
  EXPECT_EQ(harness.Pixel(r->Handle(), 10, 10), RGB(0, 0, 0));
  canvas->MoveTo(0, 10);
  canvas->LineTo(40, 10);
  EXPECT_EQ(harness.Pixel(r->Handle(), 10, 10), RGB(255, 255, 255));
}

// Subclassing by window procedure still works: the new procedure sees the
// message first and may keep it from the control.
WNDPROC g_previous = nullptr;
LRESULT SwallowDigits(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && wParam >= '0' && wParam <= '9') return 0;
  return CallWindowProcA(g_previous, hwnd, message, wParam, lParam);
}

TEST_F(ControlFixture, WindowProcedureSubclassSeesMessagesBeforeTheControl) {
  auto *r = new Recorder(&form);
  r->SetParent(&form);
  r->SetBounds(0, 0, 20, 20);
  r->SetFocus();
  g_previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(r->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowDigits)));
  harness.Pump();
  r->seen.clear();
  harness.Type("a1b");
  EXPECT_EQ(r->seen, (std::vector<std::string>{"key 65", "char a", "key 49", "key 66", "char b"}));
  EXPECT_EQ(TWinControl::FromHandle(r->Handle()), r);
}

TEST_F(ControlFixture, WndProcOverrideAndWindowProcReplacementSeeRawMessages) {
  auto *r = new Recorder(&form);
  r->SetParent(&form);
  std::vector<UINT> raw;
  TWndMethod old = r->WindowProc;
  r->WindowProc = [&raw, old](TMessage &m) {
    if (m.Msg == WM_USER + 5) {
      raw.push_back(m.Msg);
      m.Result = 42;
      return;
    }
    old(m);
  };
  EXPECT_EQ(SendMessageA(r->Handle(), WM_USER + 5, 0, 0), 42);
  EXPECT_EQ(r->Perform(WM_USER + 5), 42);
  EXPECT_EQ(raw.size(), 2u);
}

TEST_F(ControlFixture, AlignedControlsShareTheClientArea) {
  auto *top = new TPanel(&form);
  top->SetParent(&form);
  top->SetHeight(30);
  top->SetAlign(alTop);
  auto *left = new TPanel(&form);
  left->SetParent(&form);
  left->SetWidth(40);
  left->SetAlign(alLeft);
  auto *client = new TPanel(&form);
  client->SetParent(&form);
  client->SetAlign(alClient);
  form.SetClientSize(200, 150);
  harness.Pump();
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 200, 30));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 30, 40, 150));
  EXPECT_EQ(client->BoundsRect(), Rect(40, 30, 200, 150));
  top->Hide();
  harness.Pump();
  EXPECT_EQ(client->BoundsRect(), Rect(40, 0, 200, 150));
}

TEST_F(ControlFixture, SplitterResizesTheControlItSitsAgainstWithinLimits) {
  form.SetClientSize(300, 200);
  auto *bottom = new TPanel(&form);
  bottom->SetParent(&form);
  bottom->SetHeight(100);
  bottom->SetAlign(alBottom);
  auto *splitter = new TSplitter(&form);
  splitter->SetParent(&form);
  splitter->SetAlign(alBottom);
  splitter->SetHeight(4);
  splitter->MinSize = 40;
  auto *rest = new TPanel(&form);
  rest->SetParent(&form);
  rest->SetAlign(alClient);
  int moved = 0;
  splitter->OnMoved = [&](TObject *) { ++moved; };
  harness.Pump();
  ASSERT_EQ(splitter->Top(), 96);
  ASSERT_EQ(splitter->ResizedControl(), bottom);
  struct Drag {
    int toY, height;
  } drags[] = {{76, 120},   // up by 20: the bottom panel grows
               {180, 40},   // far down: no smaller than MinSize
               {-50, 156}}; // far up: MinSize is left for the rest
  for (const Drag &d : drags) {
    int y = splitter->Top();
    harness.MouseDown(form.Handle(), 10, y);
    harness.MouseMove(form.Handle(), 10, d.toY, MK_LBUTTON);
    harness.MouseUp(form.Handle(), 10, d.toY);
    EXPECT_EQ(bottom->Height(), d.height) << d.toY;
    EXPECT_EQ(splitter->Top() + splitter->Height(), bottom->Top());
  }
  EXPECT_EQ(moved, 3);
  EXPECT_EQ(rest->Height(), 200 - 156 - 4);
}

TEST_F(ControlFixture, GraphicControlsGetTheMouseOverTheirArea) {
  auto *box = new TPaintBox(&form);
  box->SetParent(&form);
  box->SetBounds(50, 40, 30, 20);
  int clicks = 0;
  POINT at{};
  box->OnClick = [&](TObject *) { ++clicks; };
  box->OnMouseDown = [&](TObject *, TMouseButton, TShiftState, int x, int y) { at = POINT{x, y}; };
  harness.Click(form.Handle(), 55, 45);
  harness.Click(form.Handle(), 10, 10);  // beside it
  // Pressed on it and released beside it: no click.
  harness.MouseDown(form.Handle(), 60, 50);
  harness.MouseUp(form.Handle(), 150, 100);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(at.x, 10);
  EXPECT_EQ(at.y, 10);
}

TEST_F(ControlFixture, TimersFireFromTheFakeClock) {
  auto *r = new Recorder(&form);
  r->SetParent(&form);
  harness.Pump();
  r->seen.clear();
  SetTimer(r->Handle(), 7, 100, nullptr);
  harness.Advance(100);
  KillTimer(r->Handle(), 7);
  EXPECT_EQ(r->seen, (std::vector<std::string>{"timer 7"}));

  auto *timer = new TTimer(&form);
  timer->SetInterval(1000);
  int fired = 0;
  timer->OnTimer = [&](TObject *) { ++fired; };
  harness.Advance(999);
  EXPECT_EQ(fired, 0);
  harness.Advance(1);
  EXPECT_EQ(fired, 1);
  harness.Advance(3000, 500);
  EXPECT_EQ(fired, 4);
  timer->SetEnabled(false);
  harness.Advance(5000, 500);
  EXPECT_EQ(fired, 4);
}

TEST_F(ControlFixture, TheApplicationHintFollowsTheControlUnderTheMouse) {
  auto *panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 50, 50);
  panel->Hint = "报价|点击查看报价";
  auto *box = new TPaintBox(&form);
  box->SetParent(panel);
  box->SetBounds(10, 10, 10, 10);
  box->Hint = "画线";
  std::vector<std::string> hints;
  Application()->OnHint = [&](TObject *) { hints.push_back(Application()->Hint); };
  harness.MouseMove(panel->Handle(), 30, 30);
  harness.MouseMove(panel->Handle(), 40, 40);  // the same control: nothing new
  harness.MouseMove(panel->Handle(), 12, 12);
  harness.MouseMove(form.Handle(), 100, 100);
  Application()->OnHint = nullptr;
  EXPECT_EQ(hints, (std::vector<std::string>{"点击查看报价", "画线", ""}));
}

// An owner-painted button as the system's own button family builds it:
// the window procedure paints, the style stays owner-drawn whatever the
// class library sets, and clicks keep the library's behaviour.
class PaintedButton : public TButton {
 public:
  using TButton::TButton;
  int paints = 0, enabledChanges = 0;
  COLORREF face = RGB(10, 120, 200);

 protected:
  void WndProc(TMessage &m) override {
    switch (m.Msg) {
      case WM_CREATE:
        SetWindowLongA(Handle(), GWL_STYLE, LONG((DWORD(GetWindowLongA(Handle(), GWL_STYLE)) & ~0x1Fu) | BS_OWNERDRAW));
        break;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        HBRUSH brush = CreateSolidBrush(face);
        RECT r = ClientRect();
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(Handle(), &ps);
        ++paints;
        m.Result = 0;
        return;
      }
      case WM_ERASEBKGND: m.Result = 1; return;
      case BM_SETSTYLE: m.WParam = (m.WParam & ~WPARAM(0x1F)) | BS_OWNERDRAW; break;
      case CM_ENABLEDCHANGED: ++enabledChanges; break;
      default: break;
    }
    TButton::WndProc(m);
  }
};

TEST_F(ControlFixture, OwnerPaintedButtonKeepsClicksDefaultKeyAndItsStyle) {
  auto *b = new PaintedButton(&form);
  b->SetParent(&form);
  b->SetBounds(10, 10, 75, 23);
  b->SetDefault(true);
  int clicks = 0;
  b->OnClick = [&](TObject *) { ++clicks; };
  auto *other = new TEdit(&form);
  other->SetParent(&form);
  other->SetBounds(10, 50, 75, 21);
  other->SetFocus();
  harness.Pump();
  EXPECT_EQ(GetWindowLongA(b->Handle(), GWL_STYLE) & BS_TYPEMASK, LONG(BS_OWNERDRAW));
  EXPECT_EQ(harness.Pixel(b, 5, 5), RGB(10, 120, 200));
  EXPECT_GT(b->paints, 0);
  harness.Click(b, 5, 5);
  harness.DoubleClick(b->Handle(), 5, 5);  // the second press of a double click is a click too
  other->SetFocus();
  harness.Key(VK_RETURN);
  EXPECT_EQ(clicks, 4);
  b->SetEnabled(false);
  EXPECT_GE(b->enabledChanges, 1);
  harness.Click(b, 5, 5);
  EXPECT_EQ(clicks, 4);
}

TEST_F(ControlFixture, RadioButtonsOfAParentExcludeEachOther) {
  auto *group = new TRadioGroup(&form);
  group->SetParent(&form);
  group->SetBounds(0, 0, 150, 100);
  group->Items()->Add("电信");
  group->Items()->Add("网通");
  int changes = 0;
  group->OnClick = [&](TObject *) { ++changes; };
  group->SetItemIndex(0);
  harness.Click(group->Buttons(1), 5, 5);
  EXPECT_EQ(group->ItemIndex(), 1);
  EXPECT_FALSE(group->Buttons(0)->Checked());
  EXPECT_TRUE(group->Buttons(1)->Checked());
  EXPECT_EQ(changes, 1);
}

TEST_F(ControlFixture, CheckBoxTogglesOnClickAndSpace) {
  auto *box = new TCheckBox(&form);
  box->SetParent(&form);
  box->SetCaption("使用代理服务器");
  int clicks = 0;
  box->OnClick = [&](TObject *) { ++clicks; };
  harness.Click(box, 3, 3);
  EXPECT_TRUE(box->Checked());
  harness.Key(VK_SPACE);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), LRESULT(BST_UNCHECKED));
}

}  // namespace
