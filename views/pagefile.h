// Page files ("kvpage05" to "kvpage13"; always written as "kvpage13").
// The page table with its index file is views/pagelist.h, the page manager
// dialog views/pagemngr.h; the page reads and writes its own file
// (TMultiViewMain, views/mvmain.h).
//
// A page file is the magic, the 64-byte page name, the payload length L
// and L bytes of node records: the split tree with each pane's view
// attributes and view data, instruments and blocks as text. Reading checks
// every record against the payload; a file that fails is set aside (a user
// page is renamed to "<name>.bad"), never deleted, and system pages, the
// default page and files of an unknown (newer) version are left as they are.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "views/viewattr.h"

constexpr int kPageHeaderSize = 76;
constexpr int kNodeRecordSize = 20;
constexpr int kPageNameSize = 64;
constexpr int kPagePathSize = 260;
constexpr int kMaxPages = 128;
constexpr int kMaxPageFiles = 64;
// The magic every page file is written with.
constexpr char kPageMagic[] = "kvpage13";

// Little-endian words in the bytes of page files and the page index.
inline uint32_t PageWord(const std::string &bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}
inline void PutPageWord(std::string &bytes, size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); }
inline void AppendPageWord(std::string &bytes, uint32_t v) { bytes.append(reinterpret_cast<const char *>(&v), 4); }

// Sizes of a pane's two records in a version (0 for an unknown version).
int ViewAttrFileSize(int version);
int ViewDataFileSize(int version);
// The version of a magic ("kvpage05" -> 5), or 0.
int PageFileVersion(const char *magic8);

// A pane or inner node of a page file, with the records converted to the
// current versions.
struct PageFileNode {
  uint32_t side = 0;
  float ratio = 0;
  bool hasPane = false;
  int first = -1, second = -1;  // indices into PageFile::nodes
  VIEW_ATTR_13 attr{};
  MVCDATA_12 data{};
  // What the file held that the program could not resolve: report tab
  // names whose block is gone, overlay texts from the first unknown one.
  std::vector<std::string> keptTabNames;
  std::vector<std::string> keptOverlayTexts;
};

struct PageFile {
  int version = 0;
  char name[kPageNameSize] = {};
  std::vector<PageFileNode> nodes;  // nodes[0] is the root's first child
};

enum class PageCheck { Ok, Missing, TooShort, UnknownMagic, BadLength, BadTree };

// Checks the header of a file's bytes (size, magic, length).
PageCheck CheckPageHeader(const std::string &bytes, int *version);
// Parses and converts a whole page file.
PageCheck ParsePageFile(const std::string &bytes, PageFile *page);
// Reads a file (Windows path); false when it can't be opened.
bool ReadWholeFile(const char *path, std::string *bytes);
// What the reader does with a file that failed its checks: a user page is
// renamed to "<path>.bad"; system pages, the default page and files of an
// unknown version stay as they are.
void SetPageFileAside(const char *path, PageCheck check);
bool IsSystemPagePath(const std::string &path);
bool IsDefaultPagePath(const std::string &path);
