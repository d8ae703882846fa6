// The in body insertion mode, which builds the body of nearly every page and whose
// rules many other modes borrow.
#include "html/HTMLParser.h"
#include "html/HTMLParserTokenAccess.h"

namespace html {

namespace {

bool hasNonWhitespace(const String& text) {
  for (char16_t c : text) {
    if (!isHTMLWhitespace(c)) return true;
  }
  return false;
}

const TagSet kHeadings{TagId::H1, TagId::H2, TagId::H3, TagId::H4, TagId::H5, TagId::H6};

// Adds the token's attributes that the element lacks, in token order.
void addMissingAttributes(HTMLElement& element, const HTMLStartTagToken& token) {
  for (const auto& [name, value] : token.attributes()) {
    if (!element.objectForKeyedSubscript(name)) element.setObject(value, name);
  }
}

bool isAddressDivOrP(const HTMLElement& e) {
  return isHTML(e) && (e.tagId() == TagId::Address || e.tagId() == TagId::Div || e.tagId() == TagId::P);
}

}  // namespace

void HTMLParser::inBodyInsertionModeHandleCharacterToken(HTMLToken& token) {
  const String& text = std::get<HTMLCharacterToken>(token).string();
  // 1. NULs are dropped, each with its own error.
  String kept;
  const String* insert = &text;
  if (text.find(u'\0') != String::npos) {
    kept.reserve(text.size());
    for (char16_t c : text) {
      if (c == 0) {
        addParseError("Ignoring U+0000 NULL in <body>");
      } else {
        kept += c;
      }
    }
    insert = &kept;
  }
  // 2.
  if (insert->empty()) return;
  reconstructTheActiveFormattingElements();
  insertString(*insert);
  if (framesetOkFlag_ && hasNonWhitespace(*insert)) framesetOkFlag_ = false;
}

void HTMLParser::inBodyInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::inBodyInsertionModeHandleDOCTYPEToken(HTMLToken&) { addParseError("Unexpected DOCTYPE in <body>"); }

void HTMLParser::inBodyInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  const TagId id = tagIdForName(tag.tagName());
  auto closePIfInButtonScope = [this] {
    if (elementInButtonScopeWithTagName(TagId::P)) closePElement();
  };
  switch (id) {
    case TagId::Html:
      addParseError("Start tag named html in <body>");
      if (!stack_.empty()) addMissingAttributes(*stack_.front(), tag);
      return;
    case TagId::Base:
    case TagId::Basefont:
    case TagId::Bgsound:
    case TagId::Link:
    case TagId::Meta:
    case TagId::Noframes:
    case TagId::Script:
    case TagId::Style:
    case TagId::Title: return processTokenUsingRulesForInsertionMode(token, Mode::InHead);
    case TagId::Body:
      addParseError("Start tag named body in <body>");
      if (stack_.size() < 2 || stack_[1]->tagId() != TagId::Body) return;
      framesetOkFlag_ = false;
      return addMissingAttributes(*stack_[1], tag);
    case TagId::Frameset: {
      addParseError("Start tag named frameset in <body>");
      if (stack_.size() < 2 || stack_[1]->tagId() != TagId::Body || !framesetOkFlag_) return;
      stack_.front()->removeChild(stack_[1].get());
      while (stack_.size() > 1) popCurrentNode();
      insertElementForToken(tag);
      return switchInsertionMode(Mode::InFrameset);
    }
    case TagId::Address:
    case TagId::Article:
    case TagId::Aside:
    case TagId::Blockquote:
    case TagId::Center:
    case TagId::Details:
    case TagId::Dialog:
    case TagId::Dir:
    case TagId::Div:
    case TagId::Dl:
    case TagId::Fieldset:
    case TagId::Figcaption:
    case TagId::Figure:
    case TagId::Footer:
    case TagId::Header:
    case TagId::Hgroup:
    case TagId::Main:
    case TagId::Nav:
    case TagId::Ol:
    case TagId::P:
    case TagId::Section:
    case TagId::Summary:
    case TagId::Ul:
      closePIfInButtonScope();
      insertElementForToken(tag);
      return;
    case TagId::Menu:
      closePIfInButtonScope();
      if (currentNodeIs(TagId::Menuitem)) popCurrentNode();
      insertElementForToken(tag);
      return;
    case TagId::H1:
    case TagId::H2:
    case TagId::H3:
    case TagId::H4:
    case TagId::H5:
    case TagId::H6:
      closePIfInButtonScope();
      if (currentNode() && kHeadings.contains(currentNode()->tagId())) {
        addParseError(named("Nested header start tag %@ in <body>", tag.tagName()));
        popCurrentNode();
      }
      insertElementForToken(tag);
      return;
    case TagId::Pre:
    case TagId::Listing:
      closePIfInButtonScope();
      insertElementForToken(tag);
      ignoreNextTokenIfLineFeed_ = true;
      framesetOkFlag_ = false;
      return;
    case TagId::Form:
      if (formElementPointer_) return addParseError("Start tag named form within a form in <body>");
      closePIfInButtonScope();
      formElementPointer_ = insertElementForToken(tag);
      return;
    case TagId::Li: {
      // The li loop.
      framesetOkFlag_ = false;
      for (size_t i = stack_.size(); i-- > 0;) {
        HTMLElement* node = stack_[i].get();
        if (node->tagId() == TagId::Li) {
          generateImpliedEndTagsExceptForTagsNamed(TagId::Li);
          if (!currentNodeIs(TagId::Li)) addParseError("Misnested li tag in <body>");
          popUntilElementNamed(TagId::Li);
          break;
        }
        if (IsSpecialElement(*node) && !isAddressDivOrP(*node)) break;
      }
      closePIfInButtonScope();
      insertElementForToken(tag);
      return;
    }
    case TagId::Dd:
    case TagId::Dt: {
      // The dd/dt loop.
      framesetOkFlag_ = false;
      for (size_t i = stack_.size(); i-- > 0;) {
        HTMLElement* node = stack_[i].get();
        TagId nodeId = node->tagId();
        if (nodeId == TagId::Dd || nodeId == TagId::Dt) {
          generateImpliedEndTagsExceptForTagsNamed(nodeId);
          if (!currentNodeIs(nodeId)) {
            addParseError(nodeId == TagId::Dd ? "Misnested dd tag in <body>" : "Misnested dt tag in <body>");
          }
          popUntilElementNamed(nodeId);
          break;
        }
        if (IsSpecialElement(*node) && !isAddressDivOrP(*node)) break;
      }
      closePIfInButtonScope();
      insertElementForToken(tag);
      return;
    }
    case TagId::Plaintext:
      closePIfInButtonScope();
      insertElementForToken(tag);
      tokenizer_.setState(HTMLTokenizer::PLAINTEXT);
      return;
    case TagId::Button:
      if (elementInScopeWithTagName(TagId::Button)) {
        addParseError("Nested button tag in <body>");
        generateImpliedEndTags();
        popUntilElementNamed(TagId::Button);
      }
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      framesetOkFlag_ = false;
      return;
    case TagId::A: {
      HTMLElementRef earlier;
      for (size_t i = activeFormattingElements_.size(); i-- > 0;) {
        const HTMLElementRef& entry = activeFormattingElements_[i];
        if (!entry) break;
        if (entry->tagId() == TagId::A) {
          earlier = entry;
          break;
        }
      }
      if (earlier) {
        addParseError("Nested start tag 'a' in <body>");
        if (!runAdoptionAgencyAlgorithmForTagName(u"a")) return inBodyInsertionModeHandleAnyOtherEndTagToken(tag);
        removeElementFromListOfActiveFormattingElements(earlier.get());
        removeFromStack(earlier.get());
      }
      reconstructTheActiveFormattingElements();
      pushElementOnToListOfActiveFormattingElements(insertElementForToken(tag));
      return;
    }
    case TagId::B:
    case TagId::Big:
    case TagId::Code:
    case TagId::Em:
    case TagId::Font:
    case TagId::I:
    case TagId::S:
    case TagId::Small:
    case TagId::Strike:
    case TagId::Strong:
    case TagId::Tt:
    case TagId::U:
      reconstructTheActiveFormattingElements();
      pushElementOnToListOfActiveFormattingElements(insertElementForToken(tag));
      return;
    case TagId::Nobr:
      reconstructTheActiveFormattingElements();
      if (elementInScopeWithTagName(TagId::Nobr)) {
        addParseError("Misnested nobr tag in <body>");
        if (!runAdoptionAgencyAlgorithmForTagName(u"nobr")) return inBodyInsertionModeHandleAnyOtherEndTagToken(tag);
        reconstructTheActiveFormattingElements();
      }
      pushElementOnToListOfActiveFormattingElements(insertElementForToken(tag));
      return;
    case TagId::Applet:
    case TagId::Marquee:
    case TagId::Object:
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      pushMarkerOnToListOfActiveFormattingElements();
      framesetOkFlag_ = false;
      return;
    case TagId::Table:
      if (document_->quirksMode() != HTMLQuirksMode::Quirks) closePIfInButtonScope();
      insertElementForToken(tag);
      framesetOkFlag_ = false;
      return switchInsertionMode(Mode::InTable);
    case TagId::Area:
    case TagId::Br:
    case TagId::Embed:
    case TagId::Img:
    case TagId::Keygen:
    case TagId::Wbr:
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      popCurrentNode();
      framesetOkFlag_ = false;
      return;
    case TagId::Input: {
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      popCurrentNode();
      const String* type = tag.attributes().objectForKey(u"type");
      if (!type || !equalsIgnoringASCIICase(*type, u"hidden")) framesetOkFlag_ = false;
      return;
    }
    case TagId::Param:
    case TagId::Source:
    case TagId::Track:
      insertElementForToken(tag);
      popCurrentNode();
      return;
    case TagId::Hr:
      closePIfInButtonScope();
      if (currentNodeIs(TagId::Menuitem)) popCurrentNode();
      insertElementForToken(tag);
      popCurrentNode();
      framesetOkFlag_ = false;
      return;
    case TagId::Image: {
      addParseError("It's spelled 'img' in <body>");
      HTMLToken img = tag.copyWithTagName(u"img");
      return reprocessToken(img);
    }
    case TagId::Textarea:
      insertElementForToken(tag);
      ignoreNextTokenIfLineFeed_ = true;
      tokenizer_.setState(HTMLTokenizer::RCDATA);
      framesetOkFlag_ = false;
      return switchInsertionMode(Mode::Text);
    case TagId::Xmp:
      closePIfInButtonScope();
      reconstructTheActiveFormattingElements();
      framesetOkFlag_ = false;
      return followGenericRawTextElementParsingAlgorithmForToken(tag);
    case TagId::Iframe:
      framesetOkFlag_ = false;
      return followGenericRawTextElementParsingAlgorithmForToken(tag);
    case TagId::Noembed:
    case TagId::Noscript: return followGenericRawTextElementParsingAlgorithmForToken(tag);
    case TagId::Select: {
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      framesetOkFlag_ = false;
      Mode mode = insertionMode_;
      bool inTable = mode == Mode::InTable || mode == Mode::InCaption || mode == Mode::InTableBody ||
                     mode == Mode::InRow || mode == Mode::InCell;
      return switchInsertionMode(inTable ? Mode::InSelectInTable : Mode::InSelect);
    }
    case TagId::Optgroup:
    case TagId::Option:
      if (currentNodeIs(TagId::Option)) popCurrentNode();
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      return;
    case TagId::Rp:
    case TagId::Rt:
      if (elementInScopeWithTagName(TagId::Ruby)) {
        generateImpliedEndTags();
        if (!currentNodeIs(TagId::Ruby)) {
          addParseError(named("Start tag named %@ outside of ruby in <body>", tag.tagName()));
        }
      }
      insertElementForToken(tag);
      return;
    case TagId::Math:
    case TagId::Svg: {
      reconstructTheActiveFormattingElements();
      HTMLStartTagToken adjusted = tag;
      bool math = id == TagId::Math;
      if (math) {
        AdjustMathMLAttributesForToken(adjusted);
      } else {
        AdjustSVGAttributesForToken(adjusted);
      }
      insertElement(createElementForToken(adjusted, math ? HTMLNamespace::MathML : HTMLNamespace::SVG));
      if (tag.selfClosingFlag()) popCurrentNode();
      return;
    }
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Frame:
    case TagId::Head:
    case TagId::Tbody:
    case TagId::Td:
    case TagId::Tfoot:
    case TagId::Th:
    case TagId::Thead:
    case TagId::Tr: return addParseError(named("Start tag named %@ ignored in <body>", tag.tagName()));
    case TagId::Menuitem:
      if (currentNodeIs(TagId::Menuitem)) popCurrentNode();
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      return;
    default:
      reconstructTheActiveFormattingElements();
      insertElementForToken(tag);
      return;
  }
}

