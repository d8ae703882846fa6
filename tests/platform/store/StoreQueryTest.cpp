#include <gtest/gtest.h>

#include "support/Written.h"
#include <sqlite3.h>

#include <algorithm>

#include "store/Predicate.h"
#include "store/SqliteConnection.h"
#include "store/StoreException.h"
#include "store/TextFolding.h"
#include "StoreTestSchema.h"

using store::StoreException;
using storetest::TempDatabase;
using Keys = std::vector<std::string>;

namespace {

// flag: k1 YES, k2 NO, k3 absent.
struct NullRules : ::testing::Test {
  TempDatabase t;
  void SetUp() override {
    t.addItem("k1", {{"flag", true}, {"count", 1}});
    t.addItem("k2", {{"flag", false}, {"count", 0}});
    t.addItem("k3", {});
  }
  Keys match(const std::string& predicate) { return t.keys(t.db->objects("Item", predicate)); }
};

TEST_F(NullRules, AnAbsentValueIsUnequalToEverythingButNil) {
  EXPECT_EQ(match("flag != 1"), (Keys{"k2", "k3"}));  // null != 1 holds
  EXPECT_EQ(match("flag = 0"), (Keys{"k2"}));          // null = 0 does not
  EXPECT_EQ(match("flag == NO"), (Keys{"k2"}));
  EXPECT_EQ(match("flag = nil"), (Keys{"k3"}));
  EXPECT_EQ(match("flag != nil"), (Keys{"k1", "k2"}));
  EXPECT_EQ(match("count < 1"), (Keys{"k2"}));  // ordering never matches a null
  EXPECT_EQ(match("NOT count < 1"), (Keys{"k1", "k3"}));
  EXPECT_EQ(match("NOT (flag = 1)"), (Keys{"k2", "k3"}));
  EXPECT_EQ(match("name BEGINSWITH 'x' OR NOT name CONTAINS 'x'"), (Keys{"k1", "k2", "k3"}));
}

TEST_F(NullRules, ArgumentsBindAsValuesOfTheColumnsType) {
  EXPECT_EQ(t.keys(t.db->objects("Item", "flag = %@", true)), (Keys{"k1"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "flag = %@", Value())), (Keys{"k3"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "count != %i", 1)), (Keys{"k2", "k3"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "%K = %@", "count", 0)), (Keys{"k2"}));
  // A text argument is a value, never SQL or predicate text.
  EXPECT_TRUE(t.db->objects("Item", "name = %@", "x' OR 1=1 --").empty());
  EXPECT_TRUE(t.db->objects("Item", "key = %@", "k1\" OR \"1\"=\"1").empty());
  EXPECT_THROW(t.db->objects("Item", "%K = 1", "count) OR (1"), StoreException);
}

struct TextQueries : ::testing::Test {
  TempDatabase t;
  void SetUp() override {
    t.addItem("cafe", {{"name", "Café Crème"}, {"category", "Tweaks"}});
    t.addItem("plain", {{"name", "cafe creme"}, {"category", "tweaks"}});
    t.addItem("street", {{"name", "Straße"}, {"category", "Themes"}});
    t.addItem("cy", {{"name", "cy+cpu.arm64"}});
    t.addItem("upper", {{"name", "CAFE"}});
  }
  Keys match(const std::string& predicate, Value arg) { return t.keys(t.db->objects("Item", predicate, arg)); }
};

TEST_F(TextQueries, CaseAndDiacriticOptionsFoldThroughIcu) {
  EXPECT_EQ(match("name == %@", "cafe creme"), (Keys{"plain"}));
  EXPECT_EQ(match("name ==[c] %@", "CAFE CREME"), (Keys{"plain"}));
  EXPECT_EQ(match("name ==[cd] %@", "CAFE CREME"), (Keys{"cafe", "plain"}));
  EXPECT_EQ(match("name ==[d] %@", "Cafe Creme"), (Keys{"cafe"}));
  EXPECT_EQ(match("name ==[c] %@", "STRASSE"), (Keys{"street"}));  // full case folding: ß is ss
  EXPECT_EQ(match("name contains[cd] %@", "CRÈ"), (Keys{"cafe", "plain"}));
  EXPECT_EQ(match("name CONTAINS %@", "afe"), (Keys{"plain"}));
  EXPECT_EQ(match("name BEGINSWITH[cd] %@", "cafe"), (Keys{"cafe", "plain", "upper"}));
  EXPECT_EQ(match("name ENDSWITH[c] %@", "ÈME"), (Keys{"cafe"}));
  EXPECT_EQ(match("name LIKE[c] %@", "caf? *"), (Keys{"cafe", "plain"}));
  // Decomposed input matches precomposed text.
  EXPECT_EQ(match("name ==[c] %@", "cafe\xCC\x81 cre\xCC\x80me"), (Keys{"cafe"}));
}

TEST_F(TextQueries, ThePackageSearchForms) {
  EXPECT_EQ(match("name contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", "c"), (Keys{"cafe", "plain", "upper"}));
  EXPECT_EQ(match("name BEGINSWITH[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", "CY"), (Keys{}));
  EXPECT_EQ(match("category ==[c] %@ AND name != nil", "TWEAKS"), (Keys{"cafe", "plain"}));
}

TEST_F(TextQueries, InTakesAListAndHonoursOptions) {
  Value ids = Value::array({"CAFE", "plain", "nothing"});
  EXPECT_EQ(match("key IN %@", ids), (Keys{"plain"}));
  EXPECT_EQ(match("key IN[c] %@", ids), (Keys{"cafe", "plain"}));
  EXPECT_EQ(match("key IN %@", Value::array()), (Keys{}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "NOT key IN %@ AND category != nil", ids)), (Keys{"cafe", "street"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "key IN {'cy', 'upper'}")), (Keys{"cy", "upper"}));
}

