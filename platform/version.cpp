#include "platform/version.h"

#include <elf.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/module.h"
#include "platform/path.h"

namespace {

constexpr char kSectionName[] = "kivo_version";
// A version block is small; anything larger is not one of ours.
constexpr uint64_t kMaxBlock = 64 * 1024;

bool ReadAt(FILE *file, uint64_t offset, void *out, size_t size) {
  return fseeko(file, off_t(offset), SEEK_SET) == 0 && fread(out, 1, size, file) == size;
}

// The bytes of the version section of a 64-bit ELF file; false with the
// last error set when the file is missing or holds no such section.
bool ReadVersionSection(const std::string &path, std::vector<char> &out) {
  FILE *file = path.empty() ? nullptr : fopen(path.c_str(), "rb");
  if (!file) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  bool found = false;
  Elf64_Ehdr header{};
  if (ReadAt(file, 0, &header, sizeof header) && memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
      header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_shentsize == sizeof(Elf64_Shdr) &&
      header.e_shnum > 0 && header.e_shnum < 4096 && header.e_shstrndx < header.e_shnum) {
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (ReadAt(file, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) {
      const Elf64_Shdr &names = sections[header.e_shstrndx];
      std::vector<char> table(names.sh_size < kMaxBlock * 16 ? names.sh_size : 0);
      if (!table.empty() && ReadAt(file, names.sh_offset, table.data(), table.size())) {
        for (const Elf64_Shdr &section : sections) {
          if (section.sh_name >= table.size() || section.sh_type == SHT_NOBITS) continue;
          const char *name = table.data() + section.sh_name;
          if (strnlen(name, table.size() - section.sh_name) != sizeof kSectionName - 1 ||
              memcmp(name, kSectionName, sizeof kSectionName - 1) != 0)
            continue;
          if (section.sh_size == 0 || section.sh_size > kMaxBlock) break;
          // The block: its whole size, then the section's bytes (entries
          // with NUL padding between them), then a NUL that ends a scan.
          const uint32_t size = uint32_t(sizeof(uint32_t) + section.sh_size + 1);
          out.assign(size, '\0');
          memcpy(out.data(), &size, sizeof size);
          found = ReadAt(file, section.sh_offset, out.data() + sizeof size, section.sh_size);
          break;
        }
      }
    }
  }
  fclose(file);
  if (!found) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return found;
}

std::string FilePath(LPCSTR file) {
  if (!file || !*file) return {};
  std::string path = platform::FindLibraryFile(file);
  return path.empty() ? platform::ResolvePath(file) : path;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR file, DWORD *handle) {
  if (handle) *handle = 0;
  std::vector<char> block;
  if (!ReadVersionSection(FilePath(file), block)) return 0;
  return DWORD(block.size());
}

BOOL GetFileVersionInfoA(LPCSTR file, DWORD, DWORD size, LPVOID data) {
  std::vector<char> block;
  if (!data || !ReadVersionSection(FilePath(file), block)) return FALSE;
  if (block.size() > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(data, block.data(), block.size());
  return TRUE;
}

// The block must come from GetFileVersionInfoA: it starts with its size
// and ends in a NUL, so no scan leaves it.
BOOL VerQueryValueA(LPCVOID block, LPCSTR path, LPVOID *value, UINT *length) {
  if (value) *value = nullptr;
  if (length) *length = 0;
  if (!block || !path) return FALSE;
  const char *start = static_cast<const char *>(block);
  uint32_t size;
  memcpy(&size, start, sizeof size);
  const char *end = start + size - 1;  // the closing NUL
  const char *at = start + sizeof size;
  while (at < end) {
    // Entries are padded apart by NULs.
    if (*at == '\0') {
      ++at;
      continue;
    }
    const char *entryValue = at + strlen(at) + 1;
    if (entryValue >= end) return FALSE;
    if (*at == '\\' && strcasecmp(at, path) == 0) {
      if (value) *value = const_cast<char *>(entryValue);
      if (length) *length = UINT(strlen(entryValue) + 1);
      return TRUE;
    }
    at = entryValue + strlen(entryValue) + 1;
  }
  return FALSE;
}
