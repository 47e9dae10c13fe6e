// The records of the trade and account report: what the statement parsers
// take from each day's settlement statement, and the two the report builds
// from them. Text fields are NUL-terminated GBK, zero-filled first.
#pragma once

#include <cstdint>

// One per statement that carries a date line.
struct TongJiRiQi {
  char date[12];
};

// A balance with the statement date it was taken under (may be empty).
// PriceBegin is the balance series of the period (the opening balance,
// then each day's closing balance); PriceEnd holds the last closing one.
struct PriceBegin {
  char date[16];
  double value;
};
struct PriceEnd {
  char date[16];
  double value;
};

// One trade row.
struct ChengJiaoJiLu {
  char statementDate[12];
  char firstColumn[12];  // the trade date in layouts A and C
  char secondColumn[16];
  char contract[20];
  char direction[4];  // holds "卖" for a sell
  char hedgeFlag[4];
  char tradeRef[20];
  double price;
  double closeProfit;  // 0 for opening trades
  int32_t volume;
  double amount;
  char openClose[8];  // holds "开" for an opening trade
  double fee;
};

// One closed part of a position.
struct PingCangMingXi {
  char statementDate[12];
  char closeRef[20];
  char closeDate[12];
  char exchange[16];
  char contract[20];
  char openDate[12];
  char direction[4];  // of the closing trade: "买" closes a short position
  int32_t volume;
  double openPrice;
  double closePrice;
  double profit;
  double prevSettle;
};

// A position summary row of layout A.
struct ChiCangMingXi {
  char contract[20];
  char hedgeFlag[8];
  int32_t buyVolume;
  double buyAverage;
  int32_t sellVolume;
  double sellAverage;
  double profit;
  double margin;
};

// A position row of layouts B and C.
struct ChiCangMingXiJsd {
  char statementDate[12];
  char exchange[16];
  char contract[20];
  char hedgeFlag[4];
  int32_t buyVolume;
  double buyAverage;
  int32_t sellVolume;
  double sellAverage;
  double settlePrice;
  double profit;
  double value6;
  double margin;
};

// The one-number records.
struct KeYongZiJin {  // available funds of the last day
  double value;
};
struct ChuRuJin {  // a cash movement: in positive, out negative
  double value;
};
struct ShouXuFei {  // a day's fees
  double value;
};
struct PingCangYingKui {  // a day's close profit or loss
  double value;
};
struct BaoZhengJin {  // margin held on the last day
  double value;
};
struct ChiCangYingKui {  // position profit or loss of the last day
  double value;
};
struct DingShiYingKuiHuiZong {  // the period's mark-to-market total
  double value;
};

// Close statistics of one contract, seven groups in this order.
struct PingCangTongJi {
  struct Group {
    int32_t count;
    int32_t volume;
    double profit;
  };
  enum { kAll, kLong, kLongWin, kLongLoss, kShort, kShortWin, kShortLoss, kGroups };
  char contract[20];
  Group groups[kGroups];
};
