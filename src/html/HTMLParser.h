#pragma once
// The tree-construction stage of HTML parsing: tokens from the tokenizer, one at a time,
// through the rules of the current insertion mode (or of foreign content) into a
// document. It follows the standard's tree builder with these settled differences:
// no template elements, scripting always counted as enabled (noscript is raw text),
// the self-closing flag never acknowledged, attributes never put into namespaces (only
// the MathML and SVG name adjustments are made), and no srcdoc documents.
//
// Parse errors are recorded as messages and never stop the parse. A parser runs once:
// the first document() call runs it, later calls return the same document.
//
// The rules live in several files beside this one, by group of insertion modes:
// HTMLParserTreeOperations.cpp (the stack of open elements, scopes, insertion, the
// list of active formatting elements), HTMLParserBeforeBody.cpp, HTMLParserInBody.cpp,
// HTMLParserAdoptionAgency.cpp, HTMLParserTableModes.cpp, HTMLParserClosingModes.cpp
// and HTMLParserForeignContent.cpp.
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "html/HTMLDocument.h"
#include "html/HTMLStringEncoding.h"
#include "html/HTMLTagSets.h"
#include "html/HTMLToken.h"
#include "html/HTMLTokenizer.h"

namespace html {

enum class HTMLInsertionMode : int {
  Initial = 1,
  BeforeHtml = 2,
  BeforeHead = 3,
  InHead = 4,
  NoMode = 5,  // never entered
  AfterHead = 6,
  InBody = 7,
  Text = 8,
  InTable = 9,
  InTableText = 10,
  InCaption = 11,
  InColumnGroup = 12,
  InTableBody = 13,
  InRow = 14,
  InCell = 15,
  InSelect = 16,
  InSelectInTable = 17,
  AfterBody = 18,
  InFrameset = 19,
  AfterFrameset = 20,
  AfterAfterBody = 21,
  AfterAfterFrameset = 22,
  ForeignContent = 23,
};

class HTMLParser : public HTMLTokenizerParser {
 public:
  using ChangeEncodingBlock = std::function<void(HTMLStringEncoding)>;

  // A whole document when `context` is null, else a fragment parsed as the content of
  // that element (its encoding is then UTF-8, irrelevant).
  HTMLParser(String string, HTMLStringEncoding encoding, HTMLElementRef context);
  HTMLParser() : HTMLParser(String(), HTMLStringEncoding{}, nullptr) {}
  HTMLParser(const HTMLParser&) = delete;
  HTMLParser& operator=(const HTMLParser&) = delete;

  // Runs the parse on first use.
  std::shared_ptr<HTMLDocument> document();
  const std::vector<std::string>& errors() const { return errors_; }
  const String& string() const { return tokenizer_.string(); }
  HTMLStringEncoding encoding() const { return encoding_; }
  // Called, instead of parsing on, when a meta element names an encoding the text
  // should be decoded with; the caller then parses again.
  const ChangeEncodingBlock& changeEncoding() const { return changeEncoding_; }
  void setChangeEncoding(ChangeEncodingBlock block) { changeEncoding_ = std::move(block); }

  HTMLElement* currentNode() const { return stack_.empty() ? nullptr : stack_.back().get(); }
  HTMLElement* adjustedCurrentNode() const override;

 private:
  using Mode = HTMLInsertionMode;
  struct InsertionPlace {
    HTMLNode* parent = nullptr;
    size_t index = 0;
  };

  // Dispatch.
  void processToken(HTMLToken& token);
  void processTokenUsingRulesForInsertionMode(HTMLToken& token, Mode mode);
  void reprocessToken(HTMLToken& token) { processToken(token); }
  void switchInsertionMode(Mode mode);
  void stopParsing();
  void addParseError(std::string message);
  [[noreturn]] void cannotHandle(const HTMLToken& token, Mode mode) const;

  // The stack of open elements.
  void push(const HTMLElementRef& element);
  void popCurrentNode();
  void popUntilElementNamed(TagId id);
  void popUntilAnyElementNamed(const TagSet& ids);
  void popUntilElement(const HTMLElement* element);
  void removeFromStack(const HTMLElement* element);
  void insertIntoStack(size_t index, const HTMLElementRef& element);
  size_t indexInStack(const HTMLElement* element) const;
  // How many open elements have the name: scope searches for a name nobody has open
  // end at once, so a deep stack is never walked in vain.
  bool isOpen(TagId id) const { return openElementCounts_[static_cast<size_t>(id)] > 0; }
  bool isAnyOpen(const TagSet& ids) const;
  bool isOpenNamed(const String& tagName) const;
  // Whether a MathML or SVG element whose name in lower case is the name is open.
  bool isForeignOpenNamedIgnoringCase(const String& lowercaseName) const;
  void countOpenElement(const HTMLElement& element, int delta);
  bool currentNodeIs(TagId id) const { return currentNode() && currentNode()->tagId() == id; }

