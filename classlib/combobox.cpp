#include "classlib/combobox.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/gdi.h"

namespace {
constexpr int kButtonWidth = 17;
constexpr int kEdge = 2;
constexpr WORD kKeyF4 = VK_F1 + 3;
}  // namespace

// The list that drops down: a pop-up window owned by the combo box. It
// follows the mouse while it is open and hands the item under a release
// back to the box; a press outside it closes it.
class TComboPopupList : public TCustomListBox {
 public:
  explicit TComboPopupList(TCustomComboBox *combo) : TCustomListBox(combo), combo_(combo) {
    TabStop = false;
    SetVisible(false);
  }

 protected:
  void CreateParams(TCreateParams &params) override {
    TCustomListBox::CreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    params.WndParent = combo_->Handle();
  }
  void SelectionChangedByUser() override {}  // the box decides on release
  void WMFocus(TWMFocus &msg) override {
    // The keyboard stays with the box while its list is open.
    if (msg.Msg == WM_SETFOCUS && !Destroying()) combo_->SetFocus();
    DefaultHandler(*msg.Raw);
  }
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
    if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) {
      combo_->SetDroppedDown(false);
      return;
    }
    TCustomListBox::MouseDown(button, shift, x, y);
  }
  void MouseMove(TShiftState shift, int x, int y) override {
    int index = ItemAtPos(Point(x, y), true);
    if (index >= 0 && index != ItemIndex()) SetItemIndex(index);
  }
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
    if (button != mbLeft) return;
    int index = ItemAtPos(Point(x, y), true);
    if (index < 0) return;
    combo_->SetDroppedDown(false);
    combo_->UserSelect(index);
  }

 private:
  TCustomComboBox *combo_;
};

// The text field of a drop-down combo box: an edit without an edge of its
// own, inside the box's edge.
class TComboEdit : public TEdit {
 public:
  explicit TComboEdit(TComponent *owner) : TEdit(owner) {}

 protected:
  void CreateParams(TCreateParams &params) override {
    TEdit::CreateParams(params);
    params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
  }
};

TCustomComboBox::TCustomComboBox(TComponent *owner)
    : TCustomControl(owner), items_(std::make_unique<TListStrings>(this)) {
  TabStop = true;
  clickOnRelease_ = false;
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
  list_ = new TComboPopupList(this);
  SetStyle(csDropDown);
}

TCustomComboBox::~TCustomComboBox() { BeginDestroy(); }

void TCustomComboBox::SetStyle(TComboBoxStyle style) {
  style_ = style;
  bool wantEdit = style == csDropDown || style == csSimple;
  if (wantEdit && !edit_) {
    edit_ = new TComboEdit(this);
    edit_->SetParent(this);
    edit_->OnChange = [this](TObject *) {
      if (settingText_) return;
      itemIndex_ = -1;
      Change();
    };
    edit_->OnKeyDown = [this](TObject *, WORD &key, TShiftState shift) { EditKeyDown(key, shift); };
    edit_->OnKeyPress = [this](TObject *, char &key) { KeyPress(key); };
    edit_->OnEnter = [this](TObject *) { DoEnter(); };
    edit_->OnExit = [this](TObject *) {
      if (DroppedDown() && GetFocus() != list_->Handle()) SetDroppedDown(false);
      DoExit();
    };
    LayoutEdit();
  } else if (!wantEdit && edit_) {
    delete edit_;
    edit_ = nullptr;
  }
  Invalidate();
}

// Inside the client area: a combo box with a border of its window has
// less room than its size.
TRect TCustomComboBox::ButtonRect() const {
  const int w = ClientWidth(), h = ClientHeight();
  return Rect(w - kEdge - kButtonWidth, kEdge, w - kEdge, h - kEdge);
}

TRect TCustomComboBox::TextRect() const {
  const int w = ClientWidth(), h = ClientHeight();
  return Rect(kEdge + 1, kEdge + 1, w - kEdge - kButtonWidth - 1, h - kEdge - 1);
}

void TCustomComboBox::LayoutEdit() {
  if (!edit_) return;
  TRect r = TextRect();
  edit_->SetBounds(r.Left, r.Top, std::max(r.Width(), 0), std::max(r.Height(), 0));
}

