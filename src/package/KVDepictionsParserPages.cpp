// The three repositories' HTML pages: what each gives, and the pages they link.
//
// Where a part collects the elements inside others ("every image of the description
// fieldsets", "the paragraphs of every division"), each is taken once, in document order,
// however many of those others enclose it; and a division's text is taken only from the
// outermost divisions, whose text holds that of the ones inside them. Taken once per
// enclosing element, nested elements would repeat their text, and a page of deeply
// nested divisions would cost the square of its size.
#include "core/KVKnownRepositories.h"
#include "foundation/BlockHelpers.h"
#include "foundation/URL.h"
#include "html/HTMLDocument.h"
#include "package/KVDepictionsParser.h"
#include "package/KVHTMLIndex.h"

using html::HTMLDocument;
using html::HTMLElement;
using Pages = KVDepictionsParser::Pages;

namespace {

using Elements = std::vector<const HTMLElement*>;

const HTMLElement* firstOf(const Elements& elements) { return elements.empty() ? nullptr : elements.front(); }

bool attributeEquals(const HTMLElement& element, std::u16string_view name, std::u16string_view value) {
  const html::String* found = element.objectForKeyedSubscript(name);
  return found && *found == value;
}

Elements withAttribute(const Elements& elements, std::u16string_view name, std::u16string_view value) {
  Elements out;
  for (const HTMLElement* e : elements)
    if (attributeEquals(*e, name, value)) out.push_back(e);
  return out;
}

std::optional<std::string> sourceOf(const HTMLElement& image) {
  const html::String* source = image.objectForKeyedSubscript(u"src");
  return source ? std::optional(html::toUTF8(*source)) : std::nullopt;
}

// The page's title up to the separator; none without a title or for a "404" page.
std::optional<std::string> titleName(const HTMLDocument& page, const std::string& separator) {
  KVHTMLIndex index(page);
  const HTMLElement* title = firstOf(index.elements("title"));
  if (!title) return std::nullopt;
  std::string name = index.text(*title);
  name = name.substr(0, name.find(separator));
  if (name.find("404") != std::string::npos) return std::nullopt;
  return name;
}

std::optional<std::string> joined(const std::vector<std::string>& parts, const char* separator) {
  std::optional<std::string> text;
  for (const auto& part : parts) text = text ? *text + separator + part : part;
  return text;
}

// The trailing white space the expression "\s+$" finds: ASCII breaks and spaces and the
// Unicode space separators.
bool isTrailingSpace(char16_t c) {
  return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r' || c == u' ' || c == 0x00A0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::string withoutTrailingSpace(const std::string& text) {
  html::String units = html::fromUTF8(text);
  while (!units.empty() && isTrailingSpace(units.back())) units.pop_back();
  return html::toUTF8(units);
}

std::shared_ptr<HTMLDocument> parsed(const Data& data) { return HTMLDocument::documentWithData(data, std::nullopt); }

}  // namespace

std::string Pages::resolved(const std::string& name, const std::string& pageURL) {
  auto page = URL::fromString(pageURL);
  auto url = page ? URL::fromString(name, *page) : std::nullopt;
  return url ? url->absoluteString() : name;
}

// ---- The large default repository's depiction page

std::optional<std::string> Pages::grandelName(const HTMLDocument& page) { return titleName(page, kGrandelTitleSeparator); }

std::optional<std::string> Pages::grandelDescription(const HTMLDocument& page) {
  KVHTMLIndex index(page);
  const HTMLElement* block = firstOf(withAttribute(index.elements("fieldset"), u"id", u"description"));
  if (!block) return std::nullopt;
  // Past the block's caption, "Description:" and its blanks: 13 characters.
  html::String text = html::fromUTF8(index.text(*block));
  return html::toUTF8(text.size() > 13 ? text.substr(13) : html::String());
}

std::optional<std::string> Pages::grandelChangelog(const HTMLDocument& page) {
  KVHTMLIndex index(page);
  for (const HTMLElement* block : index.elements("fieldset")) {
    const HTMLElement* label = index.first("label", *block);
    if (!label || !index.textEquals(*label, u"What's New")) continue;
    const HTMLElement* division = index.first("div", *block);
    if (!division) return std::nullopt;
    std::string text = index.text(*division);
    return text.find("\n\n") != std::string::npos ? withoutTrailingSpace(text) : text;
  }
  return std::nullopt;
}

