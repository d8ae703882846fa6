#pragma once
// The screenshots of one package as its page shows them, each under its place in the
// record's list of addresses (1 for the first), so a screenshot that fails leaves a gap
// and never moves the others. They come from the screenshot cache when the record's
// cached files cover its addresses, else from the network, all at once: each image that
// arrives is written to the cache as the file of its place, and at the end the record
// gets the list of cached files in that order.
//
// One load runs at a time: a load asked for while one runs is dropped. A load outlives
// the page that asked for it: its files and the record are written whatever the page
// does; only the handlers, which the page gives, need the page.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/Value.h"

class KVRPackages;
class UIImage;

class KVPackageScreenshots : public std::enable_shared_from_this<KVPackageScreenshots> {
 public:
  using Images = std::map<long, std::shared_ptr<UIImage>>;
  struct Handlers {
    // On the main thread: every cached file was read.
    std::function<void(Images)> cacheRead;
    // On the main thread: a download ended with the images that arrived. `nothingDecoded`
    // when every address answered and none was a picture: the record's list of addresses
    // has then been emptied. A failure of the network never empties it.
    std::function<void(Images, bool nothingDecoded)> downloadEnded;
  };

  KVPackageScreenshots(std::string identifier, std::shared_ptr<KVRPackages> packages, Handlers handlers);

  // From the record as it is now: its cached files when they are all there and all
  // pictures (else they are forgotten), otherwise its addresses. Returns at once.
  void load();
  // Replaces the record's addresses (forgetting their cached files) and downloads these.
  void loadAddresses(std::vector<std::string> addresses);
  bool isLoading() const;

  static constexpr double kCornerRadius = 15;
  // "ScreenshotsCache" in the application-support folder.
  static std::string cacheFolder();
  // The cache file of the screenshot at place `number`: "<identifier>-<number>.png";
  // none for an identifier that cannot name a file there.
  static std::optional<std::string> cachePath(const std::string& identifier, long number);
  // What a layer of the image's size shows of it with rounded corners and masking, as
  // an image of its own (the image itself when it has no pixels to round).
  static std::shared_ptr<UIImage> makeRoundedImage(const std::shared_ptr<UIImage>& image, double radius);

 private:
  struct Run;
  bool begin();
  void end();
  void endOnMainThread(std::function<void()> handler);
  void loadFromRecord();
  void download(std::vector<std::string> addresses);
  void received(const std::shared_ptr<Run>& run, size_t place, std::optional<Data> data, bool answered);
  void finish(const std::shared_ptr<Run>& run);
  void logFailure(const char* what, const ErrorRef& error) const;

  const std::string identifier_;
  const std::shared_ptr<KVRPackages> packages_;
  const Handlers handlers_;
  mutable std::mutex mutex_;
  bool loading_ = false;
};