void TCustomComboBox::CreateHandle() {
  TCustomControl::CreateHandle();
  LayoutEdit();
}

void TCustomComboBox::WMSize(TWMSize &msg) {
  LayoutEdit();
  TCustomControl::WMSize(msg);
}

void TCustomComboBox::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TCustomComboBox::SetFocus() {
  if (edit_)
    edit_->SetFocus();
  else
    TCustomControl::SetFocus();
}

void TCustomComboBox::WMFocus(TWMFocus &msg) {
  if (edit_) {
    // The edit inside holds the focus and tells it for the box.
    if (msg.Msg == WM_SETFOCUS) edit_->SetFocus();
    DefaultHandler(*msg.Raw);
    return;
  }
  if (msg.Msg == WM_KILLFOCUS && DroppedDown() && msg.FocusedWnd != list_->Handle()) SetDroppedDown(false);
  Invalidate();
  TCustomControl::WMFocus(msg);
}

LRESULT TCustomComboBox::DialogCode() { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

std::string TCustomComboBox::GetText() const {
  if (edit_) return edit_->Text();
  return itemIndex_ >= 0 && itemIndex_ < items_->Count() ? items_->Get(itemIndex_) : std::string();
}

void TCustomComboBox::SetText(const std::string &text) { ApplyText(text); }

void TCustomComboBox::TextChanged() {
  if (!HandleAllocated() && !text_.empty()) {
    std::string text = std::move(text_);
    text_.clear();
    ApplyText(text);
  }
}

void TCustomComboBox::ApplyText(const std::string &text) {
  int match = items_->IndexOf(text);
  if (edit_) {
    settingText_ = true;
    edit_->SetText(text);
    settingText_ = false;
    itemIndex_ = match;
  } else if (match >= 0) {
    itemIndex_ = match;
  }
  Invalidate();
}

void TCustomComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_->Count()) index = -1;
  itemIndex_ = index;
  if (edit_) {
    settingText_ = true;
    edit_->SetText(index >= 0 ? items_->Get(index) : std::string());
    settingText_ = false;
  }
  Invalidate();
}

void TCustomComboBox::Clear() {
  items_->Clear();
  SetItemIndex(-1);
}

void TCustomComboBox::ItemsChanged(int insertedAt, int deletedAt) {
  itemIndex_ = FollowIndex(itemIndex_, insertedAt, deletedAt);
  if (!Destroying()) Invalidate();
}

void TCustomComboBox::Change() {
  if (OnChange && !Destroying()) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect && !Destroying()) OnSelect(this);
}

void TCustomComboBox::DropDown() {
  if (OnDropDown && !Destroying()) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp && !Destroying()) OnCloseUp(this);
}

void TCustomComboBox::UserSelect(int index) {
  if (index < 0 || index >= items_->Count()) return;
  SetItemIndex(index);
  if (edit_) edit_->SelectAll();
  Click();
  Select();
  Change();
}

bool TCustomComboBox::DroppedDown() const { return list_ && list_->HandleAllocated() && list_->Visible(); }

void TCustomComboBox::SetDroppedDown(bool dropped) {
  if (dropped == DroppedDown() || !list_) return;
  if (dropped) {
    DropDown();  // the handler may still fill the items
    if (items_->Count() == 0) return;
    list_->Items()->Assign(items_.get());
    list_->SetItemHeight(itemHeight_);
    list_->Font()->Assign(Font());
    int rows = std::clamp(items_->Count(), 1, std::max(DropDownCount, 1));
    TPoint corner = ClientToScreen(Point(0, height_));
    list_->SetBounds(corner.x, corner.y, width_, rows * itemHeight_ + 2);
    list_->SetItemIndex(itemIndex_);
    list_->HandleNeeded();
    list_->SetVisible(true);
    SetCapture(list_->Handle());
  } else {
    if (GetCapture() == list_->Handle()) ReleaseCapture();
    list_->SetVisible(false);
    CloseUp();
  }
  Invalidate();
}

void TCustomComboBox::EditKeyDown(WORD &key, TShiftState shift) {
  KeyDown(key, shift);
}