TEST(StoreQueries, ListsOfTextsAnswerMembershipAndCounts) {
  TempDatabase t;
  auto a = t.item("a");
  a.setStringList("tags", {"mobilesubstrate", "firmware(>=7.0)"});
  auto b = t.item("b");
  b.setStringList("tags", {"Substrate"});
  written(t.db->write([&] {
    t.db->add(a);
    t.db->add(b);
    t.db->add(t.item("c"));
  }));
  EXPECT_EQ(t.keys(t.db->objects("Item", "tags CONTAINS %@", "mobilesubstrate")), (Keys{"a"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "%@ IN tags", "Substrate")), (Keys{"b"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "ANY tags ==[c] %@", "substrate")), (Keys{"b"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "ANY tags BEGINSWITH %@", "firm")), (Keys{"a"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "tags.@count = 0")), (Keys{"c"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "NONE tags == %@", "Substrate")), (Keys{"a", "c"}));
}

TEST(StoreQueries, KeyPathsThroughListsOfLinks) {
  TempDatabase t;
  auto a = t.item("a");
  auto v = t.db->makeObject("Version");
  v.set("source", "https://one/");
  v.set("version", "1.0");
  a.mutableLinks("versions").push_back(v);
  written(t.db->write([&] {
    t.db->add(a);
    t.db->add(t.item("b"));
  }));
  EXPECT_EQ(t.keys(t.db->objects("Item", "ANY versions.source = %@", "https://one/")), (Keys{"a"}));
  EXPECT_EQ(t.keys(t.db->objects("Item", "versions.@count > 0")), (Keys{"a"}));
  EXPECT_EQ(t.db->objects("Version", "source = %@", "https://one/").count(), 1u);
}

