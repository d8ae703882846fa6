// Typed records written straight from their fields: the row, its lists and its linked
// records read back exactly as the same record written as an object.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/FieldVisitor.h"
#include "store/Store.h"
#include "support/RecordsSchema.h"
#include "support/TempDir.h"
#include "support/Written.h"

namespace storerecords {

#define TYPEDPART_PROPERTIES(P)                            \
  P(std::optional<std::string>, label, setLabel, std::nullopt) \
  P(std::optional<int64_t>, rank, setRank, std::nullopt)

class TypedPart {
  KVR_RECORD(TypedPart, TYPEDPART_PROPERTIES)
};
KVR_RECORD_IMPL(TypedPart, TYPEDPART_PROPERTIES, store::record::noCustomization)

#define TYPEDITEM_PROPERTIES(P)                                        \
  P(std::string, key, setKey, "")                                      \
  P(std::optional<std::string>, name, setName, std::nullopt)           \
  P(std::optional<std::string>, note, setNote, std::nullopt)           \
  P(std::optional<int64_t>, count, setCount, std::nullopt)             \
  P(std::optional<bool>, flag, setFlag, std::nullopt)                  \
  P(bool, active, setActive, false)                                    \
  P(std::optional<double>, price, setPrice, std::nullopt)              \
  P(std::optional<Date>, when, setWhen, std::nullopt)                  \
  P(std::optional<Data>, blob, setBlob, std::nullopt)                  \
  P(std::vector<std::string>, tags, setTags, std::vector<std::string>{}) \
  P(std::vector<std::string>, none, setNone, std::vector<std::string>{}) \
  P(std::vector<TypedPart>, parts, setParts, {})

class TypedItem {
  KVR_RECORD(TypedItem, TYPEDITEM_PROPERTIES)
};
void typedItemKey(store::ObjectSchema& schema) {
  store::record::adjustProperties(schema, [](store::Property& p) {
    if (p.name == "key") p.primaryKey();
    if (p.name == "parts") p.linkTo("TypedPart", true);
  });
}
KVR_RECORD_IMPL(TypedItem, TYPEDITEM_PROPERTIES, typedItemKey)

// Columns kept in memory, inserted field by field.
#define HELDITEM_PROPERTIES(P)                              \
  P(std::string, key, setKey, "")                           \
  P(std::optional<std::string>, name, setName, std::nullopt) \
  P(std::optional<int64_t>, count, setCount, std::nullopt)  \
  P(std::optional<bool>, flag, setFlag, std::nullopt)

class HeldItem {
  KVR_RECORD(HeldItem, HELDITEM_PROPERTIES)
};
void heldItemColumns(store::ObjectSchema& schema) {
  store::record::adjustProperties(schema, [](store::Property& p) {
    if (p.name == "key") p.primaryKey();
    p.heldInMemory();
  });
}
KVR_RECORD_IMPL(HeldItem, HELDITEM_PROPERTIES, heldItemColumns)

}  // namespace storerecords

namespace {

using storerecords::TypedItem;
using storerecords::TypedPart;
using store::StoreException;

int64_t addFromFields(store::Database& db, const TypedItem& item) {
  return store::record::addRecord(db, item, [](const TypedItem& r, store::record::FieldVisitor& visitor) {
#define VISIT_FIELD(Type, name, Setter, Initial) store::record::visit(visitor, r.name());
    TYPEDITEM_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
  });
}

template <typename T>
void visitTyped(store::record::FieldVisitor& visitor, const T& field) {
  store::record::visit(visitor, field);
}
void visitTyped(store::record::FieldVisitor& visitor, const std::vector<TypedPart>& parts) {
  store::record::visitRecords(visitor, parts, [](const TypedPart& r, store::record::FieldVisitor& v) {
#define VISIT_FIELD(Type, name, Setter, Initial) store::record::visit(v, r.name());
    TYPEDPART_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
  });
}

// The linked records field by field too.
int64_t addFromTypedFields(store::Database& db, const TypedItem& item) {
  return store::record::addRecord(db, item, [](const TypedItem& r, store::record::FieldVisitor& visitor) {
#define VISIT_FIELD(Type, name, Setter, Initial) visitTyped(visitor, r.name());
    TYPEDITEM_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
  });
}

StoreException::Kind kindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const StoreException& e) {
    return e.kind();
  }
  return StoreException::Kind::Fail;
}

