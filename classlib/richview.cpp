#include "classlib/richview.h"

#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>

#include <algorithm>
#include <cstring>

#include "platform/gbk.h"
#include "platform/path.h"
#include "platform/qtext.h"
#include "platform/shell.h"
#include "platform/qtwrap.h"

using platform::FromGbk;
using platform::ToGbk;

namespace {

std::string Gbk(const QString &text) {
  QByteArray bytes = ToGbk(text);
  return std::string(bytes.constData(), size_t(bytes.size()));
}

QColor QtColor(TColor color) {
  COLORREF rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQt(const QColor &color) { return TColor(RGB(BYTE(color.red()), BYTE(color.green()), BYTE(color.blue()))); }

const QRegularExpression &UrlPattern() {
  static const QRegularExpression pattern(
      QStringLiteral("(?:(?:https?|ftp|file)://|www\\.|mailto:)[^\\s<>\"\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}]+"),
      QRegularExpression::CaseInsensitiveOption);
  return pattern;
}

}  // namespace

// ---- the lines of a rich edit -----------------------------------------------------------------
class TRichEdit::LinesAdapter : public TStrings {
 public:
  explicit LinesAdapter(TRichEdit *edit) : edit_(edit) {}
  int Count() const override { return int(Split().size()); }
  std::string Get(int index) const override {
    auto lines = Split();
    if (index < 0 || index >= int(lines.size())) throw EStringListError("List index out of bounds");
    return lines[size_t(index)];
  }
  void Put(int index, const std::string &text) override {
    auto lines = Split();
    if (index < 0 || index >= int(lines.size())) throw EStringListError("List index out of bounds");
    lines[size_t(index)] = text;
    Join(lines);
  }
  void Insert(int index, const std::string &text) override {
    auto lines = Split();
    if (index < 0 || index > int(lines.size())) throw EStringListError("List index out of bounds");
    lines.insert(lines.begin() + index, text);
    Join(lines);
  }
  int Add(const std::string &text) override {
    // Appending keeps the formatting of what is there.
    if (QTextBrowser *browser = edit_->Browser()) {
      int index = Count();
      QTextCursor cursor(browser->document());
      cursor.movePosition(QTextCursor::End);
      if (!browser->document()->isEmpty()) cursor.insertBlock();
      cursor.insertText(FromGbk(text.c_str()), browser->currentCharFormat());
      edit_->DetectLinks();
      return index;
    }
    auto lines = Split();
    lines.push_back(text);
    Join(lines);
    return int(lines.size()) - 1;
  }
  void Delete(int index) override {
    auto lines = Split();
    if (index < 0 || index >= int(lines.size())) throw EStringListError("List index out of bounds");
    lines.erase(lines.begin() + index);
    Join(lines);
  }
  void Clear() override { edit_->ApplyText(std::string()); }

 private:
  std::vector<std::string> Split() const {
    std::vector<std::string> lines;
    std::string text = edit_->GetText();
    if (text.empty()) return lines;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }
  void Join(const std::vector<std::string> &lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) text += "\r\n";
      text += lines[i];
    }
    edit_->ApplyText(text);
  }
  TRichEdit *edit_;
};

// ---- text attributes ---------------------------------------------------------------------------
TColor TTextAttributes::Color() const {
  QTextBrowser *b = edit_->Browser();
  return b ? FromQt(b->currentCharFormat().foreground().color()) : edit_->Font()->Color();
}

void TTextAttributes::SetColor(TColor color) {
  if (QTextBrowser *b = edit_->Browser()) {
    QTextCharFormat format;
    format.setForeground(QtColor(color));
    b->mergeCurrentCharFormat(format);
  }
}

TFontStyles TTextAttributes::Style() const {
  QTextBrowser *b = edit_->Browser();
  if (!b) return edit_->Font()->Style();
  QTextCharFormat f = b->currentCharFormat();
  TFontStyles style = 0;
  if (f.fontWeight() >= QFont::DemiBold) style |= fsBold;
  if (f.fontItalic()) style |= fsItalic;
  if (f.fontUnderline()) style |= fsUnderline;
  if (f.fontStrikeOut()) style |= fsStrikeOut;
  return style;
}

