#include "interface/RootViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Bundle.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "interface/KVUIPickerCell.h"
#include "interface/UIColorSimpleHex.h"
#include "uikit/UIFont.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIStackView.h"
#include "uikit/UISwitch.h"

namespace {
// The texts of a row field that holds an array of strings.
std::vector<std::string> texts(const Value& list) {
  std::vector<std::string> out;
  if (auto* items = list.arrayPtr())
    for (const Value& item : *items) out.push_back(item.asString());
  return out;
}
}  // namespace

Value RootViewController::dataWithPlist(const std::string& name) {
  auto path = Bundle::main().pathForResource(name, "plist");
  std::string error = "there is no such resource";
  std::optional<Value> data = path ? Value::fromPropertyListFile(*path, &error) : std::nullopt;
  if (!data || !data->isDictionary()) {
    KVLog("The screen description \"%s\" could not be read: %s", name.c_str(), error.c_str());
    return Value(Value::Dictionary{});
  }
  return *data;
}

RootViewController::RootViewController(Value data, UITableViewCellStyle cellStyle)
    : data_(std::move(data)), cellStyle_(cellStyle) {}

std::shared_ptr<RootViewController> RootViewController::rootViewControllerWithPlist(const std::string& name) {
  return std::make_shared<RootViewController>(dataWithPlist(name));
}

std::shared_ptr<RootViewController> RootViewController::rootViewControllerWithData(Value data,
                                                                                   UITableViewCellStyle cellStyle) {
  return std::make_shared<RootViewController>(std::move(data), cellStyle);
}

void RootViewController::setData(Value data) {
  if (data == data_) return;
  data_ = std::move(data);
  ++dataGeneration_;
  setTitle(NSLocalizedString(data_["title"].asString()));
  if (tableView_) tableView_->reloadData();
}

std::string RootViewController::stringForDataValue(const Value& text) {
  const std::string* name = text.stringPtr();
  if (!name) return {};
  // A method that answers nothing shows its own (localised) name.
  std::optional<std::string> answer = selectorReturnsString(*name) ? performStringSelector(*name) : std::nullopt;
  return NSLocalizedString(answer.value_or(*name));
}

// ---- The description

const Value& RootViewController::dataSource() const { return data_["sections"]; }

const Value& RootViewController::dataForIndexPath(const NSIndexPath& path) const {
  if (path.section < 0 || path.row < 0) return Value::null();
  return dataSource()[size_t(path.section)]["rows"][size_t(path.row)];
}

UITableViewCellStyle RootViewController::cellStyleForString(const std::string& text, UITableViewCellStyle fallback) {
  if (text == "default") return UITableViewCellStyleDefault;
  if (text == "value1") return UITableViewCellStyleValue1;
  if (text == "value2") return UITableViewCellStyleValue2;
  if (text == "subtitle") return UITableViewCellStyleSubtitle;
  return fallback;
}

std::optional<NSIndexPath> RootViewController::indexPathForPrefsKey(const std::string& key) const {
  const Value& sections = dataSource();
  for (size_t s = 0; s < sections.size(); ++s) {
    const Value& rows = sections[s]["rows"];
    for (size_t r = 0; r < rows.size(); ++r)
      if (const std::string* bound = rows[r]["prefsKey"].stringPtr(); bound && *bound == key)
        return NSIndexPath{long(s), long(r)};
  }
  return std::nullopt;
}

// ---- The view

void RootViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStylePlain);
  setView(tableView_);
  tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->registerClass<KVUIPickerCell>("picker");
  disabledIndexPaths_.clear();
}

void RootViewController::viewDidLoad() {
  setTitle(NSLocalizedString(data_["title"].asString()));
  KVPalettedViewController::viewDidLoad();
}

void RootViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!tableView_) return;
  tableView_->setBackgroundColor(palette->backgroundColor());
  tableView_->reloadData();
}

std::shared_ptr<UIView> RootViewController::artworkHeader(const std::string& title, double height,
                                                          std::shared_ptr<UILabel>* titleLabel,
                                                          std::shared_ptr<UIImageView>* artwork) {
  auto stack = std::make_shared<UIStackView>();
  stack->setFrame(CGRect::make(0, 0, view()->bounds().width(), height));
  stack->setAxis(UILayoutConstraintAxisVertical);
  stack->setAlignment(UIStackViewAlignmentCenter);
  stack->setDistribution(UIStackViewDistributionEqualSpacing);
  stack->setSpacing(10);
  auto spacer = [] {
    auto view = std::make_shared<UIView>();
    view->heightAnchor().constraintEqualToConstant(20)->setActive(true);
    return view;
  };
  auto icon = std::make_shared<UIImageView>(UIImage::imageNamed("iTunesArtwork.png"));
  icon->setContentMode(UIViewContentModeScaleAspectFill);
  icon->layer().cornerRadius = 23;
  icon->setClipsToBounds(true);
  icon->widthAnchor().constraintEqualToConstant(90)->setActive(true);
  icon->heightAnchor().constraintEqualToConstant(90)->setActive(true);
  auto label = std::make_shared<UILabel>();
  label->setFont(UIFont::boldSystemFontOfSize(16));
  label->setTextAlignment(NSTextAlignmentCenter);
  label->setText(title);
  if (palette()) label->setTextColor(palette()->primaryTextColor());
  for (auto& arranged : std::vector<std::shared_ptr<UIView>>{spacer(), icon, label, spacer()})
    stack->addArrangedSubview(arranged);
  if (titleLabel) *titleLabel = label;
  if (artwork) *artwork = icon;
  return stack;
}

