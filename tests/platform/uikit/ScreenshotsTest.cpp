// A package's screenshots as its page shows them: downloaded once each, rounded, sized
// to a fixed height in a horizontal strip, and opened full size in a viewer that pages
// one screenshot at a time.
#include <gtest/gtest.h>

#include <map>

#include "foundation/RunLoop.h"
#include "support/TestHttpServer.h"
#include "support/UIDriver.h"
#include "uikit/ImageLoader.h"
#include "uikit/UICollectionView.h"
#include "uikit/UIImageView.h"
#include "uikit/UINavigationController.h"

namespace {
using Shots = std::map<long, std::shared_ptr<UIImage>>;

class Shot : public UICollectionViewCell {
 public:
  Shot() {
    image = std::make_shared<UIImageView>();
    image->setAccessibilityLabel("screenshot");
    contentView()->addSubview(image);
  }
  std::shared_ptr<UIImageView> image;
};

// The full-size viewer: one page per screenshot, each exactly the collection's size.
class Viewer : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  explicit Viewer(Shots shots) : shots_(std::move(shots)) { setTitle("Screenshots"); }
  std::shared_ptr<UICollectionView> pages;
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
    layout.minimumLineSpacing = 0;
    pages = std::make_shared<UICollectionView>(CGRect::make(0, 0, 375, 700), layout);
    pages->setPagingEnabled(true);
    pages->registerClass<Shot>("cell");
    pages->setDataSource(this);
    pages->setCollectionDelegate(this);
    view()->addSubview(pages);
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        "Close", UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissViewControllerAnimated(true); }));
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return long(shots_.size()); }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c, const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Shot>(c.dequeueReusableCellWithReuseIdentifier("cell", p));
    auto it = shots_.find(p.item() + 1);
    cell->image->setImage(it == shots_.end() ? nullptr : it->second);
    return cell;
  }
  CGSize collectionViewSizeForItemAtIndexPath(UICollectionView& c, const NSIndexPath&) override { return c.bounds().size; }

 private:
  Shots shots_;
};

class Page : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  explicit Page(std::vector<std::string> addresses) : addresses_(std::move(addresses)) {}
  Shots shots;
  long arrived = 0;
  std::shared_ptr<UICollectionView> strip;
  std::shared_ptr<Page> self() { return std::static_pointer_cast<Page>(shared_from_this()); }
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
    layout.minimumLineSpacing = 20;
    strip = std::make_shared<UICollectionView>(CGRect::make(0, 300, 375, 422), layout);
    strip->registerClass<Shot>("cell");
    strip->setDataSource(this);
    strip->setCollectionDelegate(this);
    view()->addSubview(strip);
    // Numbered in the order they arrive, as the page counts them.
    for (auto& address : addresses_)
      ImageLoader::shared().loadImage(*URL::fromString(address), self(), [this](std::shared_ptr<UIImage> image, ErrorRef) {
        long n = ++arrived;
        if (image) shots[n] = image->imageWithRoundedCorners(15);
        if (arrived == long(addresses_.size())) strip->reloadData();
      });
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return long(shots.size()); }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c, const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Shot>(c.dequeueReusableCellWithReuseIdentifier("cell", p));
    auto it = shots.find(p.item() + 1);
    cell->image->setImage(it == shots.end() ? nullptr : it->second);  // a missing number shows nothing
    return cell;
  }
  // A fixed height of 422; one screenshot alone takes the page's width less 32.
  CGSize collectionViewSizeForItemAtIndexPath(UICollectionView&, const NSIndexPath& p) override {
    auto it = shots.find(p.item() + 1);
    if (it == shots.end() || !it->second) return {0, 0};
    CGSize s = it->second->size();
    double h = 422;
    CGSize size = s.height > h ? CGSize{s.width / (s.height / h), h} : CGSize{s.width / (h / s.height), s.height};
    if (shots.size() == 1) size.width = view()->bounds().width() - 32;
    return size;
  }
  void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) override {
    presentViewController(std::make_shared<UINavigationController>(std::make_shared<Viewer>(shots)), true);
  }

 private:
  std::vector<std::string> addresses_;
};

std::string png(double width, double height) {
  auto bytes = *UIImagePNGRepresentation(*UIImage::filledImage(UIColor::grayColor(), {width, height}, 1));
  return std::string(bytes.begin(), bytes.end());
}
}  // namespace

TEST(ScreenshotsTest, DownloadedRoundedSizedAndPagedThrough) {
  TestHttpServer server;
  for (auto [path, w, h] : {std::tuple{"/1.png", 600, 844}, {"/2.png", 300, 211}, {"/3.png", 200, 300}}) {
    TestHttpResponse r;
    r.body = png(w, h);
    r.contentType = "image/png";
    server.respond(path, r);
  }
  UIDriver ui;
  auto page = std::make_shared<Page>(std::vector<std::string>{server.url("/1.png"), server.url("/2.png"),
                                                              server.url("/3.png")});
  ui.show(page);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return page->arrived == 3; }, 10));
  ui.runUntilIdle();
  ASSERT_EQ(page->shots.size(), 3u);
  long tall = -1;
  for (auto& [n, image] : page->shots)
    if (image && image->size() == CGSize{600, 844}) tall = n;
  ASSERT_GT(tall, 0);
  auto rounded = page->shots[tall]->bitmap();
  EXPECT_EQ(rounded->at(0, 0)[3], 0) << "rounded with radius 15";
  EXPECT_EQ(rounded->at(300, 422)[3], 255);
  EXPECT_EQ(page->strip->numberOfItemsInSection(0), 3);
  // Taller than 422: scaled down to 422 high.
  EXPECT_EQ(page->strip->frameForItemAtIndexPath({0, tall - 1}).size, (CGSize{600 / (844 / 422.0), 422}));

  ASSERT_TRUE(ui.tap("0.0"));
  auto* viewer = dynamic_cast<Viewer*>(static_cast<UINavigationController*>(page->presentedViewController())->topViewController());
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer->pages->frameForItemAtIndexPath({0, 1}), CGRect::make(375, 0, 375, 700)) << "one screenshot a page";
  ASSERT_TRUE(ui.scroll("right"));
  EXPECT_EQ(viewer->pages->contentOffset().x, 375);
  ASSERT_TRUE(ui.scroll("right"));
  ASSERT_TRUE(ui.scroll("right"));
  ASSERT_TRUE(ui.scroll("right"));
  EXPECT_EQ(viewer->pages->contentOffset().x, 375 * 2) << "the last page";
  ASSERT_TRUE(ui.tap("Close"));
  EXPECT_EQ(ui.front(), page.get());
}