  // Scopes: the matching element, or null.
  HTMLElement* elementInSpecificScope(const TagSet& targets, const TagSet& extraHTMLBoundaries) const;
  HTMLElement* elementInScopeWithTagName(TagId id) const;
  HTMLElement* elementInScopeWithTagNameInArray(const TagSet& ids) const;
  HTMLElement* elementInButtonScopeWithTagName(TagId id) const;
  HTMLElement* elementInListItemScopeWithTagName(TagId id) const;
  // Table scope; with HTML only, a match must be an HTML element.
  HTMLElement* elementInTableScopeWithTagNameInArray(const TagSet& ids, bool htmlOnly = false) const;
  HTMLElement* elementInTableScopeWithTagName(TagId id, bool htmlOnly = false) const {
    return elementInTableScopeWithTagNameInArray(TagSet{id}, htmlOnly);
  }
  HTMLElement* selectElementInSelectScope() const;
  bool isElementInScope(const HTMLElement* element) const;

  // Creating and inserting nodes.
  HTMLElementRef createElementForToken(const HTMLStartTagToken& token, HTMLNamespace ns = HTMLNamespace::HTML);
  HTMLElementRef insertElementForToken(const HTMLStartTagToken& token);
  HTMLElementRef insertElementNamed(const char16_t* tagName);
  void insertElement(const HTMLElementRef& element);
  void insertForeignElementForToken(const HTMLStartTagToken& token, HTMLNamespace ns);
  void insertNode(const HTMLNodeRef& node, HTMLElement* overrideTarget);
  void insertString(StringView text);
  void insertComment(const HTMLToken& token, HTMLNode* inNode = nullptr);
  InsertionPlace appropriatePlaceForInsertingANode(HTMLElement* overrideTarget = nullptr) const;

  // The list of active formatting elements; a null entry is the marker.
  void pushElementOnToListOfActiveFormattingElements(const HTMLElementRef& element);
  void pushMarkerOnToListOfActiveFormattingElements() { activeFormattingElements_.push_back(nullptr); }
  void removeElementFromListOfActiveFormattingElements(const HTMLElement* element);
  void reconstructTheActiveFormattingElements();
  void clearActiveFormattingElementsUpToLastMarker();
  size_t indexInListOfActiveFormattingElements(const HTMLElement* element) const;

  // Other shared steps.
  void resetInsertionModeAppropriately();
  void generateImpliedEndTags() { generateImpliedEndTagsExceptForTagsNamed(TagId::Unknown); }
  void generateImpliedEndTagsExceptForTagsNamed(TagId except);
  void followGenericRCDATAElementParsingAlgorithmForToken(const HTMLStartTagToken& token) {
    followGenericParsingAlgorithmForToken(token, HTMLTokenizer::RCDATA);
  }
  void followGenericRawTextElementParsingAlgorithmForToken(const HTMLStartTagToken& token) {
    followGenericParsingAlgorithmForToken(token, HTMLTokenizer::RAWTEXT);
  }
  void followGenericParsingAlgorithmForToken(const HTMLStartTagToken& token, int tokenizerState);
  void changeEncoding(NSStringEncoding encoding);
  void checkMetaElementForEncoding(const HTMLElement& meta);

  // Initial, before html, before head, in head and after head.
  void initialInsertionModeHandleCharacterToken(HTMLToken& token);
  void initialInsertionModeHandleCommentToken(HTMLToken& token);
  void initialInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void initialInsertionModeHandleAnythingElse(HTMLToken& token);
  void beforeHtmlInsertionModeHandleCharacterToken(HTMLToken& token);
  void beforeHtmlInsertionModeHandleCommentToken(HTMLToken& token);
  void beforeHtmlInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void beforeHtmlInsertionModeHandleStartTagToken(HTMLToken& token);
  void beforeHtmlInsertionModeHandleEndTagToken(HTMLToken& token);
  void beforeHtmlInsertionModeHandleAnythingElse(HTMLToken& token);
  void beforeHeadInsertionModeHandleCharacterToken(HTMLToken& token);
  void beforeHeadInsertionModeHandleCommentToken(HTMLToken& token);
  void beforeHeadInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void beforeHeadInsertionModeHandleStartTagToken(HTMLToken& token);
  void beforeHeadInsertionModeHandleEndTagToken(HTMLToken& token);
  void beforeHeadInsertionModeHandleAnythingElse(HTMLToken& token);
  void inHeadInsertionModeHandleCharacterToken(HTMLToken& token);
  void inHeadInsertionModeHandleCommentToken(HTMLToken& token);
  void inHeadInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void inHeadInsertionModeHandleStartTagToken(HTMLToken& token);
  void inHeadInsertionModeHandleEndTagToken(HTMLToken& token);
  void inHeadInsertionModeHandleAnythingElse(HTMLToken& token);
  void afterHeadInsertionModeHandleCharacterToken(HTMLToken& token);
  void afterHeadInsertionModeHandleCommentToken(HTMLToken& token);
  void afterHeadInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void afterHeadInsertionModeHandleStartTagToken(HTMLToken& token);
  void afterHeadInsertionModeHandleEndTagToken(HTMLToken& token);
  void afterHeadInsertionModeHandleAnythingElse(HTMLToken& token);

