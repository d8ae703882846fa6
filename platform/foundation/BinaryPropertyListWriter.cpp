#include "foundation/BinaryPropertyListWriter.h"

#include <cstring>

#include "foundation/StringEncoding.h"

namespace BinaryPropertyListWriter {
namespace {
// Bytes enough for `v` among 1, 2, 4 and 8.
size_t widthOf(uint64_t v) {
  if (v <= 0xFF) return 1;
  if (v <= 0xFFFF) return 2;
  if (v <= 0xFFFFFFFF) return 4;
  return 8;
}

class Writer {
 public:
  Data write(const Value& root) {
    collect(root, nullptr);
    refSize_ = widthOf(objects_.size() - 1);
    out_ = dataFromString("bplist00");
    std::vector<uint64_t> offsets;
    offsets.reserve(objects_.size());
    for (const Object& object : objects_) {
      offsets.push_back(out_.size());
      if (object.key) text(*object.key);
      else value(*object.value, object.references);
    }
    const uint64_t table = out_.size();
    const size_t offsetSize = widthOf(offsets.empty() ? 0 : offsets.back());
    for (uint64_t offset : offsets) put(offset, offsetSize);
    out_.insert(out_.end(), 6, 0);
    out_.push_back(static_cast<uint8_t>(offsetSize));
    out_.push_back(static_cast<uint8_t>(refSize_));
    put(objects_.size(), 8);
    put(0, 8);  // the top object is the first
    put(table, 8);
    return std::move(out_);
  }

 private:
  // An object of the list: a value, or a dictionary's key; a container's objects are
  // numbered after it, keys before values.
  struct Object {
    const Value* value = nullptr;
    const std::string* key = nullptr;
    std::vector<uint64_t> references;
  };

  uint64_t collect(const Value& v, const std::string* key) {
    const uint64_t index = objects_.size();
    objects_.push_back({key ? nullptr : &v, key, {}});
    if (key) return index;
    std::vector<uint64_t> references;
    if (const Value::Array* items = v.arrayPtr()) {
      for (const Value& item : *items) references.push_back(collect(item, nullptr));
    } else if (const Value::Dictionary* entries = v.dictionaryPtr()) {
      for (const auto& entry : *entries) references.push_back(collect(v, &entry.first));
      for (const auto& entry : *entries) references.push_back(collect(entry.second, nullptr));
    }
    objects_[index].references = std::move(references);
    return index;
  }

  void put(uint64_t v, size_t bytes) {
    for (size_t i = bytes; i-- > 0;) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }

  // A marker whose low four bits hold `count`, or 0xF and the count as an integer after it.
  void marker(uint8_t kind, uint64_t count) {
    if (count < 15) {
      out_.push_back(static_cast<uint8_t>(kind << 4 | count));
      return;
    }
    out_.push_back(static_cast<uint8_t>(kind << 4 | 0xF));
    integer(count);
  }

  // Non-negative integers in the fewest of 1, 2, 4 and 8 bytes, negative ones in 8.
  void integer(uint64_t bits) {
    const size_t width = static_cast<int64_t>(bits) < 0 ? 8 : widthOf(bits);
    out_.push_back(static_cast<uint8_t>(0x10 | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3)));
    put(bits, width);
  }

  void doubleBits(uint8_t markerByte, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    out_.push_back(markerByte);
    put(bits, 8);
  }

  void text(const std::string& s) {
    bool ascii = true;
    for (unsigned char c : s) ascii = ascii && c < 0x80;
    if (ascii) {
      marker(0x5, s.size());
      out_.insert(out_.end(), s.begin(), s.end());
    } else if (isValidUTF8(s)) {
      std::u16string units = utf16FromUTF8(s);
      marker(0x6, units.size());
      for (char16_t unit : units) put(unit, 2);
    } else {
      marker(0x7, s.size());
      out_.insert(out_.end(), s.begin(), s.end());
    }
  }

  void value(const Value& v, const std::vector<uint64_t>& references) {
    switch (v.type()) {
      case Value::Type::Null: text(""); return;
      case Value::Type::Bool: out_.push_back(v.asBool() ? 0x09 : 0x08); return;
      case Value::Type::Integer:
        if (v.isUnsigned()) {
          // Sixteen bytes, the high eight zero: what tells 2^63 and above from a negative.
          out_.push_back(0x14);
          put(0, 8);
          put(v.asUnsigned(), 8);
        } else {
          integer(static_cast<uint64_t>(v.asInt()));
        }
        return;
      case Value::Type::Real: doubleBits(0x23, v.asDouble()); return;
      case Value::Type::Date: doubleBits(0x33, v.datePtr()->seconds); return;
      case Value::Type::String: text(*v.stringPtr()); return;
      case Value::Type::Data: {
        const Data& bytes = *v.dataPtr();
        marker(0x4, bytes.size());
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return;
      }
      case Value::Type::Array:
      case Value::Type::Dictionary:
        marker(v.isArray() ? 0xA : 0xD, v.isArray() ? references.size() : references.size() / 2);
        for (uint64_t reference : references) put(reference, refSize_);
        return;
    }
  }

  std::vector<Object> objects_;
  size_t refSize_ = 1;
  Data out_;
};
}  // namespace

Data write(const Value& value) { return Writer().write(value); }
}  // namespace BinaryPropertyListWriter
