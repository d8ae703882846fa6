#pragma once
// A short confirmation ("Followed", "Unfollowed"): an alert with a title only, no
// message and no button, dismissed 0.1 s after it has appeared.
#include <string>

class UIViewController;

namespace KVShortConfirmation {
// Presented by `presenter`, animated; `title` is looked up in the string table.
void show(UIViewController& presenter, const std::string& title);
}  // namespace KVShortConfirmation
