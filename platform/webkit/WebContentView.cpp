#include "webkit/WebContentView.h"

#include <cctype>

#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIScreenTextFormat.h"
#include "uikit/UISwitch.h"
#include "uikit/UITextField.h"

namespace {
// A name or value as an application/x-www-form-urlencoded form writes it.
std::string formEncoded(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '*' || c == '-' || c == '.' || c == '_') out.push_back(c);
    else if (c == ' ') out.push_back('+');
    else {
      static const char* hex = "0123456789ABCDEF";
      out += '%';
      out += hex[u >> 4];
      out += hex[u & 15];
    }
  }
  return out;
}

constexpr double kFormRowHeight = 44;
}  // namespace

WebContentView::WebContentView(CGRect frame) : UIView(frame) {
  scrollView_ = std::make_shared<UIScrollView>(CGRect{{0, 0}, frame.size});
  addSubview(scrollView_);
}

WebContentView::~WebContentView() {
  if (load_) load_->cancel();
  for (auto& load : subresourceLoads_) load->cancel();
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
  URLRequest first = willSendRequest(request, nullptr, false);
  std::weak_ptr<UIView> self = weak_from_this();
  load_ = WebPageLoad::start(first, self, std::move(done),
                             [self](URLRequest next, const URLResponseRef& redirect) -> std::optional<URLRequest> {
                               auto view = std::static_pointer_cast<WebContentView>(self.lock());
                               if (!view || !view->shouldFollowRedirect(next, redirect)) return std::nullopt;
                               return view->willSendRequest(next, redirect, false);
                             });
}

void WebContentView::loadSubresources(std::function<void()> done) {
  std::vector<URLRequest> requests;
  for (const auto& address : page_.summary.subresources) {
    if (requests.size() >= kMaximumSubresources) break;
    auto url = page_.resolve(address);
    if (url && url->isHTTP()) requests.push_back(willSendRequest(URLRequest(url), nullptr, true));
  }
  if (requests.empty()) return done();
  auto waiting = std::make_shared<size_t>(requests.size());
  std::weak_ptr<UIView> self = weak_from_this();
  for (auto& request : requests) {
    subresourceLoads_.push_back(WebPageLoad::start(
        request, self,
        [waiting, done](const WebPageLoad::Result&) {
          if (--*waiting == 0) done();
        },
        [self](URLRequest next, const URLResponseRef& redirect) -> std::optional<URLRequest> {
          auto view = std::static_pointer_cast<WebContentView>(self.lock());
          if (!view) return std::nullopt;
          return view->willSendRequest(next, redirect, true);
        }));
  }
}

void WebContentView::cancelFetch() {
  if (load_) load_->cancel();
  load_.reset();
  for (auto& load : subresourceLoads_) load->cancel();
  subresourceLoads_.clear();
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
  buildFormViews();
  sizeContent();
}

void WebContentView::sizeContent() {
  double width = bounds().width();
  double text = page_.html.empty() ? 0 : page_.contentHeightAtWidth(width);
  double forms = formsView_ ? formsView_->frame().height() : 0;
  if (formsView_) formsView_->setFrame(CGRect::make(0, text, width, forms));
  scrollView_->setContentSize({width, text + forms});
}

void WebContentView::buildFormViews() {
  if (formsView_) formsView_->removeFromSuperview();
  formsView_.reset();
  formControls_.clear();
  double width = bounds().width(), y = 0;
  auto container = std::make_shared<UIView>();
  for (size_t f = 0; f < page_.summary.forms.size(); ++f) {
    const auto& fields = page_.summary.forms[f].fields;
    for (size_t i = 0; i < fields.size(); ++i) {
      const auto& field = fields[i];
      std::shared_ptr<UIView> view;
      using Kind = WebPageFormField::Kind;
      if (field.kind == Kind::Text || field.kind == Kind::Password) {
        auto text = std::make_shared<UITextField>();
        text->setPlaceholder(field.label);
        text->setText(field.value);
        text->setSecureTextEntry(field.kind == Kind::Password);
        // The return key sends the form, as a browser's implicit submission does.
        text->addTarget(this, [this, f](UIControl&) { submitForm(f, std::nullopt); }, UIControlEventEditingDidEndOnExit);
        view = text;
      } else if (field.kind == Kind::Choice) {
        auto choice = std::make_shared<UISwitch>();
        choice->setOn(field.checked);
        choice->setAccessibilityLabel(field.label);
        view = choice;
      } else if (field.kind == Kind::Submit) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitle(field.label);
        button->addTarget(this, [this, f, i](UIControl&) { submitForm(f, i); }, UIControlEventTouchUpInside);
        view = button;
      }
      if (!view) continue;
      view->setFrame(CGRect::make(8, y + 4, std::max(0.0, width - 16), kFormRowHeight - 8));
      container->addSubview(view);
      formControls_.push_back({f, i, view});
      y += kFormRowHeight;
    }
  }
  if (formControls_.empty()) return;
  container->setFrame(CGRect::make(0, 0, width, y));
  formsView_ = container;
  scrollView_->addSubview(container);
}

