#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "store/SqliteConnection.h"
#include "store/StoreException.h"
#include "StoreTestSchema.h"
#include "support/TempDir.h"
#include "support/Written.h"

using store::StoreException;

namespace {

// The kind of failure that opening answers, as an error value (never raised).
std::optional<StoreException::Kind> openFailure(const std::string& path) {
  auto opened = store::Database::open(storetest::configuration(path));
  if (opened) return std::nullopt;
  EXPECT_EQ(opened.error()->domain, store::StoreErrorDomain);
  return static_cast<StoreException::Kind>(opened.error()->code);
}

// Kills the child when the test leaves early, so no writer outlives a failed check.
struct ChildGuard {
  pid_t pid;
  ~ChildGuard() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

// Forks a writer that commits commit(db, i) for i = 0, 1, ... and reports each commit on
// a pipe, and kills it once it has reported `commits` of them, whatever it is doing then.
// Gives the last commit the writer reported (-1 when it stopped reporting).
int killWriterAfter(const std::string& path, int commits, int timeoutMs,
                    const std::function<void(store::Database&, int)>& commit) {
  int progress[2];
  if (pipe(progress) != 0) {
    ADD_FAILURE() << "no pipe";
    return -1;
  }
  pid_t child = fork();
  if (child < 0) ADD_FAILURE() << "no fork";
  if (child == 0) {
    close(progress[0]);
    auto db = store::Database::open(storetest::configuration(path)).value();
    for (int i = 0;; ++i) {
      written(db->write([&] { commit(*db, i); }));
      (void)!write(progress[1], &i, sizeof i);
    }
  }
  ChildGuard guard{child};
  close(progress[1]);
  int reported = -1;
  while (child > 0 && reported < commits) {
    pollfd pfd{progress[0], POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) != 1 ||
        read(progress[0], &reported, sizeof reported) != static_cast<ssize_t>(sizeof reported)) {
      ADD_FAILURE() << "the writer stopped reporting after commit " << reported;
      reported = -1;
      break;
    }
  }
  close(progress[0]);
  return reported;
}

void writeItems(store::Database& db, int from, int to) {
  written(db.write([&] {
    for (int i = from; i < to; ++i) {
      auto o = db.makeObject("Item");
      o.set("key", "k" + std::to_string(i));
      o.set("name", std::string(200, 'x'));
      db.add(o);
    }
  }));
}

TEST(StoreDurability, AFileThatIsNoDatabaseIsRefused) {
  TempDir dir;
  std::string path = dir.file("bad.realm");
  ASSERT_TRUE(Files::writeAtomically(path, std::string(8192, 'Q')));
  EXPECT_EQ(openFailure(path), StoreException::Kind::InvalidDatabase);
  // Removing it with its companions makes room for a fresh, empty one.
  EXPECT_TRUE(store::Database::deleteFiles(path));
  EXPECT_EQ(store::Database::open(storetest::configuration(path)).value()->objects("Item").count(), 0u);
}

TEST(StoreDurability, AMissingFolderOrNoPathIsAnError) {
  TempDir dir;
  EXPECT_EQ(openFailure(dir.file("no/such/folder/x.realm")), StoreException::Kind::FileAccess);
  EXPECT_EQ(openFailure(""), StoreException::Kind::FileAccess);
  store::Database::setDefaultConfiguration({});
  EXPECT_FALSE(store::Database::openDefaultDatabase());
  EXPECT_EQ(store::Database::defaultDatabase(), nullptr);
}

// Overwrites the file from its middle on, as a failing disk might.
void damageSecondHalf(const std::string& path) {
  auto size = Files::fileSize(path);
  ASSERT_TRUE(size && *size > 64 * 1024);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(*size / 2));
  std::string junk(static_cast<size_t>(*size - *size / 2), '\xA5');
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

// Damage a read finds reads as nothing, with its reason; opening the file again finds it
// at once.
TEST(StoreDurability, ADamagedFileReadsAsNothingAndIsRefusedWhenOpened) {
  TempDir dir;
  std::string path = dir.file("damaged.realm");
  auto db = store::Database::open(storetest::configuration(path)).value();
  writeItems(*db, 0, 400);
  db->compact();  // everything in the main file
  damageSecondHalf(path);
  store::Results items = db->objects("Item").sorted("name");
  EXPECT_EQ(items.count(), 0u);
  ASSERT_TRUE(items.error());
  EXPECT_EQ(items.error()->domain, store::StoreErrorDomain);
  EXPECT_EQ(items.error()->code, static_cast<int64_t>(StoreException::Kind::InvalidDatabase));
  EXPECT_FALSE(db->objectForPrimaryKey("Item", "k399"));
  items = {};
  db.reset();
  EXPECT_EQ(openFailure(path), StoreException::Kind::InvalidDatabase);
}

// Opening reads only what it needs; damage no read has met is found by the daily check
// of every page off the opening thread, and the file is refused the next time.
TEST(StoreDurability, DamageNoReadMetIsFoundByTheDailyCheck) {
  TempDir dir;
  std::string path = dir.file("unread.realm");
  {
    auto db = store::Database::open(storetest::configuration(path)).value();
    writeItems(*db, 0, 400);
    db->compact();
  }
  {
    // As if the last check were two days old.
    store::sql::Connection c(path, false);
    c.exec("UPDATE __store_meta SET value = value - 2 * 86400 WHERE key = 'checked'");
  }
  damageSecondHalf(path);
  auto db = store::Database::open(storetest::configuration(path)).value();
  ASSERT_TRUE(db) << "opening reads only the first pages";
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues());
  EXPECT_TRUE(Files::exists(path + ".damaged"));
  db.reset();
  EXPECT_EQ(openFailure(path), StoreException::Kind::InvalidDatabase);
}

