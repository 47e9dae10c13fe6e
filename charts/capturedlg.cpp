#include "charts/capturedlg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "classlib/commdlg.h"
#include "core/chartgfx.h"
#include "platform/fileapi.h"
#include "platform/gdi.h"
#include "platform/msgbox.h"
#include "platform/screengrab.h"
#include "platform/winuser.h"

namespace {

constexpr int kCaptureEdgeSlack = 4;

bool CaptureEndsWith(const std::string &name, const char *ext) {
  const size_t n = std::strlen(ext);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = name[name.size() - n + i], b = ext[i];
    if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// 0 written, 1 the file could not be made, 2 not all of it was written.
int CaptureWriteFile(const std::string &name, const std::vector<uint8_t> &bytes) {
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size() ? 0 : 2;
}

void CapturePut16(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void CapturePut32(uint8_t *p, uint32_t v) {
  CapturePut16(p, v);
  CapturePut16(p + 2, v >> 16);
}

}  // namespace

TCaptureDlg::TCaptureDlg(TComponent *owner) : TForm(owner) {
  SetBorderStyle(bsNone);
  KeyPreview = true;
  statPanel = new TPanel(this);
  statPanel->SetParent(this);
  statPanel->SetBounds(0, 0, 340, 96);
  statPanel->SetColor(clHighlight);
  statPanel->ShowCaption = false;
  auto label = [this](const char *text, int x, int y, int w, int h) {
    auto *l = new TLabel(this);
    l->SetParent(statPanel);
    l->SetCaption(text);
    l->SetBounds(x, y, w, h);
    l->Font()->SetName("宋体");
    l->Font()->SetSize(12);
    l->Font()->SetColor(clWhite);
    return l;
  };
  label("按下鼠标左键并移动，可选择截图范围。", 6, 6, 328, 16);
  TLabel *help = label("截图框出现后，拖动边框可调整其大小。双击鼠标左键保存图片，按下 “ESC”键或鼠标右键放弃。", 6,
                       24, 328, 48);
  help->WordWrap = true;
  help->AutoSize = false;
  label("当前鼠标位置：X=", 6, 74, 136, 16);
  pX = label("0", 142, 74, 40, 16);
  label("Y=", 186, 74, 20, 16);
  pY = label("0", 206, 74, 40, 16);
  btnOK = new TButton(this);
  btnOK->SetParent(this);
  btnOK->SetCaption("OK");
  btnOK->SetVisible(false);
  btnOK->ModalResult = mrOk;
  btnOK->OnClick = [this](TObject *s) { btnOKClick(s); };
  btnCancel = new TButton(this);
  btnCancel->SetParent(this);
  btnCancel->SetCaption("Cancel");
  btnCancel->SetVisible(false);
  btnCancel->ModalResult = mrCancel;
  btnCancel->OnClick = [this](TObject *s) { btnCancelClick(s); };

  OnPaint = [this](TObject *s) { FormPaint(s); };
  OnKeyDown = [this](TObject *s, WORD &key, TShiftState shift) { FormKeyDown(s, key, shift); };
  OnMouseDown = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseDown(s, b, sh, x, y); };
  OnMouseMove = [this](TObject *s, TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
  OnMouseUp = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseUp(s, b, sh, x, y); };
  OnDblClick = [this](TObject *s) { FormDblClick(s); };
  FormCreate();
}

TCaptureDlg::~TCaptureDlg() {
  if (screen_) DeleteObject(screen_);
}

void TCaptureDlg::FormCreate() {
  GrabScreen();
  SetBounds(0, 0, ScreenWidth, ScreenHeight);
  Cursor = LoadCursorA(nullptr, IDC_CROSS);
  PanelCorner = 0;
  statPanel->SetBounds(0, 0, statPanel->Width(), statPanel->Height());
}

void TCaptureDlg::GrabScreen() {
  const platform::PixelImage picture = platform::GrabScreenPicture();
  ScreenWidth = std::max(GetSystemMetrics(SM_CXSCREEN), 1);
  ScreenHeight = std::max(GetSystemMetrics(SM_CYSCREEN), 1);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = ScreenWidth;
  info.bmiHeader.biHeight = -ScreenHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  screen_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ScreenBits = static_cast<uint32_t *>(bits);
  if (!ScreenBits) return;
  for (int y = 0; y < ScreenHeight; ++y)
    for (int x = 0; x < ScreenWidth; ++x)
      ScreenBits[size_t(y) * size_t(ScreenWidth) + size_t(x)] =
          x < picture.width && y < picture.height ? picture.At(x, y) & 0xFFFFFFu : 0;
}

void TCaptureDlg::WndProc(TMessage &m) {
  if (m.Msg == WM_ERASEBKGND) {
    // The frozen screen covers everything: nothing to erase.
    m.Result = 1;
    return;
  }
  TForm::WndProc(m);
}

void TCaptureDlg::FormPaint(TObject *) {
  HDC dc = Canvas()->Handle();
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, screen_);
  BitBlt(dc, 0, 0, ScreenWidth, ScreenHeight, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  if (Selected) DrawFrame(dc);
}

void TCaptureDlg::DrawFrame(HDC dc) {
  HPEN pen = CreatePen(PS_DASH, 2, RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, X1, Y1, X2 + 1, Y2 + 1);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void TCaptureDlg::DrawRubberBand(int ax, int ay, int bx, int by) {
  if (!HandleAllocated()) return;
  HDC dc = GetDC(Handle());
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const int oldRop = SetROP2(dc, R2_NOTXORPEN);
  Rectangle(dc, std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1, std::max(ay, by) + 1);
  SetROP2(dc, oldRop);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  ReleaseDC(Handle(), dc);
}

void TCaptureDlg::NormalizeSelection() {
  if (X2 < X1) std::swap(X1, X2);
  if (Y2 < Y1) std::swap(Y1, Y2);
}

void TCaptureDlg::UpdateEdgeCursor(int x, int y) {
  onEdge_ = true;
  if (x >= X1 && x <= X2 && std::abs(y - Y1) <= kCaptureEdgeSlack) {
    Edge = 0;
    SetCursor(LoadCursorA(nullptr, IDC_SIZENS));
  } else if (x >= X1 && x <= X2 && std::abs(y - Y2) <= kCaptureEdgeSlack) {
    Edge = 1;
    SetCursor(LoadCursorA(nullptr, IDC_SIZENS));
  } else if (y >= Y1 && y <= Y2 && std::abs(x - X1) <= kCaptureEdgeSlack) {
    Edge = 2;
    SetCursor(LoadCursorA(nullptr, IDC_SIZEWE));
  } else if (y >= Y1 && y <= Y2 && std::abs(x - X2) <= kCaptureEdgeSlack) {
    Edge = 3;
    SetCursor(LoadCursorA(nullptr, IDC_SIZEWE));
  } else {
    onEdge_ = false;
    const bool inside = x > X1 && x < X2 && y > Y1 && y < Y2;
    SetCursor(LoadCursorA(nullptr, inside ? IDC_SIZEALL : IDC_CROSS));
  }
}

void TCaptureDlg::PlaceHelpPanel(int x, int y) {
  if (PanelCorner == 0 && x < ScreenWidth / 2 && y < ScreenHeight / 2) {
    statPanel->SetBounds(ScreenWidth - statPanel->Width(), ScreenHeight - statPanel->Height(), statPanel->Width(),
                         statPanel->Height());
    PanelCorner = 1;
  } else if (PanelCorner == 1 && x >= ScreenWidth / 2 && y >= ScreenHeight / 2) {
    statPanel->SetBounds(0, 0, statPanel->Width(), statPanel->Height());
    PanelCorner = 0;
  }
  pX->SetCaption(std::to_string(x));
  pY->SetCaption(std::to_string(y));
}

void TCaptureDlg::FormKeyDown(TObject *, WORD &key, TShiftState) {
  if (key == VK_ESCAPE) {
    key = 0;
    SetModalResult(mrCancel);
  }
}

void TCaptureDlg::FormMouseDown(TObject *, TMouseButton button, TShiftState, int x, int y) {
  if (button == mbRight) {
    SetModalResult(mrCancel);
    return;
  }
  if (button != mbLeft) return;
  if (!Selected) {
    anchorX_ = CurX = x;
    anchorY_ = CurY = y;
    drawing_ = true;
  } else if (onEdge_) {
    draggingEdge_ = true;
  }
}

void TCaptureDlg::FormMouseMove(TObject *, TShiftState shift, int x, int y) {
  PlaceHelpPanel(x, y);
  const bool held = shift.Contains(ssLeft);
  if (drawing_ && held) {
    DrawRubberBand(anchorX_, anchorY_, CurX, CurY);
    CurX = x;
    CurY = y;
    DrawRubberBand(anchorX_, anchorY_, CurX, CurY);
    return;
  }
  if (!Selected) return;
  if (draggingEdge_ && held) {
    DrawRubberBand(X1, Y1, X2, Y2);
    switch (Edge) {
      case 0: Y1 = y; break;
      case 1: Y2 = y; break;
      case 2: X1 = x; break;
      case 3: X2 = x; break;
      default: break;
    }
    DrawRubberBand(X1, Y1, X2, Y2);
    return;
  }
  UpdateEdgeCursor(x, y);
}

void TCaptureDlg::FormMouseUp(TObject *, TMouseButton button, TShiftState, int x, int y) {
  if (button != mbLeft) return;
  if (drawing_) {
    drawing_ = false;
    DrawRubberBand(anchorX_, anchorY_, CurX, CurY);
    if (x == anchorX_ && y == anchorY_) return;
    X1 = anchorX_;
    Y1 = anchorY_;
    X2 = x;
    Y2 = y;
    Selected = true;
    NormalizeSelection();
    Invalidate();
  } else if (draggingEdge_) {
    draggingEdge_ = false;
    NormalizeSelection();
    Invalidate();
  }
}

void TCaptureDlg::FormDblClick(TObject *) {
  if (Selected) Save();
}

void TCaptureDlg::btnOKClick(TObject *) { SetModalResult(mrOk); }
void TCaptureDlg::btnCancelClick(TObject *) { SetModalResult(mrCancel); }

std::vector<uint8_t> TCaptureDlg::SelectionBitmapFile() const {
  const int left = std::max(X1 + 1, 0), top = std::max(Y1 + 1, 0);
  const int width = std::min(X2 - X1 - 1, ScreenWidth - left), height = std::min(Y2 - Y1 - 1, ScreenHeight - top);
  // A frame with less than 2 x 2 pixels inside holds no picture.
  if (!ScreenBits || width < 2 || height < 2) return {};
  const uint32_t row = uint32_t(((width * 24 + 31) / 32) * 4);
  const uint32_t image = row * uint32_t(height);
  std::vector<uint8_t> file(size_t(image) + 54, 0);
  uint8_t *h = file.data();
  h[0] = 'B';
  h[1] = 'M';
  CapturePut32(h + 2, image + 54);
  CapturePut32(h + 10, 54);
  CapturePut32(h + 14, 40);
  CapturePut32(h + 18, uint32_t(width));
  CapturePut32(h + 22, uint32_t(height));
  CapturePut16(h + 26, 1);
  CapturePut16(h + 28, 24);
  CapturePut32(h + 34, image);
  for (int y = 0; y < height; ++y) {
    // Bottom-up rows.
    uint8_t *out = file.data() + 54 + size_t(row) * size_t(height - 1 - y);
    const uint32_t *in = ScreenBits + size_t(top + y) * size_t(ScreenWidth) + size_t(left);
    for (int x = 0; x < width; ++x) {
      out[3 * x] = uint8_t(in[x]);
      out[3 * x + 1] = uint8_t(in[x] >> 8);
      out[3 * x + 2] = uint8_t(in[x] >> 16);
    }
  }
  return file;
}

void TCaptureDlg::Save() {
  statPanel->Hide();
  Repaint();
  std::vector<uint8_t> bitmap;
  try {
    bitmap = SelectionBitmapFile();
  } catch (const std::bad_alloc &) {
    MessageBoxA(Handle(), "内存不足，无法保存图片。  ", "错误", MB_ICONERROR);
    statPanel->Show();
    return;
  }
  if (bitmap.empty()) {
    statPanel->Show();
    return;
  }
  BindGdiWrapper();
  const bool converter = IsGdiWrapperBound();
  static const char kAllFilters[] =
      "PNG(*.PNG) 推荐选用的格式\0*.png\0JPG(*.JPG)\0*.jpg\0位图(*.BMP)\0*.bmp\0GIF(*.GIF)\0*.gif\0";
  static const char kBitmapFilter[] = "位图(*.BMP)\0*.bmp\0";
  static const char *const kExtensions[] = {".png", ".jpg", ".bmp", ".gif"};
  for (;;) {
    char path[512] = {};
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = Handle();
    request.lpstrFilter = converter ? kAllFilters : kBitmapFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
    request.lpstrInitialDir = ".\\";
    request.lpstrTitle = "保存图片";
    request.Flags = OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameA(&request)) {
      // Back to the selection.
      statPanel->Show();
      return;
    }
    const int index = converter ? std::clamp(int(request.nFilterIndex), 1, 4) : 3;
    const char *ext = kExtensions[index - 1];
    std::string name = path;
    if (!CaptureEndsWith(name, ext)) name += ext;
    if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
      char question[700];
      std::snprintf(question, sizeof question, "文件 %s 已存在，覆盖吗？  ", name.c_str());
      if (MessageBoxA(Handle(), question, "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) continue;
    }
    // The picture is made beside the file and takes its place only when
    // complete: a failed save leaves a file being replaced as it was.
    const std::string temporary = name + ".bmp";
    const std::string made = index == 3 ? temporary : name + ".new" + ext;
    if (CaptureWriteFile(temporary, bitmap) != 0) {
      MessageBoxA(Handle(), "无法写入文件，保存图片失败。  ", "提示", MB_ICONERROR);
    } else if (index != 3 && !ConvertBitmapAA(const_cast<char *>(temporary.c_str()), const_cast<char *>(made.c_str()))) {
      MessageBoxA(Handle(), "保存图片失败。  ", "提示", MB_ICONERROR);
    } else if (!MoveFileExA(made.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      MessageBoxA(Handle(), "无法写入文件，保存图片失败。  ", "提示", MB_ICONERROR);
    }
    DeleteFileA(temporary.c_str());
    if (made != temporary) DeleteFileA(made.c_str());
    break;
  }
  Selected = false;
  SetModalResult(mrOk);
}

bool RunScreenCapture(TComponent *owner) {
  TCaptureDlg dialog(owner);
  return dialog.ShowModal() == mrOk;
}
