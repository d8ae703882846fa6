// The icon provider on a device root with the application's database: category and
// source images from the resources, icons downloaded from a server on 127.0.0.1 into the
// icon cache and announced, the stores' placeholders, local icons and the bounds that
// keep a hostile index from hanging the screens or filling the disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/KVKnownRepositories.h"
#include "core/NSDataHash.h"
#include "core/NSStringHash.h"
#include "database/KVIconProvider.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "support/IconFixtures.h"
#include "support/PackageRecordsFixture.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/Written.h"
#include "system/DeviceRoot.h"
#include "uikit/UIImage.h"

namespace {

class IconProviderTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    packageToken = NotificationCenter::defaultCenter().addObserver(
        KVRPackageInfoIconChangedNotification, [this](const Notification& n) { packageNotices.push_back(n.object.asString()); });
    sourceToken = NotificationCenter::defaultCenter().addObserver(
        KVRSourceInfoIconChangedNotification, [this](const Notification& n) { sourceNotices.push_back(n.object.asString()); });
  }
  void TearDown() override {
    KVIconProvider::resetForTesting();
    PackageRecordsFixture::TearDown();
  }

  void addWithIcon(const std::string& identifier, const std::string& iconURL, const std::string& category = "Tweaks") {
    KVRPackage p = package(identifier);
    p.setIconURL(iconURL);
    p.setCategory(category);
    add(p);
  }
  // Until the icon queue is empty and its writes and notices are through.
  void finishDownloads() {
    ASSERT_TRUE(KVIconProvider::iconFetchQueue().waitUntilAllOperationsAreFinished(20));
    settle();
  }
  static std::string name(const KVIconProvider::Image& image) { return image ? image->name() : "<none>"; }
  static std::string bytesOf(const KVIconProvider::Image& image) {
    return image ? stringFromData(image->data()) : std::string("<none>");
  }
  static size_t cachedFiles() { return Files::contentsOfDirectory(KVIconProvider::cacheDirectory()).size(); }

  TestHttpServer server;
  std::vector<std::string> packageNotices, sourceNotices;
  NotificationToken packageToken, sourceToken;
};

TEST_F(IconProviderTest, CategoriesFollowTheirOwnImageThenTheTable) {
  auto icon = [](std::optional<std::string> category) {
    return name(KVIconProvider::packageCategoryIconForCategory(category));
  };
  EXPECT_EQ(icon(std::nullopt), "iTunesArtwork");
  EXPECT_EQ(icon("Tweaks"), "Categories/Tweaks") << "an image of the exact name";
  EXPECT_EQ(icon("Themes (SpringBoard)"), "Categories/Themes");
  EXPECT_EQ(icon("Mes Thèmes"), "Categories/Themes");
  EXPECT_EQ(icon("App Addons (Safari)"), "Categories/App Addons");
  EXPECT_EQ(icon("Keyboard Addons"), "Categories/Addons");
  EXPECT_EQ(icon("Data_Storage"), "Categories/Data Storage");
  EXPECT_EQ(icon("Tweaks (Lock Screen)"), "Categories/Tweaks");
  EXPECT_EQ(icon("Cydia/Telesphoreo"), "Categories/Morvik");
  EXPECT_EQ(icon("tweaks"), "Categories/Default") << "the tests are case-sensitive";
  EXPECT_EQ(icon("Utilities"), "Categories/Default");
  EXPECT_EQ(icon(""), "Categories/Default");
  EXPECT_EQ(icon("../../Categories/Tweaks"), "Categories/Default") << "a section is never a path";

  add(package("com.example.nosection"));
  EXPECT_EQ(name(KVIconProvider::packageCategoryIconForIdentifier("com.example.nosection")), "iTunesArtwork");
  EXPECT_EQ(name(KVIconProvider::packageCategoryIconForIdentifier("com.example.unknown")), "iTunesArtwork");
}

TEST_F(IconProviderTest, AMissingIconIsDownloadedOnceStoredRecordedAndAnnounced) {
  TestHttpResponse slow = IconFixtures::reply("package-icon.png");
  slow.delay = std::chrono::milliseconds(300);
  server.respond("/icons/a.png", slow);
  std::string url = server.url("/icons/a.png");
  addWithIcon("com.example.a", url);
  add(package("com.example.plain"));

  EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier("com.example.plain")), "iTunesArtwork")
      << "no icon URL: the category icon, and no download";
  EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier("com.example.a")), "Categories/Tweaks") << "answered at once";
  ASSERT_TRUE(server.waitForRequests("/icons/a.png", 1));
  EXPECT_TRUE(KVIconProvider::iconWithIdentifierIsQueued(url));
  EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier("com.example.a")), "Categories/Tweaks");
  finishDownloads();

  EXPECT_EQ(server.requestCount("/icons/a.png"), 1u) << "a second screen joined the queued download";
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(packageNotices, std::vector<std::string>{"com.example.a"});
  EXPECT_TRUE(Files::exists(record("com.example.a")->iconPath()));
  EXPECT_EQ(bytesOf(KVIconProvider::packageIconForIdentifier("com.example.a")), IconFixtures::bytes("package-icon.png"));
  finishDownloads();
  EXPECT_EQ(server.requestCount(), 1u) << "answered from the cache";
}

