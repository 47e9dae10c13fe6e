#include "platform/shell.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/handles.h"
#include "platform/path.h"
#include "platform/postendpoint.h"
#include "platform/qtext.h"

namespace platform {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}
bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool IsAddress(std::string_view file) {
  if (StartsWithNoCase(file, "mailto:") || StartsWithNoCase(file, "www.")) return true;
  const size_t scheme = file.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return false;
  for (char c : file.substr(0, scheme))
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  return true;
}

bool IsExecutableFile(const std::string &posix) {
  struct stat info {};
  return ::stat(posix.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(posix.c_str(), X_OK) == 0;
}
bool Exists(const std::string &posix) {
  struct stat info {};
  return ::stat(posix.c_str(), &info) == 0;
}

std::string Local(const std::string &gbk) { return GbkToUtf8(gbk); }

// What the desktop itself does.
class DesktopHost final : public ShellHost {
 public:
  bool SetClipboardText(const std::string &gbk) override {
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
      app->clipboard()->setText(FromGbk(gbk.c_str(), int(gbk.size())));
      return true;
    }
    std::lock_guard<std::mutex> hold(lock_);
    text_ = gbk;
    hasText_ = true;
    return true;
  }
  bool GetClipboardText(std::string &gbk) override {
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
      const QString text = app->clipboard()->text();
      if (text.isNull()) return false;
      const QByteArray bytes = ToGbk(text);
      gbk.assign(bytes.constData(), size_t(bytes.size()));
      return true;
    }
    std::lock_guard<std::mutex> hold(lock_);
    gbk = text_;
    return hasText_;
  }
  INT_PTR Open(const ShellOpenCall &call) override {
    ShellLaunch launch = PlanShellOpen(call);
    if (launch.error) return launch.error;
    DWORD pid = 0;
    if (!Launch(launch.program, launch.arguments, launch.directory, pid)) {
      const DWORD error = GetLastError();
      return error == ERROR_ACCESS_DENIED ? SE_ERR_ACCESSDENIED : SE_ERR_NOASSOC;
    }
    return 42;
  }
  bool Start(const ProcessStartCall &call, DWORD &processId) override {
    std::vector<std::string> words = SplitCommandLine(call.commandLine);
    std::string name = call.application;
    if (name.empty()) {
      if (words.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
      }
      name = words.front();
    }
    if (!words.empty()) words.erase(words.begin());
    const std::string program = FindProgram(name);
    if (program.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    }
    std::string directory;
    if (!call.directory.empty()) {
      directory = ResolvePath(call.directory.c_str());
      if (!Exists(directory)) {
        SetLastError(ERROR_DIRECTORY);
        return false;
      }
    }
    return Launch(program, words, directory, processId);
  }

  static bool Launch(const std::string &program, const std::vector<std::string> &arguments,
                     const std::string &directory, DWORD &processId) {
    QStringList list;
    for (const std::string &word : arguments) list << FromGbk(word.c_str(), int(word.size()));
    // The started program finds this process by its environment, to post
    // to the endpoints of its windows.
    QProcess process;
    process.setProgram(QString::fromStdString(Local(program)));
    process.setArguments(list);
    process.setWorkingDirectory(QString::fromStdString(Local(directory)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kPostProcessVariable), QString::number(::getpid()));
    process.setProcessEnvironment(environment);
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    }
    processId = DWORD(pid);
    return true;
  }

 private:
  std::mutex lock_;
  std::string text_;
  bool hasText_ = false;
};

DesktopHost &Desktop() {
  static DesktopHost host;
  return host;
}

std::atomic<ShellHost *> installed{nullptr};

ShellHost &Host() {
  ShellHost *host = installed.load();
  return host ? *host : Desktop();
}

// A started process as the caller sees it: handles to close, nothing more.
struct ProcessObject : KernelObject {
  DWORD id = 0;
};

}  // namespace

ShellHost *SetShellHost(ShellHost *host) { return installed.exchange(host); }

bool SetClipboardText(std::string_view gbk) { return Host().SetClipboardText(std::string(gbk)); }

