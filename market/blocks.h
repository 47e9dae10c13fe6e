// Blocks (板块): named lists of instruments, arranged in at most 32 groups.
//
// One table serves the whole program: a block per market and per stock
// kind, the sector and concept lists the quote service publishes, the
// shared block file "..\cfg\blocks.ini" and the user's own blocks in
// "%sblocks.ini". TBlockGroup builds it from the market table and those
// files; the views, menus and block dialogs read it and edit the user's
// blocks in place, then call SaveUserBlocks. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kMaxBlockGroups = 32;
constexpr int kMaxBlocks = 512;
constexpr int kMaxBlockMembers = 7168;
constexpr int kBlockNameSize = 16;  // 15 bytes and the NUL
constexpr int kBlockSourceSize = 260;

// Kinds of block (BLOCK::kind). Kind 3 is also the title entry that opens
// each server category.
constexpr uint8_t kBlockMarket = 0;
constexpr uint8_t kBlockStockKind = 1;
constexpr uint8_t kBlockServer = 2;
constexpr uint8_t kBlockShared = 3;
constexpr uint8_t kBlockUser = 4;

// Types of group (BLOCKGROUP::type).
constexpr int32_t kGroupMarkets = 0;
constexpr int32_t kGroupSharedFile = 1;
constexpr int32_t kGroupServer = 2;
constexpr int32_t kGroupUserFile = 3;

// One instrument of a block. Its first four bytes are laid out as a
// STKPTR, so views compare members with references bytewise.
struct BLOCKMEMBER {
  uint8_t market;
  uint8_t kind;
  uint16_t stock;
  uint16_t position;  // the member's ordinal in the block
  uint16_t reserved6;
  uint32_t reserved8;
};
static_assert(sizeof(BLOCKMEMBER) == 12);

// A block record. The fields keep the offsets every reader of the table
// knows (name 0, id 18, in-use 24, kind 25, member count 26); the member
// buffer's pointer follows them. The record lives in memory only.
struct BLOCK {
  char name[kBlockNameSize];  // GBK, NUL-terminated
  int16_t groupIndex;
  int16_t blockId;       // the record's position in the table
  int16_t market;        // market and kind blocks: their market
  int16_t indexInGroup;  // the block's number among its kind of block
  uint8_t inUse;
  uint8_t kind;
  uint16_t memberCount;
  BLOCKMEMBER *members;  // room for kMaxBlockMembers, kept across reloads
};
static_assert(offsetof(BLOCK, groupIndex) == 16);
static_assert(offsetof(BLOCK, blockId) == 18);
static_assert(offsetof(BLOCK, market) == 20);
static_assert(offsetof(BLOCK, indexInGroup) == 22);
static_assert(offsetof(BLOCK, inUse) == 24);
static_assert(offsetof(BLOCK, kind) == 25);
static_assert(offsetof(BLOCK, memberCount) == 26);

struct BLOCKGROUP {
  char name[kBlockNameSize];
  char sourceFile[kBlockSourceSize];  // file groups: the file their blocks come from
  int32_t type;
  uint8_t category;  // server groups: category 1..4
  int16_t groupIndex;
  uint16_t blockCount;
  uint16_t blockIds[kMaxBlocks];  // in display order
};

struct TBlockTable {
  BLOCKGROUP groups[kMaxBlockGroups];
  int32_t groupCount;
  BLOCK blocks[kMaxBlocks];
  // Records below this have been used since the last reload.
  int32_t blockCount;
  // Records AllocBlock has handed out since the last reload; at 512 it
  // hands out no more, even when some were freed meanwhile.
  int32_t takenCount;
};
extern TBlockTable BlockTable;

// Owner of the block table: builds it when constructed, frees every
// record and member buffer when destroyed. The main window keeps one.
class TBlockGroup {
 public:
  TBlockGroup();
  ~TBlockGroup();
  TBlockGroup(const TBlockGroup &) = delete;
  TBlockGroup &operator=(const TBlockGroup &) = delete;
};

// Clears every group and block (member buffers stay for reuse) and builds
// the groups again: markets and stock kinds, the server's categories, the
// shared block file, the user's block file. Called again after the market
// table's name tables were reloaded; block ids may change.
void ReloadBlocks();
// Clears the table and gives every member buffer back.
void FreeBlocks();

// A record for a new block, or null when 512 records were taken since the
// last reload or its member buffer can't be had. The record comes as an
// empty user block named "板块<id>" in group 0; callers set name, group and
// kind.
BLOCK *AllocBlock();

BLOCKGROUP *FindUserBlockGroup();
BLOCK *FindBlockById(int id);
BLOCK *FindBlockByKindIndex(int kind, int index);
// Exact, case-sensitive name; null for a null or empty name.
BLOCK *FindBlockByName(const char *name);

// Rewrites the user's block file; 1 when written, 0 when there is no user
// group or the file could not be written (the old file then stays).
int SaveUserBlocks();
// Rewrites a file group's source file in the current form: the group's
// blocks in list order, each member as "<market short name> <code>".
// Entries the load could not place in the table (markets or codes the
// market table lacks, sections beyond the table's room) are written back
// as they were read. 1 when written, 0 when not.
int SaveBlockFile(const BLOCKGROUP *group);
