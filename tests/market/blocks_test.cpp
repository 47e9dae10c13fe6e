#include "market/blocks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/emem.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/server_blocks.h"
#include "platform/debugout.h"

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;
using market_fixture::MarketSandbox;
using market_fixture::UtcAt;

namespace {

// The server category files as the fixture makes them.
struct IndexEntry {
  uint8_t category;
  uint32_t number;
  const char *name;
};

std::string IndexFile(const std::vector<IndexEntry> &entries) {
  std::vector<testing_support::ServerBlock> blocks;
  for (const IndexEntry &e : entries) blocks.push_back({e.category, e.number, e.name, {}});
  return testing_support::ServerBlockIndex(blocks);
}

std::string MemberFile(uint32_t number, const std::vector<std::pair<int, std::string>> &members, int count = -1) {
  return testing_support::ServerBlockMembers(number, members, count);
}

std::string Member(const BLOCKMEMBER &m) {
  return std::to_string(m.market) + "/" + std::to_string(m.kind) + "/" + std::to_string(m.stock) + "@" +
         std::to_string(m.position);
}

std::vector<std::string> Members(const BLOCK *b) {
  std::vector<std::string> out;
  if (b)
    for (int i = 0; i < b->memberCount; ++i) out.push_back(Member(b->members[i]));
  return out;
}

// Three markets: two stock markets with an index kind (their blocks get
// finance weights) and a futures market.
class BlockTest : public testing::Test {
 protected:
  BlockTest() : clock_(UtcAt(2024, 1, 15, 2, 0)) {
    UpdateCurrentUtcTime();
    MKINFO sh = MakeMarket("SH", "shd", 1, 8, 8, 0);
    std::snprintf(sh.name, sizeof sh.name, "上海");
    AddKind(sh, "指数", {{570, 690}, {780, 900}}, 540, 960);
    AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO sz = MakeMarket("SZ", "szd", 1, 8, 8, 1);
    std::snprintf(sz.name, sizeof sz.name, "深圳");
    AddKind(sz, "指数", {{570, 690}, {780, 900}}, 540, 960);
    AddKind(sz, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO dl = MakeMarket("DL", "dlf", 2, 4, 8, 3);
    std::snprintf(dl.name, sizeof dl.name, "大连");
    AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
    box_.WriteMarketInfo({sh, sz, dl});
    box_.WriteTable(sh, "nametbl",
                    std::vector<STKINFO>{MakeStock(0, 0, "000001", "综合"), MakeStock(0, 1, "600000", "银行"),
                                         MakeStock(0, 1, "600036", "招行"), MakeStock(0, 0, "000300", "沪深300")});
    box_.WriteTable(sz, "nametbl",
                    std::vector<STKINFO>{MakeStock(1, 0, "399001", "成指"), MakeStock(1, 1, "000001", "平安"),
                                         MakeStock(1, 1, "000002", "万科")});
    box_.WriteTable(dl, "nametbl", std::vector<STKINFO>{MakeStock(2, 0, "M01", "豆粕"), MakeStock(2, 0, "M05", "豆粕05")});
    box_.WriteTable(dl, "nametble", std::vector<STKINFOEX>{MakeStockEx("M2401"), MakeStockEx("M2405")});
  }
  ~BlockTest() override { FreeBlocks(); }

  void BuildMarkets() {
    io_ = std::make_unique<TDataIO>(nullptr);
    ASSERT_EQ(MarketTable.marketCount, 3);
  }
  std::string UserFile() const { return box_.Read("user/blocks.ini"); }
  void PutUserFile(const std::string &text) const { box_.WriteText("user/blocks.ini", text); }
  BLOCKGROUP *Group(int i) { return i < BlockTable.groupCount ? &BlockTable.groups[i] : nullptr; }

  ScopedFakeClock clock_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  std::unique_ptr<TDataIO> io_;
};

TEST_F(BlockTest, MarketAndKindBlocksComeFirst) {
  BuildMarkets();
  {
    TBlockGroup table;
    ASSERT_EQ(BlockTable.groupCount, 3);  // no server index, no files
    EXPECT_STREQ(Group(0)->name, "分类股板块");
    EXPECT_EQ(Group(0)->type, kGroupMarkets);
    EXPECT_STREQ(Group(1)->name, "系统板块");
    EXPECT_EQ(Group(1)->type, kGroupSharedFile);
    EXPECT_STREQ(Group(1)->sourceFile, "..\\cfg\\blocks.ini");
    EXPECT_STREQ(Group(2)->name, "用户板块");
    EXPECT_EQ(FindUserBlockGroup(), Group(2));
    EXPECT_EQ(std::string(Group(2)->sourceFile), std::string(UserDataPath) + "blocks.ini");

    struct Case {
      const char *name;
      uint8_t kind;
      int market, indexInGroup;
      std::vector<std::string> members;
    } cases[] = {
        {"上海", kBlockMarket, 0, 0, {"0/0/0@0", "0/1/1@1", "0/1/2@2", "0/0/3@3"}},
        {"深圳", kBlockMarket, 1, 1, {"1/0/0@0", "1/1/1@1", "1/1/2@2"}},
        {"大连", kBlockMarket, 2, 2, {"2/0/0@0", "2/0/1@1"}},
        {"指数", kBlockStockKind, 0, 0, {"0/0/0@0", "0/0/3@1"}},
        {"A股", kBlockStockKind, 0, 1, {"0/1/1@0", "0/1/2@1"}},
        {"指数", kBlockStockKind, 1, 2, {"1/0/0@0"}},
        {"A股", kBlockStockKind, 1, 3, {"1/1/1@0", "1/1/2@1"}},
        {"期货", kBlockStockKind, 2, 4, {"2/0/0@0", "2/0/1@1"}},
    };
    ASSERT_EQ(Group(0)->blockCount, 8);
    ASSERT_EQ(BlockTable.blockCount, 8);
    for (int id = 0; id < 8; ++id) {
      SCOPED_TRACE(id);
      const Case &c = cases[id];
      EXPECT_EQ(Group(0)->blockIds[id], id);
      const BLOCK *b = FindBlockById(id);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->blockId, id);
      EXPECT_STREQ(b->name, c.name);
      EXPECT_EQ(b->kind, c.kind);
      EXPECT_EQ(b->market, c.market);
      EXPECT_EQ(b->indexInGroup, c.indexInGroup);
      EXPECT_EQ(b->groupIndex, 0);
      EXPECT_EQ(Members(b), c.members);
      EXPECT_EQ(FindBlockByKindIndex(c.kind, c.indexInGroup), b);
    }
    EXPECT_EQ(FindBlockById(8), nullptr);
    EXPECT_EQ(FindBlockById(-1), nullptr);
    EXPECT_EQ(FindBlockByKindIndex(kBlockStockKind, 5), nullptr);
  }
  EXPECT_EQ(BlockTable.blockCount, 0);
  EXPECT_EQ(BlockTable.blocks[0].members, nullptr);
}

TEST_F(BlockTest, ServerCategoriesGroupInOrderOfFirstAppearance) {
  BuildMarkets();
  std::string index = IndexFile({{2, 101, "银行"}, {1, 201, "华东"}, {2, 102, "沪深300"}, {7, 301, "其他"}});
  box_.Write("cfg/Block/BlockIndex.idx", index.data(), index.size());
  // Unknown codes, markets outside the table and values below 1000 are skipped.
  std::string m101 = MemberFile(101, {{1000, "600000"}, {1001, "000001"}, {1000, "999999"}, {1009, "600000"}, {999, "600000"}});
  std::string m102 = MemberFile(102, {{1000, "600000"}, {1000, "600036"}, {1002, "M01"}});
  box_.Write("cfg/Block/101.dat", m101.data(), m101.size());
  box_.Write("cfg/Block/102.dat", m102.data(), m102.size());

  ReloadBlocks();
  ASSERT_EQ(BlockTable.groupCount, 6);
  struct GroupCase {
    const char *name;
    int32_t type;
    uint8_t category;
    std::vector<uint16_t> ids;
  } groups[] = {
      {"行业板块", kGroupServer, 2, {8, 9, 12}},
      {"地域板块", kGroupServer, 1, {10, 11}},
      {"", kGroupServer, 7, {13, 14}},
      {"系统板块", kGroupSharedFile, 0, {}},
      {"用户板块", kGroupUserFile, 0, {}},
  };
  for (int g = 1; g < 6; ++g) {
    SCOPED_TRACE(g);
    const GroupCase &c = groups[g - 1];
    EXPECT_STREQ(Group(g)->name, c.name);
    EXPECT_EQ(Group(g)->type, c.type);
    EXPECT_EQ(Group(g)->category, c.category);
    EXPECT_EQ(Group(g)->groupIndex, g);
    EXPECT_EQ(std::vector<uint16_t>(Group(g)->blockIds, Group(g)->blockIds + Group(g)->blockCount), c.ids);
  }
  struct BlockCase {
    int id;
    const char *name;
    uint8_t kind;
    int group, indexInGroup;
    std::vector<std::string> members;
  } blocks[] = {
      {8, "^行业板块", kBlockShared, 1, 0, {}},
      {9, "银行", kBlockServer, 1, 1, {"0/1/1@0", "1/1/1@1"}},
      {10, "^地域板块", kBlockShared, 2, 0, {}},
      {11, "华东", kBlockServer, 2, 1, {}},  // no member file
      {12, "沪深300", kBlockServer, 1, 2, {"0/1/1@0", "0/1/2@1", "2/0/0@2"}},
      {13, "^", kBlockShared, 3, 0, {}},
      {14, "其他", kBlockServer, 3, 1, {}},
  };
  for (const BlockCase &c : blocks) {
    SCOPED_TRACE(c.id);
    const BLOCK *b = FindBlockById(c.id);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->name, c.name);
    EXPECT_EQ(b->kind, c.kind);
    EXPECT_EQ(b->groupIndex, c.group);
    EXPECT_EQ(b->indexInGroup, c.indexInGroup);
    EXPECT_EQ(Members(b), c.members);
  }

