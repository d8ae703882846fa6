#include "store/Database.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "foundation/Files.h"
#include "store/DatabaseImpl.h"
#include "store/Predicate.h"
#include "store/PredicateCompiler.h"

namespace store {

namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::weak_ptr<Database>>& registry() {
  static std::map<std::string, std::weak_ptr<Database>> r;
  return r;
}

struct DefaultState {
  std::mutex mutex;
  Configuration configuration;
  std::shared_ptr<Database> database;
};
DefaultState& defaults() {
  static DefaultState d;
  return d;
}

std::string canonicalPath(const std::string& path) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(path, ec);
  return ec ? path : abs.lexically_normal().string();
}

}  // namespace

// ---- ClassInfo

std::shared_ptr<ClassInfo> ClassInfo::make(ObjectSchemaRef schema) {
  auto info = std::make_shared<ClassInfo>();
  info->schema = schema;
  info->table = sql::quoteIdentifier(schema->className());
  std::string names, marks, sets, differs;
  info->selectList = info->table + "._id";
  int n = 0;
  for (size_t i = 0; i < schema->size(); ++i) {
    const auto& p = schema->property(i);
    if (!p.isColumn()) {
      info->links.push_back(i);
      continue;
    }
    info->columns.push_back(i);
    ++n;
    std::string col = sql::quoteIdentifier(p.name);
    std::string mark = "?" + std::to_string(n);
    info->selectList += ", " + info->table + "." + col;
    names += (names.empty() ? "" : ", ") + col;
    marks += (marks.empty() ? "" : ", ") + mark;
    sets += (sets.empty() ? "" : ", ") + col + " = " + mark;
    differs += (differs.empty() ? "" : " OR ") + col + " IS NOT " + mark;
  }
  if (n > 0) {
    info->insertSql = "INSERT INTO " + info->table + " (" + names + ") VALUES (" + marks + ")";
    info->updateSql = "UPDATE " + info->table + " SET " + sets + " WHERE _id = ?" + std::to_string(n + 1) + " AND (" +
                      differs + ")";
  } else {
    info->insertSql = "INSERT INTO " + info->table + " DEFAULT VALUES";
  }
  info->selectByIdSql = "SELECT " + info->selectList + " FROM " + info->table + " WHERE " + info->table + "._id = ?";
  if (auto pk = schema->primaryKey()) {
    info->idByPrimaryKeySql =
        "SELECT _id FROM " + info->table + " WHERE " + sql::quoteIdentifier(pk->name) + " = ?";
  }
  return info;
}

std::string ClassInfo::linkTable(size_t property) const {
  return sql::quoteIdentifier(linkTableName(schema->className(), schema->property(property).name));
}

// ---- connections

Database::Impl::Lease::Lease(Impl& impl) : impl_(impl) {
  if (impl.isWriterThread()) {
    connection_ = impl.writer.get();
    return;
  }
  {
    std::lock_guard lock(impl.poolMutex);
    if (!impl.idle.empty()) {
      owned_ = std::move(impl.idle.back());
      impl.idle.pop_back();
    }
  }
  if (!owned_) owned_ = impl.openConnection(false);
  connection_ = owned_.get();
}

Database::Impl::Lease::~Lease() {
  if (!owned_) return;
  std::lock_guard lock(impl_.poolMutex);
  if (impl_.idle.size() < 8) impl_.idle.push_back(std::move(owned_));
}

std::unique_ptr<sql::Connection> Database::Impl::openConnection(bool create) {
  return std::make_unique<sql::Connection>(configuration.path, create);
}

sql::Connection& Database::Impl::requireWriter(const char* operation) {
  if (!isWriterThread()) {
    throw StoreException(StoreException::Kind::NotInWriteTransaction,
                         std::string("Cannot ") + operation + " outside of a write transaction");
  }
  return *writer;
}

const ClassInfo& Database::Impl::classInfo(const std::string& className) const {
  auto it = classes.find(className);
  if (it == classes.end()) {
    throw StoreException(StoreException::Kind::InvalidProperty, "Object type '" + className + "' is not in the schema");
  }
  return *it->second;
}

std::string idListJson(const std::vector<int64_t>& ids) {
  std::string out = "[";
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i) out.push_back(',');
    out += std::to_string(ids[i]);
  }
  out.push_back(']');
  return out;
}

// ---- Database

Database::Database() : impl_(std::make_unique<Impl>()) { impl_->owner = this; }

Database::~Database() = default;

std::shared_ptr<Database> Database::open(const Configuration& configuration) {
  if (configuration.path.empty()) {
    // SQLite would quietly open a private temporary database for an empty name.
    throw StoreException(StoreException::Kind::FileAccess, "No database file is configured");
  }
  std::string path = canonicalPath(configuration.path);
  std::lock_guard lock(registryMutex());
  if (auto existing = registry()[path].lock()) return existing;
  std::shared_ptr<Database> db(new Database());
  db->impl_->configuration = configuration;
  db->impl_->configuration.path = path;
  for (const auto& c : configuration.schema.classes()) db->impl_->classes[c->className()] = ClassInfo::make(c);
  for (const auto& c : configuration.schema.classes()) {
    for (const auto& p : c->properties()) {
      if (p.type != PropertyType::LinkList) continue;
      auto target = db->impl_->classes.find(p.objectClass);
      if (target == db->impl_->classes.end()) {
        throw StoreException(StoreException::Kind::InvalidProperty,
                             "Property '" + c->className() + "." + p.name + "' links to unknown class '" +
                                 p.objectClass + "'");
      }
      target->second->incoming.emplace_back(c->className(), p.name);
    }
  }
  db->impl_->setUp();
  registry()[path] = db;
  return db;
}

