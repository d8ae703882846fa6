#pragma once
// How a paragraph of text is set: alignment, line breaking and the space around lines
// and paragraphs.
enum NSTextAlignment : long {
  NSTextAlignmentLeft = 0,
  NSTextAlignmentCenter = 1,
  NSTextAlignmentRight = 2,
  NSTextAlignmentJustified = 3,
  NSTextAlignmentNatural = 4,
};

enum NSLineBreakMode : long {
  NSLineBreakByWordWrapping = 0,
  NSLineBreakByCharWrapping = 1,
  NSLineBreakByClipping = 2,
  NSLineBreakByTruncatingHead = 3,
  NSLineBreakByTruncatingTail = 4,
  NSLineBreakByTruncatingMiddle = 5,
};

struct NSParagraphStyle {
  NSTextAlignment alignment = NSTextAlignmentNatural;
  NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping;
  double lineSpacing = 0;
  double paragraphSpacing = 0;        // after each paragraph
  double paragraphSpacingBefore = 0;  // before each paragraph
  double firstLineHeadIndent = 0;
  double headIndent = 0;
  bool operator==(const NSParagraphStyle&) const = default;
};
