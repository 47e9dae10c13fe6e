// Root classes: components and their ownership, string lists.
#include "classlib/classes.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/fileapi.h"
#include "platform/kernel.h"
#include "platform/path.h"

bool TObject::ClassNameIs(const char *name) const { return name && std::strcmp(ClassName(), name) == 0; }

// ---- TComponent ----------------------------------------------------------------------
TComponent::TComponent(TComponent *owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  // Those that watch this component learn that it goes.
  std::vector<TComponent *> watchers;
  watchers.swap(notifies_);
  for (TComponent *other : watchers) {
    auto &back = other->notifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent *TComponent::Components(int index) const {
  return index >= 0 && size_t(index) < components_.size() ? components_[size_t(index)] : nullptr;
}

TComponent *TComponent::FindComponent(const std::string &name) const {
  if (name.empty()) return nullptr;
  for (TComponent *c : components_) {
    if (c->Name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(c->Name[i])) == std::tolower(static_cast<unsigned char>(name[i]));
    if (same) return c;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent *component) {
  if (!component || component->owner_ == this) return;
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent *component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent *last = components_.back();
    RemoveComponent(last);
    delete last;
  }
}

void TComponent::FreeNotification(TComponent *other) {
  if (!other || other == this) return;
  if (std::find(notifies_.begin(), notifies_.end(), other) == notifies_.end()) notifies_.push_back(other);
  // Both ways: whichever goes first tells the other.
  if (std::find(other->notifies_.begin(), other->notifies_.end(), this) == other->notifies_.end())
    other->notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent *other) {
  if (!other) return;
  notifies_.erase(std::remove(notifies_.begin(), notifies_.end(), other), notifies_.end());
  other->notifies_.erase(std::remove(other->notifies_.begin(), other->notifies_.end(), this), other->notifies_.end());
}

// ---- TStrings --------------------------------------------------------------------------
void TStrings::Put(int index, const std::string &text) {
  TObject *object = GetObject(index);
  Delete(index);
  InsertObject(index, text, object);
}

int TStrings::Add(const std::string &text) {
  int index = Count();
  Insert(index, text);
  return index;
}

int TStrings::AddObject(const std::string &text, TObject *object) {
  int index = Add(text);
  PutObject(index, object);
  return index;
}

void TStrings::InsertObject(int index, const std::string &text, TObject *object) {
  Insert(index, text);
  PutObject(index, object);
}

void TStrings::AddStrings(const TStrings &other) {
  BeginUpdate();
  for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
  EndUpdate();
}

static bool SameTextAscii(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

int TStrings::IndexOf(const std::string &text) const {
  for (int i = 0; i < Count(); ++i)
    if (SameTextAscii(Get(i), text)) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string &name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string line = Get(i);
    size_t eq = line.find('=');
    if (eq != std::string::npos && SameTextAscii(line.substr(0, eq), name)) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject *object) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TStrings::Move(int from, int to) {
  if (from == to || from < 0 || to < 0 || from >= Count() || to >= Count()) return;
  BeginUpdate();
  std::string text = Get(from);
  TObject *object = GetObject(from);
  Delete(from);
  InsertObject(to, text, object);
  EndUpdate();
}

void TStrings::Exchange(int a, int b) {
  if (a == b || a < 0 || b < 0 || a >= Count() || b >= Count()) return;
  BeginUpdate();
  std::string ta = Get(a), tb = Get(b);
  TObject *oa = GetObject(a), *ob = GetObject(b);
  Put(a, tb);
  PutObject(a, ob);
  Put(b, ta);
  PutObject(b, oa);
  EndUpdate();
}

std::string TStrings::Names(int index) const {
  std::string line = Get(index);
  size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStrings::Values(const std::string &name) const {
  int i = IndexOfName(name);
  if (i < 0) return std::string();
  std::string line = Get(i);
  return line.substr(line.find('=') + 1);
}

void TStrings::SetValue(const std::string &name, const std::string &value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    Put(i, name + "=" + value);
  } else {
    Add(name + "=" + value);
  }
}

std::string TStrings::Text() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    out += Get(i);
    out += "\r\n";
  }
  return out;
}

void TStrings::SetText(const std::string &text) {
  BeginUpdate();
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      Add(text.substr(start));
      break;
    }
    Add(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i) out += ',';
    std::string item = Get(i);
    bool quote = item.empty() || item.find_first_of(" ,\"") != std::string::npos;
    if (!quote) {
      out += item;
      continue;
    }
    out += '"';
    for (char c : item) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

void TStrings::SetCommaText(const std::string &text) {
  BeginUpdate();
  Clear();
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    std::string item;
    if (i < text.size() && text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
      while (i < text.size() && text[i] != ',' && text[i] != ' ') ++i;
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != ' ') item += text[i++];
    }
    Add(item);
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] == ',') ++i;
  }
  EndUpdate();
}

