#pragma once
// What the stores list knows of one store's vendor, as the payment service describes it
// (every part may be missing): its name, the address and the image of its icon, the
// title of its sign-in button, the message shown to a signed-out user, and the text of
// the error when its information could not be read.
#include <memory>
#include <optional>
#include <string>

class UIImage;

struct KVStoreVendorInfo {
  std::optional<std::string> name;
  std::optional<std::string> icon;
  std::optional<std::string> buttonTitle;
  std::optional<std::string> message;
  std::shared_ptr<UIImage> image;
  std::optional<std::string> error;
};
