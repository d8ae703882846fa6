#pragma once
// Local notifications, as the device's notification centre offers them: permission,
// settings, requests that show after their trigger, and the delegate told when one is
// shown in front or opened. Nothing is drawn: requests are kept and can be read back,
// and a person's answers (allowing notifications, opening one) are played by calls.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"

enum UNAuthorizationStatus : long {
  UNAuthorizationStatusNotDetermined = 0,
  UNAuthorizationStatusDenied = 1,
  UNAuthorizationStatusAuthorized = 2,
};

enum UNAuthorizationOptions : unsigned long {
  UNAuthorizationOptionBadge = 1 << 0,
  UNAuthorizationOptionSound = 1 << 1,
  UNAuthorizationOptionAlert = 1 << 2,
};

enum UNNotificationPresentationOptions : unsigned long {
  UNNotificationPresentationOptionBadge = 1 << 0,
  UNNotificationPresentationOptionSound = 1 << 1,
  UNNotificationPresentationOptionAlert = 1 << 2,
};

struct UNNotificationRequest {
  std::string identifier;
  std::string title;
  std::string body;
  bool sound = false;
  std::optional<long> badge;
  double triggerSeconds = 0;  // a one-shot trigger this long after it was added
};

class UNUserNotificationCenterDelegate {
 public:
  virtual ~UNUserNotificationCenterDelegate() = default;
  // A notification about to show while the application is in front.
  virtual void userNotificationCenterWillPresentNotification(const UNNotificationRequest&,
                                                             std::function<void(unsigned long options)> completion) {
    completion(0);
  }
  // The person opened the notification.
  virtual void userNotificationCenterDidReceiveNotificationResponse(const UNNotificationRequest&,
                                                                    std::function<void()> completion) {
    completion();
  }
};

class UNUserNotificationCenter {
 public:
  static UNUserNotificationCenter& currentNotificationCenter();

  UNUserNotificationCenterDelegate* delegate() const;
  void setDelegate(UNUserNotificationCenterDelegate* delegate);

  // Asks the person; the answer (the one set by setOwnerAnswer, granted by default)
  // comes on a background thread, as the system's does.
  void requestAuthorizationWithOptions(unsigned long options, std::function<void(bool granted, ErrorRef error)> completion);
  // The status comes on a background thread.
  void getNotificationSettingsWithCompletionHandler(std::function<void(UNAuthorizationStatus status)> completion);
  // Adds the request, replacing a pending one with the same identifier; the completion
  // (an error or none) comes on a background thread.
  void addNotificationRequest(UNNotificationRequest request, std::function<void(ErrorRef error)> completion = {});

  // What a person decides, and what was asked of the centre.
  void setOwnerAnswer(bool grants);
  UNAuthorizationStatus authorizationStatus() const;
  void setAuthorizationStatus(UNAuthorizationStatus status);
  std::vector<unsigned long> authorizationRequests() const;
  std::vector<UNNotificationRequest> pendingNotificationRequests() const;
  // Every request added, in order (a replaced one too).
  std::vector<UNNotificationRequest> addedRequests() const;
  // The person opens the last request with this identifier: the delegate is told.
  bool openNotification(const std::string& identifier);
  // Back to a fresh centre (tests).
  void reset();

 private:
  UNUserNotificationCenter() = default;
  mutable std::mutex mutex_;
  UNUserNotificationCenterDelegate* delegate_ = nullptr;
  bool ownerGrants_ = true;
  UNAuthorizationStatus status_ = UNAuthorizationStatusNotDetermined;
  std::vector<unsigned long> requests_;
  std::vector<UNNotificationRequest> pending_;
  std::vector<UNNotificationRequest> added_;
};
