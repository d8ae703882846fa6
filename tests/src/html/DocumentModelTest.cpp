#include <gtest/gtest.h>

#include "html/HTMLChildrenRelationshipProxy.h"
#include "html/HTMLComment.h"
#include "html/HTMLDocument.h"
#include "html/HTMLElement.h"
#include "html/HTMLTextNode.h"
#include "html/HTMLTreeEnumerator.h"

using namespace html;

namespace {

HTMLElementRef element(const char16_t* name) { return std::make_shared<HTMLElement>(name); }
HTMLNodeRef text(const char16_t* data) { return std::make_shared<HTMLTextNode>(data); }

std::vector<String> namesOf(HTMLTreeEnumerator walk) {
  std::vector<String> names;
  while (HTMLNode* node = walk.nextObject()) {
    names.push_back(node->isElement() ? static_cast<HTMLElement*>(node)->tagName() : u"#text");
  }
  return names;
}

TEST(DocumentModel, ChildrenAndParentsStayInStep) {
  auto a = element(u"a"), b = element(u"b");
  auto child = element(u"c");
  a->addChild(child);
  a->addChild(element(u"d"));
  // Inserting a child of the same parent again moves nothing.
  a->insertObject(child, 1);
  EXPECT_EQ(a->indexOfChild(child.get()), 0u);
  EXPECT_EQ(a->numberOfChildren(), 2u);
  // Adding it to another parent takes it out of the first.
  b->addChild(child);
  EXPECT_EQ(a->numberOfChildren(), 1u);
  EXPECT_EQ(child->parentNode(), b.get());
  EXPECT_EQ(child->parentElement(), b.get());
  child->removeFromParentNode();
  EXPECT_EQ(b->numberOfChildren(), 0u);
  EXPECT_EQ(child->parentNode(), nullptr);

  auto replacement = element(u"r");
  a->replaceObjectInChildrenAtIndex(0, replacement);
  EXPECT_EQ(replacement->parentNode(), a.get());
  EXPECT_EQ(a->childAtIndex(0), replacement);

  auto proxy = a->mutableChildren();
  proxy.addObject(child);
  proxy.removeAllObjects();
  EXPECT_EQ(a->numberOfChildren(), 0u);
  EXPECT_EQ(child->parentNode(), nullptr);
}

TEST(DocumentModel, ParentLinkDoesNotKeepTheParentAlive) {
  auto child = element(u"child");
  {
    auto parent = element(u"parent");
    parent->addChild(child);
    EXPECT_EQ(child->parentNode(), parent.get());
  }
  EXPECT_EQ(child->parentNode(), nullptr);
}

TEST(DocumentModel, TextContentJoinsTextNodesOnly) {
  auto p = element(u"p");
  p->addChild(text(u"one"));
  p->addChild(std::make_shared<HTMLComment>(u"hidden"));
  auto b = element(u"b");
  b->addChild(text(u"two"));
  p->addChild(b);
  EXPECT_EQ(p->textContent(), u"onetwo");
  EXPECT_EQ(HTMLComment(u"note").textContent(), u"note");
  EXPECT_EQ(std::make_shared<HTMLDocumentType>()->textContent(), u"");
  EXPECT_EQ(p->textComponents(), std::vector<String>{u"one"});

  p->setTextContent(u"");
  EXPECT_EQ(p->numberOfChildren(), 0u);
  p->setTextContent(u"x");
  EXPECT_EQ(p->numberOfChildren(), 1u);
  EXPECT_EQ(p->textContent(), u"x");
}

TEST(DocumentModel, InsertStringAppendsToTheTextBeforeTheIndex) {
  auto p = element(u"p");
  p->insertString(u"a", 0);
  p->insertString(u"b", 1);
  EXPECT_EQ(p->numberOfChildren(), 1u);
  EXPECT_EQ(p->textContent(), u"ab");
  p->insertString(u"c", 0);
  EXPECT_EQ(p->numberOfChildren(), 2u);
  EXPECT_EQ(p->textContent(), u"cab");
}

TEST(DocumentModel, DocumentFindsItsDoctypeRootAndBody) {
  auto document = std::make_shared<HTMLDocument>();
  EXPECT_EQ(document->parsedStringEncoding(), NSUTF8StringEncoding);
  EXPECT_EQ(document->quirksMode(), HTMLQuirksMode::NoQuirks);
  auto html = element(u"html");
  document->addChild(std::make_shared<HTMLComment>(u"c"));
  document->setRootElement(html);
  auto doctype = std::make_shared<HTMLDocumentType>();
  document->setDocumentType(doctype);
  // The DOCTYPE goes just before the root element.
  EXPECT_EQ(document->indexOfChild(doctype.get()), 1u);
  EXPECT_EQ(document->documentType(), doctype);

  auto div = element(u"div");
  html->addChild(div);
  auto body = element(u"body");
  div->addChild(body);
  EXPECT_EQ(document->bodyElement(), nullptr);  // not a direct child of the root
  html->addChild(element(u"body"));
  EXPECT_NE(document->bodyElement(), nullptr);

  document->setDocumentType(nullptr);
  EXPECT_EQ(document->documentType(), nullptr);
  EXPECT_EQ(body->document(), document.get());
  EXPECT_EQ(document->document(), nullptr);
}

TEST(DocumentModel, AttributesKeepTheirOrder) {
  HTMLElement e(u"a");
  e.setObject(u"1", u"x");
  e.setObject(u"2", u"y");
  e.setObject(u"3", u"x");
  EXPECT_EQ(e.attributes().objectAtIndexedSubscript(0), u"x");  // the key, not the value
  EXPECT_EQ(*e.objectForKeyedSubscript(u"x"), u"3");
  e.removeAttributeWithName(u"x");
  e.setObject(u"4", u"x");
  EXPECT_EQ(e.attributes().objectAtIndexedSubscript(1), u"x");

  HTMLOrderedDictionary copy = e.attributes();
  copy.setObject(u"new", u"z");
  EXPECT_EQ(e.objectForKeyedSubscript(u"z"), nullptr);

  HTMLOrderedDictionary d;
  d.setObject(u"a", u"k1");
  d.insertObject(u"b", u"k0", 0);
  EXPECT_EQ(*d.firstKey(), u"k0");
  EXPECT_THROW(d.insertObject(u"c", u"k9", 5), std::out_of_range);
}

TEST(DocumentModel, ManyAttributesStayOrderedAndFindable) {
  HTMLOrderedDictionary d;
  for (int i = 0; i < 500; ++i) d.setObject(fromUTF8(std::to_string(i)), fromUTF8("k" + std::to_string(i)));
  d.removeObjectForKey(u"k10");
  d.insertObject(u"front", u"kf", 0);
  EXPECT_EQ(d.count(), 500u);
  EXPECT_EQ(d.indexOfKey(u"k499"), 499u);
  EXPECT_EQ(*d.objectForKey(u"k11"), u"11");
  EXPECT_EQ(d.objectForKey(u"k10"), nullptr);
  HTMLOrderedDictionary reversed;
  for (int i = 499; i >= 0; --i) {
    if (i != 10) reversed.setObject(fromUTF8(std::to_string(i)), fromUTF8("k" + std::to_string(i)));
  }
  reversed.setObject(u"front", u"kf");
  EXPECT_TRUE(d == reversed);
}

TEST(DocumentModel, ClassListHelpers) {
  HTMLElement e(u"div");
  EXPECT_FALSE(e.hasClass(u"a"));
  e.toggleClass(u"a");
  EXPECT_EQ(*e.objectForKeyedSubscript(u"class"), u" a");
  e.setObject(u"b\ta x a", u"class");
  EXPECT_TRUE(e.hasClass(u"x"));
  e.toggleClass(u"a");
  EXPECT_EQ(*e.objectForKeyedSubscript(u"class"), u"b x a");
}

TEST(DocumentModel, EnumeratorsWalkPreOrder) {
  auto root = element(u"root"), a = element(u"a"), b = element(u"b");
  a->addChild(element(u"a1"));
  root->addChild(a);
  root->addChild(b);
  auto sibling = element(u"sibling");
  auto parent = element(u"parent");
  parent->addChild(root);
  parent->addChild(sibling);
  EXPECT_EQ(namesOf(root->treeEnumerator()), (std::vector<String>{u"root", u"a", u"a1", u"b"}));
  EXPECT_EQ(namesOf(root->reversedTreeEnumerator()), (std::vector<String>{u"root", u"b", u"a", u"a1"}));
  HTMLTreeEnumerator walk = b->treeEnumerator();
  EXPECT_EQ(walk.nextObject(), b.get());
  EXPECT_EQ(walk.nextObject(), nullptr);
  EXPECT_EQ(walk.nextObject(), nullptr);
}

TEST(DocumentModel, CopiesAreShallow) {
  auto svg = std::make_shared<HTMLElement>(u"svg", HTMLOrderedDictionary({u"1"}, {u"x"}));
  svg->setHtmlNamespace(HTMLNamespace::SVG);
  svg->addChild(text(u"t"));
  auto copy = std::static_pointer_cast<HTMLElement>(svg->copy());
  EXPECT_EQ(copy->tagName(), u"svg");
  EXPECT_EQ(*copy->objectForKeyedSubscript(u"x"), u"1");
  EXPECT_EQ(copy->numberOfChildren(), 0u);
  EXPECT_EQ(copy->htmlNamespace(), HTMLNamespace::HTML);
}

TEST(DocumentModel, MissingArgumentsAreProgrammingErrors) {
  auto e = element(u"e");
  try {
    e->addChild(nullptr);
    FAIL();
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "Invalid parameter not satisfying: child");
  }
  EXPECT_THROW(HTMLTreeEnumerator(nullptr, false), std::invalid_argument);
}

TEST(DocumentModel, DeepTreesAreBuiltWalkedAndFreedWithoutRecursion) {
  const int depth = 100000;
  auto root = element(u"div");
  HTMLElement* at = root.get();
  for (int i = 0; i < depth; ++i) {
    auto next = element(u"div");
    at->addChild(next);
    at = next.get();
  }
  at->addChild(text(u"bottom"));
  EXPECT_EQ(root->textContent(), u"bottom");
  size_t count = 0;
  HTMLTreeEnumerator walk = root->treeEnumerator();
  while (walk.nextObject()) ++count;
  EXPECT_EQ(count, size_t(depth) + 2);
  String html = root->serializedFragment();
  EXPECT_EQ(html.size(), size_t(depth + 1) * 11 + 6);
  EXPECT_EQ(at->document(), nullptr);
  root.reset();  // frees the chain without deep recursion
}

}  // namespace