void HTMLParser::inBodyInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  const TagId id = tagIdForName(tag.tagName());
  switch (id) {
    case TagId::Body:
    case TagId::Html: {
      if (!elementInScopeWithTagName(TagId::Body)) {
        return addParseError(named("End tag named %@ without body in scope in <body>", tag.tagName()));
      }
      static const TagSet allowed{TagId::Dd,    TagId::Dt, TagId::Li,    TagId::Optgroup, TagId::Option,
                                  TagId::P,     TagId::Rp, TagId::Rt,    TagId::Tbody,    TagId::Td,
                                  TagId::Tfoot, TagId::Th, TagId::Thead, TagId::Tr,       TagId::Body,
                                  TagId::Html};
      for (size_t i = stack_.size(); i-- > 0;) {
        if (!allowed.contains(stack_[i]->tagId())) {
          addParseError(named("Misplaced %@ element in <body>", stack_[i]->tagName()));
          break;
        }
      }
      switchInsertionMode(Mode::AfterBody);
      if (id == TagId::Html) reprocessToken(token);
      return;
    }
    case TagId::Address:
    case TagId::Article:
    case TagId::Aside:
    case TagId::Blockquote:
    case TagId::Button:
    case TagId::Center:
    case TagId::Details:
    case TagId::Dialog:
    case TagId::Dir:
    case TagId::Div:
    case TagId::Dl:
    case TagId::Fieldset:
    case TagId::Figcaption:
    case TagId::Figure:
    case TagId::Footer:
    case TagId::Header:
    case TagId::Hgroup:
    case TagId::Listing:
    case TagId::Main:
    case TagId::Menu:
    case TagId::Nav:
    case TagId::Ol:
    case TagId::Pre:
    case TagId::Section:
    case TagId::Summary:
    case TagId::Ul:
      if (!elementInScopeWithTagName(id)) {
        return addParseError(named("End tag '%@' for unmatched open tag in <body>", tag.tagName()));
      }
      generateImpliedEndTags();
      if (!currentNodeIs(id)) addParseError(named("Misnested end tag '%@' in <body>", tag.tagName()));
      return popUntilElementNamed(id);
    case TagId::Form: {
      HTMLElementRef node = std::move(formElementPointer_);
      formElementPointer_ = nullptr;
      if (!node || !isElementInScope(node.get())) return addParseError("Closing misnested 'form' in <body>");
      generateImpliedEndTags();
      if (currentNode() != node.get()) addParseError("Misnested 'form' in <body>");
      return removeFromStack(node.get());
    }
    case TagId::P:
      if (!elementInButtonScopeWithTagName(TagId::P)) {
        addParseError("Not closing unknown 'p' element in <body>");
        insertElementNamed(u"p");
      }
      return closePElement();
    case TagId::Li:
      if (!elementInListItemScopeWithTagName(TagId::Li)) {
        return addParseError("Not closing unknown 'li' element in <body>");
      }
      generateImpliedEndTagsExceptForTagsNamed(TagId::Li);
      if (!currentNodeIs(TagId::Li)) addParseError("Misnested end tag 'li' in <body>");
      return popUntilElementNamed(TagId::Li);
    case TagId::Dd:
    case TagId::Dt:
      if (!elementInScopeWithTagName(id)) {
        return addParseError(named("Not closing unknown '%@' element in <body>", tag.tagName()));
      }
      generateImpliedEndTagsExceptForTagsNamed(id);
      if (!currentNodeIs(id)) addParseError(named("Misnested end tag '%@' in <body>", tag.tagName()));
      return popUntilElementNamed(id);
    case TagId::H1:
    case TagId::H2:
    case TagId::H3:
    case TagId::H4:
    case TagId::H5:
    case TagId::H6:
      if (!elementInScopeWithTagNameInArray(kHeadings)) {
        return addParseError(named("Not closing unknown '%@' element in <body>", tag.tagName()));
      }
      generateImpliedEndTags();
      if (!currentNodeIs(id)) addParseError(named("Misnested end tag '%@' in <body>", tag.tagName()));
      return popUntilAnyElementNamed(kHeadings);
    case TagId::A:
    case TagId::B:
    case TagId::Big:
    case TagId::Code:
    case TagId::Em:
    case TagId::Font:
    case TagId::I:
    case TagId::Nobr:
    case TagId::S:
    case TagId::Small:
    case TagId::Strike:
    case TagId::Strong:
    case TagId::Tt:
    case TagId::U:
      if (!runAdoptionAgencyAlgorithmForTagName(tag.tagName())) inBodyInsertionModeHandleAnyOtherEndTagToken(tag);
      return;
    case TagId::Applet:
    case TagId::Marquee:
    case TagId::Object:
      if (!elementInScopeWithTagName(id)) {
        return addParseError(named("Not closing unknown '%@' element in <body>", tag.tagName()));
      }
      generateImpliedEndTags();
      if (!currentNodeIs(id)) addParseError(named("Misnested end tag '%@' in <body>", tag.tagName()));
      popUntilElementNamed(id);
      return clearActiveFormattingElementsUpToLastMarker();
    case TagId::Br: {
      addParseError("'br' element cannot have an end tag");
      HTMLToken br = HTMLStartTagToken(u"br");
      return inBodyInsertionModeHandleStartTagToken(br);
    }
    default: return inBodyInsertionModeHandleAnyOtherEndTagToken(tag);
  }
}

