#pragma once
// A URL in place of the platform's: parsed from text the way URLWithString: does
// (RFC 3986 syntax, nothing but printable ASCII, "%" only before two hex digits),
// with the parts callers read, joining of path components and query items.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct URLQueryItem {
  std::string name;
  std::optional<std::string> value;  // absent for an item written without "="
  bool operator==(const URLQueryItem&) const = default;
};

class URL {
 public:
  URL() = default;

  // Nothing when the text is empty or not a valid URL (URLWithString: answering nil).
  static std::optional<URL> fromString(std::string_view text);
  // A reference (absolute, or relative like "../a?b") resolved against a base URL as
  // RFC 3986 section 5 says, the way a page's links are followed; nothing when the
  // reference or the result is not a valid URL.
  static std::optional<URL> fromString(std::string_view reference, const URL& base);
  // A "file://" URL for an absolute path (percent-encoded as needed).
  static URL fileURLWithPath(const std::string& path);

  const std::string& absoluteString() const { return text_; }
  bool empty() const { return text_.empty(); }
  const std::string& scheme() const { return scheme_; }  // as written; compare case-blind
  const std::string& host() const { return host_; }      // IPv6 without brackets
  std::optional<int> port() const { return port_; }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  std::string path() const;  // percent-decoded
  const std::string& percentEncodedPath() const { return path_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }
  std::string lastPathComponent() const;
  bool hasAuthority() const { return hasAuthority_; }
  bool isFileURL() const;
  // "http" or "https", case-blind.
  bool isHTTP() const;

  // The URL with one more path component: exactly one "/" between the old path and
  // the component (which is percent-encoded); query and fragment are dropped.
  URL URLByAppendingPathComponent(const std::string& component) const;
  // Query items in their order, names and values percent-decoded ("+" stays "+").
  std::vector<URLQueryItem> queryItems() const;

  bool operator==(const URL& other) const { return text_ == other.text_; }

  // Percent-encodes every byte that is not unreserved (ALPHA DIGIT - . _ ~) and not
  // in `allowed`.
  static std::string percentEncode(std::string_view text, std::string_view allowed = {});
  // The same appended to `out`.
  static void appendPercentEncoded(std::string& out, std::string_view text, std::string_view allowed = {});
  // Nothing when a "%" is not followed by two hex digits.
  static std::optional<std::string> percentDecode(std::string_view text);

 private:
  std::string text_;
  std::string scheme_, user_, password_, host_, path_;
  std::optional<int> port_;
  std::optional<std::string> query_, fragment_;
  bool hasAuthority_ = false;
};
