#pragma once
// What the leave-review form tells the screen that opened it (the package page), after
// it has dismissed itself.
#include <cstdint>
#include <string>

class LeaveReviewDelegate {
 public:
  virtual ~LeaveReviewDelegate() = default;
  // A review was posted: read the package's rating again.
  virtual void updateRatingInfo() = 0;
  // The review reads like a problem report; nothing was posted.
  virtual void showReviewWarningWithTitle(const std::string& title, const std::string& text, int64_t rate) = 0;
};
