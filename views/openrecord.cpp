#include "views/openrecord.h"

#include <deque>
#include <mutex>
#include <utility>

#include "platform/messages.h"
#include "platform/winuser.h"
#include "views/viewhost.h"

namespace {

struct Waiting {
  LPARAM ticket;
  VIEW_ATTR_13 record;
};

struct Mailbox {
  std::mutex lock;
  std::deque<Waiting> records;
  uint32_t lastTicket = 0;
};

Mailbox &TheMailbox() {
  static Mailbox box;
  return box;
}

void DropRecord(const VIEW_ATTR_13 &record) {
  if (TakesHandOverList(record.viewType) && record.HandOverList()) DropUnusedViewStockList(record.HandOverList());
}

}  // namespace

LPARAM KeepOpenRecord(const VIEW_ATTR_13 &record) {
  Mailbox &box = TheMailbox();
  std::deque<Waiting> dropped;
  LPARAM ticket;
  {
    std::lock_guard<std::mutex> hold(box.lock);
    if (++box.lastTicket == 0) box.lastTicket = 1;  // 0 is no ticket
    ticket = LPARAM(box.lastTicket);
    while (box.records.size() >= size_t(kOpenRecordsKept)) {
      dropped.push_back(box.records.front());
      box.records.pop_front();
    }
    box.records.push_back(Waiting{ticket, record});
  }
  for (const Waiting &w : dropped) DropRecord(w.record);
  return ticket;
}

bool TakeOpenRecord(LPARAM ticket, VIEW_ATTR_13 *record) {
  Mailbox &box = TheMailbox();
  std::lock_guard<std::mutex> hold(box.lock);
  for (auto it = box.records.begin(); it != box.records.end(); ++it)
    if (it->ticket == ticket) {
      if (record) *record = it->record;
      box.records.erase(it);
      return true;
    }
  return false;
}

bool PostOpenRecord(const VIEW_ATTR_13 &record) {
  HWND main = MainFrameHost()->MainWindow();
  if (main) {
    const LPARAM ticket = KeepOpenRecord(record);
    if (PostMessageA(main, WM_MF_EVENT, 0, ticket)) return true;
    TakeOpenRecord(ticket, nullptr);
  }
  DropRecord(record);
  return false;
}