bool TStrings::LoadFromFile(const std::string &path) {
  std::ifstream in(platform::ResolvePath(path.c_str()), std::ios::binary);
  if (!in) return false;
  std::stringstream buffer;
  buffer << in.rdbuf();
  SetText(buffer.str());
  return true;
}

// A new file renamed over the old one, so a failed save leaves the old whole.
bool TStrings::SaveToFile(const std::string &path) const {
  const std::string posix = platform::ResolvePath(path.c_str());
  if (posix.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return platform::WriteFileReplacing(posix, Text()) == 0;
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent *source) {
  auto *other = dynamic_cast<TStrings *>(source);
  if (!other || other == this) return;
  BeginUpdate();
  Clear();
  AddStrings(*other);
  EndUpdate();
}

// ---- TStringList ----------------------------------------------------------------------
TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  Clear();
}

static void CheckIndex(int index, int count) {
  if (index < 0 || index >= count) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string TStringList::Get(int index) const {
  CheckIndex(index, Count());
  return items_[size_t(index)].text;
}

void TStringList::Put(int index, const std::string &text) {
  CheckIndex(index, Count());
  Changing();
  items_[size_t(index)].text = text;
  Changed();
}

TObject *TStringList::GetObject(int index) const {
  CheckIndex(index, Count());
  return items_[size_t(index)].object;
}

void TStringList::PutObject(int index, TObject *object) {
  CheckIndex(index, Count());
  Changing();
  items_[size_t(index)].object = object;
  Changed();
}

void TStringList::Insert(int index, const std::string &text) {
  if (index < 0 || index > Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  Changing();
  items_.insert(items_.begin() + index, Item{text, nullptr});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  Changing();
  TObject *object = items_[size_t(index)].object;
  items_.erase(items_.begin() + index);
  if (OwnsObjects) delete object;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<Item> old;
  old.swap(items_);
  if (OwnsObjects)
    for (Item &item : old) delete item.object;
  Changed();
}

int TStringList::Compare(const std::string &a, const std::string &b) const {
  if (CaseSensitive) return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool TStringList::Find(const std::string &text, int &index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = Compare(items_[size_t(mid)].text, text);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TStringList::Add(const std::string &text) {
  if (!sorted_) return TStrings::Add(text);
  int index;
  if (Find(text, index)) {
    if (Duplicates == dupIgnore) return index;
    if (Duplicates == dupError) throw EStringListError("String list does not allow duplicates");
  }
  Changing();
  items_.insert(items_.begin() + index, Item{text, nullptr});
  Changed();
  return index;
}

int TStringList::IndexOf(const std::string &text) const {
  if (!sorted_) {
    for (int i = 0; i < Count(); ++i)
      if (Compare(items_[size_t(i)].text, text) == 0) return i;
    return -1;
  }
  int index;
  return Find(text, index) ? index : -1;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted_ == sorted) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::Sort() {
  CustomSort([](TStringList *list, int a, int b) {
    return list->Compare(list->items_[size_t(a)].text, list->items_[size_t(b)].text);
  });
}

void TStringList::CustomSort(const std::function<int(TStringList *, int, int)> &compare) {
  if (Count() < 2) return;
  Changing();
  // Sort an index permutation so that the comparison sees the list as it is.
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(items_[size_t(i)]);
  items_.swap(sorted);
  Changed();
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    if (OnChanging) OnChanging(this);
  } else if (OnChange) {
    OnChange(this);
  }
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}
