// Fonts and text. Faces map to the installed fonts; each character is drawn
// once by Qt into a cached mask and from then on copied by our own code, so
// text costs little and looks the same on every run (no antialiasing unless a
// font asks for it). Text arrives as GBK and turns into Unicode here.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cstring>
#include <map>

#include "platform/gbk.h"
#include "platform/internal/gdi_objects.h"
#include "platform/qtext.h"

namespace platform {

struct Glyph {
  int advance = 0;
  int left = 0, top = 0;  // of the mask, from the cell's top-left corner
  int width = 0, height = 0;
  std::vector<uint8_t> alpha;
  // Without antialiasing a glyph is runs of whole pixels: runs of row y are
  // runs[rowStart[y] .. rowStart[y + 1]), as (x, length).
  bool solid = false;
  std::vector<uint16_t> rowStart;
  std::vector<std::pair<uint16_t, uint16_t>> runs;
};

struct FontFace {
  QFont font;
  bool rendered = false;  // false without a GUI: fixed metrics, nothing drawn
  bool antialias = false;
  int ascent = 10, descent = 2, internalLeading = 0, externalLeading = 0;
  int aveCharWidth = 6, maxCharWidth = 12;
  int underlinePos = 1, strikeOutPos = 3, lineWidth = 1;
  bool fixedPitch = false;
  bool cjk = true;
  // The Chinese monospaced faces give a byte of GBK half the character height.
  int halfWidth = 0;
  std::array<std::unique_ptr<std::array<Glyph *, 256>>, 256> pages{};
  std::vector<std::unique_ptr<Glyph>> glyphs;

  int Height() const { return ascent + descent; }
  const Glyph &GlyphOf(char16_t c);
};

namespace {

bool HaveGui() { return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr; }

// ---- GBK ---------------------------------------------------------------------

constexpr int kLeadFirst = 0x81, kLeadLast = 0xFE, kTrailFirst = 0x40, kTrailLast = 0xFE;
constexpr int kTrails = kTrailLast - kTrailFirst + 1;

// Every two-byte GBK code in one table, filled by one pass of the converter.
const std::vector<char16_t> &DoubleByteTable() {
  static const std::vector<char16_t> table = [] {
    std::vector<char16_t> t(size_t(kLeadLast - kLeadFirst + 1) * kTrails, u'?');
    std::string all;
    all.reserve(t.size() * 3);
    for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
      for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
        all.push_back(char(lead));
        all.push_back(char(trail));
        all.push_back('\n');
      }
    }
    std::u16string text = GbkToUtf16(all);
    size_t at = 0;
    for (size_t i = 0; i < t.size() && at <= text.size(); ++i) {
      size_t end = text.find(u'\n', at);
      if (end == std::u16string::npos) break;
      if (end == at + 1) t[i] = text[at];
      else t[i] = u'\uFFFD';
      at = end + 1;
    }
    return t;
  }();
  return table;
}

struct Char {
  char16_t code;
  int bytes;  // 1 or 2
};

// The characters of GBK text, each with its byte count.
void Decode(const char *text, int length, std::vector<Char> &out) {
  out.clear();
  const auto *p = reinterpret_cast<const unsigned char *>(text);
  const std::vector<char16_t> &table = DoubleByteTable();
  for (int i = 0; i < length;) {
    unsigned b = p[i];
    if (b < 0x80) {
      out.push_back(Char{char16_t(b), 1});
      ++i;
    } else if (i + 1 < length && platform::IsGbkLead(uint8_t(b)) && platform::IsGbkTrail(p[i + 1])) {
      out.push_back(Char{table[size_t(b - kLeadFirst) * kTrails + (p[i + 1] - kTrailFirst)], 2});
      i += 2;
    } else {
      out.push_back(Char{u'\uFFFD', 1});
      ++i;
    }
  }
}

// ---- faces -------------------------------------------------------------------

const char *const kCjkFace = "WenQuanYi Micro Hei";
const char *const kCjkMonoFace = "WenQuanYi Micro Hei Mono";

