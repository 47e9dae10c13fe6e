// Tab controls: TTabControl (a strip of tabs over one area) and
// TPageControl (a strip of tabs, one TTabSheet shown under it). Both paint
// themselves; TabRect gives the rectangle of each tab, which painters of
// their own use.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/commctrl.h"
#include "classlib/controls.h"
#include "classlib/listbox.h"

using TTabChangingEvent = std::function<void(TObject *Sender, bool &AllowChange)>;

class TCustomTabControl : public TCustomControl, public TListItemsOwner {
 public:
  VCL_CLASS_NAME(TCustomTabControl)
  explicit TCustomTabControl(TComponent *owner);
  ~TCustomTabControl() override;

  // -1 when there are no tabs. Setting it raises no event.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int index);
  int TabHeight = 0;  // 0: from the font
  int TabWidth = 0;   // 0: from each caption
  int TabCount() const { return TabCaptionCount(); }
  TRect TabRect(int index);
  // -1 when the point lies on no tab.
  int IndexOfTabAt(int x, int y);
  // The area under the tabs.
  TRect DisplayRect();

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  void WndProc(TMessage &message) override;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  LRESULT DialogCode() override;
  void ItemsChanged(int insertedAt, int deletedAt) override;

  virtual int TabCaptionCount() const = 0;
  virtual std::string TabCaption(int index) const = 0;
  virtual bool CanChange();
  virtual void Change();
  // The user picks a tab: OnChanging may refuse, OnChange follows.
  bool UserSelect(int index);
  int StripHeight();

  int tabIndex_ = -1;
};

class TTabControl : public TCustomTabControl {
 public:
  VCL_CLASS_NAME(TTabControl)
  explicit TTabControl(TComponent *owner);
  TStrings *Tabs() { return tabs_.get(); }

 protected:
  int TabCaptionCount() const override { return tabs_->Count(); }
  std::string TabCaption(int index) const override { return tabs_->Get(index); }

 private:
  std::unique_ptr<TListStrings> tabs_;
};

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  VCL_CLASS_NAME(TTabSheet)
  explicit TTabSheet(TComponent *owner);
  ~TTabSheet() override;
  TPageControl *PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl *control);
  // The sheet's tab is shown; a hidden tab's sheet is never active.
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool visible);
  int PageIndex() const;
  // Its place among the shown tabs, -1 when its tab is hidden.
  int TabIndex() const;

 private:
  friend class TPageControl;
  TPageControl *pageControl_ = nullptr;
  bool tabVisible_ = true;
};

class TPageControl : public TCustomTabControl {
 public:
  VCL_CLASS_NAME(TPageControl)
  explicit TPageControl(TComponent *owner);
  ~TPageControl() override;

  int PageCount() const { return int(pages_.size()); }
  TTabSheet *Pages(int index) const;
  TTabSheet *ActivePage() const { return active_; }
  void SetActivePage(TTabSheet *page);
  int ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
  void SetActivePageIndex(int index) { SetActivePage(Pages(index)); }

 protected:
  int TabCaptionCount() const override;
  std::string TabCaption(int index) const override;
  void Change() override;
  void WMSize(TWMSize &msg) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet *page);
  void RemovePage(TTabSheet *page);
  TTabSheet *SheetOfTab(int tab) const;
  void PagesChanged();
  void PlaceSheets();

  std::vector<TTabSheet *> pages_;
  TTabSheet *active_ = nullptr;
};
