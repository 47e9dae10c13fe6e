#include "platform/shell.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/qtext.h"
#include "testing/shell_recorder.h"
#include "testing/temp_folder.h"

namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsTheWindowsRules) {
  struct Case {
    const char *line;
    Words words;
  } cases[] = {
      {R"(.\selfupd.exe -Silently -runbykivo)", {R"(.\selfupd.exe)", "-Silently", "-runbykivo"}},
      {R"(  .\themetool.exe   HWND:1234 MSG:2128	THEME:3 )", {R"(.\themetool.exe)", "HWND:1234", "MSG:2128", "THEME:3"}},
      {R"("C:\Program Files\x.exe" "a b" c)", {R"(C:\Program Files\x.exe)", "a b", "c"}},
      {R"(x a\\b \"q\" "x\"y" "" e)", {"x", R"(a\\b)", R"("q")", R"(x"y)", "", "e"}},
      {R"(x "say ""hi""" z)", {"x", R"(say "hi")", "z"}},
      {R"(x "unclosed tail)", {"x", "unclosed tail"}},
      {"", {}},
  };
  for (const Case &c : cases) EXPECT_EQ(platform::SplitCommandLine(c.line), c.words) << c.line;
}

class ShellPlanTest : public testing_support::TempFolderTest {
 protected:
  void MakeProgram(const std::string &name, const std::string &body = "#!/bin/sh\nexit 0\n") {
    Put(name, body);
    ASSERT_EQ(::chmod((root_ + "/" + name).c_str(), 0755), 0);
  }
  static platform::ShellOpenCall Call(const char *file, const char *parameters = "", const char *verb = "open",
                                      const char *directory = "") {
    platform::ShellOpenCall call;
    call.verb = verb;
    call.file = file;
    call.parameters = parameters;
    call.directory = directory;
    return call;
  }
};

TEST_F(ShellPlanTest, AddressesDocumentsAndProgramsFindTheirWay) {
  MakeProgram("netcheck");
  MakeProgram("KivoMsgr.dll");
  Put("notes.txt", "x");
  mkdir((root_ + "/svcdesk").c_str(), 0755);
  struct Case {
    platform::ShellOpenCall call;
    INT_PTR error;
    std::string program;
    Words arguments;
  } cases[] = {
      {Call("http://news.example/a?b=1"), 0, "xdg-open", {"http://news.example/a?b=1"}},
      {Call("mailto:support@example.com"), 0, "xdg-open", {"mailto:support@example.com"}},
      {Call("www.example.com/x"), 0, "xdg-open", {"http://www.example.com/x"}},
      {Call("http://x.example", "", ""), 0, "xdg-open", {"http://x.example"}},
      // The old browser is not there: callers fall back to the address itself.
      {Call("IEXPLORE.EXE", "http://x.example"), SE_ERR_FNF, "", {}},
      {Call(R"(.\NETCHECK.EXE)", "-a \"b c\""), 0, root_ + "/netcheck", {"-a", "b c"}},
      {Call(R"(.\KivoMsgr.dll)", "1234"), 0, root_ + "/KivoMsgr.dll", {"1234"}},
      {Call("notes.TXT"), 0, "xdg-open", {root_ + "/notes.txt"}},
      {Call("missing.txt"), SE_ERR_FNF, "", {}},
      {Call(""), SE_ERR_FNF, "", {}},
      {Call("notes.txt", "", "print"), SE_ERR_NOASSOC, "", {}},
      {Call(R"(.\netcheck.exe)", "", "open", R"(..\nowhere\)"), SE_ERR_PNF, "", {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.call.file + " " + c.call.parameters);
    const platform::ShellLaunch launch = platform::PlanShellOpen(c.call);
    EXPECT_EQ(launch.error, c.error);
    EXPECT_EQ(launch.program, c.program);
    EXPECT_EQ(launch.arguments, c.arguments);
  }
  const platform::ShellLaunch inFolder = platform::PlanShellOpen(Call(R"(.\netcheck.exe)", "", "open", R"(svcdesk\)"));
  EXPECT_EQ(inFolder.directory, root_ + "/svcdesk");
}

TEST_F(ShellPlanTest, FindProgramNeedsAnExecutableFile) {
  MakeProgram("pnlcalc");
  Put("plain.exe", "not a program");
  EXPECT_EQ(platform::FindProgram("pnlcalc.exe"), root_ + "/pnlcalc");
  EXPECT_EQ(platform::FindProgram(R"(.\PnlCalc.EXE)"), root_ + "/pnlcalc");
  EXPECT_EQ(platform::FindProgram("plain.exe"), "");
  EXPECT_EQ(platform::FindProgram("."), "");
  EXPECT_EQ(platform::FindProgram(""), "");
  // A bare name is also looked up on PATH.
  EXPECT_FALSE(platform::FindProgram("sh").empty());
}

TEST_F(ShellPlanTest, BrowserLinksNeverStartAProgram) {
  MakeProgram("relaysrv");
  Put("toji.html", "<html></html>");
  ShellRecorder recorder;
  EXPECT_FALSE(platform::OpenInWebBrowser(R"(.\relaysrv.exe)"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(platform::OpenInWebBrowser(""));
  EXPECT_TRUE(platform::OpenInWebBrowser("toji.html"));
  EXPECT_TRUE(platform::OpenInWebBrowser("https://a.example/relaysrv"));
  const auto opens = recorder.Opens();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[0].file, "toji.html");
  EXPECT_EQ(opens[1].file, "https://a.example/relaysrv");
}

TEST(ShellRecorderTest, TakesEveryCallAndAnswersAsQueued) {
  ShellRecorder recorder;
  recorder.QueueOpenResult(SE_ERR_FNF);
  auto owner = reinterpret_cast<HWND>(uintptr_t(0x40));
  EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", "IEXPLORE.EXE", "http://a.example", nullptr, 10)),
            SE_ERR_FNF);
  EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", "http://a.example", nullptr, nullptr, 10)), 32);
  const auto opens = recorder.Opens();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[0].file, "IEXPLORE.EXE");
  EXPECT_EQ(opens[0].parameters, "http://a.example");
  EXPECT_EQ(opens[0].show, 10);
  EXPECT_EQ(opens[1].parameters, "");
  recorder.QueueOpenResult(SE_ERR_NOASSOC);
  EXPECT_FALSE(platform::OpenInWebBrowser("http://b.example/新闻.html"));
  EXPECT_TRUE(platform::OpenInWebBrowser("file:///tmp/toji.html"));
  ASSERT_EQ(recorder.Opens().size(), 4u);
  EXPECT_EQ(recorder.Opens()[2].file, "http://b.example/新闻.html");
  EXPECT_EQ(recorder.Opens()[3].verb, "open");

  char line[] = R"(..\svcdesk\svcdesk.exe -HIDE-用户 1)";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, R"(..\svcdesk\)", &startup,
                             &process));
  EXPECT_NE(process.hProcess, nullptr);
  EXPECT_TRUE(CloseHandle(process.hProcess));
  EXPECT_TRUE(CloseHandle(process.hThread));
  recorder.QueueStartFailure(ERROR_FILE_NOT_FOUND);
  char updater[] = R"(.\selfupd.exe -runbykivo)";
  EXPECT_FALSE(CreateProcessA(nullptr, updater, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  const auto starts = recorder.Starts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].commandLine, line);
  EXPECT_EQ(starts[0].directory, R"(..\svcdesk\)");

  EXPECT_FALSE(platform::ClipboardHasText());
  EXPECT_TRUE(platform::SetClipboardText("复制"));
  EXPECT_TRUE(platform::ClipboardHasText());
  EXPECT_EQ(platform::GetClipboardText(), "复制");
  EXPECT_EQ(recorder.ClipboardWrites(), Words{"复制"});
}

TEST(DesktopClipboardTest, GbkTextMeetsTheSystemClipboardAsUnicode) {
  ASSERT_NE(qobject_cast<QGuiApplication *>(QCoreApplication::instance()), nullptr);
  ASSERT_TRUE(platform::SetClipboardText("成交价 12.5"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf16(u"成交价 12.5"));
  QGuiApplication::clipboard()->setText(QString::fromUtf16(u"新闻"));
  EXPECT_EQ(platform::GetClipboardText(), "新闻");
  EXPECT_TRUE(platform::ClipboardHasText());
}

class ProcessStartTest : public testing_support::TempFolderTest {};

TEST_F(ProcessStartTest, StartsAProgramNamedTheWindowsWayWithItsWordsAndFolder) {
  // The child writes its folder, arguments and the process it was started by
  // (to post back to its windows) into a pipe; reading it waits for the
  // child without any sleep.
  const std::string fifo = root_ + "/answer";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  mkdir((root_ + "/work").c_str(), 0755);
  Put("themetool", "#!/bin/sh\necho \"$(pwd)|$1|$2|$3|$KIVO_POST_PROCESS\" > " + fifo + "\n");
  ASSERT_EQ(::chmod((root_ + "/themetool").c_str(), 0755), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);

  char line[] = R"(.\themetool.exe HWND:77 MSG:2128 "THEME:3")";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, R"(.\WORK)", &startup, &process));
  EXPECT_GT(process.dwProcessId, 0u);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);

  std::string answer;
  char buffer[256];
  pollfd poller{reader, POLLIN, 0};
  while (answer.find('\n') == std::string::npos && ::poll(&poller, 1, 20000) > 0) {
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    if (n > 0) answer.append(buffer, size_t(n));
    if (n <= 0 && (poller.revents & POLLHUP)) break;
  }
  ::close(reader);
  EXPECT_EQ(answer, root_ + "/work|HWND:77|MSG:2128|THEME:3|" + std::to_string(::getpid()) + "\n");

  char missing[] = R"(.\selfupd.exe -runbykivo)";
  EXPECT_FALSE(CreateProcessA(nullptr, missing, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace
