// The chart base view: what a pushed quote costs a chart that shows another
// instrument and one that shows it, a cross-hair move against two plain XOR
// lines across the window, and printing a 1920 x 1080 view against rendering
// it to the same PDF without the black-and-white conversion.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "charts/drawview.h"
#include "platform/gdi.h"
#include "platform/winuser.h"
#include "testing/drawview_double.h"
#include "testing/msgbox_recorder.h"
#include "testing/print_dialog_standin.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/reportcolumns.h"

namespace {

struct ChartBench {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world;
  testing_support::TDrawViewRegistration registration;
  MessageBoxRecorder boxes;
  std::unique_ptr<testing_support::ViewPage> page;
  testing_support::TDrawViewDouble *view = nullptr;

  ChartBench(int width, int height) {
    RebuildViewFonts();
    world.PutQuote(0, 1);
    world.PutQuote(0, 2);
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_INTRADAY, &record);
    record.stock = STKPTR(0, 0, 1);
    page = std::make_unique<testing_support::ViewPage>(VIEW_TYPE_INTRADAY, &record, width, height);
    harness.Pump();
    view = page->View<testing_support::TDrawViewDouble>();
    if (!view->Panel1->Visible()) view->N5Click();
    harness.Pump();
  }
};

void BM_ChartQuoteOfAnotherInstrument(benchmark::State &state) {
  ChartBench b(1024, 768);
  const uint32_t other = STKPTR(0, 0, 2).Word();
  for (auto _ : state) benchmark::DoNotOptimize(b.view->Notify(0, other, 0, 0));
}
BENCHMARK(BM_ChartQuoteOfAnotherInstrument);

void BM_ChartQuoteOfItsInstrument(benchmark::State &state) {
  ChartBench b(1024, 768);
  const uint32_t own = STKPTR(0, 0, 1).Word();
  for (auto _ : state) benchmark::DoNotOptimize(b.view->Notify(0, own, 0, 0));
}
BENCHMARK(BM_ChartQuoteOfItsInstrument);

void BM_ChartCrossHairMove(benchmark::State &state) {
  ChartBench b(1920, 1080);
  b.view->CrossHairRect = TRect(0, 0, 1700, 1080);
  int x = 100;
  for (auto _ : state) {
    b.view->DrawCrossHair(0, x, 500 + (x & 63), false);
    x = x == 1600 ? 100 : x + 1;
  }
}
BENCHMARK(BM_ChartCrossHairMove);

// The yardstick: two XOR lines across the same window, drawn the same way.
void BM_TwoXorLinesAcrossTheWindow(benchmark::State &state) {
  ChartBench b(1920, 1080);
  HWND hwnd = b.view->Handle();
  int x = 100;
  for (auto _ : state) {
    HDC dc = GetDC(hwnd);
    HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(16));
    HGDIOBJ old = SelectObject(dc, pen);
    const int rop = SetROP2(dc, R2_XORPEN);
    MoveToEx(dc, 0, 500 + (x & 63), nullptr);
    LineTo(dc, 1700, 500 + (x & 63));
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, 1080);
    SetROP2(dc, rop);
    SelectObject(dc, old);
    DeleteObject(pen);
    ReleaseDC(hwnd, dc);
    x = x == 1600 ? 100 : x + 1;
  }
}
BENCHMARK(BM_TwoXorLinesAcrossTheWindow);

std::string PdfPath() { return testing_support::ViewHarness::PicturesFolder() + "/bench-chart.pdf"; }

void BM_ChartPrint1920x1080(benchmark::State &state) {
  ChartBench b(1920, 1080);
  PrintDialogStandIn dialog(PdfPath(), poLandscape);
  for (auto _ : state) b.view->Print();
}
BENCHMARK(BM_ChartPrint1920x1080)->Unit(benchmark::kMillisecond)->Iterations(5);

// The yardstick: the same view into the same PDF as it shows, unconverted.
void BM_RenderViewToPdf1920x1080(benchmark::State &state) {
  ChartBench b(1920, 1080);
  PrintDialogStandIn dialog(PdfPath(), poLandscape);
  TPrinter *printer = Printer();
  for (auto _ : state) {
    if (!b.view->PrintDialog1->Execute()) break;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 1920;
    info.bmiHeader.biHeight = -1080;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC mem = CreateCompatibleDC(nullptr);
    void *bits = nullptr;
    HBITMAP shot = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, shot);
    b.view->PaintTo(mem, 0, 0);
    printer->BeginDoc();
    const TPrintLayout l = ComputePrintLayout(printer->PageWidth(), printer->PageHeight(), 1920, 1080);
    SetStretchBltMode(printer->Handle(), COLORONCOLOR);
    StretchBlt(printer->Handle(), l.marginX, l.marginY, l.width, l.height, mem, 0, 0, 1920, 1080, SRCCOPY);
    printer->EndDoc();
    SelectObject(mem, old);
    DeleteObject(shot);
    DeleteDC(mem);
  }
}
BENCHMARK(BM_RenderViewToPdf1920x1080)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
