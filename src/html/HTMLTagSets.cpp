#include "html/HTMLTagSets.h"

namespace html {

namespace {

const TagSet& specialHTML() {
  using T = TagId;
  static const TagSet set{
      T::Address,  T::Applet,   T::Area,      T::Article,    T::Aside,    T::Base,       T::Basefont,
      T::Bgsound,  T::Blockquote, T::Body,    T::Br,         T::Button,   T::Caption,    T::Center,
      T::Col,      T::Colgroup, T::Dd,        T::Details,    T::Dir,      T::Div,        T::Dl,
      T::Dt,       T::Embed,    T::Fieldset,  T::Figcaption, T::Figure,   T::Footer,     T::Form,
      T::Frame,    T::Frameset, T::H1,        T::H2,         T::H3,       T::H4,         T::H5,
      T::H6,       T::Head,     T::Header,    T::Hgroup,     T::Hr,       T::Html,       T::Iframe,
      T::Img,      T::Input,    T::Li,        T::Link,       T::Listing,  T::Main,       T::Marquee,
      T::Menu,     T::Meta,     T::Nav,       T::Noembed,    T::Noframes, T::Noscript,   T::Object,
      T::Ol,       T::P,        T::Param,     T::Plaintext,  T::Pre,      T::Script,     T::Section,
      T::Select,   T::Source,   T::Style,     T::Summary,    T::Table,    T::Tbody,      T::Td,
      T::Template, T::Textarea, T::Tfoot,     T::Th,         T::Thead,    T::Title,      T::Tr,
      T::Track,    T::Ul,       T::Wbr,       T::Xmp};
  return set;
}

bool isMathMLBoundary(TagId id) {
  return id == TagId::Mi || id == TagId::Mo || id == TagId::Mn || id == TagId::Ms || id == TagId::Mtext ||
         id == TagId::AnnotationXml;
}

bool isSVGBoundary(TagId id) { return id == TagId::ForeignObject || id == TagId::Desc || id == TagId::Title; }

}  // namespace

bool IsSpecialElement(const HTMLElement& element) {
  switch (element.htmlNamespace()) {
    case HTMLNamespace::HTML: return specialHTML().contains(element.tagId());
    case HTMLNamespace::MathML: return isMathMLBoundary(element.tagId());
    case HTMLNamespace::SVG: return isSVGBoundary(element.tagId());
  }
  return false;
}

bool IsMathMLTextIntegrationPoint(const HTMLElement& element) {
  TagId id = element.tagId();
  return isMathML(element) &&
         (id == TagId::Mi || id == TagId::Mo || id == TagId::Mn || id == TagId::Ms || id == TagId::Mtext);
}

bool IsHTMLIntegrationPoint(const HTMLElement& element) {
  if (isMathML(element) && element.tagId() == TagId::AnnotationXml) {
    const String* encoding = element.objectForKeyedSubscript(u"encoding");
    return encoding && (equalsIgnoringASCIICase(*encoding, u"text/html") ||
                        equalsIgnoringASCIICase(*encoding, u"application/xhtml+xml"));
  }
  return isSVG(element) && isSVGBoundary(element.tagId());
}

bool IsDefaultScopeBoundary(const HTMLElement& element, const TagSet& extraHTML) {
  TagId id = element.tagId();
  switch (element.htmlNamespace()) {
    case HTMLNamespace::HTML:
      return id == TagId::Applet || id == TagId::Caption || id == TagId::Html || id == TagId::Table ||
             id == TagId::Td || id == TagId::Th || id == TagId::Marquee || id == TagId::Object ||
             extraHTML.contains(id);
    case HTMLNamespace::MathML: return isMathMLBoundary(id);
    case HTMLNamespace::SVG: return isSVGBoundary(id);
  }
  return false;
}

}  // namespace html
