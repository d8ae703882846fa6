#pragma once
// Reads a package's depiction into what its page shows: a name, a description, a
// changelog text or the address of an external changelog page, a banner address and
// screenshot addresses. Four kinds of depiction: the native JSON depiction a package
// names (its "tabs" of "views"), and three repositories' HTML pages, read with our HTML
// library: the large default repository's depiction page, the outside store's
// information page (which two default repositories share) and the depiction page of the
// repository with linked changelog and screenshot pages.
//
// A parser holds the last document loaded into it. Every load of a page makes a parser
// of its own, so what one page asks is never answered from another page's document; the
// shared `instance` is kept for callers that want one. Every retrieval returns at once
// and calls its handler exactly once: on a background queue, except the store page's
// changelog (the main queue) and the linked pages' changelog and screenshots (the URL
// session's queue once they fetched). A retrieval holds its parser, so its document
// stays until the handler ran.
//
// Depictions are the repositories' data: anything of an unexpected shape reads as
// absent, and no document of any size or depth costs more than time linear in its size.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace html {
class HTMLDocument;
}

class KVDepictionsParser : public std::enable_shared_from_this<KVDepictionsParser> {
 public:
  using TextHandler = std::function<void(std::optional<std::string>)>;
  using AddressesHandler = std::function<void(std::vector<std::string>)>;
  // Nothing (not even an empty list) for the linked screenshot page that was not there.
  using OptionalAddressesHandler = std::function<void(std::optional<std::vector<std::string>>)>;
  using InformationsHandler = std::function<void(std::map<std::string, std::string>)>;

  // The process-wide parser.
  static std::shared_ptr<KVDepictionsParser> instance();
  // A parser of its own, for one load.
  static std::shared_ptr<KVDepictionsParser> make();

  // Parses HTML bytes (any encoding, sniffed) as the document the page kinds read.
  void depictionsParserWithData(const Data& html);
  // Reads JSON bytes as the native depiction; bytes that are no JSON object read as none.
  void depictionsParserWithSileoData(const Data& json);
  std::shared_ptr<const html::HTMLDocument> htmlDoc() const;
  std::shared_ptr<const Value> sileoDepiction() const;

  // ---- The native depiction
  void retrieveBannerURLFromSileoDepiction(TextHandler handler);
  void retrieveTintColorFromSileoDepiction(TextHandler handler);
  void retrieveChangelogFromSileoDepiction(TextHandler handler);
  void retrieveExternalChangelogFromSileoDepiction(TextHandler handler);
  void retrieveDescriptionFromSileoDepiction(TextHandler handler);
  void retrieveScreenshotsFromSileoDepiction(AddressesHandler handler);
  void retrievePackageInformationsFromSileoDepiction(InformationsHandler handler);

  // ---- The large default repository's depiction page
  void retrieveNameFromGrandelDepiction(TextHandler handler);
  void retrieveDescriptionFromGrandelDepiction(TextHandler handler);
  void retrieveChangelogFromGrandelDepiction(TextHandler handler);
  void retrieveScreenshotsFromGrandelDepictionForPackageWithURL(const std::string& pageURL, AddressesHandler handler);

  // ---- The outside store's information page
  void retrieveNameFromMorvikTypeDepiction(TextHandler handler);
  void retrieveDescriptionFromMorvikTypeDepiction(TextHandler handler);
  // Fetches the store's changelog page of the package.
  void retrieveChangelogFromMorvikTypeDepictionForPackageWithIdentifier(const std::string& identifier,
                                                                        TextHandler handler);
  void retrieveScreenshotsFromMorvikTypeDepiction(AddressesHandler handler);

  // ---- The depiction page with linked changelog and screenshot pages
  void retrieveDescriptionFromPevrinDepiction(TextHandler handler);
  void retrieveChangelogFromPevrinDepictionForPackageWithURL(const std::string& pageURL, TextHandler handler);
  void retrieveScreenshotsFromPevrinDepictionForPackageWithURL(const std::string& pageURL,
                                                               OptionalAddressesHandler handler);

  // ---- What the retrievals read, on documents given (also for tests and benchmarks).
  struct Native {
    static std::optional<std::string> topLevelText(const Value& depiction, const char* key);
    static std::optional<std::string> changelog(const Value& depiction);
    static std::optional<std::string> externalChangelog(const Value& depiction);
    static std::optional<std::string> description(const Value& depiction);
    static std::vector<std::string> screenshots(const Value& depiction);
    static std::map<std::string, std::string> packageInformations(const Value& depiction);
  };
  struct Pages {
    // The large default repository's page title ends in this, after the package's name.
    static constexpr const char* kGrandelTitleSeparator = " - Grandel Repository - ";
    static std::optional<std::string> grandelName(const html::HTMLDocument& page);
    static std::optional<std::string> grandelDescription(const html::HTMLDocument& page);
    static std::optional<std::string> grandelChangelog(const html::HTMLDocument& page);
    static std::vector<std::string> grandelScreenshots(const html::HTMLDocument& page, const std::string& pageURL);
    static std::optional<std::string> morvikName(const html::HTMLDocument& page);
    static std::optional<std::string> morvikDescription(const html::HTMLDocument& page);
    static std::optional<std::string> morvikChangelog(const html::HTMLDocument& changelogPage);
    static std::vector<std::string> morvikScreenshots(const html::HTMLDocument& page);
    static std::optional<std::string> pevrinDescription(const html::HTMLDocument& page);
    // Whether the page links the named page ("changelog.php", "screenshots.php").
    static bool links(const html::HTMLDocument& page, const char* name);
    static std::optional<std::string> pevrinChangelog(const html::HTMLDocument& changelogPage);
    static std::vector<std::string> pevrinScreenshots(const html::HTMLDocument& screenshotsPage,
                                                      const std::string& pageURL);
    // The external changelog page a native depiction points to: of the sections whose
    // class holds "content", the last that decides, by its first list: none without a
    // list, the list's text unless it holds "Initial release" (then the one before decides).
    static std::optional<std::string> externalChangelog(const html::HTMLDocument& page);
    // A name written in a page, resolved against the page's address as a browser
    // resolves a link (a plain name lands in the page's folder); the name as written
    // when either is no address.
    static std::string resolved(const std::string& name, const std::string& pageURL);
  };

 private:
  KVDepictionsParser() = default;
  // Runs `work` on a background queue with this parser held.
  void inBackground(std::function<void(KVDepictionsParser&)> work);
  // GETs an address of the page kinds' own (no extra header) on the shared session;
  // `done` gets the body, none on a failure, on the session's queue.
  static void fetch(const std::string& address, std::function<void(std::optional<Data>)> done);

  mutable std::mutex mutex_;
  std::shared_ptr<const html::HTMLDocument> htmlDoc_;
  std::shared_ptr<const Value> sileoDepiction_;
};
