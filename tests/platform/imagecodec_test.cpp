#include "platform/imagecodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using platform::PixelImage;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes &b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes &b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Set32(Bytes &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A device-independent bitmap body: header, masks or palette, then rows
// exactly as given (already packed and padded, in file order).
struct Dib {
  int width = 0, height = 0, bits = 24;
  uint32_t headerSize = 40, compression = 0;
  std::vector<uint32_t> masks;    // written after a 40-byte header
  std::vector<uint32_t> palette;  // 0x00RRGGBB
  std::vector<Bytes> rows;

  Bytes Body(bool withPixels = true) const {
    Bytes b;
    Put32(b, headerSize);
    if (headerSize == 12) {
      Put16(b, uint32_t(width));
      Put16(b, uint32_t(height));
      Put16(b, 1);
      Put16(b, uint32_t(bits));
    } else {
      Put32(b, uint32_t(width));
      Put32(b, uint32_t(height));
      Put16(b, 1);
      Put16(b, uint32_t(bits));
      Put32(b, compression);
      for (int i = 0; i < 3; ++i) Put32(b, 0);
      Put32(b, uint32_t(palette.size()));
      Put32(b, 0);
      for (uint32_t m : masks) Put32(b, m);
    }
    for (uint32_t c : palette) {
      b.push_back(uint8_t(c));
      b.push_back(uint8_t(c >> 8));
      b.push_back(uint8_t(c >> 16));
      if (headerSize != 12) b.push_back(0);
    }
    if (withPixels)
      for (const Bytes &row : rows) b.insert(b.end(), row.begin(), row.end());
    return b;
  }
  Bytes File() const {
    Bytes body = Body();
    const size_t pixelBytes = [&] {
      size_t n = 0;
      for (const Bytes &r : rows) n += r.size();
      return n;
    }();
    Bytes b = {'B', 'M'};
    Put32(b, uint32_t(14 + body.size()));
    Put32(b, 0);
    Put32(b, uint32_t(14 + body.size() - pixelBytes));
    b.insert(b.end(), body.begin(), body.end());
    return b;
  }
};

std::vector<uint32_t> Pixels(const PixelImage &image) { return image.argb; }

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
                   kBlack = 0xFF000000;

struct BmpCase {
  const char *name;
  Dib dib;
  std::vector<uint32_t> expected;  // top row first
};

// Each case is a 3 x 2 picture: top row red, green, blue; bottom row white,
// black, red (unless the case says otherwise).
std::vector<BmpCase> BmpCases() {
  const std::vector<uint32_t> picture = {kRed, kGreen, kBlue, kWhite, kBlack, kRed};
  std::vector<BmpCase> cases;
  {
    Dib d;
    d.width = 3, d.height = 2, d.bits = 24;
    // Bottom row first; each row padded from 9 to 12 bytes.
    d.rows = {{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0}, {0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0}};
    cases.push_back({"24-bit bottom-up", d, picture});
    d.height = -2;
    std::swap(d.rows[0], d.rows[1]);
    cases.push_back({"24-bit top-down", d, picture});
  }
  {
    Dib d;
    d.width = 3, d.height = 2, d.bits = 8;
    d.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
    d.rows = {{3, 4, 0, 0}, {0, 1, 2, 0}};
    cases.push_back({"8-bit palette", d, picture});
    // An index beyond the palette reads as black.
    Dib beyond = d;
    beyond.rows = {{3, 200, 0, 0}, {0, 1, 2, 0}};
    cases.push_back({"8-bit index beyond palette", beyond, picture});
    d.headerSize = 12;
    cases.push_back({"8-bit core header", d, picture});
  }
  {
    Dib d;
    d.width = 3, d.height = 2, d.bits = 4;
    d.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
    d.rows = {{0x34, 0x00, 0, 0}, {0x01, 0x20, 0, 0}};
    cases.push_back({"4-bit palette", d, picture});
  }
  {
    Dib d;
    d.width = 3, d.height = 2, d.bits = 1;
    d.palette = {0x000000, 0xFFFFFF};
    d.rows = {{0b01000000, 0, 0, 0}, {0b10100000, 0, 0, 0}};
    cases.push_back({"1-bit", d, {kWhite, kBlack, kWhite, kBlack, kWhite, kBlack}});
  }
  {
    Dib d;
    d.width = 3, d.height = 2, d.bits = 16;
    // 5-5-5: red 0x7C00, green 0x03E0, blue 0x001F, white 0x7FFF.
    d.rows = {{0xFF, 0x7F, 0x00, 0x00, 0x00, 0x7C, 0, 0}, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0}};
    cases.push_back({"16-bit 5-5-5", d, picture});
    d.compression = 3;
    d.masks = {0xF800, 0x07E0, 0x001F};
    d.rows = {{0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF8, 0, 0}, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}};
    cases.push_back({"16-bit 5-6-5 bit fields", d, picture});
  }
  {
    Dib d;
    d.width = 3, d.height = 2, d.bits = 32, d.compression = 3;
    d.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the low byte
    d.rows = {{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0},
              {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0}};
    cases.push_back({"32-bit bit fields", d, picture});
  }
  return cases;
}

