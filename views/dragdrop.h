// Drag and drop of instruments. A drag carries one short text, the market's
// short name and the code ("%s,%s"), offered by a data object in one format
// (text in a global block). A drop target doesn't read the text itself: it
// writes it to a numbered hand-over file in the application-data folder and
// posts WM_DROP_STOCKS to its window; the view then takes the file (reads,
// looks the instrument up, deletes it). Other programs hand instruments over
// the same way.
//
// The objects follow the shape of the OLE drag-and-drop interfaces (a
// reference count that starts at 1, QueryInterface for their own interface
// only); DoDragDrop runs the drag as a loop over the window layer's
// messages, finding the target under the mouse among the registered windows.
#pragma once

#include <cstdint>
#include <string>

#include "market/marketrecords.h"
#include "platform/windef.h"

typedef int32_t HRESULT;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = int32_t(0x80004001u);
constexpr HRESULT E_NOINTERFACE = int32_t(0x80004002u);
constexpr HRESULT E_UNEXPECTED = int32_t(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = int32_t(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = int32_t(0x80070057u);
constexpr HRESULT DV_E_FORMATETC = int32_t(0x80040064u);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = int32_t(0x80040003u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;

constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr WORD CF_TEXT = 1;
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;

struct GUID {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
  bool operator==(const GUID &) const = default;
};
typedef GUID IID;
extern const IID IID_IUnknown;
extern const IID IID_IDropSource;
extern const IID IID_IDataObject;
extern const IID IID_IDropTarget;

struct FORMATETC {
  WORD cfFormat;
  void *ptd;
  DWORD dwAspect;
  LONG lindex;
  DWORD tymed;
};

class IUnknown;
// A global block: the bytes and their size. Allocated by the data object,
// freed by the receiver with ReleaseStgMedium.
struct STGMEDIUM {
  DWORD tymed;
  void *hGlobal;
  IUnknown *pUnkForRelease;
};
void ReleaseStgMedium(STGMEDIUM *medium);

// The one format of both sides: text in a global block.
FORMATETC TextFormat();

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID &iid, void **object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

class IDropSource : public IUnknown {
 public:
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
  virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

class IDataObject : public IUnknown {
 public:
  virtual HRESULT GetData(const FORMATETC *format, STGMEDIUM *medium) = 0;
  virtual HRESULT GetDataHere(const FORMATETC *format, STGMEDIUM *medium) = 0;
  virtual HRESULT QueryGetData(const FORMATETC *format) = 0;
  virtual HRESULT GetCanonicalFormatEtc(const FORMATETC *in, FORMATETC *out) = 0;
  virtual HRESULT SetData(const FORMATETC *format, STGMEDIUM *medium, BOOL release) = 0;
  virtual HRESULT EnumFormatEtc(DWORD direction, void **enumerator) = 0;
  virtual HRESULT DAdvise(const FORMATETC *format, DWORD flags, void *sink, DWORD *connection) = 0;
  virtual HRESULT DUnadvise(DWORD connection) = 0;
  virtual HRESULT EnumDAdvise(void **enumerator) = 0;
};

class IDropTarget : public IUnknown {
 public:
  virtual HRESULT DragEnter(IDataObject *data, DWORD keyState, POINT point, DWORD *effect) = 0;
  virtual HRESULT DragOver(DWORD keyState, POINT point, DWORD *effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT Drop(IDataObject *data, DWORD keyState, POINT point, DWORD *effect) = 0;
};

// A reference count that starts at 1; Release deletes at 0 or below.
template <class Interface>
class TRefCounted : public Interface {
 public:
  uint32_t AddRef() override { return uint32_t(++m_refs); }
  uint32_t Release() override {
    const int32_t left = --m_refs;
    if (left <= 0) delete this;
    return uint32_t(left > 0 ? left : 0);
  }

 protected:
  HRESULT Answer(const IID &own, const IID &iid, void **object) {
    if (!object) return E_INVALIDARG;
    if (iid == own || iid == IID_IUnknown) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  int32_t m_refs = 1;
};

class CReportViewDropSource : public TRefCounted<IDropSource> {
 public:
  HRESULT QueryInterface(const IID &iid, void **object) override { return Answer(IID_IDropSource, iid, object); }
  HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT GiveFeedback(DWORD effect) override;
};

class CDragDropStringObject : public TRefCounted<IDataObject> {
 public:
  explicit CDragDropStringObject(const char *text);
  HRESULT QueryInterface(const IID &iid, void **object) override { return Answer(IID_IDataObject, iid, object); }
  HRESULT GetData(const FORMATETC *format, STGMEDIUM *medium) override;
  HRESULT GetDataHere(const FORMATETC *format, STGMEDIUM *medium) override;
  HRESULT QueryGetData(const FORMATETC *format) override;
  HRESULT GetCanonicalFormatEtc(const FORMATETC *in, FORMATETC *out) override;
  HRESULT SetData(const FORMATETC *, STGMEDIUM *, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD direction, void **enumerator) override;
  HRESULT DAdvise(const FORMATETC *, DWORD, void *, DWORD *) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(void **) override { return OLE_E_ADVISENOTSUPPORTED; }

  char m_text[64];
};

class CReportViewDropTarget : public TRefCounted<IDropTarget> {
 public:
  explicit CReportViewDropTarget(HWND window) : m_window(window) {}
  HRESULT QueryInterface(const IID &iid, void **object) override { return Answer(IID_IDropTarget, iid, object); }
  HRESULT DragEnter(IDataObject *data, DWORD keyState, POINT point, DWORD *effect) override;
  HRESULT DragOver(DWORD keyState, POINT point, DWORD *effect) override;
  HRESULT DragLeave() override { return S_OK; }
  HRESULT Drop(IDataObject *data, DWORD keyState, POINT point, DWORD *effect) override;

  HWND m_window;
};

// The program's one drop source (made by the program entry, released at the end).
CReportViewDropSource *&GlobalDropSource();

// Registers a window as a drop target (the registry holds a reference);
// RevokeDragDrop lets it go. False for a null window or target, or a window
// that has one.
bool RegisterDragDrop(HWND window, IDropTarget *target);
bool RevokeDragDrop(HWND window);
// Runs a drag until the source says drop or cancel: the loop serves the
// messages, follows the mouse over the registered windows (screen
// coordinates) and treats Esc as cancel. DRAGDROP_S_DROP or
// DRAGDROP_S_CANCEL.
HRESULT DoDragDrop(IDataObject *data, IDropSource *source, DWORD okEffects, DWORD *effect);

// ---- The hand-over file ------------------------------------------------------------

// "%s,%s" of the instrument's market short name and code; empty when the
// instrument is unknown.
std::string DragText(STKPTR stock);
// The folder of hand-over files: the application-data folder (created when
// missing), "c:" when there is none.
std::string HandOverFolder();
std::string HandOverPath(uint32_t number);
// Writes the text (at most 63 characters, with a comma) as the file of the
// first free number from start on: the text with its first comma made a
// NUL, and its NUL. False (and nothing written) for a text that is too long
// or has no comma, or when a file can't be made; true with the number when
// the whole text was written.
bool WriteHandOverFile(const char *text, uint32_t start, uint32_t *number);
// Reads the file of the number (at most 260 bytes) and deletes it in every
// case; the instrument it names, false when it names none.
bool TakeHandOverFile(uint32_t number, STKPTR *stock);
