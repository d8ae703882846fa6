#include <array>
#include <optional>

#include "store/DatabaseImpl.h"
#include "store/FieldVisitor.h"
#include "store/MemoryColumns.h"
#include "store/PredicateCompiler.h"
#include "store/StringListCodec.h"

namespace store {

namespace {

void bindColumns(sql::Statement& st, const ClassInfo& info, const StoreObject& object) {
  int n = 0;
  for (size_t index : info.columns) {
    const Property& p = info.schema->property(index);
    const Value& v = object.at(index);
    if (v.isNull() && !p.isOptional) {
      throw StoreException(StoreException::Kind::InvalidValue,
                           "Invalid null value for non-nullable property '" + info.schema->className() + "." + p.name + "'");
    }
    // A text goes to the engine as it is, without a copy: the statement runs while the
    // object is still there.
    if (p.type == PropertyType::String && v.isString()) {
      st.bindTextStatic(++n, *v.stringPtr());
    } else if (p.type == PropertyType::StringList && v.isArray() && v.arrayPtr()->empty()) {
      st.bindTextStatic(++n, "[]");
    } else {
      st.bind(++n, storageValue(p, v));
    }
  }
}

std::string describeKey(const Value& key) { return key.isString() ? *key.stringPtr() : key.asString(); }

// Binds a typed record's fields, as they come, to the class's insert statement, keeping
// its lists of links for after the row is in.
class ColumnBinder final : public record::FieldVisitor {
 public:
  // `held`: for a class kept in memory, where the held columns' values go (one per held
  // column), to be taken once the row is in.
  // For a row of a batch, its columns follow `firstParameter` parameters, and its lists
  // go in `lists` after the first `firstList`.
  ColumnBinder(sql::Statement& statement, const ClassInfo& info, std::vector<std::string>& lists,
               std::vector<WrittenField>* held, int firstParameter = 0, size_t firstList = 0)
      : st_(statement), info_(info), n_(firstParameter), lists_(lists), listsUsed_(firstList), held_(held) {
    // Room for every column up front: a text bound stays where it is (a short one lies
    // inside its string, which must not move).
    lists_.reserve(firstList + info.schema->size());
    if (held_) {
      held_->assign(info.memory->heldProperties().size(), WrittenField{});
      heldOf_ = info.memory->heldColumnsByProperty();
    }
  }

  void text(const std::string* value) override {
    const Property& p = column();
    if (!value) return null(p);
    if (p.isPrimary) key_ = value;
    st_.bindTextStatic(n_, *value);
    if (held_) hold(p.type == PropertyType::String ? WrittenField{WrittenField::Text, *value} : WrittenField{});
  }
  void integer(std::optional<int64_t> value) override {
    const Property& p = column();
    if (!value) return null(p);
    st_.bindInt(n_, *value);
    if (held_) {
      const bool number = p.type == PropertyType::Int || p.type == PropertyType::Bool;
      hold(number ? WrittenField{WrittenField::Number, {}, *value} : WrittenField{});
    }
  }
  void real(std::optional<double> value) override {
    const Property& p = column();
    if (!value) return null(p);
    st_.bindDouble(n_, *value);
    if (held_) hold({});
  }
  void data(const Data* value) override {
    const Property& p = column();
    if (!value) return null(p);
    st_.bind(n_, Value(*value));
    if (held_) hold({});
  }
  void texts(const std::vector<std::string>& value) override {
    column();
    if (held_) hold({});
    if (value.empty()) {
      st_.bindTextStatic(n_, "[]");
      return;
    }
    // The text stays where it is until the statement has run.
    if (listsUsed_ == lists_.size()) lists_.emplace_back();
    std::string& text = lists_[listsUsed_++];
    lists::encodeInto(text, value);
    st_.bindTextStatic(n_, text);
  }
  void encodedTexts(std::string_view encoded) override {
    column();
    if (held_) hold({});
    st_.bindTextStatic(n_, encoded);
  }
  void records(std::vector<StoreObject> value) override {
    if (next().isColumn()) mismatch();
    links_.emplace_back(property_++, std::move(value));
  }
  void records(record::RecordList value) override {
    if (next().isColumn()) mismatch();
    typedLinks_.emplace_back(property_++, std::move(value));
  }