// A child process writes, commits, starts another transaction and is killed with
// SIGKILL in the middle of it: everything it committed is there, nothing else.
TEST(StoreDurability, AKillDuringAWriteTransactionLosesNoCommittedData) {
  TempDir dir;
  std::string path = dir.file("killed.realm");
  writeItems(*store::Database::open(storetest::configuration(path)).value(), 0, 10);  // closed again before the fork
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    auto db = store::Database::open(storetest::configuration(path)).value();
    writeItems(*db, 10, 500);  // committed
    db->beginWrite();
    for (int i = 500; i < 5000; ++i) {
      auto o = db->makeObject("Item");
      o.set("key", "k" + std::to_string(i));
      o.set("name", std::string(500, 'y'));
      db->add(o);
    }
    db->setValue(*db->objectForPrimaryKey("Item", "k0"), "name", "uncommitted");
    (void)!write(ready[1], "r", 1);
    pause();  // killed here, inside the transaction
    _exit(0);
  }
  ChildGuard guard{child};
  close(ready[1]);
  pollfd pfd{ready[0], POLLIN, 0};
  ASSERT_EQ(poll(&pfd, 1, 30000), 1);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  guard.pid = 0;
  ASSERT_TRUE(WIFSIGNALED(status));

  auto db = store::Database::open(storetest::configuration(path)).value();
  EXPECT_EQ(db->objects("Item").count(), 500u);
  EXPECT_TRUE(db->objectForPrimaryKey("Item", "k499"));
  EXPECT_FALSE(db->objectForPrimaryKey("Item", "k500"));
  EXPECT_NE(db->objectForPrimaryKey("Item", "k0")->getString("name"), "uncommitted");
  writeItems(*db, 500, 510);  // the dead writer's lock is gone
  EXPECT_EQ(db->objects("Item").count(), 510u);
}

// Killed at an arbitrary moment of a stream of small commits, including inside a
// commit: the file holds a prefix of them, at least every one the child reported.
TEST(StoreDurability, AKillAtAnyMomentLeavesAPrefixOfTheCommits) {
  TempDir dir;
  std::string path = dir.file("stream.realm");
  store::Database::open(storetest::configuration(path)).value().reset();
  int reported = killWriterAfter(path, 60, 30000, [](store::Database& db, int i) {
    auto o = db.makeObject("Item");
    o.set("key", "k" + std::to_string(i));
    o.set("count", i);
    db.add(o);
    db.createOrUpdate("Item", Value::dict({{"key", "last"}, {"count", i}}));
  });
  ASSERT_GE(reported, 60);

  auto db = store::Database::open(storetest::configuration(path)).value();
  auto last = db->objectForPrimaryKey("Item", "last");
  ASSERT_TRUE(last);
  int64_t n = *last->getInt("count");
  EXPECT_GE(n, reported);
  EXPECT_EQ(db->objects("Item", "key != 'last'").count(), static_cast<size_t>(n + 1));
  EXPECT_EQ(db->objects("Item", "count > %@ AND key != 'last'", n).count(), 0u);
}

