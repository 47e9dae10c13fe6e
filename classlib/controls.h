// The class library's controls: TControl (anything on a form), TWinControl
// (a control that is a window), TCustomControl (a window that paints itself
// on a canvas) and TGraphicControl (a control without a window, painted by
// its parent).
//
// Every TWinControl is one window of the window layer with a handle of its
// own. Its messages arrive at the window procedure of its window class,
// which hands each to the control's WindowProc (by default WndProc, the
// override point of controls that handle raw messages), then Dispatch, which
// decodes the message once and calls the typed handler (WMPaint, WMMouse,
// WMKey, WMChar, WMTimer, WMSize, WMFocus, WMCommand); what no handler takes
// reaches DefaultHandler, which calls the procedure beneath the control: the
// platform's default window procedure, or that of the standard control the
// class wraps ("BUTTON", "EDIT" ...). Replacing the window's procedure with
// SetWindowLongPtrA(GWLP_WNDPROC) still works: the new procedure calls the
// old one, which is the control's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "classlib/graphics.h"
#include "classlib/messages.h"

class TWinControl;
class TCustomForm;
class TPopupMenu;

// ---- sets and events -----------------------------------------------------------------
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
struct TShiftState {
  unsigned Bits = 0;
  TShiftState() = default;
  TShiftState(unsigned bits) : Bits(bits) {}  // NOLINT
  bool Contains(TShiftFlag flag) const { return (Bits & flag) != 0; }
  TShiftState &operator<<(TShiftFlag flag) {
    Bits |= flag;
    return *this;
  }
  bool operator==(const TShiftState &) const = default;
  bool Empty() const { return Bits == 0; }
};
// The shift state of mouse key flags (MK_) and of the keyboard now.
TShiftState ShiftStateFromKeys(UINT mkKeys);
TShiftState KeyboardShiftState();

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TMouseEvent = std::function<void(TObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject *Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject *Sender, WORD &Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject *Sender, char &Key)>;
using TWndMethod = std::function<void(TMessage &Message)>;

// What CreateWnd passes to the window layer; CreateParams overrides adjust
// it before the window is made.
struct TCreateParams {
  std::string Caption;  // GBK
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void *Param = nullptr;
  UINT ClassStyle = CS_DBLCLKS;
  int WindowExtra = 0;  // window extra bytes of the class
  HBRUSH Background = nullptr;
  HCURSOR Cursor = nullptr;
  // The window class made for the control (its ClassName unless changed)
  // and the procedure beneath the control's own: DefWindowProcA or a
  // standard control's (CreateSubClass).
  std::string WinClassName;
  WNDPROC DefWndProc = nullptr;
};

// ---- TControl ----------------------------------------------------------------------------
class TControl : public TComponent {
 public:
  VCL_CLASS_NAME(TControl)
  explicit TControl(TComponent *owner);
  ~TControl() override;

  TWinControl *Parent() const { return parent_; }
  virtual void SetParent(TWinControl *parent);

  // Position in the parent's client area, size of the whole control.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  virtual void SetClientSize(int width, int height);
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  virtual TPoint ClientOrigin() const;  // screen position of the client area's corner

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent visible.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  // Caption and Text are the same string (GBK); a windowed control keeps it
  // in its window.
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string &text) { SetText(text); }
  std::string Text() const { return GetText(); }
  void SetText(const std::string &text);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont *Font() { return &font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);

  std::string Hint;
  bool ShowHint = false;
  TPopupMenu *PopupMenu = nullptr;
  HCURSOR Cursor = nullptr;

  // Sends a message straight to the control's WindowProc; no window needed.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  // Raw message entry. Controls that subclass another's messages replace
  // it and keep the old one to pass messages on.
  TWndMethod WindowProc;
  virtual void WndProc(TMessage &message);
  // Decodes the message and calls the typed handler.
  virtual void Dispatch(TMessage &message);
  virtual void DefaultHandler(TMessage &message);

  virtual void Invalidate();
  virtual void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnResize;

  // The form the control sits on, or null.
  TCustomForm *ParentForm() const;

  virtual void Click();
  virtual void DblClick();

 protected:
  // ---- typed message handlers ----
  // Each receives the decoded message; the base versions do the class
  // library's own handling and then call DefaultHandler(*msg.Raw).
  virtual void WMPaint(TWMPaint &msg);
  virtual void WMEraseBkgnd(TWMEraseBkgnd &msg);
  virtual void WMMouse(TWMMouse &msg);
  virtual void WMMouseWheel(TWMMouseWheel &msg);
  virtual void WMKey(TWMKey &msg);
  virtual void WMChar(TWMChar &msg);
  virtual void WMTimer(TWMTimer &msg);
  virtual void WMSize(TWMSize &msg);
  virtual void WMFocus(TWMFocus &msg);
  virtual void WMCommand(TWMCommand &msg);

  // ---- what the handlers call ----
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void Resize();
  virtual std::string GetText() const { return text_; }
  virtual void TextChanged() {}
  virtual void VisibleChanging() {}
  virtual void ColorChanged();
  virtual void FontChanged();
  // Where the control's area lies in its parent changed.
  virtual void BoundsChanged() {}
  // The control must be repainted in the parent (graphic controls).
  void InvalidateControl();
  void RequestAlign();
  // Whether Click fires on a left-button release over the control.
  bool clickOnRelease_ = true;

  // Set by the mouse handling between a left press and its release.
  bool mouseDownHere_ = false;

  friend class TWinControl;
  std::string text_;  // the caption of a control without a window
  TWinControl *parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;

 private:
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
};

