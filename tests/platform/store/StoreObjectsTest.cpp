#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "support/Written.h"

#include "store/SqliteConnection.h"
#include "store/StoreException.h"
#include "store/StringListCodec.h"
#include "StoreTestSchema.h"

using store::StoreException;
using storetest::TempDatabase;

namespace {

StoreException::Kind kindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const StoreException& e) {
    return e.kind();
  }
  ADD_FAILURE() << "no StoreException";
  return StoreException::Kind::Fail;
}

// The kind of failure a write answered with.
StoreException::Kind refusal(const ErrorRef& error) {
  if (!error) {
    ADD_FAILURE() << "the write succeeded";
    return StoreException::Kind::Fail;
  }
  EXPECT_EQ(error->domain, store::StoreErrorDomain);
  return static_cast<StoreException::Kind>(error->code);
}

TEST(StoreObjects, NewObjectsTakeDefaultsAndRoundTripEveryType) {
  TempDatabase t;
  auto o = t.item("a", "Alpha");
  EXPECT_EQ(o.get("active"), Value(false));  // required bool with its default
  EXPECT_TRUE(o.get("flag").isNull());       // optional bool: absent
  EXPECT_TRUE(o.getStringList("tags").empty());
  o.set("count", 42);
  o.set("flag", true);
  o.set("price", 1.5);
  o.set("when", Date{123456.25});
  o.set("blob", dataFromString(std::string("\0\1\2", 3)));
  o.setStringList("tags", {"x", "quote \" and \\ backslash", "line\nbreak", "üñí€😀", ""});
  written(t.db->write([&] { t.db->add(o); }));

  auto back = t.db->objectForPrimaryKey("Item", "a");
  ASSERT_TRUE(back);
  EXPECT_GT(back->objectId(), 0);
  EXPECT_EQ(back->getString("name"), "Alpha");
  EXPECT_EQ(back->getInt("count"), 42);
  EXPECT_EQ(back->getBool("flag"), true);
  EXPECT_EQ(back->getDouble("price"), 1.5);
  EXPECT_EQ(back->getDate("when")->seconds, 123456.25);
  EXPECT_EQ(back->getData("blob")->size(), 3u);
  EXPECT_EQ(back->getStringList("tags"),
            (std::vector<std::string>{"x", "quote \" and \\ backslash", "line\nbreak", "üñí€😀", ""}));
  EXPECT_TRUE(back->get("category").isNull());
  EXPECT_FALSE(t.db->objectForPrimaryKey("Item", "A"));  // primary keys are exact
}

TEST(StoreObjects, AddRefusesATakenPrimaryKeyAndKeepsTheTransactionUsable) {
  TempDatabase t;
  t.addItem("a", {{"name", "first"}});
  written(t.db->write([&] {
    EXPECT_EQ(kindOf([&] { t.db->add(t.item("a", "second")); }), StoreException::Kind::PrimaryKeyExists);
    t.db->add(t.item("b", "other"));
  }));
  EXPECT_EQ(t.db->objectForPrimaryKey("Item", "a")->getString("name"), "first");
  EXPECT_EQ(t.db->objects("Item").count(), 2u);
}

TEST(StoreObjects, AddOrUpdateReplacesEveryPropertyAndCreateOrUpdateOnlyTheGivenOnes) {
  TempDatabase t;
  t.addItem("a", {{"name", "first"}, {"count", 3}, {"category", "Tools"}});
  written(t.db->write([&] { t.db->addOrUpdate(t.item("a", "renamed")); }));
  auto a = t.db->objectForPrimaryKey("Item", "a");
  EXPECT_EQ(a->getString("name"), "renamed");
  EXPECT_FALSE(a->getInt("count"));  // the fresh object had none
  EXPECT_EQ(t.db->objects("Item").count(), 1u);

  written(t.db->write([&] {
    t.db->createOrUpdate("Item", Value::dict({{"key", "a"}, {"count", 7}}));
    t.db->createOrUpdate("Item", Value::dict({{"key", "n"}, {"name", "new"}}));
  }));
  a = t.db->objectForPrimaryKey("Item", "a");
  EXPECT_EQ(a->getString("name"), "renamed");
  EXPECT_EQ(a->getInt("count"), 7);
  EXPECT_EQ(t.db->objectForPrimaryKey("Item", "n")->get("active"), Value(false));
}

