#include "views/pinyin.h"

#include <cstdio>
#include <cstring>

#include "platform/profile.h"

namespace {

// First character of each initial in GB2312 order, A .. Z and the end of
// the first level, as 16-bit codes (first byte high).
constexpr uint16_t kInitialStarts[kPinyinLetters + 1] = {
    0xB0A1, 0xB0C5, 0xB2C1, 0xB4EE, 0xB6EA, 0xB7A2, 0xB8C1, 0xB9FE, 0xBBF7,  // A..I
    0xBBF7, 0xBFA6, 0xC0AC, 0xC2E8, 0xC4C3, 0xC5B6, 0xC5BE, 0xC6DA, 0xC8BB,  // J..R
    0xC8F6, 0xCBFA, 0xCDDA, 0xCDDA, 0xCDDA, 0xCEF4, 0xD1B9, 0xD4D1,          // S..Z
    0xD7F9};

constexpr int kNameField = 9;

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 32) : c; }

bool InRange(int letter, uint16_t code) { return kInitialStarts[letter] <= code && code < kInitialStarts[letter + 1]; }

bool LetterMatchesCharacter(int letter, uint8_t first, uint8_t second, const PinyinExtraTable *extra) {
  if (InRange(letter, uint16_t(first << 8 | second))) return true;
  if (first == 0xA3 && second == 0xC1 + letter) return true;  // full-width capital
  if (extra && extra->loaded) {
    for (int i = 0; i < extra->counts[letter]; ++i)
      if (extra->chars[letter][i][0] == first && extra->chars[letter][i][1] == second) return true;
  }
  return false;
}

}  // namespace

void LoadPinyinExtra(PinyinExtraTable &table) {
  std::memset(&table, 0, sizeof table);
  char value[512];
  for (int letter = 0; letter < kPinyinLetters; ++letter) {
    char key[2] = {char('A' + letter), 0};
    DWORD n = GetPrivateProfileStringA("PYLEVEL2", key, "", value, sizeof value, "..\\CFG\\SETTING.INI");
    for (DWORD i = 0; i + 1 < n && i + 1 < sizeof value; i += 2) {
      uint8_t a = uint8_t(value[i]), b = uint8_t(value[i + 1]);
      if (a < 0xA0 || b < 0xA0) continue;
      if (table.counts[letter] >= kPinyinExtraPerLetter) break;
      table.chars[letter][table.counts[letter]][0] = a;
      table.chars[letter][table.counts[letter]][1] = b;
      ++table.counts[letter];
      table.loaded = 1;
    }
  }
}

int PinyinRangeLetter(uint8_t first, uint8_t second) {
  uint16_t code = uint16_t(first << 8 | second);
  for (int letter = 0; letter < kPinyinLetters; ++letter)
    if (InRange(letter, code)) return letter;
  return -1;
}

bool PinyinMatch(const char *name, const char *text, int length, const PinyinExtraTable *extra) {
  if (!name || !text || length <= 0 || !name[0]) return false;
  bool anyLetter = false;
  for (int k = 0; k < length; ++k) {
    uint8_t c = uint8_t(text[k]);
    if (c == 0 || c >= 0x80) return false;
    anyLetter |= IsLetter(c);
  }
  if (!anyLetter) return false;

  // The name as cells: a double-byte character, or one letter (upper case)
  // or digit. The name ends at its NUL; bytes after it are no part of it.
  uint8_t cells[kNameField][2];
  int count = 0;
  for (int i = 0; i < kNameField - 1;) {
    uint8_t c = uint8_t(name[i]);
    if (c == 0) break;
    if (c >= 0x81 && c <= 0xFE) {  // a double-byte character, whatever its second byte
      if (name[i + 1] == 0) break;
      cells[count][0] = c;
      cells[count][1] = uint8_t(name[i + 1]);
      ++count;
      i += 2;
      continue;
    }
    if (IsLetter(c) || (c >= '0' && c <= '9')) {
      cells[count][0] = Upper(c);
      cells[count][1] = 0;
      ++count;
    }
    ++i;
  }

  for (int j = 0; j + length <= count; ++j) {
    int k = 0;
    for (; k < length; ++k) {
      uint8_t t = uint8_t(text[k]);
      const uint8_t *cell = cells[j + k];
      if (t == '.') continue;
      if (IsLetter(t) && cell[0] >= 0xA0) {
        if (!LetterMatchesCharacter(Upper(t) - 'A', cell[0], cell[1], extra)) break;
      } else if (Upper(t) != cell[0]) {
        break;
      }
    }
    if (k == length) return true;
  }
  return false;
}
