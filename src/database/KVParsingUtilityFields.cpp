// The field helpers of KVParsingUtility: list items, dependencies and their "firmware"
// limits, contacts and other package managers' sources lists.
#include <sys/stat.h>

#include <algorithm>
#include <unordered_set>

#include "core/KVSourceLocation.h"
#include "database/KVControlLineParser.h"
#include "database/KVParsingUtility.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/StringEncoding.h"
#include "system/DeviceFiles.h"

namespace {

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s, std::string_view set) {
  size_t b = s.find_first_not_of(set);
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(set);
  return s.substr(b, e - b + 1);
}

// Keeps the first occurrence of each text, in order, in `out` (whose texts keep their
// room). A field's few items are compared in turn; a long list gets a set of them.
class OrderedSet {
 public:
  explicit OrderedSet(std::vector<std::string>& out) : items_(out) {}
  ~OrderedSet() {
    // The texts a shorter list no longer holds wait for the next list that grows.
    std::vector<std::string>& spare = spareTexts();
    for (size_t i = count_; i < items_.size() && spare.size() < kSpareTexts; ++i)
      if (items_[i].capacity() > std::string().capacity()) spare.push_back(std::move(items_[i]));
    items_.resize(count_);
  }
  void add(std::string_view text) {
    if (count_ < kCompared) {
      for (size_t i = 0; i < count_; ++i)
        if (items_[i] == text) return;
    } else {
      if (seen_.empty()) seen_.insert(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(count_));
      if (!seen_.emplace(text).second) return;
    }
    if (count_ < items_.size()) {
      items_[count_].assign(text);
    } else if (std::vector<std::string>& spare = spareTexts(); !spare.empty()) {
      items_.push_back(std::move(spare.back()));
      spare.pop_back();
      items_.back().assign(text);
    } else {
      items_.emplace_back(text);
    }
    ++count_;
  }

 private:
  // Texts kept on this thread from one list to the next, so that lists filled again and
  // again in place (an index's entries) make and let go of few texts.
  static std::vector<std::string>& spareTexts() {
    thread_local std::vector<std::string> spare;
    return spare;
  }
  static constexpr size_t kSpareTexts = 256;
  static constexpr size_t kCompared = 16;
  std::unordered_set<std::string> seen_;
  std::vector<std::string>& items_;
  size_t count_ = 0;
};

void appendSplitOn(std::vector<std::string_view>& parts, std::string_view s, char sep) {
  size_t pos = 0;
  for (;;) {
    size_t at = s.find(sep, pos);
    parts.push_back(s.substr(pos, at == std::string_view::npos ? std::string_view::npos : at - pos));
    if (at == std::string_view::npos) return;
    pos = at + 1;
  }
}

std::vector<std::string_view> splitOn(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  appendSplitOn(parts, s, sep);
  return parts;
}

// The limits a run of "firmware" clauses has set so far, with whether each excludes
// its own version ("<<" and ">>").
struct FirmwareLimits {
  std::string min, max;
  bool minStrict = false, maxStrict = false;

  // Reads one alternative "firmware(<relation><version>)"; no relation, no limit.
  void read(std::string_view alternative) {
    size_t open = alternative.find('(');
    if (open == std::string_view::npos) return;
    std::string_view inner = alternative.substr(open + 1);
    inner = inner.substr(0, inner.find(')'));
    if (inner.empty()) return;
    std::string version(trim(inner, KVParsingUtility::charactersToRemoveFromArrayStrings()));
    if (inner[0] == '<') {
      max = std::move(version);
      maxStrict = inner.substr(0, 2) == "<<";
    } else if (inner[0] == '>') {
      min = std::move(version);
      minStrict = inner.substr(0, 2) == ">>";
    }
  }

  bool excludes(std::string_view system) const {
    namespace vc = NSStringVersionCompare;
    if (!min.empty() && (minStrict ? vc::equalToOrLessThan(system, min) : vc::lessThan(system, min))) return true;
    if (!max.empty() && (maxStrict ? vc::equalToOrGreaterThan(system, max) : vc::greaterThan(system, max))) return true;
    return false;
  }
};

// The package an alternative names: the text before its version, architecture or
// profile part.
std::string_view packageName(std::string_view alternative) {
  return alternative.substr(0, alternative.find_first_of("(:[<"));
}

}  // namespace

std::vector<std::string> KVParsingUtility::componentsOfControlField(std::optional<std::string_view> value) {
  std::vector<std::string> out;
  if (!value) return out;
  for (std::string_view part : splitOn(*value, ',')) out.emplace_back(part);
  return out;
}

