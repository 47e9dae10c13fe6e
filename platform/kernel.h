// Threads, critical sections, events and waits.
#pragma once

#include <pthread.h>

#include <functional>

#include "platform/handles.h"
#include "platform/windef.h"

// A recursive lock used by value, like the original; initialise before use.
struct CRITICAL_SECTION {
  pthread_mutex_t mutex;
};
typedef CRITICAL_SECTION *LPCRITICAL_SECTION;

void InitializeCriticalSection(CRITICAL_SECTION *cs);
void DeleteCriticalSection(CRITICAL_SECTION *cs);
void EnterCriticalSection(CRITICAL_SECTION *cs);
void LeaveCriticalSection(CRITICAL_SECTION *cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION *cs);

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 4;

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

// Events are process-local; a name is accepted and ignored.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds);

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD *threadId);
// The C runtime's thread start, with its own calling shape.
uintptr_t _beginthreadex(void *security, unsigned stackSize, unsigned (*start)(void *), void *argument,
                         unsigned flags, unsigned *threadId);
BOOL ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD *exitCode);
// A running thread can't be killed safely here; the call fails and the
// thread runs on (callers treat the failure as "could not end it").
BOOL TerminateThread(HANDLE thread, DWORD exitCode);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

namespace platform {

// True on the thread that runs the Qt application (the GUI thread).
bool IsGuiThread();
// Blocks for ms milliseconds of real time; meanwhile the calling thread
// keeps serving messages that other threads send it, so a worker's
// SendMessage never deadlocks against a waiting GUI thread.
void SleepServingSends(DWORD ms);
// Runs work on the GUI thread and waits for it, the way a sent message does:
// the GUI thread takes it inside its loop, its modal loops and its waits.
// Runs it at once on the GUI thread itself; returns false (not run) when
// there is no GUI thread.
bool RunOnGuiThread(const std::function<void()> &work);

}  // namespace platform
