#include "core/esock.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/msgbox.h"

namespace {

ESockWnd *g_window = nullptr;
bool g_windowTried = false;
ESock *g_sockets[ESock::kMaxSockets];
int g_socketCount = 0;

struct QueuedEvent {
  WPARAM socket;
  LPARAM lParam;
};
QueuedEvent g_queue[ESock::kMaxQueuedEvents];
int g_queued = 0;
// Sockets whose handler is running: their next events wait for it to return.
SOCKET g_busy[ESock::kMaxQueuedEvents];
int g_busyCount = 0;

bool IsBusy(SOCKET s) { return std::find(g_busy, g_busy + g_busyCount, s) != g_busy + g_busyCount; }

bool AddToTable(ESock *socket) {
  if (g_socketCount >= ESock::kMaxSockets) return false;
  g_sockets[g_socketCount++] = socket;
  return true;
}

void RemoveFromTable(ESock *socket) {
  auto end = g_sockets + g_socketCount;
  auto it = std::find(g_sockets, end, socket);
  if (it == end) return;
  std::copy(it + 1, end, it);
  --g_socketCount;
}

}  // namespace

// Each queued event is taken off the queue before its handler runs, so a
// handler that runs a nested message loop (a message box) can't see it
// dispatched a second time; and a socket's handler is never entered again
// while it runs: its later events wait in the queue until it returns.
LRESULT ESockWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SOCKET_NOTIFY) return EWnd::WindowProc(message, wParam, lParam);
  if (g_queued < ESock::kMaxQueuedEvents) g_queue[g_queued++] = QueuedEvent{wParam, lParam};
  for (;;) {
    int next = 0;
    while (next < g_queued && IsBusy(SOCKET(g_queue[next].socket))) ++next;
    if (next == g_queued) break;
    QueuedEvent event = g_queue[next];
    std::copy(g_queue + next + 1, g_queue + g_queued, g_queue + next);
    --g_queued;
    SOCKET s = SOCKET(event.socket);
    g_busy[g_busyCount++] = s;
    ESock::DispatchEvent(s, event.lParam);
    auto end = g_busy + g_busyCount;
    auto it = std::find(g_busy, end, s);
    if (it != end) {
      std::copy(it + 1, end, it);
      --g_busyCount;
    }
  }
  return 0;
}

ESockWnd *ESock::Window() { return g_window; }

ESock::ESock() {
  if (g_window || g_windowTried) return;
  g_windowTried = true;
  auto *window = new ESockWnd;
  if (window->Create(0, 0, 0, 0, 0, 0, nullptr)) {
    g_window = window;
    return;
  }
  MessageBoxA(nullptr, "网络窗口初始化失败。  ", "错误", MB_TOPMOST | MB_ICONERROR);
  delete window;
}

ESock::~ESock() {
  if (m_socket != INVALID_SOCKET) ESock::Close();
}

bool ESock::Create(int type, int protocol, int family) {
  if (!g_window || g_socketCount >= kMaxSockets) return false;
  SOCKET s = ws::socket(family, type, protocol);
  if (s == INVALID_SOCKET && ws::WSAGetLastError() == WSANOTINITIALISED) {
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    s = ws::socket(family, type, protocol);
  }
  if (s == INVALID_SOCKET) return false;
  m_socket = s;
  AddToTable(this);
  return true;
}

bool ESock::Connect(const char *host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = host ? inet_addr(host) : INADDR_NONE;
  if (address.sin_addr.s_addr == INADDR_NONE) {
    hostent *found = nullptr;
    for (int attempt = 0; attempt < 3 && !found; ++attempt) {
      found = host ? ws::gethostbyname(host) : nullptr;
      if (!found && attempt < 2) Sleep(500);
    }
    if (!found || !found->h_addr_list[0]) {
      ws::WSASetLastError(WSAEINVAL);
      return false;
    }
    std::memcpy(&address.sin_addr, found->h_addr_list[0], sizeof address.sin_addr);
  }
  address.sin_port = htons(uint16_t(port));
  return ws::connect(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
}

bool ESock::AsyncSelect(long mask) {
  if (!g_window) return false;
  return ws::WSAAsyncSelect(m_socket, g_window->m_hWnd, WM_SOCKET_NOTIFY, mask) == 0;
}

void ESock::Close() {
  if (m_socket == INVALID_SOCKET) return;
  RemoveFromTable(this);
  ws::closesocket(m_socket);
  m_socket = INVALID_SOCKET;
}

bool ESock::Accept(ESock &into, sockaddr *address, int *length) {
  SOCKET s = ws::accept(m_socket, address, length);
  if (s == INVALID_SOCKET) {
    SetLastError(DWORD(ws::WSAGetLastError()));
    return false;
  }
  if (into.m_socket != INVALID_SOCKET) into.Close();
  if (!AddToTable(&into)) {
    // No room to route its events: refuse it rather than hold a deaf socket.
    ws::closesocket(s);
    ws::WSASetLastError(WSAEMFILE);
    SetLastError(WSAEMFILE);
    return false;
  }
  into.m_socket = s;
  return true;
}

int ESock::Receive(void *buffer, int length, int flags) {
  return ws::recv(m_socket, static_cast<char *>(buffer), length, flags);
}

int ESock::Send(const void *buffer, int length, int flags) {
  return ws::send(m_socket, static_cast<const char *>(buffer), length, flags);
}

int ESock::GetLastError() { return ws::WSAGetLastError(); }

bool ESock::SendQueued(uint8_t *buffer, int32_t &count) {
  if (count <= 0) return true;
  const int taken = Send(buffer, count, 0);
  if (taken < 0) return GetLastError() == WSAEWOULDBLOCK;
  std::memmove(buffer, buffer + taken, size_t(count - taken));
  count -= taken;
  return true;
}

ESock *ESock::FindBySocket(SOCKET socket) {
  for (int i = 0; i < g_socketCount; ++i)
    if (g_sockets[i]->m_socket == socket) return g_sockets[i];
  return nullptr;
}

void ESock::DispatchEvent(SOCKET socket, LPARAM lParam) {
  if (socket == 0 && lParam == 0) return;
  ESock *owner = FindBySocket(socket);
  if (!owner) return;  // closed after the event was posted
  int event = WSAGETSELECTEVENT(lParam);
  int error = WSAGETSELECTERROR(lParam);
  switch (event) {
    case FD_READ: {
      unsigned long available = 0;
      if (ws::ioctlsocket(socket, FIONREAD, &available) != 0) error = ws::WSAGetLastError();
      if (available != 0 || error != 0) owner->OnReceive(error);
      break;
    }
    case FD_WRITE: owner->OnSend(error); break;
    case FD_OOB: owner->OnOutOfBandData(error); break;
    case FD_ACCEPT: owner->OnAccept(error); break;
    case FD_CONNECT: owner->OnConnect(error); break;
    case FD_CLOSE: owner->OnClose(error); break;
    default: break;
  }
}
