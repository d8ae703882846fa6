// The text mode and the table modes: in table, in table text, in caption, in column
// group, in table body, in row and in cell.
#include "html/HTMLParser.h"
#include "html/HTMLParserTokenAccess.h"

namespace html {

namespace {

const TagSet kTableSections{TagId::Tbody, TagId::Thead, TagId::Tfoot};
const TagSet kCells{TagId::Td, TagId::Th};

}  // namespace

// MARK: Text

void HTMLParser::textInsertionModeHandleCharacterToken(HTMLToken& token) {
  insertString(std::get<HTMLCharacterToken>(token).string());
}

void HTMLParser::textInsertionModeHandleEndTagToken(HTMLToken&) {
  // Scripts included: they never run.
  popCurrentNode();
  switchInsertionMode(originalInsertionMode_);
}

void HTMLParser::textInsertionModeHandleEOFToken(HTMLToken& token) {
  addParseError("Unexpected end of file in 'text' mode");
  popCurrentNode();
  switchInsertionMode(originalInsertionMode_);
  reprocessToken(token);
}

// MARK: Clearing the stack back to a table context

void HTMLParser::clearStackBackToATableContext() {
  while (currentNode() && !currentNodeIs(TagId::Table) && !currentNodeIs(TagId::Html)) popCurrentNode();
}

void HTMLParser::clearStackBackToATableBodyContext() {
  while (currentNode() && !kTableSections.contains(currentNode()->tagId()) && !currentNodeIs(TagId::Html)) {
    popCurrentNode();
  }
}

void HTMLParser::clearStackBackToATableRowContext() {
  while (currentNode() && !currentNodeIs(TagId::Tr) && !currentNodeIs(TagId::Html)) popCurrentNode();
}

// MARK: In table

void HTMLParser::inTableInsertionModeHandleCharacterToken(HTMLToken& token) {
  static const TagSet tableish{TagId::Table, TagId::Tbody, TagId::Tfoot, TagId::Thead, TagId::Tr};
  if (currentNode() && tableish.contains(currentNode()->tagId())) {
    pendingTableCharacters_.clear();
    switchInsertionMode(Mode::InTableText);
    return reprocessToken(token);
  }
  inTableInsertionModeHandleAnythingElse(token);
}

void HTMLParser::inTableInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::inTableInsertionModeHandleDOCTYPEToken(HTMLToken&) { addParseError("Unexpected DOCTYPE in <table>"); }

void HTMLParser::inTableInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Caption:
      clearStackBackToATableContext();
      pushMarkerOnToListOfActiveFormattingElements();
      insertElementForToken(tag);
      return switchInsertionMode(Mode::InCaption);
    case TagId::Colgroup:
      clearStackBackToATableContext();
      insertElementForToken(tag);
      return switchInsertionMode(Mode::InColumnGroup);
    case TagId::Col:
      clearStackBackToATableContext();
      insertElementNamed(u"colgroup");
      switchInsertionMode(Mode::InColumnGroup);
      return reprocessToken(token);
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
      clearStackBackToATableContext();
      insertElementForToken(tag);
      return switchInsertionMode(Mode::InTableBody);
    case TagId::Td:
    case TagId::Th:
    case TagId::Tr:
      clearStackBackToATableContext();
      insertElementNamed(u"tbody");
      switchInsertionMode(Mode::InTableBody);
      return reprocessToken(token);
    case TagId::Table:
      addParseError("'table' start tag in <table>");
      if (!elementInTableScopeWithTagName(TagId::Table)) return;
      popUntilElementNamed(TagId::Table);
      resetInsertionModeAppropriately();
      return reprocessToken(token);
    case TagId::Style:
    case TagId::Script: return processTokenUsingRulesForInsertionMode(token, Mode::InHead);
    case TagId::Input: {
      const String* type = tag.attributes().objectForKey(u"type");
      if (!type || !equalsIgnoringASCIICase(*type, u"hidden")) break;
      addParseError("Non-hidden 'input' start tag in <table>");
      insertElementForToken(tag);
      return popCurrentNode();
    }
    case TagId::Form:
      addParseError("'form' start tag in <table>");
      if (formElementPointer_) return;
      formElementPointer_ = insertElementForToken(tag);
      return popCurrentNode();
    default: break;
  }
  inTableInsertionModeHandleAnythingElse(token);
}

