// The account's firing journal "firing.jnl": before a stop entry gives up
// volume or a condition order leaves its list, an intent says what fired
// and which order it is to become. The task runner marks the intent when
// the plug-in's order call returns; after a restart the desk reconciles the
// open intents against the order list, so that a firing is neither lost
// nor sent twice by a crash between taking the item and the broker's
// answer.
//
// The file is rewritten whole (a flushed new file renamed over the old),
// except for the answers to the sends of an open-trigger walk, which are
// appended; records are serialised field by field. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trading/deskrecords.h"

class TTradeDesk;

enum FiringKind : uint8_t { kFiringStop = 1, kFiringCondition = 2, kFiringPending = 3 };
enum FiringState : uint8_t { kIntentOpen = 0, kIntentSent = 1, kIntentRefused = 2, kIntentOpenTrigger = 3 };

constexpr size_t kStopImageSize = 56;
constexpr size_t kConditionImageSize = 104;

struct FiringIntent {
  int32_t number = 0;
  uint8_t kind = 0;
  uint8_t state = kIntentOpen;
  // The stop entry's position key.
  char code[8] = {};
  char posDirection = 0;
  char posHedge = 0;
  // The entry's 56 bytes (before it gave up volume) or the order's 104.
  unsigned char image[kConditionImageSize] = {};
  int32_t volume = 0;  // the volume fired
  int32_t tradeDate = 0;
  // The order the task is to send.
  char instrument[8] = {};
  char direction = 0;
  char offset = 0;
  char hedge = 0;
  uint8_t priceKind = 0;
  int32_t orderVolume = 0;
  double priceValue = 0;
  // Orders of that contract, direction, offset, hedge and volume the order
  // array held when the intent was written.
  int32_t ordersBefore = 0;
  char reference[16] = {};
  char text[64] = {};
};

// The intent number a task carries (0: none).
inline int32_t &TaskIntent(OrderScript &task) { return task.Reserved340; }
inline int32_t TaskIntent(const OrderScript &task) { return task.Reserved340; }

// Orders of the array matching the task's contract, direction, offset,
// hedge and volume.
int32_t CountMatchingOrders(const TTradeDesk &desk, const char *instrument, char direction, char offset, char hedge,
                            int32_t volume);

class TFiringJournal {
 public:
  explicit TFiringJournal(TTradeDesk &desk);
  ~TFiringJournal();
  TFiringJournal(const TFiringJournal &) = delete;
  TFiringJournal &operator=(const TFiringJournal &) = delete;

  // Told once when the journal could not be written (a box); the firing
  // goes on. By default a warning box owned by the desk's owner.
  std::function<void(const char *text)> tellFailure;
  // Rewrites the condition-order file after a reconcile changed the list.
  std::function<void()> saveConditionOrders;
  // An intent is on disk; the item it names is not consumed yet.
  std::function<void(int32_t number)> onRecorded;

  // Reads the account's journal; a missing file is empty, a damaged tail
  // is ignored (logged), a record of a number already read replaces it.
  // False when the file had a foreign head. Writing an intent or settling
  // open-trigger sends reads the account's file first when it was not read
  // yet, so that no write replaces intents a crash left.
  bool Load();
  // Writes the intent (number assigned) before the item is consumed; the
  // number, or 0 when the journal could not be written.
  int32_t Record(FiringIntent &intent, const OrderScript &task);
  // The plug-in's order call returned for the task's intent.
  void OrderSent(int32_t number, const char *reference);
  void OrderRefused(int32_t number, const char *text);
  void OrderBecameTrigger(int32_t number);
  // The runner's entry point: the order call returned with result (0 sent,
  // else refused with text), reference the order's.
  void OnOrderInsert(const OrderScript &task, int result, const char *reference, const char *text);
  // An open-trigger order about to be sent (its number kept in volume);
  // the intent number, 0 when the journal could not be written.
  int32_t RecordPending(const CKivoOrderField &order);
  // The open-trigger orders of one walk, in the order they are to be sent:
  // all intents in one flushed rewrite before the first send. Their
  // numbers in the same order, empty when the journal could not be written.
  std::vector<int32_t> RecordPendingWalk(const std::vector<const CKivoOrderField *> &orders);
  // The answer to one send of a walk. state: kIntentSent (text: the
  // reference), kIntentRefused (the order leaves its file) or
  // kIntentOpenTrigger (refused, kept for the next opening). A sent one is
  // appended as a record superseding the intent's, without flushing: a
  // crash of the program keeps it; after a crash of the machine the
  // broker's list decides, and of the walk's unanswered intents the sent
  // ones are the first. A refusal would break that order, so it is written
  // flushed, the whole journal. False when it could not be written.
  bool NotePendingAnswer(int32_t number, uint8_t state, const char *text);
  // Open-trigger intents are held (a walk's whose file could not be
  // written, or a crash's not settled yet).
  bool HasPendingIntents();
  // With today's broker orders in the array: the numbers of the open-
  // trigger orders that leave their file, because their send reached the
  // broker or was refused for good. The intents are taken in the order
  // they were written, each claiming its own order of the broker; they
  // stay until ForgetPendingIntents, once the file is written.
  std::vector<std::string> SettlePendingSends();
  void ForgetPendingIntents();
  // Writes the whole journal, flushed, as it stands.
  bool Rewrite() { return Save(); }
  // Drops an intent whose task could not even be queued.
  void Forget(int32_t number);
  // Drops several intents with one rewrite.
  void Forget(const std::vector<int32_t> &numbers);

  // After a complete position list's stops were loaded (and the condition
  // orders): sent intents make sure their item is gone, unsent ones put it
  // back once; then they are dropped. An intent whose task is still queued
  // waits for its order call, one whose item memory could not take back
  // for the next list. tradeDate is today's.
  void Reconcile(int32_t tradeDate);

  const std::vector<FiringIntent> &Intents() const { return intents_; }
  std::string Path() const;

 private:
  bool Save();
  void EnsureLoaded();
  FiringIntent *Find(int32_t number);
  // False when an unsent item could not be put back for lack of memory.
  bool Settle(const FiringIntent &intent, bool sent, int32_t tradeDate);

  TTradeDesk &desk_;
  std::vector<FiringIntent> intents_;
  int32_t next_ = 1;
  bool told_ = false;
  // The file answers are appended to, open from the first answer until the
  // next whole rewrite or load.
  int32_t appendFile_ = 0;
  // The file Load read: the one the intents in memory are written to.
  std::string loadedPath_;
};

// The journal's file record, field by field (exposed for tests).
constexpr size_t kIntentRecordSize = 256;
void PutIntentRecord(const FiringIntent &intent, unsigned char out[kIntentRecordSize]);
FiringIntent GetIntentRecord(const unsigned char in[kIntentRecordSize]);