  // In body and the adoption agency.
  void inBodyInsertionModeHandleCharacterToken(HTMLToken& token);
  void inBodyInsertionModeHandleCommentToken(HTMLToken& token);
  void inBodyInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void inBodyInsertionModeHandleStartTagToken(HTMLToken& token);
  void inBodyInsertionModeHandleEndTagToken(HTMLToken& token);
  void inBodyInsertionModeHandleEOFToken(HTMLToken& token);
  void inBodyInsertionModeHandleAnyOtherEndTagToken(const HTMLTagToken& token);
  void closePElement();
  bool runAdoptionAgencyAlgorithmForTagName(const String& tagName);

  // Text and the table modes.
  void textInsertionModeHandleCharacterToken(HTMLToken& token);
  void textInsertionModeHandleEndTagToken(HTMLToken& token);
  void textInsertionModeHandleEOFToken(HTMLToken& token);
  void inTableInsertionModeHandleCharacterToken(HTMLToken& token);
  void inTableInsertionModeHandleCommentToken(HTMLToken& token);
  void inTableInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void inTableInsertionModeHandleStartTagToken(HTMLToken& token);
  void inTableInsertionModeHandleEndTagToken(HTMLToken& token);
  void inTableInsertionModeHandleEOFToken(HTMLToken& token);
  void inTableInsertionModeHandleAnythingElse(HTMLToken& token);
  void inTableTextInsertionModeHandleCharacterToken(HTMLToken& token);
  void inTableTextInsertionModeHandleAnythingElse(HTMLToken& token);
  void inCaptionInsertionModeHandleStartTagToken(HTMLToken& token);
  void inCaptionInsertionModeHandleEndTagToken(HTMLToken& token);
  void inCaptionInsertionModeHandleTableCaptionStartTagOrTableEndTagToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleCharacterToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleCommentToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleStartTagToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleEndTagToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleEOFToken(HTMLToken& token);
  void inColumnGroupInsertionModeHandleAnythingElse(HTMLToken& token);
  void inTableBodyInsertionModeHandleStartTagToken(HTMLToken& token);
  void inTableBodyInsertionModeHandleEndTagToken(HTMLToken& token);
  void inRowInsertionModeHandleStartTagToken(HTMLToken& token);
  void inRowInsertionModeHandleEndTagToken(HTMLToken& token);
  void inCellInsertionModeHandleStartTagToken(HTMLToken& token);
  void inCellInsertionModeHandleEndTagToken(HTMLToken& token);
  void clearStackBackToATableContext();
  void clearStackBackToATableBodyContext();
  void clearStackBackToATableRowContext();
  void closeTheCell();

