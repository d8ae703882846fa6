#pragma once
// A font as name, size and weight. Text is measured with fixed per-character advances so
// that every width the screens compute is the same on every machine, unless a measurer
// that knows the drawn faces is put in their place (where a person watches the screen).
#include <functional>
#include <string>

inline constexpr double UIFontWeightUltraLight = -0.8;
inline constexpr double UIFontWeightThin = -0.6;
inline constexpr double UIFontWeightLight = -0.4;
inline constexpr double UIFontWeightRegular = 0.0;
inline constexpr double UIFontWeightMedium = 0.23;
inline constexpr double UIFontWeightSemibold = 0.3;
inline constexpr double UIFontWeightBold = 0.4;
inline constexpr double UIFontWeightHeavy = 0.56;
inline constexpr double UIFontWeightBlack = 0.62;

class UIFont {
 public:
  UIFont() = default;  // the system font of 17 pt
  static UIFont systemFontOfSize(double size, double weight = UIFontWeightRegular);
  static UIFont boldSystemFontOfSize(double size);
  static UIFont italicSystemFontOfSize(double size);
  static UIFont fontWithName(const std::string& name, double size);

  const std::string& fontName() const { return name_; }
  double pointSize() const { return size_; }
  double weight() const { return weight_; }
  bool isBold() const { return weight_ >= UIFontWeightSemibold; }
  bool isItalic() const { return italic_; }
  double lineHeight() const;
  UIFont fontWithSize(double size) const;
  // The same face at another weight, upright or italic (bold italic among them).
  UIFont fontWithWeight(double weight, bool italic) const;

  // Width of one line of text in this font.
  double widthOfString(const std::string& text) const;

  // The widest line and the number of lines the text takes in this font, each of its
  // paragraphs (between newlines) wrapped at `width` where that is above zero.
  struct Extent {
    double width = 0;
    long lines = 0;
  };
  Extent measure(const std::string& text, double width = 0) const;

  // Who measures text for every font; empty: the fixed advances.
  using Measurer = std::function<Extent(const UIFont& font, const std::string& text, double width)>;
  static void setTextMeasurer(Measurer measurer);
  static const Measurer& textMeasurer();

  bool operator==(const UIFont& o) const {
    return name_ == o.name_ && size_ == o.size_ && weight_ == o.weight_ && italic_ == o.italic_;
  }
  bool operator!=(const UIFont& o) const { return !(*this == o); }
  std::string description() const;

 private:
  std::string name_ = ".SFUI";
  double size_ = 17;
  double weight_ = UIFontWeightRegular;
  bool italic_ = false;
};
