#include "views/zqnote.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "market/datafile.h"
#include "market/reqbuild.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "classlib/printer.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"

// ---- The notes of a channel -----------------------------------------------------------------

bool TNotesCore::Load(int channel) {
  if (channel < 0 || channel >= kNoteChannels) return false;
  records.clear();
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "..\\data\\notes\\notes%d.ls2", channel);
  const int32_t file = FileOpen(path, "rb");
  if (file < 0) return true;
  // The file is oldest first: the newest notes are its last records.
  const int32_t whole = std::max(FileSize(file), 0) / int32_t(sizeof(NOTEREC));
  const int32_t keep = std::min(whole, int32_t(kMaxNotes));
  if (keep > 0 && FileSeek(file, (whole - keep) * int32_t(sizeof(NOTEREC)), 0) >= 0) {
    records.resize(size_t(keep));
    const int32_t got = FileRead(file, records.data(), int32_t(sizeof(NOTEREC)), keep);
    records.resize(size_t(std::max(got, 0)) / sizeof(NOTEREC));
  }
  FileClose(file);
  return true;
}

const NOTEREC *TNotesCore::RecordOfLine(int line) const {
  const int n = Count();
  if (line < 0 || line >= n) return nullptr;
  return &records[size_t(n - 1 - line)];
}

std::vector<std::string> TNotesCore::Lines() const {
  std::vector<std::string> lines;
  for (int i = Count() - 1; i >= 0; --i) {
    const NOTEREC &r = records[size_t(i)];
    char title[sizeof r.title + 1] = {};
    std::memcpy(title, r.title, sizeof r.title);
    lines.push_back(StampedLine(LocalStampOf(r.dateTime), title));
  }
  return lines;
}

// ---- The view ---------------------------------------------------------------------------------

void RegisterNotesView() {
  RegisterViewClass(VIEW_TYPE_NOTES,
                    [](TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                       EArray<VIEW_ATTR_13> *history, PaneNode *node, int) -> TMultiViewChild * {
                      return new TZQNote(page, record, viewData, history, node);
                    });
}

