#include "market/blocks.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/efile.h"
#include "core/emem.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/debugout.h"
#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/path.h"
#include "platform/profile.h"

TBlockTable BlockTable;

namespace {

constexpr const char kBlockIndexFile[] = "..\\CFG\\Block\\BlockIndex.idx";
constexpr const char kSharedBlockFile[] = "..\\cfg\\blocks.ini";
constexpr const char kIndexWeightFile[] = "..\\cfg\\hs300w.ini";

// Server category index: a 4-byte header, then 26-byte records.
constexpr size_t kIndexHeader = 4;
constexpr size_t kIndexRecord = 26;
// Server member file: a 7-byte header, then 9-byte members.
constexpr size_t kMemberHeader = 7;
constexpr size_t kMemberRecord = 9;
// No block file of the system comes near this; a bigger one is refused
// rather than read into memory.
constexpr int32_t kMaxBinaryFile = 64 << 20;
// Bounds on what one text file can make us read: the name and line lists
// grow to this, and a section gives at most this many entries.
constexpr size_t kMaxListBytes = 16 << 20;
constexpr int kMaxSectionEntries = 65536;

const char *const kCategoryNames[] = {"", "地域板块", "行业板块", "概念板块", "期证板块"};

// Entries of a block file that the table has no place for. They are kept
// so that saving the file gives them back as they were: a market or code
// the market table lacks today may well be there tomorrow.
struct KeptEntry {
  uint16_t before;  // the number of members read before it
  std::string text;
};
// A whole section that got no block record (the table was full).
struct KeptSection {
  std::string name;
  std::vector<std::string> texts;
};
struct KeptStore {
  std::vector<KeptEntry> entries[kMaxBlocks];
  std::vector<KeptSection> sections[kMaxBlockGroups];

