// The information-mine window "信息地雷": the dated information items of
// one instrument (the entries of its information index of a kind) and the
// text of one of them. The K-line chart makes the one instance and points
// it at other instruments or items; the main window refills it when new
// data of the shown instrument arrives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/listbox.h"
#include "classlib/richview.h"
#include "views/textviewtools.h"

constexpr int kMaxInfoMines = 128;

// The newest 128 entries of an index and the lines that list them.
class TInfoMineCore {
 public:
  // Reads the index of the instrument and kind; a missing file leaves 0.
  void Load(STKPTR stock, int kind);
  // Newest first: "%u.%02u.%02u %s (%i字)" for kind 2, else
  // "%02u:%02u:%02u %s (%i字)".
  std::vector<std::string> Lines(int kind) const;
  // Line i of c lines shows entry c - 1 - i; null beyond the entries.
  const InfoIndexEntry *EntryOfLine(int line) const;
  int Count() const { return int(entries.size()); }

  std::vector<InfoIndexEntry> entries;  // file order
  // Whether the entry buffer was made (it is kept once made).
  bool bufferMade = false;
};

class TInfoLinkDlg : public TForm {
 public:
  TInfoLinkDlg(int kind, TComponent *owner, int item, STKPTR stock);

  void ShowStock(int kind, int item, STKPTR stock);
  void FillList();
  void RefreshIfShowing(int kind, STKPTR stock);
  void ApplyColors();
  // Shows the item of a list line; requests a missing text when fromList.
  void ShowItem(int line, bool fromList);
  void BackToList();
  void RichEdit1MouseDown();
  void WndProc(TMessage &message) override;

  bool TextShown() const { return RichEdit1->Visible(); }
  const TInfoMineCore &Core() const { return core_; }
  STKPTR Stock() const { return stock_; }
  int Kind() const { return kind_; }

  TListBox *ListBox1 = nullptr;
  TRichEdit *RichEdit1 = nullptr;

 protected:
  void DoClose(TCloseAction &action) override;

 private:
  void SelectItem(int item);

  STKPTR stock_;
  int kind_ = 2;
  TInfoMineCore core_;
  TDoubleClickTimer clicks_;
};
