// Forms and the application object. A form is a top-level window (or a
// child, when it has a parent or is an MDI child) holding controls; its
// core logic lives in plain classes it owns, its handlers are its methods.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "classlib/controls.h"

class TButton;
class TMainMenu;

// Modal results; a button's ModalResult ends a modal form with it.
typedef int TModalResult;
enum : TModalResult {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
  mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
typedef TFormBorderStyle TBorderStyle;
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
typedef unsigned TBorderIcons;
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TCloseEvent = std::function<void(TObject *Sender, TCloseAction &Action)>;
using TCloseQueryEvent = std::function<void(TObject *Sender, bool &CanClose)>;

class TCustomForm : public TWinControl {
 public:
  VCL_CLASS_NAME(TCustomForm)
  explicit TCustomForm(TComponent *owner);
  ~TCustomForm() override;

  // Runs the form modally: other top-level windows are disabled, messages
  // are served until ModalResult is set (by a button, by Close or by code)
  // and the close query allows it; returns the result.
  virtual int ShowModal();
  bool Modal() const { return modal_; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result);
  // Asks OnCloseQuery, then OnClose decides what happens (hide, free,
  // minimise or nothing). For a modal form it sets ModalResult to mrCancel.
  void Close();
  bool CloseQuery();
  // Frees the form once the messages now queued are handled, unless it was
  // freed otherwise meanwhile.
  void Release();
  // Given at construction, never twice in a run.
  uint64_t Serial() const { return serial_; }
  void Show();
  void Hide() { SetVisible(false); }
  void BringToFront();

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position = poDesigned;
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  // Key messages reach the form's OnKeyDown / OnKeyPress / OnKeyUp before
  // the focused control's.
  bool KeyPreview = false;

  TWinControl *ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl *control);
  // Moves the focus to the next (or previous) tab stop in tab order.
  void SelectNext(TWinControl *current, bool forward = true);
  TMainMenu *Menu = nullptr;

  // Runs OnCreate; a form declared in code calls it at the end of its
  // constructor, once its controls exist.
  void DoCreate();

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  TCanvas *Canvas() { return canvas_.get(); }

  // The buttons Enter and Esc press.
  TButton *DefaultButton() const;
  TButton *CancelButton() const;

  // Offered the keys the focused control does not want: Enter, Esc, Tab
  // and arrows. True when the form used it.
  virtual bool DialogKey(WORD key, TShiftState shift);

  void WndProc(TMessage &message) override;

 protected:
  void CreateParams(TCreateParams &params) override;
  void CreateHandle() override;
  void WMPaint(TWMPaint &msg) override;
  void WMKey(TWMKey &msg) override;
  virtual void Paint();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction &action);
  void PlaceByPosition();

 private:
  friend class TWinControl;
  friend class TButton;
  std::unique_ptr<TControlCanvas> canvas_;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TFormStyle formStyle_ = fsNormal;
  TWindowState windowState_ = wsNormal;
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool placed_ = false;
  TWinControl *activeControl_ = nullptr;
  uint64_t serial_;
};

class TForm : public TCustomForm {
 public:
  VCL_CLASS_NAME(TForm)
  explicit TForm(TComponent *owner) : TCustomForm(owner) {}
};

// The application object: the message loop, its hook and the main form.
using TMessageEvent = std::function<void(MSG &Msg, bool &Handled)>;

class TApplication : public TComponent {
 public:
  VCL_CLASS_NAME(TApplication)
  TApplication();
  ~TApplication() override;

  std::string Title;
  TCustomForm *MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm *form) { mainForm_ = form; }
  // Sees every message taken from the queue before it is translated and
  // dispatched, in the main loop and the modal loops alike.
  TMessageEvent OnMessage() const { return onMessage_; }
  void SetOnMessage(TMessageEvent handler);
  // The hint of the control under the mouse (the part after '|' when it
  // has two); OnHint runs whenever it changes.
  std::string Hint;
  TNotifyEvent OnHint;
  // The control under the mouse, as the controls report it.
  void SetHintControl(TControl *control);
  TControl *HintControl() const { return hintControl_; }

  // Handles every message now queued.
  void ProcessMessages();
  // Handles one message, waiting for it when none is queued.
  void HandleMessage();
  // Runs the loop until the main form closes or Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The active top-level form.
  TCustomForm *ActiveForm() const;

 private:
  TCustomForm *mainForm_ = nullptr;
  TControl *hintControl_ = nullptr;
  TMessageEvent onMessage_;
  bool terminated_ = false;
};

// The one application object of the GUI thread, made on first use.
TApplication *Application();
