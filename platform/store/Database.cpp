#include "store/Database.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

#include "foundation/Files.h"
#include "foundation/Log.h"
#include "store/ChangeNotifier.h"
#include "store/DatabaseImpl.h"
#include "store/Predicate.h"
#include "store/PredicateCompiler.h"

namespace store {

namespace {

// A file being opened: the thread that opens (and maybe migrates) it, the database it
// sets up, and how it ended.
struct Opening {
  std::thread::id thread;
  std::shared_ptr<Database> database;
  bool done = false;
  ErrorRef error;
};

// The files open in this process. Opening happens outside the lock, so a migration
// may open other files, or its own (it gets the database being migrated), and another
// thread opening the same file waits for the opening to end.
struct Registry {
  std::mutex mutex;
  std::condition_variable ended;  // an opening ended
  std::map<std::string, std::weak_ptr<Database>> open;
  std::map<std::string, std::shared_ptr<Opening>> opening;
};
Registry& registry() {
  static Registry* r = new Registry();  // lives as long as the process
  return *r;
}

struct DefaultState {
  std::mutex mutex;
  Configuration configuration;
  uint64_t generation = 0;  // counts the configurations set
  std::shared_ptr<Database> database;
};
DefaultState& defaults() {
  static DefaultState* d = new DefaultState();
  return *d;
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
  info->idParameter = n + 1;
  if (n > 0) {
    info->insertSql = "INSERT INTO " + info->table + " (" + names + ", _id) VALUES (" + marks + ", ?" +
                      std::to_string(n + 1) + ")";
    // SQLite's least limit of parameters to a statement is 999.
    if ((static_cast<size_t>(n) + 1) * ClassInfo::kBatchRows <= 999) {
      std::string row = "(?";
      for (int k = 0; k < n; ++k) row += ",?";
      row += ")";
      info->batchInsertSql = "INSERT OR FAIL INTO " + info->table + " (" + names + ", _id) VALUES " + row;
      for (size_t r = 1; r < ClassInfo::kBatchRows; ++r) info->batchInsertSql += "," + row;
    }
    info->updateSql = "UPDATE " + info->table + " SET " + sets + " WHERE _id = ?" + std::to_string(n + 1) + " AND (" +
                      differs + ")";
  } else {
    info->insertSql = "INSERT INTO " + info->table + " (_id) VALUES (?1)";
  }
  info->selectByIdSql = "SELECT " + info->selectList + " FROM " + info->table + " WHERE " + info->table + "._id = ?";
  if (auto pk = schema->primaryKey()) {
    info->idByPrimaryKeySql =
        "SELECT _id FROM " + info->table + " WHERE " + sql::quoteIdentifier(pk->name) + " = ?";
  }
  for (size_t index : info->links) {
    std::string table = info->linkTable(index);
    std::string batch = "INSERT OR FAIL INTO " + table + " (owner, pos, target) VALUES (?, ?, ?)";
    for (size_t r = 1; r < ClassInfo::kBatchRows; ++r) batch += ", (?, ?, ?)";
    info->linkSql.push_back({index, table, "SELECT target FROM " + table + " WHERE owner = ? ORDER BY pos",
                             "DELETE FROM " + table + " WHERE owner = ?",
                             "INSERT INTO " + table + " (owner, pos, target) VALUES (?, ?, ?)", batch});
  }
  return info;
}

const ClassInfo::LinkSql& ClassInfo::linkSqlFor(size_t property) const {
  for (const auto& link : linkSql)
    if (link.property == property) return link;
  throw StoreException(StoreException::Kind::InvalidProperty, "No list of links at that position");
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
  Impl::releaseIdlePages(*owned_);
  std::lock_guard lock(impl_.poolMutex);
  if (impl_.idle.size() < kIdleConnections) impl_.idle.push_back(std::move(owned_));
}

// A connection at rest keeps few pages: the file's are in the system's cache anyway.
void Database::Impl::releaseIdlePages(sql::Connection& c) {
  int used = 0, highest = 0;
  if (sqlite3_db_status(c.handle(), SQLITE_DBSTATUS_CACHE_USED, &used, &highest, 0) == SQLITE_OK && used > kIdlePages)
    sqlite3_db_release_memory(c.handle());
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

Database::~Database() {
  if (impl_->notifier) impl_->notifier->close();
}

Expected<std::shared_ptr<Database>> Database::openFile(const Configuration& configuration, bool* complete) {
  *complete = true;
  if (configuration.path.empty()) {
    // SQLite would quietly open a private temporary database for an empty name.
    return StoreException(StoreException::Kind::FileAccess, "No database file is configured").toError();
  }
  std::string path = canonicalPath(configuration.path);
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  while (true) {
    if (auto existing = r.open[path].lock()) return existing;
    auto it = r.opening.find(path);
    if (it == r.opening.end()) break;
    auto opening = it->second;
    if (opening->thread == std::this_thread::get_id()) {
      *complete = false;
      return opening->database;
    }
    r.ended.wait(lock, [&] { return opening->done; });
    if (opening->error) return opening->error;
  }
  auto opening = std::make_shared<Opening>();
  opening->thread = std::this_thread::get_id();
  opening->database.reset(new Database());
  r.opening[path] = opening;
  lock.unlock();
  ErrorRef error;
  std::exception_ptr programmingError;
  try {
    opening->database->impl().configuration = configuration;
    opening->database->impl().configuration.path = path;
    opening->database->impl().setUp();
  } catch (const StoreException& e) {
    error = e.toError();
    if (!e.isFileFailure()) programmingError = std::current_exception();
  } catch (...) {
    // Raised by a migration block: the caller's to handle.
    error = makeError(StoreErrorDomain, static_cast<int64_t>(StoreException::Kind::Fail), "The migration failed");
    programmingError = std::current_exception();
  }
  lock.lock();
  r.opening.erase(path);
  if (!error) r.open[path] = opening->database;
  opening->error = error;
  opening->done = true;
  r.ended.notify_all();
  lock.unlock();
  // Those waiting for the file have been let go first.
  if (programmingError) std::rethrow_exception(programmingError);
  if (error) return error;
  return opening->database;
}

Expected<std::shared_ptr<Database>> Database::open(const Configuration& configuration) {
  bool complete = true;
  return openFile(configuration, &complete);
}

void Database::setDefaultConfiguration(Configuration configuration) {
  auto& d = defaults();
  std::lock_guard lock(d.mutex);
  d.configuration = std::move(configuration);
  ++d.generation;
  d.database.reset();
}

Configuration Database::defaultConfiguration() {
  auto& d = defaults();
  std::lock_guard lock(d.mutex);
  return d.configuration;
}

Expected<std::shared_ptr<Database>> Database::openDefaultDatabase() {
  auto& d = defaults();
  Configuration configuration;
  uint64_t generation;
  {
    std::lock_guard lock(d.mutex);
    if (d.database) return d.database;
    configuration = d.configuration;
    generation = d.generation;
  }
  // Not under the lock: the migration of the default database may itself ask for it.
  bool complete = true;
  auto opened = openFile(configuration, &complete);
  if (!opened || !complete) return opened;
  std::lock_guard lock(d.mutex);
  if (d.generation == generation && !d.database) d.database = *opened;
  return opened;
}

std::shared_ptr<Database> Database::defaultDatabase() {
  auto opened = openDefaultDatabase();
  if (!opened) {
    KVLog("The default database cannot be opened: %s", opened.error()->localizedDescription().c_str());
    return nullptr;
  }
  return *opened;
}

bool Database::deleteFiles(const std::string& rawPath) {
  std::string path = canonicalPath(rawPath);
  {
    auto& d = defaults();
    std::lock_guard lock(d.mutex);
    if (d.database && d.database->path() == path) d.database.reset();
  }
  {
    std::lock_guard lock(registry().mutex);
    registry().open.erase(path);
  }
  bool removed = false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lock", ".note", ".management", Impl::kDamageNoteSuffix}) {
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
  impl_->forgetChanges();
  impl_->forgetIds();
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
    impl_->keepLastIds(c);
    c.exec("COMMIT");
  } catch (...) {
    impl_->forgetIds();
    if (!sqlite3_get_autocommit(c.handle())) {
      try {
        c.exec("ROLLBACK");
      } catch (...) {
      }
    }
    impl_->forgetChanges();
    impl_->writerThread = std::thread::id();
    impl_->writeMutex.unlock();
    throw;
  }
  impl_->committed();
  impl_->releaseIdlePages(c);
  impl_->writerThread = std::thread::id();
  impl_->writeMutex.unlock();
}

void Database::cancelWrite() {
  sql::Connection& c = impl_->requireWriter("cancel a write");
  try {
    if (!sqlite3_get_autocommit(c.handle())) c.exec("ROLLBACK");
  } catch (...) {
  }
  impl_->forgetChanges();
  impl_->forgetIds();
  impl_->writerThread = std::thread::id();
  impl_->writeMutex.unlock();
}

bool Database::inWriteTransaction() const { return impl_->isWriterThread(); }

ErrorRef Database::write(const std::function<void()>& block) {
  // Failures of the file or the data become the answer; programming errors go on.
  auto answer = [](const StoreException& e) {
    if (e.isProgrammingError()) throw;
    return e.toError();
  };
  try {
    beginWrite();
  } catch (const StoreException& e) {
    return answer(e);
  }
  try {
    block();
    if (inWriteTransaction()) commitWrite();
  } catch (const StoreException& e) {
    if (inWriteTransaction()) cancelWrite();
    return answer(e);
  } catch (...) {
    if (inWriteTransaction()) cancelWrite();
    throw;
  }
  return nullptr;
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
  return impl_->readOrNothing("a record", [&]() -> std::optional<StoreObject> {
    Impl::Lease c(*impl_);
    int64_t id = 0;
    {
      sql::Statement st = c->prepare(info.idByPrimaryKeySql);
      st.bind(1, storageValue(*pk, key));
      if (!st.step()) return std::nullopt;
      id = st.columnInt(0);
    }
    return impl_->loadObject(*c, info, id);
  });
}

std::optional<StoreObject> Database::objectWithId(const std::string& className, int64_t objectId) {
  const ClassInfo& info = impl_->classInfo(className);
  return impl_->readOrNothing("a record", [&] {
    Impl::Lease c(*impl_);
    return impl_->loadObject(*c, info, objectId);
  });
}

void Database::Impl::logReadFailure(const char* what, const StoreException& e) const {
  KVLog("Reading %s of %s failed: %s", what, configuration.path.c_str(), e.what());
  if (e.kind() == StoreException::Kind::InvalidDatabase) noteDamage(e.what());
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
  impl_->checkpointer->checkpointWhole(*impl_->writer);
}

}  // namespace store
