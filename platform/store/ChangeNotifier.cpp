#include "store/ChangeNotifier.h"

#include <algorithm>

#include "foundation/Log.h"
#include "foundation/UnusedMemory.h"
#include "store/MemoryColumns.h"

namespace store {

struct ChangeNotifier::ResultsObserver : Observer {
  ObjectSchemaRef schema;
  std::shared_ptr<const Results::Query> query;
  Results::ChangeBlock block;
  // The snapshot last handed over (the queue's only); null before the first.
  std::shared_ptr<const Results::Snapshot> last;
};

struct ChangeNotifier::ClassObserver : Observer {
  std::string className;
  std::function<void(const ClassChange&)> block;
};

struct ChangeNotifier::CommitObserver : Observer {
  std::function<void()> block;
};

namespace {

std::vector<int64_t> sorted(const std::unordered_set<int64_t>& rows) {
  std::vector<int64_t> out(rows.begin(), rows.end());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

ChangeNotifier::ChangeNotifier(std::string path, ClassMap classes, MemoryMap memory, std::weak_ptr<Database> database)
    : path_(std::move(path)),
      classes_(std::move(classes)),
      memory_(std::move(memory)),
      database_(std::move(database)),
      queue_(DispatchQueue::makeSerial("store.changes")) {}

ChangeNotifier::~ChangeNotifier() = default;

NotificationToken ChangeNotifier::observeResults(const Results& results, Results::ChangeBlock block,
                                                 DispatchQueue* queue) {
  auto observer = std::make_shared<ResultsObserver>();
  observer->queue = queue;
  observer->schema = results.schema_;
  observer->query = results.query_;
  observer->block = std::move(block);
  return add(observer);
}

NotificationToken ChangeNotifier::observeClass(const std::string& className,
                                               std::function<void(const ClassChange&)> block, DispatchQueue* queue) {
  auto observer = std::make_shared<ClassObserver>();
  observer->queue = queue;
  observer->className = className;
  observer->block = std::move(block);
  return add(observer);
}

NotificationToken ChangeNotifier::observeCommits(std::function<void()> block, DispatchQueue* queue) {
  auto observer = std::make_shared<CommitObserver>();
  observer->queue = queue;
  observer->block = std::move(block);
  return add(observer);
}

NotificationToken ChangeNotifier::add(std::shared_ptr<Observer> observer) {
  {
    std::lock_guard lock(mutex_);
    observers_.push_back(observer);
    schedule();  // a results observer's first delivery
  }
  return gatedObserverToken(shared_from_this(), observer);
}

void ChangeNotifier::remove(const std::shared_ptr<Observer>& observer) {
  std::lock_guard lock(mutex_);
  std::erase(observers_, observer);
}

void ChangeNotifier::committed(ChangeSet changes, std::map<std::string, uint64_t> commits) {
  std::lock_guard lock(mutex_);
  // Nobody to tell and no copy to keep: a later observer starts from what the file
  // holds then.
  if (closed_ || (observers_.empty() && commits.empty())) return;
  for (auto& [className, rows] : changes)
    if (!observers_.empty() || commits.count(className)) pending_[className].merge(rows);
  for (auto& [className, count] : commits) pendingCommits_[className] = std::max(pendingCommits_[className], count);
  schedule();
}

void ChangeNotifier::settle() { queue_->sync([] {}); }

void ChangeNotifier::fillMemory() {
  std::lock_guard lock(mutex_);
  schedule();
}

void ChangeNotifier::updateMemory(ChangeSet& changes, const std::map<std::string, uint64_t>& commits) {
  for (const auto& [className, memory] : memory_) {
    try {
      if (!connection_) connection_ = std::make_unique<sql::Connection>(path_, false);
      auto rows = changes.find(className);
      auto count = commits.find(className);
      bool wholeTable = false;
      if (!memory->isBuilt()) {
        // Every commit counted so far is in what is read now; later ones come as
        // changes again.
        memory->rebuild(*connection_, memory->committedCount());
        memory->prepare();
        wholeTable = true;
      } else if (rows != changes.end() && count != commits.end()) {
        wholeTable = memory->apply(*connection_, rows->second, count->second);
      }
      if (wholeTable) {
        // The pages read are in the system's cache; the ones kept here, and what reading
        // a table whole needed for a while, only hold memory.
        sqlite3_db_release_memory(connection_->handle());
        UnusedMemory::giveBack();
      }
    } catch (const StoreException& e) {
      // The copy answers nothing until it is read again; queries read the file.
      KVLog("The records of '%s' kept in memory could not be read: %s", className.c_str(), e.what());
      memory->invalidate();
    }
  }
}

void ChangeNotifier::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  pending_.clear();
  observers_.clear();
}

void ChangeNotifier::schedule() {
  if (scheduled_ || closed_) return;
  scheduled_ = true;
  queue_->async([self = shared_from_this()] { self->work(); });
}

void ChangeNotifier::work() {
  ChangeSet changes;
  std::vector<std::shared_ptr<Observer>> observers;
  std::map<std::string, uint64_t> commits;
  {
    std::lock_guard lock(mutex_);
    scheduled_ = false;
    if (closed_) return;
    changes.swap(pending_);
    commits.swap(pendingCommits_);
    observers = observers_;
  }
  updateMemory(changes, commits);
  Calls calls;
  for (const auto& observer : observers) {
    if (!observer->gate.isOpen()) continue;
    if (auto results = std::dynamic_pointer_cast<ResultsObserver>(observer)) {
      workOn(results, changes, calls);
    } else if (auto* cls = dynamic_cast<ClassObserver*>(observer.get())) {
      auto it = changes.find(cls->className);
      if (it == changes.end()) continue;
      ClassChange change{cls->className, it->second.inserted.ids(), sorted(it->second.modified),
                         sorted(it->second.deleted)};
      calls.emplace_back(observer, [cls, change = std::move(change)] { cls->block(change); });
    } else if (auto* commit = dynamic_cast<CommitObserver*>(observer.get())) {
      if (!changes.empty()) calls.emplace_back(observer, [commit] { commit->block(); });
    }
  }
  deliver(std::move(calls));
}

void ChangeNotifier::workOn(const std::shared_ptr<ResultsObserver>& target, const ChangeSet& changes, Calls& calls) {
  ResultsObserver& observer = *target;
  const RowChanges* rows = nullptr;
  if (auto it = changes.find(observer.schema->className()); it != changes.end()) rows = &it->second;
  bool first = !observer.last;
  if (!first && !rows) return;  // nothing of its class changed

  auto snapshot = evaluate(observer);
  std::shared_ptr<const Results::Snapshot> handed = snapshot;
  std::optional<CollectionChange> change;
  if (snapshot->error) {
    // The observer keeps its last results (none yet: empty ones) and hears why.
    if (!first) {
      auto kept = std::make_shared<Results::Snapshot>(*observer.last);
      kept->error = snapshot->error;
      handed = kept;
    }
  } else if (!first) {
    change = diffResults(observer.last->ids, snapshot->ids, rows->modified);
    observer.last = snapshot;
    if (change->empty()) return;
  } else {
    observer.last = snapshot;
  }
  std::weak_ptr<Database> weakDatabase = database_;
  calls.emplace_back(target, [&observer, weakDatabase, handed, change = std::move(change)] {
    auto database = weakDatabase.lock();
    if (!database) return;
    Results results(database, observer.schema, observer.query, handed);
    observer.block(results, change ? &*change : nullptr, handed->error);
  });
}

std::shared_ptr<const Results::Snapshot> ChangeNotifier::evaluate(const ResultsObserver& observer) {
  auto snapshot = std::make_shared<Results::Snapshot>();
  try {
    if (!connection_) connection_ = std::make_unique<sql::Connection>(path_, false);
    auto info = classes_.find(observer.schema->className());
    if (info == classes_.end()) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Object type '" + observer.schema->className() + "' is not in the schema");
    }
    auto memory = memory_.find(observer.schema->className());
    if (memory == memory_.end() || !memory->second->evaluate(*observer.query, {}, snapshot->ids, nullptr))
      snapshot->ids = evaluateQuery(*connection_, *info->second, *observer.query);
  } catch (const StoreException& e) {
    // Raised here it would end the process: the observer hears it instead.
    KVLog("Change notification of '%s' failed: %s", observer.schema->className().c_str(), e.what());
    snapshot->error = e.toError();
  }
  return snapshot;
}

void ChangeNotifier::deliver(Calls calls) {
  std::vector<std::pair<DispatchQueue*, std::shared_ptr<Calls>>> byQueue;  // in order of first call
  for (auto& call : calls) {
    DispatchQueue* queue = call.first->queue;
    auto it = std::find_if(byQueue.begin(), byQueue.end(), [&](const auto& q) { return q.first == queue; });
    if (it == byQueue.end()) it = byQueue.emplace(byQueue.end(), queue, std::make_shared<Calls>());
    it->second->push_back(std::move(call));
  }
  for (auto& [queue, queued] : byQueue) {
    auto run = [onQueue = queued] {
      for (auto& [observer, call] : *onQueue) observer->gate.run(call);
    };
    if (queue) queue->async(std::move(run));
    else run();
  }
}

}  // namespace store
