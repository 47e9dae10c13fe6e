#include "core/dbase.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/efile.h"
#include "core/emem.h"
#include "platform/path.h"

namespace {

constexpr int32_t kHeaderBytes = 16;      // the part of the header that is read
constexpr int32_t kDescriptorStart = 32;  // first field descriptor
constexpr int32_t kDescriptorBytes = 32;
constexpr int32_t kMinHeaderLength = 33;  // header, no fields, terminator
constexpr int32_t kSlack = 256;           // row and value buffers beyond a record

uint32_t ReadU32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadU16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

TDbfTable::TDbfTable(const char *path)
    : m_file(kNoFile),
      m_currentRow(0),
      m_header{},
      m_descriptors(nullptr),
      m_records(nullptr),
      m_row(nullptr),
      m_value(nullptr),
      m_open(false),
      m_fields(nullptr),
      m_fieldCount(0),
      m_recordLength(0),
      m_rowCount(0) {
  m_path[0] = '\0';
  if (path) {
    size_t length = strnlen(path, kMaxPath + 1);
    if (length <= size_t(kMaxPath)) memcpy(m_path, path, length + 1);
  }
}

TDbfTable::~TDbfTable() { Close(); }

void TDbfTable::Close() {
  FileClose(m_file);
  m_file = kNoFile;
  Free(m_fields);
  Free(m_descriptors);
  Free(m_records);
  Free(m_row);
  Free(m_value);
  m_fields = nullptr;
  m_descriptors = nullptr;
  m_records = nullptr;
  m_row = nullptr;
  m_value = nullptr;
  m_fieldCount = 0;
  m_recordLength = 0;
  m_rowCount = 0;
  m_currentRow = 0;
  m_open = false;
}

bool TDbfTable::Open(bool keepOpen) {
  if (m_open) return true;
  m_file = FileOpen(m_path, "rb");
  if (m_file <= 0) {
    m_file = kNoFile;
    return false;
  }
  auto fail = [this] {
    Close();
    return false;
  };

  if (FileRead(m_file, m_header, 1, kHeaderBytes) != kHeaderBytes) return fail();
  uint32_t recordCount = ReadU32(m_header + 4);
  int32_t headerLength = ReadU16(m_header + 8);
  int32_t recordLength = ReadU16(m_header + 10);
  int32_t fileLength = FileSize(m_file);
  if (headerLength < kMinHeaderLength || fileLength < headerLength || recordLength == 0) return fail();
  int32_t fieldCount = (headerLength - kMinHeaderLength) / kDescriptorBytes;
  if (fieldCount > kMaxFields) return fail();

  // Whole records only, and no more than the header announces.
  int64_t rows = (fileLength - headerLength) / recordLength;
  if (rows > int64_t(recordCount)) rows = recordCount;
  int32_t recordBytes = int32_t(rows * recordLength);  // within the file's length

  m_descriptors = static_cast<uint8_t *>(Malloc(fieldCount * kDescriptorBytes));
  m_records = static_cast<uint8_t *>(Malloc(recordBytes));
  m_row = static_cast<char *>(Malloc(recordLength + kSlack));
  m_value = static_cast<char *>(Malloc(recordLength + kSlack));
  m_fields = static_cast<TDbfField *>(Malloc(int32_t(fieldCount * sizeof(TDbfField))));
  if (!m_descriptors || !m_records || !m_row || !m_value || !m_fields) return fail();

  int32_t descriptorBytes = fieldCount * kDescriptorBytes;
  if (FileSeek(m_file, kDescriptorStart, 0) != kDescriptorStart ||
      FileRead(m_file, m_descriptors, 1, descriptorBytes) != descriptorBytes)
    return fail();
  if (FileSeek(m_file, headerLength, 0) != headerLength ||
      FileRead(m_file, m_records, 1, recordBytes) != recordBytes)
    return fail();
  if (!keepOpen) {
    FileClose(m_file);
    m_file = kNoFile;
  }

  // The first field follows the deletion flag; every field must end inside
  // the record, or a row's texts would be read from beyond it.
  int32_t offset = 1;
  for (int32_t i = 0; i < fieldCount; ++i) {
    const uint8_t *stored = m_descriptors + i * kDescriptorBytes;
    TDbfField &field = m_fields[i];
    memcpy(field.descriptor, stored, kDescriptorBytes);
    memcpy(field.name, stored, 11);
    field.name[11] = '\0';
    field.type = char(stored[11]);
    field.length = stored[16];
    field.decimals = stored[17];
    field.offset = offset;
    memcpy(field.descriptor + 12, &offset, sizeof offset);
    offset += field.length;
    if (offset > recordLength) return fail();
  }

  m_fieldCount = fieldCount;
  m_recordLength = recordLength;
  m_rowCount = int32_t(rows);
  m_open = true;
  GoToRow(0);
  return true;
}

bool TDbfTable::GoToRow(int32_t n) {
  if (!m_open || n < 0 || n >= m_rowCount) return false;
  memcpy(m_row, m_records + int64_t(n) * m_recordLength, size_t(m_recordLength));
  m_currentRow = n;
  return true;
}

TDbfField *TDbfTable::FindField(const char *name) {
  if (!m_open || !name) return nullptr;
  for (int32_t i = 0; i < m_fieldCount; ++i)
    if (platform::EqualNoCase(m_fields[i].name, name)) return &m_fields[i];
  return nullptr;
}

const char *TDbfTable::TextOf(const TDbfField &field) {
  memcpy(m_value, m_row + field.offset, size_t(field.length));
  m_value[field.length] = '\0';
  return m_value;
}

const char *TDbfTable::GetFieldText(const char *name) {
  TDbfField *field = FindField(name);
  return field ? TextOf(*field) : nullptr;
}

int32_t TDbfTable::FindRowAtOrBelow(const char *name, int32_t n) {
  int32_t remembered = m_currentRow;
  TDbfField *field = FindField(name);
  if (!field) return -1;
  for (int32_t i = 0; i < m_rowCount; ++i) {
    GoToRow(i);
    const char *text = TextOf(*field);
    // strtol reads the leading number as atol would, but saturates instead
    // of overflowing on a long run of digits.
    if (n < strtol(text, nullptr, 10)) return i - 1;
  }
  GoToRow(remembered);
  return -1;
}
