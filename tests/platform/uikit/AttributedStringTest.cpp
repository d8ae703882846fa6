// Attributed text counted in UTF-16 units, its attribute runs, and links a person taps.
#include <gtest/gtest.h>

#include "foundation/StringEncoding.h"
#include "support/UIDriver.h"
#include "uikit/NSAttributedString.h"
#include "uikit/UIApplication.h"
#include "uikit/UILabel.h"
#include "uikit/UITextView.h"

namespace {
NSTextAttributes underlined(const std::string& link) {
  NSTextAttributes a;
  a.link = link;
  a.underlineStyle = NSUnderlineStyleSingle;
  a.underlineColor = UIColor::blueColor();
  return a;
}
}  // namespace

TEST(AttributedStringTest, LengthsAndRangesCountUTF16Units) {
  NSAttributedString text("caf\xC3\xA9 \xF0\x9F\x98\x80 ok");  // "café 😀 ok"
  EXPECT_EQ(text.length(), 10u) << "é is one unit, the emoji two";
  EXPECT_EQ(text.rangeOfString("\xF0\x9F\x98\x80"), (NSRange{5, 2}));
  EXPECT_EQ(text.rangeOfString("ok"), (NSRange{8, 2}));
  EXPECT_EQ(text.rangeOfString("ok", 9), (NSRange{NSNotFound, 0}));
  EXPECT_EQ(text.substringWithRange({3, 4}), "\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(text.string(), "caf\xC3\xA9 \xF0\x9F\x98\x80 ok");
  // Half of a pair alone is no character: it reads back as U+FFFD.
  EXPECT_EQ(text.substringWithRange({5, 1}), "\xEF\xBF\xBD");
  // Bytes that are not UTF-8 become one replacement character each.
  NSAttributedString bad("a\xFF" "b");
  EXPECT_EQ(bad.length(), 3u);
  EXPECT_EQ(bad.string(), "a\xEF\xBF\xBD" "b");
  EXPECT_THROW(text.substringWithRange({9, 2}), std::out_of_range);
  EXPECT_THROW(text.attributesAtIndex(10), std::out_of_range);
}

TEST(AttributedStringTest, AttributesSplitAndJoinRuns) {
  NSTextAttributes body;
  body.font = UIFont::systemFontOfSize(15);
  NSAttributedString text("Developer replied\n\nThanks", body);
  NSTextAttributes italic;
  italic.font = UIFont::italicSystemFontOfSize(15);
  italic.foregroundColor = UIColor::grayColor();
  text.addAttributes(italic, {0, 17});
  NSRange run;
  EXPECT_EQ(text.attributesAtIndex(3, &run).font, UIFont::italicSystemFontOfSize(15));
  EXPECT_EQ(run, (NSRange{0, 17}));
  EXPECT_EQ(text.attributesAtIndex(20, &run).font, UIFont::systemFontOfSize(15));
  EXPECT_EQ(run, (NSRange{17, 8}));
  EXPECT_FALSE(text.attributesAtIndex(20).foregroundColor);
  ASSERT_EQ(text.runs().size(), 2u);
  EXPECT_EQ(text.runs()[1].text, "\n\nThanks");

  // A paragraph style over everything leaves the fonts alone.
  NSParagraphStyle left;
  left.alignment = NSTextAlignmentLeft;
  left.paragraphSpacing = 6;
  NSTextAttributes paragraph;
  paragraph.paragraphStyle = left;
  text.addAttributes(paragraph, {0, text.length()});
  EXPECT_EQ(text.attributesAtIndex(0).paragraphStyle->paragraphSpacing, 6);
  EXPECT_EQ(text.attributesAtIndex(0).font, UIFont::italicSystemFontOfSize(15));
  EXPECT_EQ(text.runs().size(), 2u);
  // Setting replaces every attribute; equal neighbours join again.
  text.setAttributes(paragraph, {0, text.length()});
  EXPECT_EQ(text.runs().size(), 1u);
  EXPECT_FALSE(text.attributesAtIndex(0).font);
}

TEST(AttributedStringTest, UnderlineRemovedOverTheFirstOccurrenceOfALink) {
  // What the description view does with detected links: the underline goes, the link stays.
  NSAttributedString text("See https://a.example and https://a.example again");
  NSRange second = text.rangeOfString("https://a.example", 10);
  text.addAttributes(underlined("https://a.example"), {4, 17});
  text.addAttributes(underlined("https://a.example"), second);
  NSRange first = text.rangeOfString("https://a.example");
  text.removeAttribute(NSAttributeKey::UnderlineStyle, first);
  text.removeAttribute(NSAttributeKey::UnderlineColor, first);
  EXPECT_FALSE(text.attributesAtIndex(4).underlineStyle);
  EXPECT_FALSE(text.attributesAtIndex(4).underlineColor);
  EXPECT_EQ(text.attributesAtIndex(4).link, "https://a.example");
  EXPECT_EQ(text.attributesAtIndex(second.location).underlineStyle, NSUnderlineStyleSingle);
  auto links = text.links();
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].first, first);
  EXPECT_EQ(links[1].first, second);
}