void HTMLParser::inTableInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Table:
      if (!elementInTableScopeWithTagName(TagId::Table)) {
        return addParseError("End tag 'table' for unknown table element in <table>");
      }
      popUntilElementNamed(TagId::Table);
      return resetInsertionModeAppropriately();
    case TagId::Body:
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Html:
    case TagId::Tbody:
    case TagId::Td:
    case TagId::Tfoot:
    case TagId::Th:
    case TagId::Thead:
    case TagId::Tr: return addParseError(named("End tag '%@' in <table>", tag.tagName()));
    default: return inTableInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inTableInsertionModeHandleEOFToken(HTMLToken& token) {
  processTokenUsingRulesForInsertionMode(token, Mode::InBody);
}

void HTMLParser::inTableInsertionModeHandleAnythingElse(HTMLToken& token) {
  addParseError("Foster parenting token in <table>");
  fosterParenting_ = true;
  processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  fosterParenting_ = false;
}

// MARK: In table text

void HTMLParser::inTableTextInsertionModeHandleCharacterToken(HTMLToken& token) {
  for (char16_t c : std::get<HTMLCharacterToken>(token).string()) {
    if (c == 0) {
      addParseError("Ignoring U+0000 NULL in <table> text");
    } else {
      pendingTableCharacters_ += c;
    }
  }
}

void HTMLParser::inTableTextInsertionModeHandleAnythingElse(HTMLToken& token) {
  bool allWhitespace = true;
  for (char16_t c : pendingTableCharacters_) allWhitespace = allWhitespace && isHTMLWhitespace(c);
  if (allWhitespace) {
    insertString(pendingTableCharacters_);
  } else {
    // The whole run is foster-parented at once, with one error.
    HTMLToken characters = HTMLCharacterToken(pendingTableCharacters_);
    inTableInsertionModeHandleAnythingElse(characters);
  }
  switchInsertionMode(originalInsertionMode_);
  reprocessToken(token);
}

// MARK: In caption

void HTMLParser::inCaptionInsertionModeHandleTableCaptionStartTagOrTableEndTagToken(HTMLToken& token) {
  bool start = std::holds_alternative<HTMLStartTagToken>(token);
  const String& name = start ? startTag(token).tagName() : endTag(token).tagName();
  addParseError(std::string(start ? "Start" : "End") + " tag '" + toUTF8(name) + "' in <caption>");
  if (!elementInTableScopeWithTagName(TagId::Caption)) return;
  popUntilElementNamed(TagId::Caption);
  clearActiveFormattingElementsUpToLastMarker();
  switchInsertionMode(Mode::InTable);
  reprocessToken(token);
}

void HTMLParser::inCaptionInsertionModeHandleStartTagToken(HTMLToken& token) {
  switch (tagIdForName(startTag(token).tagName())) {
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Tbody:
    case TagId::Td:
    case TagId::Tfoot:
    case TagId::Th:
    case TagId::Thead:
    case TagId::Tr: return inCaptionInsertionModeHandleTableCaptionStartTagOrTableEndTagToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  }
}

void HTMLParser::inCaptionInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Caption:
      if (!elementInTableScopeWithTagName(TagId::Caption)) {
        return addParseError("End tag 'caption' for unknown caption element in <caption>");
      }
      generateImpliedEndTags();
      if (!currentNodeIs(TagId::Caption)) addParseError("Misnested end tag 'caption' in <caption>");
      popUntilElementNamed(TagId::Caption);
      clearActiveFormattingElementsUpToLastMarker();
      return switchInsertionMode(Mode::InTable);
    case TagId::Table: return inCaptionInsertionModeHandleTableCaptionStartTagOrTableEndTagToken(token);
    case TagId::Body:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Html:
    case TagId::Tbody:
    case TagId::Td:
    case TagId::Tfoot:
    case TagId::Th:
    case TagId::Thead:
    case TagId::Tr: return addParseError(named("End tag '%@' in <caption>", tag.tagName()));
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  }
}

