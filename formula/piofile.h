// Indicator export files (".pio"): formulas exchanged between users.
//
// The file on disk is a CDesEnc container under its own fixed key; its plain
// content, staged in the library's staging file (".\pit.dat"), is
// (integers little-endian 32-bit, texts GBK):
//
//   "PiOutprt" (8 bytes, no terminator), version 1, then records to the end:
//   a group:   byte 0, name char[32];
//   a formula: byte 1 (any byte but 0), name char[16], password char[32],
//              description length and bytes, parameter count and 72-byte
//              parameter records, text length and text, notes length and
//              notes, flags.
//
// The first record is a group; every formula belongs to the group before it.
// A password travels in plain form inside the enciphered file.
//
// The staging file is shared with the library's save, so writing and
// reading hold the library's lock; the staging file is gone again after
// every export and import, whatever became of them.
#pragma once

#include <cstdint>
#include <string>

#include "formula/kvindexlib.h"
#include "platform/fileapi.h"

// One export being written. Every step shows its own failure message,
// closes and deletes the staging file and returns false; after a failure
// nothing more is written. Dropping the record before ExportFileFinish
// deletes the staging file too.
struct IndexExportFile {
  IndexExportFile() = default;
  ~IndexExportFile();
  IndexExportFile(const IndexExportFile &) = delete;
  IndexExportFile &operator=(const IndexExportFile &) = delete;

  HANDLE file = INVALID_HANDLE_VALUE;
  std::string staging;
  CRITICAL_SECTION *lock = nullptr;  // held from create to finish
  bool failed = false;
};

// Creates the library's staging file with the temporary attribute and
// writes the magic and the version.
bool ExportFileCreate(IndexExportFile &out, CKvIndexManager &library);
bool ExportFileWriteGroup(IndexExportFile &out, const char *groupName);
bool ExportFileWriteFormula(IndexExportFile &out, const CKvIndex &formula);
// Closes the staging file, gives it normal attributes, enciphers it into
// the target and deletes it.
bool ExportFileFinish(IndexExportFile &out, const char *target);

// Reads an export file into the library (steps after the file was chosen):
// groups found by name or appended; a formula whose name the library has
// already is overwritten only when the user answers Yes ("指标 %s 已存在，
// 是否覆盖？"), No skips it, Cancel ends the import; K, TWR, BAR and OX are
// never overwritten and are skipped without a question. Ends with the count
// message. -1 when the file could not be read at all (its message shown),
// else the number of formulas imported.
int ImportIndexFile(const char *path, CKvIndexManager &library);

// The names no one may modify (K, TWR, BAR, OX) and those no one may
// delete (K, VOL), without regard to case.
bool IsUnmodifiableIndex(const char *name);
bool IsUndeletableIndex(const char *name);

constexpr const char *kIndexExportKey = "Q7XM2RT9KD4WPL6B";
