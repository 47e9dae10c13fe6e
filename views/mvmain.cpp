#include "views/mvmain.h"
#include "views/pagelist.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/emenubar.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/path.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/viewhost.h"

namespace {

// Half up; values a damaged ratio could give are kept within int.
int RoundHalfUp(double x) {
  const double r = std::floor(x + 0.5);
  if (!(r > -1e9)) return r != r ? 0 : -1000000000;
  return r > 1e9 ? 1000000000 : int(r);
}
bool Across(uint32_t sideOrEdge) { return sideOrEdge == kSideLeft || sideOrEdge == kSideRight; }

std::map<int, ViewCreator> &Creators() {
  static std::map<int, ViewCreator> creators;
  return creators;
}

void SetNodePane(PaneNode *node, TMultiViewChild *pane) {
  node->pane = pane;
  if (pane) pane->m_node = node;
}

// The node takes the other node's pane and children; the other is freed.
void TakeOver(PaneNode *node, PaneNode *other) {
  SetNodePane(node, other->pane);
  node->first = other->first;
  node->second = other->second;
  if (node->first) node->first->parent = node;
  if (node->second) node->second->parent = node;
  delete other;
}

bool IsChart(int type) { return type == VIEW_TYPE_INTRADAY || type == VIEW_TYPE_KLINE; }

}  // namespace

TMultiViewMain *&CurrentPage() {
  static TMultiViewMain *page = nullptr;
  return page;
}

// ---- View factory ------------------------------------------------------------------

void RegisterViewClass(int viewType, ViewCreator creator) {
  if (creator)
    Creators()[viewType] = creator;
  else
    Creators().erase(viewType);
}

TMultiViewChild *MakeView(int viewType, TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                          EArray<VIEW_ATTR_13> *history, PaneNode *node, int newsFlag) {
  if (viewType == VIEW_TYPE_NONE || !IsKnownViewType(viewType)) {
    viewType = VIEW_TYPE_REPORT;
    record = nullptr;
  }
  auto found = Creators().find(viewType);
  if (found != Creators().end()) return found->second(page, record, viewData, history, node, newsFlag);
  return new TPlaceholderView(viewType, page, record, viewData, history, node);
}

// ---- Overlay -----------------------------------------------------------------------

TTranspWnd::TTranspWnd(TComponent *owner) : TForm(owner) {
  SetBorderStyle(bsNone);
  SetBorderIcons(0);
  SetVisible(false);
}

TTranspWnd::~TTranspWnd() {
  if (m_memDC) {
    SelectObject(m_memDC, m_oldBitmap);
    DeleteDC(m_memDC);
  }
  if (m_bitmap) DeleteObject(m_bitmap);
}

void TTranspWnd::Cover(TMultiViewMain *page) {
  TWinControl *host = page->Parent() ? page->Parent() : page;
  if (Parent() != host) SetParent(host);
  const int w = page->ClientWidth() > 0 ? page->ClientWidth() : 1;
  const int h = page->ClientHeight() > 0 ? page->ClientHeight() : 1;
  if (!m_memDC || w != m_width || h != m_height) {
    if (m_memDC) {
      SelectObject(m_memDC, m_oldBitmap);
      DeleteDC(m_memDC);
      DeleteObject(m_bitmap);
    }
    HDC screen = ::GetDC(nullptr);
    m_memDC = CreateCompatibleDC(screen);
    m_bitmap = CreateCompatibleBitmap(screen, w, h);
    ::ReleaseDC(nullptr, screen);
    m_oldBitmap = SelectObject(m_memDC, m_bitmap);
    m_width = w;
    m_height = h;
  }
  page->PaintTo(m_memDC, 0, 0);
  if (host == page)
    SetBounds(0, 0, w, h);
  else
    SetBounds(page->Left(), page->Top(), w, h);
  Show();
  BringToFront();
  Invalidate();
  Update();
}

void TTranspWnd::Uncover() { Hide(); }

