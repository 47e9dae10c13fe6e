// The page view of the web-browser control when a real engine shows pages.
// The engine lives in a library of its own ("libkivoweb.so" beside the
// platform library) that the control loads the first time it makes a view,
// so that programs and tests which never show a page never load it. The
// library exports one function, kWebViewFactorySymbol, of type
// WebViewFactory.
#pragma once

#include <functional>

class QString;
class QUrl;
class QWidget;

namespace platform {

class WebView {
 public:
  struct Events {
    std::function<void(const QUrl &url)> urlChanged;
    std::function<void(bool ok)> loadFinished;
    std::function<void(const QString &title)> titleChanged;
  };
  virtual ~WebView() = default;
  // The view's widget; whoever takes it owns it (and the view with it).
  virtual QWidget *Widget() = 0;
  virtual void Load(const QUrl &url) = 0;
  virtual void Back() = 0;
  virtual void Forward() = 0;
  virtual QUrl Url() const = 0;
  virtual QString Title() const = 0;
};

using WebViewFactory = WebView *(*)(WebView::Events events);
inline constexpr char kWebViewFactorySymbol[] = "KivoCreateWebView";

}  // namespace platform