// The installed family for a face name the system asks for.
QString FamilyFor(const QString &face, bool &cjk) {
  static const std::map<QString, std::pair<const char *, bool>> known = {
      {QString::fromUtf16(u"宋体"), {kCjkMonoFace, true}},
      {QString::fromUtf16(u"新宋体"), {kCjkMonoFace, true}},
      {QString::fromUtf16(u"黑体"), {kCjkFace, true}},
      {QString::fromUtf16(u"隶书"), {kCjkFace, true}},
      {QString::fromUtf16(u"楷体_GB2312"), {kCjkFace, true}},
      {QString::fromUtf16(u"仿宋_GB2312"), {kCjkFace, true}},
      {QStringLiteral("system"), {kCjkMonoFace, true}},
      {QStringLiteral("fixedsys"), {kCjkMonoFace, true}},
      {QStringLiteral("tahoma"), {"DejaVu Sans", false}},
      {QStringLiteral("arial"), {"DejaVu Sans", false}},
      {QStringLiteral("verdana"), {"DejaVu Sans", false}},
      {QStringLiteral("ms sans serif"), {"DejaVu Sans", false}},
      {QStringLiteral("microsoft sans serif"), {"DejaVu Sans", false}},
      {QStringLiteral("courier new"), {"DejaVu Sans Mono", false}},
      {QStringLiteral("courier"), {"DejaVu Sans Mono", false}},
      {QStringLiteral("times new roman"), {"DejaVu Serif", false}},
  };
  auto it = known.find(face.trimmed().toLower());
  if (it == known.end()) it = known.find(face.trimmed());
  if (it == known.end()) {
    cjk = true;
    return QString::fromLatin1(kCjkFace);
  }
  cjk = it->second.second;
  return QString::fromLatin1(it->second.first);
}

// Faces stay once resolved, with their glyphs: code that makes and deletes
// a font for every paint finds the face of the last paint.
std::shared_ptr<FontFace> Resolve(const LOGFONTA &log) {
  static std::map<std::string, std::shared_ptr<FontFace>> cache;
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, log.lfFaceName, LF_FACESIZE);
  bool antialias = log.lfQuality == ANTIALIASED_QUALITY || log.lfQuality == CLEARTYPE_QUALITY;
  std::string key = std::to_string(log.lfHeight) + '|' + std::to_string(log.lfWidth) + '|' +
                    std::to_string(log.lfWeight) + '|' + std::to_string(log.lfItalic != 0) + '|' +
                    std::to_string(antialias) + '|' + face;
  if (auto existing = cache[key]) return existing;

  auto f = std::make_shared<FontFace>();
  cache[key] = f;
  f->antialias = antialias;
  if (!HaveGui()) {
    int h = log.lfHeight == 0 ? 12 : int(std::min<int64_t>(std::abs(int64_t(log.lfHeight)), 2000));
    f->aveCharWidth = std::max(1, h / 2);
    f->maxCharWidth = h;
    f->descent = std::max(1, h / 6);
    f->ascent = h - f->descent;
    f->fixedPitch = true;
    return f;
  }
  f->rendered = true;
  QFont font;
  QString family = FamilyFor(FromGbk(face), f->cjk);
  font.setFamilies({family, QString::fromLatin1(kCjkFace)});
  font.setStyleStrategy(QFont::StyleStrategy((antialias ? QFont::PreferAntialias : QFont::NoAntialias) |
                                             QFont::NoSubpixelAntialias));
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setKerning(false);
  int weight = log.lfWeight <= 0 ? FW_NORMAL : std::clamp(int(log.lfWeight), 100, 900);
  font.setWeight(QFont::Weight(weight));
  font.setItalic(log.lfItalic != 0);
  // Negative heights give the character height, positive ones the cell's.
  const int wanted = std::clamp(log.lfHeight == 0 ? -12 : int(log.lfHeight), -2000, 2000);
  int pixels = std::abs(wanted);
  font.setPixelSize(std::max(1, pixels));
  // The Chinese system faces' cell is their character height: both rules agree.
  const bool cellIsEm = family == QLatin1String(kCjkMonoFace);
  if (wanted > 0 && !cellIsEm) {
    for (int round = 0; round < 3; ++round) {
      QFontMetrics m(font);
      int cell = m.ascent() + m.descent();
      if (cell == wanted || cell <= 0) break;
      pixels = std::max(1, int(std::lround(double(pixels) * wanted / cell)));
      font.setPixelSize(pixels);
    }
  }
  if (log.lfWidth > 0) {
    QFontMetrics m(font);
    int natural = std::max(1, m.averageCharWidth());
    font.setStretch(std::clamp(int(log.lfWidth) * 100 / natural, 1, 4000));
  }
  QFontMetrics m(font);
  f->font = font;
  f->ascent = m.ascent();
  f->descent = m.descent();
  f->internalLeading = std::max(0, f->Height() - font.pixelSize());
  f->externalLeading = std::max(0, m.leading());
  f->aveCharWidth = std::max(1, m.horizontalAdvance(QLatin1Char('x')));
  f->maxCharWidth = std::max(m.maxWidth(), f->aveCharWidth);
  f->underlinePos = std::max(1, m.underlinePos());
  f->strikeOutPos = m.strikeOutPos();
  f->lineWidth = std::max(1, m.lineWidth());
  f->fixedPitch = m.horizontalAdvance(QLatin1Char('i')) == m.horizontalAdvance(QLatin1Char('W'));
  if (cellIsEm) {
    const int em = font.pixelSize();
    f->ascent = std::max(1, int(std::lround(em * 0.86)));
    f->descent = std::max(0, em - f->ascent);
    f->internalLeading = 0;
    f->halfWidth = std::max(1, font.pixelSize() / 2);
    f->aveCharWidth = f->halfWidth;
    f->maxCharWidth = 2 * f->halfWidth;
    f->fixedPitch = true;
  }
  return f;
}

}  // namespace