UITextField* WebContentView::formField(const std::string& label) const {
  for (const auto& control : formControls_) {
    auto* field = dynamic_cast<UITextField*>(control.view.get());
    const auto& source = page_.summary.forms[control.form].fields[control.field];
    if (field && (source.label == label || source.name == label)) return field;
  }
  return nullptr;
}

bool WebContentView::submitFormByUser(const std::string& buttonCaption) {
  UI_MAIN_THREAD_ONLY();
  for (const auto& control : formControls_) {
    const auto& field = page_.summary.forms[control.form].fields[control.field];
    if (buttonCaption.empty() || (field.kind == WebPageFormField::Kind::Submit && field.label == buttonCaption)) {
      submitForm(control.form, buttonCaption.empty() ? std::nullopt : std::optional<size_t>(control.field));
      return true;
    }
  }
  return false;
}

std::optional<URLRequest> WebContentView::formRequest(size_t form, std::optional<size_t> submitter) const {
  const WebPageForm& source = page_.summary.forms.at(form);
  auto action = source.action.empty() ? page_.url : page_.resolve(source.action);
  if (!action) return std::nullopt;
  std::string encoded;
  auto add = [&](const std::string& name, const std::string& value) {
    if (name.empty()) return;
    encoded += (encoded.empty() ? "" : "&") + formEncoded(name) + "=" + formEncoded(value);
  };
  for (size_t i = 0; i < source.fields.size(); ++i) {
    const auto& field = source.fields[i];
    const UIView* view = nullptr;
    for (const auto& control : formControls_)
      if (control.form == form && control.field == i) view = control.view.get();
    using Kind = WebPageFormField::Kind;
    switch (field.kind) {
      case Kind::Text:
      case Kind::Password:
        add(field.name, view ? static_cast<const UITextField*>(view)->text() : field.value);
        break;
      case Kind::Hidden: add(field.name, field.value); break;
      case Kind::Choice:
        if (view ? static_cast<const UISwitch*>(view)->isOn() : field.checked) add(field.name, field.value);
        break;
      case Kind::Submit:
        if (submitter == i) add(field.name, field.value);
        break;
      case Kind::Other: break;
    }
  }
  URLRequest request;
  if (source.method == "post") {
    request.setURL(action);
    request.setHTTPMethod("POST");
    request.setValue("application/x-www-form-urlencoded", "Content-Type");
    request.setHTTPBody(Data(encoded.begin(), encoded.end()));
  } else {
    // A GET form replaces the action's query with its fields.
    std::string address = action->absoluteString();
    address = address.substr(0, address.find_first_of("?#"));
    request.setURL(URL::fromString(address + "?" + encoded));
    if (!request.url()) return std::nullopt;
  }
  return request;
}

void WebContentView::submitForm(size_t form, std::optional<size_t> submitter) {
  if (auto request = formRequest(form, submitter)) formSubmitted(*request);
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
  if (!formsView_) return true;
  std::vector<std::string> controls;
  for (const auto& control : formControls_) {
    if (auto* choice = dynamic_cast<const UISwitch*>(control.view.get())) {
      controls.push_back("  " + choice->accessibilityLabel() + " " + choice->screenLabel());
      continue;
    }
    std::vector<std::string> own;
    control.view->appendScreenText(own);
    for (auto& line : own) controls.push_back("  " + line);
  }
  lines.insert(lines.end(), controls.begin(), controls.end());
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
