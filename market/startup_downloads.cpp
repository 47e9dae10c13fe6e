#include "market/startup_downloads.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/efile.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/nclient_frames.h"
#include "platform/clock.h"
#include "platform/debugout.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/winuser.h"

extern char **environ;

const char *const kStartupConfigFiles[kStartupConfigFileCount] = {
    "mkinfo.cfg", "systime.dat", "hldy.ini", "hldyex.ini", "forfur.ini", "forex.ini", "hs300w.ini",
};

namespace {

constexpr char kVersionFile[] = ".\\version.txt";
constexpr char kUpdaterFile[] = ".\\selfupd.exe";
constexpr char kStagingFile[] = ".\\updt.tmp";
constexpr char kConfigFolder[] = "..\\cfg";
constexpr char kBlockFolder[] = "..\\CFG\\Block";
constexpr char kBlockIndexFile[] = "..\\CFG\\Block\\BlockIndex.idx";

// Layouts of the answers (bytes).
constexpr int kConfigHead = 44;        // name[32], total size, date, sub
constexpr int kBlockIndexHead = 4;     // the version word
constexpr int kBlockIndexEntry = 26;   // type, id, name[17], version
constexpr int kBlockFileHead = 7;      // type, id, member count
constexpr int kBlockMember = 9;        // market + 1000, code[7]
constexpr int kShortestBlockFile = 9;  // a local file below this is fetched again
constexpr int kShortestPart = 11;      // block index and block-file parts
constexpr int kCodeTableHead = 7;      // market, first, entries, total
constexpr int kExtendedItem = 14;      // extended code[7], code[7]
constexpr int kFinanceHead = 9;        // part 0 only; [1] the market
constexpr int kFinanceItem = 34;       // stock index, eight 32-bit values
constexpr int kFinanceValues = 32;     // what an item writes of a FINANCE record
static_assert(kFinanceValues == 8 * sizeof(float) && kFinanceValues < int(sizeof(FINANCE)));

constexpr char kTextUpdaterFailed[] = "客户端软件已更新，但无法启动自动升级程序。请稍后手动下载更新。  ";

uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window) SendMessageA(window, message, wParam, lParam);
}

// A line of the debug output: what was skipped and why, then the routine.
[[gnu::format(printf, 2, 3)]] void Log(const char *routine, const char *format, ...) {
  char text[320];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0) return;
  char line[400];
  std::snprintf(line, sizeof line, "%s (%s)", text, routine);
  OutputDebugStringA(line);
}

// One request into the client's send buffer and out to the socket. Every
// request of this phase is small and the socket still blocks, so it is
// taken whole or the exchange has failed.
bool Ask(TNormalClnt &client, const REQUESTREC &request, const RequestInputs &inputs) {
  uint8_t frame[kFrameHeadSize + 128];
  const int length = EncodeRequest(request, inputs, frame, sizeof frame);
  return length > 0 && client.SendFrame(frame, length) == length;
}

// The next answer frame: its plain body's length (Body() points at it), or
// -1 when the head was refused, the connection went or the body did not
// decode.
int ReadAnswer(TNormalClnt &client) {
  if (!client.ReadHeaderBlocking()) return -1;
  return client.ReadBodyBlocking();
}

bool IsLastPart(const FRAMEHEAD &head) { return head.partIndex + 1 >= head.partCount; }

bool ReadFileBytes(const char *path, std::vector<uint8_t> &bytes) {
  bytes.clear();
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE;
  if (ok && size > 0) {
    bytes.resize(size);
    DWORD got = 0;
    ok = ReadFile(file, bytes.data(), size, &got, nullptr) && got == size;
  }
  CloseHandle(file);
  if (!ok) bytes.clear();
  return ok;
}

// Replaces the file by a new one renamed over it.
bool WriteWholeFile(const char *path, const void *bytes, size_t length) {
  const std::string posix = platform::ResolvePath(path);
  return !posix.empty() &&
         platform::WriteFileReplacing(posix, std::string_view(static_cast<const char *>(bytes), length)) == 0;
}

