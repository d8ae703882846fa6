#include "system/Reachability.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"

namespace {

struct Override {
  bool active = false;
  bool fails = false;
  uint32_t flags = 0;
};
std::mutex gOverrideMutex;
Override gOverride;

std::mutex gNotifiersMutex;
std::vector<std::weak_ptr<Reachability>> gNotifiers;
std::atomic<int> gQueueCount{0};

// The numeric text of an IPv4 or IPv6 address; empty for any other.
std::string numericText(const sockaddr* address) {
  const void* raw = nullptr;
  if (address->sa_family == AF_INET) raw = &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
  else if (address->sa_family == AF_INET6) raw = &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
  else return {};
  char text[INET6_ADDRSTRLEN] = {};
  return inet_ntop(address->sa_family, raw, text, sizeof text) ? text : "";
}

struct Interfaces {
  bool anyUp = false;         // loopback included
  bool nonLoopbackUp = false;
  std::vector<std::string> addresses;  // numeric texts of every up interface
};

bool readInterfaces(Interfaces* out) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || !(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_RUNNING)) continue;
    int family = i->ifa_addr->sa_family;
    if (family != AF_INET && family != AF_INET6) continue;
    out->anyUp = true;
    if (!(i->ifa_flags & IFF_LOOPBACK)) out->nonLoopbackUp = true;
    if (std::string text = numericText(i->ifa_addr); !text.empty()) out->addresses.push_back(std::move(text));
  }
  freeifaddrs(list);
  return true;
}

bool isLoopbackText(const std::string& address) { return address.rfind("127.", 0) == 0 || address == "::1"; }

void startWatcher() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return;
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      close(fd);
      return;
    }
    std::thread([fd] {
      char buffer[8192];
      while (recv(fd, buffer, sizeof buffer, 0) >= 0 || errno == EINTR) Reachability::networkStateMayHaveChanged();
    }).detach();
  });
}

}  // namespace

Reachability::Reachability(Target target, std::string host) : target_(target), host_(std::move(host)) {
  queue_ = DispatchQueue::makeSerial("Reachability." + std::to_string(++gQueueCount));
}

