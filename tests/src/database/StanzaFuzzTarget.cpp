#include "StanzaFuzzTarget.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "database/KVStanzaReader.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

int runStanzaFuzzTarget(const uint8_t* data, size_t size) {
  const size_t block = size == 0 ? 1 : 1 + data[0] % 97;
  size_t at = 0;
  KVStanzaReader reader([&](char* out, size_t room) -> ssize_t {
    size_t n = std::min({room, block, size - at});
    std::memcpy(out, data + at, n);
    at += n;
    return static_cast<ssize_t>(n);
  });
  KVStanza stanza;
  size_t stanzas = 0, bytes = 0;
  while (reader.next(stanza)) {
    check(!stanza.empty());
    for (size_t i = 0; i < stanza.size(); ++i) {
      KVStanza::Field field = stanza.field(i);
      check(!field.name.empty());
      check(stanza.find(field.name).has_value());
      bytes += field.name.size() + field.value.size();
    }
    check(++stanzas <= size);
  }
  check(!reader.failed());
  // Nothing appears from nowhere: names and values are the input's bytes, a line that is
  // not UTF-8 read as Windows-1252 (at most three bytes a character).
  check(bytes <= 3 * size);
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runStanzaFuzzTarget(data, size); }
#endif
