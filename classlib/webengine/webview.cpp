// The web-browser control's engine: a Qt WebEngine view behind the small
// interface of classlib/webview.h. This is the only source that sees
// Qt WebEngine; the control loads it as a library when it first needs it.
#include "classlib/webview.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

class EngineView final : public platform::WebView {
 public:
  explicit EngineView(Events events) : view_(new QWebEngineView) {
    // The system's pages are GBK unless they say otherwise.
    view_->settings()->setDefaultTextEncoding(QStringLiteral("GBK"));
    QObject::connect(view_, &QWebEngineView::urlChanged, view_, [events](const QUrl &url) {
      if (events.urlChanged) events.urlChanged(url);
    });
    QObject::connect(view_, &QWebEngineView::loadFinished, view_, [events](bool ok) {
      if (events.loadFinished) events.loadFinished(ok);
    });
    QObject::connect(view_, &QWebEngineView::titleChanged, view_, [events](const QString &title) {
      if (events.titleChanged) events.titleChanged(title);
    });
    // The view goes with its widget.
    QObject::connect(view_, &QObject::destroyed, [this] { delete this; });
  }

  QWidget *Widget() override { return view_; }
  void Load(const QUrl &url) override { view_->load(url); }
  void Back() override { view_->back(); }
  void Forward() override { view_->forward(); }
  QUrl Url() const override { return view_->url(); }
  QString Title() const override { return view_->title(); }

 private:
  QWebEngineView *view_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) platform::WebView *KivoCreateWebView(platform::WebView::Events events) {
  return new EngineView(std::move(events));
}