Reachability::~Reachability() = default;

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
  return std::shared_ptr<Reachability>(new Reachability(Target::Internet, {}));
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
  return std::shared_ptr<Reachability>(new Reachability(Target::LinkLocal, "169.254.0.0"));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr* address) {
  if (!address) return nullptr;
  std::string host = numericText(address);
  if (host.empty()) return nullptr;
  if (host == "0.0.0.0" || host == "::") return reachabilityForInternetConnection();
  return std::shared_ptr<Reachability>(new Reachability(Target::Address, host));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostname(const std::string& hostname) {
  if (hostname.empty()) return nullptr;
  return std::shared_ptr<Reachability>(new Reachability(Target::Host, hostname));
}

bool Reachability::readFlags(uint32_t* flags) const {
  {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    if (gOverride.active) {
      if (gOverride.fails) return false;
      *flags = gOverride.flags;
      return true;
    }
  }
  Interfaces interfaces;
  if (!readInterfaces(&interfaces)) return false;
  *flags = 0;
  std::vector<std::string> targets;
  switch (target_) {
    case Target::Internet:
      if (interfaces.anyUp) *flags = kSCNetworkReachabilityFlagsReachable;
      return true;
    case Target::LinkLocal:
      if (interfaces.anyUp) *flags = kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsDirect;
      return true;
    case Target::Address:
      targets.push_back(host_);
      break;
    case Target::Host: {
      addrinfo hints{};
      hints.ai_socktype = SOCK_STREAM;
      addrinfo* found = nullptr;
      if (getaddrinfo(host_.c_str(), nullptr, &hints, &found) != 0) return true;  // unknown name: not reachable
      for (addrinfo* a = found; a; a = a->ai_next)
        if (std::string text = numericText(a->ai_addr); !text.empty()) targets.push_back(std::move(text));
      freeaddrinfo(found);
      break;
    }
  }
  if (!interfaces.anyUp) return true;
  *flags = kSCNetworkReachabilityFlagsReachable;
  for (const auto& t : targets) {
    bool local = isLoopbackText(t);
    for (const auto& mine : interfaces.addresses) local |= mine == t;
    if (local) *flags |= kSCNetworkReachabilityFlagsIsLocalAddress | kSCNetworkReachabilityFlagsIsDirect;
  }
  return true;
}

bool Reachability::isReachableWithFlags(uint32_t flags) const {
  if (!(flags & kSCNetworkReachabilityFlagsReachable)) return false;
  const uint32_t both = kSCNetworkReachabilityFlagsTransientConnection | kSCNetworkReachabilityFlagsConnectionRequired;
  if ((flags & both) == both) return false;
  if ((flags & kSCNetworkReachabilityFlagsIsWWAN) && !reachableOnWWAN_) return false;
  return true;
}

uint32_t Reachability::reachabilityFlags() const {
  uint32_t flags = 0;
  return readFlags(&flags) ? flags : 0;
}

bool Reachability::isReachable() const {
  uint32_t flags = 0;
  return readFlags(&flags) && isReachableWithFlags(flags);
}

bool Reachability::isReachableViaWWAN() const {
  uint32_t f = reachabilityFlags();
  return (f & kSCNetworkReachabilityFlagsReachable) && (f & kSCNetworkReachabilityFlagsIsWWAN);
}

bool Reachability::isReachableViaWiFi() const {
  uint32_t f = reachabilityFlags();
  return (f & kSCNetworkReachabilityFlagsReachable) && !(f & kSCNetworkReachabilityFlagsIsWWAN);
}

bool Reachability::isConnectionRequired() const {
  return reachabilityFlags() & kSCNetworkReachabilityFlagsConnectionRequired;
}

bool Reachability::isConnectionOnDemand() const {
  uint32_t f = reachabilityFlags();
  return (f & kSCNetworkReachabilityFlagsConnectionRequired) &&
         (f & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
  uint32_t f = reachabilityFlags();
  return (f & kSCNetworkReachabilityFlagsConnectionRequired) && (f & kSCNetworkReachabilityFlagsInterventionRequired);
}

NetworkStatus Reachability::currentReachabilityStatus() const {
  // One read decides, so the answer never mixes two states of the machine.
  uint32_t flags = 0;
  if (!readFlags(&flags) || !isReachableWithFlags(flags)) return NotReachable;
  return (flags & kSCNetworkReachabilityFlagsIsWWAN) ? ReachableViaWWAN : ReachableViaWiFi;
}

std::string Reachability::currentReachabilityString() const {
  switch (currentReachabilityStatus()) {
    case ReachableViaWiFi: return NSLocalizedString("WiFi");
    case ReachableViaWWAN: return NSLocalizedString("Cellular");
    default: return NSLocalizedString("No Connection");
  }
}

std::string Reachability::flagsString(uint32_t f) {
  auto c = [f](uint32_t bit, char letter) { return (f & bit) ? letter : '-'; };
  std::string s;
  s += c(kSCNetworkReachabilityFlagsIsWWAN, 'W');
  s += c(kSCNetworkReachabilityFlagsReachable, 'R');
  s += ' ';
  s += c(kSCNetworkReachabilityFlagsConnectionRequired, 'c');
  s += c(kSCNetworkReachabilityFlagsTransientConnection, 't');
  s += c(kSCNetworkReachabilityFlagsInterventionRequired, 'i');
  s += c(kSCNetworkReachabilityFlagsConnectionOnTraffic, 'C');
  s += c(kSCNetworkReachabilityFlagsConnectionOnDemand, 'D');
  s += c(kSCNetworkReachabilityFlagsIsLocalAddress, 'l');
  s += c(kSCNetworkReachabilityFlagsIsDirect, 'd');
  return s;
}

std::string Reachability::currentReachabilityFlags() const { return flagsString(reachabilityFlags()); }

std::string Reachability::description() const {
  return qblog::format("<%s: %#lx (%s)>", "Reachability", reinterpret_cast<unsigned long>(this),
                       currentReachabilityFlags().c_str());
}

void Reachability::setReachableBlock(Block block) {
  std::lock_guard<std::mutex> lock(mutex_);
  reachableBlock_ = std::move(block);
}

void Reachability::setUnreachableBlock(Block block) {
  std::lock_guard<std::mutex> lock(mutex_);
  unreachableBlock_ = std::move(block);
}

bool Reachability::startNotifier() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reachabilityObject_) return true;
    reachabilityObject_ = shared_from_this();
    uint32_t flags = 0;
    if (readFlags(&flags)) lastFlags_ = flags;
  }
  {
    std::lock_guard<std::mutex> lock(gNotifiersMutex);
    gNotifiers.push_back(weak_from_this());
  }
  startWatcher();
  return true;
}

void Reachability::stopNotifier() {
  std::shared_ptr<Reachability> self;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    self = std::move(reachabilityObject_);
  }
  std::lock_guard<std::mutex> lock(gNotifiersMutex);
  std::erase_if(gNotifiers, [this](const std::weak_ptr<Reachability>& w) {
    auto s = w.lock();
    return !s || s.get() == this;
  });
}

void Reachability::reachabilityChanged(uint32_t flags) {
  Block block;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    block = isReachableWithFlags(flags) ? reachableBlock_ : unreachableBlock_;
  }
  if (block) block(*this);
  Notification n;
  n.name = kReachabilityChangedNotification;
  n.sender = shared_from_this();
  NotificationCenter::defaultCenter().postOnMainThreadAsync(std::move(n));
}

void Reachability::networkStateMayHaveChanged() {
  std::vector<std::shared_ptr<Reachability>> running;
  {
    std::lock_guard<std::mutex> lock(gNotifiersMutex);
    for (auto& w : gNotifiers)
      if (auto s = w.lock()) running.push_back(s);
  }
  for (auto& r : running) {
    uint32_t flags = 0;
    if (!r->readFlags(&flags)) flags = 0;
    {
      std::lock_guard<std::mutex> lock(r->mutex_);
      if (!r->reachabilityObject_ || r->lastFlags_ == flags) continue;
      r->lastFlags_ = flags;
    }
    r->queue_->async([r, flags] { r->reachabilityChanged(flags); });
  }
}

void Reachability::overrideFlags(uint32_t flags) {
  {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    gOverride = Override{true, false, flags};
  }
  networkStateMayHaveChanged();
}

void Reachability::overrideFlagReadFailure() {
  {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    gOverride = Override{true, true, 0};
  }
  networkStateMayHaveChanged();
}

void Reachability::clearOverride() {
  {
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    gOverride = Override{};
  }
  networkStateMayHaveChanged();
}
