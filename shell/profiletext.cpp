#include "shell/profiletext.h"

#include "platform/gbk.h"
#include "platform/profile.h"

size_t CopyGbkBounded(char *out, size_t size, const char *text) {
  if (!out || size == 0) return 0;
  const size_t n = text ? platform::GbkCutLength(text, size - 1) : 0;
  for (size_t i = 0; i < n; ++i) out[i] = text[i];
  out[n] = '\0';
  return n;
}

size_t ReadProfileField(const char *section, const char *key, const char *defaultValue, char *out, size_t size,
                        const char *file) {
  char text[1024];
  GetPrivateProfileStringA(section, key, defaultValue, text, sizeof text, file);
  return CopyGbkBounded(out, size, text);
}