  // Select, frameset and the closing modes.
  void inSelectInsertionModeHandleCharacterToken(HTMLToken& token);
  void inSelectInsertionModeHandleCommentToken(HTMLToken& token);
  void inSelectInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void inSelectInsertionModeHandleStartTagToken(HTMLToken& token);
  void inSelectInsertionModeHandleEndTagToken(HTMLToken& token);
  void inSelectInsertionModeHandleEOFToken(HTMLToken& token);
  void inSelectInsertionModeHandleAnythingElse(HTMLToken& token);
  void inSelectInTableInsertionModeHandleStartTagToken(HTMLToken& token);
  void inSelectInTableInsertionModeHandleEndTagToken(HTMLToken& token);
  void afterBodyInsertionModeHandleCharacterToken(HTMLToken& token);
  void afterBodyInsertionModeHandleCommentToken(HTMLToken& token);
  void afterBodyInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void afterBodyInsertionModeHandleStartTagToken(HTMLToken& token);
  void afterBodyInsertionModeHandleEndTagToken(HTMLToken& token);
  void afterBodyInsertionModeHandleEOFToken(HTMLToken& token);
  void afterBodyInsertionModeHandleAnythingElse(HTMLToken& token);
  void inFramesetInsertionModeHandleCharacterToken(HTMLToken& token);
  void inFramesetInsertionModeHandleCommentToken(HTMLToken& token);
  void inFramesetInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void inFramesetInsertionModeHandleStartTagToken(HTMLToken& token);
  void inFramesetInsertionModeHandleEndTagToken(HTMLToken& token);
  void inFramesetInsertionModeHandleEOFToken(HTMLToken& token);
  void inFramesetInsertionModeHandleAnythingElse(HTMLToken& token);
  void afterFramesetInsertionModeHandleCharacterToken(HTMLToken& token);
  void afterFramesetInsertionModeHandleCommentToken(HTMLToken& token);
  void afterFramesetInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void afterFramesetInsertionModeHandleStartTagToken(HTMLToken& token);
  void afterFramesetInsertionModeHandleEndTagToken(HTMLToken& token);
  void afterFramesetInsertionModeHandleEOFToken(HTMLToken& token);
  void afterFramesetInsertionModeHandleAnythingElse(HTMLToken& token);
  void afterAfterBodyInsertionModeHandleCharacterToken(HTMLToken& token);
  void afterAfterBodyInsertionModeHandleCommentToken(HTMLToken& token);
  void afterAfterBodyInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void afterAfterBodyInsertionModeHandleStartTagToken(HTMLToken& token);
  void afterAfterBodyInsertionModeHandleEOFToken(HTMLToken& token);
  void afterAfterBodyInsertionModeHandleAnythingElse(HTMLToken& token);
  void afterAfterFramesetInsertionModeHandleCharacterToken(HTMLToken& token);
  void afterAfterFramesetInsertionModeHandleCommentToken(HTMLToken& token);
  void afterAfterFramesetInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void afterAfterFramesetInsertionModeHandleStartTagToken(HTMLToken& token);
  void afterAfterFramesetInsertionModeHandleEOFToken(HTMLToken& token);
  void afterAfterFramesetInsertionModeHandleAnythingElse(HTMLToken& token);
  // The frameset modes keep white space, code point by code point, and drop the rest.
  void insertFramesetWhitespace(const HTMLCharacterToken& token, const char* error);
  // A character token's leading white space dropped, inserted, or handed to the in body
  // rules; whatever follows it goes to `rest`.
  void ignoreLeadingWhitespace(HTMLToken& token, void (HTMLParser::*rest)(HTMLToken&));
  void insertLeadingWhitespace(HTMLToken& token, void (HTMLParser::*rest)(HTMLToken&));
  void splitLeadingWhitespaceToInBody(HTMLToken& token, void (HTMLParser::*rest)(HTMLToken&));

  // Foreign content.
  void foreignContentInsertionModeHandleCharacterToken(HTMLToken& token);
  void foreignContentInsertionModeHandleCommentToken(HTMLToken& token);
  void foreignContentInsertionModeHandleDOCTYPEToken(HTMLToken& token);
  void foreignContentInsertionModeHandleStartTagToken(HTMLToken& token);
  void foreignContentInsertionModeHandleEndTagToken(HTMLToken& token);
  void foreignContentInsertionModeHandleAnyOtherStartTagToken(HTMLToken& token);

  HTMLTokenizer tokenizer_;
  Mode insertionMode_ = Mode::Initial;
  Mode originalInsertionMode_ = Mode::Initial;
  HTMLElementRef context_;
  std::vector<HTMLElementRef> stack_;
  uint32_t openElementCounts_[static_cast<size_t>(TagId::Count)] = {};
  std::unordered_map<String, uint32_t> openUnknownElementCounts_;
  std::unordered_map<String, uint32_t> openForeignElementCounts_;  // by lower-case name
  HTMLElementRef headElementPointer_;
  HTMLElementRef formElementPointer_;
  std::shared_ptr<HTMLDocument> document_;
  std::vector<std::string> errors_;
  bool framesetOkFlag_ = true;
  bool ignoreNextTokenIfLineFeed_ = false;
  std::vector<HTMLElementRef> activeFormattingElements_;
  String pendingTableCharacters_;
  bool fosterParenting_ = false;
  bool done_ = false;
  bool fragmentParsingAlgorithm_ = false;
  ChangeEncodingBlock changeEncoding_;
  HTMLStringEncoding encoding_;
};

// The MathML and SVG attribute-name adjustments ("definitionurl" to "definitionURL";
// "viewbox" to "viewBox" and the standard's other 57 SVG names), keeping each
// attribute's place.
void AdjustMathMLAttributesForToken(HTMLStartTagToken& token);
void AdjustSVGAttributesForToken(HTMLStartTagToken& token);

}  // namespace html