TEST(BmpDecodeTest, EveryLayoutGivesTheSamePicture) {
  for (const BmpCase &c : BmpCases()) {
    SCOPED_TRACE(c.name);
    const Bytes file = c.dib.File();
    PixelImage image;
    ASSERT_TRUE(platform::DecodeBmp(file.data(), file.size(), image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    std::vector<uint32_t> expected = c.expected;
    if (std::string(c.name) == "8-bit index beyond palette") expected[4] = kBlack;
    EXPECT_EQ(Pixels(image), expected);
    EXPECT_FALSE(image.hasAlpha);
  }
}

PixelImage Gradient(int width, int height) {
  PixelImage image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.argb.push_back(0xFF000000u | uint32_t(x * 255 / std::max(1, width - 1)) << 16 |
                           uint32_t(y * 255 / std::max(1, height - 1)) << 8 | 0x40);
  return image;
}

TEST(BmpEncodeTest, WritesA24BitBottomUpFileThatReadsBack) {
  const PixelImage source = Gradient(5, 3);
  const Bytes file = platform::EncodeBmp24(source);
  // 5 pixels of 3 bytes pad to 16 bytes a row.
  ASSERT_EQ(file.size(), 54u + 16 * 3);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[28], 24);  // bits per pixel
  // The first stored row is the bottom one: its first pixel is (0, 2).
  EXPECT_EQ(file[54 + 1], 0xFF);
  PixelImage back;
  ASSERT_TRUE(platform::DecodeBmp(file.data(), file.size(), back));
  EXPECT_EQ(back.argb, source.argb);

  PixelImage inconsistent = source;
  inconsistent.argb.pop_back();
  EXPECT_TRUE(platform::EncodeBmp24(inconsistent).empty());
}

// An icon file with the given images, each a DIB body (header height doubled).
Bytes IconFile(const std::vector<std::pair<int, Bytes>> &images) {
  Bytes b;
  Put16(b, 0);
  Put16(b, 1);
  Put16(b, uint32_t(images.size()));
  size_t offset = 6 + 16 * images.size();
  for (const auto &[side, body] : images) {
    b.push_back(uint8_t(side));
    b.push_back(uint8_t(side));
    b.push_back(0);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, uint32_t(body.size()));
    Put32(b, uint32_t(offset));
    offset += body.size();
  }
  for (const auto &image : images) b.insert(b.end(), image.second.begin(), image.second.end());
  return b;
}

TEST(IcoDecodeTest, TakesTheLargestImageWithItsMaskOrAlpha) {
  // 2 x 2, 24-bit, the mask makes the top-left pixel transparent.
  Dib small;
  small.width = 2, small.height = 4, small.bits = 24;
  small.rows = {{0, 0, 0xFF, 0, 0xFF, 0, 0, 0}, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0},
                // AND mask, bottom row first, rows of 4 bytes.
                {0x00, 0, 0, 0}, {0x80, 0, 0, 0}};
  // 3 x 3, 32-bit with real alpha: only the centre is opaque.
  Dib large;
  large.width = 3, large.height = 6, large.bits = 32;
  for (int y = 0; y < 3; ++y) {
    Bytes row;
    for (int x = 0; x < 3; ++x) {
      const bool centre = x == 1 && y == 1;
      row.insert(row.end(), {0x10, 0x20, 0x30, uint8_t(centre ? 0xFF : 0x00)});
    }
    large.rows.push_back(row);
  }
  for (int y = 0; y < 3; ++y) large.rows.push_back({0xFF, 0, 0, 0});  // ignored: alpha rules

  PixelImage image;
  const Bytes both = IconFile({{2, small.Body()}, {3, large.Body()}});
  ASSERT_TRUE(platform::DecodeIco(both.data(), both.size(), image));
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 3);
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ(image.At(1, 1), 0xFF302010u);
  EXPECT_EQ(image.At(0, 0) >> 24, 0u);

  const Bytes one = IconFile({{2, small.Body()}});
  ASSERT_TRUE(platform::DecodeIco(one.data(), one.size(), image));
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(image.At(0, 0) >> 24, 0u);     // masked out
  EXPECT_EQ(image.At(1, 0), 0xFFFFFFFFu);  // top row: blue, white
  EXPECT_EQ(image.At(0, 1), kRed);
  EXPECT_EQ(image.At(1, 1), kGreen);
}