  // Every property visited once, the primary key among them.
  void finish() const {
    if (property_ != info_.schema->size()) mismatch();
  }
  const std::string* key() const { return key_; }
  size_t listsUsed() const { return listsUsed_; }
  std::vector<std::pair<size_t, std::vector<StoreObject>>>& links() { return links_; }
  std::vector<std::pair<size_t, record::RecordList>>& typedLinks() { return typedLinks_; }

 private:
  const Property& next() const {
    if (property_ >= info_.schema->size()) mismatch();
    return info_.schema->property(property_);
  }
  const Property& column() {
    const Property& p = next();
    if (!p.isColumn()) mismatch();
    ++property_;
    ++n_;
    return p;
  }
  [[noreturn]] void mismatch() const {
    throw StoreException(StoreException::Kind::InvalidValue,
                         "The fields of '" + info_.schema->className() + "' do not match its declaration");
  }
  void null(const Property& p) {
    if (!p.isOptional) {
      throw StoreException(StoreException::Kind::InvalidValue,
                           "Invalid null value for non-nullable property '" + info_.schema->className() + "." + p.name + "'");
    }
    st_.bindNull(n_);
    if (held_) hold({WrittenField::Null, {}, 0});
  }
  // The value bound to the column just visited, when the class keeps it in memory.
  void hold(WrittenField field) {
    const int k = heldOf_[property_ - 1];
    if (k >= 0) (*held_)[static_cast<size_t>(k)] = field;
  }