// Also where the database keeps a declaration of its own (the record then goes in as its
// object).
class StoreRecords : public testing::TestWithParam<bool> {
 protected:
  // A database of the typed records in `dir`, keeping a declaration of its own of
  // TypedItem when the parameter is false.
  auto open(const TempDir& dir) {
    store::Configuration c;
    c.path = dir.file("records.realm");
    c.schemaVersion = 1;
    if (GetParam()) c.schema.add(TypedItem::schemaRef());
    else c.schema.add(store::ObjectSchema(*TypedItem::schemaRef()));
    c.schema.add(TypedPart::schemaRef());
    return store::Database::open(c).value();
  }
};

TEST_P(StoreRecords, ARecordAddedFromItsFieldsReadsBackAsTheSameRecordAddedAsAnObject) {
  TempDir dir;
  auto db = open(dir);

  TypedItem item;
  item.setKey("fields");
  item.setName("A \"quoted\" name\nover two lines");
  item.setCount(-42);
  item.setFlag(false);
  item.setActive(true);
  item.setPrice(2.5);
  item.setWhen(Date{123456.5});
  item.setBlob(Data{0, 1, 2, 255});
  item.setTags({"first", "with \\ and \"", ""});
  TypedPart part;
  part.setLabel("one");
  part.setRank(1);
  TypedPart bare;
  item.setParts({part, bare});
  TypedItem asObject = item;
  asObject.setKey("object");
  TypedItem typed = item;
  typed.setKey("typed");

  written(db->write([&] {
    addFromFields(*db, item);
    db->add(asObject.toObject());
    addFromTypedFields(*db, typed);
  }));
  auto fromFields = TypedItem::fromObject(*db->objectForPrimaryKey("TypedItem", Value("fields")));
  auto fromObject = TypedItem::fromObject(*db->objectForPrimaryKey("TypedItem", Value("object")));
  EXPECT_EQ(fromFields.note(), std::nullopt);
  ASSERT_TRUE(fromFields.when());
  EXPECT_EQ(fromFields.when()->seconds, 123456.5);
  EXPECT_EQ(fromFields.tags(), item.tags());
  ASSERT_EQ(fromFields.parts().size(), 2u);
  EXPECT_EQ(fromFields.parts()[0].label(), "one");
  auto fromTyped = TypedItem::fromObject(*db->objectForPrimaryKey("TypedItem", Value("typed")));
  fromObject.setKey("fields");
  EXPECT_TRUE(fromFields.toObject().sameContent(fromObject.toObject()));
  fromTyped.setKey("fields");
  EXPECT_TRUE(fromFields.toObject().sameContent(fromTyped.toObject()));
  EXPECT_EQ(db->objects("TypedPart").count(), 6u);

  // A taken key is refused as add() refuses it, and the transaction goes on (no linked
  // record left behind).
  written(db->write([&] {
    EXPECT_EQ(kindOf([&] { addFromFields(*db, item); }), StoreException::Kind::PrimaryKeyExists);
    EXPECT_EQ(kindOf([&] { addFromTypedFields(*db, typed); }), StoreException::Kind::PrimaryKeyExists);
    item.setKey("another");
    addFromFields(*db, item);
  }));
  EXPECT_EQ(db->objects("TypedItem").count(), 4u);
  EXPECT_EQ(db->objects("TypedPart").count(), 8u);
}

// Fields that do not line up with the declaration (too few, too many, a list where a
// column is) are refused before anything is written.
TEST(StoreRecordsFields, FieldsThatMissTheDeclarationAreRefused) {
  TempDir dir;
  store::Configuration c;
  c.path = dir.file("records.realm");
  c.schemaVersion = 1;
  c.schema.add(TypedItem::schemaRef());
  c.schema.add(TypedPart::schemaRef());
  auto db = store::Database::open(c).value();
  TypedItem item;
  item.setKey("k");
  using Visit = std::function<void(const TypedItem&, store::record::FieldVisitor&)>;
  Visit tooFew = [](const TypedItem& r, store::record::FieldVisitor& v) { store::record::visit(v, r.key()); };
  Visit tooMany = [](const TypedItem& r, store::record::FieldVisitor& v) {
#define VISIT_FIELD(Type, name, Setter, Initial) store::record::visit(v, r.name());
    TYPEDITEM_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
    store::record::visit(v, r.key());
  };
  Visit listForColumn = [](const TypedItem& r, store::record::FieldVisitor& v) { store::record::visit(v, r.parts()); };
  written(db->write([&] {
    for (const Visit& visit : {tooFew, tooMany, listForColumn})
      EXPECT_EQ(kindOf([&] { store::record::addRecord(*db, item, visit); }), StoreException::Kind::InvalidValue);
  }));
  EXPECT_EQ(db->objects("TypedItem").count(), 0u);
}