std::vector<std::string_view> KVParsingUtility::componentViewsOfControlField(std::optional<std::string_view> value) {
  if (!value) return {};
  return splitOn(*value, ',');
}

void KVParsingUtility::appendComponentViewsOfControlField(std::vector<std::string_view>& out,
                                                          std::optional<std::string_view> value) {
  if (value) appendSplitOn(out, *value, ',');
}

namespace {

template <typename Component>
void itemsOf(const std::vector<Component>& components, std::vector<std::string>& out) {
  // Folded field values carry line feeds and tabs: those go with the stripped set.
  static const std::string kStrip = std::string(KVParsingUtility::charactersToRemoveFromArrayStrings()) + "\t\n\r\v\f";
  OrderedSet items(out);
  for (const Component& component : components) {
    std::string_view item = trim(component, kStrip);
    if (!item.empty()) items.add(item);
  }
}

template <typename Component>
std::vector<std::string> itemsOf(const std::vector<Component>& components) {
  std::vector<std::string> out;
  itemsOf(components, out);
  return out;
}

template <typename Clause>
void dependenciesOf(const std::vector<Clause>& clauses, bool showsIncompatible, bool* isIncompatible,
                    std::string* minVersion, std::string* maxVersion, std::string_view deviceSystemVersion,
                    std::vector<std::string>& out) {
  OrderedSet result(out);
  FirmwareLimits limits;
  bool incompatible = false;
  // Texts reused from one call to the next on this thread.
  thread_local std::string clause, joined;
  for (const Clause& raw : clauses) {
    // The clause without its white space, taken a run of other characters at a time.
    clause.clear();
    const char* at = raw.data();
    const char* const end = at + raw.size();
    while (at < end) {
      const char* run = at;
      while (at < end && !isWhite(*at)) ++at;
      clause.append(run, static_cast<size_t>(at - run));
      while (at < end && isWhite(*at)) ++at;
    }
    if (clause.empty() || clause == "firmware") continue;
    // Only a clause that names the firmware can limit the system versions.
    if (clause != "firmware-sbin" && clause.find("firmware") != std::string::npos) {
      std::vector<std::string_view> alternatives = splitOn(clause, '|');
      for (std::string_view alternative : alternatives) {
        if (packageName(alternative) != "firmware") continue;
        limits.read(alternative);
        if (alternatives.size() == 1 && !showsIncompatible) incompatible = limits.excludes(deviceSystemVersion);
      }
    }
    // Most clauses have no alternatives: they go in as they are.
    if (clause.find('|') == std::string::npos) {
      result.add(clause);
      continue;
    }
    joined.clear();
    size_t from = 0;
    for (size_t bar; (bar = clause.find('|', from)) != std::string::npos; from = bar + 1)
      joined.append(clause, from, bar - from).append(" OR ");
    joined.append(clause, from, std::string::npos);
    result.add(joined);
  }
  if (isIncompatible) *isIncompatible = incompatible;
  if (minVersion) *minVersion = limits.min;
  if (maxVersion) *maxVersion = limits.max;
}

template <typename Clause>
std::vector<std::string> dependenciesOf(const std::vector<Clause>& clauses, bool showsIncompatible,
                                        bool* isIncompatible, std::string* minVersion, std::string* maxVersion,
                                        std::string_view deviceSystemVersion) {
  std::vector<std::string> out;
  dependenciesOf(clauses, showsIncompatible, isIncompatible, minVersion, maxVersion, deviceSystemVersion, out);
  return out;
}

}  // namespace

std::vector<std::string> KVParsingUtility::arrayOfItemsFromControlField(const std::vector<std::string>& components) {
  return itemsOf(components);
}

std::vector<std::string> KVParsingUtility::arrayOfItemsFromControlFieldViews(
    const std::vector<std::string_view>& components) {
  return itemsOf(components);
}

std::vector<std::string> KVParsingUtility::arrayOfDependenciesFromControlField(
    const std::vector<std::string>& clauses, bool showsIncompatible, bool* isIncompatible, std::string* minVersion,
    std::string* maxVersion, std::string_view deviceSystemVersion) {
  return dependenciesOf(clauses, showsIncompatible, isIncompatible, minVersion, maxVersion, deviceSystemVersion);
}

std::vector<std::string> KVParsingUtility::arrayOfDependenciesFromControlFieldViews(
    const std::vector<std::string_view>& clauses, bool showsIncompatible, bool* isIncompatible,
    std::string* minVersion, std::string* maxVersion, std::string_view deviceSystemVersion) {
  return dependenciesOf(clauses, showsIncompatible, isIncompatible, minVersion, maxVersion, deviceSystemVersion);
}

