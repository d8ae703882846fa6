#include <algorithm>
#include <deque>

#include "store/MemoryColumnsRows.h"

namespace store {

namespace {

// A row packed: its id's distance from the row before's, a bit per column for a value
// the same as the row before's, then a tag byte for each other column and what the tag
// needs.
enum Tag : uint8_t {
  kNull = 0,
  kAsColumn = 1,   // the same text as an earlier column of this row: its index
  kRepeated = 2,   // one of the column's repeated texts: its index
  kSpelled = 3,    // the length it shares with the row before's text, then the rest's length and bytes
  kZero = 4,       // numbers
  kOne = 5,
  kNumber = 6,     // zigzag
};

constexpr size_t kBlock = 64 * 1024;
// A column whose first texts are mostly different (identifiers, names) stops looking its
// texts up among the repeated ones.
constexpr size_t kRepeatTrial = 2048;

void putNumber(std::string& out, uint64_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7f) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}

uint64_t takeNumber(const char*& at) {
  uint64_t n = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t byte = static_cast<uint8_t>(*at++);
    n |= static_cast<uint64_t>(byte & 0x7f) << shift;
    if (!(byte & 0x80)) return n;
  }
}

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace

// One commit's rows. The blocks keep their room, so a text written in one stays where it
// is, and so do the repeated texts (a deque does not move its elements).
struct WrittenRows::Part {
  struct Repeated {
    std::deque<std::string> texts;
    std::unordered_map<std::string_view, uint32_t, TextHash> codes;  // into texts
    bool looking = true;
  };
  std::vector<std::string> blocks;
  std::vector<Repeated> repeated;  // by column
  size_t rows = 0;
  int64_t firstId = 0, lastId = 0;
  // The row before's values (the writer's only).
  std::vector<std::string> beforeText;
  std::vector<int64_t> beforeNumber;
  std::vector<uint8_t> beforeNull;

  explicit Part(size_t columns)
      : repeated(columns), beforeText(columns), beforeNumber(columns), beforeNull(columns, true) {}

  std::string& room(size_t bytes) {
    if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < bytes) {
      // Small at first: most transactions write a row or two.
      const size_t grown = blocks.size() < 4 ? kBlock >> (2 * (4 - blocks.size())) : kBlock;
      blocks.emplace_back();
      blocks.back().reserve(std::max(grown, bytes));
    }
    return blocks.back();
  }
};

WrittenRows::WrittenRows(const MemoryColumns& memory) {
  for (const Property* p : memory.heldProperties()) textColumns_.push_back(p->type == PropertyType::String);
}

WrittenRows::~WrittenRows() = default;

size_t WrittenRows::memoryUsed() const {
  size_t bytes = 0;
  for (const auto& part : parts_) {
    for (const auto& block : part->blocks) bytes += block.capacity();
    for (const auto& repeated : part->repeated)
      for (const auto& text : repeated.texts) bytes += text.capacity() + sizeof text;
  }
  return bytes;
}

void WrittenRows::add(int64_t id, const std::vector<Field>& fields) {
  if (!usable_) return;
  const size_t columns = fields.size();
  const size_t maskBytes = (columns + 7) / 8;
  // A value bound as another kind than its column's is left to the file's reading.
  size_t bytes = 10 + maskBytes;
  for (size_t k = 0; k < columns; ++k) {
    const Field::Kind kind = fields[k].kind;
    if (kind == Field::Unfit || (kind != Field::Null && (kind == Field::Text) != textColumns_[k])) return;
    bytes += 21 + fields[k].text.size();
  }
  if (parts_.size() != 1) {  // the writer fills a part of its own
    if (!parts_.empty()) {
      usable_ = false;
      return;
    }
    parts_.push_back(std::make_shared<Part>(columns));
  }
  Part& part = *parts_.front();
  if (part.rows && id <= part.lastId) {
    // Never from this store's inserts (row ids only grow): the rows are read back.
    usable_ = false;
    return;
  }
  std::string& out = part.room(bytes);
  putNumber(out, static_cast<uint64_t>(id - part.lastId));
  const size_t maskAt = out.size();
  out.append(maskBytes, '\0');
  for (size_t k = 0; k < columns; ++k) {
    const Field& f = fields[k];
    const bool null = f.kind == Field::Null;
    const bool asBefore = part.rows && part.beforeNull[k] == null &&
                          (null || (textColumns_[k] ? part.beforeText[k] == f.text : part.beforeNumber[k] == f.number));
    if (asBefore) {
      out[maskAt + k / 8] = static_cast<char>(out[maskAt + k / 8] | (1 << (k % 8)));
      continue;
    }
    part.beforeNull[k] = null;
    if (null) {
      out.push_back(kNull);
      continue;
    }
    if (!textColumns_[k]) {
      part.beforeNumber[k] = f.number;
      if (f.number == 0 || f.number == 1) {
        out.push_back(f.number ? kOne : kZero);
      } else {
        out.push_back(kNumber);
        putNumber(out, (static_cast<uint64_t>(f.number) << 1) ^ static_cast<uint64_t>(f.number >> 63));
      }
      continue;
    }
    const std::string_view text = f.text;
    std::string& before = part.beforeText[k];
    size_t same = k;
    for (size_t j = 0; j < k && same == k; ++j)
      if (fields[j].kind == Field::Text && fields[j].text == text) same = j;
    if (same != k) {
      out.push_back(kAsColumn);
      out.push_back(static_cast<char>(same));
      before.assign(text);
      continue;
    }
    Part::Repeated& repeated = part.repeated[k];
    if (repeated.looking && part.rows >= kRepeatTrial && repeated.texts.size() > part.rows / 2) {
      repeated.looking = false;
      repeated.codes = {};
    }
    if (repeated.looking) {
      auto it = repeated.codes.find(text);
      if (it == repeated.codes.end()) {
        repeated.texts.emplace_back(text);
        it = repeated.codes.emplace(repeated.texts.back(), static_cast<uint32_t>(repeated.texts.size() - 1)).first;
      }
      out.push_back(kRepeated);
      putNumber(out, it->second);
    } else {
      // Rows come in their order (an index's, mostly by name): neighbours share a start.
      const size_t most = std::min(before.size(), text.size());
      const size_t shared =
          static_cast<size_t>(std::mismatch(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(most), before.begin()).first -
                              text.begin());
      out.push_back(kSpelled);
      putNumber(out, shared);
      putNumber(out, text.size() - shared);
      out.append(text.substr(shared));
    }
    before.assign(text);
  }
  if (!part.rows) part.firstId = id;
  part.lastId = id;
  ++part.rows;
}

