// The page table: the saved pages in menu order, rebuilt from the index
// file "%skvpage.idx" and the page folders, and the last page "%sLP3.DAT".
#pragma once

#include "views/pagefile.h"

struct CPageData {
  char name[kPageNameSize];
  char path[kPagePathSize];
};

struct PageTableData {
  CPageData entries[kMaxPages];
  int count = 0;
};
PageTableData &PageTable();

// Rebuilds the page table from "%skvpage.idx", the system pages and the
// user pages; a path is listed once, however often the index names it.
// Writes the index again when a page was found outside it. A user page
// that fails the list's checks is set aside as "<name>.bad".
void LoadPageList();
// Writes "%skvpage.idx"; false when it can't be written.
bool SavePageIndex();
// Writes "%sLP3.DAT" (260 bytes, zero-padded).
void WriteLastPage(const char *path);
// Reads "%sLP3.DAT": a file missing or shorter than 260 bytes gives an
// empty text; a record without a NUL is cut to 259 bytes. False when empty.
bool ReadLastPage(char (&path)[kPagePathSize]);