TEST(StoreQueries, SortsDistinctAndDatabaseOrder) {
  TempDatabase t;
  t.addItem("1", {{"name", "beta"}, {"category", "B"}, {"count", 2}});
  t.addItem("2", {{"name", "Alpha"}, {"category", "A"}, {"count", 2}});
  t.addItem("3", {{"name", "alpha"}, {"category", "B"}, {"count", 1}});
  t.addItem("4", {{"name", "Émile"}, {"category", ""}, {"count", 1}});
  t.addItem("5", {{"count", 3}});
  auto all = t.db->objects("Item");
  EXPECT_EQ(t.keys(all), (Keys{"1", "2", "3", "4", "5"}));  // database order
  // Names sort as a reader expects: case and accents next to their letter, absent first.
  EXPECT_EQ(t.keys(all.sorted("name")), (Keys{"5", "3", "2", "1", "4"}));
  EXPECT_EQ(t.keys(all.sorted("name", false)), (Keys{"4", "1", "2", "3", "5"}));
  // The later sort leads; the earlier one breaks its ties.
  EXPECT_EQ(t.keys(all.sorted("name").sorted("count", false)), (Keys{"5", "2", "1", "3", "4"}));
  EXPECT_EQ(t.keys(all.sorted({{"count", true}, {"name", true}})), (Keys{"3", "4", "2", "1", "5"}));
  auto categories = t.db->objects("Item", "category != nil").distinct({"category"}).sorted("category");
  std::vector<std::string> names;
  for (const auto& v : categories.valuesForKey("category")) names.push_back(v.asString());
  EXPECT_EQ(names, (Keys{"", "A", "B"}));
  EXPECT_EQ(all.indexOfObjectWhere("count = %@", 1), 2u);
  EXPECT_EQ(all.sorted("count").indexOfObject(*t.db->objectForPrimaryKey("Item", "5")), 4u);
  EXPECT_FALSE(all.indexOfObjectWhere("count = 9"));
  int seen = 0;
  for (const auto& o : all.objectsWhere("count = 2").objects()) {
    EXPECT_EQ(o.getInt("count"), 2);
    ++seen;
  }
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(all.objects().size(), 5u);
}

namespace {
// The plan SQLite makes for a query as the store writes it.
std::string planOf(const std::string& path, const std::string& query) {
  store::sql::Connection c(path, false);
  std::string plan;
  for (auto st = c.prepare("EXPLAIN QUERY PLAN " + query); st.step();) plan += st.columnText(3) + "\n";
  return plan;
}
}  // namespace

