// Controls: typed message handlers, window-procedure subclassing, the
// control tree, alignment and timers on the fake clock.
#include <gtest/gtest.h>

#include "platform/vcl/extctrls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/stdctrls.h"
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
  SetTimer(r->Handle(), 7, 100, nullptr);
  harness.Advance(100);
  KillTimer(r->Handle(), 7);
  r->SetBounds(10, 10, 60, 45);
  r->Invalidate();
  harness.Pump();
  EXPECT_EQ(r->seen, (std::vector<std::string>{"down 7,-3 shift", "key 81", "char q", "timer 7", "size 60x45", "paint"}));
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

TEST_F(ControlFixture, TimerFiresFromTheFakeClock) {
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