void TTextAttributes::SetStyle(TFontStyles style) {
  if (QTextBrowser *b = edit_->Browser()) {
    QTextCharFormat format;
    format.setFontWeight((style & fsBold) ? QFont::Bold : QFont::Normal);
    format.setFontItalic(style & fsItalic);
    format.setFontUnderline(style & fsUnderline);
    format.setFontStrikeOut(style & fsStrikeOut);
    b->mergeCurrentCharFormat(format);
  }
}

int TTextAttributes::Height() const {
  QTextBrowser *b = edit_->Browser();
  int pixels = b ? b->currentCharFormat().font().pixelSize() : 0;
  return pixels > 0 ? -pixels : edit_->Font()->Height();
}

void TTextAttributes::SetHeight(int height) {
  if (QTextBrowser *b = edit_->Browser(); b && height != 0) {
    QTextCharFormat format;
    QFont font = b->currentCharFormat().font();
    font.setPixelSize(std::abs(height));
    format.setFont(font, QTextCharFormat::FontPropertiesSpecifiedOnly);
    b->mergeCurrentCharFormat(format);
  }
}

std::string TTextAttributes::Name() const {
  QTextBrowser *b = edit_->Browser();
  return b ? Gbk(b->currentCharFormat().font().family()) : edit_->Font()->Name();
}

void TTextAttributes::SetName(const std::string &name) {
  if (QTextBrowser *b = edit_->Browser()) {
    QTextCharFormat format;
    format.setFontFamilies({FromGbk(name.c_str())});
    b->mergeCurrentCharFormat(format);
  }
}

// ---- TRichEdit -----------------------------------------------------------------------------
TRichEdit::TRichEdit(TComponent *owner)
    : TWinControl(owner), selAttributes_(this), lines_(std::make_unique<LinesAdapter>(this)) {
  TabStop = true;
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
}

TRichEdit::~TRichEdit() { BeginDestroy(); }

TStrings *TRichEdit::Lines() { return lines_.get(); }

QTextBrowser *TRichEdit::Browser() {
  return HandleAllocated() ? qobject_cast<QTextBrowser *>(platform::WrappedWidget(Handle())) : nullptr;
}

void TRichEdit::CreateHandle() {
  TWinControl::CreateHandle();
  auto *browser = new QTextBrowser;
  browser->setOpenLinks(false);
  browser->setOpenExternalLinks(false);
  // The editor draws a frame only where the window has no border of its own.
  const DWORD edges = DWORD(GetWindowLongA(Handle(), GWL_EXSTYLE)) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
  browser->setFrameShape(BorderStyle == bsNone || edges ? QFrame::NoFrame : QFrame::StyledPanel);
  browser->setLineWrapMode(WordWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
  browser->setTextInteractionFlags(readOnly_ ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                             : Qt::TextEditorInteraction);
  browser->setReadOnly(readOnly_);
  platform::WrapQtWidget(Handle(), browser);
  FontChanged();
  ColorChanged();
  std::string text = std::move(pending_);
  pending_.clear();
  ApplyText(text);
}

void TRichEdit::DestroyHandle() {
  pending_ = GetText();
  TWinControl::DestroyHandle();
}

void TRichEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (QTextBrowser *b = Browser()) {
    b->setReadOnly(value);
    b->setTextInteractionFlags(value ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                     : Qt::TextEditorInteraction);
  }
}

void TRichEdit::FontChanged() {
  if (QTextBrowser *b = Browser()) {
    QFont font(FromGbk(Font()->Name().c_str()));
    font.setPixelSize(std::max(std::abs(Font()->Height()), 1));
    font.setBold(Font()->Style() & fsBold);
    font.setItalic(Font()->Style() & fsItalic);
    b->document()->setDefaultFont(font);
    QTextCharFormat format;
    format.setForeground(QtColor(Font()->Color()));
    b->mergeCurrentCharFormat(format);
  }
  TWinControl::FontChanged();
}

