#include "markdown/MDRegularExpression.h"

#include <unicode/regex.h>
#include <unicode/utext.h>

#include <stdexcept>
#include <string>

namespace markdown {

namespace {

// A matcher over a UTF-8 text without copying it; closes everything it opened.
class Matcher {
 public:
  Matcher(const icu::RegexPattern& pattern, std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    text_ = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_SUCCESS(status)) matcher_.reset(pattern.matcher(status));
    if (U_SUCCESS(status) && matcher_) matcher_->reset(text_);
    ok_ = U_SUCCESS(status) && matcher_;
  }
  ~Matcher() {
    matcher_.reset();
    if (text_) utext_close(text_);
  }
  bool ok() const { return ok_; }
  icu::RegexMatcher& get() { return *matcher_; }

 private:
  UText* text_ = nullptr;
  std::unique_ptr<icu::RegexMatcher> matcher_;
  bool ok_ = false;
};

}  // namespace

struct MDRegularExpression::Compiled {
  std::unique_ptr<icu::RegexPattern> pattern;
};

MDRegularExpression::MDRegularExpression(const char* pattern, bool caseInsensitive)
    : compiled_(std::make_unique<Compiled>()) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError error;
  compiled_->pattern.reset(icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern),
                                                      caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0, error, status));
  if (U_FAILURE(status) || !compiled_->pattern)
    throw std::logic_error(std::string("Invalid regular expression: ") + pattern);
}

MDRegularExpression::~MDRegularExpression() = default;

bool MDRegularExpression::find(std::string_view text) const {
  Matcher matcher(*compiled_->pattern, text);
  return matcher.ok() && matcher.get().find();
}

std::vector<std::pair<size_t, size_t>> MDRegularExpression::matches(std::string_view text) const {
  std::vector<std::pair<size_t, size_t>> found;
  Matcher matcher(*compiled_->pattern, text);
  if (!matcher.ok()) return found;
  UErrorCode status = U_ZERO_ERROR;
  while (matcher.get().find()) {
    int64_t start = matcher.get().start64(status);
    int64_t end = matcher.get().end64(status);
    if (U_FAILURE(status)) break;
    found.emplace_back(static_cast<size_t>(start), static_cast<size_t>(end));
  }
  return found;
}

}  // namespace markdown
