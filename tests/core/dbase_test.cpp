#include "core/dbase.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>

#include "testing/dbf_fixture.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class DbfTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing_support::MakeTempFolder("kivo-dbf");
    ASSERT_FALSE(root_.empty());
    path_ = root_ + "/broker.dbf";
  }
  void TearDown() override {
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }

  // A broker table as the broker queue reads it: number and name.
  static DbfDesc Brokers(std::vector<std::vector<std::string>> rows) {
    DbfDesc desc;
    desc.fields = {{"IDS", 'N', 4}, {"NAME", 'C', 8}};
    desc.rows = std::move(rows);
    return desc;
  }

  std::string root_;
  std::string path_;
};

TEST_F(DbfTableTest, ReadsFieldTextsAsStored) {
  DbfDesc desc = Brokers({{"1", "alpha"}, {"5", "beta"}, {"9", "gamma"}});
  desc.deletedRows = {1};
  ASSERT_TRUE(WriteDbf(path_, desc));

  TDbfTable table(path_.c_str());
  EXPECT_EQ(table.GetFieldText("IDS"), nullptr) << "nothing before Open";
  ASSERT_TRUE(table.Open(false));
  EXPECT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.FieldCount(), 2);
  EXPECT_EQ(table.CurrentRow(), 0);
  EXPECT_STREQ(table.GetFieldText("IDS"), "   1");
  EXPECT_STREQ(table.GetFieldText("NAME"), "alpha   ");
  for (const char *name : {"ids", "Ids", "name"}) EXPECT_NE(table.GetFieldText(name), nullptr) << name;
  for (const char *name : {"ID", "IDSX", "", "DELETED"}) EXPECT_EQ(table.GetFieldText(name), nullptr) << name;
  EXPECT_EQ(table.GetFieldText(nullptr), nullptr);

  ASSERT_TRUE(table.GoToRow(1));  // deleted rows are rows like any other
  EXPECT_STREQ(table.GetFieldText("NAME"), "beta    ");
  ASSERT_TRUE(table.GoToRow(2));
  EXPECT_STREQ(table.GetFieldText("ids"), "   9");
  EXPECT_TRUE(table.Open(false)) << "already open";
  EXPECT_EQ(table.CurrentRow(), 2);
}

