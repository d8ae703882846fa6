#pragma once
// One news entry: its title, author, date, banner (the application's default banner when
// the banner's address gives no picture) and text. Its Close button and a right swipe
// close it. Presented by the news list.
#include <memory>

#include "account/KVNews.h"
#include "interface/KVPalettedViewController.h"

class NSLayoutConstraint;
class UIButton;
class UIImageView;
class UILabel;

class NewsDetailsViewController : public KVPalettedViewController {
 public:
  static constexpr const char* kDefaultBanner = "default-banner.jpeg";
  static constexpr double kBannerAspect = 1.78;

  explicit NewsDetailsViewController(KVNews news);

  const KVNews& news() const { return news_; }
  void setNews(KVNews news) { news_ = std::move(news); }
  UIButton* closeBtn() const { return closeBtn_; }
  UILabel* titleLbl() const { return titleLbl_; }
  UILabel* authorLbl() const { return authorLbl_; }
  UILabel* dateLbl() const { return dateLbl_; }
  UIImageView* imageView() const { return imageView_; }
  NSLayoutConstraint* imageViewHeightConstraint() const { return imageViewHeight_.get(); }
  UILabel* newsContentLbl() const { return newsContentLbl_; }

  // Fills the page from the entry and starts the banner's download.
  void setContent();
  void close();
  void backSwipe();

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

 private:
  void bannerArrived(std::shared_ptr<UIImage> image);

  KVNews news_;
  UIButton* closeBtn_ = nullptr;
  UILabel* titleLbl_ = nullptr;
  UILabel* authorLbl_ = nullptr;
  UILabel* dateLbl_ = nullptr;
  UIImageView* imageView_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> imageViewHeight_;
  UILabel* newsContentLbl_ = nullptr;
};
