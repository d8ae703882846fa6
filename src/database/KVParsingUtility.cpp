#include "database/KVParsingUtility.h"

#include "database/KVControlLineParser.h"
#include "database/KVStanzaReader.h"
#include "foundation/DateFormatter.h"
#include "foundation/Files.h"

void KVParsingUtility::enumeratePackagesOfFileAtPath(const std::string& path, const StanzaBlock& block) {
  KVStanza stanza;
  KVStanzaReader reader(path);
  if (!reader.isOpen()) {
    block(stanza);
    return;
  }
  while (reader.next(stanza)) block(stanza);
}

namespace {

// Finishes one stanza of the in-memory splitter.
void finishStanza(std::vector<KVStanza>& out, KVStanza& stanza, std::string_view raw) {
  for (std::string_view key : {"Author", "Maintainer"}) {
    size_t index = stanza.indexOf(key);
    if (index == KVStanza::npos) continue;
    KVStanza::Field field = stanza.field(index);
    if (field.value.find('<') == std::string_view::npos) continue;
    std::string name, email;
    KVParsingUtility::setContactFromField(field.value, &name, &email);
    std::string emailKey = std::string(field.name) + "Email";
    stanza.set(field.name, name);
    stanza.set(emailKey, email);
  }
  stanza.set("rawPackage", raw);
  out.push_back(std::move(stanza));
  stanza = KVStanza();
}

}  // namespace

std::vector<KVStanza> KVParsingUtility::arrayFromPackagesFromString(std::string_view text) {
  std::vector<KVStanza> out;
  KVStanza stanza;
  KVControlLineParser parser;
  size_t stanzaStart = 0;  // first byte after the last separator
  size_t contentEnd = 0;   // end of the last line that belonged to a stanza
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t lineEnd = nl == std::string_view::npos ? text.size() : nl;
    size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
    if (parser.apply(stanza, text.substr(pos, lineEnd - pos)) == KVControlLineParser::Line::Separator) {
      if (!stanza.empty()) finishStanza(out, stanza, text.substr(stanzaStart, contentEnd - stanzaStart));
      parser.reset();
      stanzaStart = next;
    } else {
      contentEnd = lineEnd;
    }
    pos = next;
  }
  if (!stanza.empty()) finishStanza(out, stanza, text.substr(stanzaStart, contentEnd - stanzaStart));
  return out;
}

std::optional<std::string> KVParsingUtility::bestGuessStringForControlFileAtPath(const std::string& path,
                                                                                 StringEncoding* usedEncoding) {
  std::optional<std::string> bytes = Files::readText(path);
  if (!bytes) return std::nullopt;
  DetectedString detected = detectStringEncoding(*bytes);
  if (usedEncoding) *usedEncoding = detected.encoding;
  return std::move(detected.text);
}

const DateFormatter& KVParsingUtility::refreshDateFormatter() {
  static const DateFormatter formatter("yyyy-MM-dd HH:mm", "");
  return formatter;
}
