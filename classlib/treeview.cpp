#include "classlib/treeview.h"

#include <algorithm>
#include <functional>

#include "platform/gdi.h"

// ---- nodes ------------------------------------------------------------------------------
void TTreeNode::SetText(const std::string &text) {
  text_ = text;
  owner_->Changed();
}

TTreeNode *TTreeNode::Item(int index) const {
  return index >= 0 && index < Count() ? children_[size_t(index)].get() : nullptr;
}

int TTreeNode::Index() const {
  auto &siblings = owner_->SiblingsOf(parent_);
  for (size_t i = 0; i < siblings.size(); ++i)
    if (siblings[i].get() == this) return int(i);
  return -1;
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode *p = parent_; p; p = p->parent_) ++level;
  return level;
}

int TTreeNode::AbsoluteIndex() const {
  int at = 0;
  bool found = false;
  std::function<void(const std::vector<std::unique_ptr<TTreeNode>> &)> walk = [&](auto &nodes) {
    for (auto &node : nodes) {
      if (found) return;
      if (node.get() == this) {
        found = true;
        return;
      }
      ++at;
      walk(node->children_);
    }
  };
  walk(owner_->roots_);
  return found ? at : -1;
}

TTreeNode *TTreeNode::GetNextSibling() const {
  auto &siblings = owner_->SiblingsOf(parent_);
  int i = Index();
  return i >= 0 && size_t(i + 1) < siblings.size() ? siblings[size_t(i + 1)].get() : nullptr;
}

TTreeNode *TTreeNode::GetPrevSibling() const {
  auto &siblings = owner_->SiblingsOf(parent_);
  int i = Index();
  return i > 0 ? siblings[size_t(i - 1)].get() : nullptr;
}

void TTreeNode::SetExpanded(bool expanded) {
  if (expanded == expanded_) return;
  expanded_ = expanded;
  TCustomTreeView *view = TreeView();
  if (view && !expanded && view->selected_) {
    // A selection inside the collapsed branch moves up to this node.
    for (TTreeNode *p = view->selected_->parent_; p; p = p->parent_)
      if (p == this) {
        view->SetSelected(this);
        break;
      }
  }
  owner_->Changed();
  if (view && !view->Destroying()) {
    if (expanded && view->OnExpanded) view->OnExpanded(view, this);
    if (!expanded && view->OnCollapsed) view->OnCollapsed(view, this);
  }
}

void TTreeNode::Expand(bool recurse) {
  SetExpanded(true);
  if (recurse)
    for (auto &child : children_) child->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
  if (recurse)
    for (auto &child : children_) child->Collapse(true);
  SetExpanded(false);
}

bool TTreeNode::Selected() const { return TreeView() && TreeView()->Selected() == this; }

void TTreeNode::SetSelected(bool selected) {
  TCustomTreeView *view = TreeView();
  if (!view) return;
  if (selected)
    view->SetSelected(this);
  else if (view->Selected() == this)
    view->SetSelected(nullptr);
}

bool TTreeNode::IsVisible() const {
  for (TTreeNode *p = parent_; p; p = p->parent_)
    if (!p->expanded_) return false;
  return true;
}

void TTreeNode::Delete() { owner_->Delete(this); }

TCustomTreeView *TTreeNode::TreeView() const { return owner_->Owner(); }

std::vector<std::unique_ptr<TTreeNode>> &TTreeNodes::SiblingsOf(TTreeNode *parent) {
  return parent ? parent->children_ : roots_;
}

TTreeNode *TTreeNodes::InsertAt(TTreeNode *parent, size_t at, const std::string &text) {
  auto &siblings = SiblingsOf(parent);
  at = std::min(at, siblings.size());
  siblings.insert(siblings.begin() + long(at), std::make_unique<TTreeNode>(this, parent));
  TTreeNode *node = siblings[at].get();
  node->text_ = text;
  Changed();
  return node;
}

TTreeNode *TTreeNodes::Add(TTreeNode *sibling, const std::string &text) {
  TTreeNode *parent = sibling ? sibling->parent_ : nullptr;
  return InsertAt(parent, SiblingsOf(parent).size(), text);
}

TTreeNode *TTreeNodes::AddChild(TTreeNode *parent, const std::string &text) {
  return InsertAt(parent, SiblingsOf(parent).size(), text);
}

TTreeNode *TTreeNodes::Insert(TTreeNode *sibling, const std::string &text) {
  if (!sibling) return Add(nullptr, text);
  return InsertAt(sibling->parent_, size_t(std::max(sibling->Index(), 0)), text);
}

void TTreeNodes::Delete(TTreeNode *node) {
  if (!node || node->owner_ != this) return;
  if (owner_) owner_->NodeGoing(node);
  auto &siblings = SiblingsOf(node->parent_);
  int index = node->Index();
  if (index >= 0) siblings.erase(siblings.begin() + index);
  Changed();
}

