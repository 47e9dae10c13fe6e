// The lowest layer of the system: the allocator every container and buffer
// goes through, copies of strings into fixed-size fields, in-place trimming
// and the tick-count arithmetic used for time-outs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windef.h"

// Memory, from the process heap. Every block is zero-filled and framed by
// the guard "$$$$" in the four bytes before its first byte and the four
// bytes after its last one; the guards are there to be seen in a memory
// dump, nobody checks them.
// A block's first byte is aligned for any type (16 bytes), so records with
// pointers and doubles can live in it.
void *MemAlloc(int32_t size);
void MemFree(void *block);
int32_t MemSize(const void *block);

// Null for a negative size or when memory is exhausted; a size of 0 gives a
// valid block.
inline void *Malloc(int32_t size) { return MemAlloc(size); }
// Null is ignored.
inline void Free(void *block) { MemFree(block); }
// The usable size of a block, at least the size asked for; 0 for null.
inline int32_t MSize(const void *block) { return MemSize(block); }

// Lets a test make the allocator refuse chosen requests so that the
// out-of-memory paths of its callers can be exercised. The function sees the
// size asked for and returns true to refuse it; null restores normal service.
using MallocRefusal = bool (*)(int32_t size);
void SetMallocRefusal(MallocRefusal refuse);

// Strings. Copies at most n - 1 bytes and a terminating NUL into buffer and
// returns the number of bytes copied; n <= 0 (or a null buffer) copies
// nothing and returns 0.
int AnsiToBuf(const std::string &text, char *buffer, int n);
int AnsiToBuf(const char *text, int length, char *buffer, int n);

// Copies at most 511 bytes into one process-wide 512-byte buffer and returns
// it. Every call overwrites the previous result: copy it before calling
// again. For the GUI thread only.
char *AnsiToStatic(const std::string &text);
char *AnsiToStatic(const char *text, int length);

// Remove blanks in place: bytes 1 to 32 and 127. Bytes of 128 and above
// belong to GBK characters and are never blanks. Null is ignored.
void TrimLeft(char *text);
void TrimRight(char *text);
// Trailing blanks first, then leading ones.
void Trim(char *text);

// True when at least limit milliseconds lie between the tick counts start
// and now. The difference is taken modulo 2^32, so the answer stays right
// when the tick counter wraps in between.
constexpr bool TicksElapsed(DWORD start, DWORD now, DWORD limit) {
  return DWORD(now - start) >= limit;
}

// Three-way comparison by unsigned order: -1, 0 or 1.
constexpr int CompareUInt(uint32_t a, uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }
