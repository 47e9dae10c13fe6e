// The request/response client of the quote service.
//
// One client lives on one TCP socket in two phases. First it works with
// blocking calls while the login dialog is up: it connects (directly,
// through a SOCKS4, SOCKS5 or HTTP proxy, or through the relay), logs in to
// the directory server and then to the data server (or to one server in
// single-login mode), and the start-up exchanges follow on the same socket.
// Then ArmAsyncEvents switches the socket to window-message notification
// and from there on everything happens on the GUI thread through the
// socket's handlers.
//
// The settings it reads: ".\SERVER.INI" [Server] NOJH, Address, Port,
// DirectIP, Port1, GC, GCPort, Network; the user folder's "SERVER.INI"
// [ProxyServer] UseProxy, GreenWay, Address, Port, UserName, Password,
// CertUser and [Server] UserName, Password. It writes [Server] dsAddr,
// dsActual and DirectIP of ".\SERVER.INI" and the grant of the directory
// login to "..\cfg\dsinfo.dat".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/esock.h"
#include "market/nclient_frames.h"
#include "market/rights.h"
#include "platform/messages.h"

class LCompressLite;
class TAnswerReader;


// Results of TNormalClnt::Connect and ConnectViaProxy.
enum : int {
  kConnectOk = 0,
  kConnectFailed = 1,   // the target (or the proxy's own connect) failed
  kConnectBroken = 2,   // a send or receive of a proxy or relay exchange failed
  kConnectRefused = 3,  // refused by the proxy or the relay
};

// Results of TNormalClnt::Login.
enum : int {
  kLoginOk = 0,
  kLoginNoDirectory = 1,   // directory server unreachable, or no usable cached grant
  kLoginNoDataServer = 2,  // data server unreachable
  kLoginNetwork = 3,       // network failure; the client's text says what
  kLoginRefused = 4,       // refused by the server; the client's text is the server's
};

// Results of TNormalClnt::LoginExchange.
enum : int { kExchangeOk = 0, kExchangeNetwork = 1, kExchangeRefused = 2 };

// Proxy kinds of [ProxyServer] UseProxy.
enum : int { kProxyNone = 0, kProxySocks5 = 1, kProxySocks4 = 2, kProxyHttp = 3 };

// What the client needs of the program around it. The main window fills
// these in when it starts; tests fill them in directly.
struct TQuoteClientHooks {
  // Receives WM_QUOTE_EVENT; none is posted while it is null.
  HWND mainWindow = nullptr;
  // Empties the request queue before each login exchange; may be null.
  void (*resetRequestQueue)() = nullptr;
  // The program's command-line arguments after the program name. "/d" and
  // an address name the data server whatever the directory grant says.
  std::vector<std::string> arguments;
  // The send and receive time-out of the blocking phase: a server that
  // takes the connection and never answers fails the login after it.
  DWORD blockingTimeoutMs = 20000;
};
TQuoteClientHooks &QuoteClientHooks();

// Kept from the last login that carried a grant: the account date as
// year x 10000 + month x 100 + day (shown to the user) and the session value
// that the push login sends back.
extern uint32_t AccountDate;
extern uint32_t LoginSessionValue;

class TNormalClnt : public ESock {
 public:
  TNormalClnt();
  // Runs OnClose, which tells the main window when the socket was open.
  ~TNormalClnt() override;

  // Connects the socket made by Create to host:port, through the proxy or
  // the relay the settings name. kConnect...; Text() says why for 2 and 3.
  int Connect(const char *host, int port);
  // The proxy handshakes (type 1 SOCKS5, 2 SOCKS4, 3 HTTP CONNECT).
  int ConnectViaProxy(const char *host, int port, int type);
  // The whole blocking login; kLogin.... Every result but 0 leaves the
  // socket closed. useCached takes the directory grant from
  // "..\cfg\dsinfo.dat" instead of asking the directory server, and in
  // single-login mode goes straight to [Server] DirectIP.
  int Login(HWND progress, bool useCached);
  // One login request and its answer. firstLogin (or single-login mode)
  // sends the directory login, else the data-server login with grant's
  // fields; a first directory login copies the answer into grant.
  int LoginExchange(bool firstLogin, DSINFO *grant);
  // Asks the directory server to change the password to the one at bytes
  // 28-39 of the record (the last byte is taken as 0). 0 accepted,
  // 1 directory server unreachable, 2 proxy or relay failure, 3 network
  // failure, 4 refused (the text holds the server's reason), 5 single-login
  // mode (no directory server to ask).
  int ChangePassword(const char *record);

