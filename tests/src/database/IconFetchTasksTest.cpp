// The icon fetch tasks on the pipeline and the persistent image cache, against a server
// on 127.0.0.1: what they store, record and announce, and what they leave alone.
#include <gtest/gtest.h>

#include "core/KVPipelineManager.h"
#include "core/NSStringHash.h"
#include "database/KVIconProvider.h"
#include "database/KVPackageIconFetch.h"
#include "database/KVPersistentImageCache.h"
#include "database/KVSourceIconFetch.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "support/Latch.h"
#include "support/IconFixtures.h"
#include "support/PackageRecordsFixture.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/Written.h"
#include "system/DeviceRoot.h"
#include "uikit/ImageCodec.h"
#include "uikit/UIImage.h"

namespace {

class IconFetchTasksTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    token = NotificationCenter::defaultCenter().addObserver(
        KVRPackageInfoIconChangedNotification, [this](const Notification& n) { notices.push_back(n.object.asString()); });
    sourceToken = NotificationCenter::defaultCenter().addObserver(
        KVRSourceInfoIconChangedNotification, [this](const Notification& n) { notices.push_back(n.object.asString()); });
  }
  bool run(const std::shared_ptr<KVTask>& task) {
    auto& pipeline = KVPipelineManager::sharedManager();
    if (!pipeline.queueTask(task)) return false;
    bool done = RunLoop::main().runUntil([&] { return task->isFinished(); }, 30);
    settle();
    return done;
  }
  void addWithIcon(const std::string& identifier, const std::string& iconURL) {
    KVRPackage p = package(identifier);
    p.setIconURL(iconURL);
    add(p);
  }
  // The cached PNG of a key, decoded; none when absent or not a PNG.
  static std::optional<ImagePixels> cachedPNG(const std::string& key) {
    auto bytes = Files::read(KVIconProvider::_iconPathWithHash(NSStringHash::MD5Hash(key)));
    if (!bytes || !ImageCodec::isPNG(bytes->data(), bytes->size())) return std::nullopt;
    return ImageCodec::decodePNG(bytes->data(), bytes->size());
  }

  TestHttpServer server;
  std::vector<std::string> notices;
  NotificationToken token, sourceToken;
};

TEST_F(IconFetchTasksTest, NamesAndTheOverrideRule) {
  addWithIcon("com.example.a", "https://icons.example/a.png");
  auto plain = KVPackageIconFetch::initWithPackage("com.example.a");
  EXPECT_EQ(plain->taskID(), "Icon-com.example.a");
  EXPECT_EQ(plain->pipelineID(), "misc");
  EXPECT_EQ(plain->taskProgress(), -1.0);
  EXPECT_EQ(plain->taskDescription(), "Fetching icon for com.example.a...");
  EXPECT_EQ(plain->packageIconURL(), "https://icons.example/a.png");
  EXPECT_FALSE(plain->isUsingOverride());

  EXPECT_EQ(KVPackageIconFetch::initWithPackage("com.example.a", "http://x/")->packageIconURL(),
            "https://icons.example/a.png")
      << "nine characters are too short to be an override";
  auto longer = KVPackageIconFetch::initWithPackage("com.example.a", "http://x/y");
  EXPECT_EQ(longer->packageIconURL(), "http://x/y");
  EXPECT_TRUE(longer->isUsingOverride());

  addSource("https://repo.example/sub/");
  auto source = KVSourceIconFetch::initWithSource("https://repo.example/sub/");
  EXPECT_EQ(source->taskID(), "Icon-https:__repo.example_sub_");
  EXPECT_EQ(source->taskDescription(), "Fetching icon for https://repo.example/sub/...") << "a source without a name";
}

TEST_F(IconFetchTasksTest, APackageIconIsStoredAsPNGAndRecorded) {
  server.respond("/a.jpg", IconFixtures::reply("source-icon.jpg"));
  std::string url = server.url("/a.jpg");
  addWithIcon("com.example.a", "https://old.example/a.png");

  ASSERT_TRUE(run(KVPackageIconFetch::initWithPackage("com.example.a", url)));
  EXPECT_EQ(server.requestsTo("/a.jpg").front().method, "HEAD");
  EXPECT_EQ(server.requestCount("/a.jpg"), 2u);
  auto pixels = cachedPNG(url);
  ASSERT_TRUE(pixels) << "the JPEG is kept re-encoded as PNG";
  EXPECT_EQ(pixels->width, 60);
  EXPECT_EQ(record("com.example.a")->iconURL(), url);
  EXPECT_EQ(notices, std::vector<std::string>{"com.example.a"});
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty()) << "never listed";
  EXPECT_TRUE(Files::contentsOfDirectory(Files::appendingPathComponent(
                                             DeviceRoot::devicePath(DeviceRoot::kApplicationSupport), "Downloads"))
                  .empty())
      << "the downloaded copy is removed";
}