TEST(StoreDurability, OpeningAnUnchangedFileWritesNothing) {
  TempDir dir;
  std::string path = dir.file("same.realm");
  {
    auto db = store::Database::open(storetest::configuration(path)).value();
    writeItems(*db, 0, 50);
  }
  const auto before = Files::read(path);
  ASSERT_TRUE(before);
  for (int i = 0; i < 2; ++i) {
    auto db = store::Database::open(storetest::configuration(path)).value();
    EXPECT_EQ(db->objects("Item").count(), 50u);
    EXPECT_EQ(Files::fileSize(path + "-wal").value_or(0), 0u) << "a start wrote to the log";
  }
  EXPECT_TRUE(Files::read(path) == before) << "a start changed the file";
}

TEST(StoreDurability, CompactionOnLaunchShrinksAFileWithFreePages) {
  TempDir dir;
  std::string path = dir.file("big.realm");
  {
    auto db = store::Database::open(storetest::configuration(path)).value();
    written(db->write([&] {
      for (int i = 0; i < 300; ++i) {
        auto o = db->makeObject("Item");
        o.set("key", "k" + std::to_string(i));
        o.set("blob", Data(16384, static_cast<uint8_t>(i)));
        db->add(o);
      }
    }));
    written(db->write([&] { db->deleteObjects(db->objects("Item", "key BEGINSWITH 'k1'")); }));
  }
  uint64_t askedTotal = 0, askedUsed = 0;
  auto config = storetest::configuration(path);
  config.shouldCompactOnLaunch = [&](uint64_t total, uint64_t used) {
    askedTotal = total;
    askedUsed = used;
    return false;
  };
  store::Database::open(config).value().reset();
  uint64_t before = *Files::fileSize(path);
  EXPECT_EQ(askedTotal, before);
  EXPECT_LT(askedUsed, askedTotal * 8 / 10);
  config.shouldCompactOnLaunch = [](uint64_t, uint64_t) { return true; };
  auto db = store::Database::open(config).value();
  EXPECT_LT(*Files::fileSize(path), before * 8 / 10);
  EXPECT_EQ(db->objects("Item").count(), 300u - 111u);
}

}  // namespace

// Commits large enough that their pages are copied from the log back into the file
// while later ones are written; killed at an arbitrary moment (often inside such a
// copy), the file still holds every commit the child reported, and opens cleanly.
TEST(StoreDurability, AKillWhileCommittedPagesAreCopiedBackLosesNothing) {
  TempDir dir;
  std::string path = dir.file("large.realm");
  store::Database::open(storetest::configuration(path)).value().reset();
  constexpr int kPerCommit = 2000;  // about 2 MB each: a few of them pass the log's threshold
  int reported = killWriterAfter(path, 12, 60000, [&](store::Database& db, int i) {
    for (int j = 0; j < kPerCommit; ++j) {
      auto o = db.makeObject("Item");
      o.set("key", "k" + std::to_string(i * kPerCommit + j));
      o.set("name", std::string(1000, static_cast<char>('a' + i % 26)));
      o.set("count", i);
      db.add(o);
    }
  });
  ASSERT_GE(reported, 12);

  auto db = store::Database::open(storetest::configuration(path)).value();
  size_t count = db->objects("Item").count();
  ASSERT_EQ(count % kPerCommit, 0u);  // whole commits only
  EXPECT_GE(count, static_cast<size_t>((reported + 1) * kPerCommit));
  int commits = static_cast<int>(count / kPerCommit);
  EXPECT_EQ(db->objects("Item", "count = %@", commits - 1).count(), static_cast<size_t>(kPerCommit));
  EXPECT_EQ(db->objects("Item", "count = 0 AND name BEGINSWITH 'a'").count(), static_cast<size_t>(kPerCommit));
}

