// Pictures from files: LoadImageA for bitmaps, and the class library's
// graphic types (TBitmap, TIcon, TJPEGImage) with TPicture, which picks the
// type by the file's extension ("bmp", "ico", "jpg", "jpeg").
//
// A decoded picture becomes a 24-bit bottom-up DIB section, which device
// contexts select and blit like any bitmap. A file that is missing or
// damaged loads nothing: the call fails and the graphic stays empty.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/imagecodec.h"
#include "classlib/graphics.h"
#include "platform/windef.h"

constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_LOADFROMFILE = 0x0010;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;

// Only bitmaps from files (IMAGE_BITMAP with LR_LOADFROMFILE) exist here:
// the program has no resources. The bitmap has the file's own size (cx and
// cy are not used). Null with the last error set when the file is missing
// (ERROR_FILE_NOT_FOUND) or not a readable BMP (ERROR_INVALID_DATA).
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);

namespace platform {

// Writes bytes to a file named the Windows way, replacing it.
bool WritePictureFile(const std::string &windowsPath, const std::vector<uint8_t> &bytes);

// A 24-bit bottom-up DIB section holding the picture (alpha dropped).
HBITMAP CreateBitmapFromPixels(const PixelImage &image);
// The pixels of a 24- or 32-bit bitmap, all opaque (a 32-bit bitmap's fourth
// byte is not read: what GDI draws leaves it zero).
bool PixelsFromBitmap(HBITMAP bitmap, PixelImage &out);

}  // namespace platform

// The graphic types. Their files are named the Windows way, in GBK.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual const char *ClassName() const = 0;
  virtual bool LoadFromFile(const std::string &fileName) = 0;
  virtual bool SaveToFile(const std::string &fileName) = 0;
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The picture's pixels, top row first.
  virtual bool GetPixels(platform::PixelImage &out) = 0;
  // Draws the picture stretched to the rectangle; see-through pixels of an
  // icon leave what is below. Nothing for an empty graphic.
  virtual bool Draw(HDC dc, const RECT &rect) = 0;
};

// A bitmap that owns its GDI object.
class TBitmap : public TGraphic {
 public:
  TBitmap() = default;
  ~TBitmap() override;
  TBitmap(const TBitmap &) = delete;
  TBitmap &operator=(const TBitmap &) = delete;

  const char *ClassName() const override { return "TBitmap"; }
  // A BMP file.
  bool LoadFromFile(const std::string &fileName) override;
  // A 24-bit BMP file.
  bool SaveToFile(const std::string &fileName) override;
  bool Empty() const override { return handle_ == nullptr; }
  int Width() const override;
  int Height() const override;
  bool GetPixels(platform::PixelImage &out) override;
  bool Draw(HDC dc, const RECT &rect) override;

  // Null while empty.
  HBITMAP Handle() const { return handle_; }
  // Takes the bitmap over (deleting the one held before).
  void SetHandle(HBITMAP bitmap);
  // Gives the bitmap away; the graphic is empty afterwards.
  HBITMAP ReleaseHandle();
  // Any graphic's picture as a bitmap; an empty one empties this.
  void Assign(TGraphic &source);
  // Replaces the bitmap with these pixels.
  bool SetPixels(const platform::PixelImage &image);
  // Replaces the bitmap with a white one of that size.
  bool SetSize(int width, int height);
  // A canvas that draws on the bitmap (made on first use, and following the
  // bitmap when it is replaced).
  TCanvas *Canvas();

 private:
  void Reselect();
  HBITMAP handle_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
  HDC canvasDc_ = nullptr;
  HGDIOBJ canvasDefault_ = nullptr;  // the context's own bitmap
};

// An icon file's largest image, with its transparency.
class TIcon : public TGraphic {
 public:
  // Makes this the icon of every window of the program (nothing while
  // empty or without a GUI).
  bool SetAsApplicationIcon() const;
  const char *ClassName() const override { return "TIcon"; }
  bool LoadFromFile(const std::string &fileName) override;
  // Icons are only read.
  bool SaveToFile(const std::string &) override { return false; }
  bool Empty() const override { return image_.Empty(); }
  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  bool GetPixels(platform::PixelImage &out) override;
  bool Draw(HDC dc, const RECT &rect) override;
  const platform::PixelImage &Pixels() const { return image_; }

 private:
  platform::PixelImage image_;
  // The picture as drawn (premultiplied when it has see-through pixels),
  // made at the first Draw.
  TBitmap shown_;
};

// JPEG pictures, read and written through libjpeg.
class TJPEGImage : public TGraphic {
 public:
  const char *ClassName() const override { return "TJPEGImage"; }
  bool LoadFromFile(const std::string &fileName) override;
  bool SaveToFile(const std::string &fileName) override;
  bool Empty() const override { return image_.Empty(); }
  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  bool GetPixels(platform::PixelImage &out) override;
  bool Draw(HDC dc, const RECT &rect) override;
  // Takes any graphic's picture, to save it as JPEG.
  void Assign(TGraphic &source);

  // 1 to 100, used when saving.
  int CompressionQuality = 90;

 private:
  platform::PixelImage image_;
  TBitmap shown_;  // the picture as a bitmap, made at the first Draw
};

// Holds one graphic of whichever type its file needs.
class TPicture {
 public:
  TPicture() = default;
  TPicture(const TPicture &) = delete;
  TPicture &operator=(const TPicture &) = delete;

  // The graphic type comes from the extension, without regard to case; an
  // unknown extension or a bad file leaves the picture empty.
  bool LoadFromFile(const std::string &fileName);
  bool SaveToFile(const std::string &fileName);
  TGraphic *Graphic() const { return graphic_.get(); }
  // The graphic when it is a bitmap, else null.
  TBitmap *Bitmap() const;
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  void Clear();
  // Holds this graphic from now on (null empties the picture).
  void SetGraphic(std::unique_ptr<TGraphic> graphic);

  // Called whenever the picture gets another graphic or none.
  std::function<void()> OnChange;

  using Factory = std::function<std::unique_ptr<TGraphic>()>;
  // Adds or replaces the graphic type of an extension (without its dot).
  static void RegisterFileFormat(const std::string &extension, const std::string &description,
                                 Factory factory);

 private:
  std::unique_ptr<TGraphic> graphic_;
};
