// Writes a sheet of the XP-look up-down, list view, tabs and string grid in
// their states under <build>/pictures/, for a person to look at.
#include <gtest/gtest.h>

#include <QImage>

#include "core/kivoscrollbar.h"
#include "core/msgdrawgrid.h"
#include "core/xplistview.h"
#include "core/xppagecontrol.h"
#include "core/xpstringgrid.h"
#include "core/xptabcontrol.h"
#include "core/xpupdown.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "tests/core/xp_test_support.h"
#include "testing/host_pointer.h"
#include "testing/view_harness.h"

namespace {

using testing_support::PictureSheet;
using testing_support::ViewHarness;

// The whole window with its frame, as a frame context sees it.
QImage WithFrame(ViewHarness &h, HWND hwnd) {
  h.Pump();
  SendMessageA(hwnd, WM_NCPAINT, 1, 0);
  QImage client = h.Render(hwnd);
  RECT w;
  GetWindowRect(hwnd, &w);
  QImage image(w.right - w.left, w.bottom - w.top, QImage::Format_RGB32);
  HDC dc = GetWindowDC(hwnd);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      COLORREF c = GetPixel(dc, x, y);
      image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  ReleaseDC(hwnd, dc);
  RECT c;
  GetClientRect(hwnd, &c);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  int border = (image.width() - int(c.right)) / 2;
  for (int y = 0; y < client.height() && y + border < image.height(); ++y)
    for (int x = 0; x < client.width() && x + border < image.width(); ++x)
      image.setPixel(x + border, y + border, client.pixel(x, y));
  return image;
}

QImage Scaled(const QImage &image, int factor) { return image.scaled(image.size() * factor); }

TEST(XPControlsSheet, EveryControlInItsStates) {
  testing_support::ScopedHostPointer pointer;
  ViewHarness h;
  PictureSheet sheet(4);
  TForm form{nullptr};
  form.SetBounds(0, 0, 640, 480);
  form.SetColor(RGB(236, 233, 216));
  form.Show();
  h.Pump();

  // Up-down in each state, magnified.
  {
    auto *updown = new TXPUpDown(&form);
    updown->SetParent(&form);
    updown->SetBounds(10, 10, 16, 21);
    h.Pump();
    HWND w = updown->Handle();
    pointer.At(w, 8, 2);
    struct State {
      const char *label;
      int y;
      UINT keys;
    } states[] = {{"up-down normal", 10, 0},
                  {"up-down upper hot", 2, 0},
                  {"up-down lower hot", 18, 0},
                  {"up-down upper pressed", 2, MK_LBUTTON},
                  {"up-down lower pressed", 18, MK_LBUTTON}};
    for (const State &s : states) {
      h.MouseMove(w, 8, s.y, s.keys);
      sheet.Add(s.label, Scaled(h.Render(w), 4));
    }
    delete updown;
    pointer.Away();
  }

  // Owner-painted scroll bar.
  {
    auto *bar = new TKivoScrollBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(10, 10, 160, 17);
    bar->OnDraw = [](TObject *, HDC dc, RECT *r) {
      TRIVERTEX v[2] = {{0, 0, 0x4000, 0x6000, 0xE000, 0}, {r->right, r->bottom, 0xE000, 0xF000, 0xFF00, 0}};
      GRADIENT_RECT g{0, 1};
      GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_H);
    };
    sheet.Add("scroll bar painted by its owner", h.Render(bar->Handle()));
    delete bar;
  }

  // Message draw grid (draws as a draw grid).
  {
    auto *grid = new TMsgDrawGrid(&form);
    grid->SetParent(&form);
    grid->SetBounds(10, 10, 200, 90);
    grid->SetColCount(4);
    grid->SetRowCount(4);
    grid->SetDefaultColWidth(48);
    grid->SetDefaultRowHeight(20);
    sheet.Add("message draw grid", h.Render(grid->Handle()));
    delete grid;
  }

