#include "interface/TweakCompatibilityManagerColors.h"

#include "database/TweakCompatibilityManager.h"

namespace TweakCompatibilityManagerColors {

UIColor colorForStatus(int status) {
  if (status == TweakCompatibilityManager::Working) return UIColor::systemGreenColor();
  if (status == TweakCompatibilityManager::NotWorking) return UIColor::systemRedColor();
  return UIColor::systemYellowColor();
}

UIColor colorForBundle(const std::string& identifier, const std::string& version) {
  return colorForStatus(TweakCompatibilityManager::sharedCompatibilityForBundle(identifier, version));
}

}  // namespace TweakCompatibilityManagerColors
