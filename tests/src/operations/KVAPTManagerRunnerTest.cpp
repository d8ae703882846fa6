// The runner: one command at a time, each caller with its own output and status.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "core/KVSourceLocation.h"
#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "support/DeviceRootFixture.h"
#include "support/Latch.h"
#include "support/ShellWait.h"

namespace {
class APTRunner : public DeviceRootFixture {
 protected:
  std::string waitForFileCommand(const std::string& file) {
    return "echo started; " + shellWaitForFile(file) + "; echo done";
  }
};
}  // namespace

TEST(APTBusyText, IsTheDocumentedText) {
  EXPECT_EQ(KVAPTManager::busyText().size(), 153u);
  EXPECT_EQ(KVAPTManager::busyText(),
            "APT is busy, you can only run one APT operation at a time.                                "
            "Please wait for the process to finish before starting a new one");
}

TEST_F(APTRunner, ASecondCommandIsRefusedAtOnceWhileOneRuns) {
  const std::string release = rootPath() + "/release";
  const std::string marker = rootPath() + "/second-ran";
  Latch started;
  KVAPTCommandResult first;
  std::thread runner([&] {
    first = KVAPTManager::commandResultForCommandAsRoot(
        KVAPTManager::launcherCommandLine(waitForFileCommand(release)),
        [&](const std::string& piece, const std::string&, bool, int32_t) {
          if (piece == "started\n") started.arrive();
        });
  });
  ASSERT_TRUE(started.wait());
  EXPECT_TRUE(KVAPTManager::running());
  EXPECT_EQ(KVAPTManager::status(), KVAPTManager::kRunningStatus);

  int calls = 0;
  auto counting = [&](const std::string&, const std::string&, bool, int32_t) { ++calls; };
  const std::string touch = KVAPTManager::launcherCommandLine("touch '" + marker + "'");
  EXPECT_EQ(KVAPTManager::resultsForCommandAsRoot(touch, counting, [&] { ++calls; }), KVAPTManager::busyText());
  EXPECT_EQ(KVAPTManager::resultsForCommandAsRoot(touch), std::nullopt);
  // A refused command is a failure, whatever the previous command's status was.
  EXPECT_FALSE(KVAPTManager::hold("com.example.tool", counting));
  EXPECT_FALSE(KVAPTManager::installDPKG(marker, counting));
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(Files::exists(marker));

  ASSERT_TRUE(Files::writeAtomically(release, std::string()));
  runner.join();
  EXPECT_TRUE(first.ran);
  EXPECT_EQ(first.output, "started\ndone\n");
  EXPECT_EQ(first.status, 0);
  EXPECT_FALSE(KVAPTManager::running());
  EXPECT_EQ(KVAPTManager::status(), 0);
  EXPECT_EQ(KVAPTManager::output(), "started\ndone\n");
}

TEST_F(APTRunner, CompletionRunsBeforeTheLastUpdateAndTheFlagIsDownByThen) {
  std::vector<std::string> events;
  std::string result = KVAPTManager::resultsForCommandAsRoot(
      KVAPTManager::launcherCommandLine("echo a; exit 9"),
      [&](const std::string& piece, const std::string& whole, bool finished, int32_t status) {
        events.push_back((finished ? "end:" : "piece:") + piece + "|" + whole + "|" + std::to_string(status) +
                         (KVAPTManager::running() ? "|running" : "|idle"));
      },
      [&] { events.push_back("completion:" + KVAPTManager::output().value_or("") + std::to_string(KVAPTManager::status())); });
  EXPECT_EQ(result, "a\n");
  EXPECT_EQ(events, (std::vector<std::string>{"piece:a\n|a\n|1|running", "completion:a\n999", "end:|a\n|9|idle"}));
  EXPECT_EQ(KVAPTManager::status(), 9);
}

TEST_F(APTRunner, EveryCallerGetsItsOwnRunsOutput) {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::vector<KVAPTCommandResult> results(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      ready++;
      while (ready < kThreads) std::this_thread::yield();
      results[i] = KVAPTManager::commandResultForCommandAsRoot(
          KVAPTManager::launcherCommandLine("echo run-" + std::to_string(i) + "; exit " + std::to_string(i)));
    });
  for (auto& t : threads) t.join();
  int ran = 0;
  for (int i = 0; i < kThreads; ++i) {
    if (results[i].ran) {
      ++ran;
      EXPECT_EQ(results[i].output, "run-" + std::to_string(i) + "\n");
      EXPECT_EQ(results[i].status, i);
    } else {
      EXPECT_EQ(results[i].output, KVAPTManager::busyText());
    }
  }
  EXPECT_GE(ran, 1);
  EXPECT_FALSE(KVAPTManager::running());
}

