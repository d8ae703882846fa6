#include "operations/KVStreamingTask.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/ShellWait.h"
#include "support/TempDir.h"

namespace {
struct Call {
  std::string piece;
  std::string whole;
  bool finished;
  int32_t status;
};

std::vector<Call> run(const std::string& command, std::shared_ptr<KVStreamingTask>* taskOut = nullptr) {
  std::vector<Call> calls;
  size_t joined = 0;
  auto task = KVStreamingTask::streamingTaskForCommand(
      command, [&](const std::string& piece, const std::string& whole, bool finished, int32_t status) {
        // The whole output always ends with the pieces so far; it is kept only for the
        // first calls and the last, so a long output stays cheap to record.
        joined += piece.size();
        EXPECT_EQ(whole.size(), joined);
        EXPECT_EQ(whole.compare(whole.size() - piece.size(), piece.size(), piece), 0);
        calls.push_back({piece, calls.size() < 8 || finished ? whole : std::string(), finished, status});
      });
  if (taskOut) *taskOut = task;
  return calls;
}

std::string joinedPieces(const std::vector<Call>& calls) {
  std::string out;
  for (const auto& c : calls) out += c.piece;
  return out;
}
}  // namespace

TEST(KVStreamingTask, SilentCommandGivesOneFinalCall) {
  std::shared_ptr<KVStreamingTask> task;
  auto calls = run("exit 6", &task);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].piece, "");
  EXPECT_EQ(calls[0].whole, "");
  EXPECT_TRUE(calls[0].finished);
  EXPECT_EQ(calls[0].status, 6);
  EXPECT_FALSE(task->completeOutput().has_value());
  EXPECT_EQ(task->task(), nullptr);
  EXPECT_EQ(task->fileHandle(), -1);
}

TEST(KVStreamingTask, PiecesAreWholeLinesThenTheExitStatus) {
  auto calls = run("echo one; echo two >&2; printf 'three'; exit 3");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].piece, "one\n");
  EXPECT_EQ(calls[1].piece, "two\n");
  EXPECT_EQ(calls[2].piece, "three");
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(calls[i].finished);
    EXPECT_EQ(calls[i].status, 1);
  }
  EXPECT_EQ(calls[1].whole, "one\ntwo\n");
  EXPECT_TRUE(calls[3].finished);
  EXPECT_EQ(calls[3].status, 3);
  EXPECT_EQ(calls[3].piece, "");
  EXPECT_EQ(calls[3].whole, "one\ntwo\nthree");
}

TEST(KVStreamingTask, PiecesArriveOnTheCallingThreadWhileTheCommandRuns) {
  // The command goes on only once the block has seen its first line (it gives up after
  // ten seconds), so the line must arrive before the command ends.
  TempDir dir;
  const std::string go = dir.file("go");
  const std::string command =
      "echo first; " + shellWaitForFile(go) + "; if [ -e '" + go + "' ]; then echo released; else echo gave up; fi";
  const auto caller = std::this_thread::get_id();
  bool everyCallOnCaller = true;
  std::string whole;
  KVStreamingTask::streamingTaskForCommand(command, [&](const std::string& piece, const std::string& w, bool finished,
                                                        int32_t) {
    everyCallOnCaller = everyCallOnCaller && std::this_thread::get_id() == caller;
    if (piece == "first\n") {
      if (FILE* f = std::fopen(go.c_str(), "w")) std::fclose(f);
    }
    if (finished) whole = w;
  });
  EXPECT_EQ(whole, "first\nreleased\n");
  EXPECT_TRUE(everyCallOnCaller);
}

TEST(KVStreamingTask, ALoneLineFeedIsKept) {
  auto calls = run("printf '\\n'");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].piece, "\n");
  EXPECT_EQ(calls[1].whole, "\n");
}

TEST(KVStreamingTask, ALineWrittenInTwoHalvesArrivesAsOneLine) {
  auto calls = run("printf 'first half, '; printf 'second half\\n'");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].piece, "first half, second half\n");
}

