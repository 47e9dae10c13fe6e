#include "testing/server_blocks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace testing_support {

namespace {

void Put16(std::string &out, uint32_t v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}

void Put32(std::string &out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}

void PutField(std::string &out, const std::string &text, size_t size) {
  std::string field(size, '\0');
  std::memcpy(field.data(), text.data(), std::min(text.size(), size));
  out += field;
}

}  // namespace

std::string ServerBlockIndex(const std::vector<ServerBlock> &blocks, uint32_t versionWord) {
  std::string out;
  Put32(out, versionWord);
  for (const ServerBlock &b : blocks) {
    out += char(b.category);
    Put32(out, b.number);
    PutField(out, b.name, 17);
    Put32(out, 1);
  }
  return out;
}

std::string ServerBlockMembers(uint32_t number, const std::vector<std::pair<int, std::string>> &members, int count,
                               uint8_t firstByte) {
  std::string out(1, char(firstByte));
  Put32(out, number);
  Put16(out, uint32_t(count < 0 ? int(members.size()) : count));
  for (const auto &[marketValue, code] : members) {
    Put16(out, uint32_t(marketValue));
    PutField(out, code, 7);
  }
  return out;
}

void WriteServerBlocks(const market_fixture::MarketSandbox &box, const std::vector<ServerBlock> &blocks) {
  const std::string index = ServerBlockIndex(blocks);
  box.Write("cfg/Block/BlockIndex.idx", index.data(), index.size());
  for (const ServerBlock &b : blocks) {
    if (!b.hasFile) continue;
    const std::string members = ServerBlockMembers(b.number, b.members);
    box.Write("cfg/Block/" + std::to_string(b.number) + ".dat", members.data(), members.size());
  }
}

std::vector<ServerBlock> SmallServerCategories() {
  std::vector<ServerBlock> blocks = {
      {2, 101, "银行", {{1000, "600000"}, {1000, "600036"}, {1001, "000001"}}},
      {2, 102, "地产", {{1001, "000002"}}},
  };
  for (int i = 3; i <= 17; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "行业%02d", i);
    blocks.push_back({2, uint32_t(100 + i), name, {{1000, "000001"}}});
  }
  blocks.push_back({1, 201, "华东", {{1000, "600000"}, {1000, "600036"}}});
  blocks.push_back({1, 202, "华南", {}, false});
  blocks.push_back({3, 301, "空概念", {}});
  return blocks;
}

}  // namespace testing_support
