// The thin file layer the system reads and writes its files through: open
// with fopen-style mode letters, then seek, read, write, size and truncate
// by a 32-bit handle; and a creator of folder chains.
//
// A handle is the platform's file handle kept as a signed 32-bit value, the
// way the stored records and the callers keep it. -1 means that no file is
// open; every call here treats a value <= 0 as "not open" and fails without
// touching anything. Sizes and offsets are 32-bit: a position or a length of
// 2 GiB or more is reported as a failure (-1).
//
// Nothing here shows a message; failures are the results listed below.
#pragma once

#include <cstdint>

// Open-mode flags, one byte built from the mode text.
constexpr uint8_t kOpenRead = 0x01;
constexpr uint8_t kOpenWrite = 0x02;
constexpr uint8_t kOpenReadWrite = 0x03;
constexpr uint8_t kOpenAccessMask = 0x03;
constexpr uint8_t kOpenText = 0x10;  // no effect on opening; cleared by 'b'
constexpr uint8_t kOpenAppend = 0x20;

constexpr int32_t kNoFile = -1;

// Looks at the first three characters of the mode text only:
//   first:  'r' read, 'w' write, 'a' write and append (any case); anything
//           else reads;
//   second: 'b' clears the text flag, '+' gives read and write access;
//   third:  'b' clears the text flag.
// Text mode is on unless a 'b' clears it. A null mode reads as "r".
void ParseOpenMode(const char *mode, uint8_t *flags);

// Opens a Windows-form path (looked up without regard to case by the
// platform; the caller's text is never changed). By the access the mode asks:
//   read only        -> the file must exist;
//   write, or '+'    -> the file is created when missing and is never
//                       truncated: "w" overwrites from the start and leaves
//                       whatever lies beyond, so a writer that may write
//                       less than the file holds calls FileTruncate;
//                       "r+b" creates a missing file too.
// Append ("a") starts at the end. Other openers may read and write the file
// at the same time. Returns the handle, or -1 for a null or empty path, a
// null mode or a failed open. The third argument is ignored.
int32_t FileOpen(const char *path, const char *mode, int unused = 0);

// Closes handles > 0; other values are ignored.
void FileClose(int32_t handle);

// Moves by offset from origin 0 (start), 1 (current) or 2 (end) and returns
// the new position; -1 when the handle is not open, the origin is unknown,
// the position would be negative, or it is 2 GiB or more.
int32_t FileSeek(int32_t handle, int32_t offset, int origin);

// Reads size x count bytes at the current position and returns the bytes
// read (not items): fewer at the end of the file. 0 when the handle is not
// open or cannot read, the buffer is null, or size or count is negative or
// their product does not fit in 32 bits.
int32_t FileRead(int32_t handle, void *buffer, int32_t size, int32_t count);

// Writes size x count bytes at the current position and returns the bytes
// written, or 0 when the write failed (same refusals as FileRead).
int32_t FileWrite(int32_t handle, const void *buffer, int32_t size, int32_t count);

// The file's length; -1 when the handle is not open or the file holds
// 2 GiB or more.
int32_t FileSize(int32_t handle);

// Moves to offset from the start and ends the file there. Returns the new
// position, or -1 when the move or the truncation failed (for example on a
// handle opened for reading only).
int32_t FileTruncate(int32_t handle, int32_t offset);

// Creates every missing folder of a Windows-form path, from the left ("a\b\c"
// creates a, a\b and a\b\c; a trailing backslash changes nothing). Returns
// true when the whole path is a folder at the end (at once when it already
// was): false for a null or empty path, for a missing one of 1020 characters
// or more, or when a folder could not be created (or a file stands in its
// place). A backslash that is the trail byte of a GBK character is no
// separator.
bool MakeDirChain(const char *path);
