// A quote report shown the way the program shows it: in a page of panes
// inside a test window, with a recording stand-in for the main window (the
// messages posted to it, the order-panel hand-overs and the report
// services' calls).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/vcl/forms.h"
#include "testing/message_trace.h"
#include "views/report.h"
#include "views/viewhost.h"

class TMultiViewMain;

namespace testing_support {

class RecordingFrameHost : public TMainFrameHost {
 public:
  RecordingFrameHost();
  ~RecordingFrameHost() override;
  HWND MainWindow() override { return window_; }
  bool SetOrderContract(uint32_t stockWord, int flag) override {
    orderContracts.push_back(stockWord);
    return true;
  }
  COLORREF ThemeColor(int number) override;
  void ReleasePeriodButtons() override { ++periodReleases; }

  // Messages posted or sent to the main window, of one number.
  size_t Count(UINT message) const { return trace_.Count(message, window_); }
  const std::vector<TracedMessage> &Messages() const { return trace_.Messages(); }
  void Clear() { trace_.Clear(); }

  std::vector<uint32_t> orderContracts;
  std::vector<std::vector<intptr_t>> notices;  // {code, stock, first, second}
  int periodReleases = 0;
  bool online = false;

 private:
  MessageTrace trace_;
  HWND window_ = nullptr;
  TMainFrameHost *previous_ = nullptr;
  TReportServices savedServices_;
};

// A test window with a page whose only pane is a quote report.
class ReportPage {
 public:
  explicit ReportPage(int width = 640, int height = 400);
  ~ReportPage();
  ReportPage(const ReportPage &) = delete;
  ReportPage &operator=(const ReportPage &) = delete;

  TReport *Report() const;
  TForm *Window() const { return window_.get(); }
  TMultiViewMain *Page() const { return page_; }

 private:
  std::unique_ptr<TForm> window_;
  TMultiViewMain *page_ = nullptr;
};

}  // namespace testing_support
