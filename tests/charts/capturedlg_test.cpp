// The screen capture over an injected screen picture: selecting and
// adjusting the rectangle, the bitmap of its inside and saving it as BMP or
// through the drawing library as PNG.
#include <filesystem>
#include <fstream>
#include <vector>

#include "chart_world.h"
#include "charts/capturedlg.h"
#include "platform/screengrab.h"
#include "platform/winuser.h"
#include "testing/common_dialog_recorder.h"

namespace charts_test {
namespace {

class ScreenCapture : public ChartWorld {
 protected:
  ScreenCapture() {
    previous_ = platform::SetScreenGrabber([] {
      platform::PixelImage p;
      p.width = GetSystemMetrics(SM_CXSCREEN);
      p.height = GetSystemMetrics(SM_CYSCREEN);
      p.argb.resize(size_t(p.width) * size_t(p.height));
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
          p.argb[size_t(y) * size_t(p.width) + size_t(x)] = 0xFF000000u | uint32_t((x & 0xFF) << 16) | uint32_t(y & 0xFF);
      return p;
    });
  }
  ~ScreenCapture() override { platform::SetScreenGrabber(previous_); }
  static void Drag(TCaptureDlg &d, int ax, int ay, int bx, int by) {
    d.FormMouseDown(&d, mbLeft, TShiftState(), ax, ay);
    d.FormMouseMove(&d, TShiftState(ssLeft), (ax + bx) / 2, (ay + by) / 2);
    d.FormMouseMove(&d, TShiftState(ssLeft), bx, by);
    d.FormMouseUp(&d, mbLeft, TShiftState(), bx, by);
  }
  platform::ScreenGrabber previous_;
};

TEST_F(ScreenCapture, SelectingOrdersTheCornersAndAdjustsEdges) {
  TCaptureDlg dialog(nullptr);
  ASSERT_GT(dialog.ScreenWidth, 320);
  EXPECT_EQ(dialog.Width(), dialog.ScreenWidth);

  // A click without moving selects nothing; a double click then does nothing.
  CommonDialogRecorder files;
  dialog.FormMouseDown(&dialog, mbLeft, TShiftState(), 50, 50);
  dialog.FormMouseUp(&dialog, mbLeft, TShiftState(), 50, 50);
  EXPECT_FALSE(dialog.Selected);
  dialog.FormDblClick();
  EXPECT_TRUE(files.FileRequests().empty());

  // From bottom-right to top-left.
  Drag(dialog, 300, 200, 100, 50);
  ASSERT_TRUE(dialog.Selected);
  EXPECT_EQ((std::vector<int>{dialog.X1, dialog.Y1, dialog.X2, dialog.Y2}), (std::vector<int>{100, 50, 300, 200}));

  // The right edge dragged past the left one: the pair is ordered again.
  dialog.FormMouseMove(&dialog, TShiftState(), 302, 120);
  EXPECT_EQ(dialog.Edge, 3);
  dialog.FormMouseDown(&dialog, mbLeft, TShiftState(), 302, 120);
  dialog.FormMouseMove(&dialog, TShiftState(ssLeft), 60, 120);
  dialog.FormMouseUp(&dialog, mbLeft, TShiftState(), 60, 120);
  EXPECT_EQ((std::vector<int>{dialog.X1, dialog.X2}), (std::vector<int>{60, 100}));

  // The help panel leaves the corner the mouse goes to.
  dialog.FormMouseMove(&dialog, TShiftState(), 10, 10);
  EXPECT_EQ(dialog.PanelCorner, 1);
  dialog.Show();
  harness_.SavePng(harness_.Render(dialog.Handle()), "capture-selection");
}

TEST_F(ScreenCapture, TheInsideIsA24BitBitmapOfAtLeastTwoByTwoPixels) {
  TCaptureDlg dialog(nullptr);
  struct Case {
    int x1, y1, x2, y2;
    size_t bytes;
  } cases[] = {
      {10, 20, 15, 24, 54 + 12 * 3},  // 4 x 3 inside, rows of 12 bytes
      {10, 20, 13, 23, 54 + 8 * 2},   // 2 x 2, rows padded to 8
      {10, 20, 12, 40, 0},            // one pixel wide
      {10, 20, 40, 22, 0},            // one pixel high
  };
  for (const Case &c : cases) {
    dialog.X1 = c.x1, dialog.Y1 = c.y1, dialog.X2 = c.x2, dialog.Y2 = c.y2;
    const std::vector<uint8_t> file = dialog.SelectionBitmapFile();
    ASSERT_EQ(file.size(), c.bytes) << c.x2 << "," << c.y2;
    if (file.empty()) continue;
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[10], 54);
    EXPECT_EQ(file[28], 24);
    // The bottom row comes first: its first pixel is (x1 + 1, y2 - 1).
    EXPECT_EQ(file[54], uint8_t(c.y2 - 1));
    EXPECT_EQ(file[56], uint8_t(c.x1 + 1));
  }
}

TEST_F(ScreenCapture, SavesAsBitmapOrPngWithoutLeavingTheBitmapBehind) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(box_.Path("shots"));
  fs::create_directories(folder);
  CommonDialogRecorder files;
  struct Case {
    int filter;
    const char *name, *expected;
  } cases[] = {{3, "one", "one.bmp"}, {1, "two", "two.png"}, {1, "three.PNG", "three.PNG"}};
  for (const Case &c : cases) {
    TCaptureDlg dialog(nullptr);
    dialog.X1 = 10, dialog.Y1 = 10, dialog.X2 = 110, dialog.Y2 = 60;
    dialog.Selected = true;
    files.QueueFile({true, (folder / c.name).string(), c.filter});
    dialog.FormDblClick();
    const fs::path saved = folder / c.expected;
    ASSERT_TRUE(fs::exists(saved)) << c.expected;
    EXPECT_FALSE(dialog.Selected);
    EXPECT_EQ(dialog.ModalResult(), mrOk);
    EXPECT_FALSE(fs::exists(saved.string() + ".bmp")) << c.expected;
    std::ifstream in(saved, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    if (c.filter == 3) {
      EXPECT_EQ(fs::file_size(saved), 54u + 100u * 3u * 49u);
      EXPECT_EQ(std::string(magic, 2), "BM");
    } else {
      EXPECT_EQ(std::string(magic + 1, 3), "PNG");
    }
  }
  EXPECT_EQ(files.FileRequests()[0].title, "保存图片");
  EXPECT_EQ(files.FileRequests()[0].filters.size(), 4u) << "the drawing library is there";
  EXPECT_EQ(boxes_.Count(), 0u);

  // An existing file: "no" asks again, a cancel keeps the selection.
  TCaptureDlg again(nullptr);
  again.X1 = 10, again.Y1 = 10, again.X2 = 110, again.Y2 = 60;
  again.Selected = true;
  boxes_.QueueAnswer(IDNO);
  files.QueueFile({true, (folder / "one").string(), 3});
  again.FormDblClick();
  EXPECT_TRUE(again.Selected);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "确认");
}

