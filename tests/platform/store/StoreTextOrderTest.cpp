// The order of texts the columns kept in memory sort by, and what a column prepared in
// memory works out before its first query: the answers are the file's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "store/Store.h"
#include "store/TextFolding.h"
#include "store/TextRanks.h"
#include "support/RecordsSchema.h"
#include "support/TempDir.h"
#include "support/Written.h"

namespace {

// Texts of every kind the ranks take apart: printable ASCII (each character alone and
// with each other, in both cases, so every weight and every pair of them is met), runs
// sharing long starts, the empty text, repeats, controls, letters with diacritics,
// other scripts, and bytes that are no UTF-8.
std::vector<std::string> mixedTexts() {
  std::vector<std::string> texts = {"", "", "a", "A", "\t", "a\tb", "\x01", "a\x01", "\xff", "a\xff", "\xc3", "é",
                                    "e", "E", "É", "ê", "ß", "ss", "SS", "Straße", "strasse", "Ö", "o", "Œuvre",
                                    "oeuvre", "日本", "한국어", "🙂", "Ünïcode", "unicode", "Zürich", "zurich", "-a",
                                    "a-", "a b", "ab", "a.b", "a_b", "1a", "10", "9", "a", "A"};
  for (char x = 0x20; x < 0x7F; ++x) {
    texts.emplace_back(1, x);
    for (char y = 0x20; y < 0x7F; y += 3) texts.push_back(std::string(1, x) + y);
  }
  for (const char* stem : {"libreoffice-l10n-", "python3-", "Lib", "lib"})
    for (const char* end : {"de", "DE", "dé", "d", "de-x", "d-e", "", "zz"}) texts.push_back(std::string(stem) + end);
  return texts;
}

TEST(StoreTextOrder, RanksOrderTextsAsCollateDoes) {
  const std::vector<std::string> texts = mixedTexts();
  const std::vector<uint32_t> ranks = store::text::collationRanks(
      static_cast<uint32_t>(texts.size()), [&](uint32_t code) { return std::string_view(texts[code - 1]); });
  ASSERT_EQ(ranks.size(), texts.size() + 1);
  EXPECT_EQ(ranks[0], 0u);
  std::vector<size_t> order(texts.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return store::text::collate(texts[a], texts[b]) < 0; });
  uint32_t rank = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i == 0 || texts[order[i]] != texts[order[i - 1]]) ++rank;
    EXPECT_EQ(ranks[order[i] + 1], rank) << "\"" << texts[order[i]] << "\"";
  }
}

store::ObjectSchema preparedItemSchema() {
  store::ObjectSchema schema("PreparedItem");
  schema.add(store::Property("key", store::PropertyType::String).primaryKey());
  schema.add(store::Property("name", store::PropertyType::String).preparedInMemory());
  schema.add(store::Property("rank", store::PropertyType::Int).heldInMemory());
  return schema;
}

// Opened on a file that holds rows already, as at a start, a column prepared in memory
// has its order and folded texts worked out before the first query; the queries that
// use them, then and after rows came, went and were renamed, answer as the file.
TEST(StoreTextOrder, AColumnPreparedInMemoryAnswersAsTheFileFromItsFirstQuery) {
  TempDir dir;
  store::Configuration c;
  c.path = dir.file("prepared.realm");
  c.schemaVersion = 1;
  c.schema.add(std::make_shared<store::ObjectSchema>(preparedItemSchema()));
  const std::vector<std::string> names = mixedTexts();
  {
    auto db = store::Database::open(c).value();
    written(db->write([&] {
      for (size_t i = 0; i < names.size(); ++i) {
        store::StoreObject item(db->schema().find("PreparedItem"));
        item.set("key", Value("k" + std::to_string(i)));
        if (i % 11) item.set("name", Value(names[i]));
        item.set("rank", Value(static_cast<int64_t>(i % 5)));
        db->add(item);
      }
    }));
  }
  auto held = store::Database::open(c).value();
  held->settle();
  store::Configuration fileOnly = c;
  fileOnly.schema = schemaWithoutHeldColumns(c.schema);
  fileOnly.path = dir.file("file.realm");
  auto expectAsTheFile = [&] {
    held->settle();
    for (const char* part : {"", "-wal"}) {
      std::filesystem::remove(fileOnly.path + part);
      if (std::filesystem::exists(c.path + part)) std::filesystem::copy_file(c.path + part, fileOnly.path + part);
    }
    auto file = store::Database::open(fileOnly).value();
    struct Query {
      const char* predicate;
      std::vector<Value> arguments;
      bool ascending;
    };
    const std::vector<Query> queries = {
        {"TRUEPREDICATE", {}, true},
        {"TRUEPREDICATE", {}, false},
        {"name CONTAINS[cd] %@", {Value("E")}, true},
        {"name BEGINSWITH[cd] %@ AND rank != 1", {Value("lib")}, true},
        {"name ==[cd] %@", {Value("ZURICH")}, true},
        {"name IN[c] %@", {Value(Value::Array{Value("STRASSE"), Value("straße"), Value("a")})}, true},
        {"NOT name BEGINSWITH[cd] %@", {Value("ü")}, false},
    };
    for (const Query& q : queries) {
      SCOPED_TRACE(std::string(q.predicate) + (q.ascending ? " ascending" : " descending"));
      auto query = [&](store::Database& db) {
        auto all = std::string(q.predicate) == "TRUEPREDICATE" ? db.objects("PreparedItem")
                                                              : db.objectsWhere("PreparedItem", q.predicate, q.arguments);
        return all.sorted("name", q.ascending);
      };
      EXPECT_EQ(query(*held).objectIds(), query(*file).objectIds());
      EXPECT_EQ(query(*held).valuesForKeys({"key", "name"}), query(*file).valuesForKeys({"key", "name"}));
    }
  };
  expectAsTheFile();
  written(held->write([&] {
    store::StoreObject item(held->schema().find("PreparedItem"));
    item.set("key", Value("new"));
    item.set("name", Value("Élan"));
    held->add(item);
    held->setValue(*held->objectForPrimaryKey("PreparedItem", Value("k3")), "name", Value("aardvark"));
    held->deleteObject(*held->objectForPrimaryKey("PreparedItem", Value("k5")));
  }));
  expectAsTheFile();
}

}  // namespace
