#include "views/textviewtools.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/datetime.h"
#include "core/efile.h"
#include "core/emem.h"
#include "market/answer.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "classlib/printer.h"
#include "platform/shell.h"
#include "views/mvchild.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"
#include "views/viewservices.h"

bool ViewOnline() { return ViewServices().hasRequestClient && ViewServices().hasRequestClient(); }

void ViewPauseKeyHook(bool paused) {
  if (ViewServices().pauseKeyHook) ViewServices().pauseKeyHook(paused);
}

void TempAnswerPath(int number, char *path, size_t size) {
  char folder[MAX_PATH] = {};
  if (AnswerHooks().tempFolder[0])
    std::snprintf(folder, sizeof folder, "%s", AnswerHooks().tempFolder);
  else
    GetTempPathA(sizeof folder, folder);
  std::snprintf(path, size, "%s%d.tmp", folder, number);
}

TMenuItem *AddMenuItem(TPopupMenu *menu, const char *caption, std::function<void()> click) {
  auto *item = new TMenuItem(menu);
  item->Caption = caption;
  if (click) item->OnClick = [click](TObject *) { click(); };
  menu->Items()->Add(item);
  return item;
}

TMenuItem *AddLinkMenuItem(TPopupMenu *menu, TMultiViewChild *view, bool visible) {
  TMenuItem *item = AddMenuItem(menu, "联动(&S)", [view] {
    view->m_linked = view->m_linked ? 0 : 1;
    if (!view->m_linked && ViewServices().uncheckLinkMenu) ViewServices().uncheckLinkMenu();
  });
  item->Visible = visible;
  auto previous = menu->OnPopup;
  menu->OnPopup = [item, view, previous](TObject *sender) {
    item->Checked = view->m_linked != 0;
    if (previous) previous(sender);
  };
  return item;
}

TListBox *MakeLinePane(TMultiViewChild *view, std::function<std::optional<std::string>(int index)> lineText,
                       std::function<void(int index)> open, const char *back, std::function<void()> print,
                       TPopupMenu **menu) {
  auto *list = new TListBox(view);
  list->SetParent(view);
  list->SetAlign(alClient);
  list->SetStyle(lbOwnerDrawFixed);
  list->OnDrawItem = [list, lineText](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
    const std::optional<std::string> text = lineText(index);
    PaintListLine(list->Canvas(), rect, state & odSelected, text ? text->c_str() : nullptr);
  };
  auto goBack = [view] {
    view->PostToPage(WM_MVM_BACK);
  };
  list->OnDblClick = [list, open](TObject *) { open(list->ItemIndex()); };
  list->OnKeyDown = [list, open, goBack](TObject *, WORD &key, TShiftState) {
    if (key == VK_RETURN) open(list->ItemIndex());
    if (key == VK_ESCAPE) goBack();
  };
  list->OnMouseDown = [view](TObject *, TMouseButton, TShiftState, int, int) { view->Activate(); };
  *menu = new TPopupMenu(view);
  AddLinkMenuItem(*menu, view, false);
  AddMenuItem(*menu, back, goBack);
  AddMenuItem(*menu, "打印(&P)", print);
  list->PopupMenu = *menu;
  return list;
}

TRichEdit *MakeTextPane(TMultiViewChild *view, std::function<void()> close, std::function<void()> leftPress,
                        std::function<void()> print, TPopupMenu **menu, TSaveDialog **saveDialog) {
  auto *edit = new TRichEdit(view);
  edit->SetParent(view);
  edit->SetAlign(alClient);
  edit->SetReadOnly(true);
  edit->Hide();
  edit->OnKeyDown = [close](TObject *, WORD &key, TShiftState) {
    if (key == VK_ESCAPE || key == VK_RETURN) close();
  };
  edit->OnMouseDown = [leftPress](TObject *, TMouseButton button, TShiftState, int, int) {
    if (button == mbLeft) leftPress();
  };
  TSaveDialog *dialog = *saveDialog = new TSaveDialog(view);
  *menu = new TPopupMenu(view);
  AddMenuItem(*menu, "后退        ESC", close);
  AddMenuItem(*menu, "复制(&C)", [edit] { CopyRichText(edit, true); });
  AddMenuItem(*menu, "另存为(&A)", [edit, dialog] { SaveRichText(edit, dialog); });
  AddMenuItem(*menu, "打印(&P)", print);
  AddLinkMenuItem(*menu, view, false);
  edit->PopupMenu = *menu;
  return edit;
}

// ---- Links ----------------------------------------------------------------------------

void EnableLinks(TRichEdit *edit) {
  SendMessageA(edit->Handle(), EM_AUTOURLDETECT, 1, 0);
  const LRESULT mask = SendMessageA(edit->Handle(), EM_GETEVENTMASK, 0, 0);
  SendMessageA(edit->Handle(), EM_SETEVENTMASK, 0, LPARAM(DWORD(mask) | ENM_LINK));
}