void TTreeNodes::Clear() {
  if (owner_) owner_->NodeGoing(nullptr);
  roots_.clear();
  Changed();
}

int TTreeNodes::Count() const {
  std::function<int(const std::vector<std::unique_ptr<TTreeNode>> &)> count = [&](auto &nodes) {
    int n = 0;
    for (auto &node : nodes) n += 1 + count(node->children_);
    return n;
  };
  return count(roots_);
}

TTreeNode *TTreeNodes::Item(int absoluteIndex) const {
  if (absoluteIndex < 0) return nullptr;
  int at = 0;
  TTreeNode *found = nullptr;
  std::function<void(const std::vector<std::unique_ptr<TTreeNode>> &)> walk = [&](auto &nodes) {
    for (auto &node : nodes) {
      if (found) return;
      if (at++ == absoluteIndex) {
        found = node.get();
        return;
      }
      walk(node->children_);
    }
  };
  walk(roots_);
  return found;
}

void TTreeNodes::EndUpdate() {
  if (updates_ > 0 && --updates_ == 0) Changed();
}

void TTreeNodes::Changed() {
  if (updates_ == 0 && owner_) owner_->NodesChanged();
}

// ---- the tree view ------------------------------------------------------------------------
TCustomTreeView::TCustomTreeView(TComponent *owner) : TCustomControl(owner), nodes_(this) {
  imagesLink_.OnChange = [this](TObject *) {
    if (!Destroying()) Invalidate();
  };
  TabStop = true;
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
}

TCustomTreeView::~TCustomTreeView() {
  BeginDestroy();
  SetImages(nullptr);
  selected_ = nullptr;
  nodes_.roots_.clear();
}

void TCustomTreeView::SetImages(TCustomImageList *images) {
  if (images == imagesLink_.Sender) return;
  if (imagesLink_.Sender) imagesLink_.Sender->UnRegisterChanges(&imagesLink_);
  if (images) images->RegisterChanges(&imagesLink_);
  if (!Destroying()) Invalidate();
}

int TCustomTreeView::ItemHeight() const {
  int height = std::max(std::abs(const_cast<TCustomTreeView *>(this)->Font()->Height()) + 4, 16);
  return Images() ? std::max(height, Images()->Height() + 2) : height;
}

void TCustomTreeView::NodesChanged() {
  if (Destroying()) return;
  top_ = std::clamp(top_, 0, std::max(int(Rows().size()) - 1, 0));
  Invalidate();
}

void TCustomTreeView::NodeGoing(TTreeNode *node) {
  if (!selected_) return;
  if (!node) {
    selected_ = nullptr;
    return;
  }
  for (TTreeNode *p = selected_; p; p = p->parent_)
    if (p == node) {
      selected_ = nullptr;
      if (OnChange && !Destroying()) OnChange(this, nullptr);
      return;
    }
}

std::vector<TTreeNode *> TCustomTreeView::Rows() const {
  std::vector<TTreeNode *> rows;
  std::function<void(const std::vector<std::unique_ptr<TTreeNode>> &)> walk = [&](auto &nodes) {
    for (auto &node : nodes) {
      rows.push_back(node.get());
      if (node->expanded_) walk(node->children_);
    }
  };
  walk(nodes_.roots_);
  return rows;
}

int TCustomTreeView::LevelIndent(const TTreeNode *node) const {
  return (node->Level() + (ShowRoot ? 1 : 0)) * Indent;
}

void TCustomTreeView::SetSelected(TTreeNode *node) {
  if (node == selected_) return;
  bool allow = true;
  if (OnChanging && !Destroying()) OnChanging(this, node, allow);
  if (!allow) return;
  // A node inside a collapsed branch is shown first.
  if (node)
    for (TTreeNode *p = node->parent_; p; p = p->parent_) p->expanded_ = true;
  selected_ = node;
  if (node) EnsureVisible(node);
  Invalidate();
  if (OnChange && !Destroying()) OnChange(this, node);
}

void TCustomTreeView::EnsureVisible(TTreeNode *node) {
  auto rows = Rows();
  auto it = std::find(rows.begin(), rows.end(), node);
  if (it == rows.end()) return;
  int index = int(it - rows.begin());
  int visible = std::max(ClientHeight() / ItemHeight(), 1);
  if (index < top_) top_ = index;
  if (index >= top_ + visible) top_ = index - visible + 1;
}

TTreeNode *TCustomTreeView::GetNodeAt(int x, int y) {
  if (y < 0 || x < 0) return nullptr;
  auto rows = Rows();
  int index = top_ + y / ItemHeight();
  return index < int(rows.size()) ? rows[size_t(index)] : nullptr;
}

