#include "classlib/picture.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QIcon>
#include <QImage>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/gdi.h"
#include "testing/image_capture.h"
#include "testing/temp_folder.h"

namespace {

using platform::PixelImage;

PixelImage Checker(int width, int height, uint32_t a, uint32_t b) {
  PixelImage image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.argb.push_back(((x / 4 + y / 4) % 2) ? b : a);
  return image;
}

std::string Text(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }

// The pixel at (x, y) of a 24-bit DIB section, as 0xRRGGBB.
uint32_t DibPixel(HBITMAP bitmap, int x, int y) {
  platform::DibInfo dib;
  if (!platform::GetDibInfo(bitmap, dib)) return 0xFFFFFFFF;
  const uint8_t *p = dib.bits + size_t(dib.bottomUp ? dib.height - 1 - y : y) * size_t(dib.stride) + size_t(x) * 3;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

class PictureFileTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ::mkdir((root_ + "/skin").c_str(), 0755);
    Put("skin/lefttop.bmp", Text(platform::EncodeBmp24(Checker(8, 6, 0xFF102030, 0xFFFFFFFF))));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(platform::EncodeJpeg(Checker(32, 16, 0xFF808080, 0xFF808080), 90, jpeg));
    Put("about.jpg", Text(jpeg));
    Put("banner.JPEG", Text(jpeg));
    Put("broken.bmp", "BM this is no bitmap");
    Put("photo.bmp", Text(jpeg));  // a JPEG under a bitmap's name
  }
};

TEST_F(PictureFileTest, LoadImageGivesABottomUpDibOfTheFile) {
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, R"(.\SKIN\LeftTop.BMP)", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(bitmap, nullptr);
  platform::DibInfo dib;
  ASSERT_TRUE(platform::GetDibInfo(bitmap, dib));
  EXPECT_EQ(dib.width, 8);
  EXPECT_EQ(dib.height, 6);
  EXPECT_EQ(dib.bitsPerPixel, 24);
  EXPECT_TRUE(dib.bottomUp);
  EXPECT_EQ(DibPixel(bitmap, 0, 0), 0x102030u);
  EXPECT_EQ(DibPixel(bitmap, 4, 0), 0xFFFFFFu);
  EXPECT_EQ(DibPixel(bitmap, 4, 4), 0x102030u);
  EXPECT_TRUE(DeleteObject(bitmap));

  struct Case {
    const char *name;
    UINT type, flags;
    DWORD error;
  } failures[] = {
      {R"(.\skin\missing.bmp)", IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND},
      {R"(.\skin)", IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_FILE_NOT_FOUND},
      {"broken.bmp", IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_INVALID_DATA},
      {"photo.bmp", IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_INVALID_DATA},
      {"about.jpg", IMAGE_BITMAP, LR_LOADFROMFILE, ERROR_INVALID_DATA},
      {R"(.\skin\lefttop.bmp)", IMAGE_BITMAP, 0, ERROR_NOT_SUPPORTED},
      {R"(.\skin\lefttop.bmp)", IMAGE_ICON, LR_LOADFROMFILE, ERROR_NOT_SUPPORTED},
  };
  for (const Case &c : failures) {
    SetLastError(0);
    EXPECT_EQ(LoadImageA(nullptr, c.name, c.type, 0, 0, c.flags), nullptr) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
}

TEST_F(PictureFileTest, PictureChoosesTheGraphicByExtension) {
  struct Case {
    const char *file;
    const char *graphic;  // null: the load fails
    int width, height;
  } cases[] = {
      {R"(.\skin\lefttop.bmp)", "TBitmap", 8, 6},
      {"ABOUT.JPG", "TJPEGImage", 32, 16},
      {"banner.jpeg", "TJPEGImage", 32, 16},
      {"photo.bmp", nullptr, 0, 0},   // the content must match the extension
      {"about.gif", nullptr, 0, 0},   // no such type
      {"about", nullptr, 0, 0},       // no extension
      {"missing.ico", nullptr, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.file);
    TPicture picture;
    ASSERT_TRUE(picture.LoadFromFile(R"(.\skin\lefttop.bmp)"));  // something to replace
    EXPECT_EQ(picture.LoadFromFile(c.file), c.graphic != nullptr);
    if (c.graphic) {
      ASSERT_NE(picture.Graphic(), nullptr);
      EXPECT_STREQ(picture.Graphic()->ClassName(), c.graphic);
    } else {
      EXPECT_EQ(picture.Graphic(), nullptr);
    }
    EXPECT_EQ(picture.Width(), c.width);
    EXPECT_EQ(picture.Height(), c.height);
  }
  TPicture picture;
  ASSERT_TRUE(picture.LoadFromFile("about.jpg"));
  EXPECT_EQ(picture.Bitmap(), nullptr);
}

TEST_F(PictureFileTest, BitmapsAndJpegsSaveAndReadBack) {
  TBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadFromFile(R"(.\skin\lefttop.bmp)"));
  ASSERT_TRUE(bitmap.SaveToFile(R"(.\skin\copy.bmp)"));
  EXPECT_EQ(Get("skin/copy.bmp"), Get("skin/lefttop.bmp"));

  // A bitmap turned into a JPEG and back keeps its size and, in flat
  // areas, its colour.
  TBitmap grey;
  ASSERT_TRUE(grey.SetPixels(Checker(32, 16, 0xFF406080, 0xFF406080)));
  TJPEGImage jpeg;
  jpeg.Assign(grey);
  jpeg.CompressionQuality = 85;
  ASSERT_TRUE(jpeg.SaveToFile("saved.jpg"));
  TPicture picture;
  ASSERT_TRUE(picture.LoadFromFile("saved.jpg"));
  TBitmap back;
  back.Assign(*picture.Graphic());
  ASSERT_EQ(back.Width(), 32);
  ASSERT_EQ(back.Height(), 16);
  const uint32_t pixel = DibPixel(back.Handle(), 5, 5);
  for (int shift : {0, 8, 16}) EXPECT_NEAR(int(pixel >> shift & 0xFF), int(0x406080u >> shift & 0xFF), 6);

  // A failed load leaves the bitmap empty, and an empty one saves nothing.
  EXPECT_FALSE(bitmap.LoadFromFile("broken.bmp"));
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_FALSE(bitmap.SaveToFile("empty.bmp"));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/empty.bmp"));
}

}  // namespace

