#include "platform/imagecodec.h"

#include <QImage>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace platform {
namespace {

uint16_t U16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t I32(const uint8_t *p) { return int32_t(U32(p)); }

void Put16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

bool Allocate(PixelImage &out, int width, int height) {
  if (!PictureSizeAllowed(width, height)) return false;
  out.width = width;
  out.height = height;
  out.hasAlpha = false;
  out.argb.assign(size_t(width) * size_t(height), 0xFF000000u);
  return true;
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// One colour channel described by a bit mask: where it sits and how wide it is.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!(m & 1)) {
      m >>= 1;
      ++shift;
    }
    while (m & 1) {
      m >>= 1;
      ++bits;
    }
  }
  uint32_t Read(uint32_t value) const {
    if (!bits) return 0;
    uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    return v * 255u / ((1u << bits) - 1u);
  }
};

// A device-independent bitmap whose header starts at `header` inside the
// buffer [base, base + size). BMP files give the pixel offset from their file
// header; icons have the pixels right after the palette and an AND mask
// after them, and their header's height counts both.
bool DecodeDib(const uint8_t *base, size_t size, size_t header, int64_t pixelOffset, bool icon,
               PixelImage &out) {
  if (header > size || size - header < 4) return false;
  const uint8_t *h = base + header;
  const uint32_t headerSize = U32(h);
  int64_t width, height;
  int bitCount;
  uint32_t compression = 0, colorsUsed = 0;
  size_t paletteEntry = 4;
  if (headerSize == 12) {
    if (size - header < 12) return false;
    width = U16(h + 4);
    height = int16_t(U16(h + 6));
    if (U16(h + 8) != 1) return false;
    bitCount = U16(h + 10);
    paletteEntry = 3;
  } else if (headerSize >= 40 && headerSize <= 124) {
    if (size - header < headerSize) return false;
    width = I32(h + 4);
    height = I32(h + 8);
    if (U16(h + 12) != 1) return false;
    bitCount = U16(h + 14);
    compression = U32(h + 16);
    colorsUsed = U32(h + 32);
  } else {
    return false;
  }
  constexpr uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return false;
  if (compression != kRgb && !((compression == kBitFields || compression == kAlphaBitFields) &&
                               (bitCount == 16 || bitCount == 32)))
    return false;

  bool topDown = height < 0;
  if (topDown) height = -height;
  if (icon) {
    if (topDown) return false;
    height /= 2;
  }
  if (!PictureSizeAllowed(width, height)) return false;

  // Colour masks: in the header from version 2 on (the alpha mask from
  // version 3 on), else right after a 40-byte header when bit fields are
  // used, else the defaults.
  size_t cursor = header + headerSize;
  Channel red, green, blue, alpha;
  if (compression == kBitFields || compression == kAlphaBitFields) {
    const uint8_t *masks;
    bool alphaMask;
    if (headerSize >= 52) {
      masks = h + 40;
      alphaMask = headerSize >= 56;
    } else {
      alphaMask = compression == kAlphaBitFields;
      size_t need = alphaMask ? 16 : 12;
      if (size - cursor < need) return false;
      masks = base + cursor;
      cursor += need;
    }
    red = Channel(U32(masks));
    green = Channel(U32(masks + 4));
    blue = Channel(U32(masks + 8));
    if (alphaMask) alpha = Channel(U32(masks + 12));
  } else if (bitCount == 16) {
    red = Channel(0x7C00);
    green = Channel(0x03E0);
    blue = Channel(0x001F);
  }

  std::vector<uint32_t> palette;
  if (bitCount <= 8) {
    const uint32_t maxColors = 1u << bitCount;
    uint32_t count = colorsUsed ? std::min(colorsUsed, maxColors) : maxColors;
    if (cursor > size) return false;
    if (uint64_t(size - cursor) < uint64_t(count) * paletteEntry) {
      // A BMP whose pixels start earlier than a full palette would end may
      // still hold the colours it uses; take what lies before the pixels.
      if (icon || pixelOffset < int64_t(cursor)) return false;
      count = uint32_t(std::min<uint64_t>(count, (uint64_t(std::min<int64_t>(pixelOffset, int64_t(size))) - cursor) / paletteEntry));
    }
    palette.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t *p = base + cursor + size_t(i) * paletteEntry;
      palette.push_back(0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
    cursor += size_t(count) * paletteEntry;
  }

  const int64_t stride = ((width * bitCount + 31) / 32) * 4;
  const int64_t pixelsAt = icon ? int64_t(cursor) : pixelOffset;
  if (pixelsAt < 0 || pixelsAt > int64_t(size) || stride * height > int64_t(size) - pixelsAt) return false;
  const int64_t maskStride = ((width + 31) / 32) * 4;
  const int64_t maskAt = pixelsAt + stride * height;
  // An icon needs its AND mask, except a 32-bit one, whose alpha says it all.
  bool haveMask = icon && maskStride * height <= int64_t(size) - maskAt;
  if (icon && !haveMask && bitCount != 32) return false;

  if (!Allocate(out, int(width), int(height))) return false;
  const bool keepAlpha = icon ? bitCount == 32 : alpha.bits > 0;
  bool anyAlphaSet = false;
  for (int64_t row = 0; row < height; ++row) {
    const int64_t y = topDown ? row : height - 1 - row;
    const uint8_t *line = base + pixelsAt + row * stride;
    uint32_t *target = out.argb.data() + y * width;
    for (int64_t x = 0; x < width; ++x) {
      uint32_t pixel;
      switch (bitCount) {
        case 1:
        case 4:
        case 8: {
          const int64_t bitPos = x * bitCount;
          const uint32_t index = (line[bitPos / 8] >> (8 - bitCount - bitPos % 8)) & ((1u << bitCount) - 1);
          pixel = index < palette.size() ? palette[index] : 0xFF000000u;
          break;
        }
        case 16: {
          const uint32_t v = U16(line + x * 2);
          pixel = red.Read(v) << 16 | green.Read(v) << 8 | blue.Read(v) |
                  (alpha.bits ? alpha.Read(v) << 24 : 0xFF000000u);
          break;
        }
        case 24: {
          const uint8_t *p = line + x * 3;
          pixel = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
          break;
        }
        default: {
          const uint32_t v = U32(line + x * 4);
          if (red.bits || green.bits || blue.bits)
            pixel = red.Read(v) << 16 | green.Read(v) << 8 | blue.Read(v) |
                    (alpha.bits ? alpha.Read(v) << 24 : 0xFF000000u);
          else
            pixel = (v & 0x00FFFFFFu) | (keepAlpha ? v & 0xFF000000u : 0xFF000000u);
          break;
        }
      }
      if (keepAlpha && (pixel >> 24) != 0) anyAlphaSet = true;
      target[x] = pixel;
    }
  }
  if (icon && !anyAlphaSet) {
    // No alpha channel worth the name: the AND mask tells what is transparent.
    for (int64_t row = 0; row < height; ++row) {
      const int64_t y = height - 1 - row;
      const uint8_t *line = base + maskAt + row * maskStride;
      uint32_t *target = out.argb.data() + y * width;
      for (int64_t x = 0; x < width; ++x) {
        const bool transparent = haveMask && ((line[x / 8] >> (7 - x % 8)) & 1);
        target[x] = transparent ? target[x] & 0x00FFFFFFu : target[x] | 0xFF000000u;
      }
    }
  } else if (!icon && keepAlpha && !anyAlphaSet) {
    // Bit fields that name an alpha channel nobody filled in.
    for (uint32_t &pixel : out.argb) pixel |= 0xFF000000u;
  }
  out.hasAlpha = std::any_of(out.argb.begin(), out.argb.end(), [](uint32_t p) { return (p >> 24) != 0xFF; });
  return true;
}

// libjpeg reports errors through a callback that must not return: it
// jumps back to the decoder, which frees everything and fails.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

// Warnings are mostly harmless noise of damaged but readable files; a file
// that ends early is not readable and fails.
void JpegMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(info);
  if (level < 0) ++info->err->num_warnings;
}

