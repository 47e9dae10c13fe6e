#include "testing/drawview_double.h"

#include "platform/gdi.h"
#include "platform/winuser.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"

namespace testing_support {

int TDrawViewDouble::Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) {
  if (code == 1) {
    m_attr.stock = STKPTR(stock);
    LoadInstrumentSettings();
    DrawQuotePanel();
    Invalidate();
  }
  return TDrawView::Notify(code, stock, firstExtra, secondExtra);
}

void TDrawViewDouble::Paint() {
  HDC dc = Canvas()->Handle();
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &client, back);
  DeleteObject(back);
  // The chart area: a frame in the grid colour left of the panel.
  RECT chart = {4, 4, (Panel1->Visible() && Panel1->Align() != alLeft ? Panel1->Left() : client.right) - 4,
                client.bottom - 4};
  HBRUSH frame = CreateSolidBrush(ViewColor(2));
  FrameRect(dc, &chart, frame);
  DeleteObject(frame);
  ViewPainted = true;
  PaintFlags &= ~kPaintRebuild;
  if (OnPaint) OnPaint(this);
}

namespace {
template <int Type>
TMultiViewChild *Make(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                      EArray<VIEW_ATTR_13> *history, PaneNode *node, int) {
  VIEW_ATTR_13 r{};
  if (record) r = *record;
  else InitViewAttr(Type, &r);
  r.viewType = Type;
  return new TDrawViewDouble(page, &r, viewData, history, node);
}
}  // namespace

TDrawViewRegistration::TDrawViewRegistration() {
  RegisterViewClass(VIEW_TYPE_INTRADAY, Make<VIEW_TYPE_INTRADAY>);
  RegisterViewClass(VIEW_TYPE_KLINE, Make<VIEW_TYPE_KLINE>);
}

TDrawViewRegistration::~TDrawViewRegistration() {
  RegisterViewClass(VIEW_TYPE_INTRADAY, nullptr);
  RegisterViewClass(VIEW_TYPE_KLINE, nullptr);
}

}  // namespace testing_support
