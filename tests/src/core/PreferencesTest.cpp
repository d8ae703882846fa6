#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/PersistentDictionary.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Files.h"
#include "support/ManualClock.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"

namespace {
TEST(PersistentDictionaryTest, ManyChangesGiveOneWriteOneSecondAfterTheLast) {
  ManualClock clock;
  TempDir dir;
  PersistentDictionary store(dir.file("p.plist"));
  for (int i = 0; i < 10; ++i) {
    store.setObject(i, "key" + std::to_string(i));
    clock.advance(0.5);  // each change comes before the previous save was due
  }
  EXPECT_EQ(store.writeCount(), 0u);
  clock.advance(0.4);
  EXPECT_EQ(store.writeCount(), 0u);
  clock.advance(0.2);
  EXPECT_EQ(store.writeCount(), 1u);
  clock.advance(5);
  EXPECT_EQ(store.writeCount(), 1u);
  auto onDisk = Value::fromPropertyListFile(dir.file("p.plist"));
  ASSERT_TRUE(onDisk);
  EXPECT_EQ((*onDisk)["key9"].asInt(), 9);
}

TEST(PersistentDictionaryTest, SaveToFileNowCancelsThePendingWrite) {
  ManualClock clock;
  TempDir dir;
  PersistentDictionary store(dir.file("p.plist"));
  store.setObject(true, "setupDone");
  store.saveToFile();
  EXPECT_EQ(store.writeCount(), 1u);
  clock.advance(2);
  EXPECT_EQ(store.writeCount(), 1u);
  EXPECT_FALSE(store.hasUnsavedChanges());
}

TEST(PersistentDictionaryTest, ChangesFromABackgroundThreadAreStillWritten) {
  ManualClock clock;
  TempDir dir;
  PersistentDictionary store(dir.file("p.plist"));
  std::thread([&] { store.setObject("blue", "palette"); }).join();
  clock.advance(1.1);
  EXPECT_EQ(store.writeCount(), 1u);
}

TEST(PersistentDictionaryTest, TypedReadingsOfAbsentAndPresentKeys) {
  TempDir dir;
  PersistentDictionary store(dir.file("p.plist"));
  EXPECT_FALSE(store.boolForKey("missing"));
  EXPECT_EQ(store.integerForKey("missing"), 0);
  EXPECT_FALSE(store.stringForKey("missing"));
  store.setObject("12", "n");
  EXPECT_EQ(store.integerForKey("n"), 12);
  store.setValueForKeyPath(true, "outer.inner");
  EXPECT_TRUE(store.valueForKeyPath("outer.inner").asBool());
  store.setValue(Value(), "n");
  EXPECT_FALSE(store.objectForKey("n").isNull() == false);
}

TEST(PersistentDictionaryTest, UnreadableFileGivesAnEmptyStore) {
  TempDir dir;
  Files::writeAtomically(dir.file("p.plist"), std::string("not a property list"));
  PersistentDictionary store(dir.file("p.plist"));
  EXPECT_TRUE(store.dictionary().empty());
}

TEST(PersistentDictionaryTest, AKillMidWriteLeavesTheOldFileReadable) {
  TempDir dir;
  std::string path = dir.file("p.plist");
  {
    PersistentDictionary store(path);
    store.setObject(true, "setupDone");
    store.saveToFile();
  }
  // A child writes a large dictionary over and over and is killed at some point once
  // it has written a few times (it says so through a pipe).
  int written[2];
  ASSERT_EQ(pipe(written), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(written[0]);
    PersistentDictionary store(path);
    std::string big(1 << 20, 'x');
    for (int i = 0;; ++i) {
      store.setObject(big + std::to_string(i), "filler");
      store.saveToFile();
      if (i == 2 && write(written[1], "w", 1) != 1) _exit(1);
    }
  }
  close(written[1]);
  pollfd ready{written[0], POLLIN, 0};
  EXPECT_EQ(poll(&ready, 1, 20000), 1) << "the child never got through three writes";
  kill(child, SIGKILL);
  close(written[0]);
  waitpid(child, nullptr, 0);
  PersistentDictionary reread(path);
  EXPECT_TRUE(reread.boolForKey("setupDone"));
}

class SharedPreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override { QuillbarkPersistentPreferences::resetSharedInstance(); }
  ScopedDeviceRoot root;
};