void TCustomComboBox::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);  // OnKeyDown may take the key
  if (!key) return;
  bool dropped = DroppedDown();
  if (key == kKeyF4 || ((key == VK_DOWN || key == VK_UP) && shift.Contains(ssAlt))) {
    SetDroppedDown(!dropped);
    key = 0;
    return;
  }
  if (dropped) {
    int at = list_->ItemIndex();
    switch (key) {
      case VK_UP: list_->SetItemIndex(std::max(at - 1, 0)); break;
      case VK_DOWN: list_->SetItemIndex(std::min(at + 1, items_->Count() - 1)); break;
      case VK_RETURN:
        SetDroppedDown(false);
        if (at >= 0) UserSelect(at);
        break;
      case VK_ESCAPE: SetDroppedDown(false); break;
      default: return;
    }
    key = 0;
    return;
  }
  int count = items_->Count();
  if (count == 0) return;
  int at = itemIndex_;
  switch (key) {
    case VK_UP: at = std::max(at - 1, 0); break;
    case VK_DOWN: at = std::min(at + 1, count - 1); break;
    case VK_PRIOR: at = std::max(at - std::max(DropDownCount - 1, 1), 0); break;
    case VK_NEXT: at = std::min(std::max(at, 0) + std::max(DropDownCount - 1, 1), count - 1); break;
    case VK_HOME:
      if (edit_) return;  // the edit moves its caret
      at = 0;
      break;
    case VK_END:
      if (edit_) return;
      at = count - 1;
      break;
    default: return;
  }
  key = 0;
  if (at != itemIndex_) UserSelect(at);
}

void TCustomComboBox::KeyPress(char &key) {
  TCustomControl::KeyPress(key);
  if (!key || edit_) return;
  // A drop-down list jumps to the next item that starts with the character.
  unsigned char c = static_cast<unsigned char>(key);
  if (c < 0x20 || c >= 0x80) return;
  int count = items_->Count();
  for (int step = 1; step <= count; ++step) {
    int i = (std::max(itemIndex_, -1) + step) % count;
    std::string text = items_->Get(i);
    if (!text.empty() && std::tolower(static_cast<unsigned char>(text[0])) == std::tolower(c)) {
      if (i != itemIndex_) UserSelect(i);
      break;
    }
  }
}

void TCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (CanFocus()) SetFocus();
    bool onButton = ButtonRect().Contains(Point(x, y));
    if (onButton || !edit_) SetDroppedDown(!DroppedDown());
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomComboBox::Paint() {
  TCanvas *canvas = Canvas();
  const int w = ClientWidth(), h = ClientHeight();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(Rect(0, 0, w, h));
  // The sunken edge: dark above and left, light below and right.
  auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
    canvas->Pen()->SetColor(color);
    canvas->MoveTo(x1, y1);
    canvas->LineTo(x2, y2);
  };
  line(clBtnShadow, 0, h - 1, 0, 0);
  line(clBtnShadow, 0, 0, w, 0);
  line(cl3DDkShadow, 1, h - 2, 1, 1);
  line(cl3DDkShadow, 1, 1, w - 1, 1);
  line(clBtnHighlight, 0, h - 1, w, h - 1);
  line(clBtnHighlight, w - 1, 0, w - 1, h);
  line(cl3DLight, 1, h - 2, w - 1, h - 2);
  line(cl3DLight, w - 2, 1, w - 2, h - 1);
  // The drop button with its arrow.
  TRect b = ButtonRect();
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(b);
  line(clBtnHighlight, b.Left, b.Bottom - 1, b.Left, b.Top);
  line(clBtnHighlight, b.Left, b.Top, b.Right, b.Top);
  line(clBtnShadow, b.Left, b.Bottom - 1, b.Right - 1, b.Bottom - 1);
  line(clBtnShadow, b.Right - 1, b.Top, b.Right - 1, b.Bottom);
  int cx = b.Left + b.Width() / 2, cy = b.Top + b.Height() / 2 - 1;
  for (int k = 0; k < 4; ++k) line(Enabled() ? clBtnText : clGrayText, cx - 3 + k, cy + k, cx + 4 - k, cy + k);
  if (edit_) return;
  // A drop-down list shows its selected item.
  TRect text = TextRect();
  bool focused = HandleAllocated() && Focused() && !DroppedDown();
  if (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) {
    if (OnDrawItem && itemIndex_ >= 0 && !Destroying()) {
      canvas->Font()->Assign(Font());
      canvas->Brush()->SetColor(focused ? clHighlight : Color());
      if (focused) canvas->Font()->SetColor(clHighlightText);
      TOwnerDrawState state = odComboBoxEdit | (focused ? odSelected | odFocused : 0);
      OnDrawItem(this, itemIndex_, text, state);
    }
    return;
  }
  canvas->Font()->Assign(Font());
  if (focused) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->FillRect(text);
    canvas->Font()->SetColor(clHighlightText);
  }
  if (itemIndex_ >= 0) {
    TRect inner = Rect(text.Left + 2, text.Top, text.Right, text.Bottom);
    canvas->Brush()->SetStyle(bsClear);
    canvas->DrawText(items_->Get(itemIndex_), inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    canvas->Brush()->SetStyle(bsSolid);
  }
  if (focused) canvas->DrawFocusRect(text);
}