  // Index weights only come with hs300w.ini; markets without finance
  // records are left alone.
  TMarketData *sh = MarketTable.markets[0];
  EXPECT_EQ(sh->m_finance[1].indexWeight, 0.0f);
  box_.WriteText("cfg/hs300w.ini", "[WEIGHT]\n600000=1.5\n600036=abc\n000001=9\n");
  ReloadBlocks();
  EXPECT_FLOAT_EQ(sh->m_finance[1].indexWeight, 0.015f);
  EXPECT_EQ(sh->m_finance[2].indexWeight, 0.0f);
  EXPECT_EQ(sh->m_finance[0].indexWeight, 0.0f);  // not a member of the block
}

TEST_F(BlockTest, DamagedServerFilesKeepWhatIsWholeAndSayWhy) {
  BuildMarkets();
  const std::string goodIndex = IndexFile({{2, 101, "银行"}});
  const std::string twoIndex = IndexFile({{2, 101, "银行"}, {1, 201, "华东"}});
  const std::string goodMembers = MemberFile(101, {{1000, "600000"}, {1001, "000001"}});
  struct Case {
    const char *what;
    std::string index, members;
    int serverGroups, memberCount;
    const char *logged;  // part of the debug line, or null for none
  } cases[] = {
      {"good", goodIndex, goodMembers, 1, 2, nullptr},
      {"index header cut", goodIndex.substr(0, 3), goodMembers, 0, 0, "block index: cut in its header"},
      {"index record cut", twoIndex.substr(0, twoIndex.size() - 16), goodMembers, 1, 2,
       "block index: a record cut after 10 bytes"},
      {"index header only", goodIndex.substr(0, 4), goodMembers, 0, 0, nullptr},
      {"count past the end", goodIndex, MemberFile(101, {{1000, "600000"}, {1001, "000001"}}, 3), 1, 2,
       "block 101: member file cut after 2 of 3 members"},
      {"member cut", goodIndex, goodMembers.substr(0, goodMembers.size() - 1), 1, 1,
       "block 101: member file cut after 1 of 2 members"},
      {"bytes after the members", goodIndex, goodMembers + "x", 1, 2, nullptr},
      {"header cut", goodIndex, goodMembers.substr(0, 5), 1, 0, "block 101: member file cut in its header"},
      {"another block's file", goodIndex, MemberFile(555, {{1000, "600000"}}), 1, 0,
       "block 101: the member file names block 555"},
      {"no members", goodIndex, MemberFile(101, {}), 1, 0, nullptr},
      {"count 65535", goodIndex, MemberFile(101, {{1000, "600000"}}, 65535), 1, 1,
       "block 101: member file cut after 1 of 65535 members"},
  };
  std::vector<std::string> lines;
  const platform::DebugOutputSink before =
      platform::SetDebugOutputSink([&](const std::string &line) { lines.push_back(line); });
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    lines.clear();
    box_.Write("cfg/Block/BlockIndex.idx", c.index.data(), c.index.size());
    box_.Write("cfg/Block/101.dat", c.members.data(), c.members.size());
    ReloadBlocks();
    int serverGroups = 0;
    for (int g = 0; g < BlockTable.groupCount; ++g) serverGroups += BlockTable.groups[g].type == kGroupServer;
    EXPECT_EQ(serverGroups, c.serverGroups);
    EXPECT_EQ(BlockTable.groupCount, 3 + c.serverGroups);
    if (c.serverGroups) {
      const BLOCK *b = FindBlockByName("银行");
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->memberCount, c.memberCount);
    }
    if (c.logged) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_NE(lines[0].find(c.logged), std::string::npos) << lines[0];
    } else {
      EXPECT_TRUE(lines.empty());
    }
    // Nothing is written back over a damaged file.
    EXPECT_EQ(box_.Read("cfg/Block/BlockIndex.idx"), c.index);
    EXPECT_EQ(box_.Read("cfg/Block/101.dat"), c.members);
  }
  platform::SetDebugOutputSink(before);
}

