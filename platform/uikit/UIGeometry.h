#pragma once
// Points, sizes, rectangles, insets, transforms and index paths, in points as doubles.
#include <cmath>
#include <string>

struct CGPoint {
  double x = 0, y = 0;
  bool operator==(const CGPoint& o) const { return x == o.x && y == o.y; }
  bool operator!=(const CGPoint& o) const { return !(*this == o); }
};

struct CGSize {
  double width = 0, height = 0;
  bool operator==(const CGSize& o) const { return width == o.width && height == o.height; }
  bool operator!=(const CGSize& o) const { return !(*this == o); }
};

struct CGRect {
  CGPoint origin;
  CGSize size;
  static CGRect make(double x, double y, double w, double h) { return CGRect{{x, y}, {w, h}}; }
  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  double midX() const { return origin.x + size.width / 2; }
  double midY() const { return origin.y + size.height / 2; }
  double width() const { return size.width; }
  double height() const { return size.height; }
  bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
  bool contains(CGPoint p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
  bool intersects(const CGRect& o) const {
    return minX() < o.maxX() && o.minX() < maxX() && minY() < o.maxY() && o.minY() < maxY();
  }
  bool operator==(const CGRect& o) const { return origin == o.origin && size == o.size; }
  bool operator!=(const CGRect& o) const { return !(*this == o); }
};

struct UIEdgeInsets {
  double top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const UIEdgeInsets& o) const {
    return top == o.top && left == o.left && bottom == o.bottom && right == o.right;
  }
  bool operator!=(const UIEdgeInsets& o) const { return !(*this == o); }
};

// An affine transform; the screens only ever scale, but the six figures are kept.
struct CGAffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  static CGAffineTransform identity() { return {}; }
  static CGAffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  CGAffineTransform scaled(double sx, double sy) const { return {a * sx, b * sx, c * sy, d * sy, tx, ty}; }
  bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0; }
  bool operator==(const CGAffineTransform& o) const {
    return a == o.a && b == o.b && c == o.c && d == o.d && tx == o.tx && ty == o.ty;
  }
  bool operator!=(const CGAffineTransform& o) const { return !(*this == o); }
};

// A section and a row (or item) of a table or collection view.
struct NSIndexPath {
  long section = 0;
  long row = 0;
  static NSIndexPath indexPathForRow(long row, long section) { return {section, row}; }
  static NSIndexPath indexPathForItem(long item, long section) { return {section, item}; }
  long item() const { return row; }
  NSIndexPath withRow(long r) const { return {section, r}; }
  bool operator==(const NSIndexPath& o) const { return section == o.section && row == o.row; }
  bool operator!=(const NSIndexPath& o) const { return !(*this == o); }
  bool operator<(const NSIndexPath& o) const { return section != o.section ? section < o.section : row < o.row; }
  std::string description() const { return std::to_string(section) + "." + std::to_string(row); }
};
