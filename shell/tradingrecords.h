// The trading desk's records as the main window holds them: it keeps the
// four arrays and frees them, and reads nothing inside them itself. The
// fields come with the trading desk; until then each record is its bytes.
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct CKivoOrderField {
  uint8_t bytes[216];
};
struct Trade_Lite {
  uint8_t bytes[96];
};
struct OrderScript {
  uint8_t bytes[344];
};
struct CKivoTransferBankField {
  uint8_t bytes[89];
};
#pragma pack(pop)

static_assert(sizeof(CKivoOrderField) == 216);
static_assert(sizeof(Trade_Lite) == 96);
static_assert(sizeof(OrderScript) == 344);
static_assert(sizeof(CKivoTransferBankField) == 89);
