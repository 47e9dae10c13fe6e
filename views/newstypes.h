// News types: which types of news exist, what they are called, which the
// user wants to see and how each type divides into keyword branches, all
// from the shared "..\CFG\NewsType.INI"; the program-wide table of the
// chosen types with their branches; and the chooser dialog
// "选择新闻类型" in which the user picks the types the news view shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/listbox.h"
#include "classlib/stdctrls.h"

constexpr char kNewsTypeIni[] = "..\\CFG\\NewsType.INI";
constexpr int kMaxNewsTypeId = 128;
constexpr int kMaxNewsBranches = 16;
constexpr int kMaxBranchKeywords = 16;

struct NEWSBRANCH {
  char name[12];                          // " %s ", the name cut to 9 bytes
  char keywords[kMaxBranchKeywords][16];  // NUL-terminated, at most 15 bytes
};

// One loaded news type, copied bytewise.
struct cls_msg_search {
  uint8_t typeId;  // 1..127
  char name[12];
  NEWSBRANCH branches[kMaxNewsBranches];
};

// The chosen types: type n is chosen when bit (n - 1) mod 32 of word
// (n - 1) div 32 is set.
struct NewsTypeFilter {
  uint32_t words[4] = {};
  bool Has(int id) const { return id >= 1 && id <= kMaxNewsTypeId && (words[(id - 1) / 32] >> ((id - 1) % 32) & 1); }
  void Set(int id) {
    if (id >= 1 && id <= kMaxNewsTypeId) words[(id - 1) / 32] |= 1u << ((id - 1) % 32);
  }
};
// [NEWSTYPE] "Filter" ("%d,%d,%d,%d", default "0,0,0,0").
NewsTypeFilter ReadNewsFilter();
void WriteNewsFilter(const NewsTypeFilter &filter);

// Copies text up to the next comma or its end, at most capacity - 1
// bytes (never half a character), NUL-terminated; returns the field's length plus one when a comma
// follows, else the field's length.
int NextCsvField(char *destination, int capacity, const char *text);
// "ID%d_BRANCH%d" into entry; true when the branch has a name and at least
// one keyword.
bool ReadNewsBranch(NEWSBRANCH *entry, int id, int branch);
// The type's name and branches; false when the type has no name.
bool ReadNewsType(cls_msg_search *record, int id);

// The program's table of chosen types (1..127 with a name), in id order.
std::vector<cls_msg_search> &NewsTypeTable();
void LoadNewsTypeTable();
const cls_msg_search *FindNewsType(int id);

// The type names in the order every reader lists them: ids ascending, first
// every [OEMNEWS] "ID%d" name, then every [NEWSTYPE] "ID%d" name (an id with
// both names is listed twice). Only chosen ids with chosenOnly.
struct NewsTypeName {
  int id;
  std::string name;
};
std::vector<NewsTypeName> NewsTypeNames(bool chosenOnly);

// The chooser's two lists: chosen and available, each line with its id.
// Both have room for every line the file can name (two names per id).
class TNewsTypeChoice {
 public:
  static constexpr int kMaxLines = 2 * kMaxNewsTypeId;
  void Load();
  // Moves the line of a list to the end of the other; the line before it
  // becomes the selection (line 0 for the first). Nothing on an empty list
  // or a line outside it. Returns the new selection of the source list.
  int Remove(int line);  // chosen -> available
  int Add(int line);     // available -> chosen
  NewsTypeFilter Filter() const;

  std::vector<std::string> chosen, available;
  uint8_t chosenIds[kMaxLines] = {};
  uint8_t availableIds[kMaxLines] = {};
  bool changed = false;

 private:
  int Move(std::vector<std::string> &from, uint8_t *fromIds, std::vector<std::string> &to, uint8_t *toIds, int line);
};

class TSelNewsTypes : public TForm {
 public:
  explicit TSelNewsTypes(TComponent *owner);
  void ListBox1DblClick();  // "删除 ->"
  void ListBox2DblClick();  // "添加 <-"
  TNewsTypeChoice &Choice() { return choice_; }

  TLabel *Label1 = nullptr;
  TListBox *ListBox1 = nullptr;
  TLabel *Label2 = nullptr;
  TListBox *ListBox2 = nullptr;
  TButton *Button1 = nullptr;
  TButton *Button2 = nullptr;
  TButton *Button3 = nullptr;
  TButton *Button4 = nullptr;

 private:
  void Fill();
  TNewsTypeChoice choice_;
};

// What an answer of the chooser does: OK with a change writes the chosen
// types as "Filter" and reloads the type table. True when written.
bool ApplyNewsTypeChoice(int result, const TNewsTypeChoice &choice);
// Shows the chooser modally with the key hook paused; on OK with a change
// writes the new filter and reloads the type table. True when the filter
// was written.
bool ChooseNewsTypes(TComponent *owner);