// MARK: In column group

void HTMLParser::inColumnGroupInsertionModeHandleCharacterToken(HTMLToken& token) {
  insertLeadingWhitespace(token, &HTMLParser::inColumnGroupInsertionModeHandleAnythingElse);
}

void HTMLParser::inColumnGroupInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::inColumnGroupInsertionModeHandleDOCTYPEToken(HTMLToken&) {
  addParseError("Unexpected DOCTYPE in <colgroup>");
}

void HTMLParser::inColumnGroupInsertionModeHandleStartTagToken(HTMLToken& token) {
  switch (tagIdForName(startTag(token).tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Col:
      insertElementForToken(startTag(token));
      return popCurrentNode();
    default: return inColumnGroupInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inColumnGroupInsertionModeHandleEndTagToken(HTMLToken& token) {
  switch (tagIdForName(endTag(token).tagName())) {
    case TagId::Colgroup:
      if (!currentNodeIs(TagId::Colgroup)) {
        return addParseError("End tag 'colgroup' for unknown colgroup element in <colgroup>");
      }
      popCurrentNode();
      return switchInsertionMode(Mode::InTable);
    case TagId::Col: return addParseError("End tag 'col' in <colgroup>");
    default: return inColumnGroupInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inColumnGroupInsertionModeHandleEOFToken(HTMLToken& token) {
  processTokenUsingRulesForInsertionMode(token, Mode::InBody);
}

void HTMLParser::inColumnGroupInsertionModeHandleAnythingElse(HTMLToken& token) {
  if (!currentNodeIs(TagId::Colgroup)) return addParseError("Unexpected token in <colgroup>");
  popCurrentNode();
  switchInsertionMode(Mode::InTable);
  reprocessToken(token);
}

// MARK: In table body

void HTMLParser::inTableBodyInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Tr:
      clearStackBackToATableBodyContext();
      insertElementForToken(tag);
      return switchInsertionMode(Mode::InRow);
    case TagId::Th:
    case TagId::Td:
      addParseError(named("Start tag '%@' in <table> body", tag.tagName()));
      clearStackBackToATableBodyContext();
      insertElementNamed(u"tr");
      switchInsertionMode(Mode::InRow);
      return reprocessToken(token);
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
      if (!elementInTableScopeWithTagNameInArray(kTableSections, true)) {
        return addParseError(
            named("Start tag '%@' when none of <tbody>, <thead>, <tfoot> in table scope; ignoring", tag.tagName()));
      }
      clearStackBackToATableBodyContext();
      popCurrentNode();
      switchInsertionMode(Mode::InTable);
      return reprocessToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InTable);
  }
}

void HTMLParser::inTableBodyInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  const TagId id = tagIdForName(tag.tagName());
  switch (id) {
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
      if (!elementInTableScopeWithTagName(id)) {
        return addParseError(named("End tag '%@' for unknown element in <table> body", tag.tagName()));
      }
      clearStackBackToATableBodyContext();
      popCurrentNode();
      return switchInsertionMode(Mode::InTable);
    case TagId::Table:
      if (!elementInTableScopeWithTagNameInArray(kTableSections, true)) {
        return addParseError("End tag 'table' when none of <tbody>, <thead>, <tfoot> in table scope; ignoring");
      }
      clearStackBackToATableBodyContext();
      popCurrentNode();
      switchInsertionMode(Mode::InTable);
      return reprocessToken(token);
    case TagId::Body:
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Html:
    case TagId::Td:
    case TagId::Th:
    case TagId::Tr: return addParseError(named("End tag '%@' in <table> body", tag.tagName()));
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InTable);
  }
}

// MARK: In row