TEST(StoreObjects, RequiredPropertiesRefuseNullAndWritesNeedATransaction) {
  TempDatabase t;
  auto note = t.db->makeObject("Note");
  EXPECT_EQ(note.get("level"), Value(0));  // required number: 0 when unset
  EXPECT_EQ(refusal(t.db->write([&] { t.db->add(note); })), StoreException::Kind::InvalidValue);
  note.set("text", "hello");
  EXPECT_EQ(kindOf([&] { t.db->add(note); }), StoreException::Kind::NotInWriteTransaction);
  written(t.db->write([&] { t.db->add(note); }));
  EXPECT_EQ(t.db->objects("Note").count(), 1u);
  auto item = t.item("k");
  item.set("active", Value());
  EXPECT_EQ(refusal(t.db->write([&] { t.db->add(item); })), StoreException::Kind::InvalidValue);
  item.set("count", "not a number");
  item.set("active", true);
  EXPECT_EQ(refusal(t.db->write([&] { t.db->add(item); })), StoreException::Kind::InvalidValue);
  EXPECT_EQ(kindOf([&] { item.set("nope", 1); }), StoreException::Kind::InvalidProperty);
}

// A write answers a failure of the data as an error and keeps nothing of it; a fault of
// the calling code is not answered but passed on, with the transaction cancelled.
TEST(StoreObjects, AWriteAnswersFailuresOfTheDataAndPassesProgrammingErrorsOn) {
  TempDatabase t;
  written(t.db->write([&] { t.db->add(t.item("a")); }));
  EXPECT_EQ(refusal(t.db->write([&] {
              t.db->add(t.item("b"));
              t.db->add(t.item("a", "again"));
            })),
            StoreException::Kind::PrimaryKeyExists);
  EXPECT_EQ(t.db->objects("Item").count(), 1u) << "nothing of the refused write is kept";
  EXPECT_EQ(kindOf([&] { (void)t.db->write([&] { t.db->objects("Item", "no such ( predicate").count(); }); }),
            StoreException::Kind::InvalidPredicate);
  EXPECT_FALSE(t.db->inWriteTransaction());
  written(t.db->write([&] { t.db->add(t.item("c")); }));
  EXPECT_EQ(t.db->objects("Item").count(), 2u);
}

TEST(StoreObjects, TransactionsNestNeverAndAnExceptionCancels) {
  TempDatabase t;
  EXPECT_THROW((void)t.db->write([&] {
    t.db->add(t.item("gone"));
    throw std::runtime_error("boom");
  }),
               std::runtime_error);
  EXPECT_FALSE(t.db->inWriteTransaction());
  EXPECT_EQ(t.db->objects("Item").count(), 0u);
  t.db->beginWrite();
  EXPECT_EQ(kindOf([&] { t.db->beginWrite(); }), StoreException::Kind::AlreadyInWriteTransaction);
  t.db->add(t.item("x"));
  t.db->cancelWrite();
  EXPECT_EQ(t.db->objects("Item").count(), 0u);
  written(t.db->write([&] {
    t.db->add(t.item("y"));
    t.db->cancelWrite();  // a block may end the transaction itself
  }));
  EXPECT_EQ(t.db->objects("Item").count(), 0u);
}

