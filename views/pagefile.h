// Page files ("kvpage05" to "kvpage13"; always written as "kvpage13"), the
// page table with its index file, and the page manager dialog.
//
// A page file is the magic, the 64-byte page name, the payload length L
// and L bytes of node records: the split tree with each pane's view
// attributes and view data, instruments and blocks as text. Reading checks
// every record against the payload; a file that fails is set aside (a user
// page is renamed to "<name>.bad"), never deleted, and system pages, the
// default page and files of an unknown (newer) version are left as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "views/viewattr.h"

class TEdit;
class TButton;
class TListBox;

constexpr int kPageHeaderSize = 76;
constexpr int kNodeRecordSize = 20;
constexpr int kPageNameSize = 64;
constexpr int kPagePathSize = 260;
constexpr int kMaxPages = 128;
constexpr int kMaxPageFiles = 64;

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

// ---- Page table ----------------------------------------------------------------------

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
// user pages; writes the index again when a page was found outside it.
void LoadPageList();
// Writes "%skvpage.idx"; false when it can't be written.
bool SavePageIndex();
// Writes "%sLP3.DAT" (260 bytes, zero-padded).
void WriteLastPage(const char *path);

// ---- Page manager ----------------------------------------------------------------------

class TPageMngr : public TForm {
 public:
  explicit TPageMngr(TComponent *owner);

  void ListBox1Click(TObject *sender);
  void Button1Click(TObject *sender);
  void XPButton1Click(TObject *sender);
  void XPButton2Click(TObject *sender);
  // The main window sets the manage mode up: Button1 "删除", Button2
  // "关闭", Edit1 disabled, the page in use.
  void SetManageMode(const char *pageInUse);

  TEdit *Edit1;
  TListBox *ListBox1;
  TButton *Button1;
  TButton *Button2;
  TButton *XPButton1;
  TButton *XPButton2;

  CPageData m_entry{};
  uint8_t m_modified = 0;
  char m_pageInUse[kPagePathSize] = {};
  bool m_manageMode = false;

 private:
  void Swap(int a, int b);
};