  // Switches to asynchronous events (read, write, close): 1, or 0 after
  // closing the client when that fails.
  int ArmAsyncEvents();
  // Queues the keep-alive and offers the send buffer to the socket: 1, also
  // when the socket would block; 0 after closing the client when the buffer
  // is full or the socket failed.
  int SendKeepAlive();
  // Appends a whole frame to the send buffer and offers the buffer to the
  // socket: the bytes the socket took, 0 when it would block (everything
  // stays queued), -1 when the frame does not fit in the buffer or the
  // socket failed (the caller closes the client).
  int SendFrame(const void *frame, int length);

  // From another thread while the client's own is held in a blocking
  // exchange (the login dialog's worker in a table download): shuts the
  // connection down both ways, so that the exchange returns as failed. The
  // socket itself is closed on the client's own thread, as ever.
  void Interrupt();

  // Blocking phase: the next frame head (a refused head fails), then its
  // body, decoded when compressed. ReadBodyBlocking returns the plain
  // body's length, -1 on failure; Body() points at it.
  bool ReadHeaderBlocking();
  int ReadBodyBlocking();

  void OnReceive(int error) override;
  void OnSend(int error) override;
  void OnClose(int error) override;

  // The last error text or server text (GBK, NUL-terminated).
  const char *Text() const { return m_text; }
  const FRAMEHEAD &Head() const { return m_head; }
  const uint8_t *Body() const { return m_body; }
  int BodyLength() const { return m_bodyLength; }
  bool Armed() const { return m_async != 0; }
  bool DirectoryLogin() const { return m_directory != 0; }
  int QueuedBytes() const { return m_sendCount; }
  // Year, month, day, hour and minute of the shared UTC clock at login.
  const SYSTEMTIME &SessionStart() const { return m_sessionStart; }

  static constexpr int kTextSize = 256;

 private:
  void SetText(const char *text);
  void EmptyReceiveBuffer() { m_recvCount = 0; }
  // One blocking send of the whole buffer; false when the socket took less.
  bool SendAllOnce(const void *bytes, int length);
  // Offers the send buffer to the socket and drops what it took: false on a
  // hard error (not would-block).
  bool Flush();
  void Rearm();
  int RelayHandshake();
  int Socks5(const char *host, int port, bool certUser, const char *user, const char *password);
  int Socks4(const char *host, int port);
  int HttpConnect(const char *host, int port, bool certUser, const char *user, const char *password);
  // Reads the rest of a SOCKS reply whose first `have` bytes are in the
  // receive buffer, up to `total` bytes; false when the peer went away.
  bool ReceiveRest(int have, int total);
  int FailProxy(int result, const char *text);
  void TakeOverGrant(const DSINFO &grant);
  void WriteActualAddress(const uint8_t (&address)[4]);

  uint8_t m_async = 0;
  uint8_t m_directory = 1;
  FRAMEHEAD m_head{};
  int32_t m_headPending = 0;
  uint8_t m_recv[kReceiveBufferSize];
  int32_t m_recvCount = 0;
  uint8_t m_send[kSendBufferSize];
  int32_t m_sendCount = 0;
  uint8_t m_decoded[kDecodeBufferSize];
  LCompressLite *m_decoder = nullptr;
  const uint8_t *m_body = nullptr;
  int32_t m_bodyLength = 0;
  SYSTEMTIME m_sessionStart{};
  char m_text[kTextSize] = {};
  // The answers of the asynchronous phase, read as they come.
  std::unique_ptr<TAnswerReader> m_answers;
};

// The encoder of the HTTP proxy's credentials. One group: 1 to 3 input
// bytes to 4 characters, padded with '='.
void Base64EncodeGroup(const uint8_t *input, int count, char *output);
// The whole text, with CR LF after every 72 characters and a closing NUL;
// output holds capacity bytes, and a text that would not fit is cut at a
// whole group. Returns the characters written (without the NUL).
int Base64Encode(const char *text, char *output, size_t capacity);

// The login part of the main window's connect routine: deletes client and
// makes a new one, logs it in and, when that fails, sends WM_LOGIN_FAILED
// (lParam the result) to the progress window, shows the client's text
// (caption "错误") when the server refused or the network failed, and
// deletes the client. Returns the login result, with client left null on
// failure; 3 when no client could be made.
int LoginQuoteClient(TNormalClnt *&client, HWND progress, bool useCached);
