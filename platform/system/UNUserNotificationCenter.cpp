#include "system/UNUserNotificationCenter.h"

#include <algorithm>

#include "foundation/Dispatch.h"

UNUserNotificationCenter& UNUserNotificationCenter::currentNotificationCenter() {
  static UNUserNotificationCenter* center = new UNUserNotificationCenter();  // lives as long as the process
  return *center;
}

UNUserNotificationCenterDelegate* UNUserNotificationCenter::delegate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return delegate_;
}

void UNUserNotificationCenter::setDelegate(UNUserNotificationCenterDelegate* delegate) {
  std::lock_guard<std::mutex> lock(mutex_);
  delegate_ = delegate;
}

void UNUserNotificationCenter::requestAuthorizationWithOptions(unsigned long options,
                                                               std::function<void(bool, ErrorRef)> completion) {
  bool granted;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(options);
    if (status_ == UNAuthorizationStatusNotDetermined)
      status_ = ownerGrants_ ? UNAuthorizationStatusAuthorized : UNAuthorizationStatusDenied;
    granted = status_ == UNAuthorizationStatusAuthorized;
  }
  if (completion) DispatchQueue::globalDefault().async([completion, granted] { completion(granted, nullptr); });
}

void UNUserNotificationCenter::getNotificationSettingsWithCompletionHandler(
    std::function<void(UNAuthorizationStatus)> completion) {
  UNAuthorizationStatus status = authorizationStatus();
  if (completion) DispatchQueue::globalDefault().async([completion, status] { completion(status); });
}

void UNUserNotificationCenter::addNotificationRequest(UNNotificationRequest request,
                                                      std::function<void(ErrorRef)> completion) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(pending_, [&](const auto& r) { return r.identifier == request.identifier; });
    pending_.push_back(request);
    added_.push_back(std::move(request));
  }
  if (completion) DispatchQueue::globalDefault().async([completion] { completion(nullptr); });
}

void UNUserNotificationCenter::setOwnerAnswer(bool grants) {
  std::lock_guard<std::mutex> lock(mutex_);
  ownerGrants_ = grants;
}

UNAuthorizationStatus UNUserNotificationCenter::authorizationStatus() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void UNUserNotificationCenter::setAuthorizationStatus(UNAuthorizationStatus status) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
}

std::vector<unsigned long> UNUserNotificationCenter::authorizationRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<UNNotificationRequest> UNUserNotificationCenter::pendingNotificationRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_;
}

std::vector<UNNotificationRequest> UNUserNotificationCenter::addedRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return added_;
}

bool UNUserNotificationCenter::openNotification(const std::string& identifier) {
  UNUserNotificationCenterDelegate* delegate;
  std::optional<UNNotificationRequest> request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(added_.rbegin(), added_.rend(), [&](const auto& r) { return r.identifier == identifier; });
    if (it != added_.rend()) request = *it;
    std::erase_if(pending_, [&](const auto& r) { return r.identifier == identifier; });
    delegate = delegate_;
  }
  if (!request) return false;
  if (delegate) delegate->userNotificationCenterDidReceiveNotificationResponse(*request, [] {});
  return true;
}

void UNUserNotificationCenter::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  delegate_ = nullptr;
  ownerGrants_ = true;
  status_ = UNAuthorizationStatusNotDetermined;
  requests_.clear();
  pending_.clear();
  added_.clear();
}
