#include "shell/profiletext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/profile.h"
#include "testing/temp_folder.h"

namespace {

// A text longer than its field is cut before the character that would not
// fit whole, so no half of a double-byte character is ever kept.
TEST(ProfileText, TextsAreCutOnACharacterBoundary) {
  struct Case {
    std::string text;
    size_t size;
    std::string kept;
  } cases[] = {
      {"alice", 16, "alice"},
      {"abcdefghijklmnopqrstu", 16, "abcdefghijklmno"},
      {"张三李四王五赵六钱七", 16, "张三李四王五赵"},       // 14 bytes: the eighth would need 16
      {"a张三李四王五赵六钱七", 16, "a张三李四王五赵"},     // 15 bytes
      {"ab张三李四王五赵六钱七", 16, "ab张三李四王五"},     // 15 would split the seventh: 14
      {"\x81", 4, "\x81"},                                  // a lone lead byte at the end counts as one byte
      {"", 16, ""},
      {"xyz", 1, ""},
  };
  for (const Case &c : cases) {
    char out[64];
    std::memset(out, 'Z', sizeof out);
    const size_t n = CopyGbkBounded(out, c.size, c.text.c_str());
    EXPECT_EQ(std::string(out), c.kept) << c.text << " into " << c.size;
    EXPECT_EQ(n, c.kept.size());
  }
  char one[1] = {'Z'};
  EXPECT_EQ(CopyGbkBounded(one, sizeof one, nullptr), 0u);
  EXPECT_EQ(one[0], '\0');
}

class ProfileFieldTest : public testing_support::TempFolderTest {};

TEST_F(ProfileFieldTest, AFieldTakesAtMostItsSizeLessOneFromTheFile) {
  Put("SERVER.INI", "[Server]\r\nUserName=张三李四王五赵六钱七\r\nPassword=0123456789abcdefXYZ\r\n");
  char user[16], password[16];
  ReadProfileField("Server", "UserName", "", user, ".\\SERVER.INI");
  ReadProfileField("Server", "Password", "", password, ".\\SERVER.INI");
  EXPECT_EQ(std::string(user), "张三李四王五赵");
  EXPECT_EQ(std::string(password), "0123456789abcde");
  ReadProfileField("Server", "Missing", "默认", user, ".\\SERVER.INI");
  EXPECT_EQ(std::string(user), "默认");
}

}  // namespace
