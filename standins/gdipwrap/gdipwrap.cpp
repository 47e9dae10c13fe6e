// The drawing library's picture conversion: ConvertBitmap(source, target)
// reads the BMP file the first handle names and writes it to the file the
// second names, in the format of the target's extension: PNG, JPG (JPEG)
// or BMP. GIF is not written (1 on success, 0 on failure, also for GIF).
#include <QFile>
#include <QImage>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/imagecodec.h"
#include "platform/path.h"
#include "platform/windef.h"

#define GDIPWRAP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool GdipReadFile(const std::string &path, std::vector<uint8_t> &bytes) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes.clear();
  uint8_t chunk[65536];
  size_t n;
  bool tooLarge = false;
  while (!tooLarge && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + n);
    // A picture past 1 GiB is refused whole rather than converted cut off.
    tooLarge = bytes.size() > (size_t(1) << 30);
  }
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  return !tooLarge && !readError && !bytes.empty();
}

bool GdipWriteFile(const std::string &path, const uint8_t *data, size_t size) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::string GdipExtension(const std::string &name) {
  const size_t dot = name.rfind('.');
  const size_t slash = name.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = name.substr(dot + 1);
  for (char &c : ext) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

}  // namespace

GDIPWRAP_EXPORT int ConvertBitmap(HANDLE source, HANDLE target) {
  if (!source || !target) return 0;
  const char *from = static_cast<const char *>(source), *to = static_cast<const char *>(target);
  const std::string ext = GdipExtension(to);
  if (ext != "png" && ext != "jpg" && ext != "jpeg" && ext != "bmp") return 0;
  std::vector<uint8_t> bytes;
  if (!GdipReadFile(platform::ResolvePath(from), bytes)) return 0;
  platform::PixelImage image;
  if (!platform::DecodeBmp(bytes.data(), bytes.size(), image) || image.Empty()) return 0;
  const std::string out = platform::ResolvePath(to);
  if (ext == "bmp") {
    const std::vector<uint8_t> bmp = platform::EncodeBmp24(image);
    return GdipWriteFile(out, bmp.data(), bmp.size()) ? 1 : 0;
  }
  if (ext == "jpg" || ext == "jpeg") {
    std::vector<uint8_t> jpeg;
    if (!platform::EncodeJpeg(image, 90, jpeg)) return 0;
    return GdipWriteFile(out, jpeg.data(), jpeg.size()) ? 1 : 0;
  }
  QImage picture(reinterpret_cast<const uchar *>(image.argb.data()), image.width, image.height,
                 qsizetype(image.width) * 4, QImage::Format_ARGB32);
  return picture.save(QFile::decodeName(out.c_str()), "PNG") ? 1 : 0;
}
