// A stand-in for the main window as the views see it: answers with settable
// values and records every call as a line of text ("ShowViewTools 1 0",
// "SetOrderContract <word>", ...). Installed while it lives.
#pragma once

#include <string>
#include <vector>

#include "views/viewhost.h"

class FrameHostRecorder : public TMainFrameHost {
 public:
  FrameHostRecorder();
  ~FrameHostRecorder() override;
  FrameHostRecorder(const FrameHostRecorder &) = delete;
  FrameHostRecorder &operator=(const FrameHostRecorder &) = delete;

  HWND MainWindow() override { return mainWindow; }
  bool AutoSavePage() override { return autoSave; }
  bool TickChartFirst() override { return tickFirst; }
  void ShowViewTools(bool show, int kind) override;
  void ShowDrawingTools(bool klinePane) override;
  void ReleasePeriodButtons() override;
  bool SetOrderContract(uint32_t stockWord, int flag) override;
  void SetDialogOpen(bool open) override;
  COLORREF ThemeColor(int number) override;
  void BuildPageMenu(int mark) override;
  bool AskWebAddress(char (&address)[128]) override;
  void ActivateMainWindow() override {}
  TLineToolBox *LinePalette() override { return linePalette; }
  int LineToolCode() override { return lineTool; }
  void SetLineToolCode(int code) override;
  void RaiseLineButton() override;
  void PressPeriodButton(int period) override;
  void CheckScaleItem(int item) override;

  // Calls whose line starts with the prefix.
  std::vector<std::string> Calls(const std::string &prefix = "") const;
  void Clear() { calls.clear(); }

  HWND mainWindow = nullptr;
  bool autoSave = false;
  bool tickFirst = false;
  COLORREF colors[64] = {};
  std::string webAddress;  // empty: the address dialog is cancelled
  TLineToolBox *linePalette = nullptr;
  int lineTool = -1;
  std::vector<std::string> calls;

 private:
  TMainFrameHost *previous_;
};
