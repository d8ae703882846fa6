#pragma once
// The few pieces of CSS the HTML reader understands in a style attribute: declarations
// ("property: value; ..."), lengths, weights, font families and colours. What it does not
// understand it leaves out, as a browser drops a declaration it cannot read.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "uikit/UIColor.h"

namespace CSSDeclarations {

// The declarations in order, the property in lower case, both sides without the blanks
// around them; an "!important" mark is dropped.
std::vector<std::pair<std::string, std::string>> parse(std::string_view declarations);

// A font size: a number, in "px" or "pt" (both points here), "em" or "%" of `current`.
std::optional<double> length(const std::string& value, double current);
// Whether a "font-weight" is bold ("bold", "bolder", 600 and above), none for what is no
// weight.
std::optional<bool> isBold(const std::string& value);
// The first family of a "font-family" list, without its quotes.
std::string firstFamily(const std::string& value);
// A colour: a name of the basic sixteen (and "orange", "grey"), "#rgb", "#rrggbb",
// "rgb(r, g, b)" or "rgba(r, g, b, a)".
std::optional<UIColor> color(const std::string& value);

}  // namespace CSSDeclarations
