// The screen capture: a borderless form over the whole screen that shows
// the screen as it was when the form was made, lets the user drag a
// rectangle, adjust its edges and save its inside as PNG, JPG, BMP or GIF
// (BMP only without the drawing library). The right button or Esc ends it.
// The capture is always written as a 24-bit bitmap first; the other
// formats are converted from that file, which is deleted afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"

class TCaptureDlg : public TForm {
 public:
  explicit TCaptureDlg(TComponent *owner);
  ~TCaptureDlg() override;

  void FormCreate();
  void FormPaint(TObject *sender = nullptr);
  void FormKeyDown(TObject *sender, WORD &key, TShiftState shift);
  void FormMouseDown(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormMouseMove(TObject *sender, TShiftState shift, int x, int y);
  void FormMouseUp(TObject *sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormDblClick(TObject *sender = nullptr);
  void btnOKClick(TObject *sender = nullptr);
  void btnCancelClick(TObject *sender = nullptr);

  // The frozen screen into the form's bitmap.
  void GrabScreen();
  // The band from the anchor to the current point, drawn so that drawing it
  // twice takes it away.
  void DrawRubberBand(int ax, int ay, int bx, int by);
  void NormalizeSelection();
  void UpdateEdgeCursor(int x, int y);

  // The 24-bit bitmap file of the selection's inside (54-byte header), or
  // nothing when the inside is less than 2 x 2 pixels.
  std::vector<uint8_t> SelectionBitmapFile() const;

  bool Selected = false;
  int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  int CurX = 0, CurY = 0;
  int Edge = -1;  // 0 top, 1 bottom, 2 left, 3 right
  int PanelCorner = 0;  // 0 top-left, 1 bottom-right
  TPanel *statPanel = nullptr;
  TLabel *pX = nullptr, *pY = nullptr;
  TButton *btnOK = nullptr, *btnCancel = nullptr;
  // The frozen screen, 0x00RRGGBB top row first.
  int ScreenWidth = 0, ScreenHeight = 0;
  uint32_t *ScreenBits = nullptr;

 protected:
  void WndProc(TMessage &message) override;

 private:
  void Save();
  void DrawFrame(HDC dc);
  void PlaceHelpPanel(int x, int y);
  HBITMAP screen_ = nullptr;
  int anchorX_ = 0, anchorY_ = 0;
  bool drawing_ = false;
  bool onEdge_ = false;
  bool draggingEdge_ = false;
};

// The capture command: the dialog over the whole screen, shown modally;
// true when a picture was saved. The main window lets itself repaint
// before (the screen is frozen as the dialog is made).
bool RunScreenCapture(TComponent *owner);
