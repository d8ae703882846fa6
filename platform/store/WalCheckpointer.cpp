#include "store/WalCheckpointer.h"

#include "foundation/Log.h"
#include "store/SqliteConnection.h"

namespace store {

WalCheckpointer::WalCheckpointer(sqlite3* writer, std::string path) : writer_(writer), path_(std::move(path)) {
  // Replaces the engine's automatic checkpoint, which would run inside the commit.
  sqlite3_wal_hook(writer, &WalCheckpointer::committed, this);
  thread_ = std::thread([this] { run(); });
}

WalCheckpointer::~WalCheckpointer() {
  sqlite3_wal_hook(writer_, nullptr, nullptr);
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

// Called by the engine on the writer's thread once a commit is in the log.
int WalCheckpointer::committed(void* self, sqlite3*, const char*, int pages) {
  if (pages < kThresholdPages) return SQLITE_OK;
  auto* checkpointer = static_cast<WalCheckpointer*>(self);
  std::unique_lock lock(checkpointer->mutex_);
  const bool behind = checkpointer->asked_ || checkpointer->busy_;
  checkpointer->asked_ = true;
  checkpointer->changed_.notify_all();
  // The writer's thread still holds the database's write lock here: nothing is added to
  // the log while it waits, so the round that follows copies all of it.
  if (behind && pages >= kLimitPages)
    checkpointer->changed_.wait(lock, [checkpointer] {
      return checkpointer->stopping_ || (!checkpointer->asked_ && !checkpointer->busy_);
    });
  return SQLITE_OK;
}

void WalCheckpointer::checkpointWhole(sql::Connection& writer) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  asked_ = false;  // this one copies what a waiting round would have
  writer.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

void WalCheckpointer::run() {
  std::unique_lock lock(mutex_);
  int retries = 0;
  while (true) {
    if (retries == 0) {
      changed_.wait(lock, [this] { return stopping_ || asked_; });
    } else if (!changed_.wait_for(lock, kRetryDelay, [this] { return stopping_ || asked_; })) {
      // Readers that began before a large commit keep its pages in the log: once they
      // are done, the pages are copied without waiting for the next large commit, which
      // may be a long way off (the whole copy and the file's sync would then fall on it).
      asked_ = true;
    }
    if (stopping_) break;
    asked_ = false;
    busy_ = true;
    lock.unlock();
    bool whole = true;
    try {
      if (!connection_) connection_ = std::make_unique<sql::Connection>(path_, false);
      // Passive: it never waits for the writer or readers, and copies what it can; the
      // rest stays in the log, where it is just as safe, until the next one.
      int logFrames = 0, copiedFrames = 0;
      int rc = sqlite3_wal_checkpoint_v2(connection_->handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames,
                                         &copiedFrames);
      if (rc != SQLITE_OK && rc != SQLITE_BUSY) KVLog("A checkpoint of %s failed: %s", path_.c_str(), sqlite3_errstr(rc));
      whole = rc != SQLITE_OK || copiedFrames >= logFrames;
      if (rc == SQLITE_OK && whole && logFrames >= kThresholdPages) emptyLog();
    } catch (const std::exception& e) {
      KVLog("A checkpoint of %s failed: %s", path_.c_str(), e.what());
    }
    lock.lock();
    busy_ = false;
    retries = whole || retries >= kRetries ? 0 : retries + 1;
    changed_.notify_all();
  }
  lock.unlock();
  connection_.reset();
}

// A log copied whole is emptied when nobody is using it, without waiting for anyone: left
// long (the pages of a refresh's commit, tens or hundreds of megabytes), it would be read
// again whole at the next opening should the program end without closing the file.
void WalCheckpointer::emptyLog() {
  sqlite3* handle = connection_->handle();
  sqlite3_busy_timeout(handle, 0);
  const int rc = sqlite3_wal_checkpoint_v2(handle, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  if (rc != SQLITE_OK && rc != SQLITE_BUSY) KVLog("Emptying the log of %s failed: %s", path_.c_str(), sqlite3_errstr(rc));
  sqlite3_busy_timeout(handle, sql::Connection::kBusyTimeoutMs);
}

}  // namespace store