void TTranspWnd::XorLines(bool vertical, int at, int from, int to) {
  if (!m_memDC) return;
  const int oldMode = SetROP2(m_memDC, R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(m_memDC, pen);
  for (int i = -1; i <= 1; ++i) {
    if (vertical) {
      MoveToEx(m_memDC, at + i, from, nullptr);
      LineTo(m_memDC, at + i, to);
    } else {
      MoveToEx(m_memDC, from, at + i, nullptr);
      LineTo(m_memDC, to, at + i);
    }
  }
  SelectObject(m_memDC, oldPen);
  DeleteObject(pen);
  SetROP2(m_memDC, oldMode);
  if (HandleAllocated()) {
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
  }
}

COLORREF TTranspWnd::PixelAt(int x, int y) const { return m_memDC ? GetPixel(m_memDC, x, y) : CLR_INVALID; }

void TTranspWnd::Paint() {
  if (m_memDC) BitBlt(Canvas()->Handle(), 0, 0, m_width, m_height, m_memDC, 0, 0, SRCCOPY);
}

void TTranspWnd::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

// ---- The page --------------------------------------------------------------------

TMultiViewMain::TMultiViewMain(TWinControl *mainWindow, int openMode, const char *pagePath) : TForm(mainWindow) {
  SetBorderStyle(bsNone);
  SetBorderIcons(0);
  m_openMode = openMode;
  m_pagePath = openMode == 2 ? "Default" : (pagePath ? pagePath : "");
  char skin[MAX_PATH];
  std::snprintf(skin, sizeof skin, ".\\skin\\%i\\%i\\skin.ini", int(SkinLayout), int(SkinNumber));
  m_borderActive = GetPrivateProfileIntA("Color", "ActiveSubWndBorder", 0, skin);
  m_borderInactive = GetPrivateProfileIntA("Color", "SubWndBorder", 0, skin);
  m_borderInner = GetPrivateProfileIntA("Color", "SubWndBorderInner", 0, skin);
  ResetPage();
  if (mainWindow) {
    SetParent(mainWindow);
    SetAlign(alClient);
  }
  SetColor(TColor(MainFrameHost()->ThemeColor(1)));
  m_overlay = new TTranspWnd(this);
  CurrentPage() = this;
  Show();
  FormCreate();
  FormResize();
}

TMultiViewMain::~TMultiViewMain() {
  if (m_dragging) ReleaseCapture();
  FreeTree(m_root.first);
  FreeTree(m_root.second);
  m_root.first = m_root.second = nullptr;
  if (CurrentPage() == this) CurrentPage() = nullptr;
}

void TMultiViewMain::ResetPage() {
  m_root = PaneNode{};
  m_root.width = 1;
  m_root.height = 1;
  m_root.side = kSideLeft;
  m_root.ratio = 1.0f;
  m_lastMouse = 0;
  m_dragEdge = 0;
  m_dragNode = nullptr;
  m_dragging = 0;
  m_active = nullptr;
  m_zoomed = nullptr;
}

void TMultiViewMain::OpenDefaultReport() {
  m_pagePath = "Default";
  VIEW_ATTR_13 record;
  std::memset(static_cast<void *>(&record), 0, sizeof record);
  InitViewAttr(VIEW_TYPE_REPORT, &record);
  SplitPane(&m_root, &record, 1.0f, 1);
}

void TMultiViewMain::FormCreate() {
  if (m_openMode == 1) {
    VIEW_ATTR_13 record;
    std::memset(static_cast<void *>(&record), 0, sizeof record);
    PrepareEmptyRecord(&record);
    if (TMultiViewChild *pane = SplitPane(&m_root, &record, 1.0f, 1)) pane->Activate();
    return;
  }
  std::string path;
  if (m_openMode == 2) {
    path = "..\\CFG\\Default.ppg";
  } else if (!m_pagePath.empty()) {
    path = m_pagePath;
  } else {
    char last[kPagePathSize];
    ReadLastPage(last);
    path = last;
    if (path.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) path = "..\\CFG\\Default.ppg";
  }
  if (!LoadPage(path.c_str())) OpenDefaultReport();
  if (m_panes.GetCount() > 0) m_panes.GetAt(0)->Activate();
}

void TMultiViewMain::OpenPage(const char *path, int mode) {
  if (mode != 1 && MainFrameHost()->AutoSavePage()) SavePage(2);
  if (m_dragging) EndDrag();
  FreeTree(m_root.first);
  FreeTree(m_root.second);
  m_panes.RemoveAll();
  ResetPage();
  m_openMode = mode == 2 ? 2 : 0;
  m_pagePath = mode == 2 ? "Default" : (path ? path : "");
  FormCreate();
  FormResize();
}

void TMultiViewMain::FormClose() {
  if (MainFrameHost()->AutoSavePage()) SavePage(2);
  FreeTree(m_root.first);
  FreeTree(m_root.second);
  m_panes.RemoveAll();
  ResetPage();
}

void TMultiViewMain::FormResize() {
  LayoutAll();
  Invalidate();
}

void TMultiViewMain::Resize() {
  TForm::Resize();
  if (m_root.first) FormResize();
}

void TMultiViewMain::FreePaneOf(PaneNode *node) {
  TMultiViewChild *pane = node->pane;
  if (!pane) return;
  delete pane->m_history;
  m_kept.erase(pane->m_viewData);
  delete pane->m_viewData;
  pane->m_history = nullptr;
  pane->m_viewData = nullptr;
  if (m_active == pane) m_active = nullptr;
  if (m_zoomed == pane) m_zoomed = nullptr;
  node->pane = nullptr;
  pane->Hide();
  delete pane;
}

void TMultiViewMain::FreeTree(PaneNode *node) {
  if (!node) return;
  if (node->pane) {
    FreePaneOf(node);
  } else {
    FreeTree(node->first);
    FreeTree(node->second);
  }
  if (m_dragNode == node) m_dragNode = nullptr;
  if (node != &m_root) delete node;
}

TMultiViewChild *TMultiViewMain::PaneById(LPARAM id) const {
  for (int i = 0; id && i < m_panes.GetCount(); ++i)
    if (m_panes.GetAt(i)->PaneParam() == id) return m_panes.GetAt(i);
  return nullptr;
}

bool TMultiViewMain::HasPane(const TMultiViewChild *pane) const {
  if (!pane) return false;
  for (int i = 0; i < m_panes.GetCount(); ++i)
    if (m_panes.GetAt(i) == pane) return true;
  return false;
}

void TMultiViewMain::AddPane(TMultiViewChild *pane) { m_panes.Add(pane); }

void TMultiViewMain::RemovePane(TMultiViewChild *pane) {
  for (int i = 0; i < m_panes.GetCount(); ++i)
    if (m_panes.GetAt(i) == pane) {
      m_panes.RemoveAt(i);
      break;
    }
  if (m_active == pane) m_active = nullptr;
  if (m_zoomed == pane) m_zoomed = nullptr;
}

void TMultiViewMain::PostRefresh() {
  if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

// ---- Layout --------------------------------------------------------------------

void TMultiViewMain::NodeRect(PaneNode *node) {
  const PaneNode *p = node->parent;
  if (!p) return;
  const double r = node->ratio;
  switch (node->side) {
    case kSideLeft:
      node->left = p->left;
      node->top = p->top;
      node->width = RoundHalfUp(p->width * r);
      node->height = p->height;
      break;
    case kSideRight:
      node->width = RoundHalfUp(p->width * r);
      node->left = p->left + p->width - node->width;
      node->top = p->top;
      node->height = p->height;
      break;
    case kSideTop:
      node->left = p->left;
      node->width = p->width;
      node->top = p->top;
      node->height = RoundHalfUp(p->height * r);
      break;
    case kSideBottom:
      node->height = RoundHalfUp(p->height * r);
      node->top = p->top + p->height - node->height;
      node->left = p->left;
      node->width = p->width;
      break;
    default:
      break;
  }
}

void TMultiViewMain::LayoutPanes(PaneNode *node, bool place, bool collapse) {
  NodeRect(node);
  if (place && !m_zoomed && node->pane) {
    TMultiViewChild *pane = node->pane;
    pane->SetBounds(node->left + 2, node->top + 2, std::max(0, node->width - 5), std::max(0, node->height - 5));
    pane->Show();
    if (!pane->m_layoutDone) PostMessageA(pane->Handle(), WM_MVC_LAYOUT_DONE, 0, 0);
  }
  PaneNode *children[2] = {node->second, node->first};
  for (PaneNode *child : children) {
    if (!child) continue;
    if (child->pane || child->first || child->second || !collapse) {
      LayoutPanes(child, place, collapse);
      continue;
    }
    // A bare leaf: it gets an empty pane of at least the minimum size, or
    // goes again when the node can't hold two of them.
    PaneNode *sibling = child == node->first ? node->second : node->first;
    const bool across = Across(child->side);
    const int extent = across ? node->width : node->height;
    const int least = across ? kMinPaneWidth : kMinPaneHeight;
    if (sibling && int(std::trunc(extent * double(child->ratio))) < least) {
      if (extent < 2 * least) {
        if (m_dragNode == child) m_dragNode = nullptr;
        delete child;
        node->first = node->second = nullptr;
        TakeOver(node, sibling);
        LayoutPanes(node, place, collapse);
        return;
      }
      child->ratio = float(double(least) / extent);
      sibling->ratio = 1.0f - child->ratio;
      if (child == node->first) LayoutPanes(sibling, place, collapse);
    }
    auto *pane = new TMultiViewChild(this, nullptr, nullptr, child);
    child->pane = pane;
    LayoutPanes(child, place, collapse);
    if (!pane->m_layoutDone) PostMessageA(pane->Handle(), WM_MVC_LAYOUT_DONE, 0, 0);
  }
}

void TMultiViewMain::LayoutAll() {
  RECT client;
  GetClientRect(Handle(), &client);
  m_root.width = client.right + 1;
  m_root.height = client.bottom + 1;
  if (m_root.first) LayoutPanes(m_root.first, true, true);
  if (m_root.second) LayoutPanes(m_root.second, true, true);
  if (m_zoomed) {
    m_zoomed->SetBounds(client.left + 2, client.top + 2, client.right - client.left - 4,
                        client.bottom - client.top - 4);
    m_zoomed->Show();
    if (!m_zoomed->m_layoutDone) PostMessageA(m_zoomed->Handle(), WM_MVC_LAYOUT_DONE, 0, 0);
  }
}

int TMultiViewMain::HitTest(int x, int y, PaneNode **found) {
  struct Walk {
    static int At(PaneNode *n, int x, int y, PaneNode **found) {
      if (!n) return 0;
      const bool inRows = y >= n->top && y < n->top + n->height;
      const bool inColumns = x >= n->left && x < n->left + n->width;
      int edge = 0;
      if (x >= n->left && x < n->left + 2 && inRows)
        edge = 1;
      else if (x > n->left + n->width - 3 && x <= n->left + n->width - 1 && inRows)
        edge = 2;
      else if (y >= n->top && y < n->top + 2 && inColumns)
        edge = 3;
      else if (y > n->top + n->height - 3 && y <= n->top + n->height - 1 && inColumns)
        edge = 4;
      if (edge) {
        *found = n;
        return edge;
      }
      if (int e = At(n->first, x, y, found)) return e;
      return At(n->second, x, y, found);
    }
  };
  *found = nullptr;
  return Walk::At(&m_root, x, y, found);
}

int TMultiViewMain::MinimumSize(const PaneNode *node, bool across) {
  struct Count {
    // Panes side by side along the direction.
    static int Of(const PaneNode *n, bool across) {
      if (!n) return 0;
      if (!n->first && !n->second) return n->pane ? 1 : 0;
      const int a = Of(n->first, across), b = Of(n->second, across);
      const PaneNode *c = n->first ? n->first : n->second;
      const bool splitAcross = Across(c->side);
      return splitAcross == across ? a + b : std::max(a, b);
    }
  };
  return Count::Of(node, across) * (across ? kMinPaneWidth : kMinPaneHeight);
}

void TMultiViewMain::DrawDragLines(int at) {
  PaneNode *n = m_dragNode;
  if (!n || !m_overlay) return;
  const bool vertical = Across(m_dragEdge);
  if (vertical)
    m_overlay->XorLines(true, at, n->top, n->top + n->height);
  else
    m_overlay->XorLines(false, at, n->left, n->left + n->width);
}

void TMultiViewMain::BeginDrag(int x, int y) {
  PaneNode *node = nullptr;
  const int edge = HitTest(x, y, &node);
  if (!edge) return;
  m_dragEdge = uint32_t(edge);
  m_dragNode = node;
  m_dragging = 1;
  m_lastMouse = uint32_t(MAKELONG(WORD(x), WORD(y)));
  m_overlay->Cover(this);
  DrawDragLines(Across(m_dragEdge) ? x : y);
  SetCapture(Handle());
}

void TMultiViewMain::EndDrag() {
  m_overlay->Uncover();
  m_dragging = 0;
  m_dragEdge = 0;
  m_dragNode = nullptr;
  LayoutAll();
  ReleaseCapture();
  Invalidate();
}

void TMultiViewMain::DragBorder(int x, int y) {
  PaneNode *n = m_dragNode;
  if (!n) return;
  const bool across = Across(m_dragEdge);
  const int p = across ? x : y;
  const int q = across ? short(LOWORD(m_lastMouse)) : short(HIWORD(m_lastMouse));
  if (p == q) return;
  auto moveLast = [this, across](int to) {
    const int lx = across ? to : short(LOWORD(m_lastMouse));
    const int ly = across ? short(HIWORD(m_lastMouse)) : to;
    m_lastMouse = uint32_t(MAKELONG(WORD(lx), WORD(ly)));
  };

  if (n == &m_root) {
    // An outer edge dragged inwards makes a new pane on that edge.
    const bool inwards = (m_dragEdge == 1 || m_dragEdge == 3) ? p > q : p < q;
    PaneNode *content = m_root.first;
    if (m_zoomed || !inwards || !content) return;
    const int size = across ? content->width : content->height;
    if (size <= 0) return;
    DrawDragLines(q);
    auto *leaf = new PaneNode;
    leaf->side = m_dragEdge;
    leaf->ratio = float(double(std::abs(p - q)) / size);
    if (leaf->ratio > 1.0f) leaf->ratio = 1.0f;
    auto *inner = new PaneNode;
    inner->parent = &m_root;
    inner->side = kSideLeft;
    inner->ratio = 1.0f;
    inner->left = content->left;
    inner->top = content->top;
    inner->width = content->width;
    inner->height = content->height;
    m_root.first = inner;
    static const uint32_t kOpposite[] = {0, kSideRight, kSideLeft, kSideBottom, kSideTop};
    content->parent = inner;
    content->side = kOpposite[m_dragEdge];
    content->ratio = 1.0f - leaf->ratio;
    leaf->parent = inner;
    if (m_dragEdge == 1 || m_dragEdge == 3) {
      inner->first = leaf;
      inner->second = content;
    } else {
      inner->first = content;
      inner->second = leaf;
    }
    static const uint32_t kInnerEdge[] = {0, 2, 1, 4, 3};
    m_dragEdge = kInnerEdge[m_dragEdge];
    m_dragNode = leaf;
    LayoutPanes(inner, false, false);
    DrawDragLines(p);
    moveLast(p);
    return;
  }

  PaneNode *parent = n->parent;
  if (!parent || Across(n->side) != across) return;
  const bool second = m_dragEdge == 1 || m_dragEdge == 3;
  if ((second ? parent->second : parent->first) != n) return;
  PaneNode *first = parent->first, *last = parent->second;
  if (!first || !last) return;
  const int sizeFirst = across ? first->width : first->height;
  const int sizeLast = across ? last->width : last->height;
  const int whole = across ? parent->width : parent->height;
  if (whole <= 0) return;
  const int lo = MinimumSize(first, across) - sizeFirst;
  const int hi = sizeLast - MinimumSize(last, across);
  int d = p - q;
  if (lo > hi)
    d = 0;
  else
    d = std::clamp(d, lo, hi);
  if (d == 0) return;
  DrawDragLines(q);
  first->ratio = float(double(sizeFirst + d) / whole);
  last->ratio = 1.0f - first->ratio;
  LayoutPanes(first, false, true);
  LayoutPanes(last, false, true);
  DrawDragLines(q + d);
  moveLast(q + d);
}

// ---- Painting and activation --------------------------------------------------------

void TMultiViewMain::PaintFrames(HDC dc, TMultiViewChild *pane) {
  RECT r;
  if (m_zoomed) {
    GetClientRect(Handle(), &r);
  } else {
    const PaneNode *n = pane->m_node;
    if (!n) return;
    r = {n->left, n->top, n->left + n->width - 1, n->top + n->height - 1};
  }
  const bool active = pane == m_active || m_zoomed;
  HBRUSH outer = CreateSolidBrush(active ? m_borderActive : m_borderInactive);
  FrameRect(dc, &r, outer);
  DeleteObject(outer);
  InflateRect(&r, -1, -1);
  const COLORREF innerColor = active ? m_borderActive
                              : pane->ViewType() == VIEW_TYPE_REPORT ? m_borderInner
                                                                     : MainFrameHost()->ThemeColor(1);
  HBRUSH inner = CreateSolidBrush(innerColor);
  FrameRect(dc, &r, inner);
  DeleteObject(inner);
}

void TMultiViewMain::Paint() {
  HDC dc = Canvas()->Handle();
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH back = CreateSolidBrush(MainFrameHost()->ThemeColor(1));
  FillRect(dc, &client, back);
  DeleteObject(back);
  if (m_zoomed) {
    PaintFrames(dc, m_zoomed);
    return;
  }
  for (int i = 0; i < m_panes.GetCount(); ++i) PaintFrames(dc, m_panes.GetAt(i));
}

void TMultiViewMain::RepaintFramesOf(TMultiViewChild *pane) {
  if (!HandleAllocated() || !pane) return;
  HDC dc = ::GetDC(Handle());
  PaintFrames(dc, pane);
  ::ReleaseDC(Handle(), dc);
}

void TMultiViewMain::SetActiveChild(TMultiViewChild *pane) {
  if (!pane || pane == m_active) return;
  TMultiViewChild *old = m_active;
  m_active = pane;
  if (old) {
    old->m_active = 0;
    old->OnDeactivate();
    if (!m_zoomed) RepaintFramesOf(old);
  }
  pane->m_active = 1;
  pane->OnActivate();
  RepaintFramesOf(pane);
  pane->Show();
  pane->SetFocus();
}

// ---- Zoom, split, close ----------------------------------------------------------------

void TMultiViewMain::ZoomPane(TMultiViewChild *pane) {
  if (pane->m_zoomed) return;
  if (TMultiViewChild *other = m_zoomed) {
    other->m_zoomed = 0;
    if (other->m_cmdBox) {
      other->m_cmdBox->ReplaceKind(2, 1);
      other->m_cmdBox->Refresh();
    }
  }
  if (pane->m_cmdBox) {
    pane->m_cmdBox->ReplaceKind(1, 2);
    pane->m_cmdBox->Refresh();
  }
  pane->m_zoomed = 1;
  m_zoomed = pane;
  for (int i = 0; i < m_panes.GetCount(); ++i)
    if (m_panes.GetAt(i) != pane) m_panes.GetAt(i)->Hide();
  LayoutAll();
  if (pane != m_active) pane->Activate();
  Invalidate();
  PostRefresh();
}

void TMultiViewMain::RestorePane(TMultiViewChild *pane) {
  if (pane != m_zoomed) return;
  if (pane->m_cmdBox) {
    pane->m_cmdBox->ReplaceKind(2, 1);
    pane->m_cmdBox->Refresh();
  }
  pane->m_zoomed = 0;
  m_zoomed = nullptr;
  for (int i = 0; i < m_panes.GetCount(); ++i) m_panes.GetAt(i)->Show();
  LayoutAll();
  Invalidate();
  PostRefresh();
}

TMultiViewChild *TMultiViewMain::SplitPane(PaneNode *node, const VIEW_ATTR_13 *record, float ratio, int direction) {
  auto makeView = [this, record](PaneNode *at) -> TMultiViewChild * {
    if (!record || record->viewType == VIEW_TYPE_NONE) return new TMultiViewChild(this, nullptr, nullptr, at);
    return MakeView(record->viewType, this, record, nullptr, nullptr, at, 1);
  };
  if (!node->pane) {
    auto *only = new PaneNode;
    only->parent = node;
    only->side = kSideLeft;
    only->ratio = 1.0f;
    only->left = node->left;
    only->top = node->top;
    only->width = node->width;
    only->height = node->height;
    node->first = only;
    only->pane = makeView(only);
    Invalidate();
    return only->pane;
  }
  auto *keep = new PaneNode;
  auto *fresh = new PaneNode;
  keep->parent = fresh->parent = node;
  fresh->ratio = ratio;
  keep->ratio = 1.0f - ratio;
  if (direction == 1) {
    fresh->side = kSideBottom;
    keep->side = kSideTop;
  } else {
    fresh->side = kSideRight;
    keep->side = kSideLeft;
  }
  NodeRect(fresh);
  NodeRect(keep);
  if (direction == 1) {
    keep->height = node->height - fresh->height;
  } else {
    keep->width = node->width - fresh->width;
  }
  SetNodePane(keep, node->pane);
  node->pane = nullptr;
  node->first = keep;
  node->second = fresh;
  fresh->pane = makeView(fresh);
  Invalidate();
  return fresh->pane;
}

void TMultiViewMain::SplitRequest(UINT message, TMultiViewChild *pane) {
  if (m_zoomed) return;
  PaneNode *node = pane->m_node;
  if (!node) return;
  const bool horizontal = message == WM_MVM_SPLIT_HORZ;
  if ((horizontal && node->height < 100) || (!horizontal && node->width < 200)) {
    MessageBoxA(Handle(), "已有窗口太小，无法切分。  ", "提示", MB_TOPMOST | MB_ICONERROR);
    return;
  }
  VIEW_ATTR_13 record;
  std::memset(static_cast<void *>(&record), 0, sizeof record);
  PrepareEmptyRecord(&record);
  SplitPane(node, &record, 0.5f, horizontal ? 1 : 2);
  pane->Activate();
  LayoutPanes(node, true, true);
}

void TMultiViewMain::ClosePane(TMultiViewChild *pane) {
  if (!pane || pane->m_zoomed || !pane->m_node) return;
  PaneNode *node = pane->m_node;
  PaneNode *parent = node->parent;
  if (!parent || (parent == &m_root && !m_root.second)) return;
  if (pane == m_active && m_panes.GetCount() > 1) {
    TMultiViewChild *next = m_panes.GetAt(0) == pane ? m_panes.GetAt(1) : m_panes.GetAt(0);
    next->Activate();
  }
  PaneNode *sibling = parent->first == node ? parent->second : parent->first;
  parent->first = parent->second = nullptr;
  if (sibling) TakeOver(parent, sibling);
  FreePaneOf(node);
  if (m_dragNode == node) m_dragNode = nullptr;
  delete node;
  LayoutPanes(parent, true, true);
  Invalidate();
}

// ---- Views --------------------------------------------------------------------------

TMultiViewChild *TMultiViewMain::CreateView(PaneNode *node, const VIEW_ATTR_13 *record, int newsFlag, int saveOld) {
  TMultiViewChild *old = node ? node->pane : nullptr;
  if (!old || !record) return nullptr;
  if (saveOld) StoreViewData(old);
  VIEW_ATTR_13 rec = *record;
  if (TakesHandOverList(rec.viewType) && rec.HandOverList() && !AddRefViewStockList(rec.HandOverList()))
    rec.SetHandOverList(0);  // a list that is gone
  TMultiViewChild *view = MakeView(rec.viewType, this, &rec, old->m_viewData, old->m_history, node, newsFlag);
  view->m_linked = old->m_linked;
  view->m_requestTag = old->m_requestTag;
  node->pane = view;
  if (old == m_active) view->Activate();
  if (old->m_zoomed) {
    old->m_zoomed = 0;
    m_zoomed = view;
    view->m_zoomed = 1;
    if (view->m_cmdBox) {
      view->m_cmdBox->ReplaceKind(1, 2);
      view->m_cmdBox->Refresh();
    }
    LayoutAll();
  } else {
    LayoutPanes(node, true, true);
  }
  old->Hide();
  RemovePane(old);
  RecordHistory(view->m_history, old->m_attr);
  delete old;
  MainFrameHost()->ActivateMainWindow();
  std::memcpy(view->m_attr.webAddress, rec.webAddress, sizeof rec.webAddress);
  return view;
}

void TMultiViewMain::RecordHistory(EArray<VIEW_ATTR_13> *history, const VIEW_ATTR_13 &old) {
  if (!history) return;
  for (int i = history->GetCount() - 1; i >= 0; --i) {
    const VIEW_ATTR_13 &e = history->GetData()[i];
    if (e.viewType != old.viewType) continue;
    if (old.viewType == VIEW_TYPE_INTRADAY && (e.flags & kViewFlagTickMode) != (old.flags & kViewFlagTickMode)) continue;
    history->RemoveAt(i);
    break;
  }
  if (history->GetCount() >= kMaxHistory) history->RemoveAt(0, 5);
  history->Add(old);
}

TMultiViewChild *TMultiViewMain::FindView(int viewType, int any) {
  if (m_active && m_active->ViewType() == viewType && (any || m_active->m_linked)) return m_active;
  for (int i = 0; i < m_panes.GetCount(); ++i) {
    TMultiViewChild *pane = m_panes.GetAt(i);
    if (pane->ViewType() == viewType && (any || pane->m_linked)) return pane;
  }
  return nullptr;
}

int TMultiViewMain::ShowStockInLinkedViews(const VIEW_ATTR_13 *record, int zoom) {
  if (!record) return 0;
  int result = 0;
  bool zoomed = false;
  const uint32_t list = TakesHandOverList(record->viewType) ? record->HandOverList() : 0;
  for (int i = 0; i < m_panes.GetCount(); ++i) {
    TMultiViewChild *pane = m_panes.GetAt(i);
    const int type = pane->ViewType();
    if (!TakesHandOverList(type) || !pane->m_linked) continue;
    if (list) AddRefViewStockList(list);
    pane->Notify(1, record->stock.Word(), intptr_t(record->currentBlock), reinterpret_cast<intptr_t>(record));
    if (zoom && !zoomed && pane != m_zoomed) {
      PostMessageA(Handle(), WM_MVM_ACTIVATE_VIEW, 0, pane->PaneParam());
      zoomed = true;
    }
    result = IsChart(type) ? 1 : 0;
  }
  return result;
}

void TMultiViewMain::ShowRecord(const VIEW_ATTR_13 *record) {
  if (!record) return;
  if (ShowStockInLinkedViews(record, m_zoomed != nullptr)) return;
  if (!m_active || !m_active->m_node) return;
  TMultiViewChild *made = CreateView(m_active->m_node, record, 1, 1);
  if (!made || made->ViewType() != VIEW_TYPE_INTRADAY) return;
  const bool tick = (made->m_attr.flags & kViewFlagTickMode) != 0;
  if (tick != MainFrameHost()->TickChartFirst())
    if (TChartViewOps *ops = made->ChartOps()) ops->ToggleTickMode();
}

void TMultiViewMain::SwitchView(UINT message, TMultiViewChild *view, WPARAM wParam) {
  VIEW_ATTR_13 rec;
  std::memset(static_cast<void *>(&rec), 0, sizeof rec);
  PrepareEmptyRecord(&rec);
  int newsFlag = 1;
  const int current = view->ViewType();
  const bool tick = (view->m_attr.flags & kViewFlagTickMode) != 0;
  int type = VIEW_TYPE_REPORT;
  switch (message) {
    case WM_MVM_SHOW_REPORT: type = VIEW_TYPE_REPORT; break;
    case WM_MVM_SHOW_TICK:
    case WM_MVM_SHOW_MINUTE: {
      type = VIEW_TYPE_INTRADAY;
      const bool wantTick = message == WM_MVM_SHOW_TICK;
      if (current == VIEW_TYPE_INTRADAY) {
        if (TChartViewOps *ops = view->ChartOps()) {
          if (tick != wantTick) ops->ToggleTickMode();
          if (!wantTick && wParam) ops->ShowTrendOfDate(uint32_t(wParam));
        }
        return;
      }
      break;
    }
    case WM_MVM_SHOW_KLINE: type = VIEW_TYPE_KLINE; break;
    case WM_MVM_SHOW_TEXT: type = VIEW_TYPE_TEXT; break;
    case WM_MVM_SHOW_NEWS: type = VIEW_TYPE_NEWS; break;
    case WM_MVM_SHOW_WEB: {
      if (current == VIEW_TYPE_NEWS) return;
      if (GetPrivateProfileIntA("Option", "EnableCreateWebPage", 0, "..\\cfg\\Setting.ini") != 1) return;
      if (m_askingAddress) return;
      m_askingAddress = true;
      char address[128] = {};
      const bool ok = MainFrameHost()->AskWebAddress(address);
      m_askingAddress = false;
      if (!HasPane(view)) return;
      if (ok) {
        address[127] = 0;
        std::memset(view->m_attr.webAddress, 0, sizeof view->m_attr.webAddress);
        std::memcpy(view->m_attr.webAddress, address, strnlen(address, 127));
        std::memcpy(rec.webAddress, view->m_attr.webAddress, sizeof rec.webAddress);
        newsFlag = 0;
      }
      type = VIEW_TYPE_NEWS;
      break;
    }
    default:
      return;
  }
  if (current == type && message != WM_MVM_SHOW_WEB) return;

  bool fromHistory = false;
  const EArray<VIEW_ATTR_13> *history = view->m_history;
  for (int i = history ? history->GetCount() - 1 : -1; i >= 0; --i)
    if (history->GetData()[i].viewType == type) {
      char web[kWebAddressSize];
      std::memcpy(web, rec.webAddress, sizeof web);
      rec = history->GetData()[i];
      if (message == WM_MVM_SHOW_WEB && newsFlag == 0) std::memcpy(rec.webAddress, web, sizeof web);
      fromHistory = true;
      break;
    }
  if (!fromHistory) InitViewAttr(type, &rec);

  uint32_t madeList = 0;
  if (current != VIEW_TYPE_NONE) {
    rec.stock = view->m_attr.stock;
    rec.currentBlock = view->m_attr.currentBlock;
    if (TakesHandOverList(type)) {
      if (TakesHandOverList(current)) {
        rec.SetHandOverList(view->m_attr.HandOverList());
        rec.SetHandOverPosition(view->m_attr.HandOverPosition());
      } else if (current == VIEW_TYPE_REPORT) {
        int32_t position = 0;
        madeList = view->MakeHandOverList(&position);
        rec.SetHandOverList(madeList);
        rec.SetHandOverPosition(position);
      } else {
        rec.SetHandOverList(0);
      }
    }
  } else if (TakesHandOverList(type)) {
    rec.SetHandOverList(0);
  }
  TMultiViewChild *made = CreateView(view->m_node, &rec, type == VIEW_TYPE_NEWS ? newsFlag : 1, 1);
  if (madeList) DropUnusedViewStockList(madeList);
  if (!made || made->ViewType() != VIEW_TYPE_INTRADAY) return;
  made->m_attr.flags &= ~uint32_t(0x10);
  const bool madeTick = (made->m_attr.flags & kViewFlagTickMode) != 0;
  if (madeTick != (message == WM_MVM_SHOW_TICK))
    PostMessageA(Handle(), message, wParam, made->PaneParam());
  else if (message == WM_MVM_SHOW_MINUTE && wParam)
    if (TChartViewOps *ops = made->ChartOps()) ops->ShowTrendOfDate(uint32_t(wParam));
}

void TMultiViewMain::GoBack(TMultiViewChild *view) {
  EArray<VIEW_ATTR_13> *history = view->m_history;
  if (history && !history->IsEmpty()) {
    VIEW_ATTR_13 e = history->GetAt(history->GetCount() - 1);
    if (e.viewType == VIEW_TYPE_REPORT && e.stock.market == view->m_attr.stock.market) e.stock = view->m_attr.stock;
    if (TakesHandOverList(e.viewType)) {
      if (TakesHandOverList(view->ViewType())) {
        e.SetHandOverList(view->m_attr.HandOverList());
        e.SetHandOverPosition(view->m_attr.HandOverPosition());
      }
    }
    TMultiViewChild *made = CreateView(view->m_node, &e, 1, 1);
    if (made) made->m_history->ShrinkBy(std::min(2, made->m_history->GetCount()));
    return;
  }
  if (view->ViewType() == VIEW_TYPE_REPORT) return;
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_REPORT, &r);
  r.stock = view->m_attr.stock;
  TMultiViewChild *made = CreateView(view->m_node, &r, 1, 1);
  if (made) made->m_history->ShrinkBy(std::min(1, made->m_history->GetCount()));
}

void TMultiViewMain::StepView(UINT message, TMultiViewChild *view) {
  TChartViewOps *ops = view->ChartOps();
  if (!ops) return;
  const bool back = message == WM_MVM_STEP_BACK;
  if (view->ViewType() == VIEW_TYPE_KLINE) {
    ops->StepKey(back ? VK_LEFT : VK_RIGHT, TShiftState(ssShift));
  } else if (view->ViewType() == VIEW_TYPE_INTRADAY) {
    const bool tick = (view->m_attr.flags & kViewFlagTickMode) != 0;
    const WORD key = tick ? (back ? VK_LEFT : VK_RIGHT) : (back ? VK_DOWN : VK_UP);
    ops->StepKey(key, TShiftState(ssShift));
  }
}

// ---- Messages -------------------------------------------------------------------------

void TMultiViewMain::WndProc(TMessage &m) {
  auto pane = [&m, this]() -> TMultiViewChild * { return PaneById(m.LParam); };
  switch (m.Msg) {
    case WM_MVM_ACTIVATE_VIEW:
      if (TMultiViewChild *p = pane()) ZoomPane(p);
      return;
    case WM_MVM_RESTORE_VIEW:
      if (TMultiViewChild *p = pane()) RestorePane(p);
      return;
    case WM_MVM_SPLIT_HORZ:
    case WM_MVM_SPLIT_VERT:
      if (TMultiViewChild *p = pane()) SplitRequest(m.Msg, p);
      return;
    case WM_MVM_CLOSE_PANE:
      if (TMultiViewChild *p = pane()) ClosePane(p);
      return;
    case WM_MVM_SHOW_REPORT:
    case WM_MVM_SHOW_TICK:
    case WM_MVM_SHOW_MINUTE:
    case WM_MVM_SHOW_KLINE:
    case WM_MVM_SHOW_TEXT:
    case WM_MVM_SHOW_NEWS:
    case WM_MVM_SHOW_WEB:
      if (TMultiViewChild *p = pane()) SwitchView(m.Msg, p, m.WParam);
      return;
    case WM_MVM_BACK:
      if (TMultiViewChild *p = pane()) GoBack(p);
      return;
    case WM_MVM_STEP_BACK:
    case WM_MVM_STEP_FORWARD:
      if (TMultiViewChild *p = pane()) StepView(m.Msg, p);
      return;
    case WM_MOUSEMOVE: {
      const int x = short(LOWORD(m.LParam)), y = short(HIWORD(m.LParam));
      if (m_zoomed) {
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      } else if (m_dragging && m.WParam == MK_LBUTTON) {
        DragBorder(x, y);
      } else {
        // Side borders split across, top and bottom ones down.
        PaneNode *node = nullptr;
        const int edge = HitTest(x, y, &node);
        SetCursor(LoadCursorA(nullptr, edge == 0 ? IDC_ARROW : edge <= 2 ? IDC_SIZEWE : IDC_SIZENS));
      }
      break;
    }
    case WM_LBUTTONDOWN:
      if (!m_zoomed) BeginDrag(short(LOWORD(m.LParam)), short(HIWORD(m.LParam)));
      break;
    case WM_LBUTTONUP:
      if (m_dragging) EndDrag();
      break;
    case WM_KEYDOWN:
      if (m_active && m_active->HandleAllocated()) PostMessageA(m_active->Handle(), WM_KEYDOWN, m.WParam, m.LParam);
      break;
    case WM_ERASEBKGND:
      m.Result = 1;
      return;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_RESTORE || (m.WParam & 0xFFF0) == SC_MINIMIZE) return;
      break;
    default:
      break;
  }
  TForm::WndProc(m);
}