  sql::Statement& st_;
  const ClassInfo& info_;
  size_t property_ = 0;
  int n_;
  const std::string* key_ = nullptr;
  std::vector<std::pair<size_t, std::vector<StoreObject>>> links_;
  std::vector<std::pair<size_t, record::RecordList>> typedLinks_;
  std::vector<std::string>& lists_;
  size_t listsUsed_;
  std::vector<WrittenField>* held_;
  const int* heldOf_ = nullptr;  // the held column of each property, -1 for none
};

}  // namespace

int64_t Database::Impl::writeObject(sql::Connection& c, const ClassInfo& info, const StoreObject& object, WriteMode mode) {
  if (!object.isValid() || object.className() != info.schema->className()) {
    throw StoreException(StoreException::Kind::InvalidValue,
                         "Object of type '" + object.className() + "' written as '" + info.schema->className() + "'");
  }
  if (object.schema() != info.schema) return writeObject(c, info, object.remapped(info.schema), mode);
  int64_t id = 0;
  if (const Property* pk = info.schema->primaryKey()) {
    Value key = object.at(static_cast<size_t>(info.schema->primaryKeyIndex()));
    if (key.isNull()) {
      throw StoreException(StoreException::Kind::InvalidValue,
                           "Primary key '" + pk->name + "' of '" + info.schema->className() + "' is null");
    }
    // A new record goes straight in: the key's unique index refuses a taken key.
    if (mode == WriteMode::AddOrUpdate) {
      sql::Statement st = c.prepare(info.idByPrimaryKeySql);
      st.bind(1, storageValue(*pk, key));
      if (st.step()) id = st.columnInt(0);
    } else {
      try {
        return insertObject(c, info, object);
      } catch (const StoreException& e) {
        if (e.kind() != StoreException::Kind::PrimaryKeyExists) throw;
        throw StoreException(StoreException::Kind::PrimaryKeyExists,
                             "Attempting to create an object of type '" + info.schema->className() +
                                 "' with an existing primary key value '" + describeKey(key) + "'.");
      }
    }
  } else if (object.isManaged()) {
    sql::Statement st = c.prepare("SELECT _id FROM " + info.table + " WHERE _id = ?");
    st.bindInt(1, object.objectId());
    if (st.step()) id = object.objectId();
  }
  if (id == 0) return insertObject(c, info, object);
  if (!info.columns.empty()) {
    sql::Statement st = c.prepare(info.updateSql);
    bindColumns(st, info, object);
    st.bindInt(static_cast<int>(info.columns.size() + 1), id);
    st.run();
  }
  for (size_t index : info.links) writeLinks(c, info, id, index, object.linksAt(index), false);
  return id;
}

int64_t Database::Impl::insertObject(sql::Connection& c, const ClassInfo& info, const StoreObject& object) {
  int64_t id = 0;
  {
    sql::Statement st = c.prepare(info.insertSql);
    st.keepBindings();  // every column is bound
    bindColumns(st, info, object);
    id = bindNextId(c, info, st);
    st.run();
  }
  rowInserted(c, info, id);
  for (size_t index : info.links) writeLinks(c, info, id, index, object.linksAt(index), true);
  return id;
}

int64_t Database::Impl::insertFields(sql::Connection& c, const ClassInfo& info,
                                     const std::function<void(record::FieldVisitor&)>& visit) {
  int64_t id = 0;
  std::vector<std::pair<size_t, std::vector<StoreObject>>> links;
  std::vector<std::pair<size_t, record::RecordList>> typedLinks;
  {
    sql::Statement st = c.prepare(info.insertSql);
    st.keepBindings();  // every column is bound, or the binder raises before the run
    const bool holds = info.memory && !suppressChanges;
    ColumnBinder binder(st, info, boundLists, holds ? &boundHeld : nullptr);
    visit(binder);
    binder.finish();
    id = bindNextId(c, info, st);
    try {
      st.run();
    } catch (const StoreException& e) {
      if (e.kind() != StoreException::Kind::PrimaryKeyExists || !binder.key()) throw;
      throw StoreException(StoreException::Kind::PrimaryKeyExists,
                           "Attempting to create an object of type '" + info.schema->className() +
                               "' with an existing primary key value '" + *binder.key() + "'.");
    }
    rowInserted(c, info, id);
    // The values bound are still where they were: the copy in memory takes them from here.
    if (holds) holdWritten(info, id, boundHeld);
    links = std::move(binder.links());
    typedLinks = std::move(binder.typedLinks());
  }
  for (auto& [property, elements] : links) writeLinks(c, info, id, property, elements, true);
  for (auto& [property, list] : typedLinks) insertLinkedFields(c, info, id, property, list);
  return id;
}

void Database::Impl::insertLinkedFields(sql::Connection& c, const ClassInfo& info, int64_t ownerId, size_t property,
                                        const record::RecordList& list) {
  const ClassInfo& target = classInfo(info.schema->property(property).objectClass);
  // Records with a key may be stored already, and only this very declaration lines the
  // fields up with the columns: otherwise they go as objects.
  if (target.schema != list.schema || target.schema->primaryKey()) {
    writeLinks(c, info, ownerId, property, list.objects(), true);
    return;
  }
  // A record's few links are kept without an allocation.
  constexpr size_t kKept = 8;
  int64_t kept[kKept];
  std::vector<int64_t> more;
  int64_t* targets = kept;
  if (list.count > kKept) {
    more.resize(list.count);
    targets = more.data();
  }
  for (size_t i = 0; i < list.count; ++i)
    targets[i] = insertFields(c, target, [&](record::FieldVisitor& v) { list.fields(i, v); });
  insertLinkRows(c, info.linkSqlFor(property), ownerId, targets, list.count);
}

void Database::Impl::insertManyFields(sql::Connection& c, const ClassInfo& info, size_t count,
                                      const std::function<void(size_t, record::FieldVisitor&)>& visit, int64_t* ids) {
  size_t i = 0;
  if (!info.batchInsertSql.empty()) {
    for (; count - i >= ClassInfo::kBatchRows; i += ClassInfo::kBatchRows) {
      const size_t in = insertBatch(c, info, i, visit, ids + i);
      if (in == ClassInfo::kBatchRows) continue;
      // A key is taken: the rows from there on one by one, as without batches, up to the
      // one that raises.
      for (size_t r = i + in; r < i + ClassInfo::kBatchRows; ++r)
        ids[r] = insertFields(c, info, [&](record::FieldVisitor& v) { visit(r, v); });
    }
  }
  for (; i < count; ++i) ids[i] = insertFields(c, info, [&](record::FieldVisitor& v) { visit(i, v); });
}

size_t Database::Impl::insertBatch(sql::Connection& c, const ClassInfo& info, size_t first,
                                   const std::function<void(size_t, record::FieldVisitor&)>& visit, int64_t* ids) {
  constexpr size_t kRows = ClassInfo::kBatchRows;
  const int perRow = info.idParameter;  // the columns, then the id
  std::array<std::vector<std::pair<size_t, std::vector<StoreObject>>>, kRows> links;
  std::array<std::vector<std::pair<size_t, record::RecordList>>, kRows> typedLinks;
  const bool holds = info.memory && !suppressChanges;
  if (holds && boundHeldRows.size() < kRows) boundHeldRows.resize(kRows);
  size_t in = kRows;  // the rows that went in
  {
    sql::Statement st = c.prepare(info.batchInsertSql);
    st.keepBindings();  // every column of every row is bound, or the binder raises before the run
    // Every row's lists stay where they are until the run.
    boundLists.reserve(kRows * info.schema->size());
    size_t listsUsed = 0;
    int64_t highestBefore = 0;
    for (size_t r = 0; r < kRows; ++r) {
      const int firstParameter = static_cast<int>(r) * perRow;
      ColumnBinder binder(st, info, boundLists, holds ? &boundHeldRows[r] : nullptr, firstParameter, listsUsed);
      visit(first + r, binder);
      binder.finish();
      listsUsed = binder.listsUsed();
      ids[r] = bindNextId(c, info, st, firstParameter + perRow);
      // The next row's id follows this one's, which is then the highest.
      NextId& next = nextIds[&info];
      if (r == 0) highestBefore = next.highestRow;
      next.highestRow = ids[r];
      links[r] = std::move(binder.links());
      typedLinks[r] = std::move(binder.typedLinks());
    }
    try {
      st.run();
    } catch (const StoreException& e) {
      if (e.kind() != StoreException::Kind::PrimaryKeyExists) throw;
      // The statement stops at the row whose key is taken, keeping those before it (it
      // inserts "OR FAIL": a statement that undid its rows would keep a copy of each page
      // it changes, which costs more than the batch saves).
      in = static_cast<size_t>(c.changes());
      NextId& next = nextIds[&info];
      next.next = ids[0] + static_cast<int64_t>(in);
      next.highestRow = in ? ids[in - 1] : highestBefore;
    }
    if (in == 0) return 0;
    rowInserted(c, info, ids[in - 1]);
    if (holds)
      for (size_t r = 0; r < in; ++r) holdWritten(info, ids[r], boundHeldRows[r]);
  }
  for (size_t r = 0; r < in; ++r)
    for (auto& [property, elements] : links[r]) writeLinks(c, info, ids[r], property, elements, true);
  // The linked records of every row, of one property at a time, go in together too
  // (where every row handed the same properties as such lists, as a record's fields do).
  bool alike = true;
  for (size_t r = 1; r < in && alike; ++r) {
    alike = typedLinks[r].size() == typedLinks[0].size();
    for (size_t k = 0; alike && k < typedLinks[0].size(); ++k) alike = typedLinks[r][k].first == typedLinks[0][k].first;
  }
  if (!alike) {
    for (size_t r = 0; r < in; ++r)
      for (auto& [property, list] : typedLinks[r]) insertLinkedFields(c, info, ids[r], property, list);
    return in;
  }
  for (size_t k = 0; k < typedLinks[0].size(); ++k) {
    const size_t property = typedLinks[0][k].first;
    const ClassInfo& target = classInfo(info.schema->property(property).objectClass);
    std::vector<std::pair<size_t, size_t>> records;  // (row, place in its list)
    for (size_t r = 0; r < in; ++r) {
      const record::RecordList& list = typedLinks[r][k].second;
      if (list.schema != target.schema || target.schema->primaryKey()) {
        insertLinkedFields(c, info, ids[r], property, list);
        continue;
      }
      for (size_t i = 0; i < list.count; ++i) records.emplace_back(r, i);
    }
    if (records.empty()) continue;
    std::vector<int64_t> targets(records.size());
    insertManyFields(
        c, target, records.size(),
        [&](size_t j, record::FieldVisitor& v) { typedLinks[records[j].first][k].second.fields(records[j].second, v); },
        targets.data());
    std::vector<LinkRow> rows(records.size());
    for (size_t j = 0; j < records.size(); ++j)
      rows[j] = LinkRow{ids[records[j].first], static_cast<int64_t>(records[j].second), targets[j]};
    insertLinkRows(c, info.linkSqlFor(property), rows);
  }
  return in;
}

void Database::Impl::insertLinkRows(sql::Connection& c, const ClassInfo::LinkSql& link, const std::vector<LinkRow>& rows) {
  constexpr size_t kRows = ClassInfo::kBatchRows;
  size_t i = 0;
  if (rows.size() >= kRows) {
    sql::Statement st = c.prepare(link.batchInsert);
    st.keepBindings();
    for (; rows.size() - i >= kRows; i += kRows) {
      for (size_t r = 0; r < kRows; ++r) {
        const int at = static_cast<int>(r) * 3;
        st.bindInt(at + 1, rows[i + r].owner).bindInt(at + 2, rows[i + r].pos).bindInt(at + 3, rows[i + r].target);
      }
      st.run();
      st.reset();
    }
  }
  if (i == rows.size()) return;
  sql::Statement st = c.prepare(link.insert);
  st.keepBindings();
  for (; i < rows.size(); ++i) {
    st.bindInt(1, rows[i].owner).bindInt(2, rows[i].pos).bindInt(3, rows[i].target);
    st.run();
    st.reset();
  }
}

int64_t Database::Impl::bindNextId(sql::Connection& c, const ClassInfo& info, sql::Statement& st, int parameter) {
  if (parameter == 0) parameter = info.idParameter;
  auto [found, first] = nextIds.try_emplace(&info);
  NextId& ids = found->second;
  if (first) {
    ids.highestRow = c.scalar("SELECT max(_id) FROM " + info.table).asInt();
    int64_t last = ids.highestRow;
    // Rows deleted from the end leave the highest id given above every row left.
    sql::Statement kept = c.prepare("SELECT value FROM __store_meta WHERE key = ?");
    kept.bindText(1, "lastId." + info.schema->className());
    if (kept.step()) last = std::max(last, kept.columnInt(0));
    kept.reset();
    if (hasSequenceTable) {
      // A table made before the writer gave ids: SQLite's sequence says what it gave.
      sql::Statement sequence = c.prepare("SELECT seq FROM sqlite_sequence WHERE name = ?");
      sequence.bindText(1, info.schema->className());
      if (sequence.step()) last = std::max(last, sequence.columnInt(0));
    }
    ids.next = last + 1;
  }
  const int64_t id = ids.next++;
  if (!rowsDeleted && ids.highestRow == id - 1) st.bindNull(parameter);
  else st.bindInt(parameter, id);
  return id;
}

void Database::Impl::rowInserted(sql::Connection& c, const ClassInfo& info, int64_t id) {
  if (c.lastInsertRowid() != id) {
    // Never met: SQLite chose only where its choice was this id.
    throw StoreException(StoreException::Kind::Fail, "A row of " + info.schema->className() + " was given id " +
                                                         std::to_string(c.lastInsertRowid()) + " instead of " +
                                                         std::to_string(id));
  }
  NextId& ids = nextIds[&info];
  ids.highestRow = std::max(ids.highestRow, id);
}

void Database::Impl::keepLastIds(sql::Connection& c) {
  if (nextIds.empty()) return;
  sql::Statement st = c.prepare("INSERT OR REPLACE INTO __store_meta (key, value) VALUES (?, ?)");
  for (const auto& [info, ids] : nextIds) {
    st.bindText(1, "lastId." + info->schema->className()).bindInt(2, ids.next - 1);
    st.run();
    st.reset();
  }
}

void Database::Impl::insertLinkRows(sql::Connection& c, const ClassInfo::LinkSql& link, int64_t ownerId,
                                    const int64_t* targets, size_t count) {
  if (count == 0) return;
  sql::Statement st = c.prepare(link.insert);
  st.keepBindings();
  for (size_t i = 0; i < count; ++i) {
    st.bindInt(1, ownerId).bindInt(2, static_cast<int64_t>(i)).bindInt(3, targets[i]);
    st.run();
    st.reset();
  }
}

void Database::Impl::writeLinks(sql::Connection& c, const ClassInfo& info, int64_t ownerId, size_t property,
                                const std::vector<StoreObject>& elements, bool isNew) {
  const Property& p = info.schema->property(property);
  const ClassInfo& target = classInfo(p.objectClass);
  std::vector<int64_t> targets;
  targets.reserve(elements.size());
  for (const auto& e : elements) targets.push_back(writeObject(c, target, e, WriteMode::AddOrUpdate));
  const ClassInfo::LinkSql& link = info.linkSqlFor(property);
  std::vector<int64_t> old;
  if (!isNew) {
    sql::Statement st = c.prepare(link.selectTargets);
    st.bindInt(1, ownerId);
    while (st.step()) old.push_back(st.columnInt(0));
  }
  if (old == targets) return;
  if (!old.empty()) {
    sql::Statement st = c.prepare(link.deleteOwner);
    st.bindInt(1, ownerId);
    st.run();
  }
  insertLinkRows(c, link, ownerId, targets.data(), targets.size());
  if (!isNew) markModified(info.schema->className(), ownerId);
  if (p.ownsTargets && !old.empty()) {
    std::unordered_set<int64_t> kept(targets.begin(), targets.end());
    std::vector<int64_t> dropped;
    for (int64_t t : old) {
      if (!kept.count(t)) dropped.push_back(t);
    }
    deleteRows(c, target, dropped);
  }
}

bool Database::Impl::updateColumns(sql::Connection& c, const ClassInfo& info, int64_t id,
                                   const std::vector<size_t>& properties, const std::vector<Value>& values) {
  std::string sets, differs;
  for (size_t k = 0; k < properties.size(); ++k) {
    std::string col = sql::quoteIdentifier(info.schema->property(properties[k]).name);
    std::string mark = "?" + std::to_string(k + 1);
    sets += (k ? ", " : "") + col + " = " + mark;
    differs += (k ? " OR " : "") + col + " IS NOT " + mark;
  }
  sql::Statement st = c.prepare("UPDATE " + info.table + " SET " + sets + " WHERE _id = ?" +
                                std::to_string(properties.size() + 1) + " AND (" + differs + ")");
  for (size_t k = 0; k < properties.size(); ++k) {
    const Property& p = info.schema->property(properties[k]);
    if (values[k].isNull() && !p.isOptional) {
      throw StoreException(StoreException::Kind::InvalidValue, "Invalid null value for non-nullable property '" + p.name + "'");
    }
    st.bind(static_cast<int>(k + 1), storageValue(p, values[k]));
  }
  st.bindInt(static_cast<int>(properties.size() + 1), id);
  st.run();
  return c.changes() > 0;
}

void Database::Impl::deleteRows(sql::Connection& c, const ClassInfo& info, const std::vector<int64_t>& ids) {
  if (ids.empty()) return;
  std::string json = idListJson(ids);
  for (size_t index : info.links) {
    const Property& p = info.schema->property(index);
    std::string table = info.linkTable(index);
    if (p.ownsTargets) {
      std::vector<int64_t> owned;
      sql::Statement st = c.prepare("SELECT target FROM " + table + " WHERE owner IN (SELECT value FROM json_each(?))");
      st.bindText(1, json);
      while (st.step()) owned.push_back(st.columnInt(0));
      st.reset();
      deleteRows(c, classInfo(p.objectClass), owned);
    }
    sql::Statement del = c.prepare("DELETE FROM " + table + " WHERE owner IN (SELECT value FROM json_each(?))");
    del.bindText(1, json);
    del.run();
  }
  for (const auto& [ownerClass, property] : info.incoming) {
    std::string table = sql::quoteIdentifier(linkTableName(ownerClass, property));
    {
      sql::Statement st =
          c.prepare("SELECT DISTINCT owner FROM " + table + " WHERE target IN (SELECT value FROM json_each(?))");
      st.bindText(1, json);
      while (st.step()) markModified(ownerClass, st.columnInt(0));
    }
    sql::Statement del = c.prepare("DELETE FROM " + table + " WHERE target IN (SELECT value FROM json_each(?))");
    del.bindText(1, json);
    del.run();
  }
  sql::Statement del = c.prepare("DELETE FROM " + info.table + " WHERE _id IN (SELECT value FROM json_each(?))");
  del.bindText(1, json);
  del.run();
}

void Database::Impl::markModified(const std::string& className, int64_t id) {
  if (!suppressChanges) transactionChanges[className].modify(id);
}

// ---- Database write operations

int64_t Database::add(const StoreObject& object) {
  sql::Connection& c = impl_->requireWriter("add objects");
  return impl_->writeObject(c, impl_->classInfo(object.className()), object, Impl::WriteMode::Add);
}

int64_t Database::addOrUpdate(const StoreObject& object) {
  sql::Connection& c = impl_->requireWriter("add or update objects");
  return impl_->writeObject(c, impl_->classInfo(object.className()), object, Impl::WriteMode::AddOrUpdate);
}

void Database::addOrUpdate(const std::vector<StoreObject>& objects) {
  sql::Connection& c = impl_->requireWriter("add or update objects");
  for (const auto& o : objects) impl_->writeObject(c, impl_->classInfo(o.className()), o, Impl::WriteMode::AddOrUpdate);
}

StoreObject Database::createOrUpdate(const std::string& className, const Value& values) {
  sql::Connection& c = impl_->requireWriter("create or update objects");
  const ClassInfo& info = impl_->classInfo(className);
  if (!values.isDictionary()) throw StoreException(StoreException::Kind::InvalidValue, "createOrUpdate needs a dictionary");
  const Property* pk = info.schema->primaryKey();
  if (!pk || !values.contains(pk->name)) {
    throw StoreException(StoreException::Kind::InvalidValue,
                         "createOrUpdate needs the primary key of '" + className + "' among the values");
  }
  std::optional<StoreObject> existing = objectForPrimaryKey(className, values[pk->name]);
  if (!existing) {
    StoreObject fresh(info.schema);
    for (const auto& key : values.keys()) fresh.set(key, values[key]);
    int64_t id = impl_->writeObject(c, info, fresh, Impl::WriteMode::Add);
    return *impl_->loadObject(c, info, id);
  }
  std::vector<size_t> properties;
  std::vector<Value> newValues;
  for (const auto& key : values.keys()) {
    int index = info.schema->indexOf(key);
    if (index < 0) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Property '" + key + "' not found in object of type '" + className + "'");
    }
    if (!info.schema->property(index).isColumn()) {
      throw StoreException(StoreException::Kind::InvalidValue, "createOrUpdate cannot set the list of links '" + key + "'");
    }
    properties.push_back(static_cast<size_t>(index));
    newValues.push_back(values[key]);
  }
  impl_->updateColumns(c, info, existing->objectId(), properties, newValues);
  return *impl_->loadObject(c, info, existing->objectId());
}

