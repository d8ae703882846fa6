#pragma once
// The application delegate's answers to what the screens ask (interface/KVApplicationActions):
// each forwards to KVQuillbark. The composition root installs one at start.
#include "interface/KVApplicationActions.h"

class KVQuillbarkScreenActions : public KVApplicationActions {
 public:
  void queuePackageWithIdentifier(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                                  std::weak_ptr<void> button) override;
  void presentOptions(const std::string& identifier, KVPresentationSender sender) override;
  void presentViewController(std::shared_ptr<UIViewController> controller, KVPresentationSender sender) override;
  void presentQueue() override;
  void shareAllSources(KVPresentationSender sender) override;
  void shareSourceWithLocation(const std::string& location, KVPresentationSender sender) override;
  void sharePackage(const std::string& identifier, KVPresentationSender sender) override;
  void shareAlertWithItems(std::vector<UIActivityItem> items, const std::optional<std::string>& title,
                           KVPresentationSender sender) override;
  void shareAlertWithItemsAndImages(std::vector<UIActivityItem> items, const std::vector<std::string>& imageAddresses,
                                    const std::optional<std::string>& title, KVPresentationSender sender) override;
  void reinitializeApplication() override;
};