void HTMLParser::inRowInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Th:
    case TagId::Td:
      clearStackBackToATableRowContext();
      insertElementForToken(tag);
      switchInsertionMode(Mode::InCell);
      // Formatting elements opened in the cell stay in it.
      return pushMarkerOnToListOfActiveFormattingElements();
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
    case TagId::Tr:
      if (!elementInTableScopeWithTagName(TagId::Tr, true)) {
        return addParseError(named("Start tag '%@' without <tr> in table scope; ignoring", tag.tagName()));
      }
      clearStackBackToATableRowContext();
      popCurrentNode();
      switchInsertionMode(Mode::InTableBody);
      return reprocessToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InTable);
  }
}

void HTMLParser::inRowInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  const TagId id = tagIdForName(tag.tagName());
  switch (id) {
    case TagId::Tr:
      if (!elementInTableScopeWithTagName(TagId::Tr, true)) {
        return addParseError("End tag 'tr' for unknown element in <tr>");
      }
      clearStackBackToATableRowContext();
      popCurrentNode();
      return switchInsertionMode(Mode::InTableBody);
    case TagId::Table:
      if (!elementInTableScopeWithTagName(TagId::Tr, true)) {
        return addParseError("End tag 'table' without <tr> in table scope; ignoring");
      }
      clearStackBackToATableRowContext();
      popCurrentNode();
      switchInsertionMode(Mode::InTableBody);
      return reprocessToken(token);
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
      if (!elementInTableScopeWithTagName(id)) {
        return addParseError(named("End tag '%@' for unknown element in <tr>", tag.tagName()));
      }
      if (!elementInTableScopeWithTagName(TagId::Tr)) return;
      clearStackBackToATableRowContext();
      popCurrentNode();
      switchInsertionMode(Mode::InTableBody);
      return reprocessToken(token);
    case TagId::Body:
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Html:
    case TagId::Td:
    case TagId::Th: return addParseError(named("End tag '%@' in <tr>", tag.tagName()));
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InTable);
  }
}

// MARK: In cell

void HTMLParser::closeTheCell() {
  generateImpliedEndTags();
  if (!currentNode() || !kCells.contains(currentNode()->tagId())) addParseError("Closing misnested cell");
  popUntilAnyElementNamed(kCells);
  clearActiveFormattingElementsUpToLastMarker();
  switchInsertionMode(Mode::InRow);
}

void HTMLParser::inCellInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Tbody:
    case TagId::Td:
    case TagId::Tfoot:
    case TagId::Th:
    case TagId::Thead:
    case TagId::Tr:
      if (!elementInTableScopeWithTagNameInArray(kCells)) {
        return addParseError(named("Start tag '%@' outside cell in cell", tag.tagName()));
      }
      closeTheCell();
      return reprocessToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  }
}

void HTMLParser::inCellInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  const TagId id = tagIdForName(tag.tagName());
  switch (id) {
    case TagId::Td:
    case TagId::Th: {
      if (!elementInTableScopeWithTagName(id, true)) {
        return addParseError(named("End tag '%@' outside cell in cell", tag.tagName()));
      }
      generateImpliedEndTags();
      HTMLElement* current = currentNode();
      if (!current || !isHTML(*current) || current->tagId() != id) {
        addParseError(named("Misnested end tag '%@' in cell", tag.tagName()));
      }
      // Elements of other namespaces are popped without comparison.
      while (HTMLElement* node = currentNode()) {
        bool found = isHTML(*node) && node->tagId() == id;
        popCurrentNode();
        if (found) break;
      }
      clearActiveFormattingElementsUpToLastMarker();
      return switchInsertionMode(Mode::InRow);
    }
    case TagId::Body:
    case TagId::Caption:
    case TagId::Col:
    case TagId::Colgroup:
    case TagId::Html: return addParseError(named("End tag '%@' in cell", tag.tagName()));
    case TagId::Table:
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
    case TagId::Tr:
      if (!elementInTableScopeWithTagName(id, true)) {
        return addParseError(named("End tag '%@' for unknown element in cell", tag.tagName()));
      }
      closeTheCell();
      return reprocessToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  }
}

}  // namespace html