TEST_F(BlockTest, UserBlocksKeepWhatTheTableLacks) {
  BuildMarkets();
  PutUserFile(
      "[FileInfo]\r\nVersion=1\r\n"
      "[自选一]\r\nI1=SH 600000\r\nI2=XX 123456\r\nI3=SZ 000001\r\nI4=SH 999999\r\nI5=DL M05\r\n"
      "[空板块]\r\n"
      "[第三]\r\nI1=sz 000002\r\n");
  ReloadBlocks();
  BLOCKGROUP *user = FindUserBlockGroup();
  ASSERT_NE(user, nullptr);
  ASSERT_EQ(user->blockCount, 3);
  BLOCK *first = FindBlockByName("自选一");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->kind, kBlockUser);
  EXPECT_EQ(first->groupIndex, user->groupIndex);
  EXPECT_EQ(first->indexInGroup, 0);
  EXPECT_EQ(Members(first), (std::vector<std::string>{"0/1/1@0", "1/1/1@1", "2/0/1@2"}));
  EXPECT_EQ(FindBlockByName("空板块")->memberCount, 0);
  EXPECT_EQ(Members(FindBlockByName("第三")), std::vector<std::string>{"1/1/2@0"});
  EXPECT_EQ(FindBlockByName("第三")->indexInGroup, 2);

  // Saving gives the file back with the unknown entries where they stood.
  const std::string saved =
      "[FileInfo]\r\nVersion=1\r\n"
      "[自选一]\r\nI1=SH 600000\r\nI2=XX 123456\r\nI3=SZ 000001\r\nI4=SH 999999\r\nI5=DL M05\r\n"
      "[空板块]\r\n"
      "[第三]\r\nI1=SZ 000002\r\n";
  EXPECT_EQ(SaveUserBlocks(), 1);
  EXPECT_EQ(UserFile(), saved);

  // The user drops the first member and makes a new block, as the block
  // dialogs do; the entries the table lacks survive both.
  std::memmove(first->members, first->members + 1, 2 * sizeof(BLOCKMEMBER));
  first->memberCount = 2;
  BLOCK *added = AllocBlock();
  ASSERT_NE(added, nullptr);
  std::snprintf(added->name, sizeof added->name, "新板块");
  added->groupIndex = user->groupIndex;
  added->indexInGroup = int16_t(user->blockCount);
  added->members[0] = BLOCKMEMBER{0, 1, 2, 0, 0, 0};
  added->memberCount = 1;
  user->blockIds[user->blockCount++] = uint16_t(added->blockId);
  EXPECT_EQ(SaveUserBlocks(), 1);
  const std::string edited =
      "[FileInfo]\r\nVersion=1\r\n"
      "[自选一]\r\nI1=SZ 000001\r\nI2=XX 123456\r\nI3=DL M05\r\nI4=SH 999999\r\n"
      "[空板块]\r\n"
      "[第三]\r\nI1=SZ 000002\r\n"
      "[新板块]\r\nI1=SH 600036\r\n";
  EXPECT_EQ(UserFile(), edited);

  // Read back and saved again, the file stays as it is.
  ReloadBlocks();
  EXPECT_EQ(Members(FindBlockByName("新板块")), std::vector<std::string>{"0/1/2@0"});
  EXPECT_EQ(Members(FindBlockByName("自选一")), (std::vector<std::string>{"1/1/1@0", "2/0/1@1"}));
  EXPECT_EQ(SaveUserBlocks(), 1);
  EXPECT_EQ(UserFile(), edited);
}

