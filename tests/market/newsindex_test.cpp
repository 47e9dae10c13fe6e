#include "market/newsindex.h"

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/emem.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

NEWSREC Record(uint32_t id, uint32_t type, const std::string &title = "", bool read = false,
               uint32_t dateTime = 0) {
  NEWSREC r{};
  r.typeAndRead = type << 1 | (read ? 1 : 0);
  r.dateTime = dateTime;
  r.id = id;
  strncpy(r.title, title.c_str(), sizeof r.title - 1);
  return r;
}

std::string Bytes(const NEWSREC &r) { return std::string(reinterpret_cast<const char *>(&r), sizeof r); }

std::string IndexFile(const std::vector<NEWSREC> &records, const std::string &magic = "kvni01") {
  std::string bytes = magic;
  for (const NEWSREC &r : records) bytes += Bytes(r);
  return bytes;
}

std::vector<uint32_t> Ids(const NEWSREC *records, int32_t count) {
  std::vector<uint32_t> ids;
  for (int32_t i = 0; i < count; ++i) ids.push_back(records[i].id);
  return ids;
}

// Records 1..count, of type 1 + id % 3, titled "news <id>".
std::vector<NEWSREC> Numbered(uint32_t first, uint32_t count) {
  std::vector<NEWSREC> records;
  for (uint32_t id = first; id < first + count; ++id)
    records.push_back(Record(id, 1 + id % 3, "news " + std::to_string(id)));
  return records;
}

// The program folder "prog" inside a fresh folder, so that the cache folder
// above it ("..\data") is the test's own.
class NewsIndexTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    info_ = root_ + "/data/info";
    ntl_ = info_ + "/news.ntl";
    fs::create_directories(root_ + "/prog");
    fs::create_directories(info_);
    fs::current_path(root_ + "/prog");
  }
  void TearDown() override {
    SetMallocRefusal(nullptr);
    TempFolderTest::TearDown();
  }
  std::string Text(uint32_t id) const {
    char name[16];
    snprintf(name, sizeof name, "/%08u.txt", id);
    return info_ + name;
  }
  // An index loaded from a file holding these records.
  void LoadWith(TNewsIndex &index, const std::vector<NEWSREC> &records) {
    Put(ntl_, IndexFile(records));
    index.Load();
    ASSERT_EQ(index.Count(), int32_t(records.size()));
  }

  std::string info_;
  std::string ntl_;
};

TEST_F(NewsIndexTest, LoadKeepsTheNewest5000WithRoomFor1000More) {
  Put(ntl_, IndexFile(Numbered(1, 7000)));
  TNewsIndex index;
  index.Load();
  ASSERT_EQ(index.Count(), 5000);
  EXPECT_EQ(index.Capacity(), 6000);
  EXPECT_EQ(index.Records()[0].id, 2001u);
  EXPECT_EQ(index.Records()[4999].id, 7000u);
  EXPECT_EQ(Bytes(index.Records()[10]), Bytes(Numbered(2011, 1)[0]));
  EXPECT_FALSE(index.IsDirty());
}

TEST_F(NewsIndexTest, UnusableOrEmptyFilesStartAnEmptyIndex) {
  std::string good = IndexFile(Numbered(1, 3));
  struct Case {
    const char *what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"part of the magic", "kvni"},
      {"another magic", IndexFile(Numbered(1, 3), "kvni02")},
      {"magic in another case", IndexFile(Numbered(1, 3), "KVNI01")},
      {"cut inside the first record", good.substr(0, 6 + 50)},
      {"only the magic", "kvni01"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Put(ntl_, c.bytes);
    TNewsIndex index;
    index.Load();
    EXPECT_EQ(index.Count(), 0);
    EXPECT_GE(index.Capacity(), 1000);
    EXPECT_EQ(index.GetBoundaryId(false, 0), -1);
    // The index works, and its first save replaces the damaged file.
    ASSERT_TRUE(index.Insert(Record(42, 1, "fresh"), true));
    ASSERT_TRUE(index.Save());
    EXPECT_EQ(Get(ntl_), IndexFile({Record(42, 1, "fresh")}));
  }
}