void TCustomComboBox::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_SETTEXT:
      ApplyText(m.LParam ? reinterpret_cast<const char *>(m.LParam) : "");
      m.Result = TRUE;
      return;
    case CB_GETCOUNT: m.Result = items_->Count(); return;
    case CB_GETCURSEL: m.Result = itemIndex_; return;
    case CB_SETCURSEL:
      SetItemIndex(int(intptr_t(m.WParam)));
      m.Result = itemIndex_ >= 0 ? itemIndex_ : CB_ERR;
      return;
    case CB_GETLBTEXTLEN: {
      int index = int(intptr_t(m.WParam));
      m.Result = index >= 0 && index < items_->Count() ? LRESULT(items_->Get(index).size()) : CB_ERR;
      return;
    }
    case CB_GETLBTEXT: {
      int index = int(intptr_t(m.WParam));
      auto *buffer = reinterpret_cast<char *>(m.LParam);
      if (index < 0 || index >= items_->Count() || !buffer) {
        m.Result = CB_ERR;
        return;
      }
      std::string text = items_->Get(index);
      std::memcpy(buffer, text.c_str(), text.size() + 1);
      m.Result = LRESULT(text.size());
      return;
    }
    case CB_ADDSTRING:
      m.Result = m.LParam ? items_->Add(reinterpret_cast<const char *>(m.LParam)) : CB_ERR;
      return;
    case CB_RESETCONTENT:
      Clear();
      m.Result = 0;
      return;
    case CB_FINDSTRINGEXACT:
      m.Result = m.LParam ? items_->IndexOf(reinterpret_cast<const char *>(m.LParam)) : CB_ERR;
      return;
    case CB_SETEDITSEL: {
      // Low word the start, high word the end, each -1 for "none" or "to
      // the end"; a box without an edit has no selection to set.
      if (!edit_ || !edit_->HandleAllocated()) {
        m.Result = CB_ERR;
        return;
      }
      const int start = int(short(LOWORD(DWORD(m.LParam)))), end = int(short(HIWORD(DWORD(m.LParam))));
      SendMessageA(edit_->Handle(), EM_SETSEL, WPARAM(intptr_t(start)), LPARAM(end));
      m.Result = TRUE;
      return;
    }
    case CB_GETEDITSEL:
      m.Result = edit_ && edit_->HandleAllocated() ? SendMessageA(edit_->Handle(), EM_GETSEL, m.WParam, m.LParam) : CB_ERR;
      return;
    case CB_SHOWDROPDOWN:
      SetDroppedDown(m.WParam != 0);
      m.Result = TRUE;
      return;
    case CB_GETDROPPEDSTATE: m.Result = DroppedDown(); return;
    case CB_GETCOMBOBOXINFO: {
      auto *info = reinterpret_cast<COMBOBOXINFO *>(m.LParam);
      if (!info || info->cbSize < sizeof(COMBOBOXINFO)) {
        m.Result = FALSE;
        return;
      }
      info->rcItem = TextRect();
      info->rcButton = ButtonRect();
      info->stateButton = DroppedDown() ? STATE_SYSTEM_PRESSED : 0;
      info->hwndCombo = Handle();
      info->hwndItem = edit_ ? edit_->Handle() : Handle();
      info->hwndList = list_ ? list_->Handle() : nullptr;
      m.Result = TRUE;
      return;
    }
    default: break;
  }
  TCustomControl::WndProc(m);
}
