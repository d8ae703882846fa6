// What the refresh's threads hand each other: items through a bounded ring, bytes through
// a channel of chunks or a file followed as it is written; in order, whole, and a consumer that gives up lets the producer go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "database/KVChunkChannel.h"
#include "database/KVHandoff.h"
#include "foundation/Files.h"
#include "support/TempDir.h"

TEST(Handoff, ItemsArriveInOrderThroughARingThatWrapsAndAGiveUpFreesTheProducer) {
  // A ring of 7 places wraps many times; texts past the short-string size live apart.
  KVHandoff<std::string> items(7);
  const int count = 20000;
  std::thread producer([&] {
    for (int i = 0; i < count; ++i)
      if (!items.push("item number " + std::to_string(i) + " of the long run")) return;
    items.close();
  });
  int seen = 0;
  while (auto item = items.pop()) {
    ASSERT_EQ(*item, "item number " + std::to_string(seen) + " of the long run");
    ++seen;
  }
  producer.join();
  EXPECT_EQ(seen, count);

  KVHandoff<std::vector<int>> abandoned(3);
  bool refused = false;
  std::thread stuck([&] {
    for (int i = 0; i < 100 && !refused; ++i) refused = !abandoned.push(std::vector<int>(1000, i));
  });
  EXPECT_EQ((*abandoned.pop())[0], 0);
  abandoned.abandon();
  stuck.join();
  EXPECT_TRUE(refused);
}

TEST(Handoff, ChunkChannelCarriesEveryByteWhateverTheSizesOfWritesAndReads) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(3 * 1024 * 1024);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  KVChunkChannel channel(2);
  std::thread writer([&] {
    std::mt19937 sizes(11);
    for (size_t at = 0; at < bytes.size();) {
      size_t n = std::min<size_t>(bytes.size() - at, 1 + sizes() % (300 * 1024));
      if (!channel.write(bytes.data() + at, n)) break;
      at += n;
    }
    channel.close();
  });
  std::vector<uint8_t> read;
  std::vector<char> buffer(100 * 1024);
  for (ssize_t n; (n = channel.read(buffer.data(), 1 + random() % buffer.size())) > 0;)
    read.insert(read.end(), buffer.begin(), buffer.begin() + n);
  writer.join();
  EXPECT_TRUE(read == bytes);
}

// The reader follows a file as it is written, through a descriptor of its own; once it
// gives up, the writer is told to stop.
TEST(Handoff, FileFollowerReadsEveryByteAsTheFileIsWrittenAndAGiveUpStopsTheWriter) {
  TempDir dir;
  std::mt19937 random(5);
  std::vector<uint8_t> bytes(2 * 1024 * 1024);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  const std::string path = dir.file("list");
  int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(out, 0);
  KVFileFollower follower(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::thread writer([&] {
    std::mt19937 sizes(3);
    for (size_t at = 0; at < bytes.size();) {
      size_t n = std::min<size_t>(bytes.size() - at, 1 + sizes() % (200 * 1024));
      if (!Files::writeAll(out, bytes.data() + at, n) || !follower.advance(n)) break;
      at += n;
    }
    follower.close();
  });
  std::vector<uint8_t> read;
  std::vector<char> buffer(64 * 1024);
  for (ssize_t n; (n = follower.read(buffer.data(), 1 + random() % buffer.size())) > 0;)
    read.insert(read.end(), buffer.begin(), buffer.begin() + n);
  writer.join();
  ::close(out);
  EXPECT_TRUE(read == bytes);

  KVFileFollower abandoned(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_TRUE(abandoned.advance(10));
  abandoned.abandon();
  EXPECT_FALSE(abandoned.advance(10));
  EXPECT_EQ(abandoned.read(buffer.data(), buffer.size()), 0);
}