void checkListsOfLinks(TempDatabase& t) {
  auto a = t.item("a");
  for (const char* v : {"1.0", "1.1", "0.9"}) {
    auto version = t.db->makeObject("Version");
    version.set("version", v);
    version.set("source", "https://one/");
    a.mutableLinks("versions").push_back(version);
  }
  written(t.db->write([&] { t.db->add(a); }));
  auto back = *t.db->objectForPrimaryKey("Item", "a");
  ASSERT_EQ(back.links("versions").size(), 3u);
  EXPECT_EQ(back.links("versions")[2].getString("version"), "0.9");
  EXPECT_EQ(t.db->objects("Version").count(), 3u);

  // Appending to the read record keeps the stored rows and adds one.
  auto more = t.db->makeObject("Version");
  more.set("version", "2.0");
  back.mutableLinks("versions").push_back(more);
  written(t.db->write([&] { t.db->addOrUpdate(back); }));
  EXPECT_EQ(t.db->objects("Version").count(), 4u);

  // Dropping one from the list deletes the row the list owned.
  back = *t.db->objectForPrimaryKey("Item", "a");
  back.mutableLinks("versions").erase(back.mutableLinks("versions").begin());
  written(t.db->write([&] { t.db->addOrUpdate(back); }));
  EXPECT_EQ(t.db->objects("Version").count(), 3u);
  EXPECT_EQ(t.db->objectForPrimaryKey("Item", "a")->links("versions")[0].getString("version"), "1.1");

  // Deleting the linked rows empties the list; deleting the owner deletes the rest.
  written(t.db->write([&] { t.db->deleteObjects(t.db->objects("Version", "version = %@", "1.1")); }));
  EXPECT_EQ(t.db->objectForPrimaryKey("Item", "a")->links("versions").size(), 2u);
  written(t.db->write([&] { t.db->deleteObject(*t.db->objectForPrimaryKey("Item", "a")); }));
  EXPECT_EQ(t.db->objects("Version").count(), 0u);
}

// Runs `sql` on the file, or fails the test.
void runOn(const std::string& path, const std::string& sql) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(raw);
}

TEST(StoreObjects, ListsOfLinksAreStoredInOrderAndOwnedRowsFollowTheirOwner) {
  TempDatabase t;
  checkListsOfLinks(t);
}

// Files made by the store before keep their tables: ids counted by SQLite's sequence,
// links in rows of their own found by owner through an index.
TEST(StoreObjects, ListsOfLinksWorkAsBeforeInTablesOfTheOlderShape) {
  TempDatabase t;
  t.db.reset();
  runOn(t.path,
        "DROP TABLE Version; CREATE TABLE Version (_id INTEGER PRIMARY KEY AUTOINCREMENT, source TEXT, version TEXT);"
        "DROP TABLE __links_Item_versions;"
        "CREATE TABLE __links_Item_versions (owner INTEGER NOT NULL, pos INTEGER NOT NULL, target INTEGER NOT NULL);"
        "CREATE INDEX __links_Item_versions_owner ON __links_Item_versions (owner, pos);"
        "CREATE INDEX __links_Item_versions_target ON __links_Item_versions (target);");
  t.db = store::Database::open(storetest::configuration(t.path)).value();
  checkListsOfLinks(t);
  auto version = t.db->makeObject("Version");
  version.set("version", "3.0");
  written(t.db->write([&] { t.db->add(version); }));
  // Every id the sequence counted stays given.
  EXPECT_GT(t.db->objects("Version").first()->objectId(), 4);
}

TEST(StoreObjects, DeletionsAndBulkSetsTouchExactlyTheirRows) {
  TempDatabase t;
  for (int i = 0; i < 6; ++i) t.addItem("k" + std::to_string(i), {{"count", i}, {"flag", i % 2 == 0}});
  written(t.db->write([&] { t.db->objects("Item", "flag = 1").setValue("category", "even"); }));
  EXPECT_EQ(t.db->objects("Item", "category = %@", "even").count(), 3u);
  written(t.db->write([&] { t.db->setValue(*t.db->objectForPrimaryKey("Item", "k1"), "name", "one"); }));
  EXPECT_EQ(t.db->objectForPrimaryKey("Item", "k1")->getString("name"), "one");
  written(t.db->write([&] { t.db->deleteObjects(t.db->objects("Item", "count >= 4")); }));
  EXPECT_EQ(t.keys(t.db->objects("Item")), (std::vector<std::string>{"k0", "k1", "k2", "k3"}));
  written(t.db->write([&] { t.db->deleteAllObjects("Item"); }));
  EXPECT_EQ(t.db->objects("Item").count(), 0u);
  written(t.db->write([&] {
    auto note = t.db->makeObject("Note");
    note.set("text", "t");
    t.db->add(note);
    t.db->deleteAll();
  }));
  EXPECT_EQ(t.db->objects("Note").count(), 0u);
}

