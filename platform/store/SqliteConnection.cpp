#include "store/SqliteConnection.h"

#include <algorithm>
#include <cstring>

#include "store/StringListCodec.h"
#include "store/TextFolding.h"

namespace store::sql {

void raise(sqlite3* db, int rc, const std::string& context) {
  std::string message = context + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  using K = StoreException::Kind;
  switch (rc & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
      throw StoreException(K::InvalidDatabase, message);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_FULL:
      throw StoreException(K::FileAccess, message);
    case SQLITE_CONSTRAINT:
      if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
        throw StoreException(K::PrimaryKeyExists, message);
      }
      throw StoreException(K::InvalidValue, message);
    default:
      throw StoreException(K::Fail, message);
  }
}

std::string quoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// ---- Statement

Statement::Statement(Connection& connection, sqlite3_stmt* stmt, bool* inUse, std::vector<BoundValue>* bound)
    : connection_(&connection), stmt_(stmt), inUse_(inUse), bound_(bound) {}

Statement::Statement(Statement&& other) noexcept
    : connection_(other.connection_),
      stmt_(other.stmt_),
      inUse_(other.inUse_),
      bound_(other.bound_),
      keepBindings_(other.keepBindings_) {
  other.stmt_ = nullptr;
}

Statement::~Statement() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  if (!keepBindings_) clearBindings();
  if (inUse_) *inUse_ = false;
  else sqlite3_finalize(stmt_);
}

void Statement::clearBindings() {
  sqlite3_clear_bindings(stmt_);
  if (bound_) std::fill(bound_->begin(), bound_->end(), BoundValue{BoundValue::Null});
}

Statement& Statement::bind(int index, const Value& value) {
  switch (value.type()) {
    case Value::Type::Null: return bindNull(index);
    case Value::Type::Bool: return bindInt(index, value.asBool() ? 1 : 0);
    case Value::Type::Integer: return bindInt(index, value.asInt());
    case Value::Type::Real: return bindDouble(index, value.asDouble());
    case Value::Type::String: return bindText(index, *value.stringPtr());
    case Value::Type::Date: return bindDouble(index, value.datePtr()->seconds);
    case Value::Type::Data: {
      if (BoundValue* b = boundAt(index)) *b = BoundValue{};
      const Data& d = *value.dataPtr();
      int rc = sqlite3_bind_blob64(stmt_, index, d.empty() ? "" : reinterpret_cast<const void*>(d.data()), d.size(),
                                   SQLITE_TRANSIENT);
      if (rc != SQLITE_OK) raise(connection_->handle(), rc, "bind");
      return *this;
    }
    case Value::Type::Array:
      return bindText(index, lists::encode(value));
    case Value::Type::Dictionary:
      return bindText(index, value.toJSON());
  }
  return *this;
}

Statement& Statement::bindText(int index, std::string_view text) {
  if (BoundValue* b = boundAt(index)) *b = BoundValue{};
  int rc = sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) raise(connection_->handle(), rc, "bind");
  return *this;
}

Statement& Statement::bindTextStatic(int index, std::string_view text) {
  const BoundValue value{BoundValue::StaticText, text.data(), static_cast<int64_t>(text.size())};
  BoundValue* b = boundAt(index);
  if (b && b->kind == value.kind && b->text == value.text && b->number == value.number) return *this;
  int rc = sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
  if (rc != SQLITE_OK) raise(connection_->handle(), rc, "bind");
  if (b) *b = value;
  return *this;
}

Statement& Statement::bindInt(int index, int64_t value) {
  BoundValue* b = boundAt(index);
  if (b && b->kind == BoundValue::Integer && b->number == value) return *this;
  int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) raise(connection_->handle(), rc, "bind");
  if (b) *b = BoundValue{BoundValue::Integer, nullptr, value};
  return *this;
}

Statement& Statement::bindDouble(int index, double value) {
  if (BoundValue* b = boundAt(index)) *b = BoundValue{};
  int rc = sqlite3_bind_double(stmt_, index, value);
  if (rc != SQLITE_OK) raise(connection_->handle(), rc, "bind");
  return *this;
}

