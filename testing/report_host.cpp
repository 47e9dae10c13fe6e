#include "testing/report_host.h"

#include "views/mvmain.h"
#include "views/viewdisplay.h"

namespace testing_support {

RecordingFrameHost::RecordingFrameHost() {
  mainWindow = trace_.Create(0);
  savedServices_ = ViewServices();
  ViewServices().hasRequestClient = [this] { return online; };
  ViewServices().notifyViews = [this](int code, uint32_t stock, intptr_t first, intptr_t second) {
    notices.push_back({code, intptr_t(stock), first, second});
  };
}

RecordingFrameHost::~RecordingFrameHost() {
  ViewServices() = savedServices_;
  if (mainWindow) DestroyWindow(mainWindow);
}

COLORREF RecordingFrameHost::ThemeColor(int number) { return ViewColor(number); }

ReportPage::ReportPage(int width, int height) {
  RegisterReportView();
  window_ = std::make_unique<TForm>(nullptr);
  window_->SetBounds(0, 0, width, height);
  window_->Show();
  page_ = new TMultiViewMain(window_.get(), 2, "");
}

ReportPage::~ReportPage() {
  delete page_;
  window_.reset();
  RegisterViewClass(VIEW_TYPE_REPORT, nullptr);
}

TReport *ReportPage::Report() const {
  for (int i = 0; i < page_->PaneCount(); ++i)
    if (auto *r = dynamic_cast<TReport *>(page_->PaneAt(i))) return r;
  return nullptr;
}

}  // namespace testing_support
