// The asynchronous socket base of the system's TCP clients. A socket is
// connected with blocking calls and then switched to notification: every
// event arrives as WM_SOCKET_NOTIFY at one hidden window, which routes it to
// the object that owns the socket, on the GUI thread.
#pragma once

#include "core/ewnd.h"
#include "platform/messages.h"
#include "platform/winsock.h"

class ESockWnd : public EWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class ESock {
 public:
  ESock();
  virtual ~ESock();
  ESock(const ESock &) = delete;
  ESock &operator=(const ESock &) = delete;

  virtual bool Accept(ESock &into, sockaddr *address, int *length);
  virtual void Close();
  virtual int Receive(void *buffer, int length, int flags);
  virtual int Send(const void *buffer, int length, int flags);
  // error is the event's Windows Sockets error, 0 when none.
  virtual void OnReceive(int error) {}
  virtual void OnSend(int error) {}
  virtual void OnOutOfBandData(int error) {}
  virtual void OnAccept(int error) {}
  virtual void OnConnect(int error) {}
  virtual void OnClose(int error) {}

  bool Create(int type, int protocol, int family);
  // Blocking; the host is a dotted address or a name.
  bool Connect(const char *host, int port);
  bool AsyncSelect(long mask);
  int GetLastError();

  static ESock *FindBySocket(SOCKET socket);
  static void DispatchEvent(SOCKET socket, LPARAM lParam);
  // The hidden window every socket of the process reports to.
  static ESockWnd *Window();

  SOCKET m_socket = INVALID_SOCKET;

  static constexpr int kMaxSockets = 64;
  static constexpr int kMaxQueuedEvents = 64;

  // Offers the bytes waiting in a client's send buffer to the socket and
  // drops what it took. False only on a hard error; a socket that would
  // block keeps every byte for the next write notice.
  bool SendQueued(uint8_t *buffer, int32_t &count);
};