TEST(JpegTest, EncodesAndDecodesThroughTheLibrary) {
  // Flat 16 x 16 blocks (one colour-subsampled unit each) survive
  // compression nearly unchanged away from the edge between them, where the
  // decoder smooths the subsampled colour.
  PixelImage source;
  source.width = 32;
  source.height = 16;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) source.argb.push_back(x < 16 ? 0xFFC03020u : 0xFF2060E0u);
  Bytes file;
  ASSERT_TRUE(platform::EncodeJpeg(source, 95, file));
  ASSERT_GT(file.size(), 100u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xD8);
  PixelImage back;
  ASSERT_TRUE(platform::DecodeJpeg(file.data(), file.size(), back));
  ASSERT_EQ(back.width, 32);
  ASSERT_EQ(back.height, 16);
  for (int y = 0; y < 16; ++y)
    for (int x : {0, 5, 10, 21, 26, 31})
      for (int shift : {0, 8, 16}) {
        const int want = int(source.At(x, y) >> shift & 0xFF), got = int(back.At(x, y) >> shift & 0xFF);
        EXPECT_NEAR(got, want, 16) << x << "," << y;
      }
}

// Damaged files built from good ones: each must be refused or decoded into
// a sane picture, and never crash or read out of bounds (ASan watches).
using Decoder = bool (*)(const uint8_t *, size_t, PixelImage &);

void ExpectSane(Decoder decode, const Bytes &file) {
  PixelImage image;
  if (decode(file.data(), file.size(), image)) {
    EXPECT_GT(image.width, 0);
    EXPECT_GT(image.height, 0);
    EXPECT_EQ(image.argb.size(), size_t(image.width) * size_t(image.height));
  } else {
    EXPECT_TRUE(image.Empty());
  }
}

struct Damage {
  const char *name;
  size_t offset;
  uint32_t value;
};

TEST(DamagedPictureTest, LyingHeadersAreRefused) {
  Dib d;
  d.width = 3, d.height = 2, d.bits = 8;
  d.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
  d.rows = {{3, 4, 0, 0}, {0, 1, 2, 0}};
  const Bytes good = d.File();
  const Damage damages[] = {
      {"pixel offset beyond the end", 10, 100000},
      {"header size unknown", 14, 1000},
      {"huge width", 18, 0x7FFFFFFF},
      {"huge height", 22, 0x7FFFFFFF},
      {"most negative height", 22, 0x80000000},
      {"zero width", 18, 0},
      {"sides fine, area too big", 18, 30000},
      {"two planes", 26, 2},
      {"seven bits", 28, 7},
      {"run-length compression", 30, 1},
  };
  for (const Damage &damage : damages) {
    SCOPED_TRACE(damage.name);
    Bytes file = good;
    if (damage.offset == 26 || damage.offset == 28)
      file[damage.offset] = uint8_t(damage.value);
    else
      Set32(file, damage.offset, damage.value);
    if (std::string(damage.name) == "sides fine, area too big") Set32(file, 22, 30000);
    PixelImage image;
    EXPECT_FALSE(platform::DecodeBmp(file.data(), file.size(), image));
    EXPECT_TRUE(image.Empty());
  }

  // Alpha bit fields with a header that holds only the three colour masks,
  // the file ending right after it: there is no alpha mask to read.
  Dib threeMasks;
  threeMasks.width = 1, threeMasks.height = 1, threeMasks.bits = 32;
  threeMasks.headerSize = 52, threeMasks.compression = 6;
  threeMasks.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  ExpectSane(platform::DecodeBmp, threeMasks.File());

  // A palette count far beyond the file is cut to what the file holds.
  Bytes manyColours = good;
  Set32(manyColours, 46, 0xFFFFFFFF);
  ExpectSane(platform::DecodeBmp, manyColours);

  const Bytes icon = IconFile({{2, d.Body()}});
  const Damage iconDamages[] = {
      {"count beyond the directory", 4, 5000},
      {"image offset beyond the end", 18, 0x7FFFFFF0},
      {"image size beyond the end", 14, 0x7FFFFFF0},
  };
  for (const Damage &damage : iconDamages) {
    SCOPED_TRACE(damage.name);
    Bytes file = icon;
    if (damage.offset == 4) {
      file[4] = uint8_t(damage.value);
      file[5] = uint8_t(damage.value >> 8);
    } else {
      Set32(file, damage.offset, damage.value);
    }
    PixelImage image;
    EXPECT_FALSE(platform::DecodeIco(file.data(), file.size(), image));
  }
}

