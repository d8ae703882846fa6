#pragma once
// Keeps one observation alive: of a notification, of a store's changes, of a value.
// Dropping the token (or invalidate()) ends the observation: nothing is delivered to it
// afterwards, not even what was already queued, and a delivery running on another
// thread is waited for, so the observer may go right after.
#include <functional>

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
