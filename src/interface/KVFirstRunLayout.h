#pragma once
// The arrangement the first run's pages share: a heading across the screen, and the
// button that leads on at the bottom. Each adds its view to `view` and hands it back.
#include <functional>
#include <string>

#include "uikit/NSParagraphStyle.h"

class UIButton;
class UILabel;
class UIView;

namespace KVFirstRunLayout {
// A bold heading of `fontSize` points at `y`, 24 points in from either side.
UILabel* addHeading(UIView& view, const std::string& text, double y, double fontSize,
                    NSTextAlignment alignment = NSTextAlignmentLeft);
// A full-width button near the bottom of the screen that runs `action` when tapped.
UIButton* addBottomButton(UIView& view, const std::string& title, std::function<void()> action);
}  // namespace KVFirstRunLayout
