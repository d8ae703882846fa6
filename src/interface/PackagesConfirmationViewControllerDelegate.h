#pragma once
// Told by the queue confirmation screen after the user has emptied the queue (cancelled
// it, or started it), so the screen behind it redraws its queue marks.
class PackagesConfirmationViewControllerDelegate {
 public:
  virtual ~PackagesConfirmationViewControllerDelegate() = default;
  virtual void updateUI() = 0;
};
