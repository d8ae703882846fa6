#pragma once
// What one reply may cost, so that no server can hold a transfer open for good or fill
// memory or disk: the most body bytes it may bring (counted as they arrive, after any
// transfer decoding such as "Content-Encoding: gzip", so a small reply that inflates to
// gigabytes stops at the ceiling), the longest the whole exchange may take, and the
// slowest it may come (averaged over the request's time-out, so a server that sends a
// byte now and then ends as one that sends nothing). A request carries the limits of the
// kind of reply it asks for; the session's configuration gives what a request leaves at 0.
#include <cstdint>
#include <string>

struct URLReplyLimits {
  // What the reply is, as its errors name it ("a Release file"); null: "a reply".
  const char* kind = nullptr;
  int64_t maximumBodyLength = 0;      // bytes; 0: the session's
  double deadline = 0;                // seconds from the start to the last byte; 0: the session's
  int64_t minimumBytesPerSecond = 0;  // 0: the session's

  // The slowest a reply may come: far below any real link, even one shared among many
  // transfers (a GPRS link carries some 4000 bytes a second), far above a server that
  // dribbles a few bytes a second to keep a request open.
  static constexpr int64_t kMinimumRate = 100;

  // Each field of these limits where it is set, else the one of `defaults`.
  URLReplyLimits withDefaults(const URLReplyLimits& defaults) const;

  // The failure reasons of a reply past each limit, naming the limit and the kind.
  std::string ceilingReason() const;
  std::string deadlineReason() const;
  std::string rateReason(double windowSeconds) const;
};

namespace URLReplyKinds {
// What a session allows a request that names no kind of its own: a small document.
inline constexpr URLReplyLimits kAnyReply{"a reply", int64_t(16) << 20, 300, URLReplyLimits::kMinimumRate};
// A picture (screenshot, banner, featured image): the largest real ones are a few MB.
inline constexpr URLReplyLimits kImage{"an image", int64_t(16) << 20, 120, URLReplyLimits::kMinimumRate};
// A web page or a depiction: tens of KB as a rule, held whole to be parsed.
inline constexpr URLReplyLimits kWebPage{"a web page", int64_t(8) << 20, 120, URLReplyLimits::kMinimumRate};
}  // namespace URLReplyKinds
