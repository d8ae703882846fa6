#include "interface/KVRemoteImage.h"

#include <cctype>

#include "foundation/URL.h"
#include "uikit/ImageLoader.h"

bool KVRemoteImage::load(const std::string& address, std::weak_ptr<const void> owner,
                         std::function<void(std::shared_ptr<UIImage>)> completion) {
  auto url = address.empty() ? std::nullopt : URL::fromString(address);
  if (!url || url->host().empty()) return false;
  std::string scheme = url->scheme();
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme != "http" && scheme != "https") return false;
  ImageLoader::shared().loadImage(*url, std::move(owner),
                                  [completion = std::move(completion)](std::shared_ptr<UIImage> image, ErrorRef) {
                                    if (completion) completion(std::move(image));
                                  });
  return true;
}

std::shared_ptr<UIImage> KVRemoteImage::placeholder() { return UIImage::imageNamed("iTunesArtwork.png"); }
