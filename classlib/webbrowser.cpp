// The embedded web browser: the web engine's view when the engine is there
// and allowed, else a text browser for local pages.
#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include <atomic>
#include <string>

#include "platform/debugout.h"
#include "platform/path.h"
#include "platform/qtext.h"
#include "platform/shell.h"
#include "platform/qtwrap.h"
#include "classlib/richview.h"
#include "classlib/webview.h"

using platform::FromGbk;
using platform::ToGbk;

namespace platform {
namespace {

std::atomic<bool> g_engineAllowed{true};

std::string Gbk(const QString &text) {
  QByteArray bytes = ToGbk(text);
  return std::string(bytes.constData(), size_t(bytes.size()));
}

void SetDefault(const char *name, const char *value) {
  if (qEnvironmentVariableIsEmpty(name)) qputenv(name, value);
}

// The engine's library, loaded once on first use and kept for the life of
// the process (the engine cannot be unloaded).
WebViewFactory EngineFactory() {
  static const WebViewFactory factory = []() -> WebViewFactory {
    // Chromium refuses to run as root inside its sandbox, and there is no
    // GPU behind the headless platforms.
    if (geteuid() == 0) SetDefault("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const QString qpa = QGuiApplication::platformName();
    if (qpa == QLatin1String("offscreen") || qpa == QLatin1String("minimal"))
      SetDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    // The library lies beside the platform library.
    Dl_info info{};
    std::string path = "libkivoweb.so";
    if (dladdr(reinterpret_cast<void *>(&AllowWebEngine), &info) && info.dli_fname) {
      std::string self = info.dli_fname;
      if (size_t slash = self.rfind('/'); slash != std::string::npos) path = self.substr(0, slash + 1) + path;
    }
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char *error = dlerror();
      OutputDebugStringA(("web engine not loaded: " + std::string(error ? error : path)).c_str());
      return nullptr;
    }
    return reinterpret_cast<WebViewFactory>(dlsym(library, kWebViewFactorySymbol));
  }();
  return factory;
}

bool IsWebAddress(const QUrl &url) { return url.isValid() && !url.isLocalFile() && url.scheme().size() > 1; }

}  // namespace

void AllowWebEngine(bool allow) { g_engineAllowed = allow; }

void PrepareWebEngine() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

}  // namespace platform

TWebBrowser::TWebBrowser(TComponent *owner) : TWinControl(owner), alive_(std::make_shared<TWebBrowser *>(this)) {
  SetBounds(0, 0, 300, 150);
}

TWebBrowser::~TWebBrowser() {
  *alive_ = nullptr;
  BeginDestroy();
}

void TWebBrowser::CreateHandle() {
  TWinControl::CreateHandle();
  platform::WebViewFactory factory = nullptr;
  if (platform::g_engineAllowed && qobject_cast<QApplication *>(QCoreApplication::instance()))
    factory = platform::EngineFactory();
  if (factory) {
    platform::WebView::Events events;
    std::shared_ptr<TWebBrowser *> alive = alive_;
    events.urlChanged = [alive](const QUrl &url) {
      if (*alive) (*alive)->location_ = platform::Gbk(url.toString());
    };
    events.loadFinished = [alive](bool) {
      if (*alive) (*alive)->Complete();
    };
    events.titleChanged = [alive](const QString &title) {
      TWebBrowser *self = *alive;
      if (!self) return;
      self->title_ = platform::Gbk(title);
      if (self->OnTitleChange) self->OnTitleChange(self, self->title_);
    };
    view_ = factory(std::move(events));
  }
  if (view_) {
    // Mouse buttons inside the page go through our messages first, so that
    // the application's message hook may keep them from the page.
    platform::WrapQtWidget(Handle(), view_->Widget(), true);
  } else {
    auto *browser = new QTextBrowser;
    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
    QObject::connect(browser, &QTextBrowser::anchorClicked, browser, [this](const QUrl &url) {
      LinkClicked(platform::Gbk(url.toString()));
    });
    platform::WrapQtWidget(Handle(), browser);
  }
  if (historyAt_ > 0) Show(history_[historyAt_ - 1]);
}

void TWebBrowser::DestroyHandle() {
  // The window's widget takes the engine's view with it.
  view_ = nullptr;
  TWinControl::DestroyHandle();
}