Statement& Statement::bindNull(int index) {
  BoundValue* b = boundAt(index);
  if (b && b->kind == BoundValue::Null) return *this;
  int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK) raise(connection_->handle(), rc, "bind");
  if (b) b->kind = BoundValue::Null;
  return *this;
}

bool Statement::step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  int code = sqlite3_extended_errcode(connection_->handle());
  std::string sqlText = sqlite3_sql(stmt_) ? sqlite3_sql(stmt_) : "";
  sqlite3_reset(stmt_);
  raise(connection_->handle(), code ? code : rc, sqlText);
}

void Statement::run() {
  while (step()) {
  }
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  if (!keepBindings_) clearBindings();
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }
bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
int64_t Statement::columnInt(int column) const { return sqlite3_column_int64(stmt_, column); }
double Statement::columnDouble(int column) const { return sqlite3_column_double(stmt_, column); }

std::string_view Statement::columnTextView(int column) const {
  const unsigned char* p = sqlite3_column_text(stmt_, column);
  int n = sqlite3_column_bytes(stmt_, column);
  return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string_view();
}

std::string Statement::columnText(int column) const { return std::string(columnTextView(column)); }

Data Statement::columnBlob(int column) const {
  const void* p = sqlite3_column_blob(stmt_, column);
  int n = sqlite3_column_bytes(stmt_, column);
  if (!p || n <= 0) return {};
  const auto* b = static_cast<const uint8_t*>(p);
  return Data(b, b + n);
}

Value Statement::columnValue(int column) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER: return Value(static_cast<long long>(columnInt(column)));
    case SQLITE_FLOAT: return Value(columnDouble(column));
    case SQLITE_TEXT: return Value(columnText(column));
    case SQLITE_BLOB: return Value(columnBlob(column));
    default: return Value();
  }
}

// ---- Connection

Connection::Connection(const std::string& path, bool create) {
  // The engine's own memory statistics take a global lock on every allocation, and
  // nothing reads them. This only takes effect before the engine's first use.
  static const bool statisticsOff = [] { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }();
  (void)statisticsOff;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    throw StoreException(StoreException::Kind::FileAccess, "Unable to open a database at " + path + ": " + message);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  registerTextFunctions(db_);
  try {
    // A new file's pages: 8 KiB suit records of a kilobyte or two (a package's stanza)
    // better than the default 4; an existing file keeps its own.
    if (create) exec("PRAGMA page_size=8192");
    // Reading the journal mode reads the header: a file that is no database fails here.
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=FULL");
    exec("PRAGMA temp_store=MEMORY");
    // A few MB of pages each: a writer that fills a large index spills about as often
    // with four as with sixty-four, and the readers' answers over many records come
    // from the columns kept in memory. Each connection's pages are memory the process
    // holds for as long as the connection lives.
    exec("PRAGMA cache_size=-4000");
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
}

Connection::~Connection() {
  for (auto& [sql, c] : cache_) sqlite3_finalize(c.stmt);
  if (db_) sqlite3_close_v2(db_);
}

void Connection::exec(const std::string& sql) {
  char* error = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    sqlite3_free(error);
    int code = sqlite3_extended_errcode(db_);
    raise(db_, code ? code : rc, sql);
  }
}

Connection::Cache::value_type* Connection::findCached(const std::string& sql) {
  // The same place may hold another text by now: the texts are compared too.
  for (const Recent& r : recent_) {
    if (r.text == sql.data() && r.entry->first.size() == sql.size() &&
        std::memcmp(r.entry->first.data(), sql.data(), sql.size()) == 0) {
      return r.entry;
    }
  }
  auto it = cache_.find(sql);
  if (it == cache_.end()) return nullptr;
  recent_[nextRecent_++ % recent_.size()] = Recent{sql.data(), &*it};
  return &*it;
}

