// The "EDIT" window class: a Qt line editor (or a plain-text editor with
// ES_MULTILINE) inside the window. Characters arrive as WM_CHAR and are
// applied here, after the window procedure (and any subclass of it) had
// the chance to refuse them; positions and lengths are GBK bytes.
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/gbk.h"
#include "platform/gdi.h"
#include "platform/qtbridge.h"
#include "platform/qtext.h"
#include "platform/shell.h"
#include "platform/qtwrap.h"
#include "platform/winctrl.h"

namespace platform {
namespace {

constexpr int kDefaultLimit = 0x7FFFFFFE;

struct EditState {
  QLineEdit *line = nullptr;
  QPlainTextEdit *memo = nullptr;
  DWORD style = 0;
  int limit = kDefaultLimit;
  BYTE lead = 0;  // first byte of a double-byte character
  bool modified = false;
  bool quiet = false;  // no EN_CHANGE while set
  HFONT font = nullptr;
};

std::unordered_map<HWND, EditState> &States() {
  static std::unordered_map<HWND, EditState> states;
  return states;
}

EditState *StateOf(HWND hwnd) {
  auto it = States().find(hwnd);
  return it == States().end() ? nullptr : &it->second;
}

void Notify(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(WORD(GetWindowLongA(hwnd, GWL_ID)), code), reinterpret_cast<LPARAM>(hwnd));
}

QString Text(const EditState &s) { return s.line ? s.line->text() : s.memo->toPlainText(); }

// The text as the window reports it: GBK, lines ending in CR LF.
std::string GbkText(const EditState &s) {
  QString text = Text(s);
  if (s.memo) text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  QByteArray gbk = ToGbk(text);
  return std::string(gbk.constData(), size_t(gbk.size()));
}

void SetAll(HWND hwnd, EditState &s, const char *gbk) {
  QString text = FromGbk(gbk);
  if (s.line) {
    text = text.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
    s.line->setText(text);
  } else {
    text.remove(QLatin1Char('\r'));
    s.memo->setPlainText(text);
  }
}

// Character index <-> GBK byte offset.
// Offsets the window reports are GBK bytes of its text as GetWindowTextA
// gives it, where a memo's line break is CR LF (two bytes).
int CharBytes(const EditState &s, QChar c) {
  if (c == QLatin1Char('\n')) return s.memo ? 2 : 1;
  return int(ToGbk(QString(c)).size());
}
int ByteOffset(const EditState &s, const QString &text, int chars) {
  int total = 0;
  for (int i = 0; i < std::min<int>(chars, int(text.size())); ++i) total += CharBytes(s, text[i]);
  return total;
}
int CharIndex(const EditState &s, const QString &text, int bytes) {
  if (bytes < 0) return int(text.size());
  int total = 0;
  for (int i = 0; i < text.size(); ++i) {
    if (total >= bytes) return i;
    total += CharBytes(s, text[i]);
  }
  return int(text.size());
}

void Selection(const EditState &s, int &start, int &end) {
  if (s.line) {
    if (s.line->hasSelectedText()) {
      start = s.line->selectionStart();
      end = start + int(s.line->selectedText().size());
    } else {
      start = end = s.line->cursorPosition();
    }
  } else {
    QTextCursor c = s.memo->textCursor();
    start = c.selectionStart();
    end = c.selectionEnd();
  }
}

void Select(EditState &s, int start, int end) {
  int size = int(Text(s).size());
  start = std::clamp(start, 0, size);
  end = std::clamp(end, 0, size);
  if (s.line) {
    s.line->setSelection(start, end - start);
    if (start == end) s.line->setCursorPosition(start);
  } else {
    QTextCursor c = s.memo->textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    s.memo->setTextCursor(c);
  }
}

// Replaces the selection, keeping within the limit (in bytes). False when
// nothing of the text fitted.
bool Insert(HWND hwnd, EditState &s, QString text) {
  if (s.line) text = text.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
  else text.remove(QLatin1Char('\r'));
  if (s.style & ES_UPPERCASE) text = text.toUpper();
  if (s.style & ES_LOWERCASE) text = text.toLower();
  QString current = Text(s);
  int start, end;
  Selection(s, start, end);
  int kept = int(ToGbk(current).size()) - int(ToGbk(current.mid(start, end - start)).size());
  int room = s.limit - kept;
  while (!text.isEmpty() && int(ToGbk(text).size()) > room) text.chop(1);
  if (text.isEmpty()) {
    Notify(hwnd, EN_MAXTEXT);
    return false;
  }
  if (s.line)
    s.line->insert(text);
  else
    s.memo->insertPlainText(text);
  s.modified = true;
  return true;
}

void Paste(HWND hwnd, EditState &s) {
  if (s.style & ES_READONLY) return;
  const std::string gbk = GetClipboardText();
  if (gbk.empty()) return;
  QString text = FromGbk(gbk.c_str(), int(gbk.size()));
  if (s.style & ES_NUMBER) {
    // Digits only, pasted text included: a paste with anything else is refused whole.
    for (QChar c : text)
      if (!c.isDigit() || c.unicode() > 0x7F) return;
  }
  Insert(hwnd, s, text);
}

void Copy(EditState &s) {
  if (s.style & ES_PASSWORD) return;
  QString selected = s.line ? s.line->selectedText() : s.memo->textCursor().selectedText();
  selected.replace(QChar(0x2029), QLatin1Char('\n'));
  if (selected.isEmpty()) return;
  const QByteArray gbk = ToGbk(selected);
  SetClipboardText(std::string_view(gbk.constData(), size_t(gbk.size())));
}

void DeleteSelection(EditState &s) {
  if (s.line)
    s.line->del();
  else
    s.memo->textCursor().removeSelectedText();
}

void Character(HWND hwnd, EditState &s, BYTE c) {
  bool readOnly = (s.style & ES_READONLY) != 0;
  switch (c) {
    case 0x01: Select(s, 0, int(Text(s).size())); return;  // Ctrl+A
    case 0x03: SendMessageA(hwnd, WM_COPY, 0, 0); return;
    case 0x16: SendMessageA(hwnd, WM_PASTE, 0, 0); return;
    case 0x18: SendMessageA(hwnd, WM_CUT, 0, 0); return;
    case 0x1A: SendMessageA(hwnd, WM_UNDO, 0, 0); return;
    case 0x08:
      if (!readOnly) {
        ReplayKey(hwnd, WM_KEYDOWN, VK_BACK, 0);
        s.modified = true;
      }
      return;
    case '\r':
      if (s.memo && !readOnly) Insert(hwnd, s, QStringLiteral("\n"));
      return;
    case '\t':
      if (s.memo && !readOnly) Insert(hwnd, s, QStringLiteral("\t"));
      return;
    default: break;
  }
  if (c < 0x20 || c == 0x7F || readOnly) return;
  if (s.lead) {
    char pair[3] = {char(s.lead), char(c), 0};
    s.lead = 0;
    if (!(s.style & ES_NUMBER)) Insert(hwnd, s, FromGbk(pair));
    return;
  }
  if (platform::IsGbkLead(c)) {
    s.lead = c;
    return;
  }
  if ((s.style & ES_NUMBER) && (c < '0' || c > '9')) return;
  char one[2] = {char(c), 0};
  Insert(hwnd, s, FromGbk(one));
}

// The parent chooses the edit's colours (WM_CTLCOLOREDIT, or
// WM_CTLCOLORSTATIC for a read-only or disabled edit): its brush becomes the
// editor's background and the context's text colour its text. A parent that
// does not answer leaves the editor's own colours.
void ApplyParentColors(HWND hwnd, const EditState &s) {
  HWND parent = GetParent(hwnd);
  QWidget *w = WrappedWidget(hwnd);
  if (!parent || !w) return;
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  UINT message = (s.style & ES_READONLY) || !IsWindowEnabled(hwnd) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
  auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, message, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(hwnd)));
  const COLORREF text = GetTextColor(dc);
  ReleaseDC(hwnd, dc);
  LOGBRUSH lb{};
  if (!brush || GetObjectA(brush, sizeof lb, &lb) != int(sizeof lb) || lb.lbStyle != BS_SOLID) return;
  auto qt = [](COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); };
  QPalette palette = w->palette();
  palette.setColor(QPalette::Base, qt(lb.lbColor));
  // A disabled editor keeps its grey text.
  palette.setColor(QPalette::Active, QPalette::Text, qt(text));
  palette.setColor(QPalette::Inactive, QPalette::Text, qt(text));
  if (palette != w->palette()) w->setPalette(palette);
}

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  EditState *s = StateOf(hwnd);
  switch (message) {
    case WM_NCCREATE: {
      auto *cs = reinterpret_cast<CREATESTRUCTA *>(lParam);
      EditState state;
      state.style = DWORD(cs->style);
      QWidget *widget;
      if (state.style & ES_MULTILINE) {
        state.memo = new QPlainTextEdit;
        state.memo->setFrameShape(QFrame::NoFrame);
        state.memo->setTabChangesFocus(false);
        state.memo->setLineWrapMode((state.style & WS_HSCROLL) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        state.memo->setVerticalScrollBarPolicy((state.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        state.memo->setHorizontalScrollBarPolicy((state.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        state.memo->setReadOnly(state.style & ES_READONLY);
        widget = state.memo;
      } else {
        state.line = new QLineEdit;
        state.line->setFrame(false);
        state.line->setMaxLength(32767);
        if (state.style & ES_PASSWORD) state.line->setEchoMode(QLineEdit::Password);
        state.line->setAlignment((state.style & ES_CENTER) ? Qt::AlignHCenter
                                 : (state.style & ES_RIGHT) ? Qt::AlignRight
                                                            : Qt::AlignLeft);
        state.line->setReadOnly(state.style & ES_READONLY);
        widget = state.line;
      }
      States()[hwnd] = state;
      EditState &st = States()[hwnd];
      st.quiet = true;
      if (cs->lpszName) SetAll(hwnd, st, cs->lpszName);
      st.quiet = false;
      auto changed = [hwnd] {
        EditState *e = StateOf(hwnd);
        if (e && !e->quiet) Notify(hwnd, EN_CHANGE);
      };
      if (st.line)
        QObject::connect(st.line, &QLineEdit::textChanged, st.line, changed);
      else
        QObject::connect(st.memo, &QPlainTextEdit::textChanged, st.memo, changed);
      WrapQtWidget(hwnd, widget);
      return TRUE;
    }
    case WM_NCDESTROY:
      if (s) {
        QWidget *widget = WrappedWidget(hwnd);
        States().erase(hwnd);
        delete widget;
      }
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default: break;
  }
  if (!s) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SETTEXT:
      SetAll(hwnd, *s, reinterpret_cast<const char *>(lParam));
      s->modified = false;
      DefWindowProcA(hwnd, message, wParam, lParam);
      return TRUE;
    case WM_GETTEXT: {
      auto *buffer = reinterpret_cast<char *>(lParam);
      if (!buffer || wParam == 0) return 0;
      std::string text = GbkText(*s);
      size_t n = std::min(text.size(), size_t(wParam) - 1);
      std::memcpy(buffer, text.data(), n);
      buffer[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: return LRESULT(GbkText(*s).size());
    case WM_CHAR: Character(hwnd, *s, BYTE(wParam)); return 0;
    case WM_KEYDOWN: {
      bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
      if (wParam == VK_INSERT && shift) {
        SendMessageA(hwnd, WM_PASTE, 0, 0);
      } else if (wParam == VK_INSERT && control) {
        SendMessageA(hwnd, WM_COPY, 0, 0);
      } else if (wParam == VK_DELETE && shift) {
        SendMessageA(hwnd, WM_CUT, 0, 0);
      } else if (wParam == VK_DELETE) {
        if (!(s->style & ES_READONLY)) {
          ReplayKey(hwnd, WM_KEYDOWN, wParam, lParam);
          s->modified = true;
        }
      } else if (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_DOWN ||
                 wParam == VK_HOME || wParam == VK_END || wParam == VK_PRIOR || wParam == VK_NEXT) {
        ReplayKey(hwnd, WM_KEYDOWN, wParam, lParam);
      }
      return 0;
    }
    case WM_KEYUP: return 0;
    case WM_PASTE: Paste(hwnd, *s); return 0;
    case WM_COPY: Copy(*s); return 0;
    case WM_CUT:
      if (!(s->style & ES_READONLY)) {
        Copy(*s);
        DeleteSelection(*s);
        s->modified = true;
      }
      return 0;
    case WM_CLEAR:
      if (!(s->style & ES_READONLY)) DeleteSelection(*s);
      return 0;
    case WM_UNDO:
    case EM_UNDO:
      if (s->line)
        s->line->undo();
      else
        s->memo->undo();
      return TRUE;
    case EM_CANUNDO: return s->line ? s->line->isUndoAvailable() : s->memo->document()->isUndoAvailable();
    case EM_GETSEL: {
      int start, end;
      Selection(*s, start, end);
      QString text = Text(*s);
      DWORD bs = DWORD(ByteOffset(*s, text, start)), be = DWORD(ByteOffset(*s, text, end));
      if (wParam) *reinterpret_cast<DWORD *>(wParam) = bs;
      if (lParam) *reinterpret_cast<DWORD *>(lParam) = be;
      return LRESULT(MAKELONG(WORD(std::min<DWORD>(bs, 0xFFFF)), WORD(std::min<DWORD>(be, 0xFFFF))));
    }
    case EM_SETSEL: {
      QString text = Text(*s);
      int start = int(INT_PTR(wParam)), end = int(lParam);
      if (start == -1) {
        int a, b;
        Selection(*s, a, b);
        Select(*s, b, b);
        return 0;
      }
      int cs = CharIndex(*s, text, start), ce = CharIndex(*s, text, end);
      Select(*s, std::min(cs, ce), std::max(cs, ce));
      return 0;
    }
    case EM_REPLACESEL:
      if (lParam) Insert(hwnd, *s, FromGbk(reinterpret_cast<const char *>(lParam)));
      return 0;
    case EM_LIMITTEXT: s->limit = wParam == 0 ? kDefaultLimit : int(std::min<WPARAM>(wParam, kDefaultLimit)); return 0;
    case EM_GETLIMITTEXT: return s->limit;
    case EM_SETREADONLY:
      if (wParam)
        s->style |= ES_READONLY;
      else
        s->style &= ~DWORD(ES_READONLY);
      if (s->line) s->line->setReadOnly(wParam != 0);
      if (s->memo) s->memo->setReadOnly(wParam != 0);
      InvalidateRect(hwnd, nullptr, TRUE);
      SetWindowLongA(hwnd, GWL_STYLE, LONG((GetWindowLongA(hwnd, GWL_STYLE) & ~LONG(ES_READONLY)) |
                                           (wParam ? LONG(ES_READONLY) : 0)));
      return TRUE;
    case EM_GETMODIFY: return s->modified;
    case EM_SETMODIFY: s->modified = wParam != 0; return 0;
    case EM_SETPASSWORDCHAR:
      // Only a single-line edit hides its text; the style follows, so
      // copying stays refused while it is hidden.
      if (!s->line) return 0;
      s->style = wParam ? (s->style | ES_PASSWORD) : (s->style & ~DWORD(ES_PASSWORD));
      s->line->setEchoMode(wParam ? QLineEdit::Password : QLineEdit::Normal);
      SetWindowLongA(hwnd, GWL_STYLE, LONG((DWORD(GetWindowLongA(hwnd, GWL_STYLE)) & ~DWORD(ES_PASSWORD)) |
                                           (wParam ? DWORD(ES_PASSWORD) : 0)));
      return 0;
    case EM_GETLINECOUNT: return s->memo ? std::max(1, s->memo->document()->blockCount()) : 1;
    case EM_SCROLLCARET:
      if (s->memo) s->memo->ensureCursorVisible();
      return TRUE;
    case WM_SETFONT: {
      s->font = reinterpret_cast<HFONT>(wParam);
      LOGFONTA lf{};
      QWidget *w = WrappedWidget(hwnd);
      if (w && s->font && GetObjectA(s->font, sizeof lf, &lf)) {
        // The editor shows the window's font: its face as drawing maps it
        // (a fixed-width face stays fixed-width), height and weight.
        QFont font;
        font.setFamilies(FontFamiliesFor(FromGbk(lf.lfFaceName, int(sizeof lf.lfFaceName))));
        if (lf.lfHeight != 0) font.setPixelSize(std::abs(int(lf.lfHeight)));
        font.setBold(lf.lfWeight >= 600);
        font.setItalic(lf.lfItalic != 0);
        font.setUnderline(lf.lfUnderline != 0);
        w->setFont(font);
      }
      return 0;
    }
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      if (s->memo) code |= DLGC_WANTALLKEYS | DLGC_WANTTAB;
      return code;
    }
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      DefWindowProcA(hwnd, message, wParam, lParam);
      FitWrapped(hwnd);
      return 0;
    case WM_ENABLE:
      if (QWidget *w = WrappedWidget(hwnd)) w->setEnabled(wParam != 0);
      InvalidateRect(hwnd, nullptr, TRUE);  // the parent's colours for the new state
      return 0;
    case WM_SETFOCUS:
      if (QWidget *w = WrappedWidget(hwnd)) w->setFocus(Qt::OtherFocusReason);
      return 0;
    case WM_KILLFOCUS: s->lead = 0; return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (GetFocus() != hwnd) SetFocus(hwnd);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      // Qt paints the editor; a context in wParam (printing, pictures of
      // the window) gets the editor's own picture.
      ApplyParentColors(hwnd, *s);
      if (wParam) return 0;
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

void RegisterEditClass() {
  WNDCLASSA wc{};
  if (GetClassInfoA(nullptr, "EDIT", &wc)) return;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &EditProc;
  wc.lpszClassName = "EDIT";
  RegisterClassA(&wc);
}

}  // namespace platform
