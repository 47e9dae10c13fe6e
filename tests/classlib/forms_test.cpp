// Forms driven by the keyboard: default and cancel buttons, the close
// query, key preview, focus moving with Tab.
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

// A small dialog: a name edit, OK (default) and Cancel.
struct NameDialog : TForm {
  explicit NameDialog(TComponent *owner) : TForm(owner) {
    SetBorderStyle(bsDialog);
    SetCaption("Name");
    SetClientSize(240, 90);
    Edit = new TEdit(this);
    Edit->SetParent(this);
    Edit->SetBounds(8, 8, 224, 21);
    Edit->SetTabOrder(0);
    Ok = new TButton(this);
    Ok->SetParent(this);
    Ok->SetCaption("OK");
    Ok->SetBounds(76, 56, 75, 25);
    Ok->SetDefault(true);
    Ok->ModalResult = mrOk;
    Ok->SetTabOrder(1);
    Cancel = new TButton(this);
    Cancel->SetParent(this);
    Cancel->SetCaption("Cancel");
    Cancel->SetBounds(157, 56, 75, 25);
    Cancel->Cancel = true;
    Cancel->ModalResult = mrCancel;
    Cancel->SetTabOrder(2);
  }
  TEdit *Edit;
  TButton *Ok;
  TButton *Cancel;
};

struct KeyCase {
  const char *name;
  std::vector<int> keys;  // pressed in order, in the edit that has the focus
  int result;
};

class FormKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(FormKeys, ShowModalReturnsTheResultOfTheButtonTheKeysPress) {
  ViewHarness harness;
  NameDialog dialog(nullptr);
  int result = harness.RunModal(&dialog, [&] {
    ASSERT_TRUE(dialog.Edit->Focused());
    for (int key : GetParam().keys) harness.Key(key);
  });
  EXPECT_EQ(result, GetParam().result);
  EXPECT_FALSE(dialog.Visible());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FormKeys,
    ::testing::Values(KeyCase{"EnterPressesTheDefaultButton", {VK_RETURN}, mrOk},
                      KeyCase{"EscPressesTheCancelButton", {VK_ESCAPE}, mrCancel},
                      // With the focus on Cancel, Enter presses the focused button.
                      KeyCase{"EnterPressesTheFocusedButton", {VK_TAB, VK_TAB, VK_RETURN}, mrCancel},
                      KeyCase{"SpacePressesTheFocusedButton", {VK_TAB, VK_SPACE}, mrOk}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Forms, EnterTypedAtTheQtLevelPressesTheDefaultButton) {
  ViewHarness harness;
  NameDialog dialog(nullptr);
  int result = harness.RunModal(&dialog, [&] {
    harness.QtType("ab");
    harness.QtKey(Qt::Key_Return, Qt::NoModifier, "\r");
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(dialog.Edit->Text(), "ab");  // the Enter typed no character
}

TEST(Forms, CloseQueryKeepsTheModalFormOpenUntilItAgrees) {
  ViewHarness harness;
  NameDialog dialog(nullptr);
  int asked = 0;
  dialog.OnCloseQuery = [&](TObject *, bool &canClose) { canClose = ++asked > 1; };
  TCloseAction seen = caNone;
  dialog.OnClose = [&](TObject *, TCloseAction &action) { seen = action; };
  bool stayedOpen = false;
  int result = harness.RunModal(&dialog, [&] {
    harness.Key(VK_ESCAPE);
    // Once the modal loop has asked: still open, without a result.
    harness.Soon([&] {
      stayedOpen = dialog.Visible() && dialog.ModalResult() == mrNone;
      harness.Key(VK_RETURN);
    });
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(seen, caHide);
}

TEST(Forms, KeyPreviewLetsTheFormTakeAKeyBeforeTheFocusedControl) {
  ViewHarness harness;
  NameDialog dialog(nullptr);
  dialog.KeyPreview = true;
  std::vector<std::string> order;
  dialog.OnKeyDown = [&](TObject *, WORD &key, TShiftState) {
    order.push_back("form");
    if (key == (VK_F1 + 1)) key = 0;  // the form keeps F2
  };
  dialog.Edit->OnKeyDown = [&](TObject *, WORD &, TShiftState) { order.push_back("edit"); };
  dialog.OnKeyPress = [&](TObject *, char &key) {
    if (key == 'x') key = 0;  // and refuses the letter x
  };
  harness.RunModal(&dialog, [&] {
    harness.Key((VK_F1 + 1));
    harness.Key((VK_F1 + 2));
    harness.Type("axb");
    harness.Key(VK_ESCAPE);
  });
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 3),
            (std::vector<std::string>{"form", "form", "edit"}));
  EXPECT_EQ(dialog.Edit->Text(), "ab");
}

// A form shown inside another (a view on a page) previews the keys of its
// own controls; the outer form without KeyPreview sees none of them.
TEST(Forms, AFormInsideAnotherPreviewsItsOwnControlsKeys) {
  ViewHarness harness;
  TForm outer(nullptr);
  outer.SetClientSize(300, 200);
  TForm inner(nullptr);
  inner.SetBorderStyle(bsNone);
  inner.SetParent(&outer);
  inner.SetBounds(0, 0, 300, 200);
  inner.KeyPreview = true;
  TEdit edit(&inner);
  edit.SetParent(&inner);
  edit.SetBounds(8, 8, 100, 21);
  std::vector<std::string> order;
  outer.OnKeyDown = [&](TObject *, WORD &, TShiftState) { order.push_back("outer"); };
  inner.OnKeyDown = [&](TObject *, WORD &key, TShiftState) {
    order.push_back("inner");
    if (key == VK_ESCAPE) key = 0;
  };
  edit.OnKeyDown = [&](TObject *, WORD &, TShiftState) { order.push_back("edit"); };
  outer.Show();
  inner.Show();
  edit.SetFocus();
  harness.Pump();
  harness.Key(VK_ESCAPE, TShiftState(), edit.Handle());
  harness.Key(VK_F1, TShiftState(), edit.Handle());
  EXPECT_EQ(order, (std::vector<std::string>{"inner", "inner", "edit"}));
}

TEST(Forms, AKeyTheDefaultButtonTakesReachesNoKeyHandler) {
  ViewHarness harness;
  NameDialog dialog(nullptr);
  std::vector<WORD> seen;
  dialog.Edit->OnKeyDown = [&](TObject *, WORD &key, TShiftState) { seen.push_back(key); };
  EXPECT_EQ(harness.RunModal(&dialog, [&] {
    harness.Key('A');
    harness.Key(VK_RETURN);
  }),
            mrOk);
  EXPECT_EQ(seen, (std::vector<WORD>{'A'}));
  // Without a default button Enter is the edit's.
  dialog.Ok->SetDefault(false);
  seen.clear();
  EXPECT_EQ(harness.RunModal(&dialog, [&] {
    harness.Key(VK_RETURN);
    harness.Key(VK_ESCAPE);
  }),
            mrCancel);
  EXPECT_EQ(seen, (std::vector<WORD>{VK_RETURN}));
}

TEST(Forms, OtherFormsAreDisabledWhileAModalFormRuns) {
  ViewHarness harness;
  TForm main(nullptr);
  main.Show();
  NameDialog dialog(nullptr);
  bool enabledInside = true;
  harness.RunModal(&dialog, [&] {
    enabledInside = IsWindowEnabled(main.Handle());
    harness.Key(VK_ESCAPE);
  });
  EXPECT_FALSE(enabledInside);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

TEST(Forms, PositionPlacesTheFormWhenItIsFirstShown) {
  ViewHarness harness;
  QRect g = QGuiApplication::primaryScreen()->geometry();
  RECT screen{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  TForm centred(nullptr);
  centred.SetBounds(5, 5, 200, 100);
  centred.Position = poScreenCenter;
  centred.Show();
  EXPECT_EQ(centred.Left(), screen.left + (screen.right - screen.left - 200) / 2);
  EXPECT_EQ(centred.Top(), screen.top + (screen.bottom - screen.top - 100) / 2);
  TForm designed(nullptr);
  designed.SetBounds(5, 7, 200, 100);
  designed.Show();
  EXPECT_EQ(designed.BoundsRect(), Rect(5, 7, 205, 107));

  // Centred on a small form in a corner of the screen, a larger dialog
  // stays on the screen instead of opening above or left of it.
  struct Case {
    int ownerLeft, ownerTop;
    int left, top;
  } corners[] = {{int(screen.left), int(screen.top), int(screen.left), int(screen.top)},
                 {int(screen.right) - 100, int(screen.bottom) - 80, int(screen.right) - 300,
                  int(screen.bottom) - 200}};
  for (const Case &c : corners) {
    TForm owner(nullptr);
    owner.SetBounds(c.ownerLeft, c.ownerTop, 100, 80);
    owner.Show();
    TForm dialog(&owner);
    dialog.SetBounds(0, 0, 300, 200);
    dialog.Position = poOwnerFormCenter;
    dialog.Show();
    EXPECT_EQ(dialog.Left(), c.left) << c.ownerLeft;
    EXPECT_EQ(dialog.Top(), c.top) << c.ownerTop;
  }
}

TEST(Forms, MaximisedChildFormFillsItsParentWithoutFrame) {
  ViewHarness harness;
  TForm main(nullptr);
  main.SetBounds(0, 0, 400, 300);
  main.Show();
  Application()->SetMainForm(&main);
  TForm page(nullptr);
  page.SetBorderStyle(bsNone);
  page.SetWindowState(wsMaximized);
  page.SetFormStyle(fsMDIChild);
  harness.Pump();
  Application()->SetMainForm(nullptr);
  ASSERT_TRUE(page.HandleAllocated());
  EXPECT_EQ(GetParent(page.Handle()), main.Handle());
  EXPECT_TRUE(GetWindowLongA(page.Handle(), GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(page.BoundsRect(), Rect(0, 0, main.ClientWidth(), main.ClientHeight()));
}

TEST(Forms, ReleasedFormIsFreedOnceItsMessagesAreHandled) {
  ViewHarness harness;
  bool destroyed = false;
  struct Watched : TForm {
    Watched(bool &flag) : TForm(nullptr), flag_(flag) {}
    ~Watched() override { flag_ = true; }
    bool &flag_;
  };
  auto *form = new Watched(destroyed);
  form->OnClose = [](TObject *, TCloseAction &action) { action = caFree; };
  form->Show();
  form->Close();
  EXPECT_FALSE(destroyed);
  harness.Pump();
  EXPECT_TRUE(destroyed);
}

// A released form that its owner frees before the release is handled: a
// new form made at the same address must not be freed by the stale release.
TEST(Forms, AStaleReleaseLeavesANewFormAtTheSameAddressAlone) {
  ViewHarness harness;
  struct Watched : TForm {
    explicit Watched(bool &flag) : TForm(nullptr), flag_(flag) {}
    ~Watched() override { flag_ = true; }
    bool &flag_;
  };
  void *place = ::operator new(sizeof(Watched));
  bool firstGone = false, secondGone = false;
  auto *first = new (place) Watched(firstGone);
  first->Show();
  first->Release();
  first->~Watched();  // freed by other means while the release is queued
  ASSERT_TRUE(firstGone);
  auto *second = new (place) Watched(secondGone);
  ASSERT_EQ(static_cast<void *>(second), static_cast<void *>(first));
  harness.Pump();
  EXPECT_FALSE(secondGone) << "the release named the first form only";
  if (!secondGone) delete second;  // gives the place back
}

}  // namespace
