#include "html/HTMLCharacterReferences.h"

#include <unordered_map>

#include "html/HTMLNamedReferenceTables.h"

namespace html {

namespace {

struct NumericReplacement {
  uint16_t number;
  uint16_t replacement;
};

const NumericReplacement Win1252Table[] = {
    {0x00, 0xFFFD}, {0x0D, 0x000D}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x83, 0x0192},
    {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020}, {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030},
    {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8D, 0x008D}, {0x8E, 0x017D}, {0x8F, 0x008F},
    {0x90, 0x0090}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022},
    {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A},
    {0x9C, 0x0153}, {0x9D, 0x009D}, {0x9E, 0x017E}, {0x9F, 0x0178},
};

// The rows of a sorted table by the first unit of their names (every name starts with
// an ASCII letter), so that a search starts among the few of one letter.
struct FirstUnitIndex {
  uint16_t begin[129] = {};
  FirstUnitIndex(const NamedReference* rows, size_t count) {
    size_t row = 0;
    for (unsigned unit = 0; unit < 128; ++unit) {
      begin[unit] = static_cast<uint16_t>(row);
      while (row < count && rows[row].name[0] == unit) ++row;
    }
    begin[128] = static_cast<uint16_t>(row);
  }
};

// Binary search for a row whose name is a prefix of the candidate. A row that is a
// prefix compares equal; any other compares as text.
const NamedReference* findPrefixRow(const NamedReference* rows, StringView candidate, const FirstUnitIndex& index) {
  if (candidate.empty() || candidate[0] >= 128) return nullptr;
  size_t low = index.begin[candidate[0]], high = index.begin[candidate[0] + 1];
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    StringView name = rows[mid].name;
    if (startsWith(candidate, name)) return &rows[mid];
    if (candidate < name) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return nullptr;
}

}  // namespace

std::optional<StringView> StringForNamedEntity(StringView candidate, StringView* matchedName) {
  // 1. Every name here ends in ";" and holds no other, so the one that can be a prefix
  // is the candidate up to its first ";".
  static const std::unordered_map<StringView, const NamedReference*> withSemicolon = [] {
    std::unordered_map<StringView, const NamedReference*> names;
    names.reserve(NamedReferencesCount);
    for (size_t i = 0; i < NamedReferencesCount; ++i) names.emplace(NamedReferences[i].name, &NamedReferences[i]);
    return names;
  }();
  if (size_t semicolon = candidate.find(u';'); semicolon != StringView::npos) {
    if (auto row = withSemicolon.find(candidate.substr(0, semicolon + 1)); row != withSemicolon.end()) {
      if (matchedName) *matchedName = row->second->name;
      return row->second->replacement;
    }
  }
  // 2. The legacy names: from the row found, the longest neighbour that still matches.
  const NamedReference* rows = NamedSemicolonlessReferences;
  const size_t count = NamedSemicolonlessReferencesCount;
  static const FirstUnitIndex legacy(rows, count);
  const NamedReference* found = findPrefixRow(rows, candidate, legacy);
  if (!found) return std::nullopt;
  const NamedReference* best = found;
  for (const NamedReference* row = found; row-- > rows && startsWith(row->name, found->name);) {
    if (startsWith(candidate, row->name) && row->name.size() > best->name.size()) best = row;
  }
  for (const NamedReference* row = found + 1; row < rows + count && startsWith(row->name, found->name); ++row) {
    if (startsWith(candidate, row->name) && row->name.size() > best->name.size()) best = row;
  }
  if (matchedName) *matchedName = best->name;
  return best->replacement;
}

CodePoint ReplacementForNumericEntity(uint32_t number) {
  size_t low = 0, high = sizeof Win1252Table / sizeof Win1252Table[0];
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    if (Win1252Table[mid].number == number) return Win1252Table[mid].replacement;
    if (number < Win1252Table[mid].number) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return 0;
}

}  // namespace html