std::string GetClipboardText() {
  std::string text;
  return Host().GetClipboardText(text) ? text : std::string();
}

bool ClipboardHasText() {
  std::string text;
  return Host().GetClipboardText(text) && !text.empty();
}

bool OpenInWebBrowser(std::string_view address) {
  if (address.empty()) return false;
  if (!IsAddress(address) && !FindProgram(std::string(address)).empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  ShellOpenCall call;
  call.verb = "open";
  call.file = std::string(address);
  call.show = 1;  // SW_SHOWNORMAL
  return Host().Open(call) > 32;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < line.size() && line[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < line.size() && line[i] == '"') {
          word.append(slashes / 2, '\\');
          if (slashes % 2) {
            word.push_back('"');
            ++i;
          }
        } else {
          word.append(slashes, '\\');
        }
      } else if (line[i] == '"') {
        // Two quotes inside a quoted part stand for one.
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          word.push_back('"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        word.push_back(line[i++]);
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string FindProgram(const std::string &windowsName) {
  if (windowsName.empty()) return {};
  std::vector<std::string> names = {windowsName};
  for (const char *suffix : {".exe", ".dll", ".com"})
    if (EndsWithNoCase(windowsName, suffix)) names.push_back(windowsName.substr(0, windowsName.size() - 4));
  const bool bare = windowsName.find_first_of("\\/:") == std::string::npos;
  for (const std::string &name : names) {
    const std::string posix = ResolvePath(name.c_str());
    if (IsExecutableFile(posix)) return posix;
  }
  if (bare) {
    const char *path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
      const size_t colon = rest.find(':');
      const std::string folder(rest.substr(0, colon));
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
      if (folder.empty()) continue;
      for (const std::string &name : names) {
        const std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
      }
    }
  }
  return {};
}

ShellLaunch PlanShellOpen(const ShellOpenCall &call) {
  ShellLaunch launch;
  if (!call.verb.empty() && !EqualNoCase(call.verb, "open")) {
    launch.error = SE_ERR_NOASSOC;
    return launch;
  }
  if (call.file.empty()) {
    launch.error = SE_ERR_FNF;
    return launch;
  }
  if (!call.directory.empty()) {
    launch.directory = ResolvePath(call.directory.c_str());
    if (!Exists(launch.directory)) {
      launch.error = SE_ERR_PNF;
      return launch;
    }
  }
  if (IsAddress(call.file)) {
    launch.program = "xdg-open";
    launch.arguments = {StartsWithNoCase(call.file, "www.") ? "http://" + call.file : call.file};
    return launch;
  }
  const std::string program = FindProgram(call.file);
  if (!program.empty()) {
    launch.program = program;
    launch.arguments = SplitCommandLine(call.parameters);
    return launch;
  }
  const std::string document = ResolvePath(call.file.c_str());
  if (!Exists(document)) {
    launch.error = SE_ERR_FNF;
    return launch;
  }
  launch.program = "xdg-open";
  launch.arguments = {document};
  return launch;
}

}  // namespace platform

using namespace platform;

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  ShellOpenCall call;
  call.owner = owner;
  call.verb = verb ? verb : "";
  call.file = file ? file : "";
  call.parameters = parameters ? parameters : "";
  call.directory = directory ? directory : "";
  call.show = show;
  return reinterpret_cast<HINSTANCE>(Host().Open(call));
}

BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD, LPVOID, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if ((!application && !commandLine) || !startupInfo || !processInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ProcessStartCall call;
  call.application = application ? application : "";
  call.commandLine = commandLine ? commandLine : "";
  call.directory = currentDirectory ? currentDirectory : "";
  DWORD id = 0;
  if (!Host().Start(call, id)) return FALSE;
  auto process = std::make_shared<ProcessObject>();
  process->id = id;
  auto thread = std::make_shared<ProcessObject>();
  thread->id = id;
  std::memset(processInformation, 0, sizeof *processInformation);
  processInformation->hProcess = InsertHandle(process);
  processInformation->hThread = InsertHandle(thread);
  processInformation->dwProcessId = id;
  processInformation->dwThreadId = id;
  return TRUE;
}