void HTMLParser::inBodyInsertionModeHandleAnyOtherEndTagToken(const HTMLTagToken& token) {
  const String& name = token.tagName();
  // With no element of the name open, the walk would only end at a special element.
  if (!isOpenNamed(name)) return addParseError(named("Ignoring end tag '%@' in <body>", name));
  for (size_t i = stack_.size(); i-- > 0;) {
    HTMLElement* node = stack_[i].get();
    if (node->tagName() == name) {
      generateImpliedEndTagsExceptForTagsNamed(tagIdForName(name));
      if (!currentNode() || currentNode()->tagName() != name) {
        addParseError(named("Misnested '%@' end tag in <body>", name));
      }
      return popUntilElement(node);
    }
    if (IsSpecialElement(*node)) return addParseError(named("Ignoring end tag '%@' in <body>", name));
  }
}

void HTMLParser::inBodyInsertionModeHandleEOFToken(HTMLToken&) {
  static const TagSet allowed{TagId::Dd, TagId::Dt,    TagId::Li,    TagId::P,  TagId::Tbody, TagId::Td,
                              TagId::Tfoot, TagId::Th, TagId::Thead, TagId::Tr, TagId::Body,  TagId::Html};
  for (const HTMLElementRef& element : stack_) {
    if (!allowed.contains(element->tagId())) {
      addParseError(named("Unclosed %@ element in <body> at end of file", element->tagName()));
      break;
    }
  }
  stopParsing();
}

void HTMLParser::closePElement() {
  generateImpliedEndTagsExceptForTagsNamed(TagId::P);
  if (!currentNodeIs(TagId::P)) addParseError("Closing 'p' element that isn't current");
  popUntilElementNamed(TagId::P);
}

}  // namespace html
