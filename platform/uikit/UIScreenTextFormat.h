#pragma once
// Small helpers shared by the views' screen text.
#include <string>

namespace UIScreenTextFormat {
// Line breaks become " / ", runs of blanks one blank; longer texts are cut with "...".
std::string oneLine(const std::string& text, size_t maxLength = 160);
}  // namespace UIScreenTextFormat
