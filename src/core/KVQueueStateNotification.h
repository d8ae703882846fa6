#pragma once
// The per-package notification on which every button and row showing a package redraws
// itself: "UpdateQueueStateNotification-" followed by the identifier, no object. The
// package tasks and the confirmation screen add a "Message" text ("Finished Operation",
// "Finished with error", "Canceled Operation") that no observer reads.
#include <string>

inline constexpr const char* KVQueueStateNotificationPrefix = "UpdateQueueStateNotification-";

inline std::string KVQueueStateNotificationName(const std::string& identifier) {
  return KVQueueStateNotificationPrefix + identifier;
}
