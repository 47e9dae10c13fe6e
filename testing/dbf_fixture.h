// Builds small dBASE III files for tests from a description of the fields
// and the rows. The header fields can be overridden one by one, so a test
// can describe a file whose header doesn't match what follows it; cutting
// the built bytes gives a truncated file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DbfFieldDesc {
  std::string name;  // at most 11 characters are stored
  char type = 'C';   // 'N' values are right-aligned, all others left-aligned
  int length = 10;   // 0 to 255
  int decimals = 0;
};

struct DbfDesc {
  std::vector<DbfFieldDesc> fields;
  // One text per field; missing ones are blank, longer ones are cut to the
  // field's length, shorter ones padded with blanks.
  std::vector<std::vector<std::string>> rows;
  std::vector<size_t> deletedRows;  // these rows get the deletion flag '*'
  bool endMarker = true;            // the 0x1A byte after the last record

  // Written into the header instead of the true values; the layout of the
  // file stays the true one.
  std::optional<uint32_t> recordCount;
  std::optional<uint16_t> headerLength;
  std::optional<uint16_t> recordLength;
};

// The file's bytes.
std::string BuildDbf(const DbfDesc &desc);
// Writes bytes to a POSIX path; false when the file could not be written.
bool WriteBytes(const std::string &path, const std::string &bytes);
inline bool WriteDbf(const std::string &path, const DbfDesc &desc) { return WriteBytes(path, BuildDbf(desc)); }
