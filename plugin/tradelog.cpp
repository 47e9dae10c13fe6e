#include "plugin/tradelog.h"

#include <mutex>

#include "platform/module.h"

namespace tb {

namespace {

// The worker, the push receiver and the exports all write; the library is
// called by one of them at a time.
std::mutex g_lock;
LoggerApi g_api{};
bool g_bound = false;
uint32_t g_handle = 0;

template <class Entry>
bool Bind(HMODULE module, const char *name, Entry &entry) {
  entry = reinterpret_cast<Entry>(GetProcAddress(module, name));
  return entry != nullptr;
}

}  // namespace

bool BindLogger() {
  std::lock_guard guard(g_lock);
  g_bound = false;
  g_api = LoggerApi{};
  HMODULE module = GetModuleHandleA("kvlogger.dll");
  if (!module) module = LoadLibraryA("kvlogger.dll");
  if (!module) return false;
  LoggerApi api{};
  if (!Bind(module, "GetDllVersion", api.GetDllVersion) || api.GetDllVersion() != 1) return false;
  if (!Bind(module, "Open", api.Open) || !Bind(module, "Close", api.Close) ||
      !Bind(module, "GetErrorMsg", api.GetErrorMsg) || !Bind(module, "Log", api.Log) ||
      !Bind(module, "Logs", api.Logs))
    return false;
  g_api = api;
  g_bound = true;
  return true;
}

void SetLoggerApi(const LoggerApi *api) {
  std::lock_guard guard(g_lock);
  g_api = api ? *api : LoggerApi{};
  g_bound = api != nullptr;
}

bool OpenTradeLog(const char *path) {
  std::lock_guard guard(g_lock);
  if (g_handle && g_api.Close) g_api.Close(g_handle);
  g_handle = 0;
  if (!g_bound || !g_api.Open || !path) return false;
  uint32_t handle = 0;
  g_api.Open(path, 1, &handle);
  g_handle = handle;
  return g_handle != 0;
}

void CloseTradeLog() {
  std::lock_guard guard(g_lock);
  if (g_handle && g_api.Close) g_api.Close(g_handle);
  g_handle = 0;
}

bool TradeLogOpen() {
  std::lock_guard guard(g_lock);
  return g_handle != 0;
}

void LogText(int code, const char *text) {
  std::lock_guard guard(g_lock);
  if (g_handle && g_api.Log) g_api.Log(g_handle, code, text ? text : "", 0, 0);
}

void LogTextPair(int code, const char *first, const char *second) {
  std::lock_guard guard(g_lock);
  const char *texts[2] = {first ? first : "", second ? second : ""};
  if (g_handle && g_api.Logs) g_api.Logs(g_handle, code, texts, 2, 0, 0);
}

}  // namespace tb
