#pragma once
// A DOCTYPE token. A missing name or identifier differs from an empty one.
#include <optional>

#include "html/HTMLString.h"

namespace html {

class HTMLDOCTYPEToken {
 public:
  const std::optional<String>& name() const { return name_; }
  void setName(std::optional<String> name) { name_ = std::move(name); }
  // Creates the name on first use.
  void appendLongCharacterToName(CodePoint c);
  const std::optional<String>& publicIdentifier() const { return publicIdentifier_; }
  const std::optional<String>& systemIdentifier() const { return systemIdentifier_; }
  void setPublicIdentifier(std::optional<String> identifier) { publicIdentifier_ = std::move(identifier); }
  void setSystemIdentifier(std::optional<String> identifier) { systemIdentifier_ = std::move(identifier); }
  // Nothing for an empty string; otherwise creates the identifier and appends.
  void appendStringToPublicIdentifier(StringView string);
  void appendStringToSystemIdentifier(StringView string);
  bool forceQuirks() const { return forceQuirks_; }
  void setForceQuirks(bool forceQuirks) { forceQuirks_ = forceQuirks; }

  // Name and identifiers; the force-quirks flag is not compared.
  bool operator==(const HTMLDOCTYPEToken& other) const {
    return name_ == other.name_ && publicIdentifier_ == other.publicIdentifier_ &&
           systemIdentifier_ == other.systemIdentifier_;
  }
  String description() const;

 private:
  std::optional<String> name_;
  std::optional<String> publicIdentifier_;
  std::optional<String> systemIdentifier_;
  bool forceQuirks_ = false;
};

}  // namespace html
