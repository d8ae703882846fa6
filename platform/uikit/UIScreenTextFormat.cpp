#include "uikit/UIScreenTextFormat.h"

namespace UIScreenTextFormat {
std::string oneLine(const std::string& text, size_t maxLength) {
  std::string out;
  bool blank = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\n' && i > 0 && text[i - 1] == '\r') continue;  // "\r\n" is one line break
    if (c == '\n' || c == '\r') {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      if (!out.empty() && (out.size() < 3 || out.compare(out.size() - 3, 3, " / ") != 0)) out += " / ";
      blank = true;
      continue;
    }
    if (c == ' ' || c == '\t') {
      if (!blank && !out.empty()) out += ' ';
      blank = true;
      continue;
    }
    blank = false;
    out += c;
  }
  while (out.size() >= 3 && out.compare(out.size() - 3, 3, " / ") == 0) out.resize(out.size() - 3);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (out.size() > maxLength) {
    size_t cut = maxLength;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;  // keep UTF-8 whole
    out = out.substr(0, cut) + "...";
  }
  return out;
}
}  // namespace UIScreenTextFormat
