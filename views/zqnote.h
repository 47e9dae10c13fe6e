// The notes view: the bulletin notes the quote server publishes per
// channel ("上海信息" channel 0, "深圳信息" channel 2), newest first, with
// the text of a note in a read-only rich edit. Lists and texts are cache
// files the request client fetches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/listbox.h"
#include "classlib/menus.h"
#include "classlib/richview.h"
#include "classlib/stdctrls.h"
#include "views/childview.h"
#include "views/textviewtools.h"

// One record of "..\data\notes\notes%d.ls2" (oldest first, no header).
#pragma pack(push, 1)
struct NOTEREC {
  uint8_t flags;
  uint8_t channel;  // sent back with the body request
  uint16_t value;   // sent back with the body request
  uint16_t kept4;
  uint16_t kept6;
  char title[80];
  char key[16];  // the body file's name
  uint32_t dateTime;
};
#pragma pack(pop)
static_assert(sizeof(NOTEREC) == 108);

constexpr int kMaxNotes = 3000;
constexpr int kNoteChannels = 5;

// The notes of a channel as the view lists them.
class TNotesCore {
 public:
  // Reads the newest 3000 whole records of the channel's list file; false
  // for a channel outside 0..4.
  bool Load(int channel);
  // Line i shows the i-th newest record.
  const NOTEREC *RecordOfLine(int line) const;
  std::vector<std::string> Lines() const;
  int Count() const { return int(records.size()); }

  std::vector<NOTEREC> records;  // oldest first
};

class TZQNote : public TChildView {
 public:
  TZQNote(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
          PaneNode *node);

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void Print() override;
  void InitView() override;
  void ApplyFonts() override;
  void WndProc(TMessage &message) override;

  // The main window calls it on every notes view of a channel whose list arrived.
  void LoadNoteList(int channel);
  void ShowNote(int line);
  void RadioClick(int tag);
  void N8Click();
  void RichEdit1MouseDown();

  int Channel() const { return channel_; }
  bool TextShown() const { return RichEdit1->Visible(); }
  const TNotesCore &Core() const { return core_; }
  const NOTEREC &CurrentNote() const { return note_; }
  int Zoom() const { return zoom_; }

  TPanel *Panel2 = nullptr;
  TRadioButton *RadioButton1 = nullptr;
  TRadioButton *RadioButton2 = nullptr;
  TListBox *NoteList = nullptr;
  TRichEdit *RichEdit1 = nullptr;
  TPopupMenu *PopupMenu1 = nullptr;
  TPopupMenu *PopupMenu2 = nullptr;
  TSaveDialog *SaveDialog1 = nullptr;

 private:
  void ShowList();
  void SetListFont();

  TNotesCore core_;
  int channel_ = 0;
  NOTEREC note_{};
  char notePath_[260] = {};
  int zoom_ = 0;
  TDoubleClickTimer clicks_;
};

void RegisterNotesView();