// A reader that began before a large commit keeps its pages in the log; once it is done,
// they reach the file without another commit to ask for it, and the log is emptied.
TEST(StoreDurability, PagesAReaderKeptInTheLogReachTheFileOnceItIsDone) {
  TempDir dir;
  std::string path = dir.file("kept.realm");
  auto db = store::Database::open(storetest::configuration(path)).value();
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM Item;", nullptr, nullptr, nullptr), SQLITE_OK);
  const uint64_t before = *Files::fileSize(path);
  // More than the log's threshold in one commit.
  written(db->write([&] {
    for (int j = 0; j < 9000; ++j) {
      auto o = db->makeObject("Item");
      o.set("key", "k" + std::to_string(j));
      o.set("name", std::string(1000, 'x'));
      db->add(o);
    }
  }));
  usleep(300000);
  EXPECT_LT(*Files::fileSize(path), before + (1u << 20)) << "the reader's snapshot holds the pages in the log";
  sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  bool copied = false;
  for (int i = 0; i < 60 && !copied; ++i) {
    usleep(50000);
    copied = *Files::fileSize(path) > before + (8u << 20);
  }
  EXPECT_TRUE(copied) << *Files::fileSize(path) << " bytes in the file";
  // Copied whole and read by nobody, the long log is emptied: a program that ends without
  // closing the file leaves nothing to be read again at its next start.
  bool emptied = false;
  for (int i = 0; i < 100 && !emptied; ++i) {
    usleep(50000);
    emptied = Files::fileSize(path + "-wal").value_or(0) == 0;
  }
  EXPECT_TRUE(emptied) << Files::fileSize(path + "-wal").value_or(0) << " bytes in the log";
  EXPECT_EQ(db->objects("Item").count(), 9000u);
}

// An id names one row for the life of the file: not the id of a row deleted from the end
// (in the same write too), nor one a cancelled write gave, after reopening too, nor one a file made by an older
// store gave out (its count lies in SQLite's sequence table).
TEST(StoreDurability, AnIdIsNeverGivenTwice) {
  TempDir dir;
  const std::string path = dir.file("ids.realm");
  auto idOf = [](store::Database& db, const std::string& key) { return db.objectForPrimaryKey("Item", key)->objectId(); };
  auto add = [](store::Database& db, const std::string& key) {
    auto o = db.makeObject("Item");
    o.set("key", key);
    written(db.write([&] { db.add(o); }));
  };
  int64_t highest = 0;
  {
    auto db = store::Database::open(storetest::configuration(path)).value();
    add(*db, "a");
    add(*db, "b");
    const int64_t b = idOf(*db, "b");
    written(db->write([&] { db->deleteObject(*db->objectForPrimaryKey("Item", "b")); }));
    add(*db, "c");
    EXPECT_GT(idOf(*db, "c"), b);
    db->beginWrite();
    auto cancelled = db->makeObject("Item");
    cancelled.set("key", "cancelled");
    db->add(cancelled);
    db->cancelWrite();
    add(*db, "d");
    EXPECT_GT(idOf(*db, "d"), idOf(*db, "c"));
    // A row added, deleted and another added in one write.
    int64_t gone = 0;
    written(db->write([&] {
      auto added = db->makeObject("Item");
      added.set("key", "gone");
      gone = db->add(added);
      db->deleteObject(*db->objectForPrimaryKey("Item", "gone"));
      auto again = db->makeObject("Item");
      again.set("key", "d2");
      db->add(again);
    }));
    EXPECT_GT(idOf(*db, "d2"), gone);
    written(db->write([&] { db->deleteObject(*db->objectForPrimaryKey("Item", "d2")); }));
    highest = idOf(*db, "d");
    written(db->write([&] { db->deleteObject(*db->objectForPrimaryKey("Item", "d")); }));
  }
  {
    auto db = store::Database::open(storetest::configuration(path)).value();
    add(*db, "e");
    EXPECT_GT(idOf(*db, "e"), highest);
    EXPECT_EQ(db->objects("Item").count(), 3u);
  }
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE older (_id INTEGER PRIMARY KEY AUTOINCREMENT); "
                           "INSERT INTO sqlite_sequence (name, seq) VALUES ('Item', 500); DROP TABLE older;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    auto db = store::Database::open(storetest::configuration(path)).value();
    add(*db, "f");
    EXPECT_EQ(idOf(*db, "f"), 501);
  }
}
