#include <gtest/gtest.h>

#include <cstring>

#include "classlib/commdlg.h"
#include "testing/common_dialog_recorder.h"

namespace {

OPENFILENAMEA Request(char *buffer, DWORD size) {
  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.lpstrFile = buffer;
  request.nMaxFile = size;
  return request;
}

TEST(CommonDialogTest, FileDialogPassesItsQuestionAndWritesTheAnswer) {
  CommonDialogRecorder recorder;
  recorder.QueueFile({true, "C:\\data\\export", 1});
  char buffer[64] = "start.pio";
  OPENFILENAMEA request = Request(buffer, sizeof buffer);
  request.lpstrFilter = "指标导出文件(*.pio)\0*.pio\0所有文件\0*.*\0";
  request.lpstrInitialDir = ".\\";
  request.lpstrTitle = "指标导出";
  request.lpstrDefExt = "pio";
  request.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  ASSERT_TRUE(GetSaveFileNameA(&request));

  ASSERT_EQ(recorder.FileRequests().size(), 1u);
  const platform::FileDialogRequest &asked = recorder.FileRequests()[0];
  EXPECT_EQ(asked.kind, platform::FileDialogKind::Save);
  EXPECT_EQ(asked.title, "指标导出");
  EXPECT_EQ(asked.initialDir, ".\\");
  EXPECT_EQ(asked.fileName, "start.pio");
  ASSERT_EQ(asked.filters.size(), 2u);
  EXPECT_EQ(asked.filters[0].description, "指标导出文件(*.pio)");
  EXPECT_EQ(asked.filters[1].patterns, "*.*");
  EXPECT_EQ(asked.flags, DWORD(OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR));

  EXPECT_STREQ(buffer, "C:\\data\\export.pio");  // the default extension is added
  EXPECT_EQ(request.nFileOffset, 8);
  EXPECT_EQ(request.nFileExtension, 15);
}

TEST(CommonDialogTest, CancelTooSmallBufferAndMalformedRequestsFail) {
  CommonDialogRecorder recorder;
  char buffer[8] = "x";
  OPENFILENAMEA request = Request(buffer, sizeof buffer);
  EXPECT_FALSE(GetOpenFileNameA(&request));  // nothing queued: cancelled
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_STREQ(buffer, "x");

  recorder.QueueFile({true, "C:\\a\\long name.txt", 1});
  EXPECT_FALSE(GetOpenFileNameA(&request));
  EXPECT_EQ(CommDlgExtendedError(), DWORD(FNERR_BUFFERTOOSMALL));
  EXPECT_STREQ(buffer, "");

  OPENFILENAMEA noBuffer = Request(nullptr, 0);
  EXPECT_FALSE(GetOpenFileNameA(&noBuffer));
  EXPECT_EQ(CommDlgExtendedError(), DWORD(CDERR_INITIALIZATION));
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
  EXPECT_EQ(recorder.FileRequests().size(), 2u);  // malformed requests never reach the dialog
}

TEST(CommonDialogTest, FilterListsInBothForms) {
  // A list cut short after a description keeps only the complete pairs.
  auto pairs = platform::ParseFilterPairs("A\0*.a\0B\0");
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].patterns, "*.a");
  auto bar = platform::ParseFilterBar("位图(*.BMP)|*.bmp|PNG|*.png;*.PNG|dangling");
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_EQ(bar[1].patterns, "*.png;*.PNG");
  EXPECT_TRUE(platform::ParseFilterBar("").empty());
  EXPECT_EQ(platform::WithDefaultExtension("dir.x\\name", "txt"), "dir.x\\name.txt");
  EXPECT_EQ(platform::WithDefaultExtension("name.TXT", "txt"), "name.TXT");
}

TEST(CommonDialogTest, ColourDialogStartsFromTheGivenColour) {
  CommonDialogRecorder recorder;
  recorder.QueueColor({true, 0xFF123456});
  CHOOSECOLORA request{};
  request.lStructSize = sizeof request;
  request.rgbResult = RGB(1, 2, 3);
  request.Flags = CC_RGBINIT;
  ASSERT_TRUE(ChooseColorA(&request));
  EXPECT_EQ(recorder.ColorRequests()[0].color, RGB(1, 2, 3));
  EXPECT_EQ(request.rgbResult, 0x00123456u);  // the top byte is cleared
  EXPECT_FALSE(ChooseColorA(&request));       // cancelled
  EXPECT_EQ(request.rgbResult, 0x00123456u);
}

}  // namespace
