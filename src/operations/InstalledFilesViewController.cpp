#include "operations/InstalledFilesViewController.h"

#include "foundation/LocalizedStrings.h"
#include "uikit/UIFont.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"

InstalledFilesViewController::InstalledFilesViewController(KVScreenContext context, std::string packageIdentifier)
    : context_(std::move(context)), packageIdentifier_(std::move(packageIdentifier)) {}

std::string InstalledFilesViewController::rowTextForLine(const std::string& line) {
  size_t parts = 1;
  for (char c : line) parts += c == '/';
  if (parts == 1) return {};
  if (parts == 2) return line;
  return std::string(parts - 2, '\t') + "/" + line.substr(line.rfind('/') + 1);
}

void InstalledFilesViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  table_ = std::make_shared<UITableView>(screen, UITableViewStylePlain);
  progressBar_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progressBar_->setFrame(CGRect::make(0, 0, screen.width(), 2));
  view()->addSubview(table_);
  view()->addSubview(progressBar_);
}

void InstalledFilesViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setOverrideLargeTitles(true);
  progressBar_->setHidden(true);
  navigationItem().setTitle(NSLocalizedString("Installed Files"));
  package_ = currentPackage();
  table_->setTableDelegate(this);
  table_->setDataSource(this);
  // The interface file "GenericCell": a plain row with its standard label.
  table_->registerClass<UITableViewCell>("genericCell");
  table_->setEstimatedRowHeight(88);
}

void InstalledFilesViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  table_->setBackgroundColor(UIColor::clearColor());
}

void InstalledFilesViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
}

std::optional<KVRPackage> InstalledFilesViewController::currentPackage() const {
  return KVRPackage::objectForPrimaryKey(packageIdentifier_);
}

long InstalledFilesViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  package_ = currentPackage();
  lines_ = package_ ? package_->installedFiles() : TextList{};
  return long(lines_.size());
}

std::shared_ptr<UITableViewCell> InstalledFilesViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                              const NSIndexPath& path) {
  auto cell = table.dequeueReusableCellWithIdentifier("genericCell", path);
  cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
  UILabel* label = cell->textLabel();
  if (auto& colors = palette()) {
    label->setTextColor(colors->primaryTextColor());
    cell->setBackgroundColor(colors->cellBackgroundColor());
  }
  label->setFont(UIFont::systemFontOfSize(15));
  label->setNumberOfLines(0);
  label->setLineBreakMode(NSLineBreakByWordWrapping);
  label->setText(path.row < long(lines_.size()) ? rowTextForLine(lines_[size_t(path.row)]) : std::string());
  return cell;
}
