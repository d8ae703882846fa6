#pragma once
// Named notifications delivered synchronously on the posting thread, as the platform's
// notification center does. An observer is removed by its owner.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/Value.h"

struct Notification {
  std::string name;
  Value object;    // the notification's object where it is a plain value (a location, an identifier)
  Value userInfo;  // a dictionary or null
  std::shared_ptr<void> sender;  // the notification's object where it is a live object (a task)
  ErrorRef error;                // the error a notification carries (the pipeline's "error" entry)
};

class NotificationCenter {
 public:
  using Token = uint64_t;
  using Block = std::function<void(const Notification&)>;

  static NotificationCenter& defaultCenter();

  // `owner` groups registrations so removeObserver(owner) drops them all. With
  // `object` set, only notifications whose object equals it are delivered.
  Token addObserver(const void* owner, const std::string& name, Block block,
                    std::optional<Value> object = std::nullopt);
  void removeObserver(Token token);
  void removeObserver(const void* owner);
  void removeObserver(const void* owner, const std::string& name);
  size_t observerCount(const void* owner) const;

  void post(const Notification& notification);
  void post(const std::string& name, Value object = {}, Value userInfo = {});
  // Posts on the main thread on its next turn.
  void postOnMainThreadAsync(Notification notification);
  // Posts on the main thread and waits until every observer has run; inline when
  // already on the main thread.
  void postOnMainThreadAndWait(Notification notification);

  NotificationCenter();
  ~NotificationCenter();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
