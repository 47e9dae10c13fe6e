// A quote report shown the way the program shows it: in a page of panes
// inside a test window, with a recording stand-in for the main window (the
// messages posted to it, the order-panel hand-overs and the report
// services' calls).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "testing/frame_host_recorder.h"
#include "testing/message_trace.h"
#include "views/report.h"
#include "views/viewhost.h"

class TMultiViewMain;

namespace testing_support {

// The views' recording main window with a window of its own that records
// what the report posts to it, and the report services recorded beside it.
class RecordingFrameHost : public FrameHostRecorder {
 public:
  RecordingFrameHost();
  ~RecordingFrameHost() override;
  COLORREF ThemeColor(int number) override;

  // Messages posted or sent to the main window, of one number.
  size_t Count(UINT message) const { return trace_.Count(message, mainWindow); }
  const std::vector<TracedMessage> &Messages() const { return trace_.Messages(); }
  void ClearMessages() { trace_.Clear(); }

  std::vector<std::vector<intptr_t>> notices;  // NotifyViews: {code, stock, first, second}
  bool online = false;                         // a request client exists

 private:
  MessageTrace trace_;
  TViewServices savedServices_;
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
