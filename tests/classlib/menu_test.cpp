// Popup menus: the loop owns the keyboard and the mouse until an item is
// chosen or the menu is dismissed; a popup can return the chosen command.
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include "platform/menu.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

// Runs the script inside the menu's loop; a menu the script leaves open is
// ended after it, so that a failing case does not hang.
void InsideMenu(ViewHarness &harness, const std::function<void()> &script) {
  harness.Soon([&harness, script] {
    script();
    harness.Soon([] { EndMenu(); });
  });
}

struct MenuCase {
  const char *name;
  std::vector<int> keys;
  UINT chosen;
};

class PopupKeys : public ::testing::TestWithParam<MenuCase> {};

// Open 101, a separator, Save 102 (greyed), More > (Sub A 201, Sub B 202), Quit 103.
TEST_P(PopupKeys, ReturnsTheCommandTheKeysChoose) {
  ViewHarness harness;
  TForm owner(nullptr);
  owner.Show();
  HMENU sub = CreatePopupMenu();
  AppendMenuA(sub, MF_STRING, 201, "Sub &A");
  AppendMenuA(sub, MF_STRING, 202, "Sub &B");
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 101, "&Open");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_GRAYED, 102, "&Save");
  AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "&More");
  AppendMenuA(menu, MF_STRING, 103, "&Quit");
  InsideMenu(harness, [&] {
    for (int key : GetParam().keys) harness.PostKey(key);
  });
  UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, owner.Handle(), nullptr));
  EXPECT_EQ(chosen, GetParam().chosen);
  DestroyMenu(menu);
  EXPECT_FALSE(IsMenu(sub));  // went with its menu
}

INSTANTIATE_TEST_SUITE_P(
    Menus, PopupKeys,
    ::testing::Values(MenuCase{"FirstItem", {VK_DOWN, VK_RETURN}, 101},
                      // The separator is skipped; the greyed item is selected but not chosen.
                      MenuCase{"GreyedItemIsNotChosen", {VK_DOWN, VK_DOWN, VK_RETURN, VK_ESCAPE}, 0},
                      MenuCase{"UpWrapsToTheLastItem", {VK_UP, VK_RETURN}, 103},
                      MenuCase{"SubmenuItem", {VK_UP, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN}, 202},
                      MenuCase{"AccessKey", {'Q'}, 103},
                      MenuCase{"LeftClosesTheSubmenuOnly", {VK_UP, VK_UP, VK_RIGHT, VK_LEFT, VK_DOWN, VK_RETURN}, 103},
                      MenuCase{"EscapeChoosesNothing", {VK_ESCAPE}, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Menus, AClickOnAnItemChoosesItAndAClickOutsideDismisses) {
  ViewHarness harness;
  TForm owner(nullptr);
  owner.Show();
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 11, "One");
  AppendMenuA(menu, MF_STRING, 12, "Two");
  for (bool inside : {true, false}) {
    InsideMenu(harness, [&] {
      RECT r;
      ASSERT_TRUE(GetMenuItemRect(nullptr, menu, 1, &r));
      POINT p{inside ? (r.left + r.right) / 2 : r.right + 50, (r.top + r.bottom) / 2};
      HWND capture = GetCapture();
      ScreenToClient(capture, &p);
      harness.PostClick(capture, p.x, p.y);
    });
    UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD, 40, 40, 0, owner.Handle(), nullptr));
    EXPECT_EQ(chosen, inside ? 12u : 0u);
    harness.Pump();  // the guard of a menu that already closed
  }
  DestroyMenu(menu);
}