// -1 when the file is missing.
int64_t FileLength(const char *path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return int64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

void BlockFilePath(uint32_t id, char (&path)[64]) { std::snprintf(path, sizeof path, "%s\\%u.dat", kBlockFolder, id); }

// A date written as year x 10000 + month x 100 + day, at 00:00 UTC; false
// for a date that is none.
bool DateToFileTime(uint32_t date, FILETIME *time) {
  SYSTEMTIME t{};
  t.wYear = WORD(date / 10000 > 0xFFFF ? 0 : date / 10000);
  t.wMonth = WORD(date / 100 % 100);
  t.wDay = WORD(date % 100);
  return SystemTimeToFileTime(&t, time) != FALSE;
}

// The program's own way to start the updater: a process of its own that a
// detached thread waits for, so that it leaves nothing behind.
bool SpawnUpdater() {
  const std::string program = platform::ResolvePath(kUpdaterFile);
  if (program.empty() || access(program.c_str(), X_OK) != 0) return false;
  char name[] = "selfupd.exe", silently[] = "-Silently", byKivo[] = "-runbykivo";
  char *argv[] = {name, silently, byKivo, nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  std::thread([child] { waitpid(child, nullptr, 0); }).detach();
  return true;
}

// Cuts trailing blanks of a fixed text field.
void TrimField(char *field, size_t size) {
  size_t n = strnlen(field, size);
  while (n > 0 && field[n - 1] == ' ') field[--n] = '\0';
}

std::string FieldKey(const char *field, size_t size) {
  size_t n = strnlen(field, size);
  while (n > 0 && field[n - 1] == ' ') --n;
  return std::string(field, n);
}

// The member files of one batch of blocks: one request, then answer parts
// until the last, each a run of whole or cut block files. A file cut at the
// end of a part waits for the rest from the next part. What the answer
// spoils (a part that is no block file, a file still cut when the answer
// ends) is skipped: the files that came whole are written and their ids
// added to written. False only when the exchange failed.
bool FetchBlockFiles(TNormalClnt &client, const std::vector<uint8_t> &items, std::vector<uint32_t> &written) {
  REQUESTREC request{};
  request.kind = REQ_BLOCK_FILE;
  request.value1 = uint32_t(items.size() / kBlockItemSize);
  std::memcpy(request.text, items.data(), items.size());
  if (!Ask(client, request, RequestInputs{})) return false;
  std::vector<uint8_t> pending;
  bool spoiled = false;
  for (;;) {
    const int length = ReadAnswer(client);
    if (length < 0) return false;
    if (client.Head().command != FRAME_BLOCK_FILE || length < kShortestPart) {
      // Nothing after this lines up any more; the answer is read to its end.
      if (!spoiled)
        Log("FetchBlockFiles", "block files: part %u is no block file (command %u, %d bytes), rest skipped",
            unsigned(client.Head().partIndex), unsigned(client.Head().command), length);
      spoiled = true;
      pending.clear();
    }
    if (!spoiled) {
      pending.insert(pending.end(), client.Body(), client.Body() + length);
      size_t at = 0;
      while (pending.size() - at >= size_t(kBlockFileHead)) {
        const uint8_t *file = pending.data() + at;
        const size_t size = size_t(kBlockFileHead) + size_t(kBlockMember) * Le16(file + 5);
        if (pending.size() - at < size) break;
        const uint32_t id = Le32(file + 1);
        char path[64];
        BlockFilePath(id, path);
        if (WriteWholeFile(path, file, size))
          written.push_back(id);
        else
          Log("FetchBlockFiles", "block file %u could not be written", unsigned(id));
        at += size;
      }
      pending.erase(pending.begin(), pending.begin() + ptrdiff_t(at));
    }
    if (IsLastPart(client.Head())) break;
  }
  if (!pending.empty())
    Log("FetchBlockFiles", "block file %u cut at the end of the answer (%zu bytes), skipped",
        unsigned(pending.size() >= 5 ? Le32(pending.data() + 1) : 0), pending.size());
  return true;
}

// The block index answer and the member files it calls for. False when an
// exchange failed. A part entry at the end of the index is left out. The
// new index is written after every batch came, and it never claims a block
// whose file did not arrive: such an entry keeps the local one (with the
// old version, so that it is asked for again next time) or, without one,
// is left out.
bool UpdateBlocks(TNormalClnt &client, HWND progress, const uint8_t *body, int length) {
  const size_t entries = size_t(length - kBlockIndexHead) / kBlockIndexEntry;
  if (size_t(length - kBlockIndexHead) % kBlockIndexEntry != 0)
    Log("UpdateBlocks", "block index: a part entry of %d bytes at the end, left out",
        int(size_t(length - kBlockIndexHead) % kBlockIndexEntry));
  const std::vector<uint8_t> index(body, body + kBlockIndexHead + entries * kBlockIndexEntry);
  MakeDirChain(kBlockFolder);

  // Block id -> the local index's entry; the first entry of an id counts.
  std::unordered_map<uint32_t, const uint8_t *> local;
  std::vector<uint8_t> old;
  if (ReadFileBytes(kBlockIndexFile, old) && old.size() >= size_t(kBlockIndexHead)) {
    const size_t count = (old.size() - kBlockIndexHead) / kBlockIndexEntry;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t *e = old.data() + kBlockIndexHead + i * kBlockIndexEntry;
      local.emplace(Le32(e + 1), e);
    }
  }

  std::vector<uint8_t> batch;
  std::vector<bool> needed(entries, false);
  std::vector<uint32_t> written;
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t *e = index.data() + kBlockIndexHead + i * kBlockIndexEntry;
    const uint32_t id = Le32(e + 1);
    const auto known = local.find(id);
    char path[64];
    BlockFilePath(id, path);
    needed[i] =
        known == local.end() || Le32(known->second + 22) != Le32(e + 22) || FileLength(path) < kShortestBlockFile;
    if (needed[i]) {
      const uint8_t item[kBlockItemSize] = {e[0], e[1], e[2], e[3], e[4], 0, 0};
      batch.insert(batch.end(), item, item + kBlockItemSize);
    }
    const bool full = batch.size() == size_t(kMaxBlockItems * kBlockItemSize);
    if ((full || i + 1 == entries) && !batch.empty()) {
      if (!FetchBlockFiles(client, batch, written)) return false;
      batch.clear();
    }
  }

  std::vector<uint8_t> kept(index.begin(), index.begin() + kBlockIndexHead);
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t *e = index.data() + kBlockIndexHead + i * kBlockIndexEntry;
    const uint32_t id = Le32(e + 1);
    if (needed[i] && std::find(written.begin(), written.end(), id) == written.end()) {
      const auto known = local.find(id);
      if (known != local.end()) kept.insert(kept.end(), known->second, known->second + kBlockIndexEntry);
      continue;
    }
    kept.insert(kept.end(), e, e + kBlockIndexEntry);
  }
  Notify(progress, WM_LOGIN_UPDATE_STEP, 0, 8);
  WriteWholeFile(kBlockIndexFile, kept.data(), kept.size());
  return true;
}

