#include <benchmark/benchmark.h>

#include <string>

#include "core/chartgfx.h"
#include "core/ewnd.h"
#include "core/skinmenu.h"
#include "platform/gdi.h"
#include "platform/menu.h"
#include "platform/winuser.h"

namespace {

struct Owner : EWnd {
  std::function<void()> whileShown;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP && whileShown) whileShown();
    return EWnd::WindowProc(message, wParam, lParam);
  }
};

// A skinned popup menu of 30 items is open; each iteration moves the
// selection one item down and repaints (the old and the new item only).
void BM_SkinMenuSelectionMove(benchmark::State &state) {
  InstallMenuSkinHook();
  Owner owner;
  owner.Create(0, WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr);
  HMENU menu = CreatePopupMenu();
  for (int i = 0; i < 30; ++i) AppendMenuA(menu, MF_STRING, UINT_PTR(100 + i), ("Item " + std::to_string(i)).c_str());
  bool measured = false;
  owner.whileShown = [&] {
    platform::ProcessPendingMessages();
    CSkinMenu *shown = CSkinMenu::FromMenu(menu);
    if (shown == nullptr) {
      state.SkipWithError("the popup menu was not skinned");
      EndMenu();
      return;
    }
    SendMessageA(shown->m_hWnd, MN_SELECTITEM, 0, 0);
    platform::ProcessPendingMessages();
    int item = 0;
    for (auto _ : state) {
      item = (item + 1) % 30;
      SendMessageA(shown->m_hWnd, MN_SELECTITEM, WPARAM(item), 0);
    }
    measured = true;
    EndMenu();
  };
  PostMessageA(owner.m_hWnd, WM_APP, 0, 0);
  TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, owner.m_hWnd, nullptr);
  DestroyMenu(menu);
  if (!measured) state.SkipWithError("the menu loop did not run");
}
BENCHMARK(BM_SkinMenuSelectionMove)->Unit(benchmark::kMicrosecond);

// Anti-aliased lines into a 1920 x 1080 off-screen bitmap.
void BM_AntialiasedLineDib(benchmark::State &state) {
  EDibBitmap dib;
  dib.Create(nullptr, 1920, 1080);
  int k = 0;
  for (auto _ : state) {
    k = (k + 7) % 1000;
    DrawLineAADib(&dib, 0, k, 1919, 1079 - k, RGB(200, 30, 30));
  }
}
BENCHMARK(BM_AntialiasedLineDib)->Unit(benchmark::kMicrosecond);

}  // namespace
