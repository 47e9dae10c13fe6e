#include "views/reportpaint.h"

#include <gtest/gtest.h>

#include <vector>

#include "market/blocks.h"
#include "platform/gdi.h"
#include "testing/fake_clock.h"
#include "testing/image_capture.h"
#include "testing/report_world.h"

using testing_support::ReportWorld;

namespace {

// A bitmap to paint report cells into, with the columns laid out as the
// report lays them out.
class CellCanvas {
 public:
  CellCanvas(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~CellCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  // Paints rows 0..rows of every column; returns the column rectangles' left edges.
  void Paint(const ReportPaintState &state, int rows, const std::vector<int> &widths, int rowHeight) {
    lefts_.clear();
    int x = 0;
    for (int w : widths) lefts_.push_back(x), x += w;
    lefts_.push_back(x);
    rowHeight_ = rowHeight;
    for (int r = 0; r <= rows; ++r)
      for (size_t c = 0; c < widths.size(); ++c) {
        const int top = r * rowHeight;
        RECT rect{lefts_[c], top, lefts_[c + 1], top + rowHeight};
        PaintReportCell(dc_, state, int(c), r, rect);
      }
  }
  // A pixel near a cell's left edge, away from the text (cells are right-aligned).
  COLORREF CellPixel(int column, int row, int dx = 2, int dy = 3) {
    return testing_support::DibPixel(bitmap_, lefts_[size_t(column)] + dx, row * rowHeight_ + dy);
  }
  COLORREF Pixel(int x, int y) { return testing_support::DibPixel(bitmap_, x, y); }
  HDC Dc() const { return dc_; }
  HBITMAP Bitmap() const { return bitmap_; }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  std::vector<int> lefts_;
  int rowHeight_ = 20;
};

class ReportPaintTest : public testing::Test {
 protected:
  ReportPaintTest() {
    for (int s = 0; s < 4; ++s) world_.PutQuote(2, s);
    core_.LoadRows(world_.Block("大连"));
    const int columns[] = {0, 9, 1, 6, 4, 5, 25, 26, 7, 24, 32, 33};
    core_.columnCount = int(std::size(columns));
    std::copy(std::begin(columns), std::end(columns), core_.columns);
    core_.sortColumn = 6;
    fonts_.Make(1, 0);
    state_.core = &core_;
    state_.block = world_.Block("大连");
    state_.fonts = &fonts_;
    state_.fixedColumns = 3;
    state_.selectedRow = 2;
    metrics_.Measure(canvas_.Dc(), fonts_);
    for (int i = 0; i < core_.columnCount; ++i) widths_.push_back(metrics_.ColumnWidth(0, core_.columns[i], 8));
  }
  void Paint() { canvas_.Paint(state_, core_.rowCount, widths_, metrics_.RowHeight()); }
  COLORREF C(int nn) { return world_.colors[nn - 1]; }

