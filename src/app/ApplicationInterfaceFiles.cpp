#include "app/ApplicationInterfaceFiles.h"

#include "app/KVPlaceholderViewController.h"
#include "browse/PackagesTableViewController.h"
#include "interface/ErrorViewController.h"
#include "interface/GetPackageCell.h"
#include "interface/KVTabBarController.h"
#include "interface/PackageCell.h"
#include "operations/PackagesConfirmationViewController.h"
#include "operations/TasksCell.h"
#include "operations/TasksVerboseViewController.h"
#include "operations/TasksViewController.h"
#include "sources/SourceViewController.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIStoryboard.h"
#include "uikit/UITabBarItem.h"

namespace {
// The five tabs in their order: the update badge goes on the second, the quick action
// "Add Source" selects the fourth, the developer links the fifth.
std::shared_ptr<UIViewController> makeTabBar() {
  auto tabs = std::make_shared<KVTabBarController>();
  std::vector<std::shared_ptr<UIViewController>> screens;
  for (const char* title : {"Featured", "Categories", "Changes", "Manage", "Search"}) {
    auto screen = std::make_shared<KVPlaceholderViewController>(title);
    auto navigation = std::make_shared<UINavigationController>(screen);
    navigation->tabBarItem()->setTitle(title);
    screens.push_back(navigation);
  }
  tabs->setViewControllers(screens);
  return tabs;
}
}  // namespace

void ApplicationInterfaceFiles::registerAll() {
  ErrorViewController::registerInterfaceFile();
  TasksViewController::registerInterfaceFile();
  TasksVerboseViewController::registerInterfaceFile();
  TasksCell::registerInterfaceFile();
  PackageCell::registerInterfaceFile();
  GetPackageCell::registerInterfaceFile();
  PackagesTableViewController::registerInterfaceFile();
  SourceViewController::registerInterfaceFile();
  PackagesConfirmationViewController::registerInterfaceFile();
  UIStoryboard::registerController("Main", "TabBarVC", makeTabBar, true);
  // Last: only the screens nobody registered become placeholders.
  KVPlaceholderViewController::registerMissingInterfaceFiles();
}
