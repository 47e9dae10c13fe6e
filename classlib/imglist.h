// Image lists: pictures of one size kept together and drawn by index, with
// change links that tell controls when the list changes or goes away.
#pragma once

#include <vector>

#include "classlib/graphics.h"

class TCustomImageList;

// Registered with an image list by a control that shows its images; the
// list calls Change on every change and clears Sender when it is freed.
class TChangeLink : public TObject {
 public:
  VCL_CLASS_NAME(TChangeLink)
  TChangeLink() = default;
  ~TChangeLink() override;
  TChangeLink(const TChangeLink &) = delete;
  TChangeLink &operator=(const TChangeLink &) = delete;
  TCustomImageList *Sender = nullptr;
  TNotifyEvent OnChange;
  virtual void Change();
};

class TCustomImageList : public TComponent {
 public:
  VCL_CLASS_NAME(TCustomImageList)
  explicit TCustomImageList(TComponent *owner);
  ~TCustomImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size clears the list.
  void SetSize(int width, int height);
  int Count() const { return int(images_.size()); }

  // Adds the bitmap cut into images of the list's width (a strip of
  // several); returns the index of the first, -1 when it could not be read.
  int Add(HBITMAP bitmap);
  // The same, with the pixels of the mask colour left transparent.
  int AddMasked(HBITMAP bitmap, TColor maskColor);
  void Delete(int index);
  void Clear();
  // Draws an image; a disabled one is drawn greyed.
  void Draw(TCanvas *canvas, int x, int y, int index, bool enabled = true);
  void Draw(HDC dc, int x, int y, int index, bool enabled = true);

  void RegisterChanges(TChangeLink *link);
  void UnRegisterChanges(TChangeLink *link);
  TNotifyEvent OnChange;

 protected:
  void Change();

 private:
  struct Image {
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top first
    bool masked = false;
    uint32_t mask = 0;
  };
  int width_ = 16;
  int height_ = 16;
  std::vector<Image> images_;
  std::vector<TChangeLink *> links_;
};

class TImageList : public TCustomImageList {
 public:
  VCL_CLASS_NAME(TImageList)
  explicit TImageList(TComponent *owner) : TCustomImageList(owner) {}
};