std::vector<std::string> Pages::grandelScreenshots(const HTMLDocument& page, const std::string& pageURL) {
  KVHTMLIndex index(page);
  std::vector<std::string> addresses;
  Elements blocks = withAttribute(index.elements("fieldset"), u"id", u"description");
  for (const HTMLElement* image : index.inside(index.elements("img"), blocks))
    if (auto source = sourceOf(*image)) addresses.push_back(resolved(*source, pageURL));
  return addresses;
}

// ---- The outside store's information page

std::optional<std::string> Pages::morvikName(const HTMLDocument& page) { return titleName(page, " \u00B7 "); }

std::optional<std::string> Pages::morvikDescription(const HTMLDocument& page) {
  KVHTMLIndex index(page);
  const HTMLElement* panel = firstOf(index.elements("panel"));
  if (!panel) return std::nullopt;
  bool headingPassed = false;
  for (const auto& child : panel->childElementNodes()) {
    if (!headingPassed) {
      headingPassed = index.textEquals(*child, u"Description");
      continue;
    }
    if (child->tagName() != u"fieldset") continue;
    const HTMLElement* division = index.first("div", *child);
    if (!division) return std::nullopt;
    std::vector<std::string> parts;
    for (const auto& part : division->childElementNodes()) parts.push_back(index.text(*part));
    return joined(parts, "\n\n");
  }
  return std::nullopt;
}

std::optional<std::string> Pages::morvikChangelog(const HTMLDocument& changelogPage) {
  KVHTMLIndex index(changelogPage);
  const HTMLElement* panel = firstOf(index.elements("panel"));
  if (!panel) return std::nullopt;
  std::optional<std::string> text;
  for (const auto& child : panel->childElementNodes()) {
    if (!text) {
      text = index.text(*child) + "\n";
    } else if (child->tagName() == u"label") {
      *text += "\n\n" + index.text(*child) + "\n";
    } else if (child->tagName() == u"fieldset") {
      for (const auto& item : child->childElementNodes()) *text += "\n- " + index.text(*item);
    }
  }
  return text;
}

std::vector<std::string> Pages::morvikScreenshots(const HTMLDocument& page) {
  KVHTMLIndex index(page);
  std::vector<std::string> addresses;
  const HTMLElement* panel = firstOf(index.elements("panel"));
  if (!panel) return addresses;
  for (const HTMLElement* image : index.inside(index.elements("img"), {panel})) {
    if (attributeEquals(*image, u"class", u"icon")) continue;
    if (auto source = sourceOf(*image)) addresses.push_back(*source);
  }
  return addresses;
}

// ---- The depiction page with linked changelog and screenshot pages

std::optional<std::string> Pages::pevrinDescription(const HTMLDocument& page) {
  KVHTMLIndex index(page);
  std::vector<std::string> parts;
  Elements paragraphs = index.outermost(index.inside(index.elements("p"), index.elements("div")));
  for (const HTMLElement* paragraph : paragraphs) parts.push_back(index.text(*paragraph));
  return joined(parts, "\n\n");
}

bool Pages::links(const HTMLDocument& page, const char* name) {
  KVHTMLIndex index(page);
  std::u16string target = html::fromUTF8(name);
  return !withAttribute(index.elements("a"), u"href", target).empty();
}

std::optional<std::string> Pages::pevrinChangelog(const HTMLDocument& changelogPage) {
  KVHTMLIndex index(changelogPage);
  std::vector<std::string> parts;
  for (const HTMLElement* division : index.outermost(index.elements("div"))) parts.push_back(index.text(*division));
  return joined(parts, "\n\n");
}

std::vector<std::string> Pages::pevrinScreenshots(const HTMLDocument& screenshotsPage, const std::string& pageURL) {
  KVHTMLIndex index(screenshotsPage);
  std::vector<std::string> addresses;
  for (const HTMLElement* image : index.inside(index.elements("img"), index.elements("panel")))
    if (auto source = sourceOf(*image)) addresses.push_back(resolved(*source, pageURL));
  return addresses;
}

// ---- The external changelog page

std::optional<std::string> Pages::externalChangelog(const HTMLDocument& page) {
  KVHTMLIndex index(page);
  // Read from the last section back: the first that sets the result is the last to set it.
  const Elements& sections = index.elements("section");
  for (auto section = sections.rbegin(); section != sections.rend(); ++section) {
    const html::String* classes = (*section)->objectForKeyedSubscript(u"class");
    if (!classes || classes->find(u"content") == html::String::npos) continue;
    const HTMLElement* list = index.first("ul", **section);
    if (!list) return std::nullopt;
    if (!index.textContains(*list, u"Initial release")) return index.text(*list);
  }
  return std::nullopt;
}

