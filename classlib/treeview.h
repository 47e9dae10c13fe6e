// The tree view: nodes with texts and children, shown as indented rows with
// expand buttons, painted by our code.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/imglist.h"

class TCustomTreeView;
class TTreeNodes;

class TTreeNode {
 public:
  TTreeNode(TTreeNodes *owner, TTreeNode *parent) : owner_(owner), parent_(parent) {}
  TTreeNode(const TTreeNode &) = delete;
  TTreeNode &operator=(const TTreeNode &) = delete;

  const std::string &Text() const { return text_; }
  void SetText(const std::string &text);
  void *Data = nullptr;
  int ImageIndex = -1;
  int SelectedIndex = -1;

  TTreeNode *Parent() const { return parent_; }
  int Count() const { return int(children_.size()); }
  TTreeNode *Item(int index) const;
  bool HasChildren() const { return !children_.empty(); }
  int Index() const;  // among its siblings
  int Level() const;
  // Its place in the whole tree, depth first.
  int AbsoluteIndex() const;
  TTreeNode *GetNextSibling() const;
  TTreeNode *GetPrevSibling() const;
  TTreeNode *GetFirstChild() const { return Item(0); }

  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded);
  void Expand(bool recurse = false);
  void Collapse(bool recurse = false);
  bool Selected() const;
  void SetSelected(bool selected);
  bool IsVisible() const;  // every parent expanded
  void Delete();
  TCustomTreeView *TreeView() const;

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  TTreeNodes *owner_;
  TTreeNode *parent_;
  std::string text_;
  bool expanded_ = false;
  std::vector<std::unique_ptr<TTreeNode>> children_;
};

class TTreeNodes {
 public:
  explicit TTreeNodes(TCustomTreeView *owner) : owner_(owner) {}
  // A node after the last sibling of `sibling` (a root when null).
  TTreeNode *Add(TTreeNode *sibling, const std::string &text);
  TTreeNode *AddChild(TTreeNode *parent, const std::string &text);
  // A node before `sibling` among its siblings.
  TTreeNode *Insert(TTreeNode *sibling, const std::string &text);
  void Delete(TTreeNode *node);
  void Clear();
  // Every node, depth first.
  int Count() const;
  TTreeNode *Item(int absoluteIndex) const;
  TTreeNode *GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front().get(); }
  TCustomTreeView *Owner() const { return owner_; }
  void BeginUpdate() { ++updates_; }
  void EndUpdate();

 private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  std::vector<std::unique_ptr<TTreeNode>> &SiblingsOf(TTreeNode *parent);
  TTreeNode *InsertAt(TTreeNode *parent, size_t at, const std::string &text);
  void Changed();
  TCustomTreeView *owner_;
  std::vector<std::unique_ptr<TTreeNode>> roots_;
  int updates_ = 0;
};

using TTVChangedEvent = std::function<void(TObject *Sender, TTreeNode *Node)>;
using TTVChangingEvent = std::function<void(TObject *Sender, TTreeNode *Node, bool &AllowChange)>;

class TCustomTreeView : public TCustomControl {
 public:
  VCL_CLASS_NAME(TCustomTreeView)
  explicit TCustomTreeView(TComponent *owner);
  ~TCustomTreeView() override;

  TTreeNodes *Items() { return &nodes_; }
  // Pictures before the texts: a node's ImageIndex, or its SelectedIndex
  // while it is selected (when that is set).
  TCustomImageList *Images() const { return imagesLink_.Sender; }
  void SetImages(TCustomImageList *images);
  TTreeNode *Selected() const { return selected_; }
  // Selecting by code raises OnChanging and OnChange as the user's does.
  void SetSelected(TTreeNode *node);
  bool ShowButtons = true;
  bool ShowLines = true;
  bool ShowRoot = true;
  bool ReadOnly = true;
  bool HideSelection = true;
  bool RowSelect = false;
  int Indent = 19;
  int ItemHeight() const;
  TTreeNode *GetNodeAt(int x, int y);
  int TopIndex() const { return top_; }

  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVChangedEvent OnExpanded;
  TTVChangedEvent OnCollapsed;

 protected:
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void WMFocus(TWMFocus &msg) override;
  void WMMouseWheel(TWMMouseWheel &msg) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  LRESULT DialogCode() override;

 private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void NodesChanged();
  void NodeGoing(TTreeNode *node);  // a node (and its children) is deleted
  // The rows as shown: every node whose parents are expanded.
  std::vector<TTreeNode *> Rows() const;
  int LevelIndent(const TTreeNode *node) const;
  void EnsureVisible(TTreeNode *node);

  TTreeNodes nodes_;
  TChangeLink imagesLink_;
  TTreeNode *selected_ = nullptr;
  int top_ = 0;
};

class TTreeView : public TCustomTreeView {
 public:
  VCL_CLASS_NAME(TTreeView)
  explicit TTreeView(TComponent *owner) : TCustomTreeView(owner) {}
};