TEST(AttributedStringTest, EditingKeepsAttributesInPlace) {
  NSTextAttributes red;
  red.foregroundColor = UIColor::redColor();
  NSAttributedString text("Hello\n\n", red);
  text.append("tail");
  text.deleteCharactersInRange({7, 4});
  // Dropping trailing line feeds one at a time, as the description view does.
  while (!text.empty() && text.string().back() == '\n') text.deleteCharactersInRange({text.length() - 1, 1});
  EXPECT_EQ(text.string(), "Hello");
  EXPECT_EQ(text.runs().size(), 1u);
  text.replaceCharactersInRange({0, 1}, "J\xC3\xA9");
  EXPECT_EQ(text.string(), "J\xC3\xA9" "ello");
  EXPECT_EQ(text.attributesAtIndex(1).foregroundColor, UIColor::redColor()) << "inserted text takes the replaced attributes";
  auto part = text.attributedSubstringFromRange({1, 3});
  EXPECT_EQ(part.string(), "\xC3\xA9" "el");
  EXPECT_EQ(part.attributesAtIndex(0).foregroundColor, UIColor::redColor());
  EXPECT_THROW(text.deleteCharactersInRange({3, 9}), std::out_of_range);
}

namespace {
class ReviewForm : public UIViewController, public UITextViewDelegate {
 public:
  std::shared_ptr<UITextView> review = std::make_shared<UITextView>();
  std::shared_ptr<UITextView> about = std::make_shared<UITextView>();
  std::vector<std::pair<std::string, NSRange>> taps;
  bool allowLinks = false;
  void viewDidLoad() override {
    review->setTextViewDelegate(this);
    review->setAccessibilityLabel("Review");
    about->setEditable(false);
    about->setTextViewDelegate(this);
    NSAttributedString text("Read the FAQ or mail us");
    text.addAttributes(underlined("https://faq.example/"), text.rangeOfString("FAQ"));
    text.addAttributes(underlined("mailto:dev@example.org"), text.rangeOfString("mail us"));
    about->setAttributedText(text);
    view()->addSubview(review);
    view()->addSubview(about);
  }
  bool textViewShouldChangeTextInRange(UITextView& v, NSRange range, const std::string& replacement) override {
    size_t now = v.attributedText().length();
    return now - range.length + utf16FromUTF8(replacement).size() <= 1000;
  }
  bool textViewShouldInteractWithURL(UITextView&, const std::string& url, NSRange range) override {
    taps.push_back({url, range});
    return allowLinks;
  }
};
}  // namespace

TEST(AttributedStringTest, TextViewLimitCountsUTF16AndLinksAreTapped) {
  UIDriver ui;
  auto form = std::make_shared<ReviewForm>();
  ui.show(form);
  ASSERT_TRUE(ui.type(std::string(998, 'a'), "Review"));
  EXPECT_FALSE(ui.type("\xF0\x9F\x98\x80\xF0\x9F\x98\x80", "Review")) << "two emoji are four units";
  EXPECT_TRUE(ui.type("\xF0\x9F\x98\x80", "Review"));
  EXPECT_EQ(form->review->attributedText().length(), 1000u);
  EXPECT_FALSE(ui.type("b", "Review")) << "the 1001st unit is refused";
  // Replacing a selection counts the length the text would have.
  EXPECT_TRUE(form->review->replaceByUser({0, 2}, "xy"));
  EXPECT_FALSE(form->review->replaceByUser({0, 1}, "xy"));

  EXPECT_TRUE(form->about->tapLinkByUser("FAQ"));
  ASSERT_EQ(form->taps.size(), 1u);
  EXPECT_EQ(form->taps[0].first, "https://faq.example/");
  EXPECT_EQ(form->taps[0].second, (NSRange{9, 3}));
  EXPECT_TRUE(UIApplication::sharedApplication().openedURLs().empty()) << "the delegate kept the link";
  form->allowLinks = true;
  EXPECT_TRUE(form->about->tapLinkByUser("mailto:dev@example.org"));
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs(), (std::vector<std::string>{"mailto:dev@example.org"}));
  EXPECT_FALSE(form->about->tapLinkByUser("Read")) << "plain text is no link";
}

TEST(AttributedStringTest, LabelsShowTheirAttributedTextPlainly) {
  UILabel label;
  NSTextAttributes up, down;
  up.foregroundColor = UIColor::redColor();
  down.foregroundColor = UIColor::colorWithRed(0.46, 0.53, 1.0, 1);
  NSAttributedString text("+3 ", up);
  text.append("-1", down);
  label.setAttributedText(text);
  EXPECT_EQ(label.text(), "+3 -1");
  ASSERT_EQ(label.attributedText()->runs().size(), 2u);
  EXPECT_EQ(label.attributedText()->runs()[1].range, (NSRange{3, 2}));
  label.setText("plain");
  EXPECT_FALSE(label.attributedText());
}