void OpenLinkExternally(HWND owner, const char *link) {
  const INT_PTR started = reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", "IEXPLORE.EXE", link, nullptr, 1));
  if (started > 32) return;
  if (platform::OpenInWebBrowser(link)) return;
  MessageBoxA(owner, kNoBrowserText, "错误", MB_ICONERROR | MB_TOPMOST);
}

bool HandleLinkNotify(LPARAM lParam, TRichEdit *edit, HWND owner) {
  const auto *header = reinterpret_cast<const NMHDR *>(lParam);
  if (!header || !edit || !edit->HandleAllocated() || header->hwndFrom != edit->Handle() || header->code != EN_LINK)
    return false;
  const auto *link = reinterpret_cast<const ENLINK *>(lParam);
  if (link->msg != WM_LBUTTONDOWN) return true;
  char text[kMaxLinkLength + 1] = {};
  if (link->chrg.cpMax - link->chrg.cpMin > kMaxLinkLength) {
    MessageBoxA(owner, kLinkTooLongText, "错误", MB_ICONWARNING | MB_TOPMOST);
    return true;
  }
  TEXTRANGEA range{link->chrg, text};
  SendMessageA(edit->Handle(), EM_GETTEXTRANGE, 0, LPARAM(&range));
  text[kMaxLinkLength] = '\0';
  OpenLinkExternally(owner, text);
  return true;
}

// ---- Copy, save, print ---------------------------------------------------------------------

void CopyRichText(TRichEdit *edit, bool black) {
  TColor color = 0;
  if (black) {
    color = edit->Font()->Color();
    edit->Font()->SetColor(0);
  }
  if (edit->SelLength() > 0) {
    edit->CopyToClipboard();
  } else {
    edit->SelectAll();
    edit->CopyToClipboard();
    edit->SetSelLength(0);
  }
  if (black) edit->Font()->SetColor(color);
}

std::string SaveName(const std::string &chosen) {
  std::string name = chosen.substr(0, std::min<size_t>(chosen.size(), 1023));
  const size_t slash = name.find_last_of("\\/");
  const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
  if (last.find('.') == std::string::npos) name += ".txt";
  return name;
}

void SaveRichText(TRichEdit *edit, TSaveDialog *dialog) {
  dialog->Options = ofOverwritePrompt | ofNoChangeDir | ofPathMustExist | ofHideReadOnly;
  if (!dialog->Execute()) return;
  const std::string name = SaveName(dialog->FileName);
  const int32_t file = FileOpen(name.c_str(), "wb");
  if (file < 0) return;
  FileTruncate(file, 0);
  for (const std::string &line : RichLines(edit)) {
    FileWrite(file, line.data(), 1, int32_t(line.size()));
    FileWrite(file, "\r\n", 1, 2);
  }
  FileClose(file);
}

std::vector<std::string> RichLines(TRichEdit *edit) {
  std::vector<std::string> lines;
  TStrings *l = edit->Lines();
  for (int i = 0; i < l->Count(); ++i) lines.push_back(l->Get(i));
  return lines;
}

namespace {

constexpr int kMargin = 200;

void SetPrintFont(TPrinter *printer) {
  TFont *font = printer->Canvas()->Font();
  font->SetName("宋体");
  font->SetSize(9);
  font->SetColor(0);
}

// Starts a document in the print font; false when the printer refuses.
bool BeginPrint(TPrinter *printer) {
  try {
    printer->BeginDoc();
  } catch (const EPrinter &) {
    return false;
  }
  SetPrintFont(printer);
  return true;
}

}  // namespace

int PrintTextLines(const std::vector<std::string> &lines) {
  TPrinter *printer = Printer();
  if (!BeginPrint(printer)) return 0;
  TCanvas *c = printer->Canvas();
  const int pw = printer->PageWidth(), ph = printer->PageHeight();
  const int usable = std::max(pw - kMargin, 1);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char header[64];
  std::snprintf(header, sizeof header, "%d年", int(now.wYear));
  std::vector<std::string> all = {header, std::string(41, '-')};
  all.insert(all.end(), lines.begin(), lines.end());
  int pages = 1;
  double y = kMargin;
  bool pageEmpty = true;
  for (const std::string &line : all) {
    const int width = c->TextWidth(line.empty() ? std::string(" ") : line);
    const int height = std::max(c->TextHeight("证"), 1);
    const double advance = (width / usable + 1.2) * height;
    if (!pageEmpty && y + advance > ph - kMargin) {
      printer->NewPage();
      SetPrintFont(printer);
      ++pages;
      y = kMargin;
    }
    RECT r = {kMargin, int(y), pw - kMargin / 2, int(y + advance)};
    DrawTextA(c->Handle(), line.c_str(), int(line.size()), &r, DT_WORDBREAK | DT_NOPREFIX);
    y += advance;
    pageEmpty = false;
  }
  printer->EndDoc();
  return pages;
}

