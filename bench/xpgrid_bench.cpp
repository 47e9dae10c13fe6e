#include <benchmark/benchmark.h>

#include <string>

#include "core/xpstringgrid.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "platform/winuser.h"

namespace {

// A 60-row x 12-column XP string grid, every cell shown and filled, is
// painted whole into its window image (invalidate, then the paint message).
void BM_XPStringGridPaint60x12(benchmark::State &state) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 900, 1300);
  auto *grid = new TXPStringGrid(&form);
  grid->SetParent(&form);
  grid->SetBounds(0, 0, 12 * 70 + 2, 60 * 19 + 2);
  grid->SetColCount(12);
  grid->SetRowCount(60);
  grid->SetDefaultColWidth(69);
  grid->SetDefaultRowHeight(18);
  for (int r = 0; r < 60; ++r)
    for (int c = 0; c < 12; ++c) grid->SetCells(c, r, r == 0 ? "Head" : std::to_string(3500 + r * 13 + c) + ".5");
  grid->SetRow(5);
  grid->SetCol(3);
  form.Show();
  HWND w = grid->Handle();
  UpdateWindow(w);
  for (auto _ : state) {
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
  }
}
BENCHMARK(BM_XPStringGridPaint60x12)->Unit(benchmark::kMillisecond);

}  // namespace