  void Clear() {
    for (auto &e : entries) e.clear();
    for (auto &s : sections) s.clear();
  }
};

KeptStore &Kept() {
  static KeptStore store;
  return store;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Copies a GBK text into a fixed field, cutting it to fit without
// splitting a double-byte character. True when the whole text fitted.
bool CopyName(char *field, size_t size, std::string_view text) {
  size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  const size_t n = platform::GbkCutLength(text, size - 1);
  std::memcpy(field, text.data(), n);
  field[n] = 0;
  return n == text.size();
}

template <size_t N>
bool CopyName(char (&field)[N], std::string_view text) {
  return CopyName(field, N, text);
}

// A fixed field that need not hold a NUL.
std::string_view FieldText(const char *field, size_t size) { return std::string_view(field, strnlen(field, size)); }

uint16_t Le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const unsigned char *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool FileExists(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole file, or false when it can't be opened or is too big to be one
// of ours.
bool ReadWholeFile(const char *path, std::string &bytes) {
  int32_t file = FileOpen(path, "rb");
  if (file <= 0) return false;
  int32_t size = FileSize(file);
  bool ok = size >= 0 && size <= kMaxBinaryFile;
  if (ok) {
    bytes.assign(size_t(size), '\0');
    ok = size == 0 || FileRead(file, bytes.data(), 1, size) == size;
  }
  FileClose(file);
  return ok;
}

// A NUL-separated list from one of the profile calls, read with a buffer
// that grows until the list fits, so that no name or line is cut.
template <class Read>
std::vector<std::string> ReadList(size_t first, Read read) {
  std::string buffer(first, '\0');
  DWORD got = 0;
  for (;;) {
    got = read(buffer.data(), DWORD(buffer.size()));
    if (got + 2 < buffer.size() || buffer.size() >= kMaxListBytes) break;
    buffer.assign(buffer.size() * 2, '\0');
  }
  std::vector<std::string> items;
  std::string_view all(buffer.data(), got < buffer.size() ? got : buffer.size());
  while (!all.empty()) {
    size_t end = all.find('\0');
    std::string_view item = all.substr(0, end);
    if (!item.empty()) items.emplace_back(item);
    if (end == std::string_view::npos) break;
    all.remove_prefix(end + 1);
  }
  return items;
}

// Splits "word word ..." into its first two blank-separated words.
void SplitWords(std::string_view text, std::string &first, std::string &second) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  size_t start = i;
  while (i < text.size() && !IsBlank(text[i])) ++i;
  first.assign(text.substr(start, i - start));
  while (i < text.size() && IsBlank(text[i])) ++i;
  start = i;
  while (i < text.size() && !IsBlank(text[i])) ++i;
  second.assign(text.substr(start, i - start));
}

BLOCKMEMBER MakeMember(const TMarketData &market, int stock, uint16_t position) {
  BLOCKMEMBER m{};
  m.market = uint8_t(market.m_market);
  m.kind = market.m_stocks[stock].kind;
  m.stock = uint16_t(stock);
  m.position = position;
  return m;
}

// A member text "<market short name> <code>" as a member of the table.
bool ResolveMember(std::string_view text, BLOCKMEMBER &member) {
  std::string shortName, code;
  SplitWords(text, shortName, code);
  TMarketData *market = FindMarketByName(shortName.c_str());
  if (!market || !market->m_stocks) return false;
  int stock = market->FindStockIndex(code.c_str());
  if (stock < 0) return false;
  member = MakeMember(*market, stock, 0);
  return true;
}

// A line of the older form in the current form's words. Such a line is a
// market short name and a code, or a two-digit market index with the code
// from the fifth character on. A line that fits neither stays as it is.
std::string OlderLineAsEntry(std::string_view line) {
  std::string first, second;
  SplitWords(line, first, second);
  if (FindMarketByName(first.c_str())) return std::string(line);
  if (line.size() >= 5) {
    char digits[3] = {line[0], line[1], 0};
    char *end = nullptr;
    long index = std::strtol(digits, &end, 10);
    bool isIndex = end != digits && (*end == 0 || IsBlank(*end));
    std::string code, rest;
    SplitWords(line.substr(4), code, rest);
    if (isIndex && !code.empty() && line[4] != ' ' && line[4] != '\t') {
      if (const TMarketData *market = MarketAt(int(index))) return std::string(market->m_info.shortName) + " " + code;
    }
  }
  return std::string(line);
}

// The texts of a section's entries: the values of "I1", "I2", ... up to
// the first empty one, or in the older form the section's lines.
std::vector<std::string> ReadSectionEntries(const char *file, const std::string &section, bool olderForm) {
  std::vector<std::string> texts;
  if (olderForm) {
    std::vector<std::string> lines = ReadList(16384, [&](char *buffer, DWORD size) {
      return GetPrivateProfileSectionA(section.c_str(), buffer, size, file);
    });
    if (lines.size() > size_t(kMaxSectionEntries)) lines.resize(size_t(kMaxSectionEntries));
    for (const std::string &line : lines) texts.push_back(OlderLineAsEntry(line));
    return texts;
  }
  char key[16], value[1024];
  for (int n = 1; n <= kMaxSectionEntries; ++n) {
    std::snprintf(key, sizeof key, "I%d", n);
    if (GetPrivateProfileStringA(section.c_str(), key, "", value, sizeof value, file) == 0) break;
    texts.emplace_back(value);
  }
  return texts;
}

BLOCKGROUP *NewGroup(int32_t type, const char *name, const char *source) {
  if (BlockTable.groupCount >= kMaxBlockGroups) return nullptr;
  BLOCKGROUP &g = BlockTable.groups[BlockTable.groupCount];
  std::memset(static_cast<void *>(&g), 0, sizeof g);
  CopyName(g.name, name);
  std::snprintf(g.sourceFile, sizeof g.sourceFile, "%s", source);
  g.type = type;
  g.groupIndex = int16_t(BlockTable.groupCount++);
  return &g;
}

void AppendToGroup(BLOCKGROUP &group, BLOCK &block) {
  block.groupIndex = group.groupIndex;
  group.blockIds[group.blockCount++] = uint16_t(block.blockId);
}

// A new block for a group that still has room, or null.
BLOCK *NewBlockIn(const BLOCKGROUP &group, uint8_t kind) {
  if (group.blockCount >= kMaxBlocks) return nullptr;
  BLOCK *block = AllocBlock();
  if (!block) return nullptr;
  block->kind = kind;
  block->groupIndex = group.groupIndex;
  block->indexInGroup = int16_t(group.blockCount);
  return block;
}

void AddMember(BLOCK &block, const TMarketData &market, int stock) {
  if (block.memberCount >= kMaxBlockMembers) return;
  block.members[block.memberCount] = MakeMember(market, stock, block.memberCount);
  ++block.memberCount;
}

// Group 0: a block per market with all its stocks, then a block per stock
// kind of every market. One block per market always, even for a market
// whose arrays failed, so that block ids follow the market count.
void BuildMarketGroup() {
  BLOCKGROUP *group = NewGroup(kGroupMarkets, "分类股板块", "");
  if (!group) return;
  for (int i = 0; i < MarketTable.marketCount && i < kMaxMarkets; ++i) {
    const TMarketData *market = MarketTable.markets[i];
    const MKINFO &info = market ? market->m_info : MarketTable.records[i];
    BLOCK *block = AllocBlock();
    if (!block) continue;
    CopyName(block->name, FieldText(info.name, sizeof info.name));
    block->kind = kBlockMarket;
    block->market = int16_t(i);
    block->indexInGroup = int16_t(i);
    if (market && market->m_stocks)
      for (int s = 0; s < market->m_loadedCount; ++s) AddMember(*block, *market, s);
    AppendToGroup(*group, *block);
  }
  int running = 0;
  for (int i = 0; i < MarketTable.marketCount && i < kMaxMarkets; ++i) {
    const TMarketData *market = MarketTable.markets[i];
    const MKINFO &info = market ? market->m_info : MarketTable.records[i];
    int kinds = info.kindCount < kMaxStockKinds ? info.kindCount : kMaxStockKinds;
    for (int k = 0; k < kinds; ++k, ++running) {
      BLOCK *block = AllocBlock();
      if (!block) continue;
      CopyName(block->name, FieldText(info.kinds[k].name, sizeof info.kinds[k].name));
      block->kind = kBlockStockKind;
      block->market = int16_t(i);
      block->indexInGroup = int16_t(running);
      if (market && market->m_stocks)
        for (int s = 0; s < market->m_loadedCount; ++s)
          if (market->m_stocks[s].kind == k) AddMember(*block, *market, s);
      AppendToGroup(*group, *block);
    }
  }
}

// A line of the debug output about a block file that is not as it should be.
[[gnu::format(printf, 1, 2)]] void LogBlockFile(const char *format, ...) {
  char text[320];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n >= 0) OutputDebugStringA(text);
}

// Members of a server block from "..\CFG\Block\<number>.dat", up to the
// member count of its header; a file cut short gives the members that are
// whole. A file whose header is cut or names another block gives none.
void ReadServerMembers(uint32_t number, BLOCK &block) {
  char path[64];
  std::snprintf(path, sizeof path, "..\\CFG\\Block\\%u.dat", number);
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return;
  if (bytes.size() < kMemberHeader) {
    LogBlockFile("block %u: member file cut in its header (%zu bytes), no members", number, bytes.size());
    return;
  }
  const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  if (Le32(p + 1) != number) {
    LogBlockFile("block %u: the member file names block %u, no members", number, Le32(p + 1));
    return;
  }
  const size_t whole = (bytes.size() - kMemberHeader) / kMemberRecord;
  size_t count = Le16(p + 5);
  if (whole < count) {
    LogBlockFile("block %u: member file cut after %zu of %zu members", number, whole, count);
    count = whole;
  }
  for (size_t i = 0; i < count && block.memberCount < kMaxBlockMembers; ++i) {
    const unsigned char *m = p + kMemberHeader + i * kMemberRecord;
    int marketValue = Le16(m);
    char code[8] = {};
    std::memcpy(code, m + 2, 7);
    const TMarketData *market = marketValue >= 1000 ? MarketAt(marketValue - 1000) : nullptr;
    if (!market || !market->m_stocks) continue;
    int stock = market->FindStockIndex(code);
    if (stock >= 0) AddMember(block, *market, stock);
  }
}

// The index block's members get their weights: [WEIGHT] <code> in percent.
void ApplyIndexWeights(const BLOCK &block) {
  if (!FileExists(kIndexWeightFile)) return;
  for (int i = 0; i < block.memberCount; ++i) {
    const BLOCKMEMBER &m = block.members[i];
    TMarketData *market = MarketAt(m.market);
    if (!market || !market->m_finance || !market->m_stocks || m.stock >= market->m_loadedCount) continue;
    char code[8] = {};
    std::memcpy(code, market->m_stocks[m.stock].code, 7);
    char value[64];
    GetPrivateProfileStringA("WEIGHT", code, "", value, sizeof value, kIndexWeightFile);
    market->m_finance[m.stock].indexWeight = float(std::atof(value) * 0.01);
  }
}

BLOCKGROUP *FindServerGroup(uint8_t category) {
  for (int g = 0; g < BlockTable.groupCount; ++g) {
    BLOCKGROUP &group = BlockTable.groups[g];
    if (group.type == kGroupServer && group.category == category) return &group;
  }
  return nullptr;
}

// The sector and concept lists of the quote service, record by record; a
// record cut short at the end of the index is left out.
void BuildServerGroups() {
  std::string bytes;
  if (!ReadWholeFile(kBlockIndexFile, bytes)) return;
  if (bytes.size() < kIndexHeader) {
    LogBlockFile("block index: cut in its header (%zu bytes), no server categories", bytes.size());
    return;
  }
  const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  size_t records = (bytes.size() - kIndexHeader) / kIndexRecord;
  if (const size_t rest = (bytes.size() - kIndexHeader) % kIndexRecord)
    LogBlockFile("block index: a record cut after %zu bytes at the end, left out", rest);
  for (size_t r = 0; r < records; ++r) {
    const unsigned char *record = p + kIndexHeader + r * kIndexRecord;
    uint8_t category = record[0];
    uint32_t number = Le32(record + 1);
    BLOCKGROUP *group = FindServerGroup(category);
    if (!group) {
      const char *name = category >= 1 && category <= 4 ? kCategoryNames[category] : "";
      group = NewGroup(kGroupServer, name, "");
      if (!group) continue;
      group->category = category;
      if (BLOCK *title = NewBlockIn(*group, kBlockShared)) {
        std::string caption = std::string("^") + group->name;
        CopyName(title->name, caption);
        AppendToGroup(*group, *title);
      }
    }
    BLOCK *block = NewBlockIn(*group, kBlockServer);
    if (!block) continue;
    CopyName(block->name, FieldText(reinterpret_cast<const char *>(record + 5), 17));
    ReadServerMembers(number, *block);
    if (std::strcmp(block->name, "沪深300") == 0) ApplyIndexWeights(*block);
    AppendToGroup(*group, *block);
  }
}

// Without regard to case, as the file's section names compare.
bool GroupHasBlockNamed(const BLOCKGROUP &group, const char *name) {
  for (int i = 0; i < group.blockCount; ++i) {
    const BLOCK *block = FindBlockById(group.blockIds[i]);
    if (block && platform::EqualNoCase(block->name, name)) return true;
  }
  return false;
}

// One section of a block file becomes a block of the group; a name longer
// than 15 bytes is cut. A section that gets no record, or whose cut name
// would be taken for a block already read, is kept whole for the next save.
void LoadSection(BLOCKGROUP &group, uint8_t kind, const std::string &section, std::vector<std::string> texts) {
  char name[kBlockNameSize];
  CopyName(name, section);
  BLOCK *block = GroupHasBlockNamed(group, name) ? nullptr : NewBlockIn(group, kind);
  if (!block) {
    Kept().sections[group.groupIndex].push_back(KeptSection{section, std::move(texts)});
    return;
  }
  std::memcpy(block->name, name, sizeof name);
  std::vector<KeptEntry> &kept = Kept().entries[block->blockId];
  for (std::string &text : texts) {
    BLOCKMEMBER member;
    if (block->memberCount < kMaxBlockMembers && ResolveMember(text, member)) {
      member.position = block->memberCount;
      block->members[block->memberCount++] = member;
    } else {
      kept.push_back(KeptEntry{block->memberCount, std::move(text)});
    }
  }
  AppendToGroup(group, *block);
}

// Reads "..\cfg\blocks.ini" or the user's "blocks.ini" into its group. A
// file in the older form is written back in the current form at once.
void ReadBlockFile(BLOCKGROUP &group, uint8_t kind) {
  const char *file = group.sourceFile;
  if (!*file || !FileExists(file)) return;
  bool olderForm = GetPrivateProfileIntA("FileInfo", "Version", 0, file) == 0;
  std::vector<std::string> names =
      ReadList(4096, [&](char *buffer, DWORD size) { return GetPrivateProfileSectionNamesA(buffer, size, file); });
  std::vector<std::string> done;
  for (const std::string &name : names) {
    if (platform::EqualNoCase(name, "FileInfo")) continue;
    // Two sections of one name are one section to the profile calls.
    bool repeated = false;
    for (const std::string &d : done) repeated = repeated || platform::EqualNoCase(d, name);
    if (repeated) continue;
    done.push_back(name);
    LoadSection(group, kind, name, ReadSectionEntries(file, name, olderForm));
  }
  if (olderForm) SaveBlockFile(&group);
}

void AppendEntry(std::string &text, int &n, std::string_view value) {
  char key[16];
  std::snprintf(key, sizeof key, "I%d=", ++n);
  text += key;
  text += value;
  text += "\r\n";
}

// The text "<short name> <code>" of a member, or false when the member
// names nothing in the market table.
bool MemberText(const BLOCKMEMBER &m, std::string &out) {
  const STKINFO *stock = GetStockInfo(uint32_t(m.market) | uint32_t(m.stock) << 16);
  const TMarketData *market = MarketAt(m.market);
  if (!stock || !market) return false;
  out.assign(market->m_info.shortName);
  out += ' ';
  out += FieldText(stock->code, sizeof stock->code);
  return true;
}

}  // namespace

