#pragma once
// Link definitions ("[name]: target "title"", the title also alone on the next line)
// and, at the end of a parse, the resolution of reference links and images against
// them: names match case-blind; a reference without a definition becomes the text it
// was written as.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "markdown/MDDocument.h"
#include "markdown/MDScanner.h"

namespace markdown {

class MDLinkDefinitions {
 public:
  struct Definition {
    std::string identifier;
    std::string href;
    std::optional<std::string> title;
  };

  // Reads a definition at the location; the scanner stays at the end of its line.
  static bool readLinkDefinition(MDScanner& scanner, std::string_view text, Definition& definition);
  // The same as an element, remembered with its depth in the tree (`treeDepth`).
  MDElement* parseLinkDefinition(MDScanner& scanner, MDDocument& document, unsigned treeDepth);
  // Gives every reference without a target the target and title of its definition. Of
  // two definitions of one name the later one wins, "later" in a walk through the tree
  // level by level.
  void resolve(const std::vector<MDElement*>& references);
  void clear() { definitions_.clear(); }

 private:
  std::vector<std::pair<unsigned, MDElement*>> definitions_;
};

}  // namespace markdown