TEST_F(BlockTest, OlderFilesAreReadAndRewrittenAtOnce) {
  BuildMarkets();
  struct Case {
    const char *file;
    const char *header;
    uint8_t kind;
    int group;
  } cases[] = {
      {"user/blocks.ini", "", kBlockUser, 2},                                 // no [FileInfo]
      {"cfg/blocks.ini", "[FileInfo]\r\nVersion=0\r\n", kBlockShared, 1},  // version 0
  };
  const std::string rewritten =
      "[FileInfo]\r\nVersion=1\r\n"
      "[旧板块]\r\nI1=SH 600000\r\nI2=SZ 000002\r\nI3=05  999999\r\nI4=SZ 999999\r\nI5=SH 600036\r\nI6=x\r\n"
      "[另一个]\r\nI1=DL M01\r\n";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.file);
    box_.WriteText("user/blocks.ini", "");
    box_.WriteText("cfg/blocks.ini", "");
    // Lines name the market by its short name, or by a two-digit index with
    // the code from the fifth character; a market index the table lacks
    // and an unknown code stay as they are.
    box_.WriteText(c.file, std::string(c.header) +
                               "[旧板块]\r\nSH 600000\r\n01  000002\r\n05  999999\r\nSZ 999999\r\n00  600036\r\n"
                               "; a comment\r\nx\r\n"
                               "[另一个]\r\nDL M01\r\n");
    ReloadBlocks();
    const BLOCK *old = FindBlockByName("旧板块");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->kind, c.kind);
    EXPECT_EQ(old->groupIndex, c.group);
    EXPECT_EQ(Members(old), (std::vector<std::string>{"0/1/1@0", "1/1/2@1", "0/1/2@2"}));
    EXPECT_EQ(Members(FindBlockByName("另一个")), std::vector<std::string>{"2/0/0@0"});
    EXPECT_EQ(box_.Read(c.file), rewritten);
  }
}

