#include <gtest/gtest.h>

#include "html/HTMLCharacterReferences.h"
#include "html/HTMLEntities.h"
#include "html/HTMLNamedReferenceTables.h"

using namespace html;
using namespace html::HTMLEntities;

namespace {

TEST(Entities, TablesHoldTheStandardsNames) {
  EXPECT_EQ(NamedReferencesCount, 2125u);
  EXPECT_EQ(NamedSemicolonlessReferencesCount, 106u);
  for (size_t i = 1; i < NamedReferencesCount; ++i) ASSERT_LT(NamedReferences[i - 1].name, NamedReferences[i].name);
  StringView name;
  EXPECT_EQ(StringForNamedEntity(u"CounterClockwiseContourIntegral;x", &name), u"\u2233");
  EXPECT_EQ(name.size(), LongestEntityNameLength);
  EXPECT_EQ(StringForNamedEntity(u"notit", &name), u"\u00AC");
  EXPECT_EQ(name, u"not");
  EXPECT_FALSE(StringForNamedEntity(u"nox"));
}

TEST(Entities, NumericReplacementsMatchTheWholeNumber) {
  EXPECT_EQ(ReplacementForNumericEntity(0x80), 0x20ACu);
  EXPECT_EQ(ReplacementForNumericEntity(0x0D), 0x0Du);
  EXPECT_EQ(ReplacementForNumericEntity(0x10080), 0u);
  EXPECT_EQ(ReplacementForNumericEntity(0xA0), 0u);
}

TEST(Entities, Escaping) {
  EXPECT_EQ(html_stringByEscapingForHTML(u"a&b\u00A0\"<>'"), u"a&amp;b&nbsp;&quot;&lt;&gt;'");
}

TEST(Entities, Unescaping) {
  EXPECT_EQ(html_stringByUnescapingHTML(u"a &lt;b&gt;"), u"a <b>");
  EXPECT_EQ(html_stringByUnescapingHTML(u"&#65;&#x42;&#X43;&#x80;&#xD800;&#99999999;"), u"ABC\u20AC\uFFFD\uFFFD");
  EXPECT_EQ(html_stringByUnescapingHTML(u"&notit &amp"), u"\u00ACit &");
  EXPECT_EQ(html_stringByUnescapingHTML(u"&bogus; & &#;"), u"&bogus; & &#;");
  // A trailing "&" stays, and the references before it are still resolved.
  EXPECT_EQ(html_stringByUnescapingHTML(u"Fish &amp; Chips &"), u"Fish & Chips &");
  // White space after "&" is not skipped: this is no reference.
  EXPECT_EQ(html_stringByUnescapingHTML(u"Q & #1 pick"), u"Q & #1 pick");
  EXPECT_EQ(html_stringByUnescapingHTML(u"& #65;"), u"& #65;");
  // Each reference is read once, from the original text.
  EXPECT_EQ(html_stringByUnescapingHTML(u"&amp;lt;"), u"&lt;");
}

}  // namespace