// A damaged file keeps every whole record, in identifier order, with its
// read mark; the next save writes it whole.
TEST_F(NewsIndexTest, DamagedFilesKeepEveryWholeRecordInOrder) {
  const std::string good = IndexFile({Record(1, 1, "a", true), Record(2, 1, "b"), Record(3, 2, "c", true)});
  std::vector<NEWSREC> many = Numbered(1, 5000);
  many.insert(many.begin(), Record(9999, 1, "newest, stored first"));
  std::vector<NEWSREC> newestOfMany(many.begin() + 2, many.end());
  newestOfMany.push_back(many[0]);
  struct Case {
    const char *what;
    std::string bytes;
    std::vector<NEWSREC> kept;
  } cases[] = {
      {"cut inside the last record", good.substr(0, good.size() - 1), {Record(1, 1, "a", true), Record(2, 1, "b")}},
      {"a stray byte after the records", good + "x",
       {Record(1, 1, "a", true), Record(2, 1, "b"), Record(3, 2, "c", true)}},
      {"identifiers out of order", IndexFile({Record(5, 1, "x", true), Record(9, 1), Record(7, 2, "y", true)}),
       {Record(5, 1, "x", true), Record(7, 2, "y", true), Record(9, 1)}},
      {"an identifier twice", IndexFile({Record(5, 1, "old", true), Record(4, 3), Record(5, 2, "new")}),
       {Record(4, 3), Record(5, 2, "new", true)}},
      {"the newest stored first of 5001", IndexFile(many), newestOfMany},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Put(ntl_, c.bytes);
    TNewsIndex index;
    index.Load();
    ASSERT_EQ(index.Count(), int32_t(c.kept.size()));
    for (size_t i = 0; i < c.kept.size(); ++i) EXPECT_EQ(Bytes(index.Records()[i]), Bytes(c.kept[i])) << i;
    EXPECT_TRUE(index.IsDirty());
    ASSERT_TRUE(index.Save());
    EXPECT_EQ(Get(ntl_), IndexFile(c.kept));
  }
}

TEST_F(NewsIndexTest, MissingFileMakesTheFolderAndAnEmptyIndex) {
  fs::remove_all(root_ + "/data");
  TNewsIndex index;
  index.Load();
  EXPECT_TRUE(fs::is_directory(info_));
  EXPECT_EQ(index.Count(), 0);
  EXPECT_EQ(index.Capacity(), 1000);
  EXPECT_FALSE(index.Save());  // nothing to write
  EXPECT_FALSE(fs::exists(ntl_));
}

TEST_F(NewsIndexTest, AnUnterminatedTitleIsCutInsideItsField) {
  NEWSREC full = Record(3, 1);
  memset(full.title, 'a', sizeof full.title);
  Put(ntl_, IndexFile({Record(1, 1, "x"), full}));
  TNewsIndex index;
  index.Load();
  ASSERT_EQ(index.Count(), 2);
  NEWSREC found{};
  EXPECT_TRUE(index.FindByTitle(0, std::string(79, 'A').c_str(), &found));
  EXPECT_EQ(found.id, 3u);
  EXPECT_EQ(strlen(found.title), 79u);
}

TEST_F(NewsIndexTest, WithoutMemoryTheIndexStaysEmptyAndRefusesItems) {
  Put(ntl_, IndexFile(Numbered(1, 7000)));
  {
    // The buffer for the file can't be had: the file is left aside and the
    // index starts with the usual 1000.
    SetMallocRefusal([](int32_t size) { return size == 6000 * 92; });
    TNewsIndex index;
    index.Load();
    EXPECT_EQ(index.Count(), 0);
    EXPECT_EQ(index.Capacity(), 1000);
  }
  SetMallocRefusal([](int32_t) { return true; });
  TNewsIndex index;
  index.Load();
  EXPECT_EQ(index.Capacity(), 0);
  EXPECT_FALSE(index.Insert(Record(1, 1), true));
  EXPECT_FALSE(index.EnsureCapacity(5));
  SetMallocRefusal(nullptr);
  NEWSREC out[4];
  EXPECT_EQ(index.GetLatest(0, out, 4), 0);
  EXPECT_FALSE(index.MarkRead(1, out));
  EXPECT_FALSE(index.FindByTitle(0, "", out));
}

