#include "testing/skin_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace skin_fixture {

namespace {

void Ini(const std::string &path, const std::string &text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void Put16(std::vector<unsigned char> &b, unsigned v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char> &b, unsigned v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

}  // namespace

void WriteBmp24(const std::string &path, int width, int height, const std::function<COLORREF(int x, int y)> &pixel) {
  int stride = ((width * 24 + 31) / 32) * 4;
  std::vector<unsigned char> b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, unsigned(54 + stride * height));
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, unsigned(width));
  Put32(b, unsigned(height));
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      COLORREF c = pixel(x, y);
      b.push_back(GetBValue(c));
      b.push_back(GetGValue(c));
      b.push_back(GetRValue(c));
    }
    for (int pad = width * 3; pad < stride; ++pad) b.push_back(0);
  }
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
}

SkinSandbox::SkinSandbox() {
  old_ = fs::current_path().string();
  root_ = testing_support::MakeTempFolder("kivo-skin");
  if (root_.empty()) std::abort();
  fs::create_directories(root_ + "/prog");
  fs::create_directories(root_ + "/CFG");
  fs::create_directories(root_ + "/user");
  fs::current_path(root_ + "/prog");
}

SkinSandbox::~SkinSandbox() {
  std::error_code ignored;
  fs::current_path(old_, ignored);
  fs::remove_all(root_, ignored);
}

std::string SkinSandbox::Path(const std::string &relative) const { return root_ + "/" + relative; }

void SkinSandbox::WriteDefaults(int layout, int number) const {
  Ini(Path("CFG/defui.ini"), "[UI]\r\nLayout=" + std::to_string(layout) + "\r\nSkin=" + std::to_string(number) + "\r\n");
}

void SkinSandbox::WriteUserChoice(int layout, int number) const {
  Ini(Path("user/defui.ini"),
      "[UI]\r\nLayout=" + std::to_string(layout) + "\r\nSkin=" + std::to_string(number) + "\r\n");
}

void SkinSandbox::WriteSkin(const SkinLook &s) const {
  std::string folder = Path("prog/skin/" + std::to_string(s.layout) + "/" + std::to_string(s.number) + "/");
  Ini(folder + "skin.ini", "[UI]\r\nMenuBarMargin=" + std::to_string(s.menuBarMargin) +
                               "\r\n[Color]\r\nMenuDark=" + std::to_string(s.menuDark) +
                               "\r\nMenuLight=" + std::to_string(s.menuLight) + "\r\n");
  WriteBmp24(folder + "lefttop.bmp", s.leftWidth, s.height,
             [&](int x, int) { return RGB(BYTE(20 + x * 200 / s.leftWidth), 60, 120); });
  WriteBmp24(folder + "righttop.bmp", s.rightWidth, s.height,
             [&](int x, int) { return RGB(60, BYTE(20 + x * 200 / s.rightWidth), 120); });
  const std::pair<const char *, COLORREF> buttons[] = {{"minnormal.bmp", RGB(0, 128, 0)},
                                                       {"maxnormal.bmp", RGB(0, 0, 200)},
                                                       {"restorenormal.bmp", RGB(200, 200, 0)},
                                                       {"closenormal.bmp", RGB(200, 0, 0)}};
  for (const auto &[name, colour] : buttons) {
    COLORREF c = colour;
    WriteBmp24(folder + name, s.buttonWidth, s.buttonHeight, [c](int, int) { return c; });
  }
}

}  // namespace skin_fixture