// Caches built ahead of a refresh's end were asked for by nobody: a command asked for
// meanwhile waits for them rather than finding APT busy. They spare the cache task its
// own build only while nothing APT reads has changed since they began.
TEST_F(APTRunner, CachesBuiltAheadMakeNoCommandWaitInVainAndCountOnlyWhileStillRight) {
  ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  KVAPTManager::generateCachesAhead();
  EXPECT_TRUE(KVAPTManager::takeCachesBuiltAhead());
  EXPECT_FALSE(KVAPTManager::takeCachesBuiltAhead()) << "once";
  EXPECT_TRUE(Files::exists(KVAPTManager::sandboxPath() + "/pkgcache.bin"));

  KVAPTManager::generateCachesAhead();
  KVAPTCommandResult result = KVAPTManager::commandResultForCommandAsRoot(KVAPTManager::launcherCommandLine("echo after"));
  EXPECT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.output.find("after"), std::string::npos) << result.output;
  EXPECT_FALSE(KVAPTManager::takeCachesBuiltAhead()) << "a command ran since";

  KVAPTManager::generateCachesAhead();
  EXPECT_EQ(KVAPTManager::writeReleaseContents("Origin: A\n", *KVSourceLocation::fromText("http://repo.example/")),
            nullptr);
  EXPECT_FALSE(KVAPTManager::takeCachesBuiltAhead()) << "a list file changed since";
}

TEST_F(APTRunner, ABlockThatThrowsLeavesTheRunnerFree) {
  EXPECT_THROW(KVAPTManager::runCommandAsRoot(KVAPTManager::launcherCommandLine("echo x"),
                                              [](const std::string&, const std::string&, bool, int32_t) {
                                                throw std::runtime_error("screen gone");
                                              },
                                              {}),
               std::runtime_error);
  EXPECT_FALSE(KVAPTManager::running());
  EXPECT_EQ(KVAPTManager::resultsForCommandAsRoot(KVAPTManager::launcherCommandLine("echo free")), "free\n");
}

TEST_F(APTRunner, HostileIdentifiersAreRefusedAndNothingRuns) {
  const std::string marker = rootPath() + "/pwned";
  std::vector<std::string> pieces;
  int32_t finalStatus = -1;
  auto record = [&](const std::string& piece, const std::string&, bool finished, int32_t status) {
    if (finished) finalStatus = status;
    else pieces.push_back(piece);
  };
  KVAPTManager::resultsForCommandAsRoot(KVAPTManager::launcherCommandLine("echo previous"));
  for (const std::string& hostile : {"com.a; touch " + marker, "$(touch " + marker + ")", "`touch " + marker + "`",
                                    "com.a\ntouch " + marker, std::string("com.a' '")}) {
    pieces.clear();
    EXPECT_FALSE(KVAPTManager::hold(hostile, record)) << hostile;
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].rfind("E: Refused the package identifier", 0), 0u) << pieces[0];
    EXPECT_EQ(finalStatus, KVAPTManager::kRefusedStatus);
    EXPECT_FALSE(KVAPTManager::unhold(hostile, {}));
    EXPECT_FALSE(KVAPTManager::install("com.ok " + hostile, {}));
    EXPECT_FALSE(KVAPTManager::remove(hostile, {}));
    EXPECT_TRUE(KVAPTManager::depends(hostile).empty());
    EXPECT_TRUE(KVAPTManager::availableVersionsForIdentifier(hostile).empty());
    EXPECT_TRUE(KVAPTManager::installedFilesForIdentifer(hostile).empty());
    EXPECT_FALSE(KVAPTManager::dryRunForQueue(hostile).ran);
  }
  EXPECT_FALSE(Files::exists(marker));
  // Nothing ran: the last command's output is still the one before.
  EXPECT_EQ(KVAPTManager::output(), "previous\n");
}