void Database::setDefaultConfiguration(Configuration configuration) {
  auto& d = defaults();
  std::lock_guard lock(d.mutex);
  d.configuration = std::move(configuration);
  d.database.reset();
}

Configuration Database::defaultConfiguration() {
  auto& d = defaults();
  std::lock_guard lock(d.mutex);
  return d.configuration;
}

std::shared_ptr<Database> Database::defaultDatabase() {
  auto& d = defaults();
  std::lock_guard lock(d.mutex);
  if (!d.database) d.database = open(d.configuration);
  return d.database;
}

bool Database::deleteFiles(const std::string& rawPath) {
  std::string path = canonicalPath(rawPath);
  {
    auto& d = defaults();
    std::lock_guard lock(d.mutex);
    if (d.database && d.database->path() == path) d.database.reset();
  }
  {
    std::lock_guard lock(registryMutex());
    registry().erase(path);
  }
  bool removed = false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lock", ".note", ".management"}) {
    std::string p = path + suffix;
    if (Files::exists(p)) removed = Files::removeItem(p) || removed;
  }
  return removed;
}

const Configuration& Database::configuration() const { return impl_->configuration; }
const Schema& Database::schema() const { return impl_->configuration.schema; }
const std::string& Database::path() const { return impl_->configuration.path; }
uint64_t Database::schemaVersion() const { return impl_->configuration.schemaVersion; }

// ---- transactions

void Database::beginWrite() {
  if (impl_->isWriterThread()) {
    throw StoreException(StoreException::Kind::AlreadyInWriteTransaction, "The database is already in a write transaction");
  }
  impl_->writeMutex.lock();
  impl_->writerThread = std::this_thread::get_id();
  impl_->transactionChanges.clear();
  try {
    impl_->writer->exec("BEGIN IMMEDIATE");
  } catch (...) {
    impl_->writerThread = std::thread::id();
    impl_->writeMutex.unlock();
    throw;
  }
}

void Database::commitWrite() {
  sql::Connection& c = impl_->requireWriter("commit");
  try {
    c.exec("COMMIT");
  } catch (...) {
    if (!sqlite3_get_autocommit(c.handle())) {
      try {
        c.exec("ROLLBACK");
      } catch (...) {
      }
    }
    impl_->transactionChanges.clear();
    impl_->writerThread = std::thread::id();
    impl_->writeMutex.unlock();
    throw;
  }
  impl_->committed();
  impl_->writerThread = std::thread::id();
  impl_->writeMutex.unlock();
}

void Database::cancelWrite() {
  sql::Connection& c = impl_->requireWriter("cancel a write");
  try {
    if (!sqlite3_get_autocommit(c.handle())) c.exec("ROLLBACK");
  } catch (...) {
  }
  impl_->transactionChanges.clear();
  impl_->writerThread = std::thread::id();
  impl_->writeMutex.unlock();
}

bool Database::inWriteTransaction() const { return impl_->isWriterThread(); }

void Database::write(const std::function<void()>& block) {
  beginWrite();
  try {
    block();
  } catch (...) {
    if (inWriteTransaction()) cancelWrite();
    throw;
  }
  if (inWriteTransaction()) commitWrite();
}

// ---- reading

StoreObject Database::makeObject(const std::string& className) const {
  return StoreObject(impl_->classInfo(className).schema);
}

Results Database::objects(const std::string& className) {
  const ClassInfo& info = impl_->classInfo(className);
  auto query = std::make_shared<Results::Query>();
  query->where = "1";
  return Results(shared_from_this(), info.schema, query);
}

Results Database::objectsWhere(const std::string& className, std::string_view predicate, std::vector<Value> arguments) {
  return objects(className).objectsWhere(predicate, std::move(arguments));
}

std::optional<StoreObject> Database::objectForPrimaryKey(const std::string& className, const Value& key) {
  const ClassInfo& info = impl_->classInfo(className);
  const Property* pk = info.schema->primaryKey();
  if (!pk) {
    throw StoreException(StoreException::Kind::InvalidProperty, "'" + className + "' does not have a primary key");
  }
  if (key.isNull()) return std::nullopt;
  Impl::Lease c(*impl_);
  int64_t id = 0;
  {
    sql::Statement st = c->prepare(info.idByPrimaryKeySql);
    st.bind(1, storageValue(*pk, key));
    if (!st.step()) return std::nullopt;
    id = st.columnInt(0);
  }
  return impl_->loadObject(*c, info, id);
}

std::optional<StoreObject> Database::objectWithId(const std::string& className, int64_t objectId) {
  const ClassInfo& info = impl_->classInfo(className);
  Impl::Lease c(*impl_);
  return impl_->loadObject(*c, info, objectId);
}

// ---- file

Database::FileSizes fileSizesOf(sql::Connection& c) {
  Database::FileSizes sizes;
  uint64_t pageSize = static_cast<uint64_t>(c.scalar("PRAGMA page_size").asInt());
  uint64_t pages = static_cast<uint64_t>(c.scalar("PRAGMA page_count").asInt());
  uint64_t free = static_cast<uint64_t>(c.scalar("PRAGMA freelist_count").asInt());
  sizes.totalBytes = pages * pageSize;
  sizes.usedBytes = (pages - std::min(pages, free)) * pageSize;
  return sizes;
}

Database::FileSizes Database::fileSizes() {
  Impl::Lease c(*impl_);
  return fileSizesOf(*c);
}

void Database::compact() {
  if (inWriteTransaction()) {
    throw StoreException(StoreException::Kind::AlreadyInWriteTransaction, "Cannot compact inside a write transaction");
  }
  std::lock_guard lock(impl_->writeMutex);
  impl_->writer->exec("VACUUM");
  impl_->writer->exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

}  // namespace store