TEST(StoreQueries, ASortIndexedTextIsReadInItsSortOrderAndReindexedForAnotherCollator) {
  TempDatabase t;
  const Keys names = {"beta", "Alpha", "alpha", "Émile", "émile", "zeta", "Zeta", "éclair", "10", "9", "-x", "ångström"};
  for (size_t i = 0; i < names.size(); ++i)
    t.addItem(std::to_string(i), {{"name", names[i]}, {"category", i % 2 ? "odd" : "even"}});
  auto expected = [&](bool ascending) {
    std::vector<size_t> order(names.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      int c = store::text::collate(names[a], names[b]);
      return ascending ? c < 0 : c > 0;
    });
    Keys keys;
    for (size_t i : order) keys.push_back(std::to_string(i));
    return keys;
  };
  EXPECT_EQ(t.keys(t.db->objects("Item").sorted("name")), expected(true));
  EXPECT_EQ(t.keys(t.db->objects("Item").sorted("name", false)), expected(false));
  // The whole list is read through the index, not sorted; a list of one category still
  // goes through that category's index.
  std::string whole = planOf(t.path, "SELECT _id FROM Item WHERE 1 ORDER BY name COLLATE QBSORT ASC, _id ASC");
  EXPECT_NE(whole.find("__sort_Item_name"), std::string::npos) << whole;
  EXPECT_EQ(whole.find("TEMP B-TREE"), std::string::npos) << whole;
  std::string one = planOf(t.path, "SELECT _id FROM Item WHERE category = 'odd' ORDER BY name COLLATE QBSORT ASC, _id ASC");
  EXPECT_NE(one.find("__idx_Item_category"), std::string::npos) << one;

  // A file whose index was kept by another collator (here: one that orders backwards)
  // is put back in order when it is opened by this one.
  t.db.reset();
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(t.path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    auto backwards = [](void*, int n1, const void* s1, int n2, const void* s2) {
      return -store::text::collate(std::string_view(static_cast<const char*>(s1), n1),
                                   std::string_view(static_cast<const char*>(s2), n2));
    };
    sqlite3_create_collation_v2(raw, "QBSORT", SQLITE_UTF8, nullptr, backwards, nullptr);
    EXPECT_EQ(sqlite3_exec(raw,
                           "REINDEX QBSORT; UPDATE __store_meta SET value = 'another' WHERE key = 'collation'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
  }
  t.db = store::Database::open(storetest::configuration(t.path)).value();
  EXPECT_EQ(t.keys(t.db->objects("Item").sorted("name")), expected(true));
  written(t.db->write([&] { t.db->deleteObject(*t.db->objectForPrimaryKey("Item", "3")); }));
  EXPECT_EQ(t.db->objects("Item").count(), names.size() - 1);
}

// A flag indexed where it is set: a query for the set ones reads that index, and every
// query of the flag answers as before while rows are set, cleared and deleted.
TEST(StoreQueries, AFlagIndexedWhereSetFindsTheSetOnesThroughItsIndex) {
  TempDatabase t;
  for (int i = 0; i < 6; ++i) t.addItem(std::to_string(i), {{"flag", i % 3 == 0}});
  t.addItem("none", {});
  std::string plan = planOf(t.path, "SELECT _id FROM Item WHERE (flag IS 1)");
  EXPECT_NE(plan.find("__set_Item_flag"), std::string::npos) << plan;
  auto keys = [&](const char* predicate) { return t.keys(t.db->objects("Item", predicate).sorted("key")); };
  EXPECT_EQ(keys("flag = 1"), (Keys{"0", "3"}));
  written(t.db->write([&] {
    t.db->objects("Item", "key = '1'").setValue("flag", Value(true));
    t.db->objects("Item", "key = '3'").setValue("flag", Value(false));
    t.db->deleteObject(*t.db->objectForPrimaryKey("Item", "0"));
  }));
  EXPECT_EQ(keys("flag = YES"), (Keys{"1"}));
  EXPECT_EQ(keys("flag == true"), (Keys{"1"}));
  EXPECT_EQ(keys("flag = 0"), (Keys{"2", "3", "4", "5"}));
  EXPECT_EQ(keys("flag = nil"), (Keys{"none"}));
}

TEST(StoreQueries, SeveralKeysAreReadInOnePassWithTheSnapshot) {
  TempDatabase t;
  t.addItem("1", {{"name", "beta"}, {"tags", Value::Array{Value("x")}}});
  t.addItem("2", {{"name", "alpha"}});
  auto results = t.db->objects("Item").sorted("name");
  auto values = results.valuesForKeys({"key", "name", "tags"});  // a list is read from the records
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0], (Value::Array{Value("2"), Value("1")}));
  EXPECT_EQ(values[1], (Value::Array{Value("alpha"), Value("beta")}));
  EXPECT_EQ(values[2][1], Value(Value::Array{Value("x")}));
  // The values and the results are one reading: a record added since is in neither.
  auto fresh = t.db->objects("Item").sorted("name");
  auto firstRead = fresh.valuesForKeys({"key", "name"});
  t.addItem("0", {{"name", "aardvark"}});
  EXPECT_EQ(fresh.count(), firstRead[0].size());
  EXPECT_EQ(fresh.valuesForKeys({"key", "name"}), firstRead);
  EXPECT_EQ(fresh.reloaded().valuesForKeys({"key"})[0].front(), Value("0"));
  EXPECT_EQ(store::Results().valuesForKeys({}).size(), 0u);
}

TEST(StoreQueries, BadPredicatesAreReported) {
  TempDatabase t;
  for (const char* bad : {"name =", "name == 'open", "nosuch = 1", "name = %@", "(name = 'a'", "name MATCHES 'a.*'",
                          "name = 'a' AND", "versions = 1", "= 1"}) {
    EXPECT_THROW(t.db->objects("Item", bad).count(), StoreException) << bad;
  }
  EXPECT_THROW(t.db->objects("Item", "name = 'a'", 1), StoreException);  // an argument left over
}

}  // namespace
