#pragma once
// Colours written as hexadecimal RRGGBB texts, optionally preceded by "#".
#include <string>

#include "uikit/UIColor.h"

namespace UIColorSimpleHex {
UIColor colorWithHexString(const std::string& hex, double alpha);
UIColor colorWithHexString(const std::string& hex);
}  // namespace UIColorSimpleHex
