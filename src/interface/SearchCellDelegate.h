#pragma once
// What a result row tells its owner after the user followed or unfollowed a developer
// from its button.
class SearchCellDelegate {
 public:
  virtual ~SearchCellDelegate() = default;
  virtual void followStateChanged() = 0;
};
