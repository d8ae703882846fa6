// The package lists, their sections and the search are answered from the columns the
// store keeps in memory. Every answer must be the file's own, row for row and in the
// same order: the same records (Debian's index and the real repositories, made by the
// refresh's own import) are asked the screens' queries in a database that keeps the
// columns and in a copy opened without them, which answers from the file as before.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/KVRPackage.h"
#include "database/KVRPackageSearch.h"
#include "database/KVRSchema.h"
#include "store/FieldVisitor.h"
#include "store/Store.h"
#include "support/IndexRecords.h"
#include "support/RecordsSchema.h"
#include "support/TempDir.h"
#include "support/TestData.h"
#include "support/Written.h"

namespace {

struct Query {
  std::string predicate;
  std::vector<Value> arguments;
  std::vector<store::SortDescriptor> sorts;  // the later the main one, as Results::sorted takes them
  std::vector<std::string> distinct;
};

std::vector<Query> screenQueries(const std::string& source) {
  std::vector<Query> queries;
  // The search, as the tab and the list ask it: both scopes, names and maintainers, with
  // and without packages known not to work; texts that find many, few and none, with
  // letters folded by case and diacritics.
  const char* texts[] = {"lib", "PYTHON3-", "ïb", "cy+", "debian", "Jörg", "zzzzq"};
  for (size_t i = 0; i < std::size(texts); ++i) {
    const int scope = i % 2 ? KVRPackageSearch::kExact : KVRPackageSearch::kFuzzy;
    for (bool maintainer : {false, true})
      queries.push_back({KVRPackageSearch::predicateFor(scope, maintainer, i % 3 == 0), {Value(texts[i])}, {{"name", true}}, {}});
  }
  // The lists, by each sort key.
  const char* keys[] = {"name", "category", "maintainer", "sourceLocation"};
  for (const char* key : keys) queries.push_back({"tweakCompatibleStatus != 1", {}, {{key, true}}, {}});
  queries.push_back({"TRUEPREDICATE", {}, {{"name", true}}, {}});
  queries.push_back({"sourceLocation = %@ AND category = %@", {Value(source), Value("utils")}, {{"maintainer", true}}, {}});
  queries.push_back({"isInstalled = 1 AND NOT name BEGINSWITH[cd] 'cy+'", {}, {{"category", true}}, {}});
  queries.push_back({"isUpdated = 1 AND isHeld = 0", {}, {{"name", true}}, {}});
  queries.push_back({"category = %@ AND subcategory != nil", {Value("Tweaks")}, {{"subcategory", true}}, {}});
  queries.push_back({"identifier IN[c] %@", {Value(Value::Array{Value("BASH"), Value("zsh"), Value("nope")})}, {{"name", true}}, {}});
  // What the caches over every package read.
  queries.push_back({"TRUEPREDICATE", {}, {{"updatedDateStr", false}}, {"updatedDateStr"}});
  queries.push_back({"TRUEPREDICATE", {}, {{"category", true}}, {"category"}});
  queries.push_back({"updatedDateStr = %@", {Value("2026-12-07 18:00")}, {{"name", true}, {"updatedDateStr", false}}, {}});
  queries.push_back({"hasNewVersion = 1 AND tweakCompatibleStatus != 1", {}, {}, {}});
  queries.push_back({"maintainer ==[cd] %@", {Value("debian qa group")}, {}, {}});
  return queries;
}

store::Results run(store::Database& db, const Query& q) {
  auto results = q.predicate == "TRUEPREDICATE" ? db.objects(KVRPackage::className())
                                                : db.objectsWhere(KVRPackage::className(), q.predicate, q.arguments);
  if (!q.sorts.empty()) results = results.sorted(q.sorts);
  if (!q.distinct.empty()) results = results.distinct(q.distinct);
  return results;
}

class PackageQueriesInMemory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto debian = testdata::find("debian/bookworm-main-amd64-Packages.xz");
    auto repos = testdata::find("repos");
    if (!debian || !repos) return;
    dir = new TempDir();
    store::Configuration c;
    c.path = dir->file("default.realm");
    c.schemaVersion = KVRSchema::kSchemaVersion;
    c.schema = KVRSchema::schema();
    held = store::Database::open(c).value();
    std::string error;
    ASSERT_GT(applyIndexAsRefresh(*held, *debian, kDebian, &error), 60000u) << error;
    for (const char* repo : {"nepeta", "paidrepo", "utm", "poomsmart/repo", "procursus-mirror"})
      ASSERT_GT(applyIndexAsRefresh(*held, *repos + "/" + repo + "/Packages", std::string("https://") + repo + "/", &error),
                0u)
          << error;
    // Some installed, some updatable and held, as a device's status import leaves them.
    written(held->write([&] {
      auto some = held->objectsWhere(KVRPackage::className(), "identifier BEGINSWITH %@", {Value("lib")});
      some.setValue("isInstalled", Value(true));
      held->objectsWhere(KVRPackage::className(), "identifier BEGINSWITH %@", {Value("libx")}).setValue("isUpdated", Value(true));
      held->objectsWhere(KVRPackage::className(), "identifier BEGINSWITH %@", {Value("libxc")}).setValue("isHeld", Value(true));
      held->objectsWhere(KVRPackage::className(), "identifier BEGINSWITH %@", {Value("python3-")})
          .setValue("tweakCompatibleStatus", Value(1));
    }));
    held->settle();
    std::filesystem::copy_file(c.path, dir->file("copy.realm"));
    c.path = dir->file("copy.realm");
    c.schema = schemaWithoutHeldColumns(c.schema);
    file = store::Database::open(c).value();
  }
  static void TearDownTestSuite() {
    held.reset();
    file.reset();
    delete dir;
    dir = nullptr;
  }
  void SetUp() override {
    if (!held) {
      QB_TESTDATA_OR_SKIP(debian, "debian/bookworm-main-amd64-Packages.xz");
      QB_TESTDATA_OR_SKIP(repos, "repos");
    }
  }

  // Every screen query answers alike in both databases: the rows, their order, and
  // the values the lists read with them.
  static void expectSameAnswers() {
    for (const Query& q : screenQueries(kDebian)) {
      SCOPED_TRACE(q.predicate + (q.arguments.empty() ? "" : " with " + q.arguments.front().toJSON()));
      auto fromMemory = run(*held, q);
      auto fromFile = run(*file, q);
      EXPECT_EQ(fromMemory.objectIds(), fromFile.objectIds());
      EXPECT_EQ(fromMemory.reloaded().valuesForKeys({"identifier", "name", "isInstalled"}),
                fromFile.reloaded().valuesForKeys({"identifier", "name", "isInstalled"}));
    }
  }

  static inline const std::string kDebian = "http://127.0.0.1:8080/debian/";
  static inline TempDir* dir = nullptr;
  static inline std::shared_ptr<store::Database> held, file;
};

