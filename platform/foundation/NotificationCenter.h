#pragma once
// Named notifications. Observing answers a token: the observation lasts as long as the
// token, and dropping it stops delivery, even of notifications already queued for it,
// and waits for a delivery running on another thread. Each observer says where it is
// told: on a queue (the main queue unless it says otherwise; anything that touches a
// screen stays there), or on the posting thread. A poster already on the observer's
// queue delivers at once; otherwise the delivery is queued there, so posting never
// waits for an observer, except in postOnMainThreadAndWait.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Dispatch.h"
#include "foundation/Error.h"
#include "foundation/NotificationToken.h"
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
  using Block = std::function<void(const Notification&)>;
  // The queue argument that asks for delivery on whatever thread posts.
  static constexpr DispatchQueue* kPostingThread = nullptr;

  static NotificationCenter& defaultCenter();

  // Observes `name` on the main queue.
  [[nodiscard]] NotificationToken addObserver(const std::string& name, Block block);
  // Observes `name` on `queue` (kPostingThread: on the poster's thread), which must
  // outlive the token. With `object` set, only notifications whose object equals it
  // are delivered.
  [[nodiscard]] NotificationToken addObserver(const std::string& name, DispatchQueue* queue, Block block,
                                              std::optional<Value> object = std::nullopt);
  // Live observations of `name`.
  size_t observerCount(const std::string& name) const;

  void post(const Notification& notification);
  void post(const std::string& name, Value object = {}, Value userInfo = {});
  // Posts from the main thread on its next turn.
  void postOnMainThreadAsync(Notification notification);
  // Posts from the main thread and waits until its observers on the main queue (and
  // on the posting thread) have run; inline when already on the main thread. The one
  // post that waits: the main thread must never wait for the caller meanwhile.
  void postOnMainThreadAndWait(Notification notification);

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};