void KVParsingUtility::arrayOfDependenciesFromControlFieldViews(const std::vector<std::string_view>& clauses,
                                                                bool showsIncompatible, bool* isIncompatible,
                                                                std::string* minVersion, std::string* maxVersion,
                                                                std::string_view deviceSystemVersion,
                                                                std::vector<std::string>& out) {
  dependenciesOf(clauses, showsIncompatible, isIncompatible, minVersion, maxVersion, deviceSystemVersion, out);
}

void KVParsingUtility::arrayOfItemsFromControlFieldViews(const std::vector<std::string_view>& components,
                                                         std::vector<std::string>& out) {
  itemsOf(components, out);
}

void KVParsingUtility::setContactFromField(std::string_view value, std::string* name, std::string* email) {
  // "Name <address>": the name is what comes before the first "<", the address runs to
  // the next ">". Only the first contact of a list ("A <a>, B <b>") is taken.
  size_t open = value.find('<');
  std::string_view namePart = value.substr(0, open);
  if (name) {
    // Written in place (its room reused): the name without any ">", trimmed.
    name->clear();
    for (size_t from = 0; from < namePart.size();) {
      const size_t stray = std::min(namePart.find('>', from), namePart.size());
      name->append(namePart, from, stray - from);
      from = stray + 1;
    }
    std::string_view trimmed = trim(*name, " \t\n");
    const size_t from = trimmed.empty() ? 0 : static_cast<size_t>(trimmed.data() - name->data());
    name->erase(from + trimmed.size()).erase(0, from);
  }
  if (open == std::string_view::npos) return;
  std::string_view rest = value.substr(open + 1);
  rest = rest.substr(0, rest.find_first_of("<>"));
  if (email) email->assign(trim(rest, " \t\n"));
}

std::set<std::string> KVParsingUtility::sourceURLsFromSourceListAtPath(const std::string& path) {
  std::set<std::string> locations;
  addSourceURLsFromSourceListAtPath(path, locations, SIZE_MAX);
  return locations;
}

bool KVParsingUtility::addSourceURLsFromSourceListAtPath(const std::string& path, std::set<std::string>& locations,
                                                         size_t limit) {
  std::string problem;
  auto contents = DeviceFiles::readFile(path, kSourceListReadLimit, &problem);
  if (!contents) {
    struct stat st;
    // A missing list is no news: most managers are not on the device.
    if (::lstat(path.c_str(), &st) == 0) KVLog("Not reading the sources list %s", problem.c_str());
    return true;
  }
  std::string_view text(reinterpret_cast<const char*>(contents->bytes.data()), contents->bytes.size());
  // A list cut at the limit ends with the last whole line.
  if (!contents->complete) {
    KVLog("Only the first %zu bytes of the sources list %s are read", text.size(), path.c_str());
    text = text.substr(0, text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n') + 1);
  }
  bool full = false;
  auto add = [&](std::string_view uri) {
    // Another manager's list is as hostile as any repository data: a location that would
    // become options or another layout in our own sources list is left behind.
    auto location = KVSourceLocation::fromText(uri);
    if (!location) {
      KVLog("Not importing the source location \"%s\": %s", std::string(uri).c_str(),
            location.error()->localizedDescription().c_str());
      return;
    }
    if (locations.size() >= limit && !locations.count(location->text())) full = true;
    else locations.insert(location->text());
  };
  for (std::string_view rawLine : splitOn(text, '\n')) {
    if (full) break;
    std::string decoded;
    if (!isValidUTF8(rawLine)) rawLine = decoded = windows1252ToUTF8(rawLine);
    std::string_view line = trim(KVControlLineParser::trimLineEnds(rawLine), " \t");
    std::vector<std::string_view> words;
    for (std::string_view w : splitOn(line, ' '))
      for (std::string_view t : splitOn(w, '\t'))
        if (!t.empty()) words.push_back(t);
    if (words.size() < 2) continue;
    if (words[0] == "deb") {
      // Skip an options block: "deb [arch=arm64 signed-by=...] URI suite".
      size_t i = 1;
      if (words[i].front() == '[') {
        while (i < words.size() && words[i].back() != ']') ++i;
        ++i;
      }
      if (i < words.size()) add(words[i]);
    } else if (words[0].size() == 5 && std::equal(words[0].begin(), words[0].end(), "uris:", [](char a, char b) {
                 return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b;
               })) {
      for (size_t i = 1; i < words.size() && !full; ++i) add(words[i]);
    }
  }
  return !full && contents->complete;
}