namespace {

// A white memory surface to draw pictures on.
struct Surface {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ previous;
  explicit Surface(int width, int height) {
    platform::PixelImage white;
    white.width = width;
    white.height = height;
    white.argb.assign(size_t(width) * size_t(height), 0xFFFFFFFF);
    bitmap = platform::CreateBitmapFromPixels(white);
    previous = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
};

TEST_F(PictureFileTest, GraphicsDrawStretchedIntoAContext) {
  const size_t objectsBefore = platform::LiveGdiObjectCount();
  {
    Surface surface(64, 40);
    TPicture bmp, jpeg;
    ASSERT_TRUE(bmp.LoadFromFile(R"(.\skin\lefttop.bmp)"));  // 8 x 6, 4-pixel checker
    ASSERT_TRUE(jpeg.LoadFromFile("about.jpg"));             // 32 x 16 grey
    // The bitmap twice its size at (0, 0): each source pixel covers 2 x 2.
    ASSERT_TRUE(bmp.Graphic()->Draw(surface.dc, RECT{0, 0, 16, 12}));
    EXPECT_EQ(GetPixel(surface.dc, 0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(GetPixel(surface.dc, 7, 7), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(GetPixel(surface.dc, 8, 0), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetPixel(surface.dc, 15, 7), RGB(0xFF, 0xFF, 0xFF));
    // The JPEG in its own size beside it; nothing outside the rectangle.
    ASSERT_TRUE(jpeg.Graphic()->Draw(surface.dc, RECT{20, 0, 52, 16}));
    const COLORREF grey = GetPixel(surface.dc, 30, 8);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(int(grey >> shift & 0xFF), 0x80, 4);
    EXPECT_EQ(GetPixel(surface.dc, 52, 8), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetPixel(surface.dc, 30, 16), RGB(0xFF, 0xFF, 0xFF));
  }
  EXPECT_EQ(platform::LiveGdiObjectCount(), objectsBefore);
}

TEST_F(PictureFileTest, IconsDrawOnlyTheirOpaquePixels) {
  // A 4 x 4 32-bit icon: the left half opaque blue, the right half clear.
  std::string bytes;
  auto put = [&bytes](uint32_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(char(v >> (8 * i)));
  };
  const uint32_t imageBytes = 40 + 4 * 4 * 4 + 4 * 4;
  put(0, 2), put(1, 2), put(1, 2);                             // directory: one icon
  put(4, 1), put(4, 1), put(0, 2), put(1, 2), put(32, 2);      // 4 x 4, 32 bits
  put(imageBytes, 4), put(22, 4);                              // its bytes and where
  put(40, 4), put(4, 4), put(8, 4), put(1, 2), put(32, 2);     // header, height doubled
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int i = 0; i < 16; ++i) put(i % 4 < 2 ? 0xFF0000FFu : 0u, 4);
  for (int i = 0; i < 4; ++i) put(0, 4);                       // AND mask
  Put("kivoico.ico", bytes);

  TPicture icon;
  ASSERT_TRUE(icon.LoadFromFile(R"(.\KIVOICO.ICO)"));
  ASSERT_STREQ(icon.Graphic()->ClassName(), "TIcon");
  Surface surface(8, 8);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{0, 0, 8, 8};
  FillRect(surface.dc, &all, red);
  DeleteObject(red);
  ASSERT_TRUE(icon.Graphic()->Draw(surface.dc, RECT{0, 0, 8, 8}));
  EXPECT_EQ(GetPixel(surface.dc, 1, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(surface.dc, 6, 6), RGB(255, 0, 0));

  // The same file as the program's icon.
  TIcon appIcon;
  EXPECT_FALSE(appIcon.SetAsApplicationIcon());
  ASSERT_TRUE(appIcon.LoadFromFile("kivoico.ico"));
  ASSERT_TRUE(appIcon.SetAsApplicationIcon());
  const QImage shown = QGuiApplication::windowIcon().pixmap(4, 4).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(shown.width(), 4);
  EXPECT_EQ(shown.pixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(qAlpha(shown.pixel(3, 3)), 0);
  QGuiApplication::setWindowIcon(QIcon());
}

// A sheet for a person to look at: a bitmap, a JPEG and an icon drawn into
// one bitmap, each in its own size and stretched, the icon over stripes so
// its transparency shows. Written to <build>/pictures/pictures.png.
TEST_F(PictureFileTest, SheetOfDrawnPictures) {
  PixelImage photo;
  photo.width = 48;
  photo.height = 32;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) photo.argb.push_back(0xFF000000u | uint32_t(x * 5) << 16 | uint32_t(y * 7) << 8 | 0x60);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(platform::EncodeJpeg(photo, 90, jpeg));
  Put("photo.jpg", Text(jpeg));
  PixelImage ring;
  ring.width = ring.height = 16;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int d = (x - 8) * (x - 8) + (y - 8) * (y - 8);
      ring.argb.push_back(d < 64 && d > 16 ? 0xFF1060C0u : d <= 16 ? 0x80FFC000u : 0x00000000u);
    }
  TBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadFromFile(R"(.\skin\lefttop.bmp)"));
  TPicture picture;
  ASSERT_TRUE(picture.LoadFromFile("photo.jpg"));

  Surface sheet(240, 80);
  HBRUSH stripe = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 160, 0));
  RECT backdrop{160, 0, 240, 80};
  FillRect(sheet.dc, &backdrop, stripe);
  DeleteObject(stripe);
  bitmap.Draw(sheet.dc, RECT{4, 4, 12, 10});
  bitmap.Draw(sheet.dc, RECT{16, 4, 48, 28});
  picture.Graphic()->Draw(sheet.dc, RECT{56, 4, 104, 36});
  picture.Graphic()->Draw(sheet.dc, RECT{56, 40, 152, 76});
  // The icon's pixels go through the same path as a loaded icon's.
  TBitmap opaqueRing;
  ASSERT_TRUE(opaqueRing.SetPixels(ring));
  opaqueRing.Draw(sheet.dc, RECT{164, 4, 196, 36});
  std::string icon;
  auto put = [&icon](uint32_t v, int size) {
    for (int i = 0; i < size; ++i) icon.push_back(char(v >> (8 * i)));
  };
  put(0, 2), put(1, 2), put(1, 2), put(16, 1), put(16, 1), put(0, 2), put(1, 2), put(32, 2);
  put(40 + 16 * 16 * 4 + 16 * 4, 4), put(22, 4);
  put(40, 4), put(16, 4), put(32, 4), put(1, 2), put(32, 2);
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int y = 15; y >= 0; --y)
    for (int x = 0; x < 16; ++x) put(ring.At(x, y), 4);
  for (int i = 0; i < 16; ++i) put(0, 4);
  Put("ring.ico", icon);
  TIcon ringIcon;
  ASSERT_TRUE(ringIcon.LoadFromFile("ring.ico"));
  ringIcon.Draw(sheet.dc, RECT{200, 4, 232, 36});
  ringIcon.Draw(sheet.dc, RECT{200, 44, 216, 60});
  // Left of the stripes the icon's clear corner shows the stripes.
  EXPECT_NE(GetPixel(sheet.dc, 200, 4), RGB(0, 0, 0));

  const std::string path = testing_support::PicturePath("pictures.png");
  EXPECT_TRUE(testing_support::SaveDibPng(sheet.bitmap, path)) << path;
}

}  // namespace
