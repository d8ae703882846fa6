#pragma once
// The pages a web view has shown, to go back and forward through.
#include <cstddef>
#include <optional>
#include <vector>

#include "foundation/URLRequest.h"

class WebHistory {
 public:
  // A new page: what was ahead of the current one is forgotten.
  void push(const URLRequest& request);
  // The current page loaded again under another address (a redirect or a reload).
  void replaceCurrent(const URLRequest& request);
  bool canGoBack() const { return index_ > 0; }
  bool canGoForward() const { return index_ + 1 < entries_.size(); }
  std::optional<URLRequest> entry(long offset) const;
  // Moves to the entry `offset` away once its page is shown.
  void move(long offset);
  std::optional<URLRequest> current() const { return entry(0); }

 private:
  std::vector<URLRequest> entries_;
  size_t index_ = 0;
};
