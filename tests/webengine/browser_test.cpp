// The web-browser control with the real web engine: pages from a web server
// on 127.0.0.1 and from local files, the engine's history, the events, and
// the news view in web mode with its message hook. The only tests that
// start the engine.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/qtwrap.h"
#include "classlib/richview.h"
#include "testing/pump.h"
#include "testing/report_host.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/msgform.h"

using testing_support::PumpUntil;

// The engine's own code frees objects by a base of another size, which
// AddressSanitizer would stop at; the rest of its checks stay on.
extern "C" __attribute__((used, visibility("default"))) const char *__asan_default_options() {
  return "new_delete_type_mismatch=0";
}

namespace {

constexpr int kWaitMs = 30000;

// A web server that answers every request at once with one page; each
// connection has a thread of its own, so the engine's spare connections
// hold nothing up.
class PageServer {
 public:
  explicit PageServer(std::string body) : body_(std::move(body)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
    accepter_ = std::thread([this] { Accept(); });
  }
  ~PageServer() {
    stop_ = true;
    if (accepter_.joinable()) accepter_.join();
    for (std::thread &t : served_) t.join();
    ::close(listener_);
  }
  std::string Address(const char *path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  void Accept() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd >= 0) served_.emplace_back([this, fd] { Serve(fd); });
    }
  }
  void Serve(int fd) {
    std::string in;
    while (!stop_ && in.find("\r\n\r\n") == std::string::npos) {
      pollfd c{fd, POLLIN, 0};
      if (::poll(&c, 1, 20) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      in.append(chunk, size_t(n));
    }
    const std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                               std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
    if (!stop_) (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::close(fd);
  }

  std::string body_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accepter_;
  std::vector<std::thread> served_;
};

// A page of one colour. Left presses turn it green and lighter green in
// turn; once another button or a context menu has reached it, a press
// turns it blue, so a probe after a left click shows what reached the page
// before.
std::string ColourPage(const char *title, const char *colour) {
  return std::string("<html><head><title>") + title + "</title></head><body style=\"margin:0;background:" + colour +
         "\" onmousedown=\"if (event.button != 0) window.other = 1; window.n = (window.n || 0) + 1;"
         " document.body.style.background = window.other ? '#0000ff' : window.n % 2 ? '#00ff00' : '#00c000'\""
         " oncontextmenu=\"window.other = 1\"></body></html>";
}

QRgb Centre(testing_support::ViewHarness &h, HWND hwnd) {
  const QImage image = h.Render(hwnd);
  return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
}

class EngineTest : public testing::Test {
 protected:
  EngineTest() { platform::AllowWebEngine(true); }
  ~EngineTest() override { platform::AllowWebEngine(false); }

  bool ShowsColour(HWND hwnd, QRgb colour) {
    return PumpUntil([&] { return Centre(h_, hwnd) == colour; }, kWaitMs);
  }
  // The engine's widget that takes the page's input.
  static QWidget *PageWidget(TWebBrowser *web) {
    QWidget *view = platform::WrappedWidget(web->Handle());
    return view && view->focusProxy() ? view->focusProxy() : view;
  }
  static void Press(QWidget *widget, Qt::MouseButton button) {
    const QPoint at(widget->width() / 2, widget->height() / 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, widget->mapToGlobal(at), button,
                        type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(widget, &event);
    }
  }

  testing_support::ViewHarness h_;
};

TEST_F(EngineTest, WebAndLocalPagesLoadWithTheirEventsAndTheHistoryMovesBetweenThem) {
  PageServer server(ColourPage("Red", "#ff0000"));
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("kivo_web_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "green.html") << ColourPage("Green", "#008000");

  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 320, 240);
  auto *web = new TWebBrowser(form.get());
  web->SetParent(form.get());
  web->SetAlign(alClient);
  std::vector<std::string> completed, titles;
  web->OnDocumentComplete = [&](TObject *sender, const std::string &url) {
    EXPECT_EQ(sender, web);
    completed.push_back(url);
  };
  web->OnTitleChange = [&](TObject *, const std::string &text) { titles.push_back(text); };
  form->Show();
  h_.Pump();
  ASSERT_TRUE(web->UsesEngine());

  const std::string red = server.Address("/red.html");
  ASSERT_TRUE(web->Navigate(red));
  ASSERT_TRUE(PumpUntil([&] { return completed.size() == 1; }, kWaitMs));
  EXPECT_EQ(completed[0], red);
  EXPECT_TRUE(ShowsColour(web->Handle(), 0xFF0000));
  EXPECT_TRUE(PumpUntil([&] { return !titles.empty() && titles.back() == "Red"; }, kWaitMs));
  h_.SavePng(h_.Render(web->Handle()), "web_browser_page");

  EXPECT_FALSE(web->Navigate((folder / "missing.html").string()));
  ASSERT_TRUE(web->Navigate((folder / "green.html").string()));
  ASSERT_TRUE(PumpUntil([&] { return completed.size() == 2; }, kWaitMs));
  EXPECT_TRUE(ShowsColour(web->Handle(), 0x008000));
  EXPECT_EQ(web->LocationName(), "Green");

  web->GoBack();
  EXPECT_TRUE(ShowsColour(web->Handle(), 0xFF0000));
  EXPECT_TRUE(PumpUntil([&] { return web->LocationURL() == red; }, kWaitMs));
  web->GoForward();
  EXPECT_TRUE(ShowsColour(web->Handle(), 0x008000));
  EXPECT_NE(web->LocationURL().find("green.html"), std::string::npos);

  form.reset();
  h_.Pump();
  std::filesystem::remove_all(folder);
}

TEST_F(EngineTest, TheNewsViewShowsItsSiteAndItsHookKeepsRightClicksFromThePage) {
  PageServer server(ColourPage("News", "#ff0000"));
  testing_support::ReportWorld world;
  testing_support::RecordingFrameHost host;
  world.Box().WriteText("cfg/Setting.ini", "[News]\r\nWebNews=1\r\nURL=" + server.Address("/news") + "\r\n");
  testing_support::ViewPage page(VIEW_TYPE_NEWS, nullptr, 640, 400);
  TMsgForm *v = page.View<TMsgForm>();
  ASSERT_NE(v, nullptr);
  h_.Pump();
  ASSERT_TRUE(v->WebMode());
  TWebBrowser *web = v->WebNewsBrowser;
  ASSERT_TRUE(web->UsesEngine());
  ASSERT_TRUE(ShowsColour(web->Handle(), 0xFF0000));
  h_.SavePng(h_.Render(page.Window()->Handle()), "news_web_page");

  // The page takes input a little after it first shows: left clicks until
  // one arrives.
  QWidget *input = PageWidget(web);
  auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (Centre(h_, web->Handle()) == 0x00FF00) return true;
        if (std::chrono::steady_clock::now() - last > std::chrono::milliseconds(500)) {
          Press(input, Qt::LeftButton);
          last = std::chrono::steady_clock::now();
        }
        return false;
      },
      kWaitMs));
  // A right click goes no further than the hook, but focuses the browser.
  ::SetFocus(page.Window()->Handle());
  Press(input, Qt::RightButton);
  h_.Pump();
  EXPECT_EQ(GetFocus(), web->Handle());
  // The next left click shows that the right one never reached the page.
  Press(input, Qt::LeftButton);
  ASSERT_TRUE(PumpUntil([&] { return Centre(h_, web->Handle()) != 0x00FF00; }, kWaitMs));
  EXPECT_EQ(Centre(h_, web->Handle()), 0x00C000u);
}

}  // namespace
