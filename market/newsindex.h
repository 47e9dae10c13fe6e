// The index of the news headlines the quote service has announced: type,
// time, identifier, title and whether the user has read it. It answers the
// news views (newest items of a type, lookup by title, marking as read),
// tells the news request which identifiers are already known, and survives
// restarts in "..\data\info\news.ntl". The texts of the items are separate
// files beside it, named by identifier ("%08u.txt").
//
// One index serves the program (NewsIndex below); it is used on the GUI
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// One headline, as kept in memory and stored in news.ntl.
struct NEWSREC {
  // Bit 0: read by the user; bits 1-31: the news type.
  uint32_t typeAndRead;
  // As the quote server sends it: bits 0-19 a decimal date whose last four
  // digits are MMDD, bits 20-31 the decimal time HHMM (market 0's clock).
  uint32_t dateTime;
  // The index is sorted by it, ascending.
  uint32_t id;
  // GBK, NUL-terminated, at most 79 bytes.
  char title[80];
};
static_assert(sizeof(NEWSREC) == 92, "NEWSREC is stored as 92 bytes");
static_assert(offsetof(NEWSREC, title) == 12);

inline uint32_t NewsTypeOf(const NEWSREC &record) { return record.typeAndRead >> 1; }
inline bool NewsIsRead(const NEWSREC &record) { return record.typeAndRead & 1; }

// A headline item of a news-list answer (90 bytes each) or of a pushed news
// item: [1] news type, [2] uint32 id, [6] uint32 date-time, [10] title.
// Fills a record with the read bit clear and the title cut to 79 bytes (and
// to the bytes the item has). False, with the record untouched, for an item
// of fewer than 10 bytes.
constexpr int32_t kNewsItemSize = 90;
bool NewsRecordFromItem(const void *item, int32_t length, NEWSREC *record);

// "..\data\info\%08u.txt", the text of the news item with this identifier.
constexpr size_t kNewsTextPathSize = 32;
void NewsTextPath(uint32_t id, char (&path)[kNewsTextPathSize]);

// Writes one part of a news text as it arrives: the first part creates the
// file anew (the folder too, when missing) and writes its text, later parts
// append theirs. False when the file can't be written or length is
// negative (a null text counts as empty).
bool WriteNewsTextPart(uint32_t id, bool firstPart, const char *text, int32_t length);

class TNewsIndex {
 public:
  // The file never keeps more than this many of the newest records.
  static constexpr int32_t kMaxStored = 5000;
  // Spare room made with every allocation.
  static constexpr int32_t kSpare = 1000;

  TNewsIndex() = default;
  // Saves (when dirty) and frees the records.
  ~TNewsIndex();
  TNewsIndex(const TNewsIndex &) = delete;
  TNewsIndex &operator=(const TNewsIndex &) = delete;

  // Clears the dirty flag, creates "..\data\info" and reads the newest 5000
  // records of news.ntl into a buffer with room for 1000 more. A damaged
  // file keeps every whole record: a part record at the end is left out,
  // records out of order are put in identifier order, and of an identifier
  // stored twice the later record stays (read when either was); the index
  // is then dirty, so that the next save writes the file whole. A missing
  // file, one with another magic or one that can't be read leaves the index
  // empty with room for 1000. Called once at start-up.
  void Load();
  // When dirty and records exist: replaces news.ntl by the magic and the
  // newest min(count, 5000) records and clears the flag. True when written;
  // a failed write keeps the old file and the flag.
  bool Save();
  // Makes room for n more records. When a larger buffer can't be had, the
  // oldest min(n, count) records are dropped instead. True when the buffer
  // changed or records were dropped; nothing (false) without a buffer, for
  // n <= 0, or when the room is already there.
  bool EnsureCapacity(int32_t n);
  // Adds a record, or overwrites the one with its identifier, and deletes
  // that identifier's text file so that a re-announced item's text is
  // fetched again. markDirty makes the next Save write. False without a
  // buffer.
  bool Insert(const NEWSREC &record, bool markDirty);
  // The identifier of the oldest (oldest = true) or newest record of the
  // type (0 = any); -1 when there is none.
  int64_t GetBoundaryId(bool oldest, uint32_t type) const;
  // Newest first, the first record of the type (0 = any) whose title equals
  // title without regard to case; copied to out (when given). False when
  // none is found or title is null.
  bool FindByTitle(uint32_t type, const char *title, NEWSREC *out) const;
  // The newest n records of the type (0 = any), copied oldest first;
  // returns how many.
  int32_t GetLatest(uint32_t type, NEWSREC *out, int32_t n) const;
  // Sets the read bit of the identifier's record, marks the index dirty and
  // copies the record to out (when given). False when it isn't there.
  bool MarkRead(uint32_t id, NEWSREC *out);

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  bool IsDirty() const { return dirty_; }
  // Oldest first; null without a buffer.
  const NEWSREC *Records() const { return records_; }

  // Set by the main window while it asks the server for the newest list;
  // cleared when the server says there is no more. Meanwhile pushed items
  // are not added and the news views show that the list is coming.
  bool IsListLoading() const { return listLoading_; }
  void SetListLoading(bool loading) { listLoading_ = loading; }

 private:
  // Position of the first record whose identifier is not below id.
  int32_t LowerBound(uint32_t id) const;
  // Reads news.ntl into the buffer; false when the file is missing or is
  // not ours or is damaged.
  bool ReadFile();

  bool dirty_ = false;
  bool listLoading_ = false;
  NEWSREC *records_ = nullptr;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
};

// The program's news index: made and loaded by the main window when it is
// created, deleted (which saves it) when the program ends; null before and
// after. Everything that writes or reads headlines goes through it.
extern TNewsIndex *NewsIndex;
