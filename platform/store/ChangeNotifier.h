#pragma once
// Inside of the object database: works out what the commits changed for each observer
// on a serial queue of its own, reading the file through a connection of its own, and
// hands the outcome to each observer on the queue it chose. The main thread only
// receives finished results and differences.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/DeliveryGate.h"
#include "foundation/Dispatch.h"
#include "foundation/NotificationToken.h"
#include "store/DatabaseImpl.h"

namespace store {

class ChangeNotifier : public std::enable_shared_from_this<ChangeNotifier> {
 public:
  using ClassMap = std::unordered_map<std::string, std::shared_ptr<ClassInfo>>;
  ChangeNotifier(std::string path, ClassMap classes, std::weak_ptr<Database> database);
  ~ChangeNotifier();

  NotificationToken observeResults(const Results& results, Results::ChangeBlock block, DispatchQueue* queue);
  NotificationToken observeClass(const std::string& className, std::function<void(const ClassChange&)> block,
                                 DispatchQueue* queue);
  NotificationToken observeCommits(std::function<void()> block, DispatchQueue* queue);

  // The rows a commit touched (on the writer's thread, after the commit).
  void committed(ChangeSet changes);
  // The database is going: nothing more is worked out or told.
  void close();

 private:
  struct Observer {
    DispatchQueue* queue = nullptr;  // null: the notifier's own thread
    DeliveryGate gate;
    virtual ~Observer() = default;
  };
  struct ResultsObserver;
  struct ClassObserver;
  struct CommitObserver;

  NotificationToken add(std::shared_ptr<Observer> observer);
  void schedule();  // with mutex_ held
  void work();
  void workOn(const std::shared_ptr<ResultsObserver>& observer, const ChangeSet& changes);
  std::shared_ptr<const Results::Snapshot> evaluate(const ResultsObserver& observer);
  // Runs `call` for the observer on its queue, unless its token has gone by then.
  void deliver(const std::shared_ptr<Observer>& observer, std::function<void()> call);

  const std::string path_;
  const ClassMap classes_;
  const std::weak_ptr<Database> database_;
  std::shared_ptr<DispatchQueue> queue_;

  std::mutex mutex_;
  std::vector<std::shared_ptr<Observer>> observers_;  // in registration order
  ChangeSet pending_;                                 // committed, not yet worked on
  bool scheduled_ = false;
  bool closed_ = false;

  std::unique_ptr<sql::Connection> connection_;  // the queue's only
};

}  // namespace store
