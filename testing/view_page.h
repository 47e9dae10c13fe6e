// One view shown the way the program shows it: a test window with a page
// whose only pane holds a view of the given type, made by the view factory
// from a record (null: the type's defaults). The views of the program's
// text, news and ranking family are registered while a page lives.
#pragma once

#include <memory>

#include "classlib/forms.h"
#include "views/mvmain.h"

namespace testing_support {

class ViewPage {
 public:
  ViewPage(int viewType, const VIEW_ATTR_13 *record, int width = 640, int height = 400, int newsFlag = 1);
  ~ViewPage();
  ViewPage(const ViewPage &) = delete;
  ViewPage &operator=(const ViewPage &) = delete;

  template <class T>
  T *View() const {
    for (int i = 0; i < page_->PaneCount(); ++i)
      if (auto *v = dynamic_cast<T *>(page_->PaneAt(i))) return v;
    return nullptr;
  }
  TForm *Window() const { return window_.get(); }
  TMultiViewMain *Page() const { return page_; }

  // Registers the ranking, text, news and notes views (and puts the
  // placeholders back).
  static void RegisterViews();
  static void UnregisterViews();

 private:
  std::unique_ptr<TForm> window_;
  TMultiViewMain *page_ = nullptr;
};

}  // namespace testing_support
