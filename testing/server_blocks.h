// The quote service's sector lists as the market side keeps them below the
// terminal's folders, built by code for tests: the category index
// "cfg/Block/BlockIndex.idx" (a 4-byte version word, then 26-byte records:
// category, block number, NUL-padded name of 17 bytes, block version) and
// one member file "cfg/Block/<number>.dat" per block (a byte, the block
// number, the member count, then 9-byte members: market index + 1000 and a
// 7-byte code). Damaged forms are made from these bytes by cutting them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testing/market_fixture_min.h"

namespace testing_support {

struct ServerBlock {
  uint8_t category;  // 1 "地域板块", 2 "行业板块", 3 "概念板块", 4 "期证板块"
  uint32_t number;
  std::string name;  // GBK, at most 16 bytes
  // {market index + 1000, code} as stored; no file at all when hasFile is false.
  std::vector<std::pair<int, std::string>> members;
  bool hasFile = true;
};

// The bytes of the index over the blocks, in order, under a version word.
std::string ServerBlockIndex(const std::vector<ServerBlock> &blocks, uint32_t versionWord = 7);
// The bytes of a member file; count < 0 stores the real member count. The
// first byte is not read by the terminal; the service puts the category there.
std::string ServerBlockMembers(uint32_t number, const std::vector<std::pair<int, std::string>> &members,
                               int count = -1, uint8_t firstByte = 0);
// Writes the index and every member file below the sandbox's root.
void WriteServerBlocks(const market_fixture::MarketSandbox &box, const std::vector<ServerBlock> &blocks);

// Categories over two stock markets, SH (0) holding 000001, 600000 and
// 600036 and SZ (1) holding 000001 and 000002, as the report world and the
// wizard's market world do:
//   行业板块 (2): 101 银行 {SH 600000, SH 600036, SZ 000001}, 102 地产 {SZ 000002},
//                103..117 行业03..行业17 {SH 000001} (17 sub-blocks: two menu columns)
//   地域板块 (1): 201 华东 {SH 600000, SH 600036}, 202 华南 (no member file)
//   概念板块 (3): 301 空概念 (a member file without members)
std::vector<ServerBlock> SmallServerCategories();

}  // namespace testing_support
