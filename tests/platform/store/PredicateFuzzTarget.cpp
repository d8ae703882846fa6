#include "PredicateFuzzTarget.h"

#include <cstdlib>
#include <string_view>

#include "store/Predicate.h"
#include "store/PredicateCompiler.h"
#include "store/Schema.h"
#include "store/StoreException.h"

using namespace store;

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

const Schema& schema() {
  static const Schema s = [] {
    ObjectSchema item("Item");
    item.add(Property("key", PropertyType::String).primaryKey());
    item.add(Property("name", PropertyType::String));
    item.add(Property("count", PropertyType::Int));
    item.add(Property("flag", PropertyType::Bool));
    item.add(Property("price", PropertyType::Double));
    item.add(Property("when", PropertyType::Date));
    item.add(Property("tags", PropertyType::StringList));
    item.add(Property("versions", PropertyType::LinkList).linkTo("Version", true));
    ObjectSchema version("Version");
    version.add(Property("source", PropertyType::String));
    version.add(Property("version", PropertyType::String));
    return Schema{item, version};
  }();
  return s;
}
}  // namespace

int runPredicateFuzzTarget(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<Value> arguments = {Value("name"), Value("x"), Value(int64_t(3)),
                                        Value::array({Value("a"), Value("b")}), Value()};
  for (size_t count : {size_t(0), size_t(1), size_t(2), arguments.size()}) {
    try {
      PredicateRef predicate = parsePredicate(text, {arguments.begin(), arguments.begin() + count});
      check(predicate != nullptr);
      SqlCondition condition = compilePredicate(*predicate, schema(), *schema().find("Item"), "t");
      check(!condition.sql.empty());
    } catch (const StoreException&) {
      // A text that doesn't parse, or names what the schema lacks: refused, as it should be.
    }
  }
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runPredicateFuzzTarget(data, size); }
#endif
