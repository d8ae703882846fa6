// The parser's documents, its queues, and the native JSON depiction.
#include "package/KVDepictionsParser.h"

#include "foundation/BlockHelpers.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLSession.h"
#include "html/HTMLDocument.h"

namespace {

// A value counts when it is there and is text; anything else the depiction wrote there
// (null, a number, a list) reads as absent.
const std::string* textOf(const Value& view, const char* key) { return view[key].stringPtr(); }

const Value::Array& arrayOf(const Value& value, const char* key) {
  static const Value::Array none;
  const Value::Array* array = value[key].arrayPtr();
  return array ? *array : none;
}

bool isChangelogTab(const Value& tab) {
  const std::string* name = textOf(tab, "tabname");
  return name && (*name == "Changelog" || *name == "Change Log");
}

void append(std::optional<std::string>& text, const std::string& part, const char* separator) {
  text = text ? *text + separator + part : part;
}

// The top-level views of the content tabs, in order.
template <class Visit>
void forEachContentView(const Value& depiction, Visit visit) {
  for (const Value& tab : arrayOf(depiction, "tabs")) {
    if (isChangelogTab(tab)) continue;
    for (const Value& view : arrayOf(tab, "views"))
      if (!visit(view)) return;
  }
}

// The newest entry of one changelog tab, added to `text`: the first header title opens
// it, the next title or a separator inside a stack closes it.
void walkChangelogTab(const Value& tab, std::optional<std::string>& text) {
  for (const Value& first : arrayOf(tab, "views")) {
    if (first["views"].isArray()) {
      for (const Value& second : arrayOf(first, "views")) {
        if (second["views"].isArray()) {
          for (const Value& third : arrayOf(second, "views"))
            if (const std::string* t = textOf(third, "text"); t && !t->empty()) append(text, *t, "\n\n");
        } else if (const std::string* c = textOf(second, "class"); c && *c == "DepictionSeparatorView") {
          return;
        } else if (const std::string* markdown = textOf(second, "markdown")) {
          append(text, *markdown, "<br />");
        }
      }
    } else if (const std::string* title = textOf(first, "title")) {
      if (text) return;
      text = *title;
    } else if (const std::string* markdown = textOf(first, "markdown")) {
      append(text, *markdown, "<br />");
    }
  }
}

}  // namespace

// ---- The parser and its documents

std::shared_ptr<KVDepictionsParser> KVDepictionsParser::instance() {
  static const std::shared_ptr<KVDepictionsParser> shared = make();
  return shared;
}

std::shared_ptr<KVDepictionsParser> KVDepictionsParser::make() {
  return std::shared_ptr<KVDepictionsParser>(new KVDepictionsParser());
}

void KVDepictionsParser::depictionsParserWithData(const Data& bytes) {
  std::shared_ptr<const html::HTMLDocument> document = html::HTMLDocument::documentWithData(bytes, std::nullopt);
  std::lock_guard lock(mutex_);
  htmlDoc_ = std::move(document);
}

void KVDepictionsParser::depictionsParserWithSileoData(const Data& bytes) {
  std::shared_ptr<const Value> depiction;
  if (auto value = Value::fromJSON(bytes); value && value->isDictionary())
    depiction = std::make_shared<const Value>(std::move(*value));
  std::lock_guard lock(mutex_);
  sileoDepiction_ = std::move(depiction);
}

std::shared_ptr<const html::HTMLDocument> KVDepictionsParser::htmlDoc() const {
  std::lock_guard lock(mutex_);
  return htmlDoc_;
}

std::shared_ptr<const Value> KVDepictionsParser::sileoDepiction() const {
  std::lock_guard lock(mutex_);
  return sileoDepiction_;
}

void KVDepictionsParser::inBackground(std::function<void(KVDepictionsParser&)> work) {
  performOnBackgroundThread([self = shared_from_this(), work = std::move(work)] { work(*self); });
}

void KVDepictionsParser::fetch(const std::string& address, std::function<void(std::optional<Data>)> done) {
  auto url = URL::fromString(address);
  if (!url || !url->isHTTP()) return done(std::nullopt);
  URLRequest request(*url);
  request.setReplyLimits(URLReplyKinds::kWebPage);
  URLSession::sharedSession()
      ->dataTaskWithRequest(request, [done = std::move(done)](std::optional<Data> data, URLResponseRef, ErrorRef error) {
        done(error ? std::nullopt : std::move(data));
      })
      ->resume();
}

// ---- The native depiction

std::optional<std::string> KVDepictionsParser::Native::topLevelText(const Value& depiction, const char* key) {
  const std::string* text = textOf(depiction, key);
  return text ? std::optional(*text) : std::nullopt;
}

std::optional<std::string> KVDepictionsParser::Native::changelog(const Value& depiction) {
  std::optional<std::string> text;
  for (const Value& tab : arrayOf(depiction, "tabs"))
    if (isChangelogTab(tab)) walkChangelogTab(tab, text);
  return text;
}

std::optional<std::string> KVDepictionsParser::Native::externalChangelog(const Value& depiction) {
  std::optional<std::string> address;
  forEachContentView(depiction, [&](const Value& view) {
    const std::string* title = textOf(view, "title");
    if (!title || *title != "Changelog") return true;
    address = topLevelText(view, "action");
    return false;
  });
  return address;
}

std::optional<std::string> KVDepictionsParser::Native::description(const Value& depiction) {
  std::optional<std::string> text;
  forEachContentView(depiction, [&](const Value& view) {
    if (const std::string* markdown = textOf(view, "markdown")) append(text, *markdown, "\n");
    return true;
  });
  return text;
}

std::vector<std::string> KVDepictionsParser::Native::screenshots(const Value& depiction) {
  std::vector<std::string> addresses;
  forEachContentView(depiction, [&](const Value& view) {
    for (const Value& item : arrayOf(view, "screenshots"))
      if (const std::string* url = textOf(item, "url")) addresses.push_back(*url);
    return true;
  });
  return addresses;
}

std::map<std::string, std::string> KVDepictionsParser::Native::packageInformations(const Value& depiction) {
  std::map<std::string, std::string> rows;
  forEachContentView(depiction, [&](const Value& view) {
    const std::string* type = textOf(view, "class");
    const std::string* title = textOf(view, "title");
    const std::string* text = textOf(view, "text");
    if (type && *type == "DepictionTableTextView" && title && text) rows[*title] = *text;
    return true;
  });
  return rows;
}

// Each native retrieval reads the depiction as it is when it runs; none reads as an
// empty depiction.
namespace {
template <class Result, class Read>
void retrieveNative(KVDepictionsParser& parser, std::function<void(Result)> handler, Read read) {
  auto depiction = parser.sileoDepiction();
  handler(read(depiction ? *depiction : Value()));
}
}  // namespace

void KVDepictionsParser::retrieveBannerURLFromSileoDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::topLevelText(d, "headerImage"); });
  });
}

void KVDepictionsParser::retrieveTintColorFromSileoDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::topLevelText(d, "tintColor"); });
  });
}

void KVDepictionsParser::retrieveChangelogFromSileoDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::changelog(d); });
  });
}

void KVDepictionsParser::retrieveExternalChangelogFromSileoDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::externalChangelog(d); });
  });
}

void KVDepictionsParser::retrieveDescriptionFromSileoDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::description(d); });
  });
}

void KVDepictionsParser::retrieveScreenshotsFromSileoDepiction(AddressesHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::screenshots(d); });
  });
}

void KVDepictionsParser::retrievePackageInformationsFromSileoDepiction(InformationsHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrieveNative(self, handler, [](const Value& d) { return Native::packageInformations(d); });
  });
}
