#include "testing/dbf_fixture.h"

#include <algorithm>
#include <fstream>

namespace {

void PutU16(std::string &out, size_t at, uint32_t value) {
  out[at] = char(value & 0xFF);
  out[at + 1] = char((value >> 8) & 0xFF);
}

void PutU32(std::string &out, size_t at, uint32_t value) {
  PutU16(out, at, value & 0xFFFF);
  PutU16(out, at + 2, value >> 16);
}

}  // namespace

std::string BuildDbf(const DbfDesc &desc) {
  size_t fieldCount = desc.fields.size();
  uint32_t headerLength = uint32_t(32 + 32 * fieldCount + 1);
  uint32_t recordLength = 1;
  for (const DbfFieldDesc &field : desc.fields) recordLength += uint32_t(field.length);

  std::string out(headerLength, '\0');
  out[0] = 0x03;  // dBASE III without memo
  out[1] = char(124);  // last change 2024-01-15
  out[2] = 1;
  out[3] = 15;
  PutU32(out, 4, desc.recordCount.value_or(uint32_t(desc.rows.size())));
  PutU16(out, 8, desc.headerLength.value_or(uint16_t(headerLength)));
  PutU16(out, 10, desc.recordLength.value_or(uint16_t(recordLength)));

  for (size_t i = 0; i < fieldCount; ++i) {
    const DbfFieldDesc &field = desc.fields[i];
    size_t at = 32 + 32 * i;
    out.replace(at, std::min<size_t>(field.name.size(), 11), field.name, 0, 11);
    out[at + 11] = field.type;
    out[at + 16] = char(field.length);
    out[at + 17] = char(field.decimals);
  }
  out[headerLength - 1] = 0x0D;

  for (size_t r = 0; r < desc.rows.size(); ++r) {
    const std::vector<std::string> &values = desc.rows[r];
    bool deleted = std::find(desc.deletedRows.begin(), desc.deletedRows.end(), r) != desc.deletedRows.end();
    out.push_back(deleted ? '*' : ' ');
    for (size_t i = 0; i < fieldCount; ++i) {
      const DbfFieldDesc &field = desc.fields[i];
      size_t length = size_t(field.length);
      std::string value = i < values.size() ? values[i].substr(0, length) : std::string();
      std::string padding(length - value.size(), ' ');
      out += field.type == 'N' ? padding + value : value + padding;
    }
  }
  if (desc.endMarker) out.push_back(0x1A);
  return out;
}

bool WriteBytes(const std::string &path, const std::string &bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), std::streamsize(bytes.size()));
  file.close();
  return bool(file);
}
