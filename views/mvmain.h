// The page: one form that fills the main window's client area and divides
// it by a binary split tree into panes, each showing one view. The page
// lays the panes out, paints their borders, lets the user drag borders
// (and new panes out of its outer edges), splits, closes and zooms panes,
// switches the view of a pane through the view factory, keeps each pane's
// back history, shows an instrument in the linked views, and opens and
// saves page files (pagefile.cpp).
//
// Page and pane messages are posted with the pane's number in lParam
// (TMultiViewChild::PaneParam); a message whose pane has meanwhile been
// replaced or closed finds no pane of that number, and is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "core/earray.h"
#include "classlib/forms.h"
#include "views/mvchild.h"
#include "views/viewattr.h"

// A node of the split tree; heap, owned by the page.
struct PaneNode {
  PaneNode *parent = nullptr;
  PaneNode *first = nullptr;
  PaneNode *second = nullptr;
  TMultiViewChild *pane = nullptr;  // leaves only
  int32_t left = 0, top = 0, width = 0, height = 0;
  uint32_t side = 1;  // 1 left, 2 right, 3 top, 4 bottom part of the parent
  float ratio = 1.0f;
};

// Sides of a node, and edges of the hit test.
constexpr uint32_t kSideLeft = 1;
constexpr uint32_t kSideRight = 2;
constexpr uint32_t kSideTop = 3;
constexpr uint32_t kSideBottom = 4;

constexpr int kMinPaneWidth = 100;
constexpr int kMinPaneHeight = 50;
constexpr int kMaxHistory = 20;

// What a page file held for a pane that the program could not resolve when
// it was read (report tabs of blocks that are gone, overlay instruments
// from the first unknown one): written back as it was on the next save.
struct PaneKeptTexts {
  std::vector<std::string> tabNames;
  std::vector<std::string> overlayTexts;
};

// ---- The view factory ----------------------------------------------------------

// Makes a view of a type: with the page, the record (null: the view fills
// its defaults), the pane's view data and back history (null: new ones) and
// the node. newsFlag goes to the news view only.
using ViewCreator = TMultiViewChild *(*)(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                                         EArray<VIEW_ATTR_13> *history, PaneNode *node, int newsFlag);
// Registers the class of a view type; null puts the placeholder back. The
// views of the program register themselves when they are built in.
void RegisterViewClass(int viewType, ViewCreator creator);
// A view of a known type (the placeholder until its class is registered);
// any other type, 0 included, gives a quote report made without a record.
TMultiViewChild *MakeView(int viewType, TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                          EArray<VIEW_ATTR_13> *history, PaneNode *node, int newsFlag);

// ---- The overlay of border drags -------------------------------------------------

// One for the whole program: a borderless child window laid over the page
// while a border is dragged. It shows what the page showed when the drag
// began, and the drag lines are drawn on it with an XOR pen, so drawing a
// line twice takes it away again.
class TTranspWnd : public TForm {
 public:
  explicit TTranspWnd(TComponent *owner);
  ~TTranspWnd() override;
  // Covers the page's client area (in the page's parent, else in the page)
  // with a copy of what the page shows.
  void Cover(TMultiViewMain *page);
  void Uncover();
  // Three parallel XOR lines across a node: vertical at x (across) or
  // horizontal at y.
  void XorLines(bool vertical, int at, int from, int to);
  // A pixel of the overlay's picture.
  COLORREF PixelAt(int x, int y) const;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;

 private:
  HDC m_memDC = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_oldBitmap = nullptr;
  int m_width = 0, m_height = 0;
};

// ---- The page -----------------------------------------------------------------------

class TMultiViewMain : public TForm {
 public:
  // openMode: 0 a page file (the path given, else the last one), 1 an empty
  // page, 2 the default page. The page is opened by FormCreate.
  TMultiViewMain(TWinControl *mainWindow, int openMode, const char *pagePath);
  ~TMultiViewMain() override;

  // Opens the page as the open mode says.
  void FormCreate();
  // Replaces the whole page (auto-saving the current one for modes 0 and
  // 2 when the main window asks for it).
  void OpenPage(const char *path, int mode);
  // Auto-saves and frees the tree (the page is closing).
  void FormClose();
  void FormResize();

