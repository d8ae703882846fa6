#pragma once
// Copies the writer's committed pages from the write-ahead log back into the database
// file on a thread of its own, so that a commit ends when its pages are safely in the
// log rather than after the whole log has been copied (a large import's log holds tens
// of megabytes). Each commit stays as durable as before: the log is synced at the
// commit, and a page leaves the log only once it is in the file.
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace store {

namespace sql {
class Connection;
}

class WalCheckpointer {
 public:
  // Takes over the writer's automatic checkpoints; `path` is the writer's file.
  WalCheckpointer(sqlite3* writer, std::string path);
  ~WalCheckpointer();
  WalCheckpointer(const WalCheckpointer&) = delete;
  WalCheckpointer& operator=(const WalCheckpointer&) = delete;

  // Copies the whole log into the file and empties it, on the writer's connection (which
  // no transaction may hold): waits for a running checkpoint, which would make it fail.
  void checkpointWhole(sql::Connection& writer);

  // The log's length, in pages, at which a commit asks for a checkpoint (the engine's own
  // automatic threshold).
  static constexpr int kThresholdPages = 1000;
  // A writer that commits faster than the checkpoints copy would grow the log for good:
  // past this length, a commit that finds the previous checkpoint unfinished waits until
  // the log has been copied whole, so that the next write starts it afresh.
  static constexpr int kLimitPages = 16 * kThresholdPages;
  // A round that readers kept from copying the whole log is tried again this often, this
  // many times, before the next commit asks again.
  static constexpr std::chrono::milliseconds kRetryDelay{100};
  static constexpr int kRetries = 30;

 private:
  static int committed(void* self, sqlite3* db, const char* name, int pages);
  void run();
  void emptyLog();

  sqlite3* writer_;
  std::string path_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool asked_ = false;
  bool busy_ = false;
  bool stopping_ = false;
  std::unique_ptr<sql::Connection> connection_;  // the checkpointer's own, opened when first needed
  std::thread thread_;
};

}  // namespace store
