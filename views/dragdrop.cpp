#include "views/dragdrop.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/emem.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/winuser.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDropSource = {0x00000121, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDropTarget = {0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

constexpr size_t kTextBlock = 64;

bool AcceptsText(const FORMATETC *format) {
  return format->cfFormat == CF_TEXT && format->dwAspect == DVASPECT_CONTENT && (format->tymed & TYMED_HGLOBAL);
}

struct Registered {
  HWND window;
  IDropTarget *target;
};
std::vector<Registered> &Targets() {
  static std::vector<Registered> targets;
  return targets;
}

// The registered window under a screen point: the smallest visible one
// that holds it (a child before its parent).
IDropTarget *TargetAt(POINT p, HWND *window) {
  IDropTarget *best = nullptr;
  long bestArea = 0;
  for (const Registered &r : Targets()) {
    if (!IsWindow(r.window) || !IsWindowVisible(r.window)) continue;
    RECT rect;
    GetWindowRect(r.window, &rect);
    if (p.x < rect.left || p.x >= rect.right || p.y < rect.top || p.y >= rect.bottom) continue;
    const long area = long(rect.right - rect.left) * long(rect.bottom - rect.top);
    if (!best || area < bestArea) {
      best = r.target;
      bestArea = area;
      *window = r.window;
    }
  }
  return best;
}

}  // namespace

