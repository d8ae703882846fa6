#pragma once
// Frames from constraints, so a screen states each geometry once. A view that opts out
// of its autoresizing mask (translatesAutoresizingMaskIntoConstraints false) gets,
// when its superview lays out, the frame its active constraints give it; every other
// view keeps the frame code gives it and serves as a fixed point.
//
// What is solved is what screens write: equalities between the edges, centres and
// sizes of views and of their safe-area and margin guides, with a multiplier and a
// constant. Required constraints come first, then the others by priority; the first
// constraint that settles a value wins and a later one that disagrees is ignored, as is
// every inequality. Constraints to a view's own subviews come after all the others:
// they size the view only where nothing outside it does. An axis left with a position but no size takes the view's
// intrinsic size (a label's text, wrapped at its width); an axis no constraint settles
// keeps its frame. Leading and trailing are left and right.
class UIView;

namespace UIFrameLayout {
// Places the subviews of `container` that are laid out by constraints.
void layoutSubviewsOf(UIView& container);
}  // namespace UIFrameLayout
