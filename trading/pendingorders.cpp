#include "trading/pendingorders.h"

#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/tradelog.h"

uint32_t NextPendingOrderNumber(TTradeDesk &desk) {
  const std::string file = desk.AccountFile("Consign.ini");
  char value[32] = {};
  GetPrivateProfileStringA("Config", "Pending", "10000001", value, sizeof value, file.c_str());
  const uint32_t number = uint32_t(strtoul(value, nullptr, 10));
  char next[16];
  snprintf(next, sizeof next, "%u", number + 1);
  WritePrivateProfileStringA("Config", "Pending", next, file.c_str());
  return number;
}

bool HasPendingOrders(const TTradeDesk &desk) {
  const CKivoOrderField *o = desk.orders.GetData();
  for (int32_t i = 0; i < desk.orders.GetCount(); ++i)
    if (o[i].OrderStatus[1] == 'p') return true;
  return false;
}

bool SavePendingOrders(TTradeDesk &desk, HWND owner) {
  const int32_t file = FileOpen(desk.AccountFile("Pending.dat").c_str(), "wb");
  if (file < 0) return false;
  bool whole = FileWrite(file, "KVPO02", 1, 6) == 6;
  if (!whole) {
    WriteTradeLog(desk, TLOG_TEXT, "2|写文件失败，开盘触发单无法保存");
    MessageBoxA(owner, "写文件失败，开盘触发单无法保存。  ", "错误", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  } else {
    const CKivoOrderField *o = desk.orders.GetData();
    for (int32_t i = 0; i < desk.orders.GetCount(); ++i) {
      if (o[i].OrderStatus[1] != 'p') continue;
      if (FileWrite(file, &o[i], 1, int32_t(sizeof o[i])) != int32_t(sizeof o[i])) {
        WriteTradeLog(desk, TLOG_TEXT, "2|写文件失败，开盘触发单未能全部保存");
        MessageBoxA(owner, "写文件失败，开盘触发单未能全部保存。  ", "错误", MB_OK | MB_ICONWARNING | MB_TOPMOST);
        whole = false;
        break;
      }
    }
  }
  FileClose(file);
  return whole;
}

CKivoOrderField MakePendingOrder(TTradeDesk &desk, const char *exchange, const char *code, char direction,
                                 char offset, char hedge, double price, int32_t volume) {
  CKivoOrderField o{};
  strncpy(o.ExchangeID, exchange, sizeof o.ExchangeID - 1);
  strncpy(o.InstrumentID, code, sizeof o.InstrumentID - 1);
  strncpy(o.StatusMsg, "开盘后自动申报", sizeof o.StatusMsg - 1);
  snprintf(o.OrderRef, sizeof o.OrderRef, "%u", NextPendingOrderNumber(desk));
  o.Direction = direction;
  o.OffsetFlag = offset;
  o.HedgeFlag = hedge;
  o.OrderStatus[0] = '0';
  o.OrderStatus[1] = 'p';
  o.PriceType = price != 0 ? '2' : '1';
  o.LimitPrice = price;
  o.VolumeTotal = volume;
  SYSTEMTIME now;
  GetLocalTime(&now);
  snprintf(o.InsertTime, sizeof o.InsertTime, "%02u:%02u:%02u", unsigned(now.wHour) % 100u,
           unsigned(now.wMinute) % 100u, unsigned(now.wSecond) % 100u);
  return o;
}