TEST(Menus, PopupMenuRunsTheChosenItemAndTheFormRunsShortcuts) {
  ViewHarness harness;
  TForm form(nullptr);
  std::vector<std::string> clicks;
  auto item = [&](TMenu *menu, const char *caption, WORD shortcut = 0) {
    auto *i = new TMenuItem(menu);
    i->Caption = caption;
    i->ShortCut = shortcut;
    i->OnClick = [&clicks, caption](TObject *) { clicks.push_back(caption); };
    menu->Items()->Add(i);
    return i;
  };
  auto *popup = new TPopupMenu(&form);
  item(popup, "Copy");
  item(popup, "Paste")->Enabled = false;
  item(popup, "Delete");
  auto *main = new TMainMenu(&form);
  item(main, "Open", WORD('O') | scCtrl);
  form.Menu = main;
  form.Show();
  InsideMenu(harness, [&] {
    for (int key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) harness.PostKey(key);
  });
  popup->Popup(20, 20);
  harness.Key('O', TShiftState(ssCtrl), form.Handle());
  EXPECT_EQ(clicks, (std::vector<std::string>{"Delete", "Open"}));
}

TEST(Menus, ARightClickShowsTheControlsPopupMenu) {
  ViewHarness harness;
  TForm form(nullptr);
  form.Show();
  auto *panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 100, 100);
  auto *popup = new TPopupMenu(&form);
  auto *item = new TMenuItem(popup);
  item->Caption = "横切(&H)";
  popup->Items()->Add(item);
  TComponent *shownFor = nullptr;
  item->OnClick = [&](TObject *) { shownFor = popup->PopupComponent(); };
  // The keys come while the menu shows.
  popup->OnPopup = [&](TObject *) {
    harness.PostKey(VK_DOWN);
    harness.PostKey(VK_RETURN);
  };
  panel->PopupMenu = popup;
  harness.Click(panel, 20, 20, mbRight);
  EXPECT_EQ(shownFor, panel);
  shownFor = nullptr;
  popup->AutoPopup = false;
  harness.Click(panel, 20, 20, mbRight);
  EXPECT_EQ(shownFor, nullptr);
  harness.Pump();
}

TEST(Menus, AMenuOpenedAtTheScreensEdgeStaysOnTheScreen) {
  ViewHarness harness;
  TForm owner(nullptr);
  owner.Show();
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 1, "One");
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  RECT item{};
  InsideMenu(harness, [&] {
    GetMenuItemRect(nullptr, menu, 0, &item);
    EndMenu();
  });
  TrackPopupMenu(menu, TPM_RETURNCMD, screen.right() + 100, screen.bottom() + 100, 0, owner.Handle(), nullptr);
  harness.Pump();
  DestroyMenu(menu);
  EXPECT_LE(item.right, screen.left() + screen.width());
  EXPECT_LE(item.bottom, screen.top() + screen.height());
  EXPECT_GT(item.right, item.left);
}

TEST(Menus, MenuItemsCarryTheirStates) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING | MF_CHECKED, 5, "Five");
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
  info.fType = MFT_RADIOCHECK;
  info.fState = MFS_GRAYED;
  info.wID = 6;
  char text[] = "Six";
  info.dwTypeData = text;
  ASSERT_TRUE(InsertMenuItemA(menu, 0, TRUE, &info));
  EXPECT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(GetMenuItemID(menu, 0), 6u);
  EXPECT_EQ(GetMenuState(menu, 5, MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));
  EXPECT_EQ(CheckMenuItem(menu, 5, MF_BYCOMMAND | MF_UNCHECKED), DWORD(MF_CHECKED));
  EXPECT_EQ(GetMenuState(menu, 5, MF_BYCOMMAND) & MF_CHECKED, 0u);
  char buffer[8];
  EXPECT_EQ(GetMenuStringA(menu, 0, buffer, sizeof buffer, MF_BYPOSITION), 3);
  EXPECT_STREQ(buffer, "Six");
  EXPECT_TRUE(DeleteMenu(menu, 6, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  EXPECT_FALSE(DeleteMenu(menu, 6, MF_BYCOMMAND));
  DestroyMenu(menu);
  EXPECT_EQ(GetMenuItemCount(menu), -1);
}

}  // namespace