TEST_F(DbfTableTest, GoToRowOutsideTheTableKeepsTheCurrentRow) {
  ASSERT_TRUE(WriteDbf(path_, Brokers({{"1", "a"}, {"5", "b"}, {"9", "c"}})));
  TDbfTable table(path_.c_str());
  EXPECT_FALSE(table.GoToRow(0)) << "not open";
  ASSERT_TRUE(table.Open(false));
  ASSERT_TRUE(table.GoToRow(1));
  for (int32_t n : {3, -1, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(table.GoToRow(n));
    EXPECT_EQ(table.CurrentRow(), 1);
    EXPECT_STREQ(table.GetFieldText("NAME"), "b       ");
  }
}

TEST_F(DbfTableTest, RowsAreTheWholeRecordsUpToTheAnnouncedCount) {
  struct Case {
    int written;
    uint32_t announced;
    int extraBytes;  // part of one more record at the end
    int rows;
  } cases[] = {
      {7, 10, 0, 7}, {12, 10, 0, 10}, {7, 7, 12, 7}, {3, 0, 0, 0}, {0, 5, 0, 0}, {1, UINT32_MAX, 0, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.written << " written, " << c.announced << " announced, "
                                    << c.extraBytes << " more bytes");
    DbfDesc desc = Brokers({});
    for (int i = 0; i < c.written; ++i) {
      std::string name = "n";
      name += std::to_string(i);
      desc.rows.push_back({std::to_string(i), name});
    }
    desc.recordCount = c.announced;
    desc.endMarker = false;
    std::string bytes = BuildDbf(desc);
    bytes.append(size_t(c.extraBytes), '#');
    ASSERT_TRUE(WriteBytes(path_, bytes));

    TDbfTable table(path_.c_str());
    ASSERT_TRUE(table.Open(false));
    EXPECT_EQ(table.RowCount(), c.rows);
    if (c.rows > 0) {
      ASSERT_TRUE(table.GoToRow(c.rows - 1));
      std::string last = "n";
      last += std::to_string(c.rows - 1);
      last.resize(8, ' ');
      EXPECT_EQ(table.GetFieldText("NAME"), last);
    }
    EXPECT_FALSE(table.GoToRow(c.rows));
  }
}

TEST_F(DbfTableTest, EmptyTableReadsEmptyTexts) {
  ASSERT_TRUE(WriteDbf(path_, Brokers({})));
  TDbfTable table(path_.c_str());
  ASSERT_TRUE(table.Open(false));
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_STREQ(table.GetFieldText("NAME"), "");
  EXPECT_EQ(table.FindRowAtOrBelow("IDS", 5), -1);
  EXPECT_FALSE(table.GoToRow(0));
}

TEST_F(DbfTableTest, FindRowAtOrBelowGivesTheRowBeforeTheFirstGreaterValue) {
  ASSERT_TRUE(WriteDbf(path_, Brokers({{"1", "a"}, {"5", "b"}, {"9", "c"}})));
  TDbfTable table(path_.c_str());
  ASSERT_TRUE(table.Open(false));
  struct Case {
    const char *field;
    int32_t n;
    int32_t row;
    int32_t currentAfter;  // from current row 1
  } cases[] = {
      {"IDS", 6, 1, 2},     {"IDS", 5, 1, 2},   {"IDS", 4, 0, 1},          {"IDS", 1, 0, 1},
      {"ids", 8, 1, 2},     {"IDS", 0, -1, 0},  {"IDS", INT32_MIN, -1, 0},
      // At or above the last row's value no row exceeds n: -1, row kept.
      {"IDS", 9, -1, 1},    {"IDS", 100, -1, 1}, {"IDS", INT32_MAX, -1, 1},
      {"NOSUCH", 6, -1, 1},
      // Names read as 0 (no leading digits).
      {"NAME", -1, -1, 0},  {"NAME", 0, -1, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.field << " at or below " << c.n);
    ASSERT_TRUE(table.GoToRow(1));
    EXPECT_EQ(table.FindRowAtOrBelow(c.field, c.n), c.row);
    EXPECT_EQ(table.CurrentRow(), c.currentAfter);
  }
}

TEST_F(DbfTableTest, FindRowAtOrBelowReadsNumbersTheWayAtolDoes) {
  DbfDesc desc;
  desc.fields = {{"V", 'C', 24}};
  desc.rows = {{" +2"}, {"7abc"}, {"  12 "}, {"99999999999999999999"}};
  ASSERT_TRUE(WriteDbf(path_, desc));
  TDbfTable table(path_.c_str());
  ASSERT_TRUE(table.Open(false));
  struct Case {
    int32_t n;
    int32_t row;
  } cases[] = {{1, -1}, {2, 0}, {6, 0}, {7, 1}, {11, 1}, {12, 2}, {INT32_MAX, 2}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(table.FindRowAtOrBelow("V", c.n), c.row);
  }
}

TEST_F(DbfTableTest, OpenReadsWithoutWritingOrCreating) {
  TDbfTable missing(path_.c_str());
  EXPECT_FALSE(missing.Open(false));
  EXPECT_FALSE(fs::exists(path_)) << "a missing table must not be created";

  ASSERT_TRUE(WriteDbf(path_, Brokers({{"3", "x"}})));
  fs::permissions(path_, fs::perms::owner_read);
  TDbfTable readOnly(path_.c_str());
  EXPECT_TRUE(readOnly.Open(false)) << "a table we may only read";
  EXPECT_STREQ(readOnly.GetFieldText("IDS"), "   3");

  // Kept open, the table reads the same; its destructor closes the file.
  TDbfTable kept(path_.c_str());
  EXPECT_TRUE(kept.Open(true));
  EXPECT_STREQ(kept.GetFieldText("NAME"), "x       ");
}

TEST_F(DbfTableTest, FindsTheFileWithoutRegardToCase) {
  ASSERT_TRUE(WriteDbf(path_, Brokers({{"3", "x"}})));
  std::string windowsForm = root_ + "\\BROKER.DBF";
  TDbfTable table(windowsForm.c_str());
  EXPECT_TRUE(table.Open(false));
}

TEST_F(DbfTableTest, RefusesFilesTheHeaderDoesNotDescribe) {
  auto many = [](int count) {
    DbfDesc desc;
    for (int i = 0; i < count; ++i) {
      std::string name = "F";
      name += std::to_string(i);
      desc.fields.push_back({name, 'C', 1});
    }
    desc.rows = {{}};
    return desc;
  };
  struct Case {
    const char *what;
    std::function<std::string()> bytes;
  } cases[] = {
      {"empty file", [] { return std::string(); }},
      {"shorter than the fixed header", [&] { return BuildDbf(Brokers({{"1", "a"}})).substr(0, 15); }},
      {"cut inside the field descriptors", [&] { return BuildDbf(Brokers({{"1", "a"}})).substr(0, 60); }},
      {"cut before the header's terminator", [&] { return BuildDbf(Brokers({{"1", "a"}})).substr(0, 96); }},
      {"header length 0", [&] { DbfDesc s = Brokers({{"1", "a"}}); s.headerLength = 0; return BuildDbf(s); }},
      {"header length 32", [&] { DbfDesc s = Brokers({{"1", "a"}}); s.headerLength = 32; return BuildDbf(s); }},
      {"header length beyond the file",
       [&] { DbfDesc s = Brokers({{"1", "a"}}); s.headerLength = 0xFFFF; return BuildDbf(s); }},
      {"record length 0", [&] { DbfDesc s = Brokers({{"1", "a"}}); s.recordLength = 0; return BuildDbf(s); }},
      {"fields one byte longer than the record",
       [&] { DbfDesc s = Brokers({{"1", "a"}}); s.recordLength = 12; return BuildDbf(s); }},
      {"fields far beyond the record",
       [&] {
         DbfDesc s = Brokers({{"1", "a"}});
         s.fields[1].length = 255;
         s.recordLength = 13;
         return BuildDbf(s);
       }},
      {"257 fields", [&] { return BuildDbf(many(257)); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteBytes(path_, c.bytes()));
    TDbfTable table(path_.c_str());
    EXPECT_FALSE(table.Open(false));
    EXPECT_FALSE(table.IsOpen());
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.FieldCount(), 0);
    EXPECT_EQ(table.GetFieldText("IDS"), nullptr);
    EXPECT_FALSE(table.GoToRow(0));
    EXPECT_EQ(table.FindRowAtOrBelow("IDS", 1), -1);
  }

  // The limits themselves are fine.
  struct Fine {
    const char *what;
    DbfDesc desc;
    int fields;
  } fine[] = {
      {"256 fields", many(256), 256},
      {"fields that fill the record exactly", Brokers({{"1", "a"}}), 2},
      {"no fields", DbfDesc{}, 0},
  };
  fine[2].desc.rows = {{}, {}};
  for (const Fine &f : fine) {
    SCOPED_TRACE(f.what);
    ASSERT_TRUE(WriteDbf(path_, f.desc));
    TDbfTable table(path_.c_str());
    EXPECT_TRUE(table.Open(false));
    EXPECT_EQ(table.FieldCount(), f.fields);
  }
}

TEST_F(DbfTableTest, AFailedOpenLeavesNothingBehindAndCanBeRetried) {
  ASSERT_TRUE(WriteBytes(path_, BuildDbf(Brokers({{"1", "a"}})).substr(0, 40)));
  TDbfTable table(path_.c_str());
  EXPECT_FALSE(table.Open(false));
  ASSERT_TRUE(WriteDbf(path_, Brokers({{"1", "a"}, {"2", "b"}})));
  ASSERT_TRUE(table.Open(false));
  EXPECT_EQ(table.RowCount(), 2);
}

TEST_F(DbfTableTest, PathsTooLongOrMissingOpenNothing) {
  std::string longPath = root_ + "/" + std::string(300, 'p');
  TDbfTable tooLong(longPath.c_str());
  EXPECT_FALSE(tooLong.Open(false));
  TDbfTable none(nullptr);
  EXPECT_FALSE(none.Open(false));
  TDbfTable empty("");
  EXPECT_FALSE(empty.Open(false));
}

}  // namespace