void Database::setValue(const StoreObject& object, const std::string& property, const Value& value) {
  sql::Connection& c = impl_->requireWriter("set values");
  const ClassInfo& info = impl_->classInfo(object.className());
  if (!object.isManaged()) throw StoreException(StoreException::Kind::ObjectNotFound, "The object is not stored");
  int index = info.schema->indexOf(property);
  if (index < 0) {
    throw StoreException(StoreException::Kind::InvalidProperty,
                         "Property '" + property + "' not found in object of type '" + object.className() + "'");
  }
  if (!info.schema->property(index).isColumn()) {
    throw StoreException(StoreException::Kind::InvalidValue, "Set lists of links through addOrUpdate");
  }
  impl_->updateColumns(c, info, object.objectId(), {static_cast<size_t>(index)}, {value});
}

void Database::deleteObject(const StoreObject& object) {
  sql::Connection& c = impl_->requireWriter("delete objects");
  const ClassInfo& info = impl_->classInfo(object.className());
  int64_t id = object.objectId();
  if (!id && info.schema->primaryKey()) {
    if (auto stored = objectForPrimaryKey(object.className(), object.primaryKeyValue())) id = stored->objectId();
  }
  if (!id) throw StoreException(StoreException::Kind::ObjectNotFound, "Cannot delete an object that is not stored");
  impl_->deleteRows(c, info, {id});
}