void TRichEdit::ColorChanged() {
  if (QTextBrowser *b = Browser()) {
    QPalette palette = b->palette();
    palette.setColor(QPalette::Base, QtColor(Color()));
    palette.setColor(QPalette::Text, QtColor(Font()->Color()));
    b->setPalette(palette);
  }
  TWinControl::ColorChanged();
}

std::string TRichEdit::GetText() const {
  auto *self = const_cast<TRichEdit *>(this);
  QTextBrowser *b = self->Browser();
  if (!b) return pending_;
  // Paragraphs end in CR LF, as the rich edit hands its text out.
  QString text = b->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return Gbk(text);
}

void TRichEdit::ApplyText(const std::string &gbk) {
  QTextBrowser *b = Browser();
  if (!b) {
    pending_ = gbk;
    return;
  }
  QString text = FromGbk(gbk.c_str());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QTextCharFormat format = b->currentCharFormat();
  b->setPlainText(text);
  b->setCurrentCharFormat(format);
  if (alignment_ != taLeftJustify) ApplyAlignment();
  DetectLinks();
}

void TRichEdit::SetWordWrap(bool wrap) {
  WordWrap = wrap;
  if (QTextBrowser *b = Browser()) b->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TRichEdit::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  ApplyAlignment();
}

void TRichEdit::ApplyAlignment() {
  QTextBrowser *b = Browser();
  if (!b) return;
  QTextCursor cursor(b->document());
  cursor.select(QTextCursor::Document);
  QTextBlockFormat block;
  block.setAlignment(alignment_ == taCenter ? Qt::AlignHCenter : alignment_ == taRightJustify ? Qt::AlignRight : Qt::AlignLeft);
  cursor.mergeBlockFormat(block);
}

void TRichEdit::DetectLinks() {
  QTextBrowser *b = Browser();
  if (!b || !autoUrl_) return;
  QString text = b->toPlainText();
  auto it = UrlPattern().globalMatch(text);
  while (it.hasNext()) {
    auto match = it.next();
    QTextCursor cursor(b->document());
    cursor.setPosition(int(match.capturedStart()));
    cursor.setPosition(int(match.capturedEnd()), QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorHref(match.captured());
    format.setFontUnderline(true);
    format.setForeground(QColor(0, 0, 255));
    cursor.mergeCharFormat(format);
  }
}

std::vector<CHARRANGE> TRichEdit::Links() {
  std::vector<CHARRANGE> links;
  QTextBrowser *b = Browser();
  if (!b || !autoUrl_) return links;
  auto it = UrlPattern().globalMatch(b->toPlainText());
  while (it.hasNext()) {
    auto match = it.next();
    links.push_back(CHARRANGE{LONG(match.capturedStart()), LONG(match.capturedEnd())});
  }
  return links;
}

int TRichEdit::PositionAt(int x, int y) {
  QTextBrowser *b = Browser();
  if (!b) return -1;
  QPoint inViewport = b->viewport()->mapFrom(b, QPoint(x, y));
  return b->cursorForPosition(inViewport).position();
}

bool TRichEdit::NotifyLink(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!(eventMask_ & ENM_LINK) || !autoUrl_) return false;
  int at = PositionAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  for (const CHARRANGE &link : Links()) {
    if (at < link.cpMin || at >= link.cpMax) continue;
    ENLINK notice{};
    notice.nmhdr.hwndFrom = Handle();
    notice.nmhdr.idFrom = UINT_PTR(GetWindowLongPtrA(Handle(), GWLP_ID));
    notice.nmhdr.code = EN_LINK;
    notice.msg = msg;
    notice.wParam = wParam;
    notice.lParam = lParam;
    notice.chrg = link;
    HWND parent = GetParent(Handle());
    return parent && SendMessageA(parent, WM_NOTIFY, notice.nmhdr.idFrom, reinterpret_cast<LPARAM>(&notice)) != 0;
  }
  return false;
}

int TRichEdit::SelStart() {
  QTextBrowser *b = Browser();
  return b ? b->textCursor().selectionStart() : 0;
}

void TRichEdit::SetSelStart(int start) {
  if (QTextBrowser *b = Browser()) {
    QTextCursor cursor = b->textCursor();
    cursor.setPosition(std::clamp(start, 0, int(b->document()->characterCount()) - 1));
    b->setTextCursor(cursor);
  }
}

