// Settings texts read into fixed records: bounded by the record's field and
// cut before a double-byte character that would not fit whole.
#pragma once

#include <cstddef>

// Copies at most size - 1 bytes of text into out (NUL-terminated), never
// splitting a GBK character. Returns the bytes copied.
size_t CopyGbkBounded(char *out, size_t size, const char *text);

// GetPrivateProfileStringA into a fixed field of size bytes (at most
// size - 1 characters), cut on a character boundary.
size_t ReadProfileField(const char *section, const char *key, const char *defaultValue, char *out, size_t size,
                        const char *file);
template <size_t N>
size_t ReadProfileField(const char *section, const char *key, const char *defaultValue, char (&out)[N],
                        const char *file) {
  return ReadProfileField(section, key, defaultValue, out, N, file);
}
