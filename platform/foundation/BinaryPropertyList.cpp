#include "foundation/BinaryPropertyList.h"

#include <cstring>

#include "foundation/StringEncoding.h"

namespace BinaryPropertyList {
namespace {
constexpr size_t kHeaderSize = 8, kTrailerSize = 32;

uint64_t bigEndian(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

class Reader {
 public:
  explicit Reader(const Data& bytes) : b_(bytes) {}

  std::optional<Value> read(std::string* error) {
    const size_t n = b_.size();
    if (n < kHeaderSize + kTrailerSize) return fail(error);
    const uint8_t* trailer = b_.data() + n - kTrailerSize;
    offsetSize_ = trailer[6];
    refSize_ = trailer[7];
    count_ = bigEndian(trailer + 8, 8);
    uint64_t top = bigEndian(trailer + 16, 8);
    table_ = bigEndian(trailer + 24, 8);
    end_ = n - kTrailerSize;
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return fail(error);
    if (count_ == 0 || top >= count_ || table_ < kHeaderSize || table_ >= end_ ||
        count_ > (end_ - table_) / offsetSize_)
      return fail(error);
    Value out;
    if (!object(top, 0, out)) {
      if (error) *error = tooDeep_ ? kDepthError : kFormatError;
      return std::nullopt;
    }
    return out;
  }

 private:
  static std::optional<Value> fail(std::string* error) {
    if (error) *error = kFormatError;
    return std::nullopt;
  }

  // Where object `index` starts; 0 when its offset lies outside the objects.
  size_t offsetOf(uint64_t index) const {
    uint64_t at = bigEndian(b_.data() + table_ + index * offsetSize_, offsetSize_);
    return at >= kHeaderSize && at < table_ ? static_cast<size_t>(at) : 0;
  }

  // The length in an object's marker: its low four bits, or the integer after it when
  // they are all set. `at` moves past what was read.
  bool length(uint8_t marker, size_t& at, uint64_t& out) const {
    out = marker & 0xF;
    if (out != 0xF) return true;
    if (at >= table_ || (b_[at] >> 4) != 0x1) return false;
    size_t size = size_t(1) << (b_[at] & 0xF);
    if (size > 8 || at + 1 + size > table_) return false;
    out = bigEndian(b_.data() + at + 1, size);
    at += 1 + size;
    return true;
  }

  // `units` units of `unitSize` bytes from `at` lie inside the objects.
  bool fits(size_t at, uint64_t units, size_t unitSize) const {
    return at <= table_ && units <= (table_ - at) / unitSize;
  }

  bool reference(size_t at, uint64_t& out) const {
    out = bigEndian(b_.data() + at, refSize_);
    return out < count_;
  }

  bool object(uint64_t index, int depth, Value& out) {
    if (++expanded_ > kMaxExpandedObjects) return false;
    size_t at = offsetOf(index);
    if (at == 0) return false;
    const uint8_t marker = b_[at++];
    const uint8_t kind = marker >> 4;
    switch (kind) {
      case 0x0:
        if (marker == 0x08 || marker == 0x09) out = Value(marker == 0x09);
        else if (marker == 0x00 || marker == 0x0F) out = Value();
        else return false;
        return true;
      case 0x1: {  // integers of 1, 2, 4 and 8 bytes; of 16, the low 8
        size_t size = size_t(1) << (marker & 0xF);
        if (size > 16 || !fits(at, size, 1)) return false;
        size_t skip = size > 8 ? size - 8 : 0;
        uint64_t low = bigEndian(b_.data() + at + skip, size - skip);
        // Sixteen bytes whose high half is zero hold an unsigned integer of 2^63 and more.
        if (size == 16 && bigEndian(b_.data() + at, 8) == 0) out = Value(low);
        else out = Value(static_cast<int64_t>(low));
        return true;
      }
      case 0x2:
      case 0x3: {  // reals of 4 or 8 bytes; a date is 8, seconds since the reference date
        size_t size = size_t(1) << (marker & 0xF);
        if ((size != 4 && size != 8) || (kind == 0x3 && size != 8) || !fits(at, size, 1)) return false;
        uint64_t bits = bigEndian(b_.data() + at, size);
        double d;
        if (size == 4) {
          float f;
          uint32_t narrow = static_cast<uint32_t>(bits);
          std::memcpy(&f, &narrow, 4);
          d = f;
        } else {
          std::memcpy(&d, &bits, 8);
        }
        out = kind == 0x3 ? Value(Date{d}) : Value(d);
        return true;
      }
      case 0x4:
      case 0x5:
      case 0x6:
      case 0x7: {
        uint64_t n;
        size_t unit = kind == 0x6 ? 2 : 1;
        if (!length(marker, at, n) || !fits(at, n, unit)) return false;
        const uint8_t* p = b_.data() + at;
        if (kind == 0x4) out = Value(Data(p, p + n));
        else out = Value(text(kind, p, static_cast<size_t>(n)));
        return true;
      }
      case 0x8:  // a UID: no value of ours stands for one
        out = Value();
        return true;
      case 0xA:
      case 0xC:
      case 0xD: {
        if (depth >= kMaxDepth) {
          tooDeep_ = true;
          return false;
        }
        uint64_t n;
        if (!length(marker, at, n) || !fits(at, kind == 0xD ? 2 * n : n, refSize_) || (kind == 0xD && n > count_))
          return false;
        if (kind == 0xD) return dictionary(at, n, depth, out);
        Value::Array items;
        items.reserve(static_cast<size_t>(std::min<uint64_t>(n, count_)));
        for (uint64_t i = 0; i < n; ++i) {
          uint64_t child;
          Value item;
          if (!reference(at + i * refSize_, child) || !object(child, depth + 1, item)) return false;
          items.push_back(std::move(item));
        }
        out = Value(std::move(items));
        return true;
      }
      default:
        return false;
    }
  }

  bool dictionary(size_t at, uint64_t n, int depth, Value& out) {
    Value::Dictionary entries;
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t keyIndex, valueIndex;
      Value key, value;
      if (!reference(at + i * refSize_, keyIndex) || !reference(at + (n + i) * refSize_, valueIndex)) return false;
      if (!object(keyIndex, depth + 1, key) || !key.isString()) return false;
      if (!object(valueIndex, depth + 1, value)) return false;
      entries.emplace(std::move(*key.stringPtr()), std::move(value));
    }
    out = Value(std::move(entries));
    return true;
  }

  // A string object's bytes as UTF-8: ASCII (read as Latin-1, so any byte is a
  // character), UTF-16 big-endian (a lone surrogate as U+FFFD) or UTF-8 as it is.
  static std::string text(uint8_t kind, const uint8_t* p, size_t n) {
    if (kind == 0x7) return std::string(reinterpret_cast<const char*>(p), n);
    if (kind == 0x6) {
      std::u16string units(n, u'\0');
      for (size_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(p[2 * i] << 8 | p[2 * i + 1]);
      return utf8FromUTF16(units);
    }
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) appendUTF8(out, p[i]);
    return out;
  }

  const Data& b_;
  size_t offsetSize_ = 0, refSize_ = 0, end_ = 0;
  uint64_t count_ = 0, table_ = 0, expanded_ = 0;
  bool tooDeep_ = false;
};
}  // namespace

bool hasSignature(const Data& bytes) { return bytes.size() >= 8 && std::memcmp(bytes.data(), "bplist00", 8) == 0; }

std::optional<Value> read(const Data& bytes, std::string* error) { return Reader(bytes).read(error); }
}  // namespace BinaryPropertyList
