#include "classlib/image.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/gdi.h"
#include "classlib/forms.h"
#include "testing/temp_folder.h"
#include "testing/view_harness.h"

namespace {

using platform::PixelImage;

// 4 x 2: red, green on top; blue, white below.
PixelImage Quad() {
  PixelImage image;
  image.width = 2;
  image.height = 2;
  image.argb = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  return image;
}

std::string Text(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(BitmapCanvasTest, DrawsOnTheBitmapAndFollowsItWhenReplaced) {
  const size_t objectsBefore = platform::LiveGdiObjectCount();
  {
    TBitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(20, 10));
    TCanvas *canvas = bitmap.Canvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->Pixel(5, 5), RGB(255, 255, 255));
    canvas->Brush()->SetColor(clNavy);
    canvas->FillRect(TRect(0, 0, 10, 10));
    PixelImage pixels;
    ASSERT_TRUE(bitmap.GetPixels(pixels));
    EXPECT_EQ(pixels.At(9, 9), 0xFF000080u);
    EXPECT_EQ(pixels.At(10, 9), 0xFFFFFFFFu);

    // A new bitmap under the same canvas; the old one goes.
    ASSERT_TRUE(bitmap.SetPixels(Quad()));
    EXPECT_EQ(canvas->Pixel(1, 0), RGB(0, 255, 0));
    canvas->SetPixel(1, 1, clBlack);
    ASSERT_TRUE(bitmap.GetPixels(pixels));
    EXPECT_EQ(pixels.At(1, 1), 0xFF000000u);

    // Drawing the bitmap elsewhere works while its canvas holds it.
    TBitmap target;
    ASSERT_TRUE(target.SetSize(4, 4));
    ASSERT_TRUE(bitmap.Draw(target.Canvas()->Handle(), RECT{0, 0, 4, 4}));
    EXPECT_EQ(target.Canvas()->Pixel(3, 0), RGB(0, 255, 0));
    EXPECT_EQ(target.Canvas()->Pixel(0, 3), RGB(0, 0, 255));
  }
  EXPECT_EQ(platform::LiveGdiObjectCount(), objectsBefore);
}

class ImageTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Put("logo.bmp", Text(platform::EncodeBmp24(Quad())));
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 200, 120);
    image_ = new TImage(form_.get());
    image_->SetParent(form_.get());
    image_->SetBounds(10, 10, 40, 20);
    form_->Show();
  }
  void TearDown() override {
    form_.reset();
    TempFolderTest::TearDown();
  }

  testing_support::ViewHarness harness_;
  std::unique_ptr<TForm> form_;
  TImage *image_ = nullptr;
};

TEST_F(ImageTest, ShowsThePictureInPlaceCentredOrStretched) {
  ASSERT_TRUE(image_->Picture()->LoadFromFile(R"(.\LOGO.bmp)"));
  struct Case {
    const char *name;
    bool stretch, center;
    int x, y;
    COLORREF colour;
  } cases[] = {
      {"in place, top-left pixel", false, false, 0, 0, RGB(255, 0, 0)},
      {"in place, bottom-right pixel", false, false, 1, 1, RGB(255, 255, 255)},
      {"centred: the picture starts at (19, 9)", false, true, 19, 9, RGB(255, 0, 0)},
      {"centred: its last pixel", false, true, 20, 10, RGB(255, 255, 255)},
      {"stretched: the left half of the top", true, false, 19, 9, RGB(255, 0, 0)},
      {"stretched: the right half of the top", true, false, 20, 9, RGB(0, 255, 0)},
      {"stretched: the bottom-left quarter", true, false, 0, 19, RGB(0, 0, 255)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    image_->SetStretch(c.stretch);
    image_->SetCenter(c.center);
    harness_.Pump();
    EXPECT_EQ(harness_.Pixel(image_, c.x, c.y), c.colour);
  }
  // A picture that fails to load leaves the image empty.
  EXPECT_FALSE(image_->Picture()->LoadFromFile("missing.bmp"));
  EXPECT_EQ(image_->Picture()->Graphic(), nullptr);
}

TEST_F(ImageTest, DrawingOnAnEmptyImageMakesABitmapOfItsSize) {
  TCanvas *canvas = image_->Canvas();
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(image_->Picture()->Width(), 40);
  EXPECT_EQ(image_->Picture()->Height(), 20);
  canvas->Brush()->SetColor(TColor(0xF8F3E7));
  canvas->FillRect(TRect(5, 5, 15, 10));
  image_->Invalidate();
  harness_.Pump();
  EXPECT_EQ(harness_.Pixel(image_, 5, 5), COLORREF(0xF8F3E7));
  EXPECT_EQ(harness_.Pixel(image_, 4, 4), RGB(255, 255, 255));

  // A picture that is not a bitmap can't be drawn on.
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(platform::EncodeJpeg(Quad(), 90, jpeg));
  Put("about.jpg", Text(jpeg));
  ASSERT_TRUE(image_->Picture()->LoadFromFile("about.jpg"));
  EXPECT_EQ(image_->Canvas(), nullptr);
}

TEST_F(ImageTest, ClicksReachItsHandler) {
  ASSERT_TRUE(image_->Picture()->LoadFromFile("logo.bmp"));
  int clicks = 0;
  image_->OnClick = [&clicks](TObject *) { ++clicks; };
  harness_.Click(image_, 3, 3);
  harness_.Pump();
  EXPECT_EQ(clicks, 1);
}

}  // namespace