  // ---- tree and layout ----
  void LayoutAll();
  void LayoutPanes(PaneNode *node, bool place, bool collapse);
  static void NodeRect(PaneNode *node);
  // Edge 1..4 of the first node (pre-order) whose border holds the point.
  int HitTest(int x, int y, PaneNode **node);
  // The least size of a subtree: 100 per pane side by side across, 50 per
  // pane stacked down; a bare leaf has none.
  static int MinimumSize(const PaneNode *node, bool across);
  void DragBorder(int x, int y);
  void BeginDrag(int x, int y);
  void EndDrag();

  // ---- panes and views ----
  void SetActiveChild(TMultiViewChild *pane);
  TMultiViewChild *CreateView(PaneNode *node, const VIEW_ATTR_13 *record, int newsFlag, int saveOld);
  TMultiViewChild *FindView(int viewType, int any);
  int ShowStockInLinkedViews(const VIEW_ATTR_13 *record, int zoom);
  // What the main window does with WM_MF_EVENT (event 0, group 0): the
  // record goes to the linked views, or else replaces the active pane's
  // view; a new intraday view follows "闪电图优先(&T)". Null is ignored.
  void ShowRecord(const VIEW_ATTR_13 *record);
  TMultiViewChild *SplitPane(PaneNode *node, const VIEW_ATTR_13 *record, float ratio, int direction);
  void ClosePane(TMultiViewChild *pane);
  void ZoomPane(TMultiViewChild *pane);
  void RestorePane(TMultiViewChild *pane);
  void SwitchView(UINT message, TMultiViewChild *view, WPARAM wParam);
  void GoBack(TMultiViewChild *view);
  void StepView(UINT message, TMultiViewChild *view);
  void SplitRequest(UINT message, TMultiViewChild *pane);
  static void RecordHistory(EArray<VIEW_ATTR_13> *history, const VIEW_ATTR_13 &old);
  // True when the pane is one of the page's.
  bool HasPane(const TMultiViewChild *pane) const;
  // The page's pane of a number (TMultiViewChild::PaneParam), or null.
  TMultiViewChild *PaneById(LPARAM id) const;
  void AddPane(TMultiViewChild *pane);
  void RemovePane(TMultiViewChild *pane);
  int PaneCount() const { return m_panes.GetCount(); }
  TMultiViewChild *PaneAt(int i) const { return m_panes.GetAt(i); }

  // ---- page files (pagefile.cpp) ----
  // Reads a page file into the tree; false (the file set aside where it
  // must be) when it can't be used.
  bool LoadPage(const char *path);
  // 2 auto-save, 0 save, 1 save as. True when a file was written.
  bool SavePage(int mode);
  void StoreViewData(TMultiViewChild *pane);
  // The page as page-file bytes (magic, name, length, tree).
  std::string PageBytes(const char (&name)[64]);
  // Asks the name of a new page (save as); the page manager in save mode
  // unless a caller puts something else here.
  std::function<bool(char (&name)[64])> AskPageName;

  void WndProc(TMessage &message) override;

  // ---- members ----
  PaneNode m_root;
  int32_t m_openMode = 0;
  uint32_t m_lastMouse = 0;
  uint32_t m_dragEdge = 0;
  PaneNode *m_dragNode = nullptr;
  uint8_t m_dragging = 0;
  EArray<TMultiViewChild *> m_panes{20};
  TMultiViewChild *m_active = nullptr;
  TMultiViewChild *m_zoomed = nullptr;
  std::string m_pagePath;
  COLORREF m_borderInactive = 0;
  COLORREF m_borderInner = 0;
  COLORREF m_borderActive = 0;
  // Whether a web-address dialog is open (only one at a time).
  bool m_askingAddress = false;
  // The overlay of border drags.
  TTranspWnd *m_overlay = nullptr;
  // Kept texts by the pane's view data (which stays with the place in the tree).
  std::map<const MVCDATA_12 *, PaneKeptTexts> m_kept;

 protected:
  void Paint() override;
  void Resize() override;

 private:
  void FreeTree(PaneNode *node);
  bool BuildFromFile(const struct PageFile &file);
  void AppendNode(std::string &out, PaneNode *node);
  void FreePaneOf(PaneNode *node);
  void ResetPage();
  void OpenDefaultReport();
  void PaintFrames(HDC dc, TMultiViewChild *pane);
  void DrawDragLines(int at);
  void RepaintFramesOf(TMultiViewChild *pane);
  void PostRefresh();
};

// The main window's page, when there is one (the page sets and clears it).
TMultiViewMain *&CurrentPage();
