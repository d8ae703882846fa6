#pragma once
#include <memory>
#include <string>

#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIView.h"

enum UITableViewCellStyle : long {
  UITableViewCellStyleDefault = 0,
  UITableViewCellStyleValue1 = 1,
  UITableViewCellStyleValue2 = 2,
  UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellAccessoryType : long {
  UITableViewCellAccessoryNone = 0,
  UITableViewCellAccessoryDisclosureIndicator = 1,
  UITableViewCellAccessoryDetailDisclosureButton = 2,
  UITableViewCellAccessoryCheckmark = 3,
  UITableViewCellAccessoryDetailButton = 4,
};

enum UITableViewCellSelectionStyle : long {
  UITableViewCellSelectionStyleNone = 0,
  UITableViewCellSelectionStyleBlue = 1,
  UITableViewCellSelectionStyleGray = 2,
  UITableViewCellSelectionStyleDefault = 3,
};

// A table row. The default, value1, value2 and subtitle styles carry a main label, a
// detail label (all but default) and an image view in the content view.
class UITableViewCell : public UIView {
 public:
  explicit UITableViewCell(UITableViewCellStyle style = UITableViewCellStyleDefault, std::string reuseIdentifier = {});

  UITableViewCellStyle style() const { return style_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
  UIView* contentView() const { return contentView_.get(); }
  UILabel* textLabel() const { return textLabel_.get(); }
  UILabel* detailTextLabel() const { return detailTextLabel_.get(); }  // null in the default style
  UIImageView* imageView() const { return imageView_.get(); }
  UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(UITableViewCellAccessoryType type) { accessoryType_ = type; }
  const std::shared_ptr<UIView>& accessoryView() const { return accessoryView_; }
  void setAccessoryView(std::shared_ptr<UIView> view);
  UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected, bool animated = false);
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted, bool animated = false) { (void)animated; highlighted_ = highlighted; }
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated = false) { (void)animated; editing_ = editing; }
  UIEdgeInsets separatorInset() const { return separatorInset_; }
  void setSeparatorInset(UIEdgeInsets insets) { separatorInset_ = insets; }
  long indentationLevel() const { return indentationLevel_; }
  void setIndentationLevel(long level) { indentationLevel_ = level; }
  double indentationWidth() const { return indentationWidth_; }
  void setIndentationWidth(double width) { indentationWidth_ = width; }
  const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
  void setBackgroundView(std::shared_ptr<UIView> view) { backgroundView_ = std::move(view); }
  const std::shared_ptr<UIView>& selectedBackgroundView() const { return selectedBackgroundView_; }
  void setSelectedBackgroundView(std::shared_ptr<UIView> view) { selectedBackgroundView_ = std::move(view); }

  // Called by the table before it hands the cell out again.
  virtual void prepareForReuse() {}
  // The content view fills the row but for the accessory at its right; the style's own
  // labels and image stand in it as the style places them, unless placed otherwise.
  void layoutSubviews() override;

  // The row as the screen text shows it: "text | detail | accessory". The default takes
  // the main and detail labels, else the visible labels of the content view in order,
  // and names buttons and switches in the accessory part.
  virtual void screenRowParts(std::string& text, std::string& detail, std::string& accessory) const;
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  UITableViewCellStyle style_;
  std::string reuseIdentifier_;
  std::shared_ptr<UIView> contentView_;
  std::shared_ptr<UILabel> textLabel_;
  std::shared_ptr<UILabel> detailTextLabel_;
  std::shared_ptr<UIImageView> imageView_;
  UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
  std::shared_ptr<UIView> accessoryView_;
  UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleDefault;
  bool selected_ = false, highlighted_ = false, editing_ = false;
  UIEdgeInsets separatorInset_{0, 15, 0, 0};
  long indentationLevel_ = 0;
  double indentationWidth_ = 10;
  std::shared_ptr<UIView> backgroundView_, selectedBackgroundView_;
  // Where the layout last put the style's views, so that a frame set by the cell's
  // owner is kept.
  CGRect placedImage_, placedText_, placedDetail_, placedAccessory_;
};
