#pragma once
// The an+b expressions of :nth-child() and its kin: positions n·k + c for k ≥ 0.
#include <cstdint>

#include "html/HTMLString.h"

namespace html {

struct HTMLNthExpression {
  int64_t n = 0;
  int64_t c = 0;
  bool operator==(const HTMLNthExpression&) const = default;
};

inline constexpr HTMLNthExpression HTMLNthExpressionOdd{2, 1};
inline constexpr HTMLNthExpression HTMLNthExpressionEven{2, 0};
// {0, 0} stands for an expression that could not be read.
inline constexpr HTMLNthExpression HTMLNthExpressionInvalid{0, 0};

inline HTMLNthExpression HTMLNthExpressionMake(int64_t n, int64_t c) { return {n, c}; }
inline bool HTMLNthExpressionEqualToNthExpression(HTMLNthExpression a, HTMLNthExpression b) { return a == b; }

// "odd", "even", "2n+1", "-n+3", "n", "3", ... (blanks around allowed); anything else is
// the invalid expression.
HTMLNthExpression HTMLNthExpressionFromString(StringView string);

// Whether the 1-based position is one of the expression's.
bool HTMLNthExpressionMatchesPosition(HTMLNthExpression expression, int64_t position);

}  // namespace html
