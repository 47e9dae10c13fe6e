#include "core/chartgfx.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/ewnd.h"
#include "platform/fileapi.h"
#include "platform/gdi.h"
#include "platform/module.h"

void NiceAxisStep(double value, double *step, int *decimals) {
  double s = 1.0;
  int d = 0;
  if (!(value > 0) || !std::isfinite(value)) {
    *step = s;
    *decimals = d;
    return;
  }
  double v = value;
  while (v < 1) {
    v *= 10;
    s *= 0.1;
  }
  int count = 0;
  while (v >= 10) {
    v *= 0.1;
    s *= 10;
    ++count;
  }
  double multiplier = v <= 1.4 ? 0.2 : v <= 2.1 ? 0.3 : v <= 4.9 ? 0.5 : 1.0;
  s *= multiplier;
  if (s < 0.0001) {
    d = 5;
  } else if (s < 0.001) {
    d = 4;
  } else if (s < 0.01) {
    d = 3;
  } else if (s < 0.1) {
    d = 2;
  } else if (s < 1) {
    d = 1;
  }
  d -= count;
  *step = s;
  *decimals = d < 0 ? 0 : d;
}

int DecimalsNeeded(double x) {
  double a = std::fabs(x);
  if (a < 1e-7) {
    return 0;
  }
  double c = a;
  int n = 0;
  for (; n <= 4; ++n) {
    double f = c - std::floor(c) + 3e-9;
    if (f < 1e-7) {
      break;
    }
    c = f * 10;
  }
  if (n > 4) {
    return 5;
  }
  if (n > 0) {
    return n;
  }
  n = 0;
  do {
    double q = std::floor(a * 0.1 + 3e-9);
    if (std::fabs(a - q * 10) >= 1e-7) {
      return n;
    }
    a *= 0.1;
    --n;
  } while (n != -8);
  return -8;
}

float ScaleStepToRange(float u, float r, float m) {
  if (!(u >= 0.1f && r >= 0.1f && m >= 0.0001f && r <= 1e15f) || !std::isfinite(u) || !std::isfinite(m)) {
    return m;
  }
  float s = r / u;
  for (;;) {
    float q = s / m;
    if (q < 0.5f) {
      s *= 10;
    } else if (q > 5) {
      s *= 0.1f;
    } else {
      return s;
    }
  }
}

namespace {

bool Between(long v, long a, long b) { return a <= b ? (a <= v && v <= b) : (b <= v && v <= a); }

}  // namespace

bool PointNearSegment(POINT q, POINT a, POINT b) {
  if (a.x == b.x) {
    return std::labs(long(q.x) - a.x) < 3 && Between(q.y, a.y, b.y);
  }
  if (a.y == b.y) {
    return std::labs(long(q.y) - a.y) < 3 && Between(q.x, a.x, b.x);
  }
  if (!Between(q.x, a.x, b.x)) {
    return false;
  }
  // The squared distance to the line is cross^2 / |AB|^2; the squares of
  // screen-sized coordinates need more than 64 bits.
  int64_t abx = int64_t(b.x) - a.x, aby = int64_t(b.y) - a.y;
  int64_t aqx = int64_t(q.x) - a.x, aqy = int64_t(q.y) - a.y;
  __int128 cross = __int128(abx) * aqy - __int128(aby) * aqx;
  __int128 h = __int128(abx) * abx + __int128(aby) * aby;
  return cross * cross < 9 * h;
}

namespace {

template <typename KeyAt>
int FindSorted(int count, uint32_t key, KeyAt at) {
  if (count <= 0 || key < at(0) || key > at(count - 1)) {
    return -1;
  }
  int lo = 0, hi = count - 1;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    uint32_t v = at(mid);
    if (key == v) {
      return mid;
    }
    if (key < v) {
      if (mid > 0 && key > at(mid - 1)) {
        return -1;
      }
      hi = mid - 1;
    } else {
      if (mid + 1 < count && key < at(mid + 1)) {
        return -1;
      }
      lo = mid + 1;
    }
  }
  return -1;
}

}  // namespace

int FindBarByTime(const void *bars, int count, uint32_t time) {
  if (bars == nullptr) {
    return -1;
  }
  auto *base = static_cast<const unsigned char *>(bars);
  return FindSorted(count, time, [base](int i) {
    uint32_t t;
    std::memcpy(&t, base + size_t(i) * kBarRecordSize, sizeof t);
    return t;
  });
}

int FindUIntSorted(const uint32_t *values, int count, uint32_t value) {
  if (values == nullptr) {
    return -1;
  }
  return FindSorted(count, value, [values](int i) { return values[i]; });
}

// ---- the anti-aliased line ---------------------------------------------------