void WrittenRows::drop(int64_t id) {
  // Rows that lay there before this transaction's (lower ids) are no concern here.
  for (const auto& part : parts_) {
    if (part->rows && id >= part->firstId && id <= part->lastId) {
      dropped_.insert(id);
      return;
    }
  }
}

void WrittenRows::append(const WrittenRows& later) {
  usable_ = usable_ && later.usable_;
  if (!usable_) {
    parts_.clear();
    dropped_.clear();
    return;
  }
  for (const auto& part : later.parts_) {
    if (!part->rows) continue;
    if (!parts_.empty() && parts_.back()->rows && part->firstId <= parts_.back()->lastId) {
      usable_ = false;
      parts_.clear();
      dropped_.clear();
      return;
    }
    parts_.push_back(part);
  }
  dropped_.insert(later.dropped_.begin(), later.dropped_.end());
}

void WrittenRows::takeInto(MemoryColumns::Rows& rows, const std::vector<int64_t>& ids,
                           std::vector<int64_t>& missing) const {
  auto wanted = ids.begin();
  const size_t columns = textColumns_.size();
  const size_t maskBytes = (columns + 7) / 8;
  for (const auto& partRef : parts_) {
    const Part& part = *partRef;
    // The row's values as they are unpacked, and the code in `rows` of each column's text
    // when known (0: not).
    std::vector<std::string> text(columns);
    std::vector<int64_t> number(columns, 0);
    std::vector<uint8_t> null(columns, 1);
    std::vector<uint32_t> code(columns, 0);
    std::vector<std::vector<uint32_t>> repeatedCodes(columns);  // by the repeated text's index
    for (size_t k = 0; k < columns; ++k) repeatedCodes[k].assign(part.repeated[k].texts.size(), 0);
    int64_t id = 0;
    for (const std::string& block : part.blocks) {
      const char* at = block.data();
      const char* end = at + block.size();
      while (at < end) {
        id += static_cast<int64_t>(takeNumber(at));
        while (wanted != ids.end() && *wanted < id) missing.push_back(*wanted++);
        bool take = false;
        if (wanted != ids.end() && *wanted == id) {
          take = dropped_.empty() || !dropped_.count(id);
          if (!take) missing.push_back(id);
          ++wanted;
        }
        if (take) rows.ids.push_back(id);
        const char* mask = at;
        at += maskBytes;
        for (size_t k = 0; k < columns; ++k) {
          const bool asBefore = mask[k / 8] & (1 << (k % 8));
          if (!asBefore) {
            const uint8_t tag = static_cast<uint8_t>(*at++);
            null[k] = tag == kNull;
            code[k] = 0;
            switch (tag) {
              case kNull: break;
              case kZero: number[k] = 0; break;
              case kOne: number[k] = 1; break;
              case kNumber: {
                const uint64_t z = takeNumber(at);
                number[k] = static_cast<int64_t>(z >> 1) ^ -static_cast<int64_t>(z & 1);
                break;
              }
              case kAsColumn: text[k] = text[static_cast<uint8_t>(*at++)]; break;
              case kRepeated: {
                const uint64_t index = takeNumber(at);
                text[k] = part.repeated[k].texts[index];
                if (take && !repeatedCodes[k][index]) {
                  rows.addText(k, text[k]);
                  repeatedCodes[k][index] = rows.columns[k].codes.back();
                  code[k] = repeatedCodes[k][index];
                  continue;
                }
                code[k] = repeatedCodes[k][index];
                break;
              }
              default: {
                const size_t shared = takeNumber(at);
                const size_t rest = takeNumber(at);
                text[k].resize(shared);
                text[k].append(at, rest);
                at += rest;
              }
            }
          }
          if (!take) {
            if (!asBefore) code[k] = 0;
            continue;
          }
          MemoryColumns::Column& c = rows.columns[k];
          if (!textColumns_[k]) {
            c.appendNumber(null[k], number[k]);
          } else if (null[k]) {
            c.codes.push_back(0);
          } else if (code[k]) {
            c.codes.push_back(code[k]);
          } else {
            rows.addText(k, text[k]);
            code[k] = c.codes.back();
          }
        }
      }
    }
  }
  while (wanted != ids.end()) missing.push_back(*wanted++);
}

}  // namespace store
