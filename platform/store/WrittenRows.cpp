#include <algorithm>
#include <deque>

#include "store/MemoryColumnsRows.h"

namespace store {

namespace {

// How a row's value is packed: a tag byte, then what the tag needs.
enum Tag : uint8_t {
  kNull = 0,
  kAsRowBefore = 1,   // the same text as the row before in this column
  kAsColumn = 2,      // the same text as an earlier column of this row: its index
  kRepeated = 3,      // one of the column's repeated texts: its index
  kSpelled = 4,       // the text's length, then the text
  kZero = 5,          // numbers
  kOne = 6,
  kNumber = 7,        // zigzag
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
  std::vector<Repeated> repeated;         // by column
  std::vector<std::string_view> before;   // the row before's text by column (the writer's only)
  std::vector<std::string_view> current;  // this row's, as it is packed
  size_t rows = 0;
  int64_t firstId = 0, lastId = 0;

  explicit Part(size_t columns) : repeated(columns), before(columns), current(columns) {}

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
  // A value bound as another kind than its column's is left to the file's reading.
  size_t bytes = 10;
  for (size_t k = 0; k < fields.size(); ++k) {
    const Field::Kind kind = fields[k].kind;
    if (kind == Field::Unfit || (kind != Field::Null && (kind == Field::Text) != textColumns_[k])) return;
    bytes += 11 + fields[k].text.size();
  }
  if (parts_.size() != 1) {  // the writer fills a part of its own
    if (!parts_.empty()) {
      usable_ = false;
      return;
    }
    parts_.push_back(std::make_shared<Part>(fields.size()));
  }
  Part& part = *parts_.front();
  if (part.rows && id <= part.lastId) {
    // Never from this store's inserts (row ids only grow): the rows are read back.
    usable_ = false;
    return;
  }
  std::string& out = part.room(bytes);
  putNumber(out, static_cast<uint64_t>(id - part.lastId));
  for (size_t k = 0; k < fields.size(); ++k) {
    const Field& f = fields[k];
    if (!textColumns_[k]) {
      if (f.kind == Field::Null) {
        out.push_back(kNull);
      } else if (f.number == 0 || f.number == 1) {
        out.push_back(f.number ? kOne : kZero);
      } else {
        out.push_back(kNumber);
        putNumber(out, (static_cast<uint64_t>(f.number) << 1) ^ static_cast<uint64_t>(f.number >> 63));
      }
      continue;
    }
    std::string_view& now = part.current[k];
    if (f.kind == Field::Null) {
      out.push_back(kNull);
      now = {};
      continue;
    }
    const std::string_view text = f.text;
    if (part.rows && part.before[k].data() && text == part.before[k]) {
      out.push_back(kAsRowBefore);
      now = part.before[k];
      continue;
    }
    size_t same = k;
    for (size_t j = 0; j < k && same == k; ++j)
      if (textColumns_[j] && part.current[j].data() && part.current[j] == text) same = j;
    if (same != k) {
      out.push_back(kAsColumn);
      out.push_back(static_cast<char>(same));
      now = part.current[same];
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
      now = repeated.texts[it->second];
      continue;
    }
    out.push_back(kSpelled);
    putNumber(out, text.size());
    const size_t at = out.size();
    out.append(text);
    now = std::string_view(out).substr(at, text.size());
  }
  // The row's texts, each where it stays (`out` did not move: it had room).
  for (size_t k = 0; k < fields.size(); ++k)
    if (textColumns_[k]) part.before[k] = fields[k].kind == Field::Null ? std::string_view() : part.current[k];
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
  std::vector<std::string_view> before(columns), current(columns);
  for (const auto& partRef : parts_) {
    const Part& part = *partRef;
    std::vector<std::vector<uint32_t>> codes(columns);  // a repeated text's code in `rows`, by index
    for (size_t k = 0; k < columns; ++k) codes[k].assign(part.repeated[k].texts.size(), 0);
    int64_t id = 0;
    for (const std::string& block : part.blocks) {
      const char* at = block.data();
      const char* end = at + block.size();
      while (at < end) {
        id += static_cast<int64_t>(takeNumber(at));
        while (wanted != ids.end() && *wanted < id) missing.push_back(*wanted++);
        const bool take = wanted != ids.end() && *wanted == id && (dropped_.empty() || !dropped_.count(id));
        if (wanted != ids.end() && *wanted == id) {
          if (!take) missing.push_back(id);
          ++wanted;
        }
        if (take) rows.ids.push_back(id);
        for (size_t k = 0; k < columns; ++k) {
          const uint8_t tag = static_cast<uint8_t>(*at++);
          if (!textColumns_[k]) {
            int64_t number = 0;
            if (tag == kOne) number = 1;
            else if (tag == kNumber) {
              const uint64_t z = takeNumber(at);
              number = static_cast<int64_t>(z >> 1) ^ -static_cast<int64_t>(z & 1);
            }
            if (take) rows.columns[k].appendNumber(tag == kNull, number);
            continue;
          }
          std::string_view& now = current[k];
          uint32_t known = 0;  // the code in `rows`, when already known
          switch (tag) {
            case kNull: now = {}; break;
            case kAsRowBefore: now = before[k]; break;
            case kAsColumn: now = current[static_cast<uint8_t>(*at++)]; break;
            case kRepeated: {
              const uint64_t index = takeNumber(at);
              now = part.repeated[k].texts[index];
              known = codes[k][index];
              if (take && !known) {
                rows.addText(k, now);
                codes[k][index] = rows.columns[k].codes.back();
                continue;
              }
              break;
            }
            default: {
              const size_t length = takeNumber(at);
              now = std::string_view(at, length);
              at += length;
            }
          }
          if (!take) continue;
          MemoryColumns::Column& c = rows.columns[k];
          if (tag == kNull) c.codes.push_back(0);
          else if (known) c.codes.push_back(known);
          else rows.addText(k, now);
        }
        for (size_t k = 0; k < columns; ++k) before[k] = current[k];
      }
    }
  }
  while (wanted != ids.end()) missing.push_back(*wanted++);
}

}  // namespace store
