// Draws the pictures the drawing statements show: the 14 icons
// "Icon\Icon1.bmp" .. "Icon\Icon14.bmp" (glyphs on magenta, which is
// transparent when they are drawn) and the pictures "Bmp\up.bmp" and
// "Bmp\down.bmp", as 24-bit BMP files below the given configuration folder.
//
//   make_chart_pictures <cfg folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgb {
  uint8_t r, g, b;
};
constexpr Rgb kMagenta{255, 0, 255};

// x and y from the top-left; the file is written bottom-up.
using Glyph = std::function<Rgb(int x, int y)>;

bool WriteBmp(const std::string &path, int width, int height, const Glyph &glyph) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const uint32_t imageSize = uint32_t(stride * height), fileSize = 54 + imageSize;
  std::vector<uint8_t> data(fileSize, 0);
  auto put16 = [&](size_t at, uint16_t v) { data[at] = uint8_t(v), data[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) data[at + k] = uint8_t(v >> (8 * k));
  };
  data[0] = 'B', data[1] = 'M';
  put32(2, fileSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(width));
  put32(22, uint32_t(height));
  put16(26, 1);
  put16(28, 24);
  put32(34, imageSize);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = glyph(x, y);
      uint8_t *p = &data[54 + size_t(height - 1 - y) * stride + size_t(x) * 3];
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
  return bool(out);
}

// A 16 x 16 icon: the shape's pixels in the colour, the rest magenta.
Glyph Icon(Rgb colour, std::function<bool(int, int)> shape) {
  return [colour, shape](int x, int y) { return shape(x - 8, y - 8) ? colour : kMagenta; };
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_chart_pictures <cfg folder>\n");
    return 2;
  }
  const std::filesystem::path cfg = argv[1];
  std::filesystem::create_directories(cfg / "Icon");
  std::filesystem::create_directories(cfg / "Bmp");
  const Rgb red{230, 40, 40}, green{30, 200, 60}, yellow{250, 210, 0}, blue{40, 120, 255}, white{240, 240, 240};
  auto arrowUp = [](int x, int y) { return (y >= -6 && y <= 0 && std::abs(x) <= y + 6) || (y > 0 && y <= 6 && std::abs(x) <= 2); };
  auto arrowDown = [arrowUp](int x, int y) { return arrowUp(x, -y); };
  const std::vector<Glyph> icons = {
      Icon(red, arrowUp),
      Icon(green, arrowDown),
      Icon(yellow, [](int x, int y) { return x * x + y * y <= 36; }),
      Icon(blue, [](int x, int y) { return std::abs(x) <= 5 && std::abs(y) <= 5; }),
      Icon(red, [](int x, int y) { return std::abs(x) + std::abs(y) <= 6; }),
      Icon(green, [](int x, int y) { return y >= -5 && y <= 5 && 2 * std::abs(x) <= y + 5; }),
      Icon(red, [](int x, int y) { return y >= -5 && y <= 5 && 2 * std::abs(x) <= 5 - y; }),
      Icon(white, [](int x, int y) { return std::abs(x) <= 6 && std::abs(y) <= 6 && std::abs(std::abs(x) - std::abs(y)) <= 1; }),
      Icon(yellow, [](int x, int y) { return (std::abs(x) <= 1 && std::abs(y) <= 6) || (std::abs(y) <= 1 && std::abs(x) <= 6); }),
      Icon(yellow, [](int x, int y) { return std::abs(x) + std::abs(y) <= 7 && (std::abs(x) <= 1 || std::abs(y) <= 1 || std::abs(x) == std::abs(y)); }),
      Icon(blue, [](int x, int y) { return (x == -5 && y >= -6 && y <= 6) || (x > -5 && x <= 5 && y >= -6 && y <= -1); }),
      Icon(green, [](int x, int y) { return (x >= -6 && x <= -2 && std::abs(y - (x + 4)) <= 1) || (x >= -2 && x <= 6 && std::abs(y - (2 - x)) <= 1); }),
      Icon(white, [](int x, int y) { return x * x + y * y <= 9; }),
      Icon(blue, [](int x, int y) { return std::abs(y) <= 2 && std::abs(x) <= 6; }),
  };
  bool ok = true;
  for (size_t k = 0; k < icons.size(); ++k)
    ok = WriteBmp((cfg / "Icon" / ("Icon" + std::to_string(k + 1) + ".bmp")).string(), 16, 16, icons[k]) && ok;
  // The two pictures: an arrow on a panel of their own, drawn opaque.
  auto picture = [](Rgb arrow, bool up) {
    return [arrow, up](int x, int y) {
      const int ax = x - 12, ay = up ? y - 12 : 12 - y;
      const bool inArrow = (ay >= -9 && ay <= 0 && std::abs(ax) <= ay + 9) || (ay > 0 && ay <= 9 && std::abs(ax) <= 3);
      return inArrow ? arrow : Rgb{32, 32, 48};
    };
  };
  ok = WriteBmp((cfg / "Bmp" / "up.bmp").string(), 24, 24, picture(red, true)) && ok;
  ok = WriteBmp((cfg / "Bmp" / "down.bmp").string(), 24, 24, picture(green, false)) && ok;
  return ok ? 0 : 1;
}
