// Small numeric and drawing routines shared by every chart: round axis steps
// and decimals, hit testing against a segment, searches of sorted bar times,
// and the system's own anti-aliased line.
#pragma once

#include <cstdint>

#include "platform/windef.h"

class EDibBitmap;

// A round step near a tenth to a fifth of the value's magnitude, and the
// decimals that print its multiples. A value that is not a positive finite
// number gives step 1 and 0 decimals.
void NiceAxisStep(double value, double *step, int *decimals);
// The decimals (up to 5) that show the value to 1e-7, or minus the number of
// trailing zeros of an integer (down to -8).
int DecimalsNeeded(double value);
// A power-of-ten multiple of range / unit that lies within half to five
// times the minimum step; the minimum step itself for units or ranges out of
// bounds.
float ScaleStepToRange(float unit, float range, float minimumStep);
// True when the point lies within 3 pixels of the segment A-B.
bool PointNearSegment(POINT q, POINT a, POINT b);

// Exact searches in ascending arrays; -1 when the key is not there. A bar is a
// 40-byte record whose first field is its packed date-time.
constexpr int kBarRecordSize = 40;
int FindBarByTime(const void *bars, int count, uint32_t time);
int FindUIntSorted(const uint32_t *values, int count, uint32_t value);

// Anti-aliased line, on a device context (read and written pixel by pixel)
// or straight into the holder's bottom-up 24-bit pixels. Both ends get the
// full colour; between them each pixel pair shares the coverage.
void DrawLineAA(HDC dc, int x1, int y1, int x2, int y2, COLORREF color);
void DrawLineAADib(EDibBitmap *dib, int x1, int y1, int x2, int y2, COLORREF color);

// The optional outside drawing library; each caller of the two calls after
// it binds first. Without it the plain calls draw.
bool IsGdiWrapperBound();
void BindGdiWrapper();
BOOL TextOutAA(HDC dc, int x, int y, LPCSTR text, int length);
bool ConvertBitmapAA(HANDLE a, HANDLE b);
