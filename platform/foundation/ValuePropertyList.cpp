// Property-list reading and writing of Value: binary lists are read by our own reader
// (BinaryPropertyList), XML ones through libplist after a check of their nesting, and
// both forms are written through libplist.
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/BinaryPropertyList.h"
#include "foundation/Value.h"

namespace {
Value fromNode(plist_t node, int depth) {
  if (!node || depth > BinaryPropertyList::kMaxDepth) return Value();
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
    case PLIST_STRING: {
      // With its length: a string holding U+0000 is text, not the end of the string.
      uint64_t n = 0;
      const char* p = plist_get_string_ptr(node, &n);
      return Value(p ? std::string(p, static_cast<size_t>(n)) : std::string());
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

// The library recurses as deep as a document nests when it frees what it read (also on
// a parse error), so the nesting is measured first, reading the markup as the library
// does: a tag, an end tag, a processing instruction and a document type declaration end
// at the first ">" (or "?>", "]>") outside double quotes (single quotes quote nothing for
// it), a processing instruction's "?>" may be the "?" of its own "<?", and comments and
// character data sections end at the first "-->" or "]]>" after their start. Every
// element counts, whatever its name (the library need not know it to descend into it).
// Markup the library refuses is not skipped here: what follows it is counted as if it
// were read, so the measure never falls short of the library's.
bool xmlNestsTooDeeply(const Data& b) {
  const size_t n = b.size();
  auto startsWith = [&](size_t at, const char* text) {
    size_t len = std::strlen(text);
    return at + len <= n && std::memcmp(&b[at], text, len) == 0;
  };
  // Just past the first `text` at or after `at`, optionally outside double quotes; n
  // when there is none.
  auto skipPast = [&](size_t at, const char* text, bool quotes) {
    size_t len = std::strlen(text);
    bool quoted = false;
    for (; at + len <= n; ++at) {
      if (quotes && b[at] == '"') quoted = !quoted;
      else if (!quoted && std::memcmp(&b[at], text, len) == 0) return at + len;
    }
    return n;
  };
  int depth = 0;
  size_t i = 0;
  while (i < n) {
    if (b[i] != '<') {
      ++i;
      continue;
    }
    if (startsWith(i, "<!--")) {
      i = skipPast(i + 4, "-->", false);
    } else if (startsWith(i, "<![CDATA[")) {
      i = skipPast(i + 9, "]]>", false);
    } else if (startsWith(i, "<?")) {
      i = skipPast(i + 1, "?>", true);
    } else if (startsWith(i, "<!DOCTYPE")) {
      // To its ">", or through an internal subset to "]>".
      size_t j = i + 9;
      bool quoted = false;
      for (; j < n; ++j) {
        if (b[j] == '"') quoted = !quoted;
        else if (!quoted && (b[j] == '>' || b[j] == '[')) break;
      }
      i = j < n && b[j] == '[' ? skipPast(j, "]>", true) : j + 1;
    } else if (startsWith(i, "<!")) {
      ++i;  // refused by the library: nothing skipped
    } else {
      // A tag to its ">" outside double quotes; one that ends "/>" is empty. A "<" on the
      // way makes it malformed: it counts, and the reading goes on from there.
      bool closing = startsWith(i, "</");
      size_t j = i + 1;
      bool quoted = false;
      for (; j < n; ++j) {
        if (b[j] == '"') quoted = !quoted;
        else if (!quoted && (b[j] == '>' || b[j] == '<')) break;
      }
      bool ended = j < n && b[j] == '>';
      if (closing && ended) {
        if (depth > 0) --depth;
      } else if (!(ended && b[j - 1] == '/') && ++depth > BinaryPropertyList::kMaxDepth) {
        return true;
      }
      i = ended ? j + 1 : j;
    }
  }
  return false;
}
}  // namespace

std::optional<Value> Value::fromPropertyList(const Data& bytes, std::string* error) {
  if (bytes.empty() || bytes.size() > UINT32_MAX) {
    if (error) *error = "empty or oversized property list";
    return std::nullopt;
  }
  if (BinaryPropertyList::hasSignature(bytes)) return BinaryPropertyList::read(bytes, error);
  if (xmlNestsTooDeeply(bytes)) {
    if (error) *error = BinaryPropertyList::kDepthError;
    return std::nullopt;
  }
  plist_t root = nullptr;
  plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
  if (!root) {
    if (error) *error = BinaryPropertyList::kFormatError;
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
