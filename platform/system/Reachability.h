#pragma once
// Whether the machine has a network path, in place of the platform's reachability
// service. The flags are read from the machine's interfaces: any interface that is
// up and running (loopback included, so a machine where only loopback works counts
// as reachable) gives Reachable; no cellular path exists here, so the answer is
// "WiFi" or "No Connection". Tests can set the answer for the whole process.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Dispatch.h"

enum : uint32_t {
  kSCNetworkReachabilityFlagsTransientConnection = 1u << 0,
  kSCNetworkReachabilityFlagsReachable = 1u << 1,
  kSCNetworkReachabilityFlagsConnectionRequired = 1u << 2,
  kSCNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3,
  kSCNetworkReachabilityFlagsInterventionRequired = 1u << 4,
  kSCNetworkReachabilityFlagsConnectionOnDemand = 1u << 5,
  kSCNetworkReachabilityFlagsIsLocalAddress = 1u << 16,
  kSCNetworkReachabilityFlagsIsDirect = 1u << 17,
  kSCNetworkReachabilityFlagsIsWWAN = 1u << 18,
};

enum NetworkStatus : int { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };

inline constexpr const char* kReachabilityChangedNotification = "kReachabilityChangedNotification";

class Reachability : public std::enable_shared_from_this<Reachability> {
 public:
  using Block = std::function<void(Reachability&)>;

  static std::shared_ptr<Reachability> reachabilityForInternetConnection();
  static std::shared_ptr<Reachability> reachabilityForLocalWiFi();
  static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr* address);
  static std::shared_ptr<Reachability> reachabilityWithHostname(const std::string& hostname);
  static std::shared_ptr<Reachability> reachabilityWithHostName(const std::string& hostname) {
    return reachabilityWithHostname(hostname);
  }
  ~Reachability();

  bool reachableOnWWAN() const { return reachableOnWWAN_; }
  void setReachableOnWWAN(bool value) { reachableOnWWAN_ = value; }
  void setReachableBlock(Block block);
  void setUnreachableBlock(Block block);

  bool isReachableWithFlags(uint32_t flags) const;
  bool isReachable() const;
  bool isReachableViaWWAN() const;
  bool isReachableViaWiFi() const;
  bool isConnectionRequired() const;
  bool connectionRequired() const { return isConnectionRequired(); }
  bool isConnectionOnDemand() const;
  bool isInterventionRequired() const;
  NetworkStatus currentReachabilityStatus() const;
  uint32_t reachabilityFlags() const;
  std::string currentReachabilityString() const;
  std::string currentReachabilityFlags() const;
  std::string description() const;

  // Change notification: blocks run on the object's serial queue, then
  // kReachabilityChangedNotification is posted on the main thread.
  bool startNotifier();
  void stopNotifier();

  // The nine-letter form of a flag set ("WR ct-----" style).
  static std::string flagsString(uint32_t flags);

  // Tests: every object answers these flags (or a failed read) until cleared.
  static void overrideFlags(uint32_t flags);
  static void overrideFlagReadFailure();
  static void clearOverride();
  // Re-reads the flags of every running notifier and reports a change.
  static void networkStateMayHaveChanged();

 private:
  enum class Target { Internet, LinkLocal, Address, Host };
  Reachability(Target target, std::string host);
  // False when the flags cannot be read.
  bool readFlags(uint32_t* flags) const;
  void reachabilityChanged(uint32_t flags);

  Target target_;
  std::string host_;
  bool reachableOnWWAN_ = true;
  std::shared_ptr<DispatchQueue> queue_;
  mutable std::mutex mutex_;
  Block reachableBlock_, unreachableBlock_;
  std::shared_ptr<Reachability> reachabilityObject_;  // itself while its notifier runs
  std::optional<uint32_t> lastFlags_;
};