// The folder and file name of one of the market's tables. False when the
// market's folder or extension (both from the server's market file) could
// lead outside the data folder.
bool MarketTablePath(const TMarketData &market, const char *base, char (&path)[MAX_PATH]) {
  if (!IsSafeCacheName(market.m_info.shortName) || !IsSafeCacheName(market.m_info.extension)) return false;
  market.TablePath(base, path, sizeof path);
  return true;
}

bool MakeFolderOf(const char *path) {
  std::string folder(path);
  const size_t slash = folder.rfind('\\');
  if (slash == std::string::npos) return true;
  folder.resize(slash);
  return MakeDirChain(folder.c_str());
}

// The contract codes of a futures market: every item whose code is an
// entry's code gives that entry its extended code; parts of other commands
// or of another market are skipped. False when the exchange failed.
bool FetchExtendedCodes(TNormalClnt &client, const TMarketData &market, const std::vector<STKINFO> &table,
                        std::vector<STKINFOEX> &extended) {
  REQUESTREC request{};
  request.kind = REQ_NAME_TABLE;
  request.market = uint16_t(market.m_market);
  if (!Ask(client, request, RequestInputs{})) return false;
  std::unordered_map<std::string, size_t> byCode;
  for (size_t i = 0; i < table.size(); ++i) byCode.emplace(FieldKey(table[i].code, sizeof table[i].code), i);
  for (;;) {
    const int length = ReadAnswer(client);
    if (length < 0) return false;
    const uint8_t *body = client.Body();
    if (client.Head().command == FRAME_NAME_TABLE && length >= 1 && body[0] == market.m_market) {
      const int items = (length - 1) / kExtendedItem;
      for (int k = 0; k < items; ++k) {
        const char *item = reinterpret_cast<const char *>(body + 1 + k * kExtendedItem);
        const auto found = byCode.find(FieldKey(item + 7, 7));
        if (found != byCode.end()) std::memcpy(extended[found->second].code, item, sizeof(STKINFOEX));
      }
    }
    if (IsLastPart(client.Head())) return true;
  }
}

}  // namespace

