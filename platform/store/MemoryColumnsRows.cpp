#include "store/MemoryColumnsRows.h"

#include <algorithm>

namespace store {

MemoryColumns::Rows::Rows(const std::vector<const Property*>& held) {
  columns.resize(held.size());
  interned_.resize(held.size());
  for (size_t k = 0; k < held.size(); ++k) {
    columns[k].property = held[k];
    columns[k].text = held[k]->type == PropertyType::String;
    columns[k].flag = held[k]->type == PropertyType::Bool;
  }
}

bool MemoryColumns::Rows::append(const sql::Statement& st) {
  ids.push_back(st.columnInt(0));
  bool kindsFit = true;
  for (size_t k = 0; k < columns.size(); ++k) {
    Column& c = columns[k];
    const int at = static_cast<int>(k + 1);
    const int type = sqlite3_column_type(st.handle(), at);
    if (c.text) {
      if (type == SQLITE_NULL) {
        c.codes.push_back(0);
        continue;
      }
      kindsFit = kindsFit && type == SQLITE_TEXT;
      kindsFit = addText(k, st.columnTextView(at)) && kindsFit;
    } else {
      kindsFit = kindsFit && (type == SQLITE_NULL || type == SQLITE_INTEGER);
      c.appendNumber(type == SQLITE_NULL, type == SQLITE_NULL ? 0 : st.columnInt(at));
    }
  }
  return kindsFit;
}

bool MemoryColumns::Rows::addText(size_t k, std::string_view text) {
  Column& c = columns[k];
  // The same text as the row before (the rows of one source share several) takes its code
  // without a look-up.
  if (!c.codes.empty() && c.codes.back() && c.texts.text(c.codes.back()) == text) {
    c.codes.push_back(c.codes.back());
    return true;
  }
  auto& known = interned_[k];
  // A column whose texts are nearly all different (identifiers, names) is not interned:
  // the texts are kept once each anyway, and the map would only cost.
  if (c.interning && c.codes.size() >= kInternTrial && known.size() > c.codes.size() / 2) {
    c.interning = false;
    known = {};
  }
  bool fits = true;
  if (!c.interning) {
    fits = c.texts.add(text);
    c.codes.push_back(static_cast<uint32_t>(c.texts.size()));
    return fits;
  }
  auto it = known.find(text);
  if (it == known.end()) {
    fits = c.texts.add(text);
    it = known.emplace(std::string(text), static_cast<uint32_t>(c.texts.size())).first;
  }
  c.codes.push_back(it->second);
  return fits;
}

void MemoryColumns::Rows::appendRow(const Rows& from, size_t row) {
  ids.push_back(from.ids[row]);
  for (size_t k = 0; k < columns.size(); ++k) {
    Column& c = columns[k];
    const Column& f = from.columns[k];
    if (c.text) {
      const uint32_t code = f.codes[row];
      if (code) addText(k, f.texts.text(code));
      else c.codes.push_back(0);
    } else {
      c.appendNumber(f.isNull(row), f.number(row));
    }
  }
}

void MemoryColumns::Rows::shrink() {
  interned_.clear();
  interned_.shrink_to_fit();
  ids.shrink_to_fit();
  for (auto& c : columns) {
    c.codes.shrink_to_fit();
    c.numbers.shrink_to_fit();
    c.bytes.shrink_to_fit();
    c.texts.bytes.shrink_to_fit();
    c.texts.ends.shrink_to_fit();
  }
}

std::optional<size_t> MemoryColumns::Rows::positionOf(int64_t id) const {
  auto it = std::lower_bound(ids.begin(), ids.end(), id);
  if (it == ids.end() || *it != id) return std::nullopt;
  return static_cast<size_t>(it - ids.begin());
}

Value MemoryColumns::Rows::valueAt(size_t column, size_t row) const {
  const Column& c = columns[column];
  if (c.text) {
    uint32_t code = c.codes[row];
    return code ? Value(std::string(c.texts.text(code))) : Value();
  }
  if (c.isNull(row)) return Value();
  if (c.flag) return Value(c.number(row) != 0);
  return Value(static_cast<long long>(c.number(row)));
}

bool MemoryColumns::Rows::merge(Rows fresh, const std::unordered_set<int64_t>& gone, std::vector<bool>& changedColumns,
                                bool& rowsMoved) {
  changedColumns.assign(columns.size(), false);
  rowsMoved = false;
  // Each of fresh's texts (interned as they were read or written) gets one code here;
  // in a column that interns, texts new to it that are equal share one. A column fresh
  // found mostly distinct stops interning.
  std::vector<std::vector<uint32_t>> mapped(columns.size());  // by fresh's code
  std::vector<std::unordered_map<std::string_view, uint32_t>> added(columns.size());  // views into fresh
  for (size_t k = 0; k < columns.size(); ++k)
    if (!fresh.columns[k].interning) columns[k].interning = false;
  bool fits = true;
  auto codeFor = [&](size_t k, uint32_t freshCode, std::string_view text) -> uint32_t {
    std::vector<uint32_t>& known = mapped[k];
    if (known.empty()) known.assign(fresh.columns[k].texts.size() + 1, 0);
    if (known[freshCode]) return known[freshCode];
    Column& c = columns[k];
    uint32_t code = 0;
    auto it = c.interning ? added[k].find(text) : added[k].end();
    if (it != added[k].end()) {
      code = it->second;
    } else {
      fits = c.texts.add(text) && fits;
      code = static_cast<uint32_t>(c.texts.size());
      if (c.interning) added[k].emplace(text, code);
    }
    return known[freshCode] = code;
  };

  Rows merged(std::vector<const Property*>{});
  merged.columns.resize(columns.size());
  const size_t reserve = ids.size() + fresh.size();
  merged.ids.reserve(reserve);
  for (size_t k = 0; k < columns.size(); ++k) {
    Column& to = merged.columns[k];
    to.property = columns[k].property;
    to.text = columns[k].text;
    to.flag = columns[k].flag;
    if (to.text) {
      to.codes.reserve(reserve);
    } else {
      to.bytes.reserve(reserve);
      if (!to.flag) to.numbers.reserve(reserve);
    }
  }
  auto keepOld = [&](size_t i) {
    merged.ids.push_back(ids[i]);
    for (size_t k = 0; k < columns.size(); ++k) {
      Column& to = merged.columns[k];
      if (columns[k].text) to.codes.push_back(columns[k].codes[i]);
      else to.appendNumber(columns[k].isNull(i), columns[k].number(i));
    }
  };
  // `old`: the row's position before, when it had one.
  auto takeFresh = [&](size_t j, std::optional<size_t> old) {
    merged.ids.push_back(fresh.ids[j]);
    if (!old) rowsMoved = true;
    for (size_t k = 0; k < columns.size(); ++k) {
      Column& to = merged.columns[k];
      const Column& from = fresh.columns[k];
      if (columns[k].text) {
        const uint32_t freshCode = from.codes[j];
        const std::string_view text = freshCode ? from.texts.text(freshCode) : std::string_view();
        uint32_t code = 0;
        if (old && columns[k].codes[*old] && freshCode && textAt(k, *old) == text) code = columns[k].codes[*old];
        else if (freshCode) code = codeFor(k, freshCode, text);
        if (!old || code != columns[k].codes[*old]) changedColumns[k] = true;
        to.codes.push_back(code);
      } else {
        to.appendNumber(from.isNull(j), from.number(j));
        if (!old || from.isNull(j) != columns[k].isNull(*old) || from.number(j) != columns[k].number(*old))
          changedColumns[k] = true;
      }
    }
  };

  size_t i = 0, j = 0;
  while (i < ids.size() || j < fresh.size()) {
    const bool takeOld = j == fresh.size() || (i < ids.size() && ids[i] < fresh.ids[j]);
    if (takeOld) {
      if (gone.count(ids[i])) rowsMoved = true;
      else keepOld(i);
      ++i;
    } else if (i < ids.size() && ids[i] == fresh.ids[j]) {
      takeFresh(j++, i++);
    } else {
      takeFresh(j++, std::nullopt);
    }
  }
  for (size_t k = 0; k < columns.size(); ++k) {
    columns[k].codes.swap(merged.columns[k].codes);
    columns[k].numbers.swap(merged.columns[k].numbers);
    columns[k].bytes.swap(merged.columns[k].bytes);
  }
  ids.swap(merged.ids);
  return fits;
}

bool MemoryColumns::Rows::needsRebuild() const {
  for (const auto& c : columns)
    if (c.text && c.texts.size() > 2 * ids.size() + 4096) return true;
  return false;
}

size_t MemoryColumns::Rows::memoryUsed() const {
  size_t bytes = ids.capacity() * sizeof(int64_t);
  for (const auto& c : columns)
    bytes += c.codes.capacity() * sizeof(uint32_t) + c.numbers.capacity() * sizeof(int64_t) + c.bytes.capacity() +
             c.texts.memoryUsed();
  return bytes;
}

}  // namespace store
