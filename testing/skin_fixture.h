// A scratch program folder with skins, for tests of the skinned window parts:
// "..\CFG\defui.ini", the user's "defui.ini" and ".\skin\<layout>\<number>\"
// with its "skin.ini" and the strip bitmaps.
#pragma once

#include <functional>
#include <string>

#include "platform/windef.h"

namespace skin_fixture {

struct SkinLook {
  int layout = 1;
  int number = 1;
  int menuBarMargin = 0;
  COLORREF menuDark = RGB(13, 96, 136);
  COLORREF menuLight = RGB(159, 192, 208);
  // "lefttop.bmp" and "righttop.bmp" with a horizontal ramp each, and the
  // four window buttons in plain colours.
  int leftWidth = 120, rightWidth = 200, height = 30;
  int buttonWidth = 16, buttonHeight = 14;
};

// While it lives the current folder is <root>/prog; the user's folder is
// "..\user\". The destructor puts the old folder back and deletes the root.
class SkinSandbox {
 public:
  SkinSandbox();
  ~SkinSandbox();
  SkinSandbox(const SkinSandbox &) = delete;
  SkinSandbox &operator=(const SkinSandbox &) = delete;

  static const char *UserFolder() { return "..\\user\\"; }
  // [UI] Layout and Skin of "..\CFG\defui.ini" or of the user's "defui.ini".
  void WriteDefaults(int layout, int number) const;
  void WriteUserChoice(int layout, int number) const;
  void WriteSkin(const SkinLook &skin) const;
  std::string Path(const std::string &relative) const;

 private:
  std::string root_;
  std::string old_;
};

// A bottom-up 24-bit BMP file of the given colours.
void WriteBmp24(const std::string &path, int width, int height, const std::function<COLORREF(int x, int y)> &pixel);

}  // namespace skin_fixture