// ---- Rows

long RootViewController::numberOfSectionsInTableView(UITableView&) { return long(dataSource().size()); }

long RootViewController::tableViewNumberOfRowsInSection(UITableView&, long section) {
  return section < 0 ? 0 : long(dataSource()[size_t(section)]["rows"].size());
}

std::shared_ptr<UITableViewCell> RootViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                   const NSIndexPath& path) {
  const Value& row = dataForIndexPath(path);
  const bool header = row.contains("header"), footer = !header && row.contains("footer");
  std::string identifier = row["cellType"].asString();
  if (identifier.empty()) identifier = header ? "header" : footer ? "footer" : "cell";
  if (row.contains("cellStyle")) identifier += row["cellStyle"].asString();
  auto cell = table.dequeueReusableCellWithIdentifier(identifier);
  if (!cell) cell = std::make_shared<UITableViewCell>(cellStyleForString(row["cellStyle"].asString()), identifier);

  bool enabled = std::find(disabledIndexPaths_.begin(), disabledIndexPaths_.end(), path) == disabledIndexPaths_.end();
  UILabel* detail = cell->detailTextLabel();
  cell->textLabel()->setEnabled(enabled);
  if (detail) detail->setEnabled(enabled);
  cell->setUserInteractionEnabled(enabled);

  if (auto& colors = palette()) {
    if (detail) detail->setTextColor(colors->secondaryTextColor());
    cell->textLabel()->setTextColor(colors->primaryTextColor());
    cell->setBackgroundColor(header || footer ? UIColor::clearColor() : colors->cellBackgroundColor());
  }
  cell->setAccessoryView(nullptr);
  cell->textLabel()->setText("");
  if (detail) detail->setText("");
  cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
  cell->setAccessoryType(UITableViewCellAccessoryNone);

  if (header || footer) {
    if (detail) {
      detail->setText(stringForDataValue(row[header ? "header" : "footer"]));
      detail->setNumberOfLines(header ? 1 : 0);
      detail->setFont(header ? UIFont::boldSystemFontOfSize(16) : UIFont::systemFontOfSize(13));
    }
    // Hides the row's separator without moving its text.
    cell->setSeparatorInset(UIEdgeInsets{0, 10000, 0, 0});
    cell->setIndentationWidth(-10000);
    cell->setIndentationLevel(1);
    return cell;
  }
  configureRow(*cell, row);
  return cell;
}

void RootViewController::configureRow(UITableViewCell& cell, const Value& row) {
  UILabel* detail = cell.detailTextLabel();
  cell.textLabel()->setText(stringForDataValue(row["title"]));
  cell.textLabel()->setNumberOfLines(row.contains("titleLines") ? long(row["titleLines"].asInt()) : 1);
  if (detail) {
    detail->setText(stringForDataValue(row["subtitle"]));
    detail->setNumberOfLines(0);
  }
  const std::string icon = row["icon"].asString();
  cell.imageView()->setImage(icon.empty() ? nullptr : UIImage::imageNamed(icon));

  const std::string control = row["control"].asString();
  const std::shared_ptr<KVPalette>& colors = palette();
  if (control == "button") {
    cell.setAccessoryType(UITableViewCellAccessoryNone);
    if (colors) cell.textLabel()->setTextColor(colors->tintColor());
    cell.setSelectionStyle(UITableViewCellSelectionStyleDefault);
  } else if (control == "switch") {
    // A title longer than the room beside the switch takes a second line.
    if (!row.contains("titleLines")) {
      cell.textLabel()->setNumberOfLines(2);
      cell.textLabel()->setLineBreakMode(NSLineBreakByWordWrapping);
    }
    auto toggle = std::make_shared<UISwitch>();
    toggle->setAccessibilityLabel(cell.textLabel()->text());
    if (const std::string* key = row["prefsKey"].stringPtr()) {
      toggle->addTarget(this, [this](UIControl& sender) { controlDidChangeValue(sender); }, UIControlEventValueChanged);
      toggle->setOn(QuillbarkPersistentPreferences::sharedInstance().boolForKey(*key));
    } else {
      addActionForControlEvent(row["action"].asString(), UIControlEventValueChanged, *toggle);
    }
    if (colors) toggle->setOnTintColor(colors->tintColor());
    cell.setAccessoryView(toggle);
    cell.setSelectionStyle(UITableViewCellSelectionStyleNone);
  } else if (control.empty()) {
    if (row.contains("detail")) {
      cell.setSelectionStyle(UITableViewCellSelectionStyleDefault);
      cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    } else if (row["cellType"].asString() == "picker") {
      configurePicker(cell, row);
    }
  }
  if (const std::string* color = row["titleColor"].stringPtr())
    cell.textLabel()->setTextColor(UIColorSimpleHex::colorWithHexString(*color));
  if (const std::string* color = row["subtitleColor"].stringPtr(); color && detail)
    detail->setTextColor(UIColorSimpleHex::colorWithHexString(*color));
}

