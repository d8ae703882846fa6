#pragma once
// The inputs of the source page, which sits above the lists that open it: a list made
// from the interface file "SourceViewController" hands it its source through these.
#include <optional>
#include <string>

class KVSourcePageInputs {
 public:
  virtual ~KVSourcePageInputs() = default;
  virtual void setSourceLocation(std::optional<std::string> location) = 0;
  virtual void setIsPresented(bool presented) = 0;
};
