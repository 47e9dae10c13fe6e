// Pinyin initials of Chinese instrument names: "ZGPA" finds a name whose
// four characters start with Z, G, P and A. The first level of GB2312 is
// ordered by pinyin, so a character's initial follows from where it lies
// in that order; characters past the first level (and any the order places
// wrongly) come from the extra table the settings file lists per letter.
#pragma once

#include <cstdint>

constexpr int kPinyinLetters = 26;
constexpr int kPinyinExtraPerLetter = 16;

// Extra characters per initial letter, as the settings file lists them.
struct PinyinExtraTable {
  uint8_t chars[kPinyinLetters][kPinyinExtraPerLetter][2];
  uint8_t counts[kPinyinLetters];
  uint8_t loaded;  // any character was taken
};

// Fills the table from "..\CFG\SETTING.INI" [PYLEVEL2], one key per letter
// ("A" .. "Z"), each value a run of double-byte characters; at most 16 per
// letter are kept.
void LoadPinyinExtra(PinyinExtraTable &table);

// The letter index (0 = A) whose first-level range holds the double-byte
// character, or -1 (I, U and V have no range; second-level characters lie
// beyond every range).
int PinyinRangeLetter(uint8_t first, uint8_t second);

// True when the first `length` characters of text match consecutive
// characters of the 9-byte name field: a letter matches a Chinese character
// of that initial (or its full-width capital), '.' matches any character,
// anything else matches itself (letters without regard to case). A text
// with a byte of 0x80 or above, or without a letter, never matches.
bool PinyinMatch(const char *name, const char *text, int length, const PinyinExtraTable *extra);
