#include "testing/view_page.h"

#include <cstring>

#include "views/intesort.h"
#include "views/msgform.h"
#include "views/textform.h"
#include "views/zqnote.h"

namespace testing_support {

void ViewPage::RegisterViews() {
  RegisterRankingView();
  RegisterTextView();
  RegisterNewsView();
  RegisterNotesView();
}

void ViewPage::UnregisterViews() {
  for (int type : {VIEW_TYPE_RANKING, VIEW_TYPE_TEXT, VIEW_TYPE_NEWS, VIEW_TYPE_NOTES}) RegisterViewClass(type, nullptr);
}

ViewPage::ViewPage(int viewType, const VIEW_ATTR_13 *record, int width, int height, int newsFlag) {
  RegisterViews();
  window_ = std::make_unique<TForm>(nullptr);
  window_->SetBounds(0, 0, width, height);
  window_->Show();
  page_ = new TMultiViewMain(window_.get(), 1, "");
  VIEW_ATTR_13 r;
  if (record) {
    r = *record;
  } else {
    std::memset(static_cast<void *>(&r), 0, sizeof r);
    InitViewAttr(viewType, &r);
  }
  r.viewType = int16_t(viewType);
  if (page_->PaneCount() > 0) page_->CreateView(page_->PaneAt(0)->m_node, &r, newsFlag, 0);
}

ViewPage::~ViewPage() {
  delete page_;
  window_.reset();
  UnregisterViews();
}

}  // namespace testing_support
