// The block dialogs: TEdtBlk "编辑板块" lists blocks, and in edit mode
// creates, changes and deletes the user's blocks; in choice mode
// ("选择板块") it lets a caller pick one. TModiBk "编辑板块股" edits one
// block's name and instruments, market by market, by code or by pinyin
// initials. Both work on the block table in place and rewrite the user's
// block file after every change.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/xpbutton.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "market/blocks.h"
#include "market/marketrecords.h"
#include "classlib/combobox.h"
#include "classlib/forms.h"
#include "classlib/listbox.h"
#include "classlib/stdctrls.h"
#include "views/pinyin.h"

// What the block dialogs tell the main window; it fills these in.
struct BlockDialogHooks {
  HWND mainWindow = nullptr;                      // gets WM_BLOCK_DELETED
  std::function<void()> rebuildUserBlockMenu;     // the "自选板块" menu
  std::function<void(int blockId)> blockChanged;  // views: the block's contents changed
};
BlockDialogHooks &BlockHooks();

class TModiBk : public TForm {
 public:
  explicit TModiBk(TComponent *owner);
  ~TModiBk() override;

  // -1: a new block "新板块"; else a copy of the block's name, kind and
  // members.
  void LoadBlock(int blockId);

  // The edited block: name, kind and members, read by the caller after
  // ShowModal gives 1 with accepted set.
  BLOCK block{};
  std::vector<BLOCKMEMBER> members;
  uint8_t accepted = 0;

  TXPEdit *Edit1, *Edit2;
  TXPListBox *ListBox1, *ListBox2;
  TXPComboBox *ComboBox1;
  TXPButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7, *Button8;

  void FormCreate(TObject *sender);
  void ComboBox1Change(TObject *sender);
  // False when refused: full, already a member, or no such instrument.
  bool AddMember(const BLOCKMEMBER &member);
  void Button1Click(TObject *sender);  // 全选 <-
  void Button2Click(TObject *sender);  // 添加 <-
  void Button3Click(TObject *sender);  // 删除 ->
  void Button4Click(TObject *sender);  // 全清 ->
  void Button5Click(TObject *sender);  // 确定
  void Button7Click(TObject *sender);  // 上移
  void Button8Click(TObject *sender);  // 下移
  void Edit2Change(TObject *sender);
  void Edit2KeyDown(TObject *sender, WORD &key, TShiftState shift);

  int CandidateCount() const { return int(candidates_.size()); }
  const BLOCKMEMBER &Candidate(int i) const { return candidates_[size_t(i)].member; }
  // The member a line of ListBox1 shows.
  int MemberOfLine(int line) const { return line >= 0 && size_t(line) < lines_.size() ? lines_[size_t(line)] : -1; }

 private:
  struct CandidateRec {
    BLOCKMEMBER member;
    STKINFO entry;
  };
  // ListBox1 again from the members; members without a name-table entry
  // stay in the block without a line.
  void FillMembers(int selectMember = -1);
  void ShowCandidates();
  void AddCandidatesOfMarket();
  std::vector<int> lines_;  // ListBox1 line -> member index
  std::vector<CandidateRec> candidates_;
  std::vector<int> comboMarkets_;  // ComboBox1 line -> market index
  int market_ = -1;
  PinyinExtraTable extra_{};
};

class TEdtBlk : public TForm {
 public:
  // A non-zero mode edits the user's blocks (kinds 4 to 4); mode 0 lets
  // the caller choose among the kinds lowest..highest (never kind 2).
  TEdtBlk(TComponent *owner, int mode, int lowestKind, int highestKind);

  std::vector<uint16_t> ids;  // per list line
  int32_t mode;
  int lowestKind, highestKind;
  uint8_t chosen = 0;
  uint16_t chosenId = 0;

  TXPListBox *ListBox1;
  TXPButton *Button1, *Button2, *Button3, *Button4, *Button5;

  void Button1Click(TObject *sender);  // 确定
  void Button3Click(TObject *sender);  // 新建
  void Button4Click(TObject *sender);  // 修改
  void Button5Click(TObject *sender);  // 删除
  void ListBox1DblClick(TObject *sender);

  // Runs the block editor modally; tests replace it to script the editor.
  std::function<int(TModiBk &)> runEditor = [](TModiBk &editor) { return editor.ShowModal(); };
};