void RootViewController::configurePicker(UITableViewCell& cell, const Value& row) {
  auto* picker = dynamic_cast<KVUIPickerCell*>(&cell);
  if (!picker) return;
  if (auto& colors = palette()) {
    picker->setButtonTextColor(colors->tintColor());
    picker->setPrimaryTextColor(colors->primaryTextColor());
  }
  picker->setTitleSource(texts(row["titles"]));
  std::vector<Value> values;
  if (auto* items = row["values"].arrayPtr()) values = *items;
  picker->setValueSource(std::move(values));
  picker->selectValue(Value(stringForDataValue(row["initialValue"])));
  picker->setDelegate(std::static_pointer_cast<RootViewController>(weak_from_this().lock()));
  picker->detailTextLabel()->setText(picker->currentTitle().value_or(""));
}

std::optional<NSIndexPath> RootViewController::tableViewWillSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) {
  if (std::find(disabledIndexPaths_.begin(), disabledIndexPaths_.end(), path) != disabledIndexPaths_.end())
    return std::nullopt;
  return path;
}

void RootViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  lastSelectedIndexPath_ = path;
  // A copy: the action may replace the description.
  const Value row = dataForIndexPath(path);
  const std::string* detail = row["detail"].stringPtr();
  const std::string* action = row["action"].stringPtr();
  if (detail) performSelector(*detail);
  else if (action) performSelector(*action);
  if (row["cellType"].asString() == "picker")
    if (auto* picker = dynamic_cast<KVUIPickerCell*>(table.cellForRowAtIndexPath(path).get()))
      picker->setSelectedWithTableView(&table);
}

void RootViewController::tableViewDidEndDisplayingCell(UITableView&, UITableViewCell& cell, const NSIndexPath&) {
  // An open picker that leaves the screen closes, and reports its choice as if closed.
  if (auto* picker = dynamic_cast<KVUIPickerCell*>(&cell); picker && picker->isExpanded())
    picker->setSelectedWithTableView(nullptr);
}

double RootViewController::tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  if (auto* picker = dynamic_cast<KVUIPickerCell*>(table.cellForRowAtIndexPath(path).get()))
    return picker->heightForCell();
  // A footer's lines wrap in the row's width: the row is as tall as they are.
  const Value& row = dataForIndexPath(path);
  if (!row.contains("header") && row.contains("footer")) {
    std::string text = stringForDataValue(row["footer"]);
    long lines = UIFont::systemFontOfSize(13).measure(text, std::max(1.0, table.bounds().width() - 32)).lines;
    return std::max(44.0, double(lines) * 16 + 16);
  }
  return UITableViewAutomaticDimension;
}

std::shared_ptr<UIView> RootViewController::tableViewViewForFooterInSection(UITableView&, long) {
  return std::make_shared<UIView>(CGRect::make(0, 0, 0, 24));
}

void RootViewController::setCellForRowAtIndexPath(const NSIndexPath& path, bool enabled, bool animated) {
  auto it = std::find(disabledIndexPaths_.begin(), disabledIndexPaths_.end(), path);
  if (enabled && it != disabledIndexPaths_.end()) disabledIndexPaths_.erase(it);
  if (!enabled && it == disabledIndexPaths_.end()) disabledIndexPaths_.push_back(path);
  if (!tableView_) return;
  if (animated) tableView_->beginUpdates();
  tableView_->reloadRowsAtIndexPaths({path}, UITableViewRowAnimationNone);
  if (animated) tableView_->endUpdates();
}

void RootViewController::addActionForControlEvent(const std::string& selector, unsigned long, UIControl& control) {
  if (selector.empty() || !respondsToSelector(selector)) return;
  control.addTarget(this, [this, selector](UIControl& sender) { performSelector(selector, &sender); },
                    UIControlEventValueChanged);
}