QStringList FontFamiliesFor(const QString &face) {
  bool cjk = false;
  return {FamilyFor(face, cjk), QString::fromLatin1(kCjkFace)};
}

const Glyph &FontFace::GlyphOf(char16_t c) {
  auto &page = pages[c >> 8];
  if (!page) page = std::make_unique<std::array<Glyph *, 256>>();
  Glyph *&slot = (*page)[c & 0xFF];
  if (slot) return *slot;
  auto glyph = std::make_unique<Glyph>();
  if (!rendered) {
    glyph->advance = c < 0x80 ? aveCharWidth : 2 * aveCharWidth;
  } else {
    QFontMetrics m(font);
    QString text{QChar(c)};
    if (c == u'\t') {
      glyph->advance = 0;
    } else if (halfWidth > 0) {
      glyph->advance = c < 0x80 ? halfWidth : 2 * halfWidth;
    } else {
      glyph->advance = m.horizontalAdvance(text);
    }
    if (c >= 0x20 && c != 0x7F) {
      // Room for italic overhang and marks outside the cell.
      const int margin = Height();
      QImage image(glyph->advance + 2 * margin + 2, Height() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
      image.fill(0);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::TextAntialiasing, antialias);
      painter.setRenderHint(QPainter::Antialiasing, antialias);
      painter.setFont(font);
      painter.setPen(Qt::black);
      painter.drawText(QPoint(margin, margin + ascent), text);
      painter.end();
      int x0 = image.width(), y0 = image.height(), x1 = -1, y1 = -1;
      for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const uint32_t *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
          if ((line[x] >> 24) == 0) continue;
          x0 = std::min(x0, x);
          x1 = std::max(x1, x);
          y0 = std::min(y0, y);
          y1 = std::max(y1, y);
        }
      }
      if (x1 >= 0) {
        glyph->left = x0 - margin;
        glyph->top = y0 - margin;
        glyph->width = x1 - x0 + 1;
        glyph->height = y1 - y0 + 1;
        glyph->alpha.resize(size_t(glyph->width) * size_t(glyph->height));
        for (int y = 0; y < glyph->height; ++y) {
          const auto *line = reinterpret_cast<const uint32_t *>(image.constScanLine(y0 + y));
          for (int x = 0; x < glyph->width; ++x) {
            uint8_t a = uint8_t(line[x0 + x] >> 24);
            glyph->alpha[size_t(y) * size_t(glyph->width) + size_t(x)] = antialias ? a : (a >= 128 ? 255 : 0);
          }
        }
        if (!antialias) {
          glyph->solid = true;
          for (int y = 0; y < glyph->height; ++y) {
            glyph->rowStart.push_back(uint16_t(glyph->runs.size()));
            const uint8_t *row = &glyph->alpha[size_t(y) * size_t(glyph->width)];
            for (int x = 0; x < glyph->width;) {
              if (!row[x]) {
                ++x;
                continue;
              }
              int start = x;
              while (x < glyph->width && row[x]) ++x;
              glyph->runs.emplace_back(uint16_t(start), uint16_t(x - start));
            }
          }
          glyph->rowStart.push_back(uint16_t(glyph->runs.size()));
        }
      }
    }
  }
  slot = glyph.get();
  glyphs.push_back(std::move(glyph));
  return *slot;
}

