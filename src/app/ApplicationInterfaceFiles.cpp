#include "app/ApplicationInterfaceFiles.h"

#include "app/KVRootScreens.h"
#include "interface/ErrorViewController.h"
#include "interface/GetPackageCell.h"
#include "interface/KVTabBarController.h"
#include "interface/PackageCell.h"
#include "operations/TasksCell.h"
#include "uikit/UIStoryboard.h"

void ApplicationInterfaceFiles::registerAll(std::shared_ptr<KVRootScreens> screens) {
  ErrorViewController::registerInterfaceFile();
  TasksCell::registerInterfaceFile();
  PackageCell::registerInterfaceFile();
  GetPackageCell::registerInterfaceFile();
  UIStoryboard::registerController(
      "Main", "TabBarVC", [screens]() -> std::shared_ptr<UIViewController> { return screens->tabBar(); }, true);
}
