#include "app/ApplicationInterfaceFiles.h"

#include "account/NewsCell.h"
#include "app/KVRootScreens.h"
#include "browse/BigFeaturedCell.h"
#include "browse/CategoriesCell.h"
#include "browse/DeveloperCell.h"
#include "interface/ErrorViewController.h"
#include "interface/GetPackageCell.h"
#include "interface/KVTabBarController.h"
#include "interface/PackageCell.h"
#include "interface/SearchCell.h"
#include "operations/TasksCell.h"
#include "package/AllReviewsCell.h"
#include "package/ReviewsCell.h"
#include "package/ScreenshotsCell.h"
#include "sources/SourcesCell.h"
#include "uikit/UIStoryboard.h"

void ApplicationInterfaceFiles::registerAll(std::shared_ptr<KVRootScreens> screens) {
  ErrorViewController::registerInterfaceFile();
  TasksCell::registerInterfaceFile();
  PackageCell::registerInterfaceFile();
  GetPackageCell::registerInterfaceFile();
  ScreenshotsCell::registerInterfaceFile();
  DeveloperCell::registerInterfaceFile();
  CategoriesCell::registerInterfaceFile();
  BigFeaturedCell::registerInterfaceFile();
  ReviewsCell::registerInterfaceFile();
  AllReviewsCell::registerInterfaceFile();
  SearchCell::registerInterfaceFile();
  SourcesCell::registerInterfaceFile();
  NewsCell::registerInterfaceFile();
  UIStoryboard::registerController(
      "Main", "TabBarVC", [screens]() -> std::shared_ptr<UIViewController> { return screens->tabBar(); }, true);
}