FontFace &FaceOf(Font &font) {
  if (!font.face) font.face = Resolve(font.log);
  return *font.face;
}

namespace {

HFONT NewFont(const LOGFONTA &log, bool stock) {
  auto font = std::make_unique<Font>();
  font->log = log;
  font->log.lfFaceName[LF_FACESIZE - 1] = 0;
  font->stock = stock;
  return InsertGdiObject(std::move(font));
}

// The selected font's face; a context always has a font.
FontFace &FaceOf(Dc &dc) {
  if (!dc.state.font) {
    dc.state.font = LookupGdi<Font>(GetStockObject(SYSTEM_FONT));
    AddUse(dc.state.font);
  }
  return FaceOf(*dc.state.font);
}

// Thread-confined scratch for decoded text.
std::vector<Char> &Scratch() {
  static std::vector<Char> chars;
  return chars;
}

int Advance(FontFace &face, const Char &c) { return face.GlyphOf(c.code).advance; }

uint32_t Blend(uint32_t d, uint32_t c, unsigned a) {
  uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    unsigned dc = (d >> s) & 0xFF, cc = (c >> s) & 0xFF;
    out |= ((cc * a + dc * (255 - a) + 127) / 255) << s;
  }
  return out;
}

// Copies a glyph's mask in the text colour to device (x, y), clipped.
void DrawGlyph(Dc &dc, const Glyph &g, int x, int y, uint32_t color) {
  if (g.alpha.empty()) return;
  QRect box(x + g.left, y + g.top, g.width, g.height);
  if (!box.intersects(dc.clipBounds)) return;
  const Surface &s = dc.surface;
  if (g.solid) {
    for (const QRect &clip : dc.clipRects) {
      QRect part = box & clip;
      if (part.isEmpty()) continue;
      const int left = part.left() - box.left(), right = left + part.width();
      for (int py = part.top(); py <= part.bottom(); ++py) {
        const int row = py - box.top(), sy = py + dc.deviceOffset.y;
        for (int r = g.rowStart[size_t(row)]; r < g.rowStart[size_t(row) + 1]; ++r) {
          int a = std::max<int>(g.runs[size_t(r)].first, left);
          int b = std::min<int>(g.runs[size_t(r)].first + g.runs[size_t(r)].second, right);
          if (a < b) WriteRun(s, box.left() + a + dc.deviceOffset.x, sy, b - a, color, R2_COPYPEN);
        }
      }
    }
    return;
  }
  for (const QRect &clip : dc.clipRects) {
    QRect part = box & clip;
    if (part.isEmpty()) continue;
    for (int py = part.top(); py <= part.bottom(); ++py) {
      const uint8_t *mask = &g.alpha[size_t(py - box.top()) * size_t(g.width)];
      const int sy = py + dc.deviceOffset.y;
      for (int px = part.left(); px <= part.right(); ++px) {
        unsigned a = mask[px - box.left()];
        if (a == 0) continue;
        const int sx = px + dc.deviceOffset.x;
        s.Put(sx, sy, a == 255 ? color : Blend(s.Get(sx, sy), color, a));
      }
    }
  }
}

// Text along a line through Qt, for rotated fonts.
void DrawRotated(Dc &dc, FontFace &face, const std::vector<Char> &chars, QPoint origin, double degrees,
                 uint32_t color) {
  QString text;
  for (const Char &c : chars) text.append(QChar(c.code));
  QPainterPath path;
  path.addText(0, face.ascent, face.font, text);
  QTransform t;
  t.translate(origin.x(), origin.y());
  t.rotate(-degrees);
  QPainterPath placed = t.map(path);
  QRect area = placed.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1) & dc.clipBounds;
  if (area.isEmpty()) return;
  QImage mask = RenderCoverage(area, [&](QPainter &p) { p.fillPath(placed, Qt::black); });
  CoverageSpans(dc, mask, area.topLeft(), color, R2_COPYPEN);
}