TStartupHooks &StartupHooks() {
  static TStartupHooks hooks;
  return hooks;
}

int CheckProgramUpdate(TNormalClnt &client, HWND progress) {
  REQUESTREC request{};
  request.kind = REQ_UPDATE_CHECK;
  if (!Ask(client, request, RequestInputs{})) return -1;
  const int length = ReadAnswer(client);
  if (length < 0) return -1;
  // A body too short for the version number says nothing about updates.
  if (client.Head().command != FRAME_UPDATE_CHECK || length < 4) return 0;
  const uint32_t newest = Le32(client.Body());

  char text[12] = {};
  HANDLE file = CreateFileA(kVersionFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD got = 0;
    if (!ReadFile(file, text, 11, &got, nullptr)) got = 0;
    text[got < 11 ? got : 11] = '\0';
    CloseHandle(file);
  }
  Notify(progress, WM_LOGIN_CHECK_VERSION, 1, 1);
  // Eleven digits may pass 32 bits; such a version is never older.
  const unsigned long long installed = std::strtoull(text, nullptr, 10);
  if (installed >= newest) return 0;

  const TStartupHooks &hooks = StartupHooks();
  const bool started = hooks.startUpdater ? hooks.startUpdater() : SpawnUpdater();
  if (!started) MessageBoxA(nullptr, kTextUpdaterFailed, "提示", MB_OK | MB_ICONERROR | MB_TOPMOST);
  return 0;
}

int SendClientVersion(TNormalClnt &client, uint32_t programVersion) {
  REQUESTREC request{};
  request.kind = REQ_CLIENT_VERSION;
  RequestInputs inputs;
  inputs.programVersion = programVersion;
  if (!Ask(client, request, inputs)) return -1;
  return ReadAnswer(client) > 0 ? 0 : -1;
}

