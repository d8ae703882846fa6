#pragma once
// What both kinds of web view share: the page shown and the scroll view that holds it
// (its content size the page's height), the history, the load in flight, a table of
// script answers in place of a script engine, and what a person reads, taps and fills
// in of the page: its title, text and links, and its forms as fields and buttons.
// Nothing is rendered; pages load with the process's cookies, redirects are followed one
// at a time, and every request the view sends (the page, each redirect, each form
// submission, each resource of the page) passes one hook before it goes.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/URLRequest.h"
#include "uikit/UIScrollView.h"
#include "webkit/WebHistory.h"
#include "webkit/WebPage.h"
#include "webkit/WebPageLoad.h"

class UIButton;
class UISwitch;
class UITextField;

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
  // The field of the page's forms a person types into, by its label (placeholder or
  // name); none when the page has no such field. Its text is what the form sends.
  UITextField* formField(const std::string& label) const;
  // Sends the form as a person pressing its submit button (by the button's caption) or,
  // without one, the return key in a field would; false when the page has no such form.
  bool submitFormByUser(const std::string& buttonCaption = {});

  void layoutSubviews() override;
  bool appendScreenText(std::vector<std::string>& lines) const override;
  std::vector<UIViewTapTarget> tapTargets() override;

 protected:
  // A link the person tapped, resolved; `newWindow` for a link that targets one.
  virtual void linkActivated(const URLRequest& request, bool newWindow) = 0;
  // The platform's own user agent for this device and system.
  static std::string platformUserAgent();
  // Every request the view sends passes here and is replaced by the answer: the page,
  // each redirect (with the reply that led to it), each form submission and each
  // resource of the page. The platform hands it an unchangeable request.
  virtual URLRequest willSendRequest(const URLRequest& request, const URLResponseRef& /*redirectResponse*/,
                                     bool /*subresource*/) {
    return request;
  }
  // Whether the page follows a redirect to `next` (which may be changed); the default
  // follows every one.
  virtual bool shouldFollowRedirect(URLRequest& /*next*/, const URLResponseRef& /*redirect*/) { return true; }
  // A form the person sent: the view navigates to the request as its kind does.
  virtual void formSubmitted(const URLRequest& request) = 0;
  virtual void loadingDidChange() {}
  virtual void progressDidChange() {}

  // Sends the request (and the redirects it leads to) through the hooks; `done` runs on
  // the main thread unless cancelled first.
  void fetch(URLRequest request, WebPageLoad::Completion done);
  // Loads the resources of the page shown (at most kMaximumSubresources), each through the
  // hook; `done` runs on the main thread once every one has ended, at once with none.
  void loadSubresources(std::function<void()> done);
  static constexpr size_t kMaximumSubresources = 32;
  // Cancels the page's load and its resources' loads.
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
  // The page's forms as fields, switches and buttons, below its text.
  void buildFormViews();
  // The request a form sends, with the values its views hold now.
  std::optional<URLRequest> formRequest(size_t form, std::optional<size_t> submitter) const;
  void submitForm(size_t form, std::optional<size_t> submitter);

  struct FormControl {
    size_t form, field;
    std::shared_ptr<UIView> view;
  };
  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UIView> formsView_;
  std::vector<FormControl> formControls_;
  std::vector<std::shared_ptr<WebPageLoad>> subresourceLoads_;
  WebPage page_;
  WebHistory history_;
  std::shared_ptr<WebPageLoad> load_;
  bool loading_ = false;
  double progress_ = 0;
  std::vector<std::pair<std::string, std::string>> scripts_;
  std::vector<std::string> evaluated_;
};
