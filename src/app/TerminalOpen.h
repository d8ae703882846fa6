#pragma once
// The terminal's `open`: a link or a file handed to the application as another
// application would hand it. The device hands over only what the application declares
// it takes (its own scheme, package files that are there); a refusal, and a link the
// application took but showed nothing for, are answered with a line.
#include <string>

#include "uikit/UIInteraction.h"

namespace TerminalOpen {
// What the application takes, for a person reading a refusal or the help.
extern const char* const kLinks;

UIInteractionResult open(const std::string& link, const std::string& sourceApplication);
}  // namespace TerminalOpen
