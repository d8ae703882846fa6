#pragma once
// A screen whose whole content is a description: sections of rows, each row a small
// dictionary saying what it shows (a title with subtitle and icon, a header or footer
// text, an inline picker) and what it does (a button-like row, a disclosure row, a switch
// bound to a preference key, optionally behind the device owner's authentication). The
// description is a property list of the bundle ("Settings", "Account", "Changelog") or
// is built in code (the local package screen).
//
// Rows name what they call: an action ("action", "detail", "callback"), a switch's own
// action (which receives the switch, as a UIControl*), or a value ("title", "subtitle",
// "header", "footer", "initialValue" naming a text method shows what it answers). A
// screen exposes each name it answers once, in its constructor, as a selector of its own
// (exposeSelector, exposeStringSelector); a name it does not answer is skipped.
//
// Description keys, by level:
//   screen  "title", "sections"
//   section "rows"
//   row     "header" | "footer" | "cellType" ("picker") | "cellStyle" ("default", "value1",
//           "value2", "subtitle") | "title" | "titleLines" | "subtitle" | "icon" |
//           "control" ("button", "switch") | "prefsKey" | "action" | "detail" |
//           "titles", "values", "initialValue" (pickers) | "titleColor", "subtitleColor"
//   switch with "prefsKey": "requiresAuthentication", "disablesKeys", "enableKeys",
//           "additionalKeys", "invertedAdditionalKeys", "requiresReloadSection", "callback"
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVPickerCellDelegate.h"
#include "uikit/UITableView.h"

class UIControl;
class UIImageView;
class UISwitch;

// Where a switch change stands with the device owner's authentication.
enum KVAuthenticationState : int { KVAuthenticationPassed = 0, KVAuthenticationFailed = 1, KVAuthenticationNotAsked = 2 };

class RootViewController : public KVPalettedViewController,
                           public UITableViewDataSource,
                           public UITableViewDelegate,
                           public KVPickerCellDelegate {
 public:
  // The description in the bundle's property list `name`.plist; an empty one when the
  // list is missing or unreadable (logged).
  static Value dataWithPlist(const std::string& name);
  // initWithData: / initWithPlist: (with dataWithPlist); `cellStyle` is the style of rows
  // that name none.
  explicit RootViewController(Value data, UITableViewCellStyle cellStyle = UITableViewCellStyleSubtitle);
  static std::shared_ptr<RootViewController> rootViewControllerWithPlist(const std::string& name);
  static std::shared_ptr<RootViewController> rootViewControllerWithData(
      Value data, UITableViewCellStyle cellStyle = UITableViewCellStyleSubtitle);

  const Value& data() const { return data_; }
  // A different description: stored, the title set from its "title", the table reloaded.
  void setData(Value data);
  UITableViewCellStyle cellStyle() const { return cellStyle_; }
  void setCellStyle(UITableViewCellStyle style) { cellStyle_ = style; }
  UITableView* tableView() const { return tableView_.get(); }
  const std::vector<NSIndexPath>& disabledIndexPaths() const { return disabledIndexPaths_; }
  const std::optional<NSIndexPath>& lastSelectedIndexPath() const { return lastSelectedIndexPath_; }

  // The sections, and the row at a path (null outside them).
  const Value& dataSource() const;
  const Value& dataForIndexPath(const NSIndexPath& path) const;
  static UITableViewCellStyle cellStyleForString(const std::string& text, UITableViewCellStyle fallback);
  UITableViewCellStyle cellStyleForString(const std::string& text) const { return cellStyleForString(text, cellStyle_); }
  // A data text: what the text method it names answers (its own name when the method
  // answers nothing), else the text itself, looked up in the string table. Absent: "".
  std::string stringForDataValue(const Value& text);
  bool selectorDoesReturnString(const std::string& selector) const { return selectorReturnsString(selector); }
  std::optional<NSIndexPath> indexPathForPrefsKey(const std::string& key) const;

  // A switch bound to a preference key changed (its value-changed action).
  void controlDidChangeValue(UIControl& control);
  void controlDidChangeValue(UIControl& control, KVAuthenticationState authentication);
  void authenticateBeforeApplyingChangesToControl(UIControl& control);
  // The named action as the control's value-changed action (whatever `events` says).
  void addActionForControlEvent(const std::string& selector, unsigned long events, UIControl& control);
  void setCellForRowAtIndexPath(const NSIndexPath& path, bool enabled, bool animated);

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long numberOfSectionsInTableView(UITableView&) override;
  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidEndDisplayingCell(UITableView&, UITableViewCell& cell, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, long) override;
  double tableViewHeightForFooterInSection(UITableView&, long) override { return 24; }
  double tableViewHeightForHeaderInSection(UITableView&, long) override { return 0; }

 protected:
  // A header of the application's artwork above a bold title, `height` points high; the
  // title label (for re-theming) and the artwork are handed back.
  std::shared_ptr<UIView> artworkHeader(const std::string& title, double height, std::shared_ptr<UILabel>* titleLabel,
                                        std::shared_ptr<UIImageView>* artwork = nullptr);

 private:
  // A switch change as the row was bound when its cell was configured.
  struct SwitchChange {
    Value row;
    NSIndexPath path;
    uint64_t generation = 0;
    bool on = false;
  };
  std::optional<SwitchChange> switchChangeForControl(UIControl& control) const;
  void applySwitchChange(const SwitchChange& change, KVAuthenticationState authentication);
  void askOwnerBeforeApplying(SwitchChange change);
  // The row still stands where the change found it, as it was.
  bool rowStillBound(const SwitchChange& change) const;
  void showSwitchState(const std::string& key, bool on);
  void reloadRow(const NSIndexPath& path);
  void configureRow(UITableViewCell& cell, const Value& row);
  void configurePicker(UITableViewCell& cell, const Value& row);

  std::vector<NSIndexPath> disabledIndexPaths_;
  std::optional<NSIndexPath> lastSelectedIndexPath_;
  Value data_;
  // Changes with every new description: a reply about an older one finds its row gone.
  uint64_t dataGeneration_ = 0;
  std::shared_ptr<UITableView> tableView_;
  UITableViewCellStyle cellStyle_;
};
