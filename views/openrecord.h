// Opening an instrument from a view: the record goes to the main window in
// WM_MF_EVENT (event 0). The message carries a ticket, not the record's
// address: the record waits here by value, so the view that opened it may
// be gone (a back step queued ahead of the message) when the main window
// reads it, and a second opening never overwrites the first.
#pragma once

#include "platform/windef.h"
#include "views/viewattr.h"

// Keeps a copy of the record and posts its ticket to the main window. False
// (the copy and its hand-over list dropped) when there is no main window or
// the post fails.
bool PostOpenRecord(const VIEW_ATTR_13 &record);
// Keeps a copy of the record and returns its ticket. At most
// kOpenRecordsKept wait at once: the oldest unread one goes first, with its
// hand-over list.
LPARAM KeepOpenRecord(const VIEW_ATTR_13 &record);
// Takes the record of a ticket out; false for a ticket that is unknown,
// already taken or dropped.
bool TakeOpenRecord(LPARAM ticket, VIEW_ATTR_13 *record);

constexpr int kOpenRecordsKept = 32;