// The copy in memory takes inserted rows as they were bound: what it answers is what the
// file holds, also for rows changed or deleted after they were written, in the same
// transaction or a later one, and nothing of a transaction rolled back.
TEST(StoreRecordsFields, ColumnsKeptInMemoryAnswerAsTheFileAfterRowsAddedFromFields) {
  using storerecords::HeldItem;
  TempDir dir;
  store::Configuration c;
  c.path = dir.file("held.realm");
  c.schemaVersion = 1;
  c.schema.add(HeldItem::schemaRef());
  auto db = store::Database::open(c).value();
  auto add = [&](const HeldItem& item) {
    store::record::addRecord(*db, item, [](const HeldItem& r, store::record::FieldVisitor& visitor) {
#define VISIT_FIELD(Type, name, Setter, Initial) store::record::visit(visitor, r.name());
      HELDITEM_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
    });
  };
  // Enough rows that the packing stops looking for repeats; names as the key, as the row
  // before, sharing its start, missing; numbers of every size and sign.
  const int64_t numbers[] = {0, 1, -1, 2, INT64_MIN, INT64_MAX, 1LL << 40, -(1LL << 33)};
  auto item = [&](int i, const std::string& prefix) {
    HeldItem r;
    r.setKey(prefix + std::to_string(i));
    if (i % 7 == 1) r.setName(r.key());
    else if (i % 7 == 2) r.setName(std::string("same"));
    else if (i % 7 != 3) r.setName("name-" + std::to_string(i / 3) + (i % 2 ? "-x" : ""));
    if (i % 5) r.setCount(numbers[i % 8] + (i % 3 == 0 && i % 8 < 4 ? i : 0));
    if (i % 4) r.setFlag(i % 4 == 1);
    return r;
  };
  written(db->write([&] {
    for (int i = 0; i < 3000; ++i) add(item(i, "k"));
    db->setValue(*db->objectForPrimaryKey("HeldItem", Value("k10")), "name", Value("changed in its own transaction"));
    db->deleteObject(*db->objectForPrimaryKey("HeldItem", Value("k11")));
  }));
  written(db->write([&] {
    // Many at once, several to a statement, and a few after them one by one.
    std::vector<HeldItem> later;
    for (int i = 0; i < 50; ++i) later.push_back(item(i, "later"));
    std::vector<int64_t> ids(later.size());
    store::record::addManyFields(
        *db, "HeldItem", HeldItem::schemaRef(), later.size(),
        [&](size_t i, store::record::FieldVisitor& visitor) {
#define VISIT_FIELD(Type, name, Setter, Initial) store::record::visit(visitor, later[i].name());
          HELDITEM_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
        },
        [&](size_t i) { return later[i].toObject(); }, ids.data());
    db->setValue(*db->objectForPrimaryKey("HeldItem", Value("k12")), "count", Value(42));
  }));
  db->beginWrite();
  add(item(1, "rolled back "));
  db->setValue(*db->objectForPrimaryKey("HeldItem", Value("k13")), "name", Value("rolled back"));
  db->cancelWrite();
  db->settle();
  ASSERT_EQ(db->commitsChanging("HeldItem"), 2u);

  c.schema = schemaWithoutHeldColumns(c.schema);
  c.path = dir.file("file.realm");
  for (const char* part : {"", "-wal"})
    if (std::filesystem::exists(dir.file("held.realm") + part))
      std::filesystem::copy_file(dir.file("held.realm") + part, c.path + part);
  auto file = store::Database::open(c).value();
  const std::vector<std::string> keys = {"key", "name", "count", "flag"};
  for (const char* sort : {"key", "name", "count"}) {
    SCOPED_TRACE(sort);
    auto inMemory = db->objects("HeldItem").sorted({{sort, true}});
    auto fromFile = file->objects("HeldItem").sorted({{sort, true}});
    EXPECT_EQ(inMemory.objectIds(), fromFile.objectIds());
    EXPECT_EQ(inMemory.valuesForKeys(keys), fromFile.valuesForKeys(keys));
  }
  EXPECT_EQ(db->objectsWhere("HeldItem", "name = 'changed in its own transaction'", {}).count(), 1u);
  EXPECT_EQ(db->objectsWhere("HeldItem", "name BEGINSWITH 'rolled'", {}).count(), 0u);
}

