#pragma once
// What the screens ask of the application delegate, which sits above them: queueing a
// package (the one door, which chooses the operation and takes paid packages through
// their payment service), a package's options menu, presenting from the top screen,
// sharing a source, a package or other items, and making the interface again after a
// change of language. The composition root installs the delegate's own at start; asking
// before that is a programming error that ends the process, naming the caller.
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "uikit/UIActivityViewController.h"

class UIBarButtonItem;
class UIGestureRecognizer;
class UIView;
class UIViewController;

// What asked for a presentation, where it is anchored as a popover.
using KVPresentationSender = std::variant<std::monostate, UIGestureRecognizer*, UIBarButtonItem*, UIView*>;

class KVApplicationActions {
 public:
  virtual ~KVApplicationActions() = default;

  virtual void queuePackageWithIdentifier(const std::string& identifier,
                                          const std::optional<std::string>& versionToQueue,
                                          std::weak_ptr<void> button) = 0;
  virtual void presentOptions(const std::string& identifier, KVPresentationSender sender) = 0;
  virtual void presentViewController(std::shared_ptr<UIViewController> controller, KVPresentationSender sender) = 0;
  // The queue confirmation, in a navigation controller of its own, from the top screen.
  virtual void presentQueue() = 0;
  // The share sheet "All Sources": every source's location, one a line.
  virtual void shareAllSources(KVPresentationSender sender) = 0;
  virtual void shareSourceWithLocation(const std::string& location, KVPresentationSender sender) = 0;
  virtual void sharePackage(const std::string& identifier, KVPresentationSender sender) = 0;
  // The share sheet with these items, titled when a title is given.
  virtual void shareAlertWithItems(std::vector<UIActivityItem> items, const std::optional<std::string>& title,
                                   KVPresentationSender sender) = 0;
  // The same sheet once the pictures at `imageAddresses` have loaded off the main thread,
  // each that loads after the items, in their order; the main loop goes on meanwhile.
  virtual void shareAlertWithItemsAndImages(std::vector<UIActivityItem> items, const std::vector<std::string>& imageAddresses,
                                            const std::optional<std::string>& title, KVPresentationSender sender) = 0;
  // The whole interface made again, in the language chosen now.
  virtual void reinitializeApplication() = 0;

  static void install(std::shared_ptr<KVApplicationActions> actions);
  static KVApplicationActions& shared(const char* user);
};
