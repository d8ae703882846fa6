#pragma once
// One source's row of the manage tab: icon, name, description, the number of its
// installed packages, the number of its packages and the time since its index was
// generated, each count beside its picture. A plain holder of views: the manage tab fills
// it. Interface file "SourcesCell"; the manage tab registers it under "sourcesCell".
#include <mutex>
#include <string>

#include "uikit/UITableViewCell.h"

class UIImageView;
class UILabel;

class SourcesCell : public UITableViewCell {
 public:
  explicit SourcesCell(const std::string& reuseIdentifier = "sourcesCell");
  static void registerInterfaceFile();

  // The source's regeneration date text and location, read by the time-since ticker.
  std::string regenDate() const;
  void setRegenDate(std::string date);
  std::string sourceLocation() const;
  void setSourceLocation(std::string location);

  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* descriptionLbl() const { return descriptionLbl_; }
  UIView* containerView() const { return containerView_; }
  UIImageView* installedPackagesImgView() const { return installedImage_; }
  UILabel* installedPackagesLbl() const { return installedLbl_; }
  UIImageView* totalPackagesImgView() const { return totalImage_; }
  UILabel* totalPackagesLbl() const { return totalLbl_; }
  UIImageView* lastRepoRegenImgView() const { return regenImage_; }
  UILabel* lastRepoRegenLbl() const { return regenLbl_; }
  UIView* separator() const { return separator_; }

  // "name | description · N installed · M packages · age | >": what a person reads.
  void screenRowParts(std::string& text, std::string& detail, std::string& accessory) const override;
  // The texts and the strip fill the row's width, short of its chevron.
  void layoutSubviews() override;

 private:
  mutable std::mutex mutex_;
  std::string regenDate_;
  std::string sourceLocation_;
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* descriptionLbl_ = nullptr;
  UIView* containerView_ = nullptr;
  UIImageView* installedImage_ = nullptr;
  UILabel* installedLbl_ = nullptr;
  UIImageView* totalImage_ = nullptr;
  UILabel* totalLbl_ = nullptr;
  UIImageView* regenImage_ = nullptr;
  UILabel* regenLbl_ = nullptr;
  UIView* separator_ = nullptr;
};