int TRichEdit::SelLength() {
  QTextBrowser *b = Browser();
  return b ? b->textCursor().selectionEnd() - b->textCursor().selectionStart() : 0;
}

void TRichEdit::SetSelLength(int length) {
  if (QTextBrowser *b = Browser()) {
    QTextCursor cursor = b->textCursor();
    int start = cursor.selectionStart();
    int end = std::clamp(start + std::max(length, 0), 0, int(b->document()->characterCount()) - 1);
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    b->setTextCursor(cursor);
  }
}

std::string TRichEdit::SelText() {
  QTextBrowser *b = Browser();
  if (!b) return std::string();
  QString text = b->textCursor().selectedText();
  text.replace(QChar(0x2029), QStringLiteral("\r\n"));
  return Gbk(text);
}

void TRichEdit::SelectAll() {
  if (QTextBrowser *b = Browser()) b->selectAll();
}

void TRichEdit::CopyToClipboard() {
  const std::string text = SelText();
  if (!text.empty()) platform::SetClipboardText(text);
}

void TRichEdit::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_SETTEXT:
      ApplyText(m.LParam ? reinterpret_cast<const char *>(m.LParam) : "");
      m.Result = TRUE;
      return;
    case EM_AUTOURLDETECT:
      autoUrl_ = m.WParam != 0;
      if (autoUrl_) DetectLinks();
      m.Result = 0;
      return;
    case EM_SETEVENTMASK: {
      DWORD old = eventMask_;
      eventMask_ = DWORD(m.LParam);
      m.Result = LRESULT(old);
      return;
    }
    case EM_GETEVENTMASK: m.Result = LRESULT(eventMask_); return;
    case EM_GETLINECOUNT: {
      // Like an edit, a rich edit has at least one line.
      QTextBrowser *b = Browser();
      m.Result = b ? std::max(1, b->document()->blockCount()) : 1;
      return;
    }
    case EM_GETTEXTRANGE: {
      auto *range = reinterpret_cast<TEXTRANGEA *>(m.LParam);
      QTextBrowser *b = Browser();
      m.Result = 0;
      if (!range || !range->lpstrText || !b) return;
      QString text = b->toPlainText();
      int from = std::clamp(int(range->chrg.cpMin), 0, int(text.size()));
      int to = range->chrg.cpMax < 0 ? int(text.size()) : std::clamp(int(range->chrg.cpMax), from, int(text.size()));
      // Callers size the buffer by the range's character count; a Chinese
      // character takes two bytes, so the text is cut (at a character) to
      // that many bytes rather than run past the buffer.
      std::string gbk = Gbk(text.mid(from, to - from));
      size_t room = size_t(to - from);
      if (gbk.size() > room) {
        gbk.resize(platform::GbkCutLength(gbk, room));
      }
      std::memcpy(range->lpstrText, gbk.c_str(), gbk.size() + 1);
      m.Result = LRESULT(gbk.size());
      return;
    }
    case EM_EXGETSEL: {
      if (auto *range = reinterpret_cast<CHARRANGE *>(m.LParam)) {
        range->cpMin = SelStart();
        range->cpMax = range->cpMin + SelLength();
      }
      m.Result = 0;
      return;
    }
    case EM_EXSETSEL: {
      if (auto *range = reinterpret_cast<const CHARRANGE *>(m.LParam)) {
        SetSelStart(range->cpMin);
        SetSelLength(range->cpMax < 0 ? 1 << 30 : range->cpMax - range->cpMin);
      }
      m.Result = SelStart() + SelLength();
      return;
    }
    case WM_KEYDOWN:
    case WM_KEYUP: {
      TWinControl::WndProc(m);
      // Keys nobody took move the view (and edit a writable one).
      if (m.WParam && Browser()) platform::ReplayKey(Handle(), m.Msg, m.WParam, m.LParam);
      return;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      if (NotifyLink(m.Msg, m.WParam, m.LParam)) {
        m.Result = 0;
        return;
      }
      break;
    case WM_SIZE:
      TWinControl::WndProc(m);
      platform::FitWrapped(Handle());
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}
