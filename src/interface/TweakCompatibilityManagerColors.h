#pragma once
// The colour of a compatibility status (TweakCompatibilityManager(Colors)): green for
// working, red for not working, yellow for unknown. Kept with the interface so the
// database knows nothing of colours.
#include <string>

#include "uikit/UIColor.h"

namespace TweakCompatibilityManagerColors {
UIColor colorForStatus(int status);
// The colour of what the shared list says of this version.
UIColor colorForBundle(const std::string& identifier, const std::string& version);
}  // namespace TweakCompatibilityManagerColors
