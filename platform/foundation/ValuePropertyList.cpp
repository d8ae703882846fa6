// Property-list reading and writing of Value through libplist (XML and binary).
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/Value.h"

namespace {
Value fromNode(plist_t node, int depth) {
  if (!node || depth > 512) return Value();
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return Value(static_cast<int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      char* s = nullptr;
      if (plist_get_node_type(node) == PLIST_STRING) plist_get_string_val(node, &s);
      else plist_get_key_val(node, &s);
      std::string out = s ? s : "";
      free(s);
      return Value(std::move(out));
    }
    case PLIST_DATA: {
      char* p = nullptr;
      uint64_t n = 0;
      plist_get_data_val(node, &p, &n);
      Data d(reinterpret_cast<uint8_t*>(p), reinterpret_cast<uint8_t*>(p) + n);
      free(p);
      return Value(std::move(d));
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      // The library hands out the whole part rounded toward zero and the fraction
      // without its sign.
      return Value(Date{sec < 0 ? sec - usec / 1e6 : sec + usec / 1e6});
    }
    case PLIST_ARRAY: {
      Value::Array a;
      uint32_t n = plist_array_get_size(node);
      a.reserve(n);
      for (uint32_t i = 0; i < n; ++i) a.push_back(fromNode(plist_array_get_item(node, i), depth + 1));
      return Value(std::move(a));
    }
    case PLIST_DICT: {
      Value::Dictionary d;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      while (true) {
        char* key = nullptr;
        plist_t val = nullptr;
        plist_dict_next_item(node, it, &key, &val);
        if (!val) {
          free(key);
          break;
        }
        d.emplace(key ? key : "", fromNode(val, depth + 1));
        free(key);
      }
      free(it);
      return Value(std::move(d));
    }
    default: return Value();
  }
}