TEST_F(IconFetchTasksTest, AnIconThatIsGoneClearsTheRecordsURL) {
  server.respond("/gone.png", TestHttpResponse::text("no", 404));
  addWithIcon("com.example.gone", server.url("/gone.png"));
  ASSERT_TRUE(run(KVPackageIconFetch::initWithPackage("com.example.gone")));
  EXPECT_EQ(record("com.example.gone")->iconURL(), std::nullopt);
  EXPECT_EQ(notices, std::vector<std::string>{"com.example.gone"});
  EXPECT_EQ(server.requestCount(), 1u) << "only the HEAD request";

  add(package("com.example.none"));
  ASSERT_TRUE(run(KVPackageIconFetch::initWithPackage("com.example.none"))) << "no URL: ends at once";

  server.respond("/text.png", TestHttpResponse::text("not a picture"));
  addWithIcon("com.example.text", server.url("/text.png"));
  ASSERT_TRUE(run(KVPackageIconFetch::initWithPackage("com.example.text")));
  EXPECT_FALSE(cachedPNG(server.url("/text.png")));
  EXPECT_EQ(record("com.example.text")->iconURL(), server.url("/text.png"));
}

TEST_F(IconFetchTasksTest, ASourceIconIsStoredOnlyWhileTheSourceExists) {
  std::string location = server.url("/repo/");
  server.respond("/repo/CydiaIcon.png", IconFixtures::reply("package-icon.png"));
  addSource(location);
  written(db()->write([&] {
    db()->setValue(*db()->objectForPrimaryKey(KVRSource::className(), Value(location)), "iconURL",
                   Value(location + "CydiaIcon.png"));
  }));
  ASSERT_TRUE(run(KVSourceIconFetch::initWithSource(location)));
  EXPECT_TRUE(cachedPNG(location + "CydiaIcon.png"));
  EXPECT_EQ(notices, std::vector<std::string>{location});

  ASSERT_TRUE(run(KVSourceIconFetch::initWithSource(server.url("/absent/"))));
  EXPECT_EQ(server.requestCount(), 1u) << "a source without a record has no icon to fetch";
}

TEST_F(IconFetchTasksTest, ThePersistentCacheMapsKeysMirrorsToDiskAndDownloads) {
  auto cache = KVPersistentImageCache::create();
  EXPECT_EQ(KVPersistentImageCache::overrideKeyForKey("http://apt.bigrepo.example/repofiles/cydia/dists/stable"),
            "apt.bigrepo.example/repofiles/cydia/");
  EXPECT_EQ(KVPersistentImageCache::overrideKeyForKey("https://other.example/"), "https://other.example/");
  EXPECT_EQ(cache->imageForKey("https://apt.store.example/")->name(), "KVCydiaSourceMorvik.jpg");
  EXPECT_EQ(cache->imageForKey("nothing here")->name(), "KVCydiaSource.png") << "the default meanwhile";

  auto image = UIImage::imageWithData(dataFromString(IconFixtures::bytes("package-icon.png")));
  cache->setImage(image, "mine");
  std::string file = KVPersistentImageCache::_fileNameForKey("mine");
  EXPECT_TRUE(Files::exists(file));
  auto reopened = KVPersistentImageCache::create();
  ASSERT_TRUE(reopened->objectForKey("mine"));
  EXPECT_EQ(reopened->objectForKey("mine")->size().width, 60) << "read back from its file";
  reopened->removeObjectForKey("mine");
  EXPECT_FALSE(Files::exists(file));

  server.respond("/c.png", IconFixtures::reply("package-icon.png"));
  server.respond("/missing.png", TestHttpResponse::text("no", 404));
  Latch got;
  std::shared_ptr<UIImage> delivered;
  cache->imageForKey(server.url("/c.png"), [&](std::shared_ptr<UIImage> i) {
    delivered = i;
    got.arrive();
  });
  ASSERT_TRUE(got.wait());
  EXPECT_EQ(delivered->size().width, 60);
  cache->imageForKey(server.url("/missing.png"));
  ASSERT_TRUE(cache->iconFetchQueue().waitUntilAllOperationsAreFinished(20));
  EXPECT_EQ(cache->objectForKey(server.url("/missing.png"))->name(), "KVCydiaSource.png")
      << "a failed download stands for the default";
}

}  // namespace