TEST_F(ScreenCapture, OverwriteKeepsTheOldFileUntilTheNewOneIsComplete) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(box_.Path("over"));
  fs::create_directories(folder);
  CommonDialogRecorder files;
  struct Case {
    int filter;
    const char *name;
    bool blocked;  // the picture cannot be made beside the file
  } cases[] = {{3, "a.bmp", false}, {1, "b.png", false}, {3, "c.bmp", true}, {1, "d.png", true}};
  for (const Case &c : cases) {
    const fs::path target = folder / c.name;
    std::ofstream(target, std::ios::binary) << "old";
    if (c.blocked) fs::create_directories(target.string() + ".bmp");
    TCaptureDlg dialog(nullptr);
    dialog.X1 = 10, dialog.Y1 = 10, dialog.X2 = 110, dialog.Y2 = 60;
    dialog.Selected = true;
    const size_t shown = boxes_.Count();
    boxes_.QueueAnswer(IDYES);
    files.QueueFile({true, target.string(), c.filter});
    dialog.FormDblClick();
    EXPECT_EQ(boxes_.Count() - shown, c.blocked ? 2u : 1u) << c.name;
    ASSERT_TRUE(fs::exists(target)) << c.name;
    if (c.blocked)
      EXPECT_EQ(fs::file_size(target), 3u) << c.name;
    else
      EXPECT_GT(fs::file_size(target), 54u) << c.name;
    for (const fs::directory_entry &e : fs::directory_iterator(folder))
      if (e.is_regular_file()) EXPECT_TRUE(e.path().filename().string().size() == 5) << e.path();
  }
}

}  // namespace
}  // namespace charts_test
