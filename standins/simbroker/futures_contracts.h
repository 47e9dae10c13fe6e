// The futures contracts the test doubles share: the simulated broker lists
// them (its built-in script) and the quote-service double quotes them (the
// standard data set's futures market, kind "合约"), so a contract traded by
// hand is quoted near the broker's price, on its price tick.
//
// The first five are the ones the simulated broker always listed, in its
// order (its exchange table follows from it: SHFE, DCE, CZCE, CFFEX).
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

struct FuturesContract {
  const char *exchange;   // the broker's exchange id
  const char *code;       // the broker's contract code; null: quoted only
  const char *quoteCode;  // the quote service's code, at most 6 bytes
  const char *contract;   // the quote service's full contract code, at most 7 bytes
  const char *name;       // at most 8 bytes, GBK
  double tick;            // price tick
  double multiplier;      // contract size
  double margin;          // margin rate
  double price;           // where the market starts
  const char *delivery;   // delivery month, YYMM
  // The quote service's side: price unit divisor and decimals, open
  // interest, and whether the data set writes its full history.
  uint32_t priceDivisor;
  int decimals;
  double openInterest;
  bool history;
};

inline constexpr FuturesContract kFuturesContracts[] = {
    {"SHFE", "cu2402", "CU02", "CU2402", "沪铜2402", 10, 5, 0.1, 69000, "2402", 1, 0, 120000, false},
    {"SHFE", "ru2405", "RU05", "RU2405", "橡胶2405", 5, 10, 0.12, 13500, "2405", 1, 0, 200000, false},
    {"DCE", "m2405", "M05", "M2405", "豆粕2405", 1, 10, 0.08, 3300, "2405", 1, 0, 1500000, false},
    {"CZCE", "SR405", "SR05", "SR2405", "白糖2405", 1, 10, 0.08, 6420, "2405", 1, 0, 400000, false},
    {"CFFEX", "IF2402", "IF02", "IF2402", "股指2402", 0.2, 300, 0.12, 3300, "2402", 10, 1, 110000, false},
    {"SHFE", "cu2405", "CU05", "CU2405", "沪铜2405", 10, 5, 0.1, 68600, "2405", 1, 0, 150000, true},
    {"SHFE", "cu2406", "CU06", "CU2406", "沪铜2406", 10, 5, 0.1, 68700, "2406", 1, 0, 90000, false},
    {"SHFE", "au2406", "AU06", "AU2406", "沪金2406", 0.02, 1000, 0.08, 482.10, "2406", 100, 2, 180000, false},
    {"CZCE", "SR409", "SR09", "SR2409", "白糖2409", 1, 10, 0.08, 6310, "2409", 1, 0, 220000, false},
    {"SHFE", "rb2410", "RB10", "RB2410", "螺纹2410", 1, 10, 0.09, 3810, "2410", 1, 0, 800000, false},
    {"CZCE", nullptr, "PTA05", "PTA2405", "PTA2405", 2, 5, 0.07, 5900, "2405", 1, 0, 650000, false},
};

inline constexpr size_t kFuturesContractCount = sizeof kFuturesContracts / sizeof kFuturesContracts[0];

}  // namespace sim
