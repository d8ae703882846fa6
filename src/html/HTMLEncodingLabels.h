#pragma once
// The Encoding Standard's labels, each with the name of its encoding, generated (see
// generate/) and sorted without regard to ASCII case.
#include <cstddef>
#include <string_view>

namespace html {

struct EncodingLabel {
  std::string_view label;
  std::string_view encodingName;
};

extern const EncodingLabel EncodingLabels[];
extern const size_t EncodingLabelsCount;

}  // namespace html
