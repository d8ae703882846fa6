#pragma once
// What both kinds of web view share: the page shown and the scroll view that holds it
// (its content size the page's height), the history, the load in flight, a table of
// script answers in place of a script engine, and what a person reads and taps of the
// page. Nothing is rendered; pages load through the shared URL session, so their
// requests carry the headers they were given and the cookies of the process.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/URLRequest.h"
#include "uikit/UIScrollView.h"
#include "webkit/WebHistory.h"
#include "webkit/WebPage.h"
#include "webkit/WebPageLoad.h"

class WebContentView : public UIView {
 public:
  explicit WebContentView(CGRect frame);
  ~WebContentView() override;

  UIScrollView* scrollView() const { return scrollView_.get(); }
  const WebPage& page() const { return page_; }
  bool isLoading() const { return loading_; }
  double estimatedProgress() const { return progress_; }
  bool canGoBack() const { return history_.canGoBack(); }
  bool canGoForward() const { return history_.canGoForward(); }

  // What the page's scripts would answer: a script not in the table answers nothing.
  // Every script the view is asked to run is kept, in order.
  void setScriptAnswer(const std::string& script, std::string answer);
  const std::vector<std::string>& evaluatedScripts() const { return evaluated_; }

  // A person's tap on a link of the page, named by its text or its address as written.
  bool tapLinkByUser(const std::string& textOrHref);

  void layoutSubviews() override;
  bool appendScreenText(std::vector<std::string>& lines) const override;
  std::vector<UIViewTapTarget> tapTargets() override;

 protected:
  // A link the person tapped, resolved; `newWindow` for a link that targets one.
  virtual void linkActivated(const URLRequest& request, bool newWindow) = 0;
  // The platform's own user agent for this device and system.
  static std::string platformUserAgent();
  // Every request the view sends passes here first.
  virtual void prepareRequest(URLRequest&) {}
  virtual void loadingDidChange() {}
  virtual void progressDidChange() {}

  // Sends the request; `done` runs on the main thread unless cancelled first.
  void fetch(URLRequest request, WebPageLoad::Completion done);
  void cancelFetch();
  void setLoading(bool loading);
  void setProgress(double progress);
  enum class HistoryMode { Push, Replace, Move };
  // Shows a page; `offset` is the history step of a back or forward move.
  void showPage(WebPage page, const URLRequest& request, HistoryMode mode, long offset = 0);
  std::optional<std::string> answerScript(const std::string& script);
  std::optional<URLRequest> historyEntry(long offset) const { return history_.entry(offset); }

 private:
  void sizeContent();

  std::shared_ptr<UIScrollView> scrollView_;
  WebPage page_;
  WebHistory history_;
  std::shared_ptr<WebPageLoad> load_;
  bool loading_ = false;
  double progress_ = 0;
  std::vector<std::pair<std::string, std::string>> scripts_;
  std::vector<std::string> evaluated_;
};
