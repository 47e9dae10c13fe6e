// A read-only dBASE III table, loaded whole into memory, that answers the
// field texts of one current row at a time. The system only ever reads such
// tables (the broker-number table of the broker queue); it never writes one.
//
// File layout (little-endian): a 32-byte header (record count uint32 at 4,
// header length uint16 at 8, record length uint16 at 10), then 32-byte field
// descriptors (name 11 bytes NUL-padded, type at 11, length at 16, decimal
// count at 17) up to the header length, then the records. A record starts
// with its one-byte deletion flag; the fields follow one after the other.
// Deleted records are read like any other.
#pragma once

#include <cstdint>

class TDbfField {
 public:
  uint8_t descriptor[32];  // as stored, except bytes 12-15 hold the offset
  char name[12];           // at most 11 characters and a NUL
  char type;
  int32_t offset;  // in the record; the first field starts at 1
  int32_t length;
  int32_t decimals;
};

class TDbfTable {
 public:
  static constexpr int kMaxFields = 256;
  static constexpr int kMaxPath = 259;

  // Keeps a copy of the path (a Windows-form path, looked up without regard
  // to case); nothing is read yet. A path longer than kMaxPath characters
  // is kept as none, so Open fails rather than opening a cut-down name.
  explicit TDbfTable(const char *path);
  ~TDbfTable();
  TDbfTable(const TDbfTable &) = delete;
  TDbfTable &operator=(const TDbfTable &) = delete;

  // Loads the table and makes row 0 current; true at once when already
  // open. The file is opened for reading only (a missing file is never
  // created) and closed again unless keepOpen is set. False, with nothing
  // loaded, for a missing or unreadable file and for a header that doesn't
  // describe the file: header length below 33 or beyond the file, more than
  // kMaxFields fields, record length 0, or fields that don't fit in the
  // record. The rows are the whole records the file holds, at most the
  // header's record count.
  bool Open(bool keepOpen);

  // Makes row n current; false, with the current row kept, when the table
  // is not open or n is outside 0 to rows - 1.
  bool GoToRow(int32_t n);

  // The named field's bytes in the current row, exactly as stored (padding
  // blanks included) and NUL-terminated, in a buffer of the table's that the
  // next call overwrites. Names compare without regard to case. Null for an
  // unknown field (or a table that isn't open). An empty table has no row;
  // its fields then read as empty texts.
  const char *GetFieldText(const char *name);

  // For a table sorted ascending by the field: the last row whose value (the
  // field text read as an integer, atol's way) is at most n. Precisely: the
  // row before the first row whose value exceeds n, which is left current;
  // -1 when that is row 0. When no row exceeds n (n at or above the last
  // row's value too), the current row is restored and the result is -1.
  // -1 also for an unknown field.
  int32_t FindRowAtOrBelow(const char *name, int32_t n);

  bool IsOpen() const { return m_open; }
  int32_t RowCount() const { return m_rowCount; }
  int32_t FieldCount() const { return m_fieldCount; }
  int32_t CurrentRow() const { return m_currentRow; }

 private:
  void Close();
  TDbfField *FindField(const char *name);
  const char *TextOf(const TDbfField &field);

  char m_path[kMaxPath + 1];
  int32_t m_file;
  int32_t m_currentRow;
  uint8_t m_header[16];
  uint8_t *m_descriptors;
  uint8_t *m_records;
  char *m_row;
  char *m_value;
  bool m_open;
  TDbfField *m_fields;  // m_fieldCount of them
  int32_t m_fieldCount;
  int32_t m_recordLength;
  int32_t m_rowCount;
};
