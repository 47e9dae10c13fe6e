// Edits and memos over the "EDIT" window.
#include "classlib/stdctrls.h"

#include <algorithm>

#include "classlib/classes.h"

TCustomEdit::TCustomEdit(TComponent *owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  TabStop = true;
  SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams &p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "EDIT");
  p.Style |= ES_AUTOHSCROLL;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  if (readOnly_) p.Style |= ES_READONLY;
  if (passwordChar_) p.Style |= ES_PASSWORD;
  if (NumbersOnly) p.Style |= ES_NUMBER;
  if (CharCase == ecUpperCase) p.Style |= ES_UPPERCASE;
  if (CharCase == ecLowerCase) p.Style |= ES_LOWERCASE;
  if (!HideSelection) p.Style |= ES_NOHIDESEL;
}

void TCustomEdit::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_CREATE:
      TWinControl::WndProc(m);
      SendMessageA(Handle(), EM_LIMITTEXT, WPARAM(maxLength_), 0);
      return;
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE) Change();
      m.Result = 0;
      return;
    default: TWinControl::WndProc(m);
  }
}

void TCustomEdit::Change() {
  if (OnChange && !Destroying()) OnChange(this);
}

void TCustomEdit::DoEnter() {
  if (AutoSelect && HandleAllocated() && !(GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE)) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::SetMaxLength(int length) {
  maxLength_ = std::max(length, 0);
  if (HandleAllocated()) SendMessageA(Handle(), EM_LIMITTEXT, WPARAM(maxLength_), 0);
}

void TCustomEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, value, 0);
}

void TCustomEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETPASSWORDCHAR, WPARAM(BYTE(c)), 0);
}

int TCustomEdit::SelStart() {
  DWORD start = 0, end = 0;
  if (Handle()) SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return int(start);
}

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  if (Handle()) SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return int(end - start);
}

void TCustomEdit::SetSelStart(int start) {
  if (Handle()) SendMessageA(Handle(), EM_SETSEL, WPARAM(start), start);
}

void TCustomEdit::SetSelLength(int length) {
  int start = SelStart();
  if (Handle()) SendMessageA(Handle(), EM_SETSEL, WPARAM(start), start + length);
}

std::string TCustomEdit::SelText() {
  std::string text = GetText();
  int start = std::clamp(SelStart(), 0, int(text.size()));
  int length = std::clamp(SelLength(), 0, int(text.size()) - start);
  return text.substr(size_t(start), size_t(length));
}

void TCustomEdit::SetSelText(const std::string &text) {
  if (Handle()) SendMessageA(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TCustomEdit::SelectAll() {
  if (Handle()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::ClearSelection() {
  if (Handle()) SendMessageA(Handle(), WM_CLEAR, 0, 0);
}

void TCustomEdit::CopyToClipboard() {
  if (Handle()) SendMessageA(Handle(), WM_COPY, 0, 0);
}

void TCustomEdit::CutToClipboard() {
  if (Handle()) SendMessageA(Handle(), WM_CUT, 0, 0);
}

void TCustomEdit::PasteFromClipboard() {
  if (Handle()) SendMessageA(Handle(), WM_PASTE, 0, 0);
}

bool TCustomEdit::Modified() { return Handle() && SendMessageA(Handle(), EM_GETMODIFY, 0, 0) != 0; }

void TCustomEdit::SetModified(bool value) {
  if (Handle()) SendMessageA(Handle(), EM_SETMODIFY, value, 0);
}

// ---- memos -----------------------------------------------------------------------------------
// The memo's text seen as lines; every change rewrites the control's text.
class TMemoLines : public TStrings {
 public:
  explicit TMemoLines(TCustomMemo *memo) : memo_(memo) {}
  int Count() const override { return int(Split().size()); }
  std::string Get(int index) const override {
    auto lines = Split();
    if (index < 0 || size_t(index) >= lines.size()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    return lines[size_t(index)];
  }
  void Put(int index, const std::string &text) override {
    auto lines = Split();
    if (index < 0 || size_t(index) >= lines.size()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    lines[size_t(index)] = text;
    Join(lines);
  }
  void Insert(int index, const std::string &text) override {
    auto lines = Split();
    if (index < 0 || size_t(index) > lines.size()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    lines.insert(lines.begin() + index, text);
    Join(lines);
  }
  void Delete(int index) override {
    auto lines = Split();
    if (index < 0 || size_t(index) >= lines.size()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    lines.erase(lines.begin() + index);
    Join(lines);
  }
  void Clear() override { memo_->SetText(std::string()); }

 private:
  std::vector<std::string> Split() const {
    std::vector<std::string> lines;
    std::string text = memo_->Text();
    if (text.empty()) return lines;
    size_t start = 0;
    while (true) {
      size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        if (start < text.size()) lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }
  void Join(const std::vector<std::string> &lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) text += "\r\n";
      text += lines[i];
    }
    memo_->SetText(text);
  }
  TCustomMemo *memo_;
};

TCustomMemo::TCustomMemo(TComponent *owner) : TCustomEdit(owner), lines_(std::make_unique<TMemoLines>(this)) {
  SetBounds(0, 0, 185, 89);
  AutoSelect = false;
}

TCustomMemo::~TCustomMemo() { BeginDestroy(); }

TStrings *TCustomMemo::Lines() { return lines_.get(); }

void TCustomMemo::CreateParams(TCreateParams &p) {
  TCustomEdit::CreateParams(p);
  p.Style &= ~DWORD(ES_AUTOHSCROLL);
  p.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (WantReturns) p.Style |= ES_WANTRETURN;
  if (!WordWrap || ScrollBars == ssHorizontal || ScrollBars == ssBoth) p.Style |= ES_AUTOHSCROLL;
  if (ScrollBars == ssVertical || ScrollBars == ssBoth) p.Style |= WS_VSCROLL;
  if (ScrollBars == ssHorizontal || ScrollBars == ssBoth) p.Style |= WS_HSCROLL;
}

LRESULT TCustomMemo::DialogCode() {
  LRESULT code = TCustomEdit::DialogCode();
  if (!WantTabs) code &= ~LRESULT(DLGC_WANTTAB);
  if (!WantReturns) code &= ~LRESULT(DLGC_WANTALLKEYS);
  return code;
}
