// The information text view: the base information of one instrument,
// divided by the server into titled sections. A title bar with the
// instrument's name and code, up to 16 section tabs in two rows and boxes
// that step to the previous and the next instrument sits above a
// read-only rich edit with the text of the current section. Index and
// texts are cache files the request client fills on demand.
#pragma once

#include <cstdint>
#include <string>

#include "classlib/menus.h"
#include "classlib/richview.h"
#include "views/childview.h"
#include "views/textviewtools.h"

constexpr int kTextSections = 16;
constexpr int kTextIndexBytes = 4096;

// Where the parts of the title bar lie for a client width.
struct TextTitleLayout {
  explicit TextTitleLayout(int width);
  int columns;     // tabs per row, 0..8
  bool narrow;     // below 810 pixels: the hint row, the edit lower
  TRect Tab(int row, int column) const;
  TRect NameBox() const { return TRect(10, 2, 85, 26); }
  TRect CodeBox() const { return TRect(10, 26, 85, 50); }
  TRect PrevBox() const { return TRect(105 + 75 * columns, 2, 190 + 75 * columns, 26); }
  TRect NextBox() const { return TRect(105 + 75 * columns, 26, 190 + 75 * columns, 50); }
  int LineY() const { return narrow ? 80 : 56; }
  int EditTop() const { return narrow ? 88 : 64; }
  // The section a point hits (-1 none), or -2 / -3 for the previous / next box.
  int HitTest(int x, int y) const;
};

class TTextForm : public TChildView {
 public:
  TTextForm(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
            PaneNode *node);

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void Print() override;
  void InitView() override;
  void ApplyFonts() override;
  void CollectStocks(EArray<STKMS> *stocks) override;
  void WndProc(TMessage &message) override;

  bool RequestIndex();
  void LoadIndex();
  void ShowSection(bool requestsAllowed);
  void RequestSection();
  void FormMouseDown(int x, int y);
  // Page Up (-1) or Page Down (+1): the previous or next instrument.
  void StepStock(int step);
  STKPTR Neighbour(int step) const;

  InfoIndexEntry Section(int k) const;
  bool SectionExists(int k) const { return Section(k).title[0] != '\0'; }
  int CurrentSection() const { return current_; }
  STKPTR Stock() const { return m_attr.stock; }
  int Zoom() const { return zoom_; }

  TRichEdit *RichEdit1 = nullptr;
  TPopupMenu *PopupMenu1 = nullptr;
  TSaveDialog *SaveDialog1 = nullptr;

 protected:
  void Paint() override;

 private:
  void Reload();
  void PlaceEdit();

  uint8_t index_[kTextIndexBytes] = {};
  int current_ = 0;
  int zoom_ = 0;
};

void RegisterTextView();