TEST_F(IconProviderTest, FailedRepliesStoreNothingAndAreTriedAgain) {
  server.respond("/missing.png", TestHttpResponse::text("gone", 404));
  server.respond("/text.png", TestHttpResponse::text("not a picture"));
  server.respond("/huge.png", TestHttpResponse::text(std::string(KVIconProvider::kMaximumIconBytes + 1, 'x')));
  addWithIcon("com.example.missing", server.url("/missing.png"));
  addWithIcon("com.example.text", server.url("/text.png"));
  addWithIcon("com.example.huge", server.url("/huge.png"));

  for (int round = 1; round <= 2; ++round) {
    for (const char* id : {"com.example.missing", "com.example.text", "com.example.huge"})
      EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier(id)), "Categories/Tweaks") << id;
    ASSERT_TRUE(server.waitForRequests(3u * round));
    finishDownloads();
  }
  EXPECT_EQ(server.requestCount("/missing.png"), 2u);
  EXPECT_EQ(cachedFiles(), 0u);
  EXPECT_TRUE(packageNotices.empty());
  EXPECT_EQ(record("com.example.huge")->iconURL(), server.url("/huge.png"));
}

TEST_F(IconProviderTest, AStorePlaceholderMarksTheRecordAndIsNeverFetchedAgain) {
  server.respond("/store.example/icon@2x/com.example.p.png", IconFixtures::reply("store-placeholder.png"));
  std::string url = server.url("/store.example/icon@2x/com.example.p.png");
  addWithIcon("com.example.p", url, "Themes");

  EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier("com.example.p")), "Categories/Themes");
  ASSERT_TRUE(server.waitForRequests(1));
  finishDownloads();
  EXPECT_EQ(record("com.example.p")->iconURL(), std::string(KVIconProvider::kUseDefaultCategoriesMarker) + url);
  EXPECT_EQ(cachedFiles(), 0u);
  EXPECT_TRUE(packageNotices.empty());

  EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier("com.example.p")), "Categories/Themes");
  finishDownloads();
  EXPECT_EQ(server.requestCount(), 1u);

  // The same picture from any other host is an icon like any other.
  server.respond("/elsewhere/p.png", IconFixtures::reply("store-placeholder.png"));
  addWithIcon("com.example.q", server.url("/elsewhere/p.png"));
  KVIconProvider::packageIconForIdentifier("com.example.q");
  ASSERT_TRUE(server.waitForRequests(2));
  finishDownloads();
  EXPECT_EQ(packageNotices, std::vector<std::string>{"com.example.q"});
}

TEST_F(IconProviderTest, AnOverrideURLBecomesTheRecordsIconOnceItsDownloadSucceeds) {
  server.respond("/override.png", IconFixtures::reply("package-icon.png"));
  addWithIcon("com.example.o", "https://elsewhere.example/old.png");
  KVIconProvider::packageIconForIdentifier("com.example.o", server.url("/override.png"));
  ASSERT_TRUE(server.waitForRequests(1));
  finishDownloads();
  EXPECT_EQ(record("com.example.o")->iconURL(), server.url("/override.png"));
  EXPECT_EQ(bytesOf(KVIconProvider::packageIconForIdentifier("com.example.o")), IconFixtures::bytes("package-icon.png"));
}

