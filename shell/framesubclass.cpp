#include "shell/framesubclass.h"

#include <cstring>
#include <map>

#include "classlib/richview.h"
#include "core/xplistview.h"
#include "platform/gdi.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/winctrl.h"
#include "platform/winuser.h"

namespace {

// The procedures replaced, by window (GUI thread only).
std::map<HWND, WNDPROC> &SubclassSaved() {
  static std::map<HWND, WNDPROC> saved;
  return saved;
}

LRESULT SubclassPassOn(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto &saved = SubclassSaved();
  const auto found = saved.find(hwnd);
  if (found == saved.end()) return DefWindowProcA(hwnd, message, wParam, lParam);
  const WNDPROC previous = found->second;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, LONG_PTR(previous));
    saved.erase(found);
  }
  return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

void SubclassInstall(HWND hwnd, WNDPROC proc) {
  if (!hwnd || SubclassSaved().count(hwnd)) return;
  SubclassSaved()[hwnd] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, LONG_PTR(proc)));
}

LRESULT ListHeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    TXPListView::OnHeaderPaint(hwnd, dc);
    EndPaint(hwnd, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) {
    TXPListView::OnHeaderEraseBkgnd(hwnd, reinterpret_cast<HDC>(wParam));
    return 1;
  }
  return SubclassPassOn(hwnd, message, wParam, lParam);
}

// Only the first character tells whether the edit is empty.
bool ContractEditEmpty(HWND hwnd) {
  char first[2] = {};
  GetWindowTextA(hwnd, first, sizeof first);
  return first[0] == 0;
}

void ContractPlaceholder(HWND hwnd, HDC dc) {
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
  SetTextColor(dc, kContractPlaceholderColour);
  const int mode = SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 0, 0, kContractPlaceholder, int(std::strlen(kContractPlaceholder)));
  SetBkMode(dc, mode);
  SelectObject(dc, old);
}

void ContractErase(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  SendMessageA(hwnd, WM_ERASEBKGND, WPARAM(dc), 0);
  ReleaseDC(hwnd, dc);
}

LRESULT ContractEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (ContractEditEmpty(hwnd)) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        ContractPlaceholder(hwnd, dc);
        EndPaint(hwnd, &paint);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      if (ContractEditEmpty(hwnd)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        GetClientRect(hwnd, &client);
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        ContractPlaceholder(hwnd, dc);
        return 1;
      }
      break;
    case WM_KEYUP:
      if ((wParam == VK_DELETE || wParam == VK_BACK) && ContractEditEmpty(hwnd)) ContractErase(hwnd);
      break;
    default: break;
  }
  const LRESULT result = SubclassPassOn(hwnd, message, wParam, lParam);
  bool empty = false;
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS || message == EM_REPLACESEL)
    empty = ContractEditEmpty(hwnd);
  else if (message == WM_SETTEXT)
    empty = !lParam || reinterpret_cast<const char *>(lParam)[0] == 0;
  if (empty && IsWindow(hwnd)) ContractErase(hwnd);
  return result;
}

// A link of the notice page's text: a left click opens it in the browser.
LRESULT TradeNoticeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto *header = reinterpret_cast<const NMHDR *>(lParam);
  if (message != WM_NOTIFY || !header || header->code != EN_LINK)
    return SubclassPassOn(hwnd, message, wParam, lParam);
  const auto *link = reinterpret_cast<const ENLINK *>(lParam);
  if (link->msg != WM_LBUTTONDOWN) return 0;
  // An open range (to the end of the text) or a reversed one has no length
  // the buffer can be checked against: no address is read from it.
  if (link->chrg.cpMin < 0 || link->chrg.cpMax < link->chrg.cpMin) return 1;
  if (link->chrg.cpMax - link->chrg.cpMin >= 512) {
    MessageBoxA(hwnd, "链接地址太长。  ", "错误", MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    return 1;
  }
  char address[512] = {};
  TEXTRANGEA range{link->chrg, address};
  SendMessageA(header->hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  address[sizeof address - 1] = 0;
  if (intptr_t(ShellExecuteA(hwnd, "open", "IEXPLORE.EXE", address, nullptr, SW_SHOWNORMAL)) <= 32 &&
      intptr_t(ShellExecuteA(hwnd, "open", address, nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
    MessageBoxA(hwnd, "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
  return 1;
}

}  // namespace

void InstallListHeaderProc(HWND header) { SubclassInstall(header, ListHeaderProc); }

void InstallContractEditProc(HWND edit) { SubclassInstall(edit, ContractEditProc); }

void InstallTradeNoticeProc(HWND panel) { SubclassInstall(panel, TradeNoticeProc); }
