// Order records from the broker's answers and pushed records, and the
// two-character order status every order path shares.
#pragma once

#include "plugin/answerfields.h"
#include "plugin/records.h"

namespace tb {

// Bytes 141 and 142 of an order from the broker's status letter, then the
// traded rule: a request state '1' makes the order state '3' while nothing
// is traded, else '1'. An unknown letter keeps byte 141 and sets 142 to 'a'.
void ApplyOrderStatus(CKivoOrderField &order, char letter);

// Where an order's values stand in one kind of answer (-1: not there). The
// offset text is the field after the offset flag.
struct OrderFieldMap {
  int exchange, reference, contract, status, message, direction, offset, hedge, volume, price, traded, remain,
      text120, insertTime, secondTime, text16, message2, text24;
};
// The order insert's answer, an order list packet and a pushed order state.
// Order volumes from the broker are held to 0..kMaxVolume, so a count plus
// another never overflows.
constexpr int32_t kMaxVolume = 1000000000;
// A volume the broker gave, held to 0..kMaxVolume.
inline int32_t HoldVolume(int32_t value) { return value < 0 ? 0 : value > kMaxVolume ? kMaxVolume : value; }
// Adds a fill to a traded count, held at kMaxVolume.
inline int32_t AddVolume(int32_t count, int32_t volume) { return count + volume > kMaxVolume ? kMaxVolume : count + volume; }
extern const OrderFieldMap kInsertAnswerFields;
extern const OrderFieldMap kOrderListFields;
extern const OrderFieldMap kPushedOrderFields;

// Fills a zeroed record from the fields: texts bounded by their fields, the
// encodings of the answer side, the status mapping; a non-empty second
// message replaces the first.
void ReadOrder(const AnswerFields &fields, const OrderFieldMap &map, CKivoOrderField &order);

}  // namespace tb
