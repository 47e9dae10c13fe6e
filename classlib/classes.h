// The class library's root classes: objects with a class name, components
// that own other components, events, and lists of strings.
// Text is GBK bytes throughout, as everywhere inside the system.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"

// Every class of the library names itself; a class declares its name with
// this macro (ClassName() of a derived class that declares none is its base's).
#define VCL_CLASS_NAME(name) \
  const char *ClassName() const override { return #name; }

class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char *ClassName() const { return "TObject"; }
  bool ClassNameIs(const char *name) const;
};

// Events hold any callable; an empty one is "not assigned".
using TNotifyEvent = std::function<void(TObject *Sender)>;

class TPersistent : public TObject {
 public:
  VCL_CLASS_NAME(TPersistent)
  // Copies the state of another object of a compatible class; the default
  // does nothing.
  virtual void Assign(TPersistent *source) {}
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2, csDesigning = 4 };

// A component is owned by another one and freed with it.
class TComponent : public TPersistent {
 public:
  VCL_CLASS_NAME(TComponent)
  explicit TComponent(TComponent *owner);
  ~TComponent() override;
  TComponent(const TComponent &) = delete;
  TComponent &operator=(const TComponent &) = delete;

  TComponent *Owner() const { return owner_; }
  int ComponentCount() const { return int(components_.size()); }
  TComponent *Components(int index) const;
  TComponent *FindComponent(const std::string &name) const;
  void InsertComponent(TComponent *component);
  void RemoveComponent(TComponent *component);
  // Frees every owned component, last first.
  void DestroyComponents();

  std::string Name;
  intptr_t Tag = 0;
  unsigned ComponentState() const { return state_; }
  bool Destroying() const { return (state_ & csDestroying) != 0; }

  // Asks this component to tell `other` when it is freed (Notification with
  // opRemove), for references that are not ownership.
  void FreeNotification(TComponent *other);
  void RemoveFreeNotification(TComponent *other);

 protected:
  // Told when a component this one watches goes away.
  virtual void Notification(TComponent *component, TOperation operation) {}
  // Marks the component as being destroyed; derived destructors call it
  // first so events stay quiet while the parts go.
  void BeginDestroy() { state_ |= csDestroying; }

 private:
  TComponent *owner_ = nullptr;
  std::vector<TComponent *> components_;
  std::vector<TComponent *> notifies_;
  unsigned state_ = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// An ordered list of strings, each with an optional object. The list
// controls give their items as TStrings of their own.
class TStrings : public TPersistent {
 public:
  VCL_CLASS_NAME(TStrings)

  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string &text);
  virtual TObject *GetObject(int index) const { return nullptr; }
  virtual void PutObject(int index, TObject *object) {}
  virtual void Insert(int index, const std::string &text) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  virtual int Add(const std::string &text);
  int AddObject(const std::string &text, TObject *object);
  void InsertObject(int index, const std::string &text, TObject *object);
  void AddStrings(const TStrings &other);
  virtual int IndexOf(const std::string &text) const;
  int IndexOfName(const std::string &name) const;
  int IndexOfObject(const TObject *object) const;
  void Move(int from, int to);
  void Exchange(int a, int b);

  std::string operator[](int index) const { return Get(index); }
  std::string Strings(int index) const { return Get(index); }
  TObject *Objects(int index) const { return GetObject(index); }

  // "name=value" lines.
  std::string Names(int index) const;
  std::string Values(const std::string &name) const;
  void SetValue(const std::string &name, const std::string &value);

  // All lines joined with CR LF (each line ends with it); setting splits
  // at CR LF, LF or CR.
  std::string Text() const;
  void SetText(const std::string &text);
  // Comma-separated, quoting items that hold blanks, commas or quotes.
  std::string CommaText() const;
  void SetCommaText(const std::string &text);

  // Windows-form paths, resolved as every file call does; a save writes a
  // new file and renames it over the old one.
  bool LoadFromFile(const std::string &path);
  bool SaveToFile(const std::string &path) const;

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(TPersistent *source) override;

 protected:
  // Called around a change while no update is open.
  virtual void SetUpdateState(bool updating) {}

 private:
  int updateCount_ = 0;
};

class TStringList : public TStrings {
 public:
  VCL_CLASS_NAME(TStringList)
  TStringList() = default;
  ~TStringList() override;
  TStringList(const TStringList &) = delete;
  TStringList &operator=(const TStringList &) = delete;

  int Count() const override { return int(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string &text) override;
  TObject *GetObject(int index) const override;
  void PutObject(int index, TObject *object) override;
  void Insert(int index, const std::string &text) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string &text) override;
  int IndexOf(const std::string &text) const override;

  // A sorted list keeps its order on Add and finds by binary search; the
  // comparison is byte-wise, case-insensitive for ASCII letters unless
  // CaseSensitive is set.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool CaseSensitive = false;
  TDuplicates Duplicates = dupIgnore;
  // The objects are freed with the list (and when deleted) when set.
  bool OwnsObjects = false;
  bool Find(const std::string &text, int &index) const;
  void Sort();
  void CustomSort(const std::function<int(TStringList *, int, int)> &compare);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  void Changing();
  void Changed();

 private:
  struct Item {
    std::string text;
    TObject *object = nullptr;
  };
  int Compare(const std::string &a, const std::string &b) const;
  std::vector<Item> items_;
  bool sorted_ = false;
};

// Raised by the list for an index out of range, as the class library's
// list error; the system catches it with its exception guards.
class EStringListError : public std::exception {
 public:
  explicit EStringListError(std::string message) : message_(std::move(message)) {}
  const char *what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};