TZQNote::TZQNote(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                 EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TChildView(page, viewData, history, node) {
  if (record)
    m_attr = *record;
  else
    InitViewAttr(VIEW_TYPE_NOTES, &m_attr);
  m_attr.viewType = VIEW_TYPE_NOTES;
  channel_ = int(m_attr.currentBlock);

  Panel2 = new TPanel(this);
  Panel2->SetParent(this);
  Panel2->SetAlign(alTop);
  Panel2->SetHeight(26);
  Panel2->SetBevelOuter(bvNone);
  auto radio = [this](const char *caption, int tag, int x) {
    auto *r = new TRadioButton(Panel2);
    r->SetParent(Panel2);
    r->SetCaption(caption);
    r->Tag = tag;
    r->SetBounds(x, 4, 90, 18);
    return r;
  };
  RadioButton1 = radio("上海信息", 0, 8);
  RadioButton2 = radio("深圳信息", 2, 108);
  RadioButton1->SetChecked(true);
  if (channel_ == 2) RadioButton2->SetChecked(true);

  NoteList = MakeLinePane(
      this,
      [this](int index) -> std::optional<std::string> {
        if (index < 0 || index >= NoteList->Count()) return std::nullopt;
        return NoteList->Items()->Get(index);
      },
      [this](int index) { ShowNote(index); }, "后退(&B)", [this] { Print(); }, &PopupMenu1);
  RichEdit1 = MakeTextPane(
      this, [this] { N8Click(); }, [this] { RichEdit1MouseDown(); }, [this] { Print(); }, &PopupMenu2, &SaveDialog1);
  SaveDialog1->DefaultExt = "txt";

  // Clicks count from here on: checking a button above is no click.
  RadioButton1->OnClick = [this](TObject *) { RadioClick(0); };
  RadioButton2->OnClick = [this](TObject *) { RadioClick(2); };
  if (m_cmdBox) {
    m_cmdBox->UpdateColors();
    m_cmdBox->m_background = 0x840000;
    m_cmdBox->m_hotColor = 0x0082FF;
    m_cmdBox->Refresh();
  }
  ApplyFonts();
  UpdateMenuCaptions();
}

void TZQNote::SetListFont() {
  const VIEWFONTDEF &f = ViewFont(2);
  for (TWinControl *c : {static_cast<TWinControl *>(RichEdit1), static_cast<TWinControl *>(NoteList)}) {
    TFont *font = c->Font();
    font->SetName(std::string(f.face, strnlen(f.face, sizeof f.face)));
    font->SetStyle(TFontStyles(f.style & 0xF));
    font->SetHeight(-(f.size + zoom_ - 1));
    font->SetColor(TColor(ViewColor(28)));
  }
  NoteList->Canvas()->Font()->Assign(NoteList->Font());
}

void TZQNote::ApplyFonts() {
  const TColor back = TColor(ViewColor(27));
  RichEdit1->SetColor(back);
  NoteList->SetColor(back);
  SetListFont();
  NoteList->SetItemHeight(std::max(NoteList->Canvas()->TextHeight("啊") + 8, 1));
}

void TZQNote::InitView() {
  EnableLinks(RichEdit1);
  LoadNoteList(channel_);
}

void TZQNote::LoadNoteList(int channel) {
  if (!core_.Load(channel)) return;
  NoteList->Items()->BeginUpdate();
  NoteList->Clear();
  for (const std::string &line : core_.Lines()) NoteList->Items()->Add(line);
  NoteList->Items()->EndUpdate();
  if (ViewOnline()) RequestNotesList(channel);
}

void TZQNote::ShowList() {
  RichEdit1->Hide();
  NoteList->Show();
}

void TZQNote::ShowNote(int line) {
  const NOTEREC *r = core_.RecordOfLine(line);
  if (!r) return;
  RichEdit1->Clear();
  NoteList->Hide();
  RichEdit1->Show();
  char key[sizeof r->key + 1] = {};
  std::memcpy(key, r->key, sizeof r->key);
  std::snprintf(notePath_, sizeof notePath_, "..\\data\\notes\\%s", key);
  // A key from a damaged list never names a file outside the notes folder.
  const bool safe = IsSafeCacheName(key);
  std::string text;
  if (safe && ReadWholeFile(notePath_, &text)) {
    RichEdit1->Lines()->SetText(text);
  } else if (safe && ViewOnline()) {
    note_ = *r;
    RequestNoteBody(r->channel, key, r->value);
  }
  if (RichEdit1->HandleAllocated()) RichEdit1->SetFocus();
}

void TZQNote::N8Click() {
  ShowList();
  if (NoteList->HandleAllocated()) NoteList->SetFocus();
}

void TZQNote::RichEdit1MouseDown() {
  Activate();
  if (clicks_.Click(GetTickCount())) N8Click();
}

void TZQNote::RadioClick(int tag) {
  if (Visible()) Activate();
  ShowList();
  if (tag != channel_) {
    NoteList->Clear();
    channel_ = tag;
    m_attr.currentBlock = uint32_t(tag);
    if (NoteList->HandleAllocated()) NoteList->SetFocus();
    LoadNoteList(channel_);
  }
}

int TZQNote::Notify(int code, uint32_t, intptr_t firstExtra, intptr_t) {
  if (code == 8 && firstExtra == 0 && RichEdit1->Visible() && RichEdit1->HandleAllocated()) {
    PostMessageA(RichEdit1->Handle(), WM_KEYDOWN, VK_NEXT, 0);
    PostMessageA(RichEdit1->Handle(), WM_KEYUP, VK_NEXT, 0);
  }
  if (code == 15) {
    const int before = zoom_;
    if (firstExtra > 0 && zoom_ <= 9) ++zoom_;
    if (firstExtra < 0 && zoom_ >= 1) --zoom_;
    if (zoom_ != before) {
      SetListFont();
      NoteList->SetItemHeight(NoteList->Canvas()->TextHeight("证") + 8);
    }
  }
  if (code == 1 && (firstExtra == 0 || firstExtra == 2)) {
    channel_ = int(firstExtra);
    m_attr.currentBlock = uint32_t(channel_);
    const auto click1 = RadioButton1->OnClick, click2 = RadioButton2->OnClick;
    RadioButton1->OnClick = nullptr;
    RadioButton2->OnClick = nullptr;
    (channel_ == 2 ? RadioButton2 : RadioButton1)->SetChecked(true);
    RadioButton1->OnClick = click1;
    RadioButton2->OnClick = click2;
    ShowList();
    LoadNoteList(channel_);
  }
  return 0;
}

void TZQNote::Print() {
  if (RichEdit1->Visible()) {
    PrintTextLines(RichLines(RichEdit1));
    return;
  }
  std::vector<std::string> lines;
  for (int i = std::max(NoteList->TopIndex(), 0); i < NoteList->Count(); ++i) lines.push_back(NoteList->Items()->Get(i));
  PrintListLines(lines);
}

void TZQNote::WndProc(TMessage &m) {
  if (m.Msg == WM_NOTIFY && HandleLinkNotify(m.LParam, RichEdit1, Handle())) {
    m.Result = 0;
    return;
  }
  TChildView::WndProc(m);
}
