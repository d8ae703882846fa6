// Images by address from a server on 127.0.0.1: one download however many ask, answers
// on the main thread and only to askers still there, and a cache that stays in bounds.
#include <gtest/gtest.h>

#include "foundation/RunLoop.h"
#include "support/TestHttpServer.h"
#include "uikit/ImageLoader.h"

namespace {
std::string png(double side, const UIColor& color) {
  auto bytes = *UIImagePNGRepresentation(*UIImage::filledImage(color, {side, side}, 1));
  return std::string(bytes.begin(), bytes.end());
}

TestHttpResponse image(const std::string& bytes, int delayMs = 0) {
  TestHttpResponse r;
  r.body = bytes;
  r.contentType = "image/png";
  r.delay = std::chrono::milliseconds(delayMs);
  return r;
}

struct Answers {
  std::vector<std::shared_ptr<UIImage>> images;
  std::vector<ErrorRef> errors;
  bool onMain = true;
  ImageLoader::Completion record() {
    return [this](std::shared_ptr<UIImage> image, ErrorRef error) {
      onMain = onMain && RunLoop::isMainThread();
      images.push_back(std::move(image));
      errors.push_back(std::move(error));
    };
  }
};

bool waitFor(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 10); }

class ImageLoaderTest : public ::testing::Test {
 protected:
  URL at(const std::string& path) { return *URL::fromString(server.url(path)); }
  TestHttpServer server;
  std::shared_ptr<int> screen = std::make_shared<int>(1);
};
}  // namespace

TEST_F(ImageLoaderTest, AskersOfOneAddressShareOneDownload) {
  server.respond("/avatar.png", image(png(8, UIColor::redColor()), 100));
  ImageLoader loader;
  Answers first, second;
  auto other = std::make_shared<int>(2);
  loader.loadImage(at("/avatar.png"), screen, first.record());
  loader.loadImage(at("/avatar.png"), other, second.record());
  EXPECT_EQ(loader.downloadsInFlight(), 1u);
  ASSERT_TRUE(waitFor([&] { return first.images.size() == 1 && second.images.size() == 1; }));
  EXPECT_EQ(server.requestCount("/avatar.png"), 1u);
  ASSERT_TRUE(first.images[0]);
  EXPECT_EQ(first.images[0], second.images[0]) << "the same image for both";
  EXPECT_EQ(first.images[0]->size(), (CGSize{8, 8}));
  EXPECT_TRUE(first.onMain && second.onMain);

  // From the cache: no request, and not inside the call.
  Answers third;
  loader.loadImage(at("/avatar.png"), screen, third.record());
  EXPECT_TRUE(third.images.empty());
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(third.images.size(), 1u);
  EXPECT_EQ(third.images[0], first.images[0]);
  EXPECT_EQ(server.requestCount("/avatar.png"), 1u);
}

TEST_F(ImageLoaderTest, AnAskerThatIsGoneHearsNothing) {
  server.respond("/icon.png", image(png(4, UIColor::blueColor()), 100));
  ImageLoader loader;
  Answers gone, kept;
  auto closed = std::make_shared<int>(3);
  loader.loadImage(at("/icon.png"), closed, gone.record());
  loader.loadImage(at("/icon.png"), screen, kept.record());
  closed.reset();  // the screen went away while the download ran
  ASSERT_TRUE(waitFor([&] { return kept.images.size() == 1; }));
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(gone.images.empty());
  EXPECT_TRUE(loader.cachedImage(at("/icon.png"))) << "the image is still kept for the next asker";
}

TEST_F(ImageLoaderTest, FailuresAnswerNothingAndAreTriedAgain) {
  server.respond("/broken.png", image("not a picture"));
  ImageLoader loader;
  Answers answers;
  loader.loadImage(at("/broken.png"), screen, answers.record());
  ASSERT_TRUE(waitFor([&] { return answers.images.size() == 1; }));
  EXPECT_FALSE(answers.images[0]);
  EXPECT_FALSE(answers.errors[0]) << "the bytes came; they are no picture";
  loader.loadImage(*URL::fromString(TestHttpServer::closedBaseURL() + "/x.png"), screen, answers.record());
  ASSERT_TRUE(waitFor([&] { return answers.images.size() == 2; }));
  EXPECT_FALSE(answers.images[1]);
  ASSERT_TRUE(answers.errors[1]);
  EXPECT_EQ(answers.errors[1]->code, NSURLErrorCannotConnectToHost);
  loader.loadImage(at("/broken.png"), screen, answers.record());
  ASSERT_TRUE(waitFor([&] { return answers.images.size() == 3; }));
  EXPECT_EQ(server.requestCount("/broken.png"), 2u) << "a failure is not cached";
  EXPECT_EQ(loader.cachedBytes(), 0u);
}

TEST_F(ImageLoaderTest, TheCacheKeepsTheRecentlyUsedWithinItsBound) {
  // Each 16 x 16 picture is 1024 bytes of pixels; the cache holds two.
  for (const char* name : {"/a.png", "/b.png", "/c.png"}) server.respond(name, image(png(16, UIColor::greenColor())));
  server.respond("/huge.png", image(png(64, UIColor::greenColor())));
  ImageLoader loader(2048);
  Answers answers;
  auto load = [&](const std::string& path) {
    size_t before = answers.images.size();
    loader.loadImage(at(path), screen, answers.record());
    ASSERT_TRUE(waitFor([&] { return answers.images.size() == before + 1; }));
  };
  load("/a.png");
  load("/b.png");
  EXPECT_EQ(loader.cachedBytes(), 2048u);
  EXPECT_TRUE(loader.cachedImage(at("/a.png"))) << "a is now the most recently used";
  load("/c.png");
  EXPECT_EQ(loader.cachedBytes(), 2048u);
  EXPECT_TRUE(loader.cachedImage(at("/a.png")));
  EXPECT_FALSE(loader.cachedImage(at("/b.png"))) << "the least recently used went";
  EXPECT_TRUE(loader.cachedImage(at("/c.png")));
  load("/huge.png");
  EXPECT_TRUE(answers.images.back()) << "a picture larger than the cache is answered";
  EXPECT_FALSE(loader.cachedImage(at("/huge.png"))) << "but not kept";
  EXPECT_EQ(loader.cachedBytes(), 2048u);
  loader.removeAllImages();
  EXPECT_EQ(loader.cachedBytes(), 0u);
}

TEST_F(ImageLoaderTest, ALoaderGoneBeforeTheReplyIsNeverReached) {
  server.respond("/late.png", image(png(4, UIColor::redColor()), 100));
  server.respond("/witness.png", image(png(4, UIColor::redColor()), 300));
  Answers answers, witness;
  auto loader = std::make_unique<ImageLoader>();
  loader->loadImage(at("/late.png"), screen, answers.record());
  ImageLoader other;
  other.loadImage(at("/witness.png"), screen, witness.record());
  ASSERT_TRUE(server.waitForRequests("/late.png", 1));
  loader.reset();
  ASSERT_TRUE(waitFor([&] { return witness.images.size() == 1; })) << "the later reply came after the first";
  EXPECT_TRUE(answers.images.empty());
}