  ScopedFakeClock clock_;
  ReportWorld world_;
  TReportCore core_;
  ReportFonts fonts_;
  ReportPaintState state_;
  ReportMetrics metrics_;
  std::vector<int> widths_;
  CellCanvas canvas_{900, 140};
};

TEST_F(ReportPaintTest, BackgroundsFlashLimitsAndTheSelectedRow) {
  world_.Quote(2, 0).limitUp = world_.Quote(2, 0).last;  // row 1: last at the limit-up price
  world_.Quote(2, 2).limitDown = world_.Quote(2, 2).low;  // row 3: low at the limit-down price
  core_.OnQuote(2, 0, kChangedLast | kChangedBid);        // row 1 flashes too
  core_.OnQuote(2, 3, kChangedLast | kChangedLastVolume | kChangedVolume);
  state_.rowStyle = kRowStyleBackground | kRowStyleFrame | kRowStyleLimits;
  state_.gridLines = true;
  Paint();
  testing_support::SaveDibPng(canvas_.Bitmap(), testing_support::PicturePath("report_cells.png"));

  EXPECT_EQ(canvas_.CellPixel(0, 0), C(34));                     // header
  EXPECT_EQ(canvas_.CellPixel(0, 1), C(17));                     // odd row
  EXPECT_EQ(canvas_.CellPixel(3, 1), C(21));                     // limit-up fill wins over the flash
  EXPECT_EQ(canvas_.CellPixel(5, 3), C(19));                     // low at the limit-down price
  EXPECT_EQ(canvas_.CellPixel(3, 4), C(25));                     // a flashing last price is filled
  EXPECT_EQ(canvas_.CellPixel(9, 4), C(25));                     // and so is the last volume
  EXPECT_EQ(canvas_.CellPixel(8, 4), C(63));                     // the volume only changes its colour
  EXPECT_EQ(canvas_.CellPixel(0, 2), C(63));                     // fixed column of the selected row
  EXPECT_EQ(canvas_.CellPixel(4, 2, 4, 6), C(64));               // scrollable columns of the selected row
  EXPECT_EQ(canvas_.CellPixel(4, 2, 4, 0), COLORREF(0x00FFFF));  // its frame
  EXPECT_EQ(canvas_.CellPixel(1, 1, 2, metrics_.RowHeight() - 1), C(26));  // grid line

  // The limit highlight is off without its style bit; the flash shows then.
  state_.rowStyle = kRowStyleBackground;
  Paint();
  EXPECT_EQ(canvas_.CellPixel(3, 1), C(25));
  EXPECT_EQ(canvas_.CellPixel(5, 3), C(17));

  // 1.6 s later nothing flashes.
  for (int i = 0; i < kFlashTicks; ++i) core_.Tick();
  Paint();
  EXPECT_EQ(canvas_.CellPixel(3, 4), C(63));
}

TEST_F(ReportPaintTest, HeaderTextsAndWidths) {
  BLOCK *dl = world_.Block("大连");
  EXPECT_EQ(ReportHeaderText(dl, 2), "昨结");
  EXPECT_EQ(ReportHeaderText(dl, 8), "持仓量");
  EXPECT_EQ(ReportHeaderText(world_.Block("上海"), 2), "昨收");
  EXPECT_EQ(ReportHeaderText(nullptr, 8), "额/仓");
  MarketTable.markets[2]->m_info.type = 8;
  EXPECT_EQ(ReportHeaderText(dl, 30), "订货差");
  EXPECT_EQ(ReportHeaderText(dl, 6), "现价");
  EXPECT_EQ(SchemeHeaderText(5, 8), "持仓量");
  EXPECT_EQ(SchemeHeaderText(5, 2), "昨收");
  EXPECT_EQ(SchemeHeaderText(6, 2), "昨收/昨结");

  // A name column of width 8 is four Chinese characters; a header wider than
  // its data sets the width.
  EXPECT_EQ(metrics_.ColumnWidth(0, 1, 8), std::max(4 * metrics_.nameChar, 3 * metrics_.headerChar) + 6);
  EXPECT_EQ(metrics_.ColumnWidth(0, 6, 1), 3 * metrics_.headerChar + 6);
  // A width from a damaged or hand-edited setting file stays a width.
  for (int column : {1, 6, 25})
    for (int width : {2000000000, 1 << 30, 300000000}) {
      EXPECT_EQ(metrics_.ColumnWidth(0, column, width), metrics_.ColumnWidth(0, column, kMaxSchemeWidth))
          << column << " " << width;
      EXPECT_GT(metrics_.ColumnWidth(0, column, width), metrics_.ColumnWidth(0, column, 8));
    }
  EXPECT_FLOAT_EQ(metrics_.SelectedRowFactor(0), 1.0f);
  EXPECT_EQ(MeasureReportTab("^上海"), 5 * 6 + 24);
}

TEST_F(ReportPaintTest, TabCaptions) {
  BLOCK *b = world_.Block("大连");
  std::snprintf(b->name, sizeof b->name, "郑州市场");
  EXPECT_EQ(ReportTabCaption(b, true), "郑州");
  b->kind = kBlockServer;
  EXPECT_EQ(ReportTabCaption(b, true), "^郑州");
  EXPECT_EQ(ReportTabCaption(b, false), "郑州");
}

}  // namespace