int PrintListLines(const std::vector<std::string> &lines) {
  TPrinter *printer = Printer();
  if (!BeginPrint(printer)) return 0;
  TCanvas *c = printer->Canvas();
  const int ph = printer->PageHeight();
  int y = kMargin, printed = 0;
  for (const std::string &line : lines) {
    const int height = std::max(c->TextHeight("证"), 1) * 6 / 5;
    if (y + height > ph - kMargin) break;
    c->TextOut(kMargin, y, line);
    y += height;
    ++printed;
  }
  printer->EndDoc();
  return printed;
}

// ---- Text files ------------------------------------------------------------------------------

bool ReadTextRange(const char *path, uint32_t offset, uint32_t length, std::string *text) {
  text->clear();
  const int32_t in = FileOpen(path, "rb");
  if (in < 0) return false;
  char scratch[MAX_PATH];
  std::snprintf(scratch, sizeof scratch, "%sData\\temp.txt", kCacheRoot);
  const int32_t out = FileOpen(scratch, "w+b");
  if (out >= 0) FileTruncate(out, 0);
  uint32_t left = length;
  if (offset == 0xFFFFFFFFu) {
    left = uint32_t(std::max(FileSize(in), 0));
  } else if (offset > 0x7FFFFFFFu || FileSeek(in, int32_t(offset), 0) < 0) {
    left = 0;
  }
  char block[4096];
  while (left > 0 && out >= 0) {
    const int32_t want = int32_t(std::min<uint32_t>(left, sizeof block));
    const int32_t got = FileRead(in, block, 1, want);
    if (got <= 0) break;
    if (FileWrite(out, block, 1, got) != got) break;
    left -= uint32_t(got);
    if (got < want) break;
  }
  FileClose(in);
  if (out >= 0) {
    FileSeek(out, 0, 0);
    const int32_t size = FileSize(out);
    if (size > 0) {
      text->resize(size_t(size));
      text->resize(size_t(std::max(FileRead(out, text->data(), 1, size), 0)));
    }
    FileClose(out);
  }
  DeleteFileA(scratch);
  return true;
}

// ---- Stamps ------------------------------------------------------------------------------------

ServerStamp LocalStampOf(uint32_t word) {
  const uint32_t date = word & 0xFFFFF, time = word >> 20;
  const unsigned month = date / 100 % 100, day = date % 100;
  const unsigned year = 2000 + date / 10000 % 100;
  const unsigned hour = time / 100 % 100, minute = time % 100;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
    return ServerStamp{int(month), int(day), int(hour), int(minute)};
  PackedDateTime t = MakePackedDateTime(year, month, day, hour, minute);
  MarketTimeToLocal(&TimeZoneTable, 0, 0, &t);
  return ServerStamp{int(PackedMonth(t)), int(PackedDay(t)), int(PackedHour(t)), int(PackedMinute(t))};
}

std::string StampedLine(const ServerStamp &s, const char *title) {
  char line[160];
  std::snprintf(line, sizeof line, "  %2d/%02d %2d:%02d %s", s.month, s.day, s.hour, s.minute, title);
  return line;
}

bool TDoubleClickTimer::Click(uint32_t now) {
  if (armed_ && !TicksElapsed(last_, now, 300)) {
    armed_ = false;
    return true;
  }
  armed_ = true;
  last_ = now;
  return false;
}

// ---- Information index ----------------------------------------------------------------------

InfoIndexEntry ParseInfoEntry(const uint8_t *e) {
  InfoIndexEntry r;
  std::memcpy(&r.date, e + 3, 4);
  std::memcpy(&r.time, e + 7, 4);
  std::memcpy(r.title, e + 11, 64);
  std::memcpy(r.fileName, e + 75, 80);
  std::memcpy(&r.offset, e + 155, 4);
  std::memcpy(&r.length, e + 159, 4);
  return r;
}

bool InfoFilePaths(STKPTR stock, int kind, char *indexPath, char *textPath, int size) {
  const TMarketData *md = MarketAt(stock.market);
  if (!md || stock.IsNone()) return false;
  return CacheFilePath(md, stock.stock, kCacheInfoIndex, indexPath, size, uint32_t(kind)) &&
         CacheFilePath(md, stock.stock, kCacheInfoText, textPath, size, uint32_t(kind));
}

void PaintListLine(TCanvas *canvas, const TRect &rect, bool selected, const char *text) {
  const COLORREF back = ViewColor(27), fore = ViewColor(28);
  canvas->Brush()->SetColor(TColor(selected ? fore : back));
  canvas->FillRect(rect);
  canvas->Font()->SetColor(TColor(selected ? back : fore));
  canvas->Brush()->SetStyle(bsClear);
  if (text) canvas->TextOut(rect.Left + 2, rect.Top + 2, text);
  canvas->Brush()->SetStyle(bsSolid);
}