// ---- The table -----------------------------------------------------------

TBlockGroup::TBlockGroup() { ReloadBlocks(); }

TBlockGroup::~TBlockGroup() { FreeBlocks(); }

void ReloadBlocks() {
  BlockTable.groupCount = 0;
  std::memset(static_cast<void *>(BlockTable.groups), 0, sizeof BlockTable.groups);
  for (BLOCK &block : BlockTable.blocks) {
    BLOCKMEMBER *members = block.members;
    std::memset(static_cast<void *>(&block), 0, sizeof block);
    block.members = members;
  }
  BlockTable.blockCount = 0;
  BlockTable.takenCount = 0;
  Kept().Clear();

  BuildMarketGroup();
  BuildServerGroups();
  if (BLOCKGROUP *shared = NewGroup(kGroupSharedFile, "系统板块", kSharedBlockFile)) ReadBlockFile(*shared, kBlockShared);
  if (BlockTable.groupCount < kMaxBlockGroups) {
    char source[kBlockSourceSize];
    int n = std::snprintf(source, sizeof source, "%sblocks.ini", UserDataPath);
    // A user folder too long for the field leaves the group without a file.
    if (n < 0 || size_t(n) >= sizeof source) source[0] = 0;
    if (BLOCKGROUP *user = NewGroup(kGroupUserFile, "用户板块", source)) ReadBlockFile(*user, kBlockUser);
  }
}