void Database::deleteObjects(const Results& results) {
  sql::Connection& c = impl_->requireWriter("delete objects");
  if (!results.isValid()) return;
  impl_->deleteRows(c, impl_->classInfo(results.className()), results.objectIds());
}

void Database::deleteAllObjects(const std::string& className) {
  sql::Connection& c = impl_->requireWriter("delete objects");
  const ClassInfo& info = impl_->classInfo(className);
  std::vector<int64_t> ids;
  {
    sql::Statement st = c.prepare("SELECT _id FROM " + info.table);
    while (st.step()) ids.push_back(st.columnInt(0));
  }
  impl_->deleteRows(c, info, ids);
}

void Database::deleteAll() {
  impl_->requireWriter("delete objects");
  for (const auto& cls : schema().classes()) deleteAllObjects(cls->className());
}

int64_t record::addFields(Database& db, const std::string& className, const ObjectSchemaRef& schema,
                          const std::function<void(FieldVisitor&)>& visitFields,
                          const std::function<StoreObject()>& object) {
  Database::Impl& impl = db.impl();
  const ClassInfo& info = impl.classInfo(className);
  // Only this very declaration lines the fields up with the columns.
  if (info.schema != schema) return db.add(object());
  sql::Connection& c = impl.requireWriter("add objects");
  return impl.insertFields(c, info, visitFields);
}

void record::addManyFields(Database& db, const std::string& className, const ObjectSchemaRef& schema, size_t count,
                           const std::function<void(size_t, FieldVisitor&)>& visitFields,
                           const std::function<StoreObject(size_t)>& object, int64_t* ids) {
  Database::Impl& impl = db.impl();
  const ClassInfo& info = impl.classInfo(className);
  if (info.schema != schema) {
    for (size_t i = 0; i < count; ++i) ids[i] = db.add(object(i));
    return;
  }
  sql::Connection& c = impl.requireWriter("add objects");
  impl.insertManyFields(c, info, count, visitFields, ids);
}

}  // namespace store