plist_t toNode(const Value& v) {
  switch (v.type()) {
    case Value::Type::Null: return plist_new_string("");  // property lists have no null
    case Value::Type::Bool: return plist_new_bool(v.asBool() ? 1 : 0);
    case Value::Type::Integer: return plist_new_uint(static_cast<uint64_t>(v.asInt()));
    case Value::Type::Real: return plist_new_real(v.asDouble());
    case Value::Type::String: return plist_new_string(v.stringPtr()->c_str());
    case Value::Type::Data: {
      const Data& d = *v.dataPtr();
      return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case Value::Type::Date: {
      // The library keeps dates as 32-bit seconds (1933 to 2069 around the reference
      // date). Dates beyond that, such as the distant past and future, are pinned to
      // the nearest end rather than wrapped to the other side of the range.
      double s = v.datePtr()->seconds;
      if (!(s > INT32_MIN)) return plist_new_date(INT32_MIN, 0);
      if (s >= static_cast<double>(INT32_MAX)) return plist_new_date(INT32_MAX, 0);
      double whole = std::floor(s);
      // The library reads a negative fraction back with the wrong sign, so before the
      // reference date only whole seconds are written.
      int32_t usec = whole < 0 ? 0 : static_cast<int32_t>((s - whole) * 1e6);
      return plist_new_date(static_cast<int32_t>(whole), usec);
    }
    case Value::Type::Array: {
      plist_t a = plist_new_array();
      for (const auto& e : *v.arrayPtr()) plist_array_append_item(a, toNode(e));
      return a;
    }
    case Value::Type::Dictionary: {
      plist_t d = plist_new_dict();
      for (const auto& [k, e] : *v.dictionaryPtr()) plist_dict_set_item(d, k.c_str(), toNode(e));
      return d;
    }
  }
  return plist_new_string("");
}

// The library recurses as deep as a document nests, both reading and freeing, and
// expands a binary list's shared objects into copies. A hostile document could so
// exhaust the stack or the memory; these checks turn such documents away first.
constexpr int kMaxDepth = 512;
constexpr uint64_t kMaxExpandedObjects = 4000000;

bool isBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool xmlNestsTooDeeply(const Data& b) {
  int depth = 0;
  for (size_t i = 0; i + 1 < b.size(); ++i) {
    if (b[i] != '<') continue;
    bool closing = b[i + 1] == '/';
    size_t j = i + (closing ? 2 : 1);
    auto word = [&](const char* w, size_t n) { return j + n <= b.size() && std::memcmp(&b[j], w, n) == 0; };
    size_t n = word("array", 5) ? 5 : word("dict", 4) ? 4 : 0;
    if (n == 0) continue;
    size_t k = j + n;
    while (k < b.size() && isBlank(b[k])) ++k;
    if (k >= b.size() || b[k] != '>') continue;  // another tag, or an empty <array/>
    if (closing) {
      if (depth > 0) --depth;
    } else if (++depth > kMaxDepth) {
      return true;
    }
  }
  return false;
}

uint64_t readBigEndian(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// Walks a binary list's object graph from its top object without recursion: false when
// it is malformed, refers to itself, nests deeper than kMaxDepth or would expand to
// more than kMaxExpandedObjects.
bool binaryShapeIsSafe(const Data& b) {
  const size_t n = b.size();
  if (n < 8 + 32) return false;
  const uint8_t* trailer = b.data() + n - 32;
  const size_t offsetSize = trailer[6], refSize = trailer[7];
  const uint64_t count = readBigEndian(trailer + 8, 8), top = readBigEndian(trailer + 16, 8),
                 table = readBigEndian(trailer + 24, 8);
  if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8) return false;
  if (count == 0 || top >= count || table >= n - 32 || count > (n - 32 - table) / offsetSize) return false;

  auto children = [&](uint64_t object, std::vector<uint64_t>& out) {
    out.clear();
    uint64_t at = readBigEndian(b.data() + table + object * offsetSize, offsetSize);
    if (at < 8 || at >= n - 32) return false;
    uint8_t marker = b[at], kind = marker >> 4;
    if (kind != 0xA && kind != 0xC && kind != 0xD) return true;  // not a container
    uint64_t length = marker & 0xF;
    size_t pos = static_cast<size_t>(at) + 1;
    if (length == 0xF) {
      if (pos >= n || (b[pos] >> 4) != 1) return false;
      size_t size = size_t(1) << (b[pos] & 0xF);
      if (size > 8 || pos + 1 + size > n) return false;
      length = readBigEndian(b.data() + pos + 1, size);
      pos += 1 + size;
    }
    if (length > n) return false;
    uint64_t refs = kind == 0xD ? length * 2 : length;
    if (refs > (n - pos) / refSize) return false;
    for (uint64_t r = 0; r < refs; ++r) {
      uint64_t child = readBigEndian(b.data() + pos + r * refSize, refSize);
      if (child >= count) return false;
      out.push_back(child);
    }
    return true;
  };

  enum : uint8_t { kNew, kOnPath, kDone };
  std::vector<uint8_t> state(count, kNew);
  std::vector<uint16_t> height(count, 0);    // containers nested from here down
  std::vector<uint64_t> expanded(count, 0);  // objects once shared ones are copied
  struct Frame {
    uint64_t object;
    std::vector<uint64_t> kids;
    size_t next = 0;
  };
  std::vector<Frame> path;
  path.push_back({top, {}, 0});
  if (!children(top, path.back().kids)) return false;
  state[top] = kOnPath;
  while (!path.empty()) {
    Frame& f = path.back();
    if (f.next < f.kids.size()) {
      uint64_t kid = f.kids[f.next++];
      if (state[kid] == kOnPath) return false;  // a cycle
      if (state[kid] == kDone) {
        if (path.size() + height[kid] > kMaxDepth) return false;
        continue;
      }
      Frame next{kid, {}, 0};
      if (!children(kid, next.kids)) return false;
      state[kid] = kOnPath;
      path.push_back(std::move(next));
      if (path.size() > kMaxDepth) return false;
      continue;
    }
    uint16_t h = 0;
    uint64_t total = 1;
    for (uint64_t kid : f.kids) {
      h = std::max<uint16_t>(h, static_cast<uint16_t>(height[kid] + 1));
      total += expanded[kid];
      if (total > kMaxExpandedObjects) return false;
    }
    height[f.object] = h;
    expanded[f.object] = total;
    state[f.object] = kDone;
    path.pop_back();
  }
  return true;
}
}  // namespace

std::optional<Value> Value::fromPropertyList(const Data& bytes, std::string* error) {
  if (bytes.empty() || bytes.size() > UINT32_MAX) {
    if (error) *error = "empty or oversized property list";
    return std::nullopt;
  }
  bool binary = bytes.size() >= 8 && std::memcmp(bytes.data(), "bplist00", 8) == 0;
  if (binary ? !binaryShapeIsSafe(bytes) : xmlNestsTooDeeply(bytes)) {
    if (error) *error = "The data couldn't be read because it isn't in the correct format.";
    return std::nullopt;
  }
  plist_t root = nullptr;
  plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
  if (!root) {
    if (error) *error = "The data couldn't be read because it isn't in the correct format.";
    return std::nullopt;
  }
  Value out = fromNode(root, 0);
  plist_free(root);
  return out;
}

Data Value::toXMLPropertyList() const {
  plist_t root = toNode(*this);
  char* out = nullptr;
  uint32_t n = 0;
  plist_to_xml(root, &out, &n);
  Data d(reinterpret_cast<uint8_t*>(out), reinterpret_cast<uint8_t*>(out) + n);
  free(out);
  plist_free(root);
  return d;
}

Data Value::toBinaryPropertyList() const {
  plist_t root = toNode(*this);
  char* out = nullptr;
  uint32_t n = 0;
  plist_to_bin(root, &out, &n);
  Data d(reinterpret_cast<uint8_t*>(out), reinterpret_cast<uint8_t*>(out) + n);
  free(out);
  plist_free(root);
  return d;
}