TEST(DamagedPictureTest, TruncatedFilesFail) {
  const Bytes bmp = platform::EncodeBmp24(Gradient(7, 5));
  for (size_t cut = 0; cut < bmp.size(); ++cut) {
    PixelImage image;
    EXPECT_FALSE(platform::DecodeBmp(bmp.data(), cut, image)) << cut;
  }

  Dib d;
  d.width = 2, d.height = 4, d.bits = 24;
  d.rows = {{0, 0, 0xFF, 0, 0xFF, 0, 0, 0}, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0}, {0, 0, 0, 0}, {0x80, 0, 0, 0}};
  const Bytes ico = IconFile({{2, d.Body()}});
  for (size_t cut = 0; cut < ico.size(); ++cut) {
    PixelImage image;
    EXPECT_FALSE(platform::DecodeIco(ico.data(), cut, image)) << cut;
  }

  Bytes jpeg;
  ASSERT_TRUE(platform::EncodeJpeg(Gradient(40, 24), 80, jpeg));
  // Cutting before the end-of-image marker's last bytes leaves scans unread.
  for (size_t cut = 0; cut + 2 < jpeg.size(); cut += 7) {
    PixelImage image;
    EXPECT_FALSE(platform::DecodeJpeg(jpeg.data(), cut, image)) << cut;
  }
}

TEST(DamagedPictureTest, RandomByteFlipsNeverCrash) {
  Dib d;
  d.width = 3, d.height = 2, d.bits = 4;
  d.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
  d.rows = {{0x34, 0x00, 0, 0}, {0x01, 0x20, 0, 0}};
  Bytes jpeg;
  ASSERT_TRUE(platform::EncodeJpeg(Gradient(24, 16), 70, jpeg));
  const std::pair<Decoder, Bytes> samples[] = {
      {platform::DecodeBmp, d.File()},
      {platform::DecodeBmp, platform::EncodeBmp24(Gradient(5, 4))},
      {platform::DecodeIco, IconFile({{3, d.Body()}})},
      {platform::DecodeJpeg, jpeg},
  };
  std::mt19937 random(20261210);
  for (const auto &[decode, good] : samples) {
    for (int round = 0; round < 300; ++round) {
      Bytes file = good;
      const int flips = 1 + int(random() % 4);
      for (int i = 0; i < flips; ++i) file[random() % file.size()] = uint8_t(random());
      ExpectSane(decode, file);
    }
  }
}

TEST(DamagedPictureTest, JpegWithHugeDimensionsIsRefusedBeforeAllocating) {
  Bytes jpeg;
  ASSERT_TRUE(platform::EncodeJpeg(Gradient(8, 8), 80, jpeg));
  // The frame header (SOF0, FF C0) carries height then width, big-endian.
  size_t sof = 0;
  for (size_t i = 2; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  ASSERT_GT(sof, 0u);
  jpeg[sof + 5] = 0xFF;
  jpeg[sof + 6] = 0xF0;
  jpeg[sof + 7] = 0xFF;
  jpeg[sof + 8] = 0xF0;
  PixelImage image;
  EXPECT_FALSE(platform::DecodeJpeg(jpeg.data(), jpeg.size(), image));
  EXPECT_TRUE(image.argb.empty());
}

}  // namespace