void FreeBlocks() {
  for (BLOCK &block : BlockTable.blocks) Free(block.members);
  std::memset(static_cast<void *>(&BlockTable), 0, sizeof BlockTable);
  Kept().Clear();
}

BLOCK *AllocBlock() {
  if (BlockTable.takenCount >= kMaxBlocks) return nullptr;
  int id = 0;
  while (id < BlockTable.blockCount && BlockTable.blocks[id].inUse) ++id;
  if (id >= kMaxBlocks) return nullptr;
  BLOCK &block = BlockTable.blocks[id];
  if (!block.members) {
    block.members = static_cast<BLOCKMEMBER *>(Malloc(kMaxBlockMembers * int32_t(sizeof(BLOCKMEMBER))));
    if (!block.members) return nullptr;
  }
  if (id == BlockTable.blockCount) ++BlockTable.blockCount;
  ++BlockTable.takenCount;
  block.groupIndex = 0;
  block.blockId = int16_t(id);
  block.market = 0;
  block.indexInGroup = 0;
  block.inUse = 1;
  block.kind = kBlockUser;
  block.memberCount = 0;
  std::snprintf(block.name, sizeof block.name, "板块%02d", id);
  Kept().entries[id].clear();
  return &block;
}

BLOCKGROUP *FindUserBlockGroup() {
  for (int g = BlockTable.groupCount - 1; g >= 0; --g)
    if (BlockTable.groups[g].type == kGroupUserFile) return &BlockTable.groups[g];
  return nullptr;
}

