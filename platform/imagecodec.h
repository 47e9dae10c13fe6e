// Picture files to pixels and back: BMP and ICO read by our own code, JPEG
// read and written through libjpeg. Everything works on bytes in memory, so
// a damaged file is just a damaged buffer: every header field is checked
// against the bytes that are really there before anything is allocated or
// read, and a bad file gives false, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Decoded pixels, top row first, each 0xAARRGGBB (the layout of
// QImage::Format_ARGB32). Pictures without transparency have alpha 0xFF.
struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
  bool hasAlpha = false;  // some pixel is not opaque

  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t At(int x, int y) const { return argb[size_t(y) * size_t(width) + size_t(x)]; }
};

// Limits for every decoder: a side of at most 32767 pixels (the BMP rule)
// and at most 2^25 pixels in all, so a lying header can't make us allocate
// more than 128 MB.
constexpr int kMaxPictureSide = 32767;
constexpr int64_t kMaxPicturePixels = int64_t(1) << 25;
// Whether a picture of that size keeps within the limits.
inline bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// BMP files: core and info headers up to version 5, 1, 4, 8, 16, 24 and 32
// bits per pixel, uncompressed or with bit fields, bottom-up or top-down.
// Palette indices beyond the palette read as black.
bool DecodeBmp(const uint8_t *data, size_t size, PixelImage &out);
// ICO (and CUR) files: the largest image of the directory, as a DIB with its
// AND mask (or its alpha channel at 32 bits) or as an embedded PNG.
bool DecodeIco(const uint8_t *data, size_t size, PixelImage &out);
// JPEG files in grey, YCbCr, RGB, CMYK or YCCK; a file that ends before its
// last scan fails.
bool DecodeJpeg(const uint8_t *data, size_t size, PixelImage &out);

// A 24-bit bottom-up BMP file of the picture (alpha dropped).
std::vector<uint8_t> EncodeBmp24(const PixelImage &image);
// A baseline JFIF file; quality 1 to 100 (values outside are clamped).
bool EncodeJpeg(const PixelImage &image, int quality, std::vector<uint8_t> &out);

}  // namespace platform