TEST_F(NewsIndexTest, InsertKeepsIdentifiersAscending) {
  TNewsIndex index;
  EXPECT_FALSE(index.Insert(Record(1, 1), true));  // not loaded: no buffer
  index.Load();
  for (uint32_t id : {50u, 10u, 90u, 30u, 70u, 0u, 0xFFFFFFFFu, 60u}) ASSERT_TRUE(index.Insert(Record(id, 1), true));
  EXPECT_EQ(Ids(index.Records(), index.Count()),
            (std::vector<uint32_t>{0, 10, 30, 50, 60, 70, 90, 0xFFFFFFFFu}));
}

TEST_F(NewsIndexTest, InsertingAKnownIdentifierReplacesItAndItsText) {
  TNewsIndex index;
  LoadWith(index, {Record(10, 1, "old ten", true, 2024'0101), Record(20, 2, "twenty"), Record(30, 3, "thirty")});
  Put(Text(20), "old text");
  Put(Text(40), "text of an item not yet listed");
  Put(Text(30), "stays");

  NEWSREC again = Record(20, 5, "twenty again", false, 1530u << 20 | 1231);
  ASSERT_TRUE(index.Insert(again, false));
  ASSERT_TRUE(index.Insert(Record(40, 1, "forty"), false));
  EXPECT_EQ(Ids(index.Records(), index.Count()), (std::vector<uint32_t>{10, 20, 30, 40}));
  EXPECT_EQ(Bytes(index.Records()[1]), Bytes(again));
  EXPECT_FALSE(fs::exists(Text(20)));
  EXPECT_FALSE(fs::exists(Text(40)));
  EXPECT_TRUE(fs::exists(Text(30)));
  // Without the flag nothing is to be saved.
  EXPECT_FALSE(index.IsDirty());
  EXPECT_FALSE(index.Save());

  // A read item announced again comes back unread.
  ASSERT_TRUE(index.Insert(Record(10, 1, "new ten"), true));
  EXPECT_FALSE(NewsIsRead(index.Records()[0]));
  EXPECT_STREQ(index.Records()[0].title, "new ten");
  EXPECT_TRUE(index.IsDirty());
}

// Types 1, 2, 3 in turn over identifiers 1..12, and one of type 7.
class NewsPagingTest : public NewsIndexTest {
 protected:
  void SetUp() override {
    NewsIndexTest::SetUp();
    std::vector<NEWSREC> records;
    for (uint32_t id = 1; id <= 12; ++id) records.push_back(Record(id * 10, 1 + (id - 1) % 3, "n" + std::to_string(id)));
    records.push_back(Record(200, 7, "Gold RISES 黄金"));
    records.push_back(Record(210, 2, "gold rises 黄金"));
    LoadWith(*index_, records);
  }
  // The index saves itself when destroyed: that must happen while the test's
  // folder is still the current one.
  void TearDown() override {
    index_.reset();
    NewsIndexTest::TearDown();
  }
  std::optional<TNewsIndex> index_{std::in_place};
};

TEST_F(NewsPagingTest, GetLatestCopiesTheNewestOldestFirst) {
  struct Case {
    uint32_t type;
    int32_t n;
    std::vector<uint32_t> ids;
  } cases[] = {
      {0, 3, {120, 200, 210}},
      {0, 100, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 200, 210}},
      {1, 2, {70, 100}},
      {3, 10, {30, 60, 90, 120}},  // fewer than asked
      {2, 1, {210}},
      {7, 5, {200}},
      {9, 5, {}},
      {1, 0, {}},
      {1, -1, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " n " << c.n);
    NEWSREC out[20];
    memset(out, 0xEE, sizeof out);
    int32_t got = index_->GetLatest(c.type, out, c.n);
    EXPECT_EQ(Ids(out, got), c.ids);
    if (got < 20) EXPECT_EQ(out[got].id, 0xEEEEEEEEu);  // nothing written beyond
  }
  EXPECT_EQ(index_->GetLatest(0, nullptr, 5), 0);
}

TEST_F(NewsPagingTest, BoundaryIdentifiersByType) {
  struct Case {
    bool oldest;
    uint32_t type;
    int64_t id;
  } cases[] = {
      {true, 0, 10}, {false, 0, 210}, {true, 2, 20}, {false, 2, 210},
      {true, 3, 30}, {false, 3, 120}, {true, 7, 200}, {false, 9, -1},
  };
  for (const Case &c : cases)
    EXPECT_EQ(index_->GetBoundaryId(c.oldest, c.type), c.id) << c.oldest << " type " << c.type;

  TNewsIndex empty;
  EXPECT_EQ(empty.GetBoundaryId(true, 0), -1);
  fs::remove(ntl_);
  empty.Load();
  EXPECT_EQ(empty.GetBoundaryId(false, 0), -1);
}

TEST_F(NewsPagingTest, FindByTitleSearchesNewestFirstIgnoringCase) {
  struct Case {
    uint32_t type;
    const char *title;
    int64_t id;  // -1: not found
  } cases[] = {
      {0, "GOLD rises 黄金", 210},  // both match, the newest wins
      {7, "gold rises 黄金", 200},
      {1, "gold rises 黄金", -1},
      {0, "N5", 50},
      {0, "n5 ", -1},
      {0, "n", -1},
      {0, "", -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.title);
    NEWSREC found = Record(0, 0, "untouched");
    bool hit = index_->FindByTitle(c.type, c.title, &found);
    EXPECT_EQ(hit, c.id >= 0);
    EXPECT_EQ(hit ? int64_t(found.id) : -1, c.id);
    if (!hit) EXPECT_STREQ(found.title, "untouched");
  }
  EXPECT_FALSE(index_->FindByTitle(0, nullptr, nullptr));
  EXPECT_TRUE(index_->FindByTitle(0, "n1", nullptr));
}

TEST_F(NewsPagingTest, GbkTrailBytesAreNotFolded) {
  // "楂" is 0xE9 0x61 in GBK: its trail byte is an 'a' that must not fold.
  const char upper[] = {'\xE9', 'A', 0};
  const char lower[] = {'\xE9', 'a', 0};
  ASSERT_TRUE(index_->Insert(Record(300, 1, lower), true));
  EXPECT_TRUE(index_->FindByTitle(0, lower, nullptr));
  EXPECT_FALSE(index_->FindByTitle(0, upper, nullptr));
}

TEST_F(NewsPagingTest, MarkReadSetsTheBitAndMakesTheIndexDirty) {
  NEWSREC out{};
  EXPECT_FALSE(index_->MarkRead(55, &out));
  EXPECT_FALSE(index_->IsDirty());
  ASSERT_TRUE(index_->MarkRead(50, &out));
  EXPECT_EQ(out.id, 50u);
  EXPECT_TRUE(NewsIsRead(out));
  EXPECT_EQ(NewsTypeOf(out), 2u);
  EXPECT_TRUE(index_->IsDirty());
  EXPECT_TRUE(index_->MarkRead(210, nullptr));

  // Nothing was inserted, yet the read marks are saved.
  ASSERT_TRUE(index_->Save());
  EXPECT_FALSE(index_->IsDirty());
  EXPECT_FALSE(index_->Save());
  TNewsIndex again;
  again.Load();
  NEWSREC page[20];
  int32_t got = again.GetLatest(0, page, 20);
  ASSERT_EQ(got, 14);
  for (int32_t i = 0; i < got; ++i) EXPECT_EQ(NewsIsRead(page[i]), page[i].id == 50 || page[i].id == 210) << page[i].id;
}

TEST_F(NewsIndexTest, SaveRewritesTheFileByteForByte) {
  // Bytes after each title's NUL and in the high bits of every word survive.
  std::vector<NEWSREC> records = Numbered(1, 40);
  for (NEWSREC &r : records) {
    memset(r.title + strlen(r.title) + 1, 0x5A, sizeof r.title - strlen(r.title) - 2);
    r.typeAndRead |= 0x80000001u;
    r.dateTime = 0xFFF00000u | r.id;
  }
  std::string original = IndexFile(records);
  Put(ntl_, original);
  TNewsIndex index;
  index.Load();
  ASSERT_TRUE(index.MarkRead(7, nullptr));  // already read: no byte changes
  ASSERT_TRUE(index.Save());
  EXPECT_EQ(Get(ntl_), original);
}

TEST_F(NewsIndexTest, SaveKeepsTheNewest5000) {
  TNewsIndex index;
  LoadWith(index, Numbered(1, 4900));
  for (const NEWSREC &r : Numbered(4901, 300)) ASSERT_TRUE(index.Insert(r, true));
  EXPECT_EQ(index.Count(), 5200);
  ASSERT_TRUE(index.Save());
  EXPECT_EQ(Get(ntl_), IndexFile(Numbered(201, 5000)));
  EXPECT_EQ(index.Count(), 5200);  // memory keeps them all
}

TEST_F(NewsIndexTest, AFailedSaveKeepsTheOldFileAndTheFlag) {
  TNewsIndex index;
  LoadWith(index, Numbered(1, 3));
  std::string before = Get(ntl_);
  ASSERT_TRUE(index.Insert(Record(9, 1, "new"), true));
  chmod(ntl_.c_str(), 0444);
  EXPECT_FALSE(index.Save());
  EXPECT_TRUE(index.IsDirty());
  EXPECT_EQ(Get(ntl_), before);
  chmod(ntl_.c_str(), 0644);
  EXPECT_TRUE(index.Save());
  std::vector<NEWSREC> expected = Numbered(1, 3);
  expected.push_back(Record(9, 1, "new"));
  EXPECT_EQ(Get(ntl_), IndexFile(expected));
}

TEST_F(NewsIndexTest, DestroyingTheIndexSavesIt) {
  {
    TNewsIndex index;
    index.Load();
    index.Insert(Record(5, 2, "kept"), true);
  }
  EXPECT_EQ(Get(ntl_), IndexFile({Record(5, 2, "kept")}));
}

TEST_F(NewsIndexTest, EnsureCapacityGrowsOrDropsTheOldest) {
  TNewsIndex index;
  EXPECT_FALSE(index.EnsureCapacity(10));  // no buffer
  LoadWith(index, Numbered(1, 995));
  ASSERT_EQ(index.Capacity(), 1995);
  EXPECT_FALSE(index.EnsureCapacity(1000));  // the room is there
  EXPECT_FALSE(index.EnsureCapacity(0));
  EXPECT_FALSE(index.EnsureCapacity(-5));
  EXPECT_TRUE(index.EnsureCapacity(1001));
  EXPECT_EQ(index.Capacity(), 995 + 1001 + 1000);
  EXPECT_EQ(index.Count(), 995);
  EXPECT_EQ(index.Records()[994].id, 995u);

  // No larger buffer to be had: the oldest items make the room.
  SetMallocRefusal([](int32_t) { return true; });
  EXPECT_TRUE(index.EnsureCapacity(2500));
  EXPECT_EQ(index.Count(), 0);  // min(n, count): all of them
  SetMallocRefusal(nullptr);

  TNewsIndex full;
  LoadWith(full, Numbered(1, 5000));
  for (const NEWSREC &r : Numbered(5001, 1000)) ASSERT_TRUE(full.Insert(r, false));
  ASSERT_EQ(full.Count(), full.Capacity());
  SetMallocRefusal([](int32_t) { return true; });
  EXPECT_TRUE(full.EnsureCapacity(3));
  EXPECT_EQ(full.Count(), 5997);
  EXPECT_EQ(full.Records()[0].id, 4u);
  // Inserting into the full buffer drops the oldest one too.
  ASSERT_TRUE(full.Insert(Record(9000, 1), true));
  ASSERT_TRUE(full.Insert(Record(9001, 1), true));
  ASSERT_TRUE(full.Insert(Record(9002, 1), true));
  ASSERT_TRUE(full.Insert(Record(9003, 1), true));
  EXPECT_EQ(full.Count(), 6000);
  EXPECT_EQ(full.Records()[0].id, 5u);
  EXPECT_EQ(full.Records()[5999].id, 9003u);
}

TEST_F(NewsIndexTest, RecordsFromNewsItems) {
  unsigned char item[kNewsItemSize];
  memset(item, 'T', sizeof item);
  item[0] = 0xFF;  // not read
  item[1] = 128;
  uint32_t id = 0x01020304, when = 0x59A00000u | 240617;
  memcpy(item + 2, &id, 4);
  memcpy(item + 6, &when, 4);

  struct Case {
    int32_t length;
    size_t titleLength;
  } cases[] = {{kNewsItemSize, 79}, {10 + 79, 79}, {15, 5}, {10, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.length);
    NEWSREC r;
    memset(&r, 0xCC, sizeof r);
    ASSERT_TRUE(NewsRecordFromItem(item, c.length, &r));
    EXPECT_EQ(r.typeAndRead, 256u);
    EXPECT_EQ(r.id, id);
    EXPECT_EQ(r.dateTime, when);
    EXPECT_EQ(std::string(r.title), std::string(c.titleLength, 'T'));
    EXPECT_EQ(std::string(r.title + c.titleLength, sizeof r.title - c.titleLength), std::string(sizeof r.title - c.titleLength, '\0'));
  }
  item[10 + 3] = 0;  // a shorter title ends at its NUL
  NEWSREC r;
  ASSERT_TRUE(NewsRecordFromItem(item, kNewsItemSize, &r));
  EXPECT_STREQ(r.title, "TTT");

  NEWSREC untouched = Record(1, 1, "same");
  EXPECT_FALSE(NewsRecordFromItem(item, 9, &untouched));
  EXPECT_FALSE(NewsRecordFromItem(nullptr, kNewsItemSize, &untouched));
  EXPECT_EQ(Bytes(untouched), Bytes(Record(1, 1, "same")));
}

TEST_F(NewsIndexTest, NewsTextArrivesInParts) {
  char path[kNewsTextPathSize];
  NewsTextPath(42, path);
  EXPECT_STREQ(path, "..\\data\\info\\00000042.txt");
  NewsTextPath(0xFFFFFFFFu, path);
  EXPECT_STREQ(path, "..\\data\\info\\4294967295.txt");

  fs::remove_all(root_ + "/data");
  // A first part starts the file afresh; a later one appends.
  ASSERT_TRUE(WriteNewsTextPart(42, true, "part one, long enough", 21));
  ASSERT_TRUE(WriteNewsTextPart(42, true, "one|", 4));
  ASSERT_TRUE(WriteNewsTextPart(42, false, "two\0|", 5));
  ASSERT_TRUE(WriteNewsTextPart(42, false, nullptr, 0));
  ASSERT_TRUE(WriteNewsTextPart(42, false, "three", 5));
  EXPECT_EQ(Get(Text(42)), std::string("one|two\0|three", 14));

  // A later part whose file has gone (the item was announced again) starts one.
  ASSERT_TRUE(WriteNewsTextPart(43, false, "tail", 4));
  EXPECT_EQ(Get(Text(43)), "tail");
  ASSERT_TRUE(WriteNewsTextPart(44, true, "", 0));
  EXPECT_TRUE(fs::exists(Text(44)));
  EXPECT_EQ(fs::file_size(Text(44)), 0u);

  EXPECT_FALSE(WriteNewsTextPart(42, false, "x", -1));
  EXPECT_FALSE(WriteNewsTextPart(42, false, nullptr, 3));
  EXPECT_EQ(Get(Text(42)), std::string("one|two\0|three", 14));

  // Announcing the item again throws its text away.
  TNewsIndex index;
  index.Load();
  ASSERT_TRUE(index.Insert(Record(42, 1, "again"), true));
  EXPECT_FALSE(fs::exists(Text(42)));
  EXPECT_TRUE(fs::exists(Text(43)));
}

TEST_F(NewsIndexTest, ListLoadingFlagIsTheCallersAlone) {
  TNewsIndex index;
  EXPECT_FALSE(index.IsListLoading());
  index.SetListLoading(true);
  index.Load();
  index.Insert(Record(1, 1), true);
  index.Save();
  EXPECT_TRUE(index.IsListLoading());
  index.SetListLoading(false);
  EXPECT_FALSE(index.IsListLoading());
}

}  // namespace