BLOCK *FindBlockById(int id) {
  if (id < 0 || id >= BlockTable.blockCount) return nullptr;
  BLOCK &block = BlockTable.blocks[id];
  return block.inUse ? &block : nullptr;
}

BLOCK *FindBlockByKindIndex(int kind, int index) {
  for (int i = 0; i < BlockTable.blockCount; ++i) {
    BLOCK &block = BlockTable.blocks[i];
    if (block.inUse && block.kind == kind && block.indexInGroup == index) return &block;
  }
  return nullptr;
}

BLOCK *FindBlockByName(const char *name) {
  if (!name || !*name) return nullptr;
  for (int i = 0; i < BlockTable.blockCount; ++i) {
    BLOCK &block = BlockTable.blocks[i];
    if (block.inUse && std::strncmp(block.name, name, sizeof block.name) == 0 &&
        strnlen(name, sizeof block.name) < sizeof block.name)
      return &block;
  }
  return nullptr;
}

int SaveUserBlocks() {
  const BLOCKGROUP *group = FindUserBlockGroup();
  return group ? SaveBlockFile(group) : 0;
}

int SaveBlockFile(const BLOCKGROUP *group) {
  if (!group || !group->sourceFile[0]) return 0;
  std::string text = "[FileInfo]\r\nVersion=1\r\n";
  std::string member;
  int count = group->blockCount < kMaxBlocks ? group->blockCount : kMaxBlocks;
  for (int i = 0; i < count; ++i) {
    const BLOCK *block = FindBlockById(group->blockIds[i]);
    if (!block) continue;
    text += '[';
    text += FieldText(block->name, sizeof block->name);
    text += "]\r\n";
    // Entries kept from the load go back where they stood among the members.
    const std::vector<KeptEntry> &kept = Kept().entries[block->blockId];
    size_t k = 0;
    int n = 0;
    int members = block->members ? block->memberCount : 0;
    if (members > kMaxBlockMembers) members = kMaxBlockMembers;
    for (int m = 0; m < members; ++m) {
      for (; k < kept.size() && kept[k].before <= m; ++k) AppendEntry(text, n, kept[k].text);
      if (MemberText(block->members[m], member)) AppendEntry(text, n, member);
    }
    for (; k < kept.size(); ++k) AppendEntry(text, n, kept[k].text);
  }
  ptrdiff_t index = group - BlockTable.groups;
  if (index >= 0 && index < kMaxBlockGroups) {
    for (const KeptSection &section : Kept().sections[index]) {
      text += '[';
      text += section.name;
      text += "]\r\n";
      int n = 0;
      for (const std::string &entry : section.texts) AppendEntry(text, n, entry);
    }
  }
  std::string path = platform::ResolvePath(group->sourceFile);
  if (path.empty()) return 0;
  return platform::WriteFileReplacing(path, text) == 0 ? 1 : 0;
}