// Draws decoded text with its cell's top-left corner at device (x, y), each
// character moving on by its advance.
void DrawChars(Dc &dc, FontFace &face, const std::vector<Char> &chars, const std::vector<int> &advances, int x,
               int y) {
  const Font &font = *dc.state.font;
  const uint32_t color = ToPixel(dc.state.textColor);
  if (font.log.lfEscapement != 0) {
    DrawRotated(dc, face, chars, QPoint(x, y), font.log.lfEscapement / 10.0, color);
    return;
  }
  int64_t pen = x;
  for (size_t i = 0; i < chars.size(); ++i) {
    DrawGlyph(dc, face.GlyphOf(chars[i].code), Dc::Clamp(pen), y, color);
    pen += advances[i];
  }
  const int width = Dc::Clamp(pen - x);
  if (font.log.lfUnderline) {
    int top = y + face.ascent + face.underlinePos;
    for (int k = 0; k < face.lineWidth; ++k) Span(dc, top + k, x, x + width, color, R2_COPYPEN);
  }
  if (font.log.lfStrikeOut) {
    int top = y + face.ascent - face.strikeOutPos;
    for (int k = 0; k < face.lineWidth; ++k) Span(dc, top + k, x, x + width, color, R2_COPYPEN);
  }
}

// Narrows the clip to a device rectangle for the length of one call.
class ClipScope {
 public:
  ClipScope(Dc &dc, const QRect *rect) : dc_(dc), active_(rect != nullptr) {
    if (!active_) return;
    saved_ = dc.state.clip;
    QRegion clip = saved_ ? *saved_ & QRegion(*rect) : QRegion(*rect);
    dc.state.clip = clip;
    ClipChanged(dc);
    dc.Prepare();
  }
  ~ClipScope() {
    if (!active_) return;
    dc_.state.clip = saved_;
    ClipChanged(dc_);
  }

 private:
  Dc &dc_;
  bool active_;
  std::optional<QRegion> saved_;
};

BOOL TextCall(HDC handle, int x, int y, UINT options, const RECT *rect, const char *text, int length,
              const INT *dx) {
  Dc *dc = LookupDc(handle);
  if (!dc || length < 0 || (!text && length > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FontFace &face = FaceOf(*dc);
  std::vector<Char> &chars = Scratch();
  Decode(text, length, chars);
  thread_local std::vector<int> advances;
  advances.resize(chars.size());
  int64_t sum = 0;
  int byte = 0;
  for (size_t i = 0; i < chars.size(); ++i) {
    int64_t a = dx ? int64_t(dx[byte]) + (chars[i].bytes == 2 ? dx[byte + 1] : 0) : Advance(face, chars[i]);
    advances[i] = int(std::clamp<int64_t>(a, -(1 << 20), 1 << 20));
    sum += advances[i];
    byte += chars[i].bytes;
  }
  const int width = Dc::Clamp(sum);
  DcState &s = dc->state;
  const bool updateCp = s.textAlign & TA_UPDATECP;
  if (updateCp) {
    x = s.position.x;
    y = s.position.y;
  }
  int64_t left = x;
  switch (s.textAlign & (TA_LEFT | TA_RIGHT | TA_CENTER)) {
    case TA_RIGHT: left = int64_t(x) - width; break;
    case TA_CENTER: left = int64_t(x) - width / 2; break;
    default: break;
  }
  int64_t top = y;
  switch (s.textAlign & (TA_TOP | TA_BOTTOM | TA_BASELINE)) {
    case TA_BOTTOM: top = int64_t(y) - face.Height(); break;
    case TA_BASELINE: top = int64_t(y) - face.ascent; break;
    default: break;
  }
  if (updateCp) {
    UINT h = s.textAlign & (TA_LEFT | TA_RIGHT | TA_CENTER);
    if (h == TA_LEFT) s.position.x = Dc::Clamp(int64_t(x) + width);
    if (h == TA_RIGHT) s.position.x = Dc::Clamp(int64_t(x) - width);
  }
  if (!dc->Prepare()) return TRUE;  // nothing to draw into
  QRect box;
  if (rect) box = QRect(dc->ToDevice(rect->left, rect->top), dc->ToDevice(rect->right, rect->bottom) - QPoint(1, 1));
  if ((options & ETO_OPAQUE) && rect) FillArea(*dc, box, ToPixel(s.bkColor), R2_COPYPEN);
  ClipScope scope(*dc, (options & ETO_CLIPPED) && rect ? &box : nullptr);
  QPoint at = dc->ToDevice(Dc::Clamp(left), Dc::Clamp(top));
  if (s.bkMode == OPAQUE && width > 0)
    FillArea(*dc, QRect(at.x(), at.y(), width, face.Height()), ToPixel(s.bkColor), R2_COPYPEN);
  if (face.rendered) DrawChars(*dc, face, chars, advances, at.x(), at.y());
  return TRUE;
}

}  // namespace

HFONT CreateStockFont(int index) {
  LOGFONTA log{};
  log.lfCharSet = GB2312_CHARSET;
  log.lfWeight = FW_NORMAL;
  const char *face = "System";
  switch (index) {
    case SYSTEM_FONT: log.lfHeight = 16; break;
    case DEFAULT_GUI_FONT:
    case ANSI_VAR_FONT: log.lfHeight = -12; face = "宋体"; break;
    default: log.lfHeight = -12; face = "新宋体"; break;
  }
  std::strncpy(log.lfFaceName, face, LF_FACESIZE - 1);
  return NewFont(log, true);
}

}  // namespace platform

