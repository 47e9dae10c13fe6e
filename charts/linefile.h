// The two files the K-line views keep their drawings in, in the per-user
// folder and shared by every view: "linerec.dat" holds the drawn objects per
// instrument, chart period and window formula, "RefLine.dat" the reference
// lines of the main window's formula per instrument. Each has a 4-byte
// magic, a record count and fixed records; a file with another magic is
// deleted. Every save builds the whole new file and renames it over the old
// one, so no failure can lose an instrument's records or leave old and new
// ones both.
#pragma once

#include <cstdint>
#include <string>

#include "market/marketrecords.h"
#include "platform/windef.h"

class TLine;
class CKvIndex;

#pragma pack(push, 1)
// One drawn object.
struct LINEREC {
  char formula[16];   // name of the formula of the object's window
  int32_t period;     // the view's chart period, sign-extended
  char market[9];     // the market's code, NUL-padded, no terminator when full
  char code[7];       // the instrument's code, likewise
  uint16_t type;
  uint32_t time[2];   // PackedDateTime of each anchor
  uint8_t unused46[2];
  float price[2];
  char text[256];
  int32_t fontHeight;
  uint32_t colour;
  uint32_t fontStyle;
  char fontFace[32];
};
// The reference-line values of one instrument's main formula.
struct REFLINEFILEREC {
  char market[9];
  char code[7];
  uint8_t decimals[16];
  double values[16];  // fewer than 16: the value after the last is all 0xFF
};
#pragma pack(pop)
static_assert(sizeof(LINEREC) == 356);
static_assert(sizeof(REFLINEFILEREC) == 160);

constexpr int kMaxViewLines = 128;

// What a view that keeps drawings gives the files.
class TLineFileOwner {
 public:
  virtual ~TLineFileOwner() = default;
  virtual STKPTR LineStock() const = 0;
  // The chart period byte, as signed.
  virtual int8_t LinePeriod() const = 0;
  virtual int LineWindowCount() const = 0;
  // The name of the window's formula; null when the window has none.
  virtual const char *LineWindowFormula(int window) const = 0;
  // The view's objects: kMaxViewLines slots and their count.
  virtual TLine **LineSlots() = 0;
  virtual uint32_t &LineCount() = 0;
  // Hands a loaded object the mapping of its window.
  virtual void MapLoadedLine(TLine *line, int window) = 0;
  // The formula of window 0, null when none.
  virtual CKvIndex *MainFormula() = 0;
};

class TLineFileStore {
 public:
  // The two files in a folder ending in a backslash; the per-user folder
  // when none is given.
  explicit TLineFileStore(std::string folder = std::string());
  virtual ~TLineFileStore() = default;

  std::string LinePath() const { return folder_ + "linerec.dat"; }
  std::string RefLinePath() const { return folder_ + "RefLine.dat"; }

  // Replaces the instrument's and period's records by the owner's objects.
  bool SaveLines(TLineFileOwner &owner);
  // Removes them.
  bool PurgeLines(TLineFileOwner &owner);
  // Replaces the owner's objects by the stored ones; the count loaded.
  int LoadLines(TLineFileOwner &owner);
  bool SaveRefLines(TLineFileOwner &owner);
  bool PurgeRefLines(TLineFileOwner &owner);
  int LoadRefLines(TLineFileOwner &owner);

 protected:
  // Writes bytes to the staging file; false when the write failed.
  virtual bool WriteBytes(HANDLE file, const void *bytes, uint32_t length);

 private:
  bool RewriteLines(TLineFileOwner &owner, bool withObjects);
  bool RewriteRefLines(TLineFileOwner &owner, bool withRecord);
  bool Replace(const std::string &path, const char magic[4], const std::string &records, uint32_t count);

  std::string folder_;
};

// The record's market and instrument match the instrument's, without
// regard to case.
bool LineRecordMatches(const char (&market)[9], const char (&code)[7], STKPTR stock);