// Records added many at once (several rows to a statement, their linked records too) read
// back as the same records added one by one; a taken key among them is refused as add()
// refuses it, naming it, with the records before it in and none after.
TEST_P(StoreRecords, ManyRecordsAddedAtOnceReadBackAsAddedOneByOne) {
  TempDir dir;
  auto db = open(dir);
  auto items = [](const std::string& prefix, int count) {
    std::vector<TypedItem> list(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      TypedItem& item = list[static_cast<size_t>(i)];
      item.setKey(prefix + std::to_string(i));
      if (i % 3) item.setName("name " + std::to_string(i));
      if (i % 4 == 1) item.setCount(i);
      item.setTags(i % 2 ? std::vector<std::string>{"t", std::to_string(i)} : std::vector<std::string>{});
      std::vector<TypedPart> parts(static_cast<size_t>(i % 4));
      for (size_t k = 0; k < parts.size(); ++k) parts[k].setRank(static_cast<int64_t>(i * 10 + k));
      item.setParts(parts);
    }
    return list;
  };
  auto addMany = [&](const std::vector<TypedItem>& list) {
    std::vector<int64_t> ids(list.size());
    store::record::addManyFields(
        *db, "TypedItem", TypedItem::schemaRef(), list.size(),
        [&](size_t i, store::record::FieldVisitor& visitor) {
#define VISIT_FIELD(Type, name, Setter, Initial) visitTyped(visitor, list[i].name());
          TYPEDITEM_PROPERTIES(VISIT_FIELD)
#undef VISIT_FIELD
        },
        [&](size_t i) { return list[i].toObject(); }, ids.data());
    return ids;
  };
  const std::vector<TypedItem> together = items("together", 37), alone = items("alone", 37);
  std::vector<int64_t> ids;
  written(db->write([&] {
    ids = addMany(together);
    for (const TypedItem& item : alone) addFromTypedFields(*db, item);
  }));
  for (size_t i = 0; i < together.size(); ++i) {
    auto stored = db->objectForPrimaryKey("TypedItem", Value(together[i].key()));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->objectId(), ids[i]);
    auto one = TypedItem::fromObject(*stored);
    auto other = TypedItem::fromObject(*db->objectForPrimaryKey("TypedItem", Value(alone[i].key())));
    other.setKey(one.key());
    EXPECT_TRUE(one.toObject().sameContent(other.toObject())) << i;
  }

  // The 20th is the 3rd again: the first batch and the three after it go in.
  std::vector<TypedItem> clash = items("clash", 40);
  clash[19].setKey("clash2");
  std::string message;
  written(db->write([&] {
    try {
      addMany(clash);
    } catch (const StoreException& e) {
      EXPECT_EQ(e.kind(), StoreException::Kind::PrimaryKeyExists);
      message = e.what();
    }
    addMany(items("after", 16));
  }));
  EXPECT_NE(message.find("'clash2'"), std::string::npos) << message;
  EXPECT_EQ(db->objectsWhere("TypedItem", "key BEGINSWITH 'clash'", {}).count(), 19u);
  EXPECT_EQ(db->objectsWhere("TypedItem", "key BEGINSWITH 'after'", {}).count(), 16u);
  size_t parts = 0;
  for (const auto& list : {together, alone, items("clash", 19), items("after", 16)})
    for (const auto& item : list) parts += item.parts().size();
  EXPECT_EQ(db->objects("TypedPart").count(), parts);
}

INSTANTIATE_TEST_SUITE_P(Declarations, StoreRecords, testing::Bool());

}  // namespace