using namespace platform;

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCSTR face) {
  LOGFONTA log{};
  log.lfHeight = height;
  log.lfWidth = width;
  log.lfEscapement = escapement;
  log.lfOrientation = orientation;
  log.lfWeight = weight;
  log.lfItalic = BYTE(italic != 0);
  log.lfUnderline = BYTE(underline != 0);
  log.lfStrikeOut = BYTE(strikeOut != 0);
  log.lfCharSet = BYTE(charSet);
  log.lfOutPrecision = BYTE(outPrecision);
  log.lfClipPrecision = BYTE(clipPrecision);
  log.lfQuality = BYTE(quality);
  log.lfPitchAndFamily = BYTE(pitchAndFamily);
  if (face) std::strncpy(log.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&log);
}

HFONT CreateFontIndirectA(const LOGFONTA *log) {
  if (!log) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return NewFont(*log, false);
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  return TextCall(dc, x, y, 0, nullptr, text, length, nullptr);
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT *rect, LPCSTR text, UINT length, const INT *dx) {
  if (length > (1u << 24)) return FALSE;
  return TextCall(dc, x, y, options, rect, text, int(length), dx);
}

BOOL GetTextExtentPoint32A(HDC handle, LPCSTR text, int length, SIZE *size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return GetTextExtentExPointA(handle, text, length, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentExPointA(HDC handle, LPCSTR text, int length, int maxExtent, INT *fit, INT *extents, SIZE *size) {
  Dc *dc = LookupDc(handle);
  if (!dc || length < 0 || (!text && length > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FontFace &face = FaceOf(*dc);
  std::vector<Char> &chars = Scratch();
  Decode(text, length, chars);
  int64_t width = 0;
  int byte = 0, fitted = 0;
  bool fitting = true;
  for (const Char &c : chars) {
    width += Advance(face, c);
    if (fitting && fit && width > maxExtent) fitting = false;
    if (fitting) fitted += c.bytes;
    for (int k = 0; k < c.bytes; ++k) {
      if (extents && fitting) extents[byte] = Dc::Clamp(width);
      ++byte;
    }
  }
  if (fit) *fit = fitted;
  if (size) *size = SIZE{Dc::Clamp(width), face.Height()};
  return TRUE;
}

BOOL GetTextMetricsA(HDC handle, TEXTMETRICA *tm) {
  Dc *dc = LookupDc(handle);
  if (!dc || !tm) return FALSE;
  FontFace &face = FaceOf(*dc);
  const LOGFONTA &log = dc->state.font->log;
  std::memset(tm, 0, sizeof *tm);
  tm->tmHeight = face.Height();
  tm->tmAscent = face.ascent;
  tm->tmDescent = face.descent;
  tm->tmInternalLeading = face.internalLeading;
  tm->tmExternalLeading = face.externalLeading;
  tm->tmAveCharWidth = face.aveCharWidth;
  tm->tmMaxCharWidth = face.maxCharWidth;
  tm->tmWeight = log.lfWeight <= 0 ? FW_NORMAL : log.lfWeight;
  tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  tm->tmItalic = log.lfItalic ? 0xFF : 0;
  tm->tmUnderlined = log.lfUnderline ? 0xFF : 0;
  tm->tmStruckOut = log.lfStrikeOut ? 0xFF : 0;
  // The low bit set means a variable pitch; 4: an outline font.
  tm->tmPitchAndFamily = BYTE((face.fixedPitch ? 0 : 1) | 4 | (log.lfPitchAndFamily & 0xF0));
  tm->tmCharSet = face.cjk ? GB2312_CHARSET : ANSI_CHARSET;
  return TRUE;
}

int GetTextFaceA(HDC handle, int size, LPSTR out) {
  Dc *dc = LookupDc(handle);
  if (!dc) return 0;
  FaceOf(*dc);
  const char *face = dc->state.font->log.lfFaceName;
  int length = int(strnlen(face, LF_FACESIZE));
  if (!out) return length + 1;
  if (size <= 0) return 0;
  int n = std::min(length, size - 1);
  std::memcpy(out, face, size_t(n));
  out[n] = 0;
  return n + 1;
}

// ---- DrawText ------------------------------------------------------------------

namespace {

struct Row {
  size_t from, to;  // characters
  int width;
  bool ellipsis;
};

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

int DrawTextA(HDC handle, LPCSTR text, int length, RECT *rect, UINT format) {
  Dc *dc = LookupDc(handle);
  if (!dc || !rect || (!text && length != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (length < 0) length = text ? int(std::strlen(text)) : 0;
  FontFace &face = FaceOf(*dc);
  std::vector<Char> raw;
  Decode(text, length, raw);

  // '&' marks the next character as the mnemonic; "&&" is a plain '&'.
  std::vector<Char> chars;
  chars.reserve(raw.size());
  size_t prefix = SIZE_MAX;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (!(format & DT_NOPREFIX) && raw[i].code == u'&') {
      if (i + 1 < raw.size() && raw[i + 1].code == u'&') {
        chars.push_back(raw[++i]);
      } else if (i + 1 < raw.size()) {
        prefix = chars.size();
      }
      continue;
    }
    chars.push_back(raw[i]);
  }
  const int tabWidth = 8 * face.aveCharWidth;
  auto advance = [&](size_t i, int at) {
    if (chars[i].code == u'\t' && (format & DT_EXPANDTABS)) return tabWidth - at % std::max(1, tabWidth);
    return Advance(face, chars[i]);
  };
  auto widthOf = [&](size_t from, size_t to) {
    int w = 0;
    for (size_t i = from; i < to; ++i) w += advance(i, w);
    return w;
  };

  const bool single = format & DT_SINGLELINE;
  const int boxWidth = Dc::Clamp(int64_t(rect->right) - rect->left);
  std::vector<Row> rows;
  size_t start = 0;
  auto addLine = [&](size_t from, size_t to) {
    if (!(format & DT_WORDBREAK) || single) {
      rows.push_back(Row{from, to, widthOf(from, to), false});
      return;
    }
    // Breaks fall after a space or next to a double-byte character.
    while (from < to) {
      int w = 0;
      size_t i = from, lastBreak = SIZE_MAX;
      while (i < to) {
        int a = advance(i, w);
        if (w + a > boxWidth && i > from) break;
        w += a;
        ++i;
        if (i < to && (IsSpace(chars[i - 1].code) || chars[i - 1].bytes == 2 || chars[i].bytes == 2)) lastBreak = i;
      }
      size_t end = i;
      if (i < to && lastBreak != SIZE_MAX) end = lastBreak;
      if (i < to && lastBreak == SIZE_MAX) {
        // One word wider than the box stays whole: it runs to its end.
        while (end < to && !IsSpace(chars[end].code)) ++end;
      }
      size_t shown = end;
      while (shown > from && IsSpace(chars[shown - 1].code)) --shown;
      rows.push_back(Row{from, shown, widthOf(from, shown), false});
      from = end;
      while (from < to && IsSpace(chars[from].code)) ++from;
    }
  };
  if (single) {
    addLine(0, chars.size());
  } else {
    for (size_t i = 0; i <= chars.size(); ++i) {
      if (i == chars.size() || chars[i].code == u'\n' || chars[i].code == u'\r') {
        if (i < chars.size() || start < i || !rows.empty()) addLine(start, i);
        if (i + 1 < chars.size() && chars[i].code == u'\r' && chars[i + 1].code == u'\n') ++i;
        start = i + 1;
      }
    }
  }
  if (chars.empty()) rows.clear();

  // An end ellipsis shortens a row that does not fit.
  std::vector<Char> dots(3, Char{u'.', 1});
  const int dotsWidth = 3 * Advance(face, dots[0]);
  if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
    for (Row &row : rows) {
      if (row.width <= boxWidth) continue;
      // As many characters as leave room for the dots.
      size_t to = row.from;
      int w = 0;
      while (to < row.to) {
        const int a = advance(to, w);
        if (w + a + dotsWidth > boxWidth) break;
        w += a;
        ++to;
      }
      row.to = to;
      row.width = w + dotsWidth;
      row.ellipsis = true;
    }
  }

  const int lineHeight = face.Height() + ((format & DT_EXTERNALLEADING) ? face.externalLeading : 0);
  const int textHeight = int(rows.size()) * lineHeight;
  int maxWidth = 0;
  for (const Row &row : rows) maxWidth = std::max(maxWidth, row.width);

  int64_t top64 = rect->top;
  if (single && (format & DT_VCENTER)) top64 = rect->top + (int64_t(rect->bottom) - rect->top - textHeight) / 2;
  if (single && (format & DT_BOTTOM)) top64 = int64_t(rect->bottom) - textHeight;
  const int top = Dc::Clamp(top64);
  const bool placed = single && (format & (DT_VCENTER | DT_BOTTOM));
  const int result = Dc::Clamp(placed ? top64 - rect->top + textHeight : textHeight);

  if (format & DT_CALCRECT) {
    rect->right = Dc::Clamp(int64_t(rect->left) + maxWidth);
    rect->bottom = Dc::Clamp(int64_t(rect->top) + textHeight);
    return result;
  }
  if (rows.empty() || !dc->Prepare()) return result;

  QRect box(dc->ToDevice(rect->left, rect->top), dc->ToDevice(rect->right, rect->bottom) - QPoint(1, 1));
  ClipScope scope(*dc, (format & DT_NOCLIP) ? nullptr : &box);
  const DcState &s = dc->state;
  const uint32_t color = ToPixel(s.textColor);
  std::vector<Char> line;
  std::vector<int> advances;
  int y = top;
  for (const Row &row : rows) {
    int64_t x64 = rect->left;
    if (format & DT_CENTER) x64 = rect->left + (int64_t(boxWidth) - row.width) / 2;
    else if (format & DT_RIGHT) x64 = int64_t(rect->right) - row.width;
    const int x = Dc::Clamp(x64);
    line.assign(chars.begin() + ptrdiff_t(row.from), chars.begin() + ptrdiff_t(row.to));
    advances.clear();
    int w = 0;
    for (size_t i = row.from; i < row.to; ++i) {
      int a = advance(i, w);
      advances.push_back(a);
      w += a;
    }
    if (row.ellipsis) {
      for (const Char &d : dots) {
        line.push_back(d);
        advances.push_back(Advance(face, d));
      }
    }
    QPoint at = dc->ToDevice(x, y);
    if (!(format & DT_PREFIXONLY)) {
      if (s.bkMode == OPAQUE && row.width > 0)
        FillArea(*dc, QRect(at.x(), at.y(), row.width, face.Height()), ToPixel(s.bkColor), R2_COPYPEN);
      if (face.rendered) DrawChars(*dc, face, line, advances, at.x(), at.y());
    }
    if (prefix != SIZE_MAX && prefix >= row.from && prefix < row.to && !(format & DT_HIDEPREFIX)) {
      int offset = 0;
      for (size_t i = row.from; i < prefix; ++i) offset += advances[i - row.from];
      int underline = at.y() + face.ascent + face.underlinePos;
      Span(*dc, underline, at.x() + offset, at.x() + offset + advances[prefix - row.from], color, R2_COPYPEN);
    }
    y += lineHeight;
  }
  return result;
}