void TCustomTreeView::Paint() {
  TCanvas *canvas = Canvas();
  const int w = ClientWidth(), h = ClientHeight(), ih = ItemHeight();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(Rect(0, 0, w, h));
  auto rows = Rows();
  bool focused = HandleAllocated() && Focused();
  for (int i = top_, y = 0; i < int(rows.size()) && y < h; ++i, y += ih) {
    TTreeNode *node = rows[size_t(i)];
    int x = LevelIndent(node);
    int cy = y + ih / 2;
    if (ShowButtons && node->HasChildren() && (ShowRoot || node->parent_)) {
      // A 9 x 9 box with a minus, and a plus when collapsed.
      int bx = x - Indent / 2 - 4, by = cy - 4;
      canvas->Brush()->SetColor(Color());
      canvas->FillRect(Bounds(bx, by, 9, 9));
      canvas->Brush()->SetColor(clGray);
      canvas->FrameRect(Bounds(bx, by, 9, 9));
      canvas->Pen()->SetColor(clWindowText);
      canvas->MoveTo(bx + 2, cy);
      canvas->LineTo(bx + 7, cy);
      if (!node->expanded_) {
        canvas->MoveTo(bx + 4, by + 2);
        canvas->LineTo(bx + 4, by + 7);
      }
    }
    if (TCustomImageList *images = Images()) {
      int index = node == selected_ && node->SelectedIndex >= 0 ? node->SelectedIndex : node->ImageIndex;
      if (index >= 0 && index < images->Count())
        images->Draw(canvas, x + 1, y + (ih - images->Height()) / 2, index, Enabled());
      x += images->Width() + 2;
    }
    canvas->Font()->Assign(Font());
    TRect text = Rect(x + 2, y, w, y + ih);
    int textWidth = canvas->TextWidth(node->text_) + 4;
    TRect mark = RowSelect ? Rect(0, y, w, y + ih) : Rect(x, y, x + textWidth, y + ih);
    bool selected = node == selected_ && (focused || !HideSelection);
    if (selected) {
      canvas->Brush()->SetColor(focused ? clHighlight : clBtnFace);
      canvas->FillRect(mark);
      if (focused) canvas->Font()->SetColor(clHighlightText);
    }
    canvas->Brush()->SetStyle(bsClear);
    canvas->DrawText(node->text_, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    canvas->Brush()->SetStyle(bsSolid);
    if (node == selected_ && focused) canvas->DrawFocusRect(mark);
  }
}

void TCustomTreeView::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TCustomTreeView::WMFocus(TWMFocus &msg) {
  Invalidate();
  TCustomControl::WMFocus(msg);
}

void TCustomTreeView::WMMouseWheel(TWMMouseWheel &msg) {
  int rows = int(Rows().size());
  top_ = std::clamp(top_ - msg.WheelDelta / WHEEL_DELTA * 3, 0, std::max(rows - 1, 0));
  Invalidate();
  msg.Result = 1;
}

LRESULT TCustomTreeView::DialogCode() { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TCustomTreeView::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (!key) return;
  auto rows = Rows();
  if (rows.empty()) return;
  auto it = std::find(rows.begin(), rows.end(), selected_);
  int at = it == rows.end() ? -1 : int(it - rows.begin());
  int page = std::max(ClientHeight() / ItemHeight() - 1, 1);
  TTreeNode *target = nullptr;
  switch (key) {
    case VK_UP: target = rows[size_t(std::max(at - 1, 0))]; break;
    case VK_DOWN: target = rows[size_t(std::min(at + 1, int(rows.size()) - 1))]; break;
    case VK_PRIOR: target = rows[size_t(std::max(at - page, 0))]; break;
    case VK_NEXT: target = rows[size_t(std::min(std::max(at, 0) + page, int(rows.size()) - 1))]; break;
    case VK_HOME: target = rows.front(); break;
    case VK_END: target = rows.back(); break;
    case VK_LEFT:
      if (selected_ && selected_->expanded_ && selected_->HasChildren())
        selected_->Collapse();
      else if (selected_ && selected_->parent_)
        target = selected_->parent_;
      break;
    case VK_RIGHT:
      if (selected_ && selected_->HasChildren()) {
        if (!selected_->expanded_)
          selected_->Expand();
        else
          target = selected_->GetFirstChild();
      }
      break;
    default: return;
  }
  if (target) SetSelected(target);
}

void TCustomTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft || button == mbRight) {
    if (CanFocus() && !Focused()) SetFocus();
    if (TTreeNode *node = GetNodeAt(x, y)) {
      int indent = LevelIndent(node);
      bool onButton = ShowButtons && node->HasChildren() && x >= indent - Indent && x < indent;
      if (onButton && button == mbLeft)
        node->SetExpanded(!node->expanded_);
      else
        SetSelected(node);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomTreeView::DblClick() {
  TCustomControl::DblClick();
  if (selected_ && selected_->HasChildren() && !Destroying()) selected_->SetExpanded(!selected_->expanded_);
}