  // List view with its flat header.
  {
    auto *list = new TXPListView(&form);
    list->SetParent(&form);
    list->SetBounds(10, 10, 260, 120);
    h.Pump();
    xp_test::OldHeaderProc() = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list->HeaderHandle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&xp_test::FlatHeaderProc)));
    InvalidateRect(list->HeaderHandle(), nullptr, TRUE);
    sheet.Add("list view, no columns", WithFrame(h, list->Handle()));
    const char *captions[] = {"Code", "Name", "Price"};
    TAlignment aligns[] = {taLeftJustify, taCenter, taRightJustify};
    for (int i = 0; i < 3; ++i) {
      TListColumn *c = list->Columns()->Add();
      c->SetCaption(captions[i]);
      c->SetWidth(80);
      c->SetAlignment(aligns[i]);
    }
    for (int i = 0; i < 8; ++i) {
      TListItem *item = list->Items()->Add();
      item->SetCaption("IF" + std::to_string(2401 + i));
      item->SubItems()->Add("Index future");
      item->SubItems()->Add(std::to_string(3500 + 7 * i));
    }
    list->Items()->Item(2)->SetSelected(true);
    sheet.Add("list view with flat header", WithFrame(h, list->Handle()));
    SetWindowLongPtrA(list->HeaderHandle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(xp_test::OldHeaderProc()));
    delete list;
  }

  // Tabs: on the dialog colour and on white, with a hot tab, disabled.
  for (COLORREF parent : {RGB(236, 233, 216), RGB(255, 255, 255)}) {
    form.SetColor(parent);
    auto *tabs = new TXPTabControl(&form);
    tabs->SetParent(&form);
    tabs->SetBounds(10, 10, 240, 90);
    for (const char *t : {"Quotes", "Orders", "Positions"}) tabs->Tabs()->Add(t);
    tabs->SetTabIndex(0);
    h.Pump();
    sheet.Add(parent == RGB(255, 255, 255) ? "tab control on white" : "tab control", Scaled(h.Render(tabs->Handle()), 2));
    TRect r = tabs->TabRect(2);
    pointer.At(tabs->Handle(), r.Left + 8, r.Top + 8);
    tabs->Invalidate();
    sheet.Add("tab control, third tab hot", Scaled(h.Render(tabs->Handle()), 2));
    pointer.Away();
    tabs->SetEnabled(false);
    tabs->Invalidate();
    sheet.Add("tab control disabled", Scaled(h.Render(tabs->Handle()), 2));
    delete tabs;
  }
  form.SetColor(RGB(236, 233, 216));
  {
    auto *pages = new TXPPageControl(&form);
    pages->SetParent(&form);
    pages->SetBounds(10, 10, 240, 90);
    for (const char *t : {"General", "Display"}) {
      auto *sheetPage = new TTabSheet(&form);
      sheetPage->SetPageControl(pages);
      sheetPage->SetCaption(t);
    }
    pages->SetActivePageIndex(1);
    sheet.Add("page control", Scaled(h.Render(pages->Handle()), 2));
    delete pages;
  }

  // String grid: current cell, row selection, scrolled.
  {
    auto *grid = new TXPStringGrid(&form);
    grid->SetParent(&form);
    grid->SetBounds(10, 10, 260, 130);
    grid->SetColCount(5);
    grid->SetRowCount(12);
    grid->SetDefaultColWidth(50);
    grid->SetDefaultRowHeight(18);
    for (int r = 0; r < 12; ++r)
      for (int c = 0; c < 5; ++c) grid->SetCells(c, r, r == 0 ? "Head" : c == 0 ? std::to_string(r) : "1234");
    grid->SetCol(2);
    grid->SetRow(3);
    sheet.Add("string grid, current cell", WithFrame(h, grid->Handle()));
    grid->SetOptions(grid->Options() | goRowSelect);
    sheet.Add("string grid, row select", WithFrame(h, grid->Handle()));
    grid->SetTopRow(6);
    grid->SetLeftCol(2);
    sheet.Add("string grid, scrolled", WithFrame(h, grid->Handle()));
    delete grid;
  }

  std::string path = h.SavePng(sheet.Compose(), "xp_controls_b");
  EXPECT_FALSE(path.empty());
}

}  // namespace
