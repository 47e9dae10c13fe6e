#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/desenc.h"
#include "tests/core/des_vectors.h"
#include "testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class DesFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_support::MakeTempFolder("kivo-des");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string &name) const { return dir_ + "/" + name; }

  void Write(const std::string &name, const Bytes &data) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
  }
  Bytes Read(const std::string &name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The names in the folder, to see that no scratch file was left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

Bytes Plain(uint32_t size) {
  Bytes b(size);
  for (uint32_t i = 0; i < size; ++i) b[i] = des_vectors::PatternByte(i);
  return b;
}

Bytes Text(const char *s) { return Bytes(s, s + std::strlen(s)); }

uint64_t Fnv1a64(const Bytes &b) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t c : b) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

TEST(DesBlocks, MatchTheReferenceBothWays) {
  for (const auto &v : des_vectors::kBlocks) {
    SCOPED_TRACE(v.key);
    CDesEnc des(v.key);
    EXPECT_EQ(des.TwoKey(), std::strlen(v.key) > 8);
    uint8_t block[8];
    std::memcpy(block, v.plain, 8);
    des.EncryptBlocks(block, 8);
    EXPECT_EQ(0, std::memcmp(block, v.cipher, 8));
    des.DecryptBlocks(block, 8);
    EXPECT_EQ(0, std::memcmp(block, v.plain, 8));
  }
}

TEST(DesBlocks, LeavesATrailingPartBlockAlone) {
  CDesEnc des("abcdefgh");
  uint8_t data[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  des.EncryptBlocks(data, 11);
  EXPECT_EQ(data[8], 9);
  EXPECT_EQ(data[10], 11);
}

// The container the reference gives for the pattern plain text: built from
// its per-block answers (electronic codebook) and checked against its digest
// of the whole container.
Bytes ReferenceContainer(const des_vectors::ContainerVector &v, uint32_t size) {
  Bytes box = {1, 0, 0, 0, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)};
  box.insert(box.end(), v.keyText, v.keyText + 16);
  uint32_t blocks = (size + 7) / 8;
  for (uint32_t b = 0; b < blocks; ++b) {
    const uint8_t *cipher = (size % 8 && b == blocks - 1) ? v.tail : v.pattern[b % des_vectors::kPatternBlocks];
    box.insert(box.end(), cipher, cipher + 8);
  }
  return box;
}

TEST_F(DesFile, ContainersMatchTheReferenceBothWays) {
  for (const auto &v : des_vectors::kContainers) {
    for (size_t i = 0; i < std::size(des_vectors::kSizes); ++i) {
      const uint32_t size = des_vectors::kSizes[i];
      SCOPED_TRACE(testing::Message() << v.key << ", " << size << " bytes");
      CDesEnc des(v.key);
      Bytes expect = ReferenceContainer(v, size);
      ASSERT_EQ(Fnv1a64(expect), v.fnv[i]);
      EXPECT_EQ(expect.size(), 24 + (size + 7) / 8 * 8);

      Write("plain.txt", Plain(size));
      ASSERT_TRUE(des.EncryptFile(Path("plain.txt").c_str(), Path("box.dat").c_str()));
      EXPECT_TRUE(Read("box.dat") == expect);

      Write("ref.dat", expect);
      ASSERT_TRUE(des.DecryptFile(Path("ref.dat").c_str(), Path("back.txt").c_str()));
      EXPECT_TRUE(Read("back.txt") == Plain(size));
    }
  }
}

// A deciphering that fails must leave the target that was there, and no
// scratch file.
TEST_F(DesFile, FailedDecipheringKeepsTheTarget) {
  const char *key = "M8kP2rT6vX1zN5bH";
  CDesEnc des(key);
  Write("plain.txt", Plain(10241));
  ASSERT_TRUE(des.EncryptFile(Path("plain.txt").c_str(), Path("good.dat").c_str()));
  const Bytes good = Read("good.dat");
  ASSERT_EQ(good.size(), 24u + 10248u);

  auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + n); };
  Bytes version2 = good;
  version2[0] = 2;
  struct Case {
    const char *name;
    Bytes container;
    const char *key;
  };
  const Case cases[] = {
      {"another key", good, "M8kP2rT6vX1zN5bX"},
      {"the first half of the key only", good, "M8kP2rT6"},
      {"version 2", version2, key},
      {"no header", Bytes(), key},
      {"a short header", cut(23), key},
      {"no body", cut(24), key},
      {"one chunk of two", cut(24 + 10240), key},
      {"cut inside the last block", cut(good.size() - 1), key},
      {"the last block missing", cut(good.size() - 8), key},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Write("in.dat", c.container);
    Write("out.txt", Text("the old target"));
    EXPECT_FALSE(CDesEnc(c.key).DecryptFile(Path("in.dat").c_str(), Path("out.txt").c_str()));
    EXPECT_EQ(Read("out.txt"), Text("the old target"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"good.dat", "in.dat", "out.txt", "plain.txt"}));
  }
}

TEST_F(DesFile, SuccessReplacesTheWholeTarget) {
  CDesEnc des("k3y");
  Write("plain.txt", Text("ten bytes!"));
  Write("box.dat", Plain(20000));
  ASSERT_TRUE(des.EncryptFile(Path("plain.txt").c_str(), Path("box.dat").c_str()));
  EXPECT_EQ(Read("box.dat").size(), 24u + 16u);
  Write("back.txt", Plain(20000));
  ASSERT_TRUE(des.DecryptFile(Path("box.dat").c_str(), Path("back.txt").c_str()));
  EXPECT_EQ(Read("back.txt"), Text("ten bytes!"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"back.txt", "box.dat", "plain.txt"}));
}

TEST_F(DesFile, RefusesTheSourceAsTarget) {
  CDesEnc des("abcdefgh");
  Write("plain.txt", Plain(100));
  ASSERT_TRUE(des.EncryptFile(Path("plain.txt").c_str(), Path("Box.dat").c_str()));
  const Bytes box = Read("Box.dat");
  // The same file, also under another spelling of its name.
  EXPECT_FALSE(des.EncryptFile(Path("plain.txt").c_str(), Path("plain.txt").c_str()));
  EXPECT_FALSE(des.EncryptFile(Path("plain.txt").c_str(), (dir_ + "/./PLAIN.TXT").c_str()));
  EXPECT_FALSE(des.DecryptFile(Path("Box.dat").c_str(), Path("box.DAT").c_str()));
  EXPECT_EQ(Read("plain.txt"), Plain(100));
  EXPECT_EQ(Read("Box.dat"), box);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Box.dat", "plain.txt"}));
}

TEST_F(DesFile, MissingFilesAndFolders) {
  CDesEnc des("abcdefgh");
  EXPECT_FALSE(des.EncryptFile(Path("none.txt").c_str(), Path("box.dat").c_str()));
  EXPECT_FALSE(des.DecryptFile(Path("none.dat").c_str(), Path("back.txt").c_str()));
  Write("plain.txt", Plain(10));
  EXPECT_FALSE(des.EncryptFile(Path("plain.txt").c_str(), Path("nofolder/box.dat").c_str()));
  EXPECT_FALSE(des.EncryptFile(Path("plain.txt").c_str(), ""));
  EXPECT_FALSE(des.EncryptFile(nullptr, Path("box.dat").c_str()));
  EXPECT_EQ(Names(), std::vector<std::string>{"plain.txt"});
}

}  // namespace
