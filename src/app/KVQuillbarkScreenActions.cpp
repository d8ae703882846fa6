#include "app/KVQuillbarkScreenActions.h"

#include "app/KVQuillbark.h"

void KVQuillbarkScreenActions::queuePackageWithIdentifier(const std::string& identifier,
                                                          const std::optional<std::string>& versionToQueue,
                                                          std::weak_ptr<void> button) {
  KVQuillbark::sharedQuillbark().queuePackageWithIdentifier(identifier, versionToQueue, std::move(button));
}

void KVQuillbarkScreenActions::presentOptions(const std::string& identifier, KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().presentOptions(identifier, sender);
}

void KVQuillbarkScreenActions::presentViewController(std::shared_ptr<UIViewController> controller,
                                                     KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().presentViewController(std::move(controller), sender);
}

void KVQuillbarkScreenActions::presentQueue() { KVQuillbark::sharedQuillbark().presentQueue(); }

void KVQuillbarkScreenActions::shareAllSources(KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().shareAllSources(sender);
}

void KVQuillbarkScreenActions::shareSourceWithLocation(const std::string& location, KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().shareSourceWithLocation(location, sender);
}

void KVQuillbarkScreenActions::sharePackage(const std::string& identifier, KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().sharePackage(identifier, sender);
}

void KVQuillbarkScreenActions::shareAlertWithItems(std::vector<UIActivityItem> items, const std::optional<std::string>& title,
                                                   KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().shareAlertWithItems(std::move(items), title, sender);
}

void KVQuillbarkScreenActions::shareAlertWithItemsAndImages(std::vector<UIActivityItem> items,
                                                            const std::vector<std::string>& imageAddresses,
                                                            const std::optional<std::string>& title,
                                                            KVPresentationSender sender) {
  KVQuillbark::sharedQuillbark().shareAlertWithItemsAndImages(std::move(items), imageAddresses, title, sender);
}

void KVQuillbarkScreenActions::reinitializeApplication() { KVQuillbark::sharedQuillbark().reinitializeApplication(); }