TEST(KVStreamingTask, LinesAreWholeWhereverTheReadsCut) {
  const std::string text = "first line\nsecond \xC3\xA9 line\n\nlast without feed";
  const std::vector<std::string> expected = {"first line\n", "second \xC3\xA9 line\n", "\n"};
  // Every way of cutting the bytes into two reads, and byte by byte.
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    KVStreamingTask::LineBuffer buffer;
    std::vector<std::string> lines;
    auto onLine = [&](std::string line) { lines.push_back(std::move(line)); };
    buffer.append(std::string_view(text).substr(0, cut), onLine);
    buffer.append(std::string_view(text).substr(cut), onLine);
    EXPECT_EQ(lines, expected) << cut;
    EXPECT_EQ(buffer.finish(), "last without feed") << cut;
    EXPECT_EQ(buffer.finish(), std::nullopt);
  }
  KVStreamingTask::LineBuffer bytewise;
  std::vector<std::string> lines;
  for (char c : text) bytewise.append(std::string_view(&c, 1), [&](std::string line) { lines.push_back(line); });
  EXPECT_EQ(lines, expected);
}

TEST(KVStreamingTask, OutputLargerThanThePipeJustBeforeExitArrivesWhole) {
  // 200,000 numbered lines (about 1.3 MB) and an immediate exit.
  auto calls = run("seq 1 200000; exit 0");
  ASSERT_EQ(calls.size(), 200001u);
  EXPECT_EQ(calls[0].piece, "1\n");
  EXPECT_EQ(calls[199999].piece, "200000\n");
  std::string expected;
  for (int i = 1; i <= 200000; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(calls.back().whole, expected);
  EXPECT_EQ(joinedPieces(calls), expected);
}

TEST(KVStreamingTask, Utf8SurvivesAndInvalidBytesAreReplaced) {
  auto calls = run("printf 'Pr\\303\\251paration \\342\\200\\224 ok\\n'; printf 'bad \\377 byte\\n'; printf 'cut \\303'");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].piece, "Pr\xC3\xA9paration \xE2\x80\x94 ok\n");
  EXPECT_EQ(calls[1].piece, "bad \xEF\xBF\xBD byte\n");
  EXPECT_EQ(calls[2].piece, "cut \xEF\xBF\xBD");
}

TEST(KVStreamingTask, ShortAndNonAsciiPiecesAreNotDropped) {
  auto calls = run("printf 'x'; printf '\\n\\303\\251\\n'");
  EXPECT_EQ(calls.back().whole, "x\n\xC3\xA9\n");
}

TEST(KVStreamingTask, ShellFailuresArriveAsOutputAndStatus) {
  auto calls = run("/nonexistent/tool --flag");
  ASSERT_GE(calls.size(), 2u);
  EXPECT_NE(calls[0].piece.find("/nonexistent/tool"), std::string::npos);
  EXPECT_EQ(calls.back().status, 127);
}

TEST(KVStreamingTask, OneInstanceRunsOneCommandAtATime) {
  KVStreamingTask task;
  bool threw = false;
  task.runStreamingCommand("echo outer", [&](const std::string&, const std::string&, bool finished, int32_t) {
    if (finished) return;
    try {
      task.runStreamingCommand("echo inner", {});
    } catch (const std::logic_error& e) {
      threw = std::string(e.what()) == KVStreamingTask::kConcurrentUseMessage;
    }
  });
  EXPECT_TRUE(threw);
  // The instance is free again afterwards.
  std::string whole;
  task.runStreamingCommand("echo again", [&](const std::string&, const std::string& w, bool, int32_t) { whole = w; });
  EXPECT_EQ(whole, "again\n");
}

TEST(KVStreamingTask, SeparateInstancesRunOnSeparateThreadsAtOnce) {
  std::string a, b;
  // Each command waits for the other's file, so they finish only when both run together.
  TempDir dir;
  std::string fa = dir.file("a"), fb = dir.file("b");
  std::thread t([&] {
    KVStreamingTask::streamingTaskForCommand("touch '" + fa + "'; " + shellWaitForFile(fb) + "; echo a",
                                             [&](const std::string&, const std::string& w, bool, int32_t) { a = w; });
  });
  KVStreamingTask::streamingTaskForCommand("touch '" + fb + "'; " + shellWaitForFile(fa) + "; echo b",
                                           [&](const std::string&, const std::string& w, bool, int32_t) { b = w; });
  t.join();
  EXPECT_EQ(a, "a\n");
  EXPECT_EQ(b, "b\n");
}

TEST(KVStreamingTask, DecodesUtf8Lossily) {
  EXPECT_EQ(KVStreamingTask::decodeUTF8Lossy("plain"), "plain");
  EXPECT_EQ(KVStreamingTask::decodeUTF8Lossy("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(KVStreamingTask::decodeUTF8Lossy("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");       // overlong
  EXPECT_EQ(KVStreamingTask::decodeUTF8Lossy("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(KVStreamingTask::decodeUTF8Lossy("\xE2\x80x"), "\xEF\xBF\xBDx");  // truncated sequence
}