// ---- TWinControl -------------------------------------------------------------------------
class TWinControl : public TControl {
 public:
  VCL_CLASS_NAME(TWinControl)
  explicit TWinControl(TComponent *owner);
  ~TWinControl() override;

  // The control's window, made on first use (with every parent's).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window; the control keeps its state and makes a new one on
  // next use (to change creation-time styles, for instance).
  void RecreateWnd();
  // The control whose window this is, or null.
  static TWinControl *FromHandle(HWND hwnd);
  // Like FromHandle, and also for the windows of Qt-wrapped children.
  static TWinControl *FindControl(HWND hwnd);

  void SetParent(TWinControl *parent) override;
  // A control of a window that is not a class-library control (a form hosted
  // in a plain window, for instance).
  HWND ParentWindow = nullptr;

  int ControlCount() const { return int(controls_.size()); }
  TControl *Controls(int index) const {
    return index >= 0 && size_t(index) < controls_.size() ? controls_[size_t(index)] : nullptr;
  }
  void InsertControl(TControl *control);
  void RemoveControl(TControl *control);
  // The child control (graphic or windowed) at a client point, topmost first.
  TControl *ControlAtPos(TPoint p, bool allowDisabled = false, bool allowWinControls = false) const;

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  void SetEnabled(bool enabled) override;

  bool TabStop = false;
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order);
  bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();

  // The background brush (its colour follows Color).
  TBrush *Brush() { return &brush_; }
  // Aligned children are laid out again.
  void Realign();
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();

  void Invalidate() override;
  void Update() override;
  // Paints the control and its children into a context at (x, y): a
  // window, bitmap or printer context.
  void PaintTo(HDC dc, int x, int y);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  void DefaultHandler(TMessage &message) override;
  void Dispatch(TMessage &message) override;

  // Window procedure of every class-library window class.
  static LRESULT StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  virtual void CreateParams(TCreateParams &params);
  // Makes the control's window class wrap a standard control's class.
  void CreateSubClass(TCreateParams &params, const char *controlClassName);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams &params);
  // Called once the window exists (children are made after it).
  virtual void CreateHandle();
  virtual void DestroyWnd();
  // The window is about to go; a control saves what lives only there.
  virtual void DestroyHandle();

  void WMPaint(TWMPaint &msg) override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void WMMouse(TWMMouse &msg) override;
  void WMKey(TWMKey &msg) override;
  void WMChar(TWMChar &msg) override;
  void WMSize(TWMSize &msg) override;
  void WMFocus(TWMFocus &msg) override;
  void WMCommand(TWMCommand &msg) override;

  virtual void KeyDown(WORD &key, TShiftState shift);
  virtual void KeyUp(WORD &key, TShiftState shift);
  virtual void KeyPress(char &key);
  virtual void DoEnter();
  virtual void DoExit();
  // What the control wants of the keyboard (DLGC_ flags): keys it does not
  // want (Tab, Enter, Esc, arrows) go to its form as dialog keys.
  virtual LRESULT DialogCode();

  // Paints the graphic children over what the control painted.
  void PaintControls(HDC dc, TControl *first = nullptr);
  virtual void AlignControls(TRect &rect);

  std::string GetText() const override;
  void ColorChanged() override;
  void FontChanged() override;
  void BoundsChanged() override;

  // The procedure beneath the control's own.
  WNDPROC defWndProc_ = nullptr;

 private:
  friend class TControl;
  void UpdateBounds();
  void ApplyVisibility();
  void RouteMouseToGraphic(TWMMouse &msg, bool &handled);
  void Bind(HWND hwnd);
  void Unbind();

  HWND handle_ = nullptr;
  std::vector<TControl *> controls_;
  int tabOrder_ = -1;
  TBrush brush_;
  int alignDisabled_ = 0;
  bool aligning_ = false;
  bool creating_ = false;
  TControl *mouseControl_ = nullptr;     // the graphic child under the mouse
  TControl *captureControl_ = nullptr;   // the graphic child holding the mouse
  HFONT fontHandle_ = nullptr;
};

// The canvas of a control: inside Paint it draws on the paint context;
// outside it takes the control's own context on first use (drawing goes to
// the window's persistent image at once, as cross-hairs and rubber bands
// need) and gives it back with FreeHandle, at the next paint or when the
// control goes.
class TControlCanvas : public TCanvas {
 public:
  VCL_CLASS_NAME(TControlCanvas)
  explicit TControlCanvas(TControl *control) : control_(control) {}
  ~TControlCanvas() override { FreeHandle(); }
  void FreeHandle();
  // Runs paint with the canvas on a paint context, set up with the
  // control's font and colour; the context's own state is put back after.
  void PaintOn(HDC dc, const std::function<void()> &paint);

 protected:
  void CreateHandle() override;

 private:
  TControl *control_;
  HWND window_ = nullptr;
  HDC own_ = nullptr;
};

// A windowed control that paints itself on its Canvas in Paint.
class TCustomControl : public TWinControl {
 public:
  VCL_CLASS_NAME(TCustomControl)
  explicit TCustomControl(TComponent *owner);
  ~TCustomControl() override;
  TCanvas *Canvas() { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  void WMPaint(TWMPaint &msg) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A control without a window: its parent paints it (Paint on Canvas, with
// the parent's context moved to the control's corner and clipped to it) and
// hands it the mouse messages over its area.
class TGraphicControl : public TControl {
 public:
  VCL_CLASS_NAME(TGraphicControl)
  explicit TGraphicControl(TComponent *owner);
  ~TGraphicControl() override;
  TCanvas *Canvas() { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  void WMPaint(TWMPaint &msg) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};