TEST_F(PackageQueriesInMemory, ScreenQueriesAnswerAsTheFileDoes) {
  ASSERT_GT(run(*held, {"name contains[cd] %@", {Value("lib")}, {{"name", true}}, {}}).count(), 1000u);
  expectSameAnswers();
}

// Inserted from its fields, as the import inserts: the copy in memory takes such a row as
// it was bound, unless something changes it after.
void addFromFields(store::Database& db, const std::string& identifier, const std::string& name) {
  KVRPackage record;
  record.setIdentifier(identifier);
  record.setName(name);
  store::record::addRecord(db, record, [](const KVRPackage& r, store::record::FieldVisitor& visitor) {
#define VISIT_FIELD(Type, field, Setter, Initial) store::record::visit(visitor, r.field());
    KVRPACKAGE_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
  });
}

// A rename, a deletion and new packages (one renamed in the transaction that inserted
// it, one whose transaction failed), searched at once (before the copy in memory has
// followed them) and after.
TEST_F(PackageQueriesInMemory, ChangesAreFoundAtOnce) {
  for (auto& db : {held, file}) {
    written(db->write([&] {
      auto bash = db->objectForPrimaryKey(KVRPackage::className(), Value("bash"));
      ASSERT_TRUE(bash);
      db->setValue(*bash, "name", Value("Zebra Shell Quux"));
      db->deleteObjects(db->objectsWhere(KVRPackage::className(), "identifier = %@", {Value("aisleriot")}));
      KVRPackage fresh;
      fresh.setIdentifier("com.example.quuxtool");
      fresh.setName(std::string("Quux Tool"));
      fresh.setMaintainer(std::string("Ünïcode Maintainer"));
      db->add(fresh.toObject());
      addFromFields(*db, "com.example.renamed", "Aaa Written Quux");
      db->setValue(*db->objectForPrimaryKey(KVRPackage::className(), Value("com.example.renamed")), "name",
                   Value("Zzz Renamed Quux"));
    }));
    db->beginWrite();
    addFromFields(*db, "com.example.rolledback", "Rolled Back Quux");
    db->deleteObjects(db->objectsWhere(KVRPackage::className(), "identifier = %@", {Value("bash")}));
    db->cancelWrite();
  }
  auto names = [&](std::string_view text) {
    std::vector<std::string> out;
    auto values = KVRPackageSearch::packagesMatching(text, KVRPackageSearch::kFuzzy, true).valuesForKeys({"identifier"});
    for (const auto& v : values[0]) out.push_back(v.asString());
    return out;
  };
  store::Database::setDefaultConfiguration(held->configuration());
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "at once" : "after the copy in memory followed");
    EXPECT_EQ(names("quux"), (std::vector<std::string>{"com.example.quuxtool", "bash", "com.example.renamed"}));
    EXPECT_EQ(names("aisleriot"), std::vector<std::string>{}) << "no name nor maintainer holds it any more";
    EXPECT_EQ(names("unicode maint"), std::vector<std::string>{"com.example.quuxtool"});
    held->settle();
  }
  store::Database::setDefaultConfiguration({});
  expectSameAnswers();
}

}  // namespace
