// The one queue in front of the request client. Everything the terminal
// asks of the request/response server after login goes through it: it keeps
// at most two requests in flight, drops duplicates, lets a newer request of
// an asker replace its older one that has not gone out yet, gives up on a
// request unanswered for 20 seconds, and matches each answer to the oldest
// request in flight (the server answers in order).
//
// The ring holds 256 REQUESTRECs. Slots are used in ring order:
//   history   answered (or given up) requests, kept until their slots are
//             reused, so that a builder can ask whether the same download
//             has just finished;
//   in flight sent, unanswered, oldest first;
//   queued    not sent yet.
// A ranking request (kind 26) owns its code list: the queue frees it with
// delete[] when the request is sent, dropped or replaced.
//
// Process-wide, GUI thread only, no locks; nothing is allocated.
#pragma once

#include <cstdint>

#include "market/nclient_frames.h"

class TNormalClnt;

constexpr int kRequestRingSize = 256;
constexpr int kMaxRequestsInFlight = 2;
constexpr uint32_t kRequestTimeoutMs = 20000;
// A tick or trend download answered less than this long ago is not asked
// again.
constexpr uint32_t kRecentAnswerMs = 1000;

// The request client the queue sends through. Null, or a client whose
// socket is closed, counts every request as sent: it then times out.
void SetQueueClient(TNormalClnt *client);
TNormalClnt *QueueClient();

// Sends one request through the client: encodes it (with the inputs it takes
// from the settings), appends the frame to the client's send buffer and
// offers it to the socket. The bytes the socket took, 0 when it would block
// (the bytes wait), -1 when the request can't be encoded, the send buffer
// has no room or the socket failed.
int SendRequest(TNormalClnt &client, const REQUESTREC &request);

// Queues one request: kinds that are not queued are ignored; timed-out
// requests leave the flight first; a full queue, a duplicate and a request
// whose frame could never be sent (longer than the client's send buffer)
// are dropped; then requests are sent while fewer than two are in flight.
// The queue owns request.codes from here on, whatever happens.
void EnqueueRequest(const REQUESTREC &request);
// Sends queued requests while fewer than two are in flight.
void PumpRequests();
// Retires the oldest request in flight when the answer's command (the head
// of its last part) completes it; a server text (command 2) completes any.
// A server text for a news list while the news index loads its list ends
// the loading (WM_STOCK_DATA 15 posted); one for a trend day tells the main
// window that the day has no data (WM_STOCK_DATA 31 sent). Returns 1 when a
// list of newer news of type 0 completed (ask for the next page), else 0.
int CompleteRequest(const FRAMEHEAD &head);
// Empties the queue (the code lists of ranking requests are freed); the
// request client does so before each login exchange.
void ResetRequestQueue();

// Whether the same download is queued, in flight or (ticks and trend)
// answered less than kRecentAnswerMs ago. Codes compare without regard to
// case.
int IsTickRequestPending(const char *code, int market);
int IsTrendRequestPending(const char *code, int market);
int IsRecentTradesRequestPending(const char *code, int market);
int IsBarRequestPending(const char *code, int market, int base);

// The first request in flight of kind 26: its answer mode (0 a file for a
// view, 1 change values), with its tag and value3; -1 when there is none.
int FindPendingSortRequest(uint32_t *tag, uint32_t *value3);
// The news id of the first news-text request in flight, 0 when none.
uint32_t FindPendingNewsId();
// The note key of the first note request in flight (NUL-terminated in the
// 16 bytes); false when there is none.
bool FindPendingNoteKey(char (&key)[16]);

// The oldest request in flight, or null: the one the next answer belongs to.
const REQUESTREC *OldestRequestInFlight();
// The requests given up on (unanswered for 20 s) that the history still
// holds, the most recent first (i from 0); null past the last. Their late
// answers may still come.
const REQUESTREC *GivenUpRequest(int i);
int RequestsInFlight();
int RequestsQueued();