TEST_F(IconProviderTest, LocalIconsAreCopiedOnlyWhenTheyAreSmallRegularPictures) {
  std::string folder = DeviceRoot::devicePath("/var/mobile/icons");
  ASSERT_TRUE(Files::createDirectories(folder));
  ASSERT_TRUE(Files::copyItem(testdata::fixture("icons/package-icon.png"), folder + "/good.png"));
  addWithIcon("com.example.local", "file:///var/mobile/icons/good.png");

  auto first = KVIconProvider::packageIconForIdentifier("com.example.local");
  EXPECT_EQ(bytesOf(first), IconFixtures::bytes("package-icon.png")) << "copied and answered on first use";
  ASSERT_TRUE(Files::removeItem(folder + "/good.png"));
  EXPECT_EQ(bytesOf(KVIconProvider::packageIconForIdentifier("com.example.local")), IconFixtures::bytes("package-icon.png"))
      << "then answered from the cache";

  // What a hostile index may point at: a pipe nobody writes, a sparse file of 2 GB, a
  // link to the host's endless device, text, and a folder. None blocks, none is copied.
  ASSERT_EQ(mkfifo((folder + "/pipe.png").c_str(), 0644), 0);
  { std::ofstream(folder + "/huge.png").close(); }
  std::filesystem::resize_file(folder + "/huge.png", uintmax_t(2) << 30);
  std::filesystem::create_symlink("/dev/zero", folder + "/zero.png");
  { std::ofstream(folder + "/text.png") << "not a picture"; }
  std::filesystem::create_directory(folder + "/dir.png");
  for (const char* file : {"pipe.png", "huge.png", "zero.png", "text.png", "dir.png", "absent.png"}) {
    std::string id = std::string("com.example.") + file;
    addWithIcon(id, std::string("file:///var/mobile/icons/") + file, "Fonts");
    EXPECT_EQ(name(KVIconProvider::packageIconForIdentifier(id)), "Categories/Fonts") << file;
  }
  finishDownloads();
  EXPECT_EQ(cachedFiles(), 1u) << "only the good picture";
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(IconProviderTest, SourcesShowTheirDownloadedIconOrTheirDefault) {
  KVKnownRepositories::Locations known;
  std::string grandel = known.largeDefaultRepository;
  addSource(grandel);
  written(db()->write([&] {
    db()->setValue(*db()->objectForPrimaryKey(KVRSource::className(), Value(grandel)), "iconURL",
                   Value(server.url("/never.png")));
  }));
  EXPECT_EQ(name(KVIconProvider::sourceIconForLocation(grandel)), "KVCydiaSourceGrandel.jpg");
  EXPECT_EQ(name(KVIconProvider::sourceIconForLocation("https://apt.store.example/")), "KVCydiaSourceMorvik.jpg");
  EXPECT_EQ(name(KVIconProvider::sourceIconForLocation(known.archivedRepositoryA)), "KVCydiaSourceSandrel.jpg");
  EXPECT_EQ(name(KVIconProvider::sourceIconForLocation("")), "KVCydiaSource.png");
  EXPECT_EQ(name(KVIconProvider::sourceIconForSource(std::nullopt)), "KVCydiaSource.png");

  std::string location = server.url("/repo/");
  server.respond("/repo/CydiaIcon.png", IconFixtures::reply("source-icon.jpg"));
  addSource(location);
  EXPECT_EQ(name(KVIconProvider::sourceIconForLocation(location)), "KVCydiaSource.png") << "no icon URL yet";
  written(db()->write([&] {
    db()->setValue(*db()->objectForPrimaryKey(KVRSource::className(), Value(location)), "iconURL",
                   Value(location + "CydiaIcon.png"));
  }));
  EXPECT_EQ(name(KVIconProvider::sourceIconForLocation(location)), "KVCydiaSource.png");
  ASSERT_TRUE(server.waitForRequests(1));
  finishDownloads();
  EXPECT_EQ(sourceNotices, std::vector<std::string>{location});
  EXPECT_TRUE(Files::exists(KVIconProvider::_iconPathWithKey(KVIconProvider::schemeLessLocation(location))));
  EXPECT_EQ(bytesOf(KVIconProvider::sourceIconForLocation(location)), IconFixtures::bytes("source-icon.jpg"));
  EXPECT_EQ(server.requestCount(), 1u) << "the known repositories are never fetched";

  KVIconProvider::removeSourceIconWithLocation(location);
  EXPECT_EQ(cachedFiles(), 0u);
}

TEST_F(IconProviderTest, TheFirstUsePurgesPlaceholdersFromTheCache) {
  ASSERT_TRUE(KVIconProvider::_ensureCacheDirectoryExists());
  std::string placeholder = KVIconProvider::_iconPathWithKey("https://icons.store.example/a.png");
  std::string real = KVIconProvider::_iconPathWithKey("https://icons.store.example/b.png");
  ASSERT_TRUE(Files::copyItem(testdata::fixture("icons/store-placeholder.png"), placeholder));
  ASSERT_TRUE(Files::copyItem(testdata::fixture("icons/package-icon.png"), real));

  KVIconProvider::packageIconForIdentifier("com.example.anything");
  EXPECT_FALSE(Files::exists(placeholder));
  EXPECT_TRUE(Files::exists(real));
}

TEST_F(IconProviderTest, CacheFilesAreReplacedWithoutFollowingALinkOutOfTheRoot) {
  TempDir outside;
  std::string target = outside.file("host-file");
  { std::ofstream(target) << "host data"; }
  server.respond("/icon.png", IconFixtures::reply("package-icon.png"));
  std::string url = server.url("/icon.png");
  addWithIcon("com.example.link", url);
  ASSERT_TRUE(KVIconProvider::_ensureCacheDirectoryExists());
  std::filesystem::create_symlink(target, record("com.example.link")->iconPath());

  KVIconProvider::packageIconForIdentifier("com.example.link");
  ASSERT_TRUE(server.waitForRequests(1));
  finishDownloads();
  EXPECT_EQ(*Files::readText(target), "host data");
  EXPECT_FALSE(std::filesystem::is_symlink(record("com.example.link")->iconPath()));
  EXPECT_EQ(bytesOf(KVIconProvider::packageIconForIdentifier("com.example.link")), IconFixtures::bytes("package-icon.png"));
}

}  // namespace
