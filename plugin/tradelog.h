// The daily trade log of the account, written through the optional logger
// library "kvlogger.dll". Without the library, or without an open file,
// writing does nothing.
#pragma once

#include <cstdint>

namespace tb {

struct LoggerApi {
  int (*GetDllVersion)();
  // A handle is the library's 32-bit value, 0 for none.
  int (*Open)(const char *path, int mode, uint32_t *handle);
  int (*Close)(uint32_t handle);
  const char *(*GetErrorMsg)(int code);
  int (*Log)(uint32_t handle, int code, const char *text, int a, int b);
  int (*Logs)(uint32_t handle, int code, const char *const *texts, int count, int a, int b);
};

// Binds the library anew: found loaded or loadable by name, version 1, all
// five entry points. False (logging off) otherwise.
bool BindLogger();
// Puts an entry-point table in place of the library's (tests); null turns
// logging off.
void SetLoggerApi(const LoggerApi *api);
// Closes an open file, then opens path; false when no file could be opened.
bool OpenTradeLog(const char *path);
void CloseTradeLog();
bool TradeLogOpen();

// One record with the code and text; one record with two texts in order.
void LogText(int code, const char *text);
void LogTextPair(int code, const char *first, const char *second);

}  // namespace tb