TEST_F(BlockTest, MissingBlockFilesStayMissing) {
  BuildMarkets();
  ReloadBlocks();
  EXPECT_EQ(FindUserBlockGroup()->blockCount, 0);
  EXPECT_FALSE(box_.Exists("user/blocks.ini"));
  EXPECT_FALSE(box_.Exists("cfg/blocks.ini"));
}

TEST_F(BlockTest, LongSectionNamesAreCutWithoutClashing) {
  BuildMarkets();
  PutUserFile(
      "[FileInfo]\r\nVersion=1\r\n"
      "[ABCDEFGHIJKLMNOPQ]\r\nI1=SH 600000\r\n"
      "[abcdefghijklmnoXYZ]\r\nI1=SZ 000001\r\n"  // cut, it would be the block above
      "[一二三四五六七八]\r\nI1=DL M01\r\n");
  ReloadBlocks();
  ASSERT_EQ(FindUserBlockGroup()->blockCount, 2);
  EXPECT_EQ(Members(FindBlockByName("ABCDEFGHIJKLMNO")), std::vector<std::string>{"0/1/1@0"});
  EXPECT_EQ(Members(FindBlockByName("一二三四五六七")), std::vector<std::string>{"2/0/0@0"});  // 14 bytes, no half character
  EXPECT_EQ(SaveUserBlocks(), 1);
  EXPECT_EQ(UserFile(),
            "[FileInfo]\r\nVersion=1\r\n"
            "[ABCDEFGHIJKLMNO]\r\nI1=SH 600000\r\n"
            "[一二三四五六七]\r\nI1=DL M01\r\n"
            "[abcdefghijklmnoXYZ]\r\nI1=SZ 000001\r\n");
}

