#pragma once
// An ICU regular expression compiled once and then only read, so any thread may match
// with it. The text is UTF-8 and every position is a byte offset into it.
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace markdown {

class MDRegularExpression {
 public:
  MDRegularExpression(const char* pattern, bool caseInsensitive);
  ~MDRegularExpression();
  MDRegularExpression(const MDRegularExpression&) = delete;
  MDRegularExpression& operator=(const MDRegularExpression&) = delete;

  // Whether the expression matches somewhere in the text.
  bool find(std::string_view text) const;
  // Every match, in order, never overlapping: (start, end) byte offsets.
  std::vector<std::pair<size_t, size_t>> matches(std::string_view text) const;

 private:
  struct Compiled;
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace markdown
