#pragma once
// Keeps a change observation alive; dropping the token (or invalidate()) ends it.
#include <functional>

namespace store {

class NotificationToken {
 public:
  NotificationToken() = default;
  explicit NotificationToken(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  ~NotificationToken() { invalidate(); }
  NotificationToken(NotificationToken&& other) noexcept : cancel_(std::move(other.cancel_)) { other.cancel_ = nullptr; }
  NotificationToken& operator=(NotificationToken&& other) noexcept {
    if (this != &other) {
      invalidate();
      cancel_ = std::move(other.cancel_);
      other.cancel_ = nullptr;
    }
    return *this;
  }
  NotificationToken(const NotificationToken&) = delete;
  NotificationToken& operator=(const NotificationToken&) = delete;

  void invalidate() {
    if (cancel_) {
      auto cancel = std::move(cancel_);
      cancel_ = nullptr;
      cancel();
    }
  }
  bool isValid() const { return static_cast<bool>(cancel_); }

 private:
  std::function<void()> cancel_;
};

}  // namespace store