TEST_F(SharedPreferencesTest, DefaultsAreWrittenOnAFreshDevice) {
  auto& prefs = QuillbarkPersistentPreferences::sharedInstance();
  prefs.mergeDefaultPreferences();
  auto onDisk = Value::fromPropertyListFile(QuillbarkPersistentPreferences::preferencesPath());
  ASSERT_TRUE(onDisk);
  EXPECT_EQ(onDisk->size(), 25u);
  EXPECT_TRUE((*onDisk)["ShowNotificationsInsteadOfErrorAlerts"].asBool());
  EXPECT_EQ((*onDisk)["SortInstalledPackagesBy"].asString(), "Name");
  EXPECT_TRUE((*onDisk)["NewsCount"].isInteger());
  EXPECT_TRUE((*onDisk)["PlaySounds"].isBool());
}

TEST_F(SharedPreferencesTest, MissingKeysAreAddedAndPresentOnesKept) {
  std::string path = QuillbarkPersistentPreferences::preferencesPath();
  Files::createDirectories(Files::deletingLastPathComponent(path));
  Files::writeAtomically(path, Value::dict({{"DarkMode", true}, {"setupDone", true}}).toXMLPropertyList());
  QuillbarkPersistentPreferences::resetSharedInstance();
  auto& prefs = QuillbarkPersistentPreferences::sharedInstance();
  prefs.mergeDefaultPreferences();
  EXPECT_TRUE(prefs.boolForKey("DarkMode"));
  EXPECT_TRUE(prefs.boolForKey("setupDone"));
  EXPECT_TRUE(prefs.boolForKey("UseTranslucentBars"));
  EXPECT_EQ(prefs.dictionary().size(), 26u);
}

TEST_F(SharedPreferencesTest, AFolderInPlaceOfTheFileIsReplaced) {
  std::string path = QuillbarkPersistentPreferences::preferencesPath();
  Files::createDirectories(path + "/junk");
  QuillbarkPersistentPreferences::resetSharedInstance();
  QuillbarkPersistentPreferences::sharedInstance().mergeDefaultPreferences();
  EXPECT_FALSE(Files::isDirectory(path));
  auto onDisk = Value::fromPropertyListFile(path);
  ASSERT_TRUE(onDisk);
  EXPECT_EQ(onDisk->size(), 25u);
}
}  // namespace

namespace {
TEST_F(SharedPreferencesTest, ADamagedFileIsKeptBesideTheNewOneAndTheReplacementLogged) {
  std::string path = QuillbarkPersistentPreferences::preferencesPath();
  std::string folder = Files::deletingLastPathComponent(path);
  Files::createDirectories(folder);
  const std::string damaged = "<?xml version=\"1.0\"?><plist><dict><key>setupDone</key><tr";
  Files::writeAtomically(path, damaged);
  testing::internal::CaptureStderr();
  QuillbarkPersistentPreferences::resetSharedInstance();
  QuillbarkPersistentPreferences::sharedInstance().mergeDefaultPreferences();
  std::string logged = testing::internal::GetCapturedStderr();

  std::vector<std::string> kept;
  for (const auto& name : Files::contentsOfDirectory(folder))
    if (name.rfind(std::string(QuillbarkPersistentPreferences::kFileName) + ".damaged-20", 0) == 0) kept.push_back(name);
  ASSERT_EQ(kept.size(), 1u) << "the unreadable file is kept under a dated name";
  EXPECT_EQ(Files::readText(folder + "/" + kept[0]), damaged) << "byte for byte";
  auto fresh = Value::fromPropertyListFile(path);
  ASSERT_TRUE(fresh) << "a readable file replaces it";
  EXPECT_EQ(fresh->size(), 25u);
  EXPECT_NE(logged.find(kept[0]), std::string::npos) << logged;

  // A second damaged file in the same second gets a name of its own.
  Files::writeAtomically(path, std::string("again"));
  QuillbarkPersistentPreferences::resetSharedInstance();
  QuillbarkPersistentPreferences::sharedInstance().mergeDefaultPreferences();
  size_t keptNow = 0;
  for (const auto& name : Files::contentsOfDirectory(folder)) keptNow += name.find(".damaged-") != std::string::npos;
  EXPECT_EQ(keptNow, 2u);
}

// A package can leave a named pipe in the file's place: it is not waited for, but set
// aside as a file that can't be read is.
TEST(PersistentDictionaryTest, ANamedPipeInTheFilesPlaceIsSetAsideWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("p.plist").c_str(), 0644), 0);
  PersistentDictionary store(dir.file("p.plist"));
  EXPECT_TRUE(store.replacedUnreadableFile());
  EXPECT_FALSE(Files::exists(dir.file("p.plist")));
}

TEST(PersistentDictionaryTest, AMissingFileIsNoDamage) {
  TempDir dir;
  PersistentDictionary store(dir.file("p.plist"));
  store.reloadFromFile();
  EXPECT_EQ(Files::contentsOfDirectory(dir.path()).size(), 0u);
}
}  // namespace