FORMATETC TextFormat() { return FORMATETC{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

void ReleaseStgMedium(STGMEDIUM *medium) {
  if (!medium) return;
  if (medium->tymed == TYMED_HGLOBAL) Free(medium->hGlobal);
  if (medium->pUnkForRelease) medium->pUnkForRelease->Release();
  medium->tymed = TYMED_NULL;
  medium->hGlobal = nullptr;
  medium->pUnkForRelease = nullptr;
}

// ---- Drop source ---------------------------------------------------------------

HRESULT CReportViewDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  if (!(keyState & MK_LBUTTON)) return DRAGDROP_S_DROP;
  return S_OK;
}

HRESULT CReportViewDropSource::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

CReportViewDropSource *&GlobalDropSource() {
  static CReportViewDropSource *source = nullptr;
  return source;
}

// ---- Data object ----------------------------------------------------------------

CDragDropStringObject::CDragDropStringObject(const char *text) {
  std::memset(m_text, 0, sizeof m_text);
  if (text) std::memcpy(m_text, text, strnlen(text, sizeof m_text - 1));
}

HRESULT CDragDropStringObject::GetData(const FORMATETC *format, STGMEDIUM *medium) {
  if (!format || !medium) return E_INVALIDARG;
  *medium = STGMEDIUM{TYMED_NULL, nullptr, nullptr};
  if (!AcceptsText(format)) return DV_E_FORMATETC;
  void *block = Malloc(int32_t(kTextBlock));
  if (!block) return E_OUTOFMEMORY;
  std::memcpy(block, m_text, kTextBlock);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  return S_OK;
}

HRESULT CDragDropStringObject::GetDataHere(const FORMATETC *format, STGMEDIUM *medium) {
  return !format || !medium ? E_INVALIDARG : E_NOTIMPL;
}

HRESULT CDragDropStringObject::QueryGetData(const FORMATETC *format) {
  if (!format) return E_INVALIDARG;
  return AcceptsText(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT CDragDropStringObject::GetCanonicalFormatEtc(const FORMATETC *in, FORMATETC *out) {
  if (!in || !out) return E_INVALIDARG;
  *out = *in;
  out->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

HRESULT CDragDropStringObject::EnumFormatEtc(DWORD, void **enumerator) {
  return enumerator ? E_NOTIMPL : E_INVALIDARG;
}

// ---- Drop target -----------------------------------------------------------------

HRESULT CReportViewDropTarget::DragEnter(IDataObject *data, DWORD, POINT, DWORD *effect) {
  if (effect) *effect = DROPEFFECT_NONE;
  const FORMATETC format = TextFormat();
  if (!data || data->QueryGetData(&format) != S_OK) return E_INVALIDARG;
  if (effect) *effect = DROPEFFECT_COPY;
  return S_OK;
}

HRESULT CReportViewDropTarget::DragOver(DWORD, POINT, DWORD *effect) {
  return effect && *effect != DROPEFFECT_NONE ? S_OK : E_INVALIDARG;
}

HRESULT CReportViewDropTarget::Drop(IDataObject *data, DWORD, POINT point, DWORD *effect) {
  if (effect) *effect = DROPEFFECT_NONE;
  if (!data) return E_INVALIDARG;
  FORMATETC format = TextFormat();
  STGMEDIUM medium;
  if (data->GetData(&format, &medium) != S_OK) return S_OK;
  // The block holds 64 bytes; the text must end inside it.
  char text[kTextBlock + 1] = {};
  std::memcpy(text, medium.hGlobal, kTextBlock);
  uint32_t number = 0;
  if (WriteHandOverFile(text, uint32_t(reinterpret_cast<uintptr_t>(medium.hGlobal)), &number))
    PostMessageA(m_window, WM_DROP_STOCKS, number, MAKELPARAM(WORD(point.x), WORD(point.y)));
  ReleaseStgMedium(&medium);
  return S_OK;
}

// ---- Registration and the drag loop ------------------------------------------------------

bool RegisterDragDrop(HWND window, IDropTarget *target) {
  if (!window || !target) return false;
  for (const Registered &r : Targets())
    if (r.window == window) return false;
  target->AddRef();
  Targets().push_back({window, target});
  return true;
}

bool RevokeDragDrop(HWND window) {
  std::vector<Registered> &targets = Targets();
  for (size_t i = 0; i < targets.size(); ++i)
    if (targets[i].window == window) {
      IDropTarget *target = targets[i].target;
      targets.erase(targets.begin() + long(i));
      target->Release();
      return true;
    }
  return false;
}

HRESULT DoDragDrop(IDataObject *data, IDropSource *source, DWORD okEffects, DWORD *effect) {
  if (!data || !source) return E_INVALIDARG;
  if (effect) *effect = DROPEFFECT_NONE;
  IDropTarget *current = nullptr;
  HWND currentWindow = nullptr;
  bool accepted = false;
  bool escape = false;
  DWORD keys = MK_LBUTTON;
  POINT point = {0, 0};
  for (;;) {
    const HRESULT go = source->QueryContinueDrag(escape, keys);
    if (go == DRAGDROP_S_CANCEL) {
      if (current && accepted) current->DragLeave();
      return DRAGDROP_S_CANCEL;
    }
    if (go == DRAGDROP_S_DROP) {
      DWORD dropped = okEffects;
      if (current && accepted) current->Drop(data, keys, point, &dropped);
      if (effect) *effect = dropped;
      return DRAGDROP_S_DROP;
    }
    MSG msg;
    if (!GetMessageA(&msg, nullptr, 0, 0)) return DRAGDROP_S_CANCEL;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      escape = true;
      continue;
    }
    if (msg.message != WM_MOUSEMOVE && msg.message != WM_LBUTTONUP) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    point = {short(LOWORD(msg.lParam)), short(HIWORD(msg.lParam))};
    if (msg.hwnd) ClientToScreen(msg.hwnd, &point);
    keys = DWORD(msg.wParam);
    if (msg.message == WM_LBUTTONUP) keys &= ~DWORD(MK_LBUTTON);
    HWND window = nullptr;
    IDropTarget *target = TargetAt(point, &window);
    DWORD over = okEffects;
    if (target != current || window != currentWindow) {
      if (current && accepted) current->DragLeave();
      current = target;
      currentWindow = window;
      accepted = current && current->DragEnter(data, keys, point, &over) == S_OK;
    } else if (current && accepted) {
      accepted = current->DragOver(keys, point, &over) == S_OK;
    }
    source->GiveFeedback(accepted ? over : DROPEFFECT_NONE);
  }
}

// ---- The hand-over file -------------------------------------------------------------------

std::string DragText(STKPTR stock) {
  const STKINFO *info = GetStockInfo(stock);
  const TMarketData *market = info ? MarketAt(stock.market) : nullptr;
  if (!market) return std::string();
  char text[kTextBlock];
  std::snprintf(text, sizeof text, "%.*s,%.*s", int(sizeof market->m_info.shortName), market->m_info.shortName,
                int(sizeof info->code), info->code);
  return text;
}

std::string HandOverFolder() {
  char folder[MAX_PATH];
  if (!GetAppDataFolder(folder)) return "c:";
  return folder;
}

std::string HandOverPath(uint32_t number) { return HandOverFolder() + "\\" + std::to_string(number) + ".txt"; }

bool WriteHandOverFile(const char *text, uint32_t start, uint32_t *number) {
  const size_t length = strnlen(text, kTextBlock);
  if (length + 1 > kTextBlock) return false;
  std::string content(text, length);
  const size_t comma = content.find(',');
  if (comma == std::string::npos) return false;
  content[comma] = '\0';
  content.push_back('\0');
  const std::string folder = HandOverFolder();
  for (uint32_t n = start;; ++n) {
    const std::string path = folder + "\\" + std::to_string(n) + ".txt";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if ((error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) && n + 1 != start) continue;
      return false;
    }
    DWORD written = 0;
    const bool whole = WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) &&
                       written == content.size();
    CloseHandle(file);
    if (!whole) return false;
    *number = n;
    return true;
  }
}

bool TakeHandOverFile(uint32_t number, STKPTR *stock) {
  const std::string path = HandOverPath(number);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[261] = {};
  DWORD got = 0;
  ReadFile(file, buffer, 260, &got, nullptr);
  CloseHandle(file);
  DeleteFileA(path.c_str());
  const size_t first = strnlen(buffer, got);
  if (first >= got) return false;
  const TMarketData *market = FindMarketByName(buffer);
  const STKINFO *info = market ? market->FindStock(buffer + first + 1) : nullptr;
  if (!info) return false;
  *stock = STKPTR(info->market, 0, info->index);
  return true;
}