bool TWebBrowser::Navigate(const std::string &address) {
  QUrl url(FromGbk(address.c_str()));
  std::string entry = address;
  if (!platform::IsWebAddress(url)) {
    std::string path = url.isLocalFile() ? platform::Gbk(url.toLocalFile()) : address;
    entry = platform::ResolvePath(path.c_str());
    if (entry.empty() || !QFile::exists(QFile::decodeName(entry.c_str()))) return false;
  }
  location_ = address;
  if (view_) {
    Show(entry);
    return true;
  }
  // Forward history ends where a new page is opened.
  history_.resize(historyAt_);
  history_.push_back(entry);
  historyAt_ = history_.size();
  Show(entry);
  return true;
}

void TWebBrowser::Show(const std::string &entry) {
  QUrl url(FromGbk(entry.c_str()));
  const bool web = platform::IsWebAddress(url);
  if (!web) url = QUrl::fromLocalFile(QFile::decodeName(entry.c_str()));
  if (view_) {
    view_->Load(url);
    return;
  }
  QWidget *widget = HandleAllocated() ? platform::WrappedWidget(Handle()) : nullptr;
  auto *browser = qobject_cast<QTextBrowser *>(widget);
  if (!browser) return;
  if (web) {
    // A web site is for the system browser; the link leads there.
    browser->document()->setBaseUrl(QUrl());
    browser->setHtml(QStringLiteral("<a href=\"%1\">%2</a>")
                         .arg(QString::fromUtf8(url.toEncoded()), url.toString().toHtmlEscaped()));
    Complete();
    return;
  }
  // The system's pages are GBK unless they say they are UTF-8.
  QFile file(url.toLocalFile());
  if (!file.open(QIODevice::ReadOnly)) return;
  QByteArray bytes = file.readAll();
  bool utf8 = bytes.left(1024).toLower().contains("charset=utf-8");
  QString text = utf8 ? QString::fromUtf8(bytes) : FromGbk(bytes.constData(), int(bytes.size()));
  QString name = file.fileName().toLower();
  browser->document()->setBaseUrl(url);
  if (name.endsWith(QStringLiteral(".htm")) || name.endsWith(QStringLiteral(".html")))
    browser->setHtml(text);
  else
    browser->setPlainText(text);
  title_ = platform::Gbk(browser->documentTitle());
  if (OnTitleChange) OnTitleChange(this, title_);
  Complete();
}

void TWebBrowser::Complete() {
  if (OnDocumentComplete) OnDocumentComplete(this, location_);
}

void TWebBrowser::GoBack() {
  if (view_) {
    view_->Back();
    return;
  }
  if (historyAt_ <= 1) return;
  --historyAt_;
  const std::string &entry = history_[historyAt_ - 1];
  location_ = platform::IsWebAddress(QUrl(FromGbk(entry.c_str()))) ? entry : platform::ToWindowsPath(entry);
  Show(entry);
}

void TWebBrowser::GoForward() {
  if (view_) {
    view_->Forward();
    return;
  }
  if (historyAt_ >= history_.size()) return;
  ++historyAt_;
  const std::string &entry = history_[historyAt_ - 1];
  location_ = platform::IsWebAddress(QUrl(FromGbk(entry.c_str()))) ? entry : platform::ToWindowsPath(entry);
  Show(entry);
}

std::string TWebBrowser::DocumentText() {
  auto *browser = HandleAllocated() ? qobject_cast<QTextBrowser *>(platform::WrappedWidget(Handle())) : nullptr;
  return browser ? platform::Gbk(browser->toPlainText()) : std::string();
}

void TWebBrowser::LinkClicked(const std::string &address) {
  QUrl url(FromGbk(address.c_str()));
  if (url.isRelative() && historyAt_ > 0) {
    // A link inside a local page names a file beside it.
    QUrl base = QUrl::fromLocalFile(QFile::decodeName(history_[historyAt_ - 1].c_str()));
    url = base.resolved(url);
  }
  if (url.isLocalFile()) {
    QByteArray bytes = QFile::encodeName(url.toLocalFile());
    Navigate(platform::ToWindowsPath(std::string(bytes.constData(), size_t(bytes.size()))));
    return;
  }
  platform::OpenInWebBrowser(address);
}

void TWebBrowser::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      TWinControl::WndProc(m);
      // What no hook kept back goes on to the page.
      if (view_) platform::ReplayMouse(Handle(), m.Msg, m.WParam, m.LParam);
      return;
    case WM_KEYDOWN:
    case WM_KEYUP:
      TWinControl::WndProc(m);
      if (m.WParam && view_) platform::ReplayKey(Handle(), m.Msg, m.WParam, m.LParam);
      return;
    case WM_CHAR:
      TWinControl::WndProc(m);
      if (m.WParam && view_) platform::ReplayChar(Handle(), m.WParam);
      return;
    case WM_SIZE:
      TWinControl::WndProc(m);
      platform::FitWrapped(Handle());
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}