Statement Connection::prepare(const std::string& sql) {
  Cache::value_type* found = findCached(sql);
  if (found && !found->second.inUse) {
    found->second.inUse = true;
    return Statement(*this, found->second.stmt, &found->second.inUse, &found->second.bound);
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) raise(db_, sqlite3_extended_errcode(db_), "prepare " + sql);
  if (found) return Statement(*this, stmt, nullptr);  // the cached one is busy (nested use)
  if (cache_.size() >= 256) {
    // Drop the idle ones; predicate texts vary little, so this is rare.
    recent_.fill(Recent{});
    for (auto i = cache_.begin(); i != cache_.end();) {
      if (!i->second.inUse) {
        sqlite3_finalize(i->second.stmt);
        i = cache_.erase(i);
      } else {
        ++i;
      }
    }
  }
  // A new statement's parameters hold null.
  std::vector<BoundValue> bound(static_cast<size_t>(sqlite3_bind_parameter_count(stmt)), BoundValue{BoundValue::Null});
  auto& entry = *cache_.emplace(sql, Cached{stmt, true, std::move(bound)}).first;
  return Statement(*this, stmt, &entry.second.inUse, &entry.second.bound);
}

Value Connection::scalar(const std::string& sql) {
  Statement st = prepare(sql);
  if (!st.step()) return Value();
  return st.columnValue(0);
}

// ---- SQL functions

namespace {

std::string_view argText(sqlite3_value* v) {
  const unsigned char* p = sqlite3_value_text(v);
  int n = sqlite3_value_bytes(v);
  return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string_view();
}

bool applyOp(int op, std::string_view a, std::string_view b, int flags) {
  std::string fa, fb;
  if (flags) {
    fa = text::fold(a, flags);
    fb = text::fold(b, flags);
    a = fa;
    b = fb;
  }
  switch (op) {
    case kOpEquals: return a == b;
    case kOpContains: return text::contains(a, b);
    case kOpBeginsWith: return text::beginsWith(a, b);
    case kOpEndsWith: return text::endsWith(a, b);
    case kOpLike: return text::like(a, b);
  }
  return false;
}

void foldFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string folded = text::fold(argText(argv[0]), sqlite3_value_int(argv[1]));
  sqlite3_result_text64(ctx, folded.data(), folded.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void stropFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int op = sqlite3_value_int(argv[0]);
  bool aNull = sqlite3_value_type(argv[1]) == SQLITE_NULL;
  bool bNull = sqlite3_value_type(argv[2]) == SQLITE_NULL;
  if (aNull || bNull) {
    // Equality treats two nulls as equal, as the record queries do; every other
    // operator is false on a null.
    sqlite3_result_int(ctx, op == kOpEquals && aNull && bNull ? 1 : 0);
    return;
  }
  sqlite3_result_int(ctx, applyOp(op, argText(argv[1]), argText(argv[2]), sqlite3_value_int(argv[3])) ? 1 : 0);
}

void listAnyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  auto list = lists::decode(argText(argv[0]));
  int op = sqlite3_value_int(argv[1]);
  std::string operand(argText(argv[2]));
  int flags = sqlite3_value_int(argv[3]);
  bool found = false;
  if (list) {
    for (const auto& item : *list->arrayPtr()) {
      if (applyOp(op, *item.stringPtr(), operand, flags)) {
        found = true;
        break;
      }
    }
  }
  sqlite3_result_int(ctx, found ? 1 : 0);
}

int collateFunction(void*, int n1, const void* s1, int n2, const void* s2) {
  return text::collate(std::string_view(static_cast<const char*>(s1), static_cast<size_t>(n1)),
                       std::string_view(static_cast<const char*>(s2), static_cast<size_t>(n2)));
}

}  // namespace

void registerTextFunctions(sqlite3* db) {
  int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  sqlite3_create_function_v2(db, "qb_fold", 2, flags, nullptr, foldFunction, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "qb_strop", 4, flags, nullptr, stropFunction, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "qb_list_any", 4, flags, nullptr, listAnyFunction, nullptr, nullptr, nullptr);
  sqlite3_create_collation_v2(db, "QBSORT", SQLITE_UTF8, nullptr, collateFunction, nullptr);
}

}  // namespace store::sql
