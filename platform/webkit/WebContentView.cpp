#include "webkit/WebContentView.h"

#include "uikit/UIDevice.h"
#include "uikit/UIScreenTextFormat.h"

WebContentView::WebContentView(CGRect frame) : UIView(frame) {
  scrollView_ = std::make_shared<UIScrollView>(CGRect{{0, 0}, frame.size});
  addSubview(scrollView_);
}

WebContentView::~WebContentView() {
  if (load_) load_->cancel();
}

std::string WebContentView::platformUserAgent() {
  const UIDevice& device = UIDevice::currentDevice();
  std::string version = device.systemVersion();
  for (char& c : version)
    if (c == '.') c = '_';
  bool pad = device.userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  return "Mozilla/5.0 (" + std::string(pad ? "iPad; CPU OS " : "iPhone; CPU iPhone OS ") + version +
         " like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko)";
}

void WebContentView::setScriptAnswer(const std::string& script, std::string answer) {
  for (auto& [s, a] : scripts_)
    if (s == script) {
      a = std::move(answer);
      return;
    }
  scripts_.emplace_back(script, std::move(answer));
}

std::optional<std::string> WebContentView::answerScript(const std::string& script) {
  evaluated_.push_back(script);
  for (auto& [s, a] : scripts_)
    if (s == script) return a;
  return std::nullopt;
}

bool WebContentView::tapLinkByUser(const std::string& textOrHref) {
  for (auto& link : page_.summary.links) {
    if (link.text != textOrHref && link.href != textOrHref) continue;
    auto url = page_.resolve(link.href);
    if (!url) return false;
    linkActivated(URLRequest(url), link.target == "_blank");
    return true;
  }
  return false;
}

void WebContentView::fetch(URLRequest request, WebPageLoad::Completion done) {
  cancelFetch();
  prepareRequest(request);
  load_ = WebPageLoad::start(request, weak_from_this(), std::move(done));
}

void WebContentView::cancelFetch() {
  if (load_) load_->cancel();
  load_.reset();
}

void WebContentView::setLoading(bool loading) {
  if (loading == loading_) return;
  loading_ = loading;
  loadingDidChange();
}

void WebContentView::setProgress(double progress) {
  if (progress == progress_) return;
  progress_ = progress;
  progressDidChange();
}

void WebContentView::showPage(WebPage page, const URLRequest& request, HistoryMode mode, long offset) {
  load_.reset();
  page_ = std::move(page);
  URLRequest shown = request;
  if (page_.url) shown.setURL(page_.url);
  switch (mode) {
    case HistoryMode::Push: history_.push(shown); break;
    case HistoryMode::Replace: history_.replaceCurrent(shown); break;
    case HistoryMode::Move: history_.move(offset); break;
  }
  sizeContent();
}

void WebContentView::sizeContent() {
  double width = bounds().width();
  scrollView_->setContentSize({width, page_.html.empty() ? 0 : page_.contentHeightAtWidth(width)});
}

void WebContentView::layoutSubviews() {
  scrollView_->setFrame(bounds());
  if (scrollView_->contentSize().width != bounds().width()) sizeContent();
}

bool WebContentView::appendScreenText(std::vector<std::string>& lines) const {
  std::string where = page_.url ? page_.url->absoluteString() : "no page";
  if (loading_) {
    lines.push_back("web page: loading (" + std::to_string(int(progress_ * 100)) + "%)");
    return true;
  }
  std::string title = page_.summary.title.empty() ? where : page_.summary.title + " (" + where + ")";
  lines.push_back("web page: " + UIScreenTextFormat::oneLine(title));
  std::string text = page_.summary.text();
  if (!text.empty()) lines.push_back("  " + UIScreenTextFormat::oneLine(text, 400));
  if (!page_.summary.links.empty()) {
    std::string links = "  links:";
    for (auto& link : page_.summary.links) links += " [" + UIScreenTextFormat::oneLine(link.text.empty() ? link.href : link.text) + "]";
    lines.push_back(links);
  }
  return true;
}

std::vector<UIViewTapTarget> WebContentView::tapTargets() {
  std::vector<UIViewTapTarget> out;
  for (auto& link : page_.summary.links) {
    std::string name = link.text.empty() ? link.href : link.text;
    out.push_back({name, [this, name] { return tapLinkByUser(name); }});
  }
  return out;
}