TEST_F(BlockTest, NothingIsLostWhenTheTableIsFull) {
  BuildMarkets();
  // One server category of 503 blocks fills the table with the 8 market
  // and kind blocks and the title entry.
  std::vector<IndexEntry> entries;
  std::vector<std::string> names(503);
  for (int i = 0; i < 503; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "S%d", i);
    names[i] = name;
    entries.push_back({3, uint32_t(1000 + i), names[i].c_str()});
  }
  std::string index = IndexFile(entries);
  box_.Write("cfg/Block/BlockIndex.idx", index.data(), index.size());
  std::string full = "[FileInfo]\r\nVersion=1\r\n[满]\r\nI1=SH 600000\r\n";
  for (int i = 1; i <= kMaxBlockMembers + 1; ++i) {
    full += 'I';
    full += std::to_string(i + 1);
    full += "=SZ 000001\r\n";
  }
  PutUserFile(full);
  box_.WriteText("cfg/blocks.ini", "[甲]\r\nSH 600000\r\n[乙]\r\nSZ 000001\r\n");
  ReloadBlocks();
  EXPECT_EQ(BlockTable.blockCount, kMaxBlocks);
  EXPECT_EQ(AllocBlock(), nullptr);
  EXPECT_EQ(Group(2)->blockCount, 0);  // the shared group got no block
  EXPECT_EQ(FindUserBlockGroup()->blockCount, 0);
  // The shared file was in the older form: rewritten, sections whole.
  EXPECT_EQ(box_.Read("cfg/blocks.ini"),
            "[FileInfo]\r\nVersion=1\r\n[甲]\r\nI1=SH 600000\r\n[乙]\r\nI1=SZ 000001\r\n");
  EXPECT_EQ(SaveUserBlocks(), 1);
  EXPECT_EQ(UserFile(), full);

  // With room again the full block takes 7168 members and keeps the rest.
  std::remove(box_.Path("cfg/Block/BlockIndex.idx").c_str());
  ReloadBlocks();
  const BLOCK *b = FindBlockByName("满");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->memberCount, kMaxBlockMembers);
  EXPECT_EQ(Member(b->members[kMaxBlockMembers - 1]), "1/1/1@7167");
  EXPECT_EQ(SaveUserBlocks(), 1);
  EXPECT_EQ(UserFile(), full);
}

TEST_F(BlockTest, AllocBlockCountsEveryRecordSinceTheReload) {
  BuildMarkets();
  ReloadBlocks();
  BlockTable.blocks[5].inUse = 0;
  BLOCK *reused = AllocBlock();
  ASSERT_NE(reused, nullptr);
  EXPECT_EQ(reused->blockId, 5);  // the first free record below the high-water mark
  EXPECT_STREQ(reused->name, "板块05");
  EXPECT_EQ(reused->kind, kBlockUser);
  EXPECT_EQ(reused->memberCount, 0);
  EXPECT_EQ(reused->groupIndex, 0);
  EXPECT_EQ(reused->inUse, 1);

  // A record whose member buffer can't be had is not handed out.
  SetMallocRefusal([](int32_t) { return true; });
  EXPECT_EQ(AllocBlock(), nullptr);
  SetMallocRefusal(nullptr);
  EXPECT_EQ(BlockTable.blockCount, 8);

  int more = 0;
  while (AllocBlock()) ++more;
  EXPECT_EQ(more, kMaxBlocks - 9);
  // The reused record counted too: the last record was never reached.
  EXPECT_EQ(BlockTable.blockCount, kMaxBlocks - 1);
  EXPECT_STREQ(BlockTable.blocks[510].name, "板块510");
  BlockTable.blocks[100].inUse = 0;
  EXPECT_EQ(AllocBlock(), nullptr);  // freed, but 512 were taken since the reload
  BLOCKMEMBER *buffer = BlockTable.blocks[8].members;

  ReloadBlocks();
  EXPECT_EQ(BlockTable.blockCount, 8);
  BLOCK *next = AllocBlock();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->blockId, 8);
  EXPECT_EQ(next->members, buffer);  // buffers stay for reuse
}

TEST_F(BlockTest, FindBlockByNameIsExact) {
  BuildMarkets();
  PutUserFile("[FileInfo]\r\nVersion=1\r\n[Mine]\r\n[深圳]\r\n");
  ReloadBlocks();
  BlockTable.blocks[3].inUse = 0;  // the first "指数"
  struct Case {
    const char *name;
    int id;  // -1: none
  } cases[] = {
      {nullptr, -1}, {"", -1},      {"Mine", 8},  {"mine", -1}, {"Min", -1},
      {"深圳", 1},  // the market block comes first
      {"指数", 5},  // the unused record is passed over
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    BLOCK *b = FindBlockByName(c.name);
    EXPECT_EQ(b ? b->blockId : -1, c.id);
  }
}

TEST_F(BlockTest, AFailedSaveLeavesTheOldFile) {
  BuildMarkets();
  const std::string text = "[FileInfo]\r\nVersion=1\r\n[自选]\r\nI1=SH 600000\r\n";
  PutUserFile(text);
  ReloadBlocks();
  FindBlockByName("自选")->memberCount = 0;
  ASSERT_EQ(chmod(box_.Path("user/blocks.ini").c_str(), 0444), 0);
  EXPECT_EQ(SaveUserBlocks(), 0);
  EXPECT_EQ(UserFile(), text);
  EXPECT_EQ(SaveBlockFile(nullptr), 0);
  EXPECT_EQ(SaveBlockFile(Group(0)), 0);  // the market group has no file
}

}  // namespace
