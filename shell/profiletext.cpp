#include "shell/profiletext.h"

#include "platform/profile.h"

size_t CopyGbkBounded(char *out, size_t size, const char *text) {
  if (!out || size == 0) return 0;
  size_t n = 0;
  if (text) {
    while (text[n] != '\0') {
      const unsigned char lead = static_cast<unsigned char>(text[n]);
      const size_t width = lead >= 0x81 && lead <= 0xFE && text[n + 1] != '\0' ? 2 : 1;
      if (n + width > size - 1) break;
      n += width;
    }
    for (size_t i = 0; i < n; ++i) out[i] = text[i];
  }
  out[n] = '\0';
  return n;
}

size_t ReadProfileField(const char *section, const char *key, const char *defaultValue, char *out, size_t size,
                        const char *file) {
  char text[1024];
  GetPrivateProfileStringA(section, key, defaultValue, text, sizeof text, file);
  return CopyGbkBounded(out, size, text);
}
