// A theme switch against one full repaint of a nine-pane page of quote
// reports: the switch reloads the colour and font tables, rebuilds the
// shared view fonts, lets every view apply its fonts and repaints them all.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "classlib/forms.h"
#include "market/utildata.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "shell/settings_store.h"
#include "shell/viewclasses.h"
#include "testing/market_fixture_min.h"
#include "testing/page_fixture.h"
#include "views/mvchild.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

namespace {

struct NinePanes {
  market_fixture::MarketSandbox box;
  std::unique_ptr<TForm> main;
  TMultiViewMain *page = nullptr;
  NinePanes() {
    box.WriteText("user/keep", "");
    const std::string file = std::string(UserDataPath) + "clrfont.ini";
    for (int theme = 0; theme < 2; ++theme)
      for (int i = 1; i <= 64; ++i) {
        const std::string section = "Color" + std::to_string(theme), key = (i < 10 ? "COLOR0" : "COLOR") + std::to_string(i);
        WritePrivateProfileStringA(section.c_str(), key.c_str(), std::to_string(theme ? 0xFFFFFF - i * 997 : i * 997).c_str(),
                                   file.c_str());
      }
    ViewDisplay().colors = ThemeColors;
    RegisterViewClasses();
    const std::string path = std::string(UserDataPath) + "kvpage0.ppg";
    page_fixture::WriteFile(platform::ResolvePath(path.c_str()), page_fixture::GridPage(3, 3, VIEW_TYPE_REPORT));
    main = std::make_unique<TForm>(nullptr);
    main->SetBorderStyle(bsNone);
    main->SetClientSize(1920, 1080);
    main->Show();
    page = new TMultiViewMain(main.get(), 1, "");
    page->OpenPage(path.c_str(), 1);
    platform::ProcessPendingMessages();
  }
  ~NinePanes() {
    delete page;
    ViewDisplay().colors = nullptr;
  }
  void RepaintAll() {
    for (int i = 0; i < page->PaneCount(); ++i)
      if (TMultiViewChild *view = page->PaneAt(i)) view->Repaint();
  }
};

void BM_NinePaneFullRepaint(benchmark::State &state) {
  NinePanes p;
  for (auto _ : state) p.RepaintAll();
  if (p.page->PaneCount() != 9) state.SkipWithError("the page did not open with nine panes");
}
BENCHMARK(BM_NinePaneFullRepaint)->Unit(benchmark::kMillisecond);

void BM_ThemeSwitchNinePanes(benchmark::State &state) {
  NinePanes p;
  int theme = 0;
  for (auto _ : state) {
    theme ^= 1;
    LoadThemeColors(theme);
    LoadThemeFonts(theme);
    RebuildViewFonts();
    for (int i = 0; i < p.page->PaneCount(); ++i)
      if (TMultiViewChild *view = p.page->PaneAt(i)) view->ApplyFonts();
    p.RepaintAll();
  }
  if (p.page->PaneCount() != 9) state.SkipWithError("the page did not open with nine panes");
}
BENCHMARK(BM_ThemeSwitchNinePanes)->Unit(benchmark::kMillisecond);

}  // namespace
