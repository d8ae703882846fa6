#pragma once
// Inside of the object database: works out what the commits changed for each observer
// on a serial queue of its own, reading the file through a connection of its own, and
// hands the outcome to each observer on the queue it chose. The main thread only
// receives finished results and differences.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/DeliveryGate.h"
#include "foundation/Dispatch.h"
#include "store/DatabaseImpl.h"

namespace store {

class ChangeNotifier : public std::enable_shared_from_this<ChangeNotifier> {
 public:
  using ClassMap = std::unordered_map<std::string, std::shared_ptr<ClassInfo>>;
  using MemoryMap = std::unordered_map<std::string, std::shared_ptr<MemoryColumns>>;
  ChangeNotifier(std::string path, ClassMap classes, MemoryMap memory, std::weak_ptr<Database> database);
  ~ChangeNotifier();

  NotificationToken observeResults(const Results& results, Results::ChangeBlock block, DispatchQueue* queue);
  NotificationToken observeClass(const std::string& className, std::function<void(const ClassChange&)> block,
                                 DispatchQueue* queue);
  NotificationToken observeCommits(std::function<void()> block, DispatchQueue* queue);

  // The rows a commit touched (on the writer's thread, after the commit), and for the
  // classes kept in memory the count of their commits so far.
  void committed(ChangeSet changes, std::map<std::string, uint64_t> commits);
  // Reads the classes kept in memory, on the notifier's thread.
  void fillMemory();
  // Returns once the work scheduled so far has run.
  void settle();
  // The database is going: nothing more is worked out or told.
  void close();

  struct Observer {
    DispatchQueue* queue = nullptr;  // null: the notifier's own thread
    DeliveryGate gate;
    virtual ~Observer() = default;
  };
  // What an observer's token does last.
  void remove(const std::shared_ptr<Observer>& observer);

 private:
  struct ResultsObserver;
  struct ClassObserver;
  struct CommitObserver;

  NotificationToken add(std::shared_ptr<Observer> observer);
  void schedule();  // with mutex_ held
  // What one pass tells: each observer's call, in registration order.
  using Calls = std::vector<std::pair<std::shared_ptr<Observer>, std::function<void()>>>;
  void work();
  // Brings the copies in memory up to the commits worked on.
  void updateMemory(ChangeSet& changes, const std::map<std::string, uint64_t>& commits);
  void workOn(const std::shared_ptr<ResultsObserver>& observer, const ChangeSet& changes, Calls& calls);
  std::shared_ptr<const Results::Snapshot> evaluate(const ResultsObserver& observer);
  // Runs the calls on their observers' queues, those of one queue in one block, so
  // that a queue hears everything a pass found in the same turn. A call whose token
  // has gone by then is skipped.
  static void deliver(Calls calls);

  const std::string path_;
  const ClassMap classes_;
  const MemoryMap memory_;
  const std::weak_ptr<Database> database_;
  std::shared_ptr<DispatchQueue> queue_;

  std::mutex mutex_;
  std::vector<std::shared_ptr<Observer>> observers_;  // in registration order
  ChangeSet pending_;                                 // committed, not yet worked on
  std::map<std::string, uint64_t> pendingCommits_;    // of the classes kept in memory
  bool scheduled_ = false;
  bool closed_ = false;

  std::unique_ptr<sql::Connection> connection_;  // the queue's only
};

}  // namespace store