// Progressive files may carry any number of scans; a file with thousands of
// them is an attack on our time, not a picture.
void JpegProgress(j_common_ptr info) {
  auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > 1000) JpegErrorExit(info);
}

// Kept free of objects with destructors: a longjmp leaves through here.
bool DecodeJpegInto(const uint8_t *data, size_t size, PixelImage &out) {
  jpeg_decompress_struct info;
  JpegError error;
  jpeg_progress_mgr progress;
  std::memset(&info, 0, sizeof info);
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegErrorExit;
  error.manager.emit_message = JpegMessage;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  progress.progress_monitor = JpegProgress;
  info.progress = &progress;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  // Adobe's CMYK files store the inks inverted.
  const bool inverted = cmyk && info.saw_Adobe_marker;
  if (!PictureSizeAllowed(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  if (!Allocate(out, int(info.output_width), int(info.output_height))) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const int components = info.output_components;
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * JDIMENSION(components), 1);
  while (info.output_scanline < info.output_height) {
    const JDIMENSION y = info.output_scanline;
    if (jpeg_read_scanlines(&info, row, 1) != 1) break;
    uint32_t *target = out.argb.data() + size_t(y) * size_t(out.width);
    const JSAMPLE *p = row[0];
    for (int x = 0; x < out.width; ++x, p += components) {
      uint32_t r, g, b;
      if (cmyk) {
        uint32_t c = p[0], m = p[1], yl = p[2], k = p[3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          yl = 255 - yl;
          k = 255 - k;
        }
        r = c * k / 255;
        g = m * k / 255;
        b = yl * k / 255;
      } else if (components == 1) {
        r = g = b = p[0];
      } else {
        r = p[0];
        g = p[1];
        b = p[2];
      }
      target[x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
  }
  const bool complete = info.output_scanline == info.output_height;
  if (complete) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return complete;
}

bool EncodeJpegInto(const PixelImage &image, int quality, unsigned char **buffer, unsigned long *length) {
  jpeg_compress_struct info;
  JpegError error;
  std::memset(&info, 0, sizeof info);
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegErrorExit;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, length);
  info.image_width = JDIMENSION(image.width);
  info.image_height = JDIMENSION(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             JDIMENSION(image.width) * 3, 1);
  while (info.next_scanline < info.image_height) {
    const uint32_t *source = image.argb.data() + size_t(info.next_scanline) * size_t(image.width);
    JSAMPLE *p = row[0];
    for (int x = 0; x < image.width; ++x) {
      *p++ = JSAMPLE(source[x] >> 16);
      *p++ = JSAMPLE(source[x] >> 8);
      *p++ = JSAMPLE(source[x]);
    }
    jpeg_write_scanlines(&info, row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

bool Consistent(const PixelImage &image) {
  return PictureSizeAllowed(image.width, image.height) &&
         image.argb.size() == size_t(image.width) * size_t(image.height);
}

}  // namespace

bool DecodeBmp(const uint8_t *data, size_t size, PixelImage &out) {
  out = PixelImage();
  if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
  if (!DecodeDib(data, size, 14, int64_t(U32(data + 10)), false, out)) {
    out = PixelImage();
    return false;
  }
  return true;
}

bool DecodeIco(const uint8_t *data, size_t size, PixelImage &out) {
  out = PixelImage();
  if (!data || size < 6 || U16(data) != 0 || (U16(data + 2) != 1 && U16(data + 2) != 2)) return false;
  const size_t count = U16(data + 4);
  if (count == 0 || (size - 6) / 16 < count) return false;
  // The largest image, the deepest colour among equals.
  size_t best = count;
  int64_t bestArea = -1;
  int bestBits = -1;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t *entry = data + 6 + i * 16;
    const int w = entry[0] ? entry[0] : 256, h = entry[1] ? entry[1] : 256;
    const int bits = U16(entry + 6);
    const uint64_t bytes = U32(entry + 8), offset = U32(entry + 12);
    if (offset > size || bytes > size - offset || bytes < 8) continue;
    if (int64_t(w) * h > bestArea || (int64_t(w) * h == bestArea && bits > bestBits)) {
      best = i;
      bestArea = int64_t(w) * h;
      bestBits = bits;
    }
  }
  if (best == count) return false;
  const uint8_t *entry = data + 6 + best * 16;
  const uint8_t *image = data + U32(entry + 12);
  const size_t bytes = U32(entry + 8);
  if (std::memcmp(image, kPngSignature, 8) == 0) {
    QImage png;
    if (!png.loadFromData(image, qsizetype(std::min<size_t>(bytes, size_t(INT32_MAX))), "PNG")) return false;
    if (!PictureSizeAllowed(png.width(), png.height())) return false;
    png = png.convertToFormat(QImage::Format_ARGB32);
    if (!Allocate(out, png.width(), png.height())) return false;
    for (int y = 0; y < png.height(); ++y)
      std::memcpy(out.argb.data() + size_t(y) * size_t(out.width), png.constScanLine(y), size_t(out.width) * 4);
    out.hasAlpha = png.hasAlphaChannel();
    return true;
  }
  if (!DecodeDib(image, bytes, 0, 0, true, out)) {
    out = PixelImage();
    return false;
  }
  return true;
}

bool DecodeJpeg(const uint8_t *data, size_t size, PixelImage &out) {
  out = PixelImage();
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  if (!DecodeJpegInto(data, size, out)) {
    out = PixelImage();
    return false;
  }
  return true;
}

std::vector<uint8_t> EncodeBmp24(const PixelImage &image) {
  std::vector<uint8_t> out;
  if (!Consistent(image)) return out;
  const uint32_t stride = ((uint32_t(image.width) * 24 + 31) / 32) * 4;
  const uint32_t pixels = stride * uint32_t(image.height);
  out.reserve(54 + pixels);
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + pixels);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, uint32_t(image.width));
  Put32(out, uint32_t(image.height));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, pixels);
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    const uint32_t *row = image.argb.data() + size_t(y) * size_t(image.width);
    for (int x = 0; x < image.width; ++x) {
      out.push_back(uint8_t(row[x]));
      out.push_back(uint8_t(row[x] >> 8));
      out.push_back(uint8_t(row[x] >> 16));
    }
    for (uint32_t pad = uint32_t(image.width) * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

bool EncodeJpeg(const PixelImage &image, int quality, std::vector<uint8_t> &out) {
  out.clear();
  if (!Consistent(image)) return false;
  unsigned char *buffer = nullptr;
  unsigned long length = 0;
  const bool ok = EncodeJpegInto(image, std::clamp(quality, 1, 100), &buffer, &length);
  if (ok && buffer) out.assign(buffer, buffer + length);
  std::free(buffer);
  return ok && !out.empty();
}

}  // namespace platform
