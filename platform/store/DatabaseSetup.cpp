#include <ctime>
#include <cstring>
#include <set>

#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "store/ChangeNotifier.h"
#include "store/MemoryColumns.h"
#include "store/DatabaseImpl.h"
#include "store/Migration.h"
#include "store/PredicateCompiler.h"
#include "store/TextFolding.h"

namespace store {

namespace {

const char* columnType(PropertyType type) {
  switch (type) {
    case PropertyType::Bool:
    case PropertyType::Int: return "INTEGER";
    case PropertyType::Double:
    case PropertyType::Date: return "REAL";
    case PropertyType::Data: return "BLOB";
    default: return "TEXT";
  }
}

void updateHook(void* context, int op, const char*, const char* table, sqlite3_int64 rowid) {
  auto* impl = static_cast<Database::Impl*>(context);
  if (op == SQLITE_DELETE && table && std::strncmp(table, "__", 2) != 0 && std::strncmp(table, "sqlite_", 7) != 0)
    impl->rowsDeleted = true;
  impl->recordChange(table, op, rowid);
}

std::string indexName(const std::string& className, const Property& p) {
  return (p.isPrimary ? "__pk_" : "__idx_") + className + "_" + p.name;
}

std::string sortIndexName(const std::string& className, const Property& p) { return "__sort_" + className + "_" + p.name; }

bool hasSortIndex(const Property& p) { return p.isSortIndexed && p.type == PropertyType::String; }

std::string setIndexName(const std::string& className, const Property& p) { return "__set_" + className + "_" + p.name; }

bool hasSetIndex(const Property& p) { return p.isIndexedWhenSet && p.type == PropertyType::Bool; }

void createLinkTable(sql::Connection& c, const std::string& className, const std::string& property) {
  std::string name = linkTableName(className, property);
  std::string table = sql::quoteIdentifier(name);
  sql::Statement exists = c.prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
  exists.bindText(1, name);
  exists.step();
  if (exists.columnInt(0) > 0) {
    // A table made before keeps its shape: rows of their own, found by owner through an index.
    c.exec("CREATE INDEX IF NOT EXISTS " + sql::quoteIdentifier(name + "_owner") + " ON " + table + " (owner, pos)");
  } else {
    // Kept in the order of their owner and place: one tree for the rows and that order,
    // where rows of their own and an index of it were two to write.
    c.exec("CREATE TABLE " + table +
           " (owner INTEGER NOT NULL, pos INTEGER NOT NULL, target INTEGER NOT NULL, PRIMARY KEY (owner, pos))"
           " WITHOUT ROWID");
  }
  c.exec("CREATE INDEX IF NOT EXISTS " + sql::quoteIdentifier(name + "_target") + " ON " + table + " (target)");
}

// Differences that need a migration, as readable lines.
std::vector<std::string> shapeDifferences(const Schema& old, const Schema& now) {
  std::vector<std::string> out;
  for (const auto& c : now.classes()) {
    auto o = old.find(c->className());
    if (!o) {
      out.push_back("Class '" + c->className() + "' has been added.");
      continue;
    }
    for (const auto& p : c->properties()) {
      const Property* op = o->find(p.name);
      if (!op) out.push_back("Property '" + c->className() + "." + p.name + "' has been added.");
      else if (!op->sameShape(p)) out.push_back("Property '" + c->className() + "." + p.name + "' has been changed.");
    }
    for (const auto& p : o->properties()) {
      if (!c->find(p.name)) out.push_back("Property '" + c->className() + "." + p.name + "' has been removed.");
    }
  }
  for (const auto& o : old.classes()) {
    if (!now.find(o->className())) out.push_back("Class '" + o->className() + "' has been removed.");
  }
  return out;
}

}  // namespace

void Database::Impl::createClassStorage(sql::Connection& c, const ClassInfo& info) {
  // Ids are handed out by the writer (bindNextId), never twice: SQLite's own way of that
  // reads and writes its sequence table at every insert, an eighth of a bulk insert's work.
  std::string ddl = "CREATE TABLE " + info.table + " (_id INTEGER PRIMARY KEY";
  for (size_t index : info.columns) {
    const Property& p = info.schema->property(index);
    ddl += ", " + sql::quoteIdentifier(p.name) + " " + columnType(p.type);
  }
  c.exec(ddl + ")");
  for (size_t index : info.links) createLinkTable(c, info.schema->className(), info.schema->property(index).name);
}

void Database::Impl::syncIndexes(sql::Connection& c, const ObjectSchema& schema) {
  std::set<std::string> wanted;
  for (const auto& p : schema.properties()) {
    if (p.isColumn() && (p.isIndexed || p.isPrimary)) wanted.insert(indexName(schema.className(), p));
    if (hasSortIndex(p)) wanted.insert(sortIndexName(schema.className(), p));
    if (hasSetIndex(p)) wanted.insert(setIndexName(schema.className(), p));
  }
  std::set<std::string> existing;
  {
    sql::Statement st = c.prepare(
        "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND "
        "(substr(name, 1, 6) = '__idx_' OR substr(name, 1, 5) = '__pk_' OR substr(name, 1, 7) = '__sort_' OR "
        "substr(name, 1, 6) = '__set_')");
    st.bindText(1, schema.className());
    while (st.step()) existing.insert(st.columnText(0));
  }
  for (const auto& name : existing) {
    if (!wanted.count(name)) c.exec("DROP INDEX " + sql::quoteIdentifier(name));
  }
  for (const auto& p : schema.properties()) {
    if (hasSortIndex(p) && !existing.count(sortIndexName(schema.className(), p))) {
      // The same collation as the sorts of a query, which is what lets the query use it.
      c.exec("CREATE INDEX " + sql::quoteIdentifier(sortIndexName(schema.className(), p)) + " ON " +
             sql::quoteIdentifier(schema.className()) + " (" + sql::quoteIdentifier(p.name) + " COLLATE QBSORT)");
    }
    if (hasSetIndex(p) && !existing.count(setIndexName(schema.className(), p))) {
      // Written as the queries compile an equality ("IS ?", the flag bound as 1), which
      // is what lets such a query use it.
      const std::string column = sql::quoteIdentifier(p.name);
      c.exec("CREATE INDEX " + sql::quoteIdentifier(setIndexName(schema.className(), p)) + " ON " +
             sql::quoteIdentifier(schema.className()) + " (" + column + ") WHERE " + column + " IS 1");
    }
    if (!p.isColumn() || !(p.isIndexed || p.isPrimary)) continue;
    std::string name = indexName(schema.className(), p);
    if (existing.count(name)) continue;
    c.exec(std::string(p.isPrimary ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + sql::quoteIdentifier(name) + " ON " +
           sql::quoteIdentifier(schema.className()) + " (" + sql::quoteIdentifier(p.name) + ")");
  }
}

void Database::Impl::makeClasses() {
  for (const auto& c : configuration.schema.classes()) classes[c->className()] = ClassInfo::make(c);
  for (const auto& c : configuration.schema.classes()) {
    for (const auto& p : c->properties()) {
      if (p.type != PropertyType::LinkList) continue;
      auto target = classes.find(p.objectClass);
      if (target == classes.end()) {
        throw StoreException(StoreException::Kind::InvalidProperty, "Property '" + c->className() + "." + p.name +
                                                                        "' links to unknown class '" + p.objectClass + "'");
      }
      target->second->incoming.emplace_back(c->className(), p.name);
    }
  }
  for (const auto& [name, info] : classes) {
    if (!MemoryColumns::wanted(*info->schema)) continue;
    memory[name] = std::make_shared<MemoryColumns>(*info);
    info->memory = memory[name].get();
  }
  // Before the migration, which may observe the database it migrates.
  notifier = std::make_shared<ChangeNotifier>(configuration.path, classes, memory, owner->weak_from_this());
}

void Database::Impl::setUp() {
  makeClasses();
  writer = openConnection(true);
  checkpointer = std::make_unique<WalCheckpointer>(writer->handle(), sqlite3_db_filename(writer->handle(), "main"));
  sqlite3_update_hook(writer->handle(), updateHook, this);
  suppressChanges = true;
  owner->beginWrite();
  try {
    sql::Connection& c = *writer;
    const Schema& schema = configuration.schema;
    bool hasMeta = c.scalar("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '__store_meta'").asInt() > 0;
    hasSequenceTable = c.scalar("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'").asInt() > 0;
    if (!hasMeta) {
      if (c.scalar("SELECT count(*) FROM sqlite_master WHERE substr(name, 1, 7) != 'sqlite_'").asInt() > 0) {
        throw StoreException(StoreException::Kind::InvalidDatabase,
                             configuration.path + " is a database of another kind");
      }
      c.exec("CREATE TABLE __store_meta (key TEXT PRIMARY KEY, value)");
      // A new file has nothing to check yet.
      sql::Statement checked = c.prepare("INSERT INTO __store_meta (key, value) VALUES ('checked', ?)");
      checked.bindDouble(1, static_cast<double>(std::time(nullptr)));
      checked.run();
      for (const auto& cls : schema.classes()) createClassStorage(c, classInfo(cls->className()));
    } else {
      // A damaged page would otherwise surface in some later query; where a read has
      // already met one (the note beside the file says so), find it now, while the
      // caller can still reset the file. A check of every page costs as much as reading
      // the whole file, so otherwise it runs off this thread (checkWholeFileLater()).
      if (Files::exists(damageNotePath())) {
        std::string check = c.scalar("PRAGMA quick_check(1)").asString();
        if (check != "ok") {
          throw StoreException(StoreException::Kind::InvalidDatabase, configuration.path + " is damaged: " + check);
        }
        Files::removeItem(damageNotePath());
      }
      uint64_t stored = static_cast<uint64_t>(
          c.scalar("SELECT value FROM __store_meta WHERE key = 'schemaVersion'").asInt());
      std::optional<Schema> old;
      if (auto json = Value::fromJSON(c.scalar("SELECT value FROM __store_meta WHERE key = 'schema'").asString())) {
        old = Schema::fromValue(*json);
      }
      if (!old) throw StoreException(StoreException::Kind::InvalidDatabase, "The schema stored in the file is unreadable");
      if (stored > configuration.schemaVersion) {
        throw StoreException(StoreException::Kind::SchemaVersionTooNew,
                             "Provided schema version " + std::to_string(configuration.schemaVersion) +
                                 " is less than last set version " + std::to_string(stored) + ".");
      }
      auto differences = shapeDifferences(*old, schema);
      if (stored == configuration.schemaVersion && !differences.empty()) {
        std::string message = "Migration is required due to the following errors:";
        for (const auto& d : differences) message += "\n- " + d;
        throw StoreException(StoreException::Kind::SchemaMismatch, message);
      }
      if (stored < configuration.schemaVersion) {
        // New classes, columns and lists first, so the block can fill them.
        for (const auto& cls : schema.classes()) {
          const ClassInfo& info = classInfo(cls->className());
          auto oldClass = old->find(cls->className());
          if (!oldClass) {
            createClassStorage(c, info);
            continue;
          }
          for (const auto& p : cls->properties()) {
            const Property* op = oldClass->find(p.name);
            if (p.type == PropertyType::LinkList) {
              if (op && op->objectClass != p.objectClass) c.exec("DROP TABLE IF EXISTS " + info.linkTable(cls->indexOf(p.name)));
              createLinkTable(c, cls->className(), p.name);
              continue;
            }
            std::string col = sql::quoteIdentifier(p.name);
            if (!op || op->type == PropertyType::LinkList) {
              c.exec("ALTER TABLE " + info.table + " ADD COLUMN " + col + " " + columnType(p.type));
            }
            Value initial = p.initialValue();
            if (!initial.isNull() && (!op || op->isOptional || op->type != p.type)) {
              sql::Statement st = c.prepare("UPDATE " + info.table + " SET " + col + " = ? WHERE " + col + " IS NULL");
              st.bind(1, storageValue(p, initial));
              st.run();
            }
          }
        }
        if (configuration.migrationBlock) {
          Migration migration(*owner, *old, stored);
          configuration.migrationBlock(migration, stored);
        }
        // Then what the new schema no longer has.
        for (const auto& oldClass : old->classes()) {
          auto cls = schema.find(oldClass->className());
          for (const auto& p : oldClass->properties()) {
            if (cls && cls->find(p.name)) continue;
            if (p.type == PropertyType::LinkList) {
              c.exec("DROP TABLE IF EXISTS " + sql::quoteIdentifier(linkTableName(oldClass->className(), p.name)));
            } else if (cls) {
              if (p.isIndexed || p.isPrimary) {
                c.exec("DROP INDEX IF EXISTS " + sql::quoteIdentifier(indexName(oldClass->className(), p)));
              }
              c.exec("DROP INDEX IF EXISTS " + sql::quoteIdentifier(sortIndexName(oldClass->className(), p)));
              c.exec("DROP INDEX IF EXISTS " + sql::quoteIdentifier(setIndexName(oldClass->className(), p)));
              c.exec("ALTER TABLE " + sql::quoteIdentifier(oldClass->className()) + " DROP COLUMN " +
                     sql::quoteIdentifier(p.name));
            }
          }
          if (!cls) c.exec("DROP TABLE IF EXISTS " + sql::quoteIdentifier(oldClass->className()));
        }
      }
    }
    for (const auto& cls : schema.classes()) syncIndexes(c, *cls);
    // The sort indexes hold the collator's order: another version of it may order some
    // texts otherwise, and an index out of its own order is a damaged one.
    const std::string collation = text::collationVersion();
    if (c.scalar("SELECT value FROM __store_meta WHERE key = 'collation'").asString() != collation) {
      c.exec("REINDEX QBSORT");
    }
    // Written only where it differs: a start that changes nothing writes nothing, and so
    // waits for no flush of the file.
    auto note = [&c](const char* key, const Value& value) {
      sql::Statement same = c.prepare("SELECT count(*) FROM __store_meta WHERE key = ? AND value IS ?");
      same.bindText(1, key).bind(2, value);
      same.step();
      if (same.columnInt(0) > 0) return;
      same.reset();
      sql::Statement st = c.prepare("INSERT OR REPLACE INTO __store_meta (key, value) VALUES (?, ?)");
      st.bindText(1, key).bind(2, value);
      st.run();
    };
    note("schemaVersion", Value(static_cast<int64_t>(configuration.schemaVersion)));
    note("schema", Value(schema.toValue().toJSON()));
    note("collation", Value(collation));
  } catch (...) {
    if (owner->inWriteTransaction()) owner->cancelWrite();
    suppressChanges = false;
    throw;
  }
  forgetChanges();
  owner->commitWrite();
  suppressChanges = false;
  compactIfAsked();
  // The columns kept in memory are read off this thread; until then queries read the
  // file.
  if (!memory.empty()) notifier->fillMemory();
  checkWholeFileLater();
}

std::string Database::Impl::damageNotePath() const { return configuration.path + kDamageNoteSuffix; }

void Database::Impl::noteDamage(const std::string& reason) const {
  if (!Files::exists(damageNotePath()) && !Files::writeAtomically(damageNotePath(), reason + "\n"))
    KVLog("Cannot note the damage of %s beside it", configuration.path.c_str());
}

// Once a day, on a background thread with a connection of its own, every page is read;
// damage found is noted beside the file, so that the next opening refuses it and the
// caller resets it. The time of the last clean check is kept in the file.
void Database::Impl::checkWholeFileLater() {
  const double now = static_cast<double>(std::time(nullptr));
  const Value last = writer->scalar("SELECT value FROM __store_meta WHERE key = 'checked'");
  if (last.isNumber() && now - last.asDouble() < kWholeFileCheckInterval && now >= last.asDouble()) return;
  std::weak_ptr<Database> weak = owner->weak_from_this();
  DispatchQueue::globalBackground().async([weak, path = configuration.path, now] {
    std::string check;
    try {
      sql::Connection c(path, false);
      check = c.scalar("PRAGMA quick_check(1)").asString();
    } catch (const StoreException& e) {
      check = e.what();
    }
    auto database = weak.lock();
    if (!database) return;
    Impl& impl = database->impl();
    if (check != "ok") {
      KVLog("%s is damaged: %s", path.c_str(), check.c_str());
      impl.noteDamage(check);
      return;
    }
    ErrorRef recorded = database->write([&] {
      sql::Statement st = impl.writer->prepare("INSERT OR REPLACE INTO __store_meta (key, value) VALUES ('checked', ?)");
      st.bindDouble(1, now);
      st.run();
    });
    // Not recorded, the check runs again at the next opening: nothing else is lost.
    if (recorded) KVLog("The check of %s could not be recorded: %s", path.c_str(), recorded->localizedDescription().c_str());
  });
}

void Database::Impl::compactIfAsked() {
  if (!configuration.shouldCompactOnLaunch) return;
  try {
    std::lock_guard lock(writeMutex);
    checkpointer->checkpointWhole(*writer);
    Database::FileSizes sizes = fileSizesOf(*writer);
    if (configuration.shouldCompactOnLaunch(sizes.totalBytes, sizes.usedBytes)) {
      writer->exec("VACUUM");
      checkpointer->checkpointWhole(*writer);
    }
  } catch (const StoreException& e) {
    KVLog("Compaction of %s skipped: %s", configuration.path.c_str(), e.what());
  }
}

}  // namespace store
