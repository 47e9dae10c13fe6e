// Helpers the cache-file sources share; not for use outside them.
#pragma once

#include <cstdint>
#include <string_view>

#include "market/datafile.h"
#include "market/marketrecords.h"

namespace datafile_detail {

// The name-table entry of a loaded stock, or null.
const STKINFO *StockEntry(const TMarketData *market, int stock);
// Index instruments (stock kind 0 of markets 0 and 1) carry an extra word
// per trend day and index counters in their trend records.
bool IsIndexInstrument(const TMarketData *market, int stock);
// Market types 1 and 6 keep turnover in the amount field; the others keep
// open interest.
bool IsTurnoverMarket(const TMarketData *market);

// Creates the folder the file lies in.
bool MakeFolderOf(const char *path);
// Replaces the file with the bytes, by way of a new file renamed over it.
bool WriteWholeFile(const char *path, std::string_view bytes);
// Size of an existing file, -1 when it is missing, a folder, or 2 GiB or more.
int32_t SizeOfFile(const char *path);

// Seeks and reads or writes exactly length bytes; false on any shortfall.
bool ReadExactly(int32_t file, int32_t position, void *buffer, int32_t length);
bool WriteExactly(int32_t file, int32_t position, const void *buffer, int32_t length);
// Sets the last-write time of an open file to the shared UTC clock.
bool StampOpenFile(int32_t file);

}  // namespace datafile_detail