int UpdateConfigFile(TNormalClnt &client, const char *name) {
  if (!name || !*name) return 0;
  HANDLE staging = CreateFileA(kStagingFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (staging == INVALID_HANDLE_VALUE) return 0;
  // Whatever ends the download early leaves the local file as it was.
  auto discard = [&](int result) {
    CloseHandle(staging);
    DeleteFileA(kStagingFile);
    return result;
  };

  REQUESTREC request{};
  request.kind = REQ_CONFIG_FILE;
  std::snprintf(request.text, sizeof request.text, "%s", name);
  RequestInputs inputs;
  GatherRequestInputs(request, &inputs);

  // The request carries no offset: the server sends the next slice each
  // time the same request comes, until the whole file is in.
  bool first = true;
  uint32_t total = 0, date = 0, received = 0;
  do {
    if (!Ask(client, request, inputs)) return discard(0);
    const int length = ReadAnswer(client);
    if (length < 0) return discard(0);
    if (client.Head().command != FRAME_CONFIG_FILE || length <= kConfigHead) return discard(1);
    const uint8_t *body = client.Body();
    const uint32_t announced = Le32(body + 32);
    // A size that changes between slices, or a file of no bytes, is no
    // file anyone can put together: the local copy stays, and the login
    // goes on.
    if (!first && announced != total) {
      Log("UpdateConfigFile", "%s: size changed from %u to %u bytes midway, file skipped", name, total, announced);
      return discard(1);
    }
    if (announced == 0) {
      Log("UpdateConfigFile", "%s: announced with no bytes, file skipped", name);
      return discard(1);
    }
    total = announced;
    first = false;
    date = Le32(body + 36);
    // A last slice that runs past the announced size is kept up to it.
    uint32_t slice = uint32_t(length - kConfigHead);
    if (slice > total - received) {
      Log("UpdateConfigFile", "%s: %u bytes past the %u announced, cut there", name, slice - (total - received), total);
      slice = total - received;
    }
    DWORD written = 0;
    if (!WriteFile(staging, body + kConfigHead, slice, &written, nullptr) || written != slice) return discard(1);
    received += slice;
  } while (received < total);

  FILETIME stamp{};
  if (DateToFileTime(date, &stamp)) SetFileTime(staging, nullptr, nullptr, &stamp);
  CloseHandle(staging);
  MakeDirChain(kConfigFolder);
  const std::string target = std::string(kConfigFolder) + "\\" + name;
  if (!MoveFileExA(kStagingFile, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    DeleteFileA(kStagingFile);
  return 1;
}

int DownloadConfigFiles(TNormalClnt &client, HWND progress) {
  for (int i = 0; i < kStartupConfigFileCount; ++i) {
    Notify(progress, WM_LOGIN_UPDATE_STEP, 0, i + 1);
    if (!UpdateConfigFile(client, kStartupConfigFiles[i])) return -1;
  }

  REQUESTREC request{};
  request.kind = REQ_BLOCK_INDEX;
  RequestInputs inputs;
  GatherRequestInputs(request, &inputs);
  if (!Ask(client, request, inputs)) return -1;
  const int length = ReadAnswer(client);
  if (length < 0) return -1;
  if (client.Head().command == FRAME_BLOCK_INDEX && length >= kShortestPart) {
    // The answer stays in the client's buffer only until the next read.
    const std::vector<uint8_t> index(client.Body(), client.Body() + length);
    if (!UpdateBlocks(client, progress, index.data(), length)) return -1;
  }
  // The holiday files may have been replaced above.
  LoadHolidayLists();
  return 0;
}

int DownloadCodeTables(TNormalClnt &client, TMarketData &market) {
  if (market.m_error != 0 || !market.m_stocks) return -1;
  const size_t capacity = size_t(market.m_stockCount > 0 ? market.m_stockCount : 0);
  auto keep = [&](const std::vector<STKINFO> &table, const std::vector<STKINFOEX> *extended) {
    const size_t count = table.size();
    if (count > 0) std::memcpy(static_cast<void *>(market.m_stocks), table.data(), count * sizeof(STKINFO));
    std::memset(static_cast<void *>(market.m_stocks + count), 0, (capacity - count) * sizeof(STKINFO));
    if (market.m_stocksEx) {
      if (extended && count > 0)
        std::memcpy(static_cast<void *>(market.m_stocksEx), extended->data(), count * sizeof(STKINFOEX));
      std::memset(static_cast<void *>(market.m_stocksEx + (extended ? count : 0)), 0,
                  (capacity - (extended ? count : 0)) * sizeof(STKINFOEX));
    }
    market.m_loadedCount = int32_t(count);
    market.InvalidateCodeIndex();
    return int(count);
  };

  char path[MAX_PATH];
  if (!MarketTablePath(market, "nametbl", path)) {
    Log("DownloadCodeTables", "market %d: its folder or extension is no safe file name, table skipped",
        int(market.m_market));
    return keep({}, nullptr);
  }

  std::vector<STKINFO> table;
  table.reserve(capacity);
  // Whole when the server's total came or the market's room is full; a
  // table cut short by a refused, empty or foreign page keeps the pages
  // that came but is not written.
  bool whole = false;
  for (;;) {
    REQUESTREC request{};
    request.kind = REQ_CODE_TABLE;
    request.market = uint16_t(market.m_market);
    request.sub = int32_t(table.size());
    if (!Ask(client, request, RequestInputs{})) return -1;
    const int length = ReadAnswer(client);
    if (length < 0) return -1;
    if (client.Head().command != FRAME_CODE_TABLE || length < kCodeTableHead) {
      Log("DownloadCodeTables", "market %d: page from %zu refused (command %u, %d bytes)", int(market.m_market),
          table.size(), unsigned(client.Head().command), length);
      break;
    }
    const uint8_t *body = client.Body();
    if (body[0] != market.m_market || size_t(Le16(body + 1)) != table.size()) {
      Log("DownloadCodeTables", "market %d: asked from %zu, the answer is market %u from %u", int(market.m_market),
          table.size(), unsigned(body[0]), unsigned(Le16(body + 1)));
      break;
    }
    const uint32_t total = Le16(body + 5);
    // The count the answer announces, never more than its body holds.
    const size_t held = size_t(length - kCodeTableHead) / sizeof(STKINFO);
    const size_t entries = std::min<size_t>(Le16(body + 3), held);
    if (entries == 0) {
      // An empty page is the end only when the table is complete; asking
      // again would bring the same page for ever.
      whole = table.size() >= total;
      if (!whole)
        Log("DownloadCodeTables", "market %d: empty page at %zu of %u", int(market.m_market), table.size(),
            unsigned(total));
      break;
    }
    const size_t fit = std::min(entries, capacity - table.size());
    const size_t at = table.size();
    table.resize(at + fit);
    std::memcpy(static_cast<void *>(table.data() + at), body + kCodeTableHead, fit * sizeof(STKINFO));
    if (fit < entries || table.size() >= total) {
      whole = true;
      break;
    }
  }
  for (STKINFO &e : table) {
    TrimField(e.code, sizeof e.code);
    TrimField(e.name, sizeof e.name);
  }

  std::vector<STKINFOEX> extended;
  const bool futures = market.m_info.type == 2 && market.m_stocksEx;
  char extendedPath[MAX_PATH];
  if (futures && !table.empty()) {
    extended.assign(table.size(), STKINFOEX{});
    if (!FetchExtendedCodes(client, market, table, extended)) return -1;
  }

  // Cache files that can't be written only cost the next offline start;
  // a table cut short is not written at all, so the local one stays.
  if (whole) {
    MakeFolderOf(path);
    WriteWholeFile(path, table.data(), table.size() * sizeof(STKINFO));
    if (futures && MarketTablePath(market, "nametble", extendedPath))
      WriteWholeFile(extendedPath, extended.data(), extended.size() * sizeof(STKINFOEX));
  } else {
    Log("DownloadCodeTables", "market %d: table incomplete, %zu entries kept for this session, files not written",
        int(market.m_market), table.size());
  }
  return keep(table, futures && !table.empty() ? &extended : nullptr);
}

int DownloadFinance(TNormalClnt &client, TMarketData &market) {
  REQUESTREC request{};
  request.kind = REQ_FINANCE;
  request.market = uint16_t(market.m_market);
  RequestInputs inputs;
  inputs.marketDateTime = market.m_currentTime;
  if (!Ask(client, request, inputs)) return -1;
  // The market whose records the answer fills: part 0's head names it.
  TMarketData *target = nullptr;
  for (;;) {
    const int length = ReadAnswer(client);
    if (length < 0) return -1;
    if (client.Head().command != FRAME_FINANCE || length < 10) return 0;
    const uint8_t *body = client.Body();
    int at = 0;
    if (client.Head().partIndex == 0) {
      const int named = Le16(body + 1);
      target = named == market.m_market ? &market : MarketAt(named);
      at = kFinanceHead;
    }
    if (target && target->m_finance) {
      for (; length - at >= kFinanceItem; at += kFinanceItem) {
        const uint16_t stock = Le16(body + at);
        if (stock < target->m_loadedCount) std::memcpy(&target->m_finance[stock], body + at + 2, kFinanceValues);
      }
    }
    if (IsLastPart(client.Head())) return 0;
  }
}