TEST(StoreObjects, ObjectsWithoutPrimaryKeyUpdateByTheirRow) {
  TempDatabase t;
  auto note = t.db->makeObject("Note");
  note.set("text", "draft");
  int64_t id = 0;
  written(t.db->write([&] { id = t.db->add(note); }));
  auto stored = *t.db->objectWithId("Note", id);
  stored.set("text", "final");
  written(t.db->write([&] { t.db->addOrUpdate(stored); }));
  EXPECT_EQ(t.db->objects("Note").count(), 1u);
  EXPECT_EQ(t.db->objects("Note").first()->getString("text"), "final");
  EXPECT_EQ(kindOf([&] { t.db->objectForPrimaryKey("Note", "x"); }), StoreException::Kind::InvalidProperty);
}

// Lists of texts are stored as JSON; what SQLite's own JSON functions write (escapes,
// pairs of UTF-16 halves) reads back as the same texts, and a lone half becomes U+FFFD
// rather than bytes that are no UTF-8.
TEST(StoreObjects, StoredListsOfTextsDecodeEveryEscape) {
  auto list = store::lists::decode(R"( [ "a\"b\\c", "\u00e9\n\t", "\ud83d\ude00", "\ud800x", "" ] )");
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, Value::array({"a\"b\\c", "\xC3\xA9\n\t", "\xF0\x9F\x98\x80", "\xEF\xBF\xBDx", ""}));
  EXPECT_EQ(store::lists::decode(store::lists::encode(*list)), list);
  // Each escaped character at each place of texts shorter and longer than a word.
  std::vector<std::string> texts;
  for (char special : {'"', '\\', '\n', '\x01', '\x1f', '\x7f'})
    for (size_t length = 1; length <= 19; ++length)
      for (size_t at = 0; at < length; ++at) texts.push_back(std::string(at, 'x') + special + std::string(length - at - 1, 'y'));
  Value::Array items(texts.begin(), texts.end());
  EXPECT_EQ(store::lists::decode(store::lists::encode(texts)), Value(items));
  EXPECT_EQ(store::lists::encode(std::vector<std::string>{"0123456789\"quoted\"\t", "plain text"}),
            R"(["0123456789\"quoted\"\t","plain text"])");
  for (const char* bad : {"", "[", "[\"a\"", "[\"a\",]", "[1]", "{\"a\": 1}", "[\"\\q\"]"}) {
    EXPECT_FALSE(store::lists::decode(bad)) << bad;
  }
}

// A cached statement that keeps its bindings is not bound again with what it holds: the
// run still sees what the value is then (a text bound where it lies is read there at each
// run), and one handed back without keeping them holds nulls for its next user.
TEST(StoreConnection, ValuesBoundAgainAsTheyAreReachTheRowsAsIfBoundEachTime) {
  TempDir dir;
  store::sql::Connection c(dir.file("bound.db"), true);
  c.exec("CREATE TABLE t (n INTEGER, a TEXT, b TEXT)");
  const std::string insert = "INSERT INTO t (n, a, b) VALUES (?, ?, ?)";
  std::string text = "one";
  {
    store::sql::Statement st = c.prepare(insert);
    st.keepBindings();
    for (int64_t n : {1, 2, 3}) {
      if (n == 3) text[0] = 't';  // the same place, other contents
      st.bindInt(1, n % 2).bindTextStatic(2, text).bindNull(3);
      st.run();
      st.reset();
    }
    st.bindInt(1, 1).bindText(2, "copied").bindTextStatic(3, text);
    st.run();
  }
  const std::string other = "other";
  {
    store::sql::Statement st = c.prepare(insert);  // the same cached statement, not kept
    st.bindInt(1, 1).bindText(2, "x").bindTextStatic(3, other);
    st.run();
  }
  {
    store::sql::Statement st = c.prepare(insert);
    st.bindInt(1, 1).bindNull(2).bindTextStatic(3, other);
    st.run();
  }
  store::sql::Statement rows = c.prepare("SELECT n, a, b FROM t ORDER BY rowid");
  std::vector<std::string> seen;
  while (rows.step()) {
    std::string row = std::to_string(rows.columnInt(0));
    for (int k : {1, 2}) row += " " + (rows.isNull(k) ? std::string("null") : std::string(rows.columnTextView(k)));
    seen.push_back(row);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1 one null", "0 one null", "1 tne null", "1 copied tne", "1 x other",
                                            "1 null other"}));
}

}  // namespace
