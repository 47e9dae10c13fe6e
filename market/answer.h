// Answers of the quote service's request/response connection, once the
// client has switched to asynchronous events: the read handler cuts the byte
// stream into frames, decodes compressed bodies, writes each part of each
// answer into the local cache and the market table, tells the main window
// (and, for rankings, the asking view) with a message, and retires the
// request the answer belongs to.
//
// Answers come in the order of the requests, so an answer belongs to the
// oldest request in flight. Where its body names what it is about (the
// instrument, the bar base, the date, the news or notes sub-kind, the
// channel, the offset of an information text) that must agree with the
// request; an answer that does not (typically the late answer to a request
// that timed out) is dropped whole: nothing written, nothing posted and no
// request retired. Bars that agree with no request given up on are no late
// answer but the server's answer to the oldest request, about another
// instrument or base: nothing is written or posted, but its last part
// retires the request. Answers that only make sense for their request (a news
// or note text, a ranking, a code-table piece, an information text, a
// password confirmation) are dropped as well when no such request is in
// flight; self-describing answers (bars, ticks, trends, ...) that arrive
// without a request are written but retire nothing.
//
// The push client's messages (WM_MF_EVENT, WM_NEWS_ARRIVED) and its event
// slots are declared with it (market/realclient.h). GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "market/nclient_frames.h"
#include "platform/messages.h"
#include "platform/windef.h"

class TNormalClnt;

// ---- Messages ---------------------------------------------------------------
// Numbers are fixed. WM_QUOTE_EVENT (2527) is declared with the request client.


constexpr int kCodeTableMore = 1;
constexpr int kCodeTableDone = 2;

constexpr WPARAM StockDataParam(int command, int low) {
  return WPARAM((uint32_t(command) & 0xFFFF) << 16 | (uint32_t(low) & 0xFFFF));
}

// What a sent WM_STOCK_DATA of command 31 points at: the instrument and the
// day whose trend arrived (or that the server has no trend for).
struct TRENDDAYNOTE {
  uint32_t stock;  // packed STKPTR
  uint32_t date;   // PackedDateTime, hour and minute clear
};

// ---- What the answers need of the main window --------------------------------
// The main window (QuoteClientHooks().mainWindow) receives the messages;
// these reach what it keeps. Empty functions mean "nothing there".
struct TAnswerHooks {
  // The main window's temporary folder, ending in a separator, where
  // rankings are staged as "sortdata.tmp" and handed over as "%s%d.tmp".
  // Empty: the system's temporary folder.
  char tempFolder[240] = {};
  // The window of the newest view of the page whose request tag is this.
  std::function<HWND(uint32_t tag)> viewByTag;
  // The quote report with this tag repaints its fast-change column.
  std::function<void(uint32_t tag)> redrawFastChange;
  // Every notes view showing the note with this body file name reloads it.
  std::function<void(const char *key)> reloadNote;
};
TAnswerHooks &AnswerHooks();

// ---- Reading and dispatch ------------------------------------------------------

// The reader of one request connection: the bytes of a frame not yet whole,
// the answer in progress (a staged file, a news id, an information text's
// write counter) and the bars collected for one merge. Each request client
// owns one; tests and benchmarks may feed one directly.
class TAnswerReader {
 public:
  TAnswerReader();
  // Forgets what is in progress (a staged file is deleted).
  ~TAnswerReader();
  TAnswerReader(const TAnswerReader &) = delete;
  TAnswerReader &operator=(const TAnswerReader &) = delete;

  // The read handler of the request client (its OnReceive): receives until
  // the socket would block, then asks for read events again; handles every
  // complete frame. A full buffer, an invalid head, a body that does not
  // decode, an unknown answer command or a socket error closes the client
  // (OnClose). text (textSize bytes, NUL-terminated) is the client's text:
  // server texts of class 20 and up and the password confirmation go there.
  // A socket other than the one before starts afresh.
  void Read(TNormalClnt &client, int error, char *text, size_t textSize);

  // Handles one complete frame with a plain body: 0 handled (also an answer
  // dropped as not belonging to the request in flight, a body too short for
  // its layout, and an empty body), -1 an unknown command (a protocol error:
  // the caller closes the connection).
  int Dispatch(const FRAMEHEAD &head, const uint8_t *body, int length, char *text, size_t textSize);

  // Forgets a half-read stream and any answer in progress (bars collected
  // for one merge, staged files): a new login starts from nothing.
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

// The text of the password-change confirmation (command 30).
extern const char kPasswordChangedText[];
