// The detail list's own drawing and handlers: the trade rows with their
// nature, the broker queue, the scroll lock with its framed selection, and
// the big-order dialog.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charts/drawview.h"
#include "charts/tradenature.h"
#include "core/dbase.h"
#include "core/etooltip.h"
#include "market/reqbuild.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/dlgtext.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"
#include "views/viewservices.h"

namespace {

HFONT DetailFont(HFONT font) { return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

bool DetailIndexKind(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  if (!m || stock.stock >= m->m_loadedCount) return false;
  const int kind = StockKindOf(m, stock.stock);
  return kind >= 0 && kind < kMaxStockKinds && m->m_info.kinds[kind].noOrderBook;
}

// Right-aligned 2 pixels from the cell's right edge; "***" when it does
// not fit.
void DetailTextInCell(HDC dc, const TRect &cell, const char *text, COLORREF color) {
  SIZE s{};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
  const char *shown = int(s.cx) > cell.Width() ? "***" : text;
  RECT r{cell.Left, cell.Top, cell.Right - 2, cell.Bottom};
  SetTextColor(dc, color);
  DrawTextA(dc, shown, -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

COLORREF DetailSideColor(uint8_t side) { return ViewColor(side == 0 ? 21 : side == 1 ? 19 : 20); }

}  // namespace

TBigAmount::TBigAmount(TComponent *owner) : TForm(owner) {
  SetCaption("大单提取");
  SetBorderStyle(bsDialog);
  Position = poScreenCenter;
  SetClientWidth(260);
  SetClientHeight(130);
  auto *hint = new TLabel(this);
  hint->SetParent(this);
  hint->SetCaption("现手大于等于以下标准时才在明细中显示:");
  hint->SetBounds(12, 10, 236, 14);
  auto *label = new TLabel(this);
  label->SetParent(this);
  label->SetCaption("大单标准:");
  label->SetBounds(12, 38, 60, 14);
  Edit1 = new TEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(76, 34, 80, 20);
  Edit1->SetText("0");
  UpDown1 = new TUpDown(this);
  UpDown1->SetParent(this);
  UpDown1->SetBounds(156, 34, 16, 20);
  UpDown1->Min = 0;
  UpDown1->Max = 32767;
  UpDown1->Associate = Edit1;
  XPCheckBox1 = new TCheckBox(this);
  XPCheckBox1->SetParent(this);
  XPCheckBox1->SetCaption("大单提取功能始终有效");
  XPCheckBox1->SetBounds(12, 66, 200, 18);
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("确定");
  Button1->SetBounds(176, 96, 72, 24);
  Button1->SetDefault(true);
  Button1->ModalResult = mrOk;
}

void TDrawView::StringGrid1DrawCell(int column, int row, const TRect &rect) {
  HDC dc = StringGrid1->Canvas()->Handle();
  RECT all{rect.Left, rect.Top, rect.Right + 1, rect.Bottom};
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &all, back);
  DeleteObject(back);
  HGDIOBJ oldFont = SelectObject(dc, DetailFont(ViewFont3));
  SetBkMode(dc, TRANSPARENT);
  auto done = [&] { SelectObject(dc, oldFont); };
  if (Panel1->Height() <= QuotePanelHeight) return done();
  const TMarketData *market = MarketOf(m_attr.stock);
  const int type = market ? market->m_info.type : 0;
  const bool index = DetailIndexKind(m_attr.stock);

  if (BrokerQueueMode && type == 6) {
    if (row == 0) {
      SelectObject(dc, DetailFont(ViewFont2));
      DetailTextInCell(dc, rect, column == 0 ? "买队列" : "卖队列", ViewColor(31));
      return done();
    }
    const BROKERQUEUE *queue =
        market->m_brokerQueues && m_attr.stock.stock < market->m_loadedCount ? &market->m_brokerQueues[m_attr.stock.stock]
                                                                            : nullptr;
    const int side = column == 0 ? 0 : 1;
    if (!queue || column > 1 || row > queue->Count(side)) return done();
    const BROKERENTRY &e = queue->side[side][row - 1];
    char text[32];
    if (e.marker == 0)
      std::snprintf(text, sizeof text, "%04d", int(e.value));
    else
      std::snprintf(text, sizeof text, side == 0 ? "  -%i" : "  +%i", int(e.value));
    DetailTextInCell(dc, rect, text, ViewColor(31));
    return done();
  }

  if (row == 0 && StringGrid1->RowCount() > 1) {
    SelectObject(dc, DetailFont(ViewFont2));
    const COLORREF header = ViewColor(55);
    if (column == 0) {
      const int kind = market ? StockKindOf(market, m_attr.stock.stock) : -1;
      const std::string name =
          kind >= 0 && kind < kMaxStockKinds ? FieldText(market->m_info.kinds[kind].name, 8) : std::string();
      RECT r{rect.Left + 2, rect.Top, rect.Right, rect.Bottom};
      SetTextColor(dc, header);
      DrawTextA(dc, name.c_str(), -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
      const char *text = "";
      if (column == 1) text = "价格";
      if (column == 2) text = index ? "现额" : BigOrderThreshold >= 2 ? "√大单" : type == 8 ? "现量" : "现手";
      if (column == 3) text = type == 8 ? "订差" : "仓差";
      if (column == 4) text = "性质";
      DetailTextInCell(dc, rect, text, header);
    }
    return done();
  }

  int count = 0;
  const TICKREC *trades = DetailSeries(&count);
  if (!trades || count <= 0 || row < 1) return done();
  int number = (m_attr.displayFlags & 0x1) ? StringGrid1->RowCount() - row - 1 : row - 1;
  if (BigOrderThreshold >= 2) {
    if (number < 0 || number >= DetailIndexCapacity || !DetailIndex) return done();
    number = DetailIndex[number];
  }
  if (number < 0 || number >= count) return done();
  const TICKREC &t = trades[number];
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const REALQUOTE *quote = QuoteOf(m_attr.stock.market, m_attr.stock.stock);
  char text[48];
  switch (column) {
    case 0: {
      int hour = int(PackedHour(t.time));
      ShiftHourByZone(&TimeZoneTable, m_attr.stock.market, info ? info->kind : 0, &hour);
      std::snprintf(text, sizeof text, "%02d:%02d", hour, int(PackedMinute(t.time)));
      RECT r{rect.Left + 5, rect.Top, rect.Right, rect.Bottom};
      SetTextColor(dc, ViewColor(31));
      DrawTextA(dc, text, -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    case 1: {
      const double m = ConvertedPrices && PriceMultiplier > 0 && std::isfinite(PriceMultiplier) ? PriceMultiplier : 1.0;
      const int decimals = std::clamp(ConvertedPrices ? ConvertedDecimals : (info ? int(info->decimals) : 2), 0, 8);
      std::snprintf(text, sizeof text, "%.*f", decimals, double(t.price) * m / (info ? info->PriceDivisor() : 1000));
      DetailTextInCell(dc, rect, text, GetCompareColor(int32_t(t.price), quote ? int32_t(quote->refPrice) : 0));
      break;
    }
    case 2:
      if (index) {
        const double previous = number > 0 ? trades[number - 1].amount : 0;
        const double amount = number > 0 ? std::max(double(t.amount) - previous, 0.0) : double(t.amount);
        FormatBigNumber(amount, text, sizeof text);
        DetailTextInCell(dc, rect, text, ViewColor(33));
      } else {
        std::snprintf(text, sizeof text, "%.0f", std::trunc(double(t.volume) / (info ? info->VolumeUnit() : 1)));
        DetailTextInCell(dc, rect, text, DetailSideColor(t.side));
      }
      break;
    case 3:
    case 4: {
      if (type != 2 && type != 8) break;
      const float before = number > 0 ? trades[number - 1].amount : (quote ? quote->prevOpenInterest : 0.0f);
      const float change = t.amount - before;
      if (column == 3) {
        std::snprintf(text, sizeof text, "%+.0f", double(change));
        DetailTextInCell(dc, rect, text, ViewColor(33));
      } else {
        SelectObject(dc, DetailFont(ViewFont2));
        DetailTextInCell(dc, rect, TradeNature(t.volume, change, info ? info->VolumeUnit() : 1, t.side, type),
                       DetailSideColor(t.side));
      }
      break;
    }
    default:
      break;
  }

  // The locked list frames its selected row.
  if (DetailScrollLock && StringGrid1->RowCount() > 1 && row == StringGrid1->Row()) {
    HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(33));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    auto line = [dc](int x1, int y1, int x2, int y2) {
      MoveToEx(dc, x1, y1, nullptr);
      LineTo(dc, x2, y2);
    };
    line(rect.Left, rect.Top, rect.Right + 1, rect.Top);
    line(rect.Left, rect.Top + 1, rect.Right + 1, rect.Top + 1);
    line(rect.Left, rect.Bottom - 1, rect.Right + 1, rect.Bottom - 1);
    line(rect.Left, rect.Bottom - 2, rect.Right + 1, rect.Bottom - 2);
    if (column == 0) {
      line(rect.Left, rect.Top, rect.Left, rect.Bottom);
      line(rect.Left + 1, rect.Top, rect.Left + 1, rect.Bottom);
    }
    if (column == StringGrid1->ColCount() - 1) {
      line(rect.Right - 1, rect.Top, rect.Right - 1, rect.Bottom);
      line(rect.Right - 2, rect.Top, rect.Right - 2, rect.Bottom);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  done();
}

void TDrawView::StringGrid1DblClick(TObject *) {
  if (BrokerQueueMode) return;
  DetailScrollLock = !DetailScrollLock;
  if (!DetailScrollLock) {
    ShowNewestTrade();
  } else if (TradeAgent < 0 && HandleAllocated()) {
    TradeAgent = AcquireDataAgent(m_attr.stock, kAgentTicks, 0, Handle());
    StringGrid1->Invalidate();
    LayoutDetailList(true);
  }
  StringGrid1->Invalidate();
}

void TDrawView::StringGrid1SelectCell(int row) {
  if (BrokerQueueMode) {
    StringGrid1->Tag = 0;
    return;
  }
  const int visible = std::max(1, StringGrid1->Height() / std::max(StringGrid1->DefaultRowHeight(), 1));
  const int shown = std::min(visible, StringGrid1->RowCount()) - StringGrid1->FixedRows();
  const int top = StringGrid1->TopRow();
  StringGrid1->Tag = std::max(row > top + shown - 1 ? shown - 1 : row - top, 0);
}

void TDrawView::StringGrid1TopLeftChanged(TObject *) {
  if (!DetailScrollLock || BrokerQueueMode) return;
  StringGrid1->SetRow(std::min(StringGrid1->TopRow() + int(StringGrid1->Tag), StringGrid1->RowCount() - 1));
}

void TDrawView::StringGrid1MouseDown(TMouseButton button, int x, int y) {
  Activate();
  if (button == mbRight) {
    POINT p{x, y};
    if (StringGrid1->HandleAllocated()) ::ClientToScreen(StringGrid1->Handle(), &p);
    ShowContextMenu(p.x, p.y);
    return;
  }
  int column = -1, row = -1;
  StringGrid1->MouseToCell(x, y, column, row);
  if (button == mbLeft && row == 0 && column == 2 && !DetailIndexKind(m_attr.stock) && !BrokerQueueMode) dadantiquClick();
}

void TDrawView::dadantiquClick(TObject *) {
  if (!Panel1->Visible()) return;
  MainFrameHost()->SetDialogOpen(true);
  const std::string defui = std::string(UserDataPath) + "defui.ini";
  {
    TBigAmount dialog(this);
    dialog.XPCheckBox1->SetChecked(GetPrivateProfileIntA("UI", "BVEnabled", 0, defui.c_str()) != 0);
    dialog.Edit1->SetText(std::to_string(BigOrderThreshold));
    dialog.UpDown1->SetPosition(BigOrderThreshold);
    if (dialog.ShowModal() == mrOk) {
      BigOrderThreshold = ClampBigOrderThreshold(dialog.Edit1->Text().c_str());
      char text[16];
      std::snprintf(text, sizeof text, "%i", BigOrderThreshold);
      WritePrivateProfileStringA("UI", "BigVol", text, defui.c_str());
      WritePrivateProfileStringA("UI", "BVEnabled", dialog.XPCheckBox1->Checked() ? "1" : "0", defui.c_str());
      if (BigOrderThreshold > 1 && TradeAgent < 0 && HandleAllocated())
        TradeAgent = AcquireDataAgent(m_attr.stock, kAgentTicks, 0, Handle());
      StringGrid1->Invalidate();
      LayoutDetailList(true);
      StringGrid1->Update();
    }
  }
  MainFrameHost()->SetDialogOpen(false);
}

TDbfTable *&BrokerTable() {
  static TDbfTable *table = nullptr;
  return table;
}

void TDrawView::showbrokerClick(TObject *) {
  const TMarketData *market = MarketOf(m_attr.stock);
  if (!market || market->m_info.type != 6) return;
  if (!BrokerQueueMode) {
    if (!BrokerTable()) {
      static const char kPath[] = "..\\cfg\\Brokerlist.dbf";
      if (GetFileAttributesA(kPath) == INVALID_FILE_ATTRIBUTES) {
        MessageBoxA(Handle(), "经纪商序号文件丢失，无法显示经纪队列。  ", "警告", MB_ICONWARNING | MB_TOPMOST);
        return;
      }
      auto *table = new TDbfTable(kPath);
      if (!table->Open(true)) {
        delete table;
        MessageBoxA(Handle(), "经纪商序号文件格式错误，无法显示经纪队列。  ", "警告", MB_ICONWARNING | MB_TOPMOST);
        return;
      }
      BrokerTable() = table;
    }
    if (ViewServices().hasRequestClient && ViewServices().hasRequestClient())
      RequestBrokerQueue(m_attr.stock.market, m_attr.stock.stock);
    showbroker->Caption = "显示成交明细(&B)";
    BrokerQueueMode = true;
  } else {
    showbroker->Caption = "显示经纪队列(&B)";
    BrokerQueueMode = false;
  }
  MsgPage->Invalidate();
  LayoutDetailList(true);
  StringGrid1->Invalidate();
}

void TDrawView::StringGrid1MouseMove(int x, int y) {
  EToolTip *tip = MainFrameHost()->SharedToolTip();
  const TMarketData *market = MarketOf(m_attr.stock);
  char name[64] = {};
  const bool inside = x > 5 && y > 5 && x < StringGrid1->Width() - 5 && y < StringGrid1->Height() - 5;
  if (BrokerQueueMode && market && market->m_info.type == 6 && BrokerTable() && inside && market->m_brokerQueues &&
      m_attr.stock.stock < market->m_loadedCount) {
    int column = -1, row = -1;
    StringGrid1->MouseToCell(x, y, column, row);
    const BROKERQUEUE &queue = market->m_brokerQueues[m_attr.stock.stock];
    if ((column == 0 || column == 1) && row >= 1 && row <= queue.Count(column))
      FindBrokerName(BrokerTable(), queue.side[column][row - 1], name);
  }
  if (!tip) return;
  HWND frame = MainFrameHost()->MainWindow();
  if (!name[0] || !frame) {
    tip->Hide();
    return;
  }
  POINT p{x - 5 * int(std::strlen(name)), y - 18};
  if (StringGrid1->HandleAllocated()) {
    ::ClientToScreen(StringGrid1->Handle(), &p);
    ::ScreenToClient(frame, &p);
  }
  tip->Show(p, name, frame);
}