namespace {

// Each channel moves from the background toward the line's own value by the
// coverage (0-255), whichever of the two is the brighter in that channel.
BYTE BlendChannel(int line, int back, int coverage) {
  if (line < back) {
    return BYTE(line + int((255 - coverage) / 255.0 * (back - line)));
  }
  return BYTE(back + int(coverage / 255.0 * (line - back)));
}

COLORREF Blend(COLORREF line, COLORREF back, int coverage) {
  return RGB(BlendChannel(GetRValue(line), GetRValue(back), coverage),
             BlendChannel(GetGValue(line), GetGValue(back), coverage),
             BlendChannel(GetBValue(line), GetBValue(back), coverage));
}

// Pixels reached through get(x, y) and set(x, y, colour).
template <typename Get, typename Set>
void WuLine(int x1, int y1, int x2, int y2, COLORREF color, Get get, Set set) {
  if (y1 > y2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  set(x1, y1, color);
  int dir = x2 >= x1 ? 1 : -1;
  int dx = std::abs(x2 - x1);
  int dy = y2 - y1;
  if (dy == 0) {
    for (int k = 1; k <= dx; ++k) {
      set(x1 + dir * k, y1, color);
    }
    return;
  }
  if (dx == 0) {
    for (int k = 1; k <= dy; ++k) {
      set(x1, y1 + k, color);
    }
    return;
  }
  if (dx == dy) {
    for (int k = 1; k <= dy; ++k) {
      set(x1 + dir * k, y1 + k, color);
    }
    return;
  }
  auto blendPair = [&](int x, int y, int nx, int ny, uint16_t e) {
    int w = e >> 8;
    set(x, y, Blend(color, get(x, y), 255 - w));
    set(nx, ny, Blend(color, get(nx, ny), w));
  };
  uint16_t e = 0;
  int x = x1, y = y1;
  if (dx < dy) {
    uint16_t step = uint16_t((uint32_t(dx) << 16) / uint32_t(dy));
    for (int k = 0; k < dy - 1; ++k) {
      ++y;
      uint16_t next = uint16_t(e + step);
      if (next <= e) {
        x += dir;
      }
      e = next;
      blendPair(x, y, x + dir, y, e);
    }
  } else {
    uint16_t step = uint16_t((uint32_t(dy) << 16) / uint32_t(dx));
    for (int k = 0; k < dx - 1; ++k) {
      uint16_t next = uint16_t(e + step);
      if (next <= e) {
        ++y;
      }
      x += dir;
      e = next;
      blendPair(x, y, x, y + 1, e);
    }
  }
  set(x2, y2, color);
}

}  // namespace

void DrawLineAA(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  WuLine(
      x1, y1, x2, y2, color, [dc](int x, int y) { return GetPixel(dc, x, y); },
      [dc](int x, int y, COLORREF c) { SetPixel(dc, x, y, c); });
}

void DrawLineAADib(EDibBitmap *dib, int x1, int y1, int x2, int y2, COLORREF color) {
  auto at = [dib](int x, int y) -> unsigned char * {
    if (dib == nullptr || dib->m_hBitmap == nullptr || dib->m_pBits == nullptr || x < 0 || y < 0 ||
        x >= dib->m_width || y >= dib->m_height) {
      return nullptr;
    }
    return dib->m_pBits + size_t(x) * 3 + size_t(dib->m_height - y - 1) * size_t(dib->m_stride);
  };
  WuLine(
      x1, y1, x2, y2, color,
      [&](int x, int y) {
        unsigned char *p = at(x, y);
        return p ? RGB(p[2], p[1], p[0]) : RGB(0, 0, 0);
      },
      [&](int x, int y, COLORREF c) {
        if (unsigned char *p = at(x, y)) {
          p[0] = GetBValue(c);
          p[1] = GetGValue(c);
          p[2] = GetRValue(c);
        }
      });
}

// ---- the outside drawing library -----------------------------------------------

namespace {

using TextOutAntialiasingFn = int (*)(HDC, int, int, LPCSTR, int);
using ConvertBitmapFn = int (*)(HANDLE, HANDLE);
FARPROC g_drawLineAntialiasing = nullptr;
TextOutAntialiasingFn g_textOutAntialiasing = nullptr;
ConvertBitmapFn g_convertBitmap = nullptr;

}  // namespace

bool IsGdiWrapperBound() {
  return g_drawLineAntialiasing != nullptr || g_textOutAntialiasing != nullptr || g_convertBitmap != nullptr;
}

void BindGdiWrapper() {
  if (IsGdiWrapperBound()) {
    return;
  }
  // The library must be there; the system drawing library it wraps elsewhere
  // is part of the stand-in here, so there is nothing else to load first.
  if (platform::FindLibraryFile("gdipwrap.dll").empty()) {
    return;
  }
  HMODULE module = GetModuleHandleA("gdipwrap.dll");
  if (module == nullptr) {
    module = LoadLibraryA("gdipwrap.dll");
  }
  if (module == nullptr) {
    return;
  }
  g_drawLineAntialiasing = GetProcAddress(module, "DrawLineAntialiasing");
  g_textOutAntialiasing = reinterpret_cast<TextOutAntialiasingFn>(GetProcAddress(module, "TextOutAntialiasing"));
  g_convertBitmap = reinterpret_cast<ConvertBitmapFn>(GetProcAddress(module, "ConvertBitmap"));
}

BOOL TextOutAA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (g_textOutAntialiasing != nullptr) {
    return g_textOutAntialiasing(dc, x, y, text, length);
  }
  return TextOutA(dc, x, y, text, length);
}

bool ConvertBitmapAA(HANDLE a, HANDLE b) { return g_convertBitmap != nullptr && g_convertBitmap(a, b) != 0; }