// ---- The retrievals

namespace {
// Runs `read` on the page document as it is when it runs; without one, `none`.
template <class Result, class Read>
void retrievePage(KVDepictionsParser& parser, const std::function<void(Result)>& handler, Read read, Result none) {
  auto page = parser.htmlDoc();
  handler(page ? read(*page) : std::move(none));
}
}  // namespace

void KVDepictionsParser::retrieveNameFromGrandelDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::optional<std::string>>(self, handler, Pages::grandelName, std::nullopt);
  });
}

void KVDepictionsParser::retrieveDescriptionFromGrandelDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::optional<std::string>>(self, handler, Pages::grandelDescription, std::nullopt);
  });
}

void KVDepictionsParser::retrieveChangelogFromGrandelDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::optional<std::string>>(self, handler, Pages::grandelChangelog, std::nullopt);
  });
}

void KVDepictionsParser::retrieveScreenshotsFromGrandelDepictionForPackageWithURL(const std::string& pageURL,
                                                                                  AddressesHandler handler) {
  inBackground([pageURL, handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::vector<std::string>>(
        self, handler, [&](const HTMLDocument& page) { return Pages::grandelScreenshots(page, pageURL); }, {});
  });
}

void KVDepictionsParser::retrieveNameFromMorvikTypeDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::optional<std::string>>(self, handler, Pages::morvikName, std::nullopt);
  });
}

void KVDepictionsParser::retrieveDescriptionFromMorvikTypeDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::optional<std::string>>(self, handler, Pages::morvikDescription, std::nullopt);
  });
}

void KVDepictionsParser::retrieveChangelogFromMorvikTypeDepictionForPackageWithIdentifier(const std::string& identifier,
                                                                                         TextHandler handler) {
  // The store's own page of the package's changes; its answer goes to the main queue.
  std::string address = KVKnownRepositories::current().outsideStore + "/info/" +
                        URL::percentEncode(identifier, "+") + "/changelog.html";
  auto self = shared_from_this();
  fetch(address, [self, handler = std::move(handler)](std::optional<Data> data) {
    std::optional<std::string> changelog;
    if (data) changelog = Pages::morvikChangelog(*parsed(*data));
    performOnMainThread([handler, changelog] { handler(changelog); });
  });
}

void KVDepictionsParser::retrieveScreenshotsFromMorvikTypeDepiction(AddressesHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::vector<std::string>>(self, handler, Pages::morvikScreenshots, {});
  });
}

void KVDepictionsParser::retrieveDescriptionFromPevrinDepiction(TextHandler handler) {
  inBackground([handler = std::move(handler)](KVDepictionsParser& self) {
    retrievePage<std::optional<std::string>>(self, handler, Pages::pevrinDescription, std::nullopt);
  });
}

void KVDepictionsParser::retrieveChangelogFromPevrinDepictionForPackageWithURL(const std::string& pageURL,
                                                                              TextHandler handler) {
  inBackground([pageURL, handler = std::move(handler)](KVDepictionsParser& self) {
    auto page = self.htmlDoc();
    if (!page || !Pages::links(*page, "changelog.php")) return handler(std::nullopt);
    fetch(Pages::resolved("changelog.php", pageURL), [self = self.shared_from_this(), handler](std::optional<Data> data) {
      handler(data ? Pages::pevrinChangelog(*parsed(*data)) : std::nullopt);
    });
  });
}

void KVDepictionsParser::retrieveScreenshotsFromPevrinDepictionForPackageWithURL(const std::string& pageURL,
                                                                                OptionalAddressesHandler handler) {
  inBackground([pageURL, handler = std::move(handler)](KVDepictionsParser& self) {
    auto page = self.htmlDoc();
    if (!page || !Pages::links(*page, "screenshots.php")) return handler(std::nullopt);
    fetch(Pages::resolved("screenshots.php", pageURL),
          [self = self.shared_from_this(), pageURL, handler](std::optional<Data> data) {
            if (!data) return handler(std::nullopt);
            handler(Pages::pevrinScreenshots(*parsed(*data), pageURL));
          });
  });
}
