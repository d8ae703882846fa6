#pragma once
// An image a screen shows from an address the vendor's service gave it (an avatar, a
// repository icon): fetched and decoded off the main thread, over http or https only,
// and answered on the main thread to an owner that is still there.
#include <functional>
#include <memory>
#include <string>

class UIImage;

namespace KVRemoteImage {
// Starts the fetch. The completion gets the image, or nothing when the reply was no
// picture or the fetch failed. Answers false, and never calls the completion, for an
// address that is empty or not http or https.
bool load(const std::string& address, std::weak_ptr<const void> owner,
          std::function<void(std::shared_ptr<UIImage>)> completion);
// The application's image that stands in for a missing avatar or icon.
std::shared_ptr<UIImage> placeholder();
}  // namespace KVRemoteImage
