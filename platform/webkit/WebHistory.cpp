#include "webkit/WebHistory.h"

void WebHistory::push(const URLRequest& request) {
  if (!entries_.empty()) entries_.resize(index_ + 1);
  entries_.push_back(request);
  index_ = entries_.size() - 1;
}

void WebHistory::replaceCurrent(const URLRequest& request) {
  if (entries_.empty()) push(request);
  else entries_[index_] = request;
}

std::optional<URLRequest> WebHistory::entry(long offset) const {
  long at = long(index_) + offset;
  if (entries_.empty() || at < 0 || at >= long(entries_.size())) return std::nullopt;
  return entries_[size_t(at)];
}

void WebHistory::move(long offset) {
  long at = long(index_) + offset;
  if (at >= 0 && at < long(entries_.size())) index_ = size_t(at);
}
