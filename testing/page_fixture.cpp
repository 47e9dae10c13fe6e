#include "testing/page_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "views/viewattr.h"

namespace page_fixture {

namespace {

void Put32(std::string &b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
void Append32(std::string &b, uint32_t v) { b.append(reinterpret_cast<const char *>(&v), 4); }

std::string Fixed(const std::string &text, size_t size) {
  std::string out(size, '\0');
  std::memcpy(&out[0], text.data(), std::min(text.size(), size - 1));
  return out;
}

// The current record of the description.
VIEW_ATTR_13 Record13(const PaneDesc &d) {
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  r.viewType = d.viewType;
  r.stock = d.stock;
  const std::vector<uint8_t> columns = d.columns.empty() ? std::vector<uint8_t>{0, 1, 6} : d.columns;
  r.columnCount = uint32_t(std::min<size_t>(columns.size(), sizeof r.columns));
  std::memcpy(r.columns, columns.data(), r.columnCount);
  r.tabCount = int32_t(std::max(d.tabIds.size(), d.tabNames.size()));
  for (size_t i = 0; i < d.tabIds.size() && i < 64; ++i) r.tabIds[i] = d.tabIds[i];
  r.currentBlock = d.currentBlock;
  r.windowCount = d.windowCount;
  for (size_t i = 0; i < d.formulas.size() && i < 6; ++i) std::strncpy(r.formulas[i], d.formulas[i].c_str(), 15);
  r.period = d.period;
  r.flags = d.flags;
  r.zoomStep = d.zoomStep;
  r.keptTopRow = d.keptTopRow;
  r.displayFlags = d.displayFlags;
  std::strncpy(r.webAddress, d.webAddress.c_str(), 127);
  return r;
}

VIEW_ATTR_10 Record10(const PaneDesc &d) {
  const VIEW_ATTR_13 r = Record13(d);
  VIEW_ATTR_10 v;
  std::memset(static_cast<void *>(&v), 0, sizeof v);
  std::memcpy(static_cast<void *>(&v.v5.head), &r, sizeof v.v5.head);
  for (int i = 0; i < 16; ++i) v.v5.tabIds[i] = r.tabIds[i];
  v.v5.windowCount = r.windowCount;
  std::memcpy(v.v5.formulas, r.formulas, sizeof v.v5.formulas);
  v.v5.period = r.period;
  v.v5.flags = r.flags;
  v.zoomStep = r.zoomStep;
  v.keptTopRow = r.keptTopRow;
  return v;
}

std::string Names(const PaneDesc &d, int slots) {
  std::string out;
  for (int i = 0; i < slots; ++i) out += Fixed(size_t(i) < d.tabNames.size() ? d.tabNames[size_t(i)] : "", 16);
  return out;
}

MVCDATA_12 Data12(const PaneDesc &d) {
  MVCDATA_12 m;
  std::memset(static_cast<void *>(&m), 0, sizeof m);
  m.tabCount = uint32_t(d.tabIds.size());
  for (size_t i = 0; i < d.tabIds.size() && i < 64; ++i) m.tabIds[i] = d.tabIds[i];
  m.paneCount = d.paneCount;
  m.columnCount = uint32_t(std::min<size_t>(d.columns.size(), sizeof m.columns));
  if (m.columnCount) std::memcpy(m.columns, d.columns.data(), m.columnCount);
  m.windowCount = d.windowCount;
  for (size_t i = 0; i < d.formulas.size() && i < 6; ++i) std::strncpy(m.formulas[i], d.formulas[i].c_str(), 15);
  size_t i = 0;
  for (; i < d.overlays.size() && i < 8; ++i) m.overlays[i] = d.overlays[i];
  if (i < 8) m.overlays[i] = STKPTR();
  for (size_t k = 0; k < d.overlayTexts.size() && k < 8; ++k)
    std::strncpy(m.overlayTexts[k], d.overlayTexts[k].c_str(), 31);
  for (int w = 0; w < 6; ++w) {
    m.refLines[w][0].value = EndMark();
    m.params[w][0] = EndMark();
  }
  for (int j = 0; j < 8; ++j) m.overlayParams[j][0] = EndMark();
  m.firstOverlayByte = 1;
  m.linked = d.linked;
  m.infoVisible = 1;
  m.displayFlags = d.displayFlags;
  return m;
}

MVCDATA_10 Data10(const MVCDATA_12 &m) {
  MVCDATA_10 o;
  std::memset(static_cast<void *>(&o), 0, sizeof o);
  o.tabCount = m.tabCount;
  o.currentBlock = m.currentBlock;
  for (int i = 0; i < 16; ++i) o.tabIds[i] = m.tabIds[i];
  o.columnCount = m.columnCount;
  o.scheme12 = m.scheme12;
  o.scheme16 = m.scheme16;
  std::memcpy(o.columns, m.columns, sizeof o.columns);
  o.paneCount = m.paneCount;
  o.windowCount = m.windowCount;
  std::memcpy(o.formulas, m.formulas, sizeof o.formulas);
  std::memcpy(o.overlayFormulas, m.overlayFormulas, sizeof o.overlayFormulas);
  std::memcpy(static_cast<void *>(o.overlays), m.overlays, sizeof o.overlays);
  o.firstOverlaySetting = m.firstOverlaySetting;
  std::memcpy(o.refLines, m.refLines, sizeof o.refLines);
  std::memcpy(o.params, m.params, sizeof o.params);
  std::memcpy(o.overlayParams, m.overlayParams, sizeof o.overlayParams);
  o.bytes3744[0] = m.firstOverlayOwnFormula;
  o.bytes3744[1] = m.firstOverlayByte;
  o.bytes3744[2] = m.linked;
  o.bytes3744[3] = m.infoVisible;
  std::memcpy(o.heightRatios, m.heightRatios, sizeof o.heightRatios);
  std::memcpy(o.overlayTexts, m.overlayTexts, sizeof o.overlayTexts);
  return o;
}

std::string PaneRecords(int version, const PaneDesc &d) {
  std::string out;
  const VIEW_ATTR_13 r13 = Record13(d);
  const VIEW_ATTR_10 r10 = Record10(d);
  const std::string text = Fixed(d.stockText, 32);
  switch (version) {
    case 5: out.append(reinterpret_cast<const char *>(&r10.v5), sizeof r10.v5); break;
    case 7: out.append(reinterpret_cast<const char *>(&r10.v5), sizeof r10.v5) += Names(d, 16); break;
    case 8:
    case 9: out.append(reinterpret_cast<const char *>(&r10), sizeof r10) += Names(d, 16); break;
    case 10: out.append(reinterpret_cast<const char *>(&r10), sizeof r10) += Names(d, 16) + text; break;
    case 11: out.append(reinterpret_cast<const char *>(&r13), 340) += Names(d, 64) + text; break;
    case 12: out.append(reinterpret_cast<const char *>(&r13), 376) += Names(d, 64) + text; break;
    default: out.append(reinterpret_cast<const char *>(&r13), sizeof r13) += Names(d, 64) + text; break;
  }
  const MVCDATA_12 m = Data12(d);
  if (version >= 11) {
    out.append(reinterpret_cast<const char *>(&m), version == 11 ? kMvcData11Size : sizeof m);
  } else {
    const MVCDATA_10 o = Data10(m);
    const size_t size = version == 5 ? 3752 : version == 7 ? 3776 : version <= 9 ? 3784 : 4040;
    out.append(reinterpret_cast<const char *>(&o), size);
  }
  return out;
}

void AppendNode(std::string &out, int version, const NodeDesc &n) {
  const size_t at = out.size();
  Append32(out, 0);
  Append32(out, 0);
  Append32(out, n.pane ? 1 : 0);
  Append32(out, n.side);
  out.append(reinterpret_cast<const char *>(&n.ratio), 4);
  if (n.pane) {
    out += PaneRecords(version, n.paneDesc);
    return;
  }
  for (size_t i = 0; i < n.children.size() && i < 2; ++i) {
    const size_t childAt = out.size();
    AppendNode(out, version, n.children[i]);
    Put32(out, at + 4 * i, uint32_t(childAt - 76));
  }
}

}  // namespace

NodeDesc Pane(uint32_t side, float ratio, const PaneDesc &pane) {
  NodeDesc n;
  n.side = side;
  n.ratio = ratio;
  n.pane = true;
  n.paneDesc = pane;
  return n;
}

NodeDesc Split(uint32_t side, float ratio, const NodeDesc &first, const NodeDesc &second) {
  NodeDesc n;
  n.side = side;
  n.ratio = ratio;
  n.children = {first, second};
  return n;
}

std::string PageFileBytes(int version, const std::string &name, const NodeDesc &root) {
  char magic[16];
  std::snprintf(magic, sizeof magic, "kvpage%02d", version);
  std::string out(magic, 8);
  out += Fixed(name, 64);
  Append32(out, 76);
  AppendNode(out, version, root);
  Put32(out, 72, uint32_t(out.size() - 76));
  return out;
}

std::string GridPage(int rows, int columns, int16_t viewType, const std::string &name) {
  PaneDesc pane;
  pane.viewType = viewType;
  // A row of columns: column c splits off the rest at its right.
  auto row = [&](int) {
    NodeDesc rest = Pane(2, 1.0f, pane);
    for (int c = columns - 1; c > 0; --c)
      rest = Split(2, float(c) / float(c + 1), Pane(1, 1.0f / float(c + 1), pane), rest);
    return rest;
  };
  NodeDesc all = row(rows - 1);
  all.side = 4;
  for (int r = rows - 1; r > 0; --r) {
    NodeDesc top = row(r);
    top.side = 3;
    top.ratio = 1.0f / float(r + 1);
    all.ratio = float(r) / float(r + 1);
    all = Split(4, 1.0f, top, all);
    all.side = 4;
  }
  all.side = 1;
  all.ratio = 1.0f;
  return PageFileBytes(13, name, all);
}

void WriteFile(const std::string &posixPath, const std::string &bytes) {
  FILE *f = std::fopen(posixPath.c_str(), "wb");
  if (!f) throw std::runtime_error("can't write " + posixPath);
  const size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != bytes.size()) throw std::runtime_error("short write to " + posixPath);
}

}  // namespace page_fixture
