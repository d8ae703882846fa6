#pragma once
// The road of one install with the real apt-get and dpkg in a device root: repositories
// served on 127.0.0.1 and refreshed into the records, packages queued through the
// application delegate, the queue confirmed as the confirmation screen confirms it, and
// the pipeline's ends recorded.
#include <algorithm>

#include "app/KVQuillbark.h"
#include "core/KVErrorDomain.h"
#include "database/KVRPackages.h"
#include "operations/KVPackageDPKGInstallTask.h"
#include "operations/KVPackageQueue.h"
#include "support/DebBuilder.h"
#include "support/HostStateGuard.h"
#include "support/SourceRefreshFixture.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIWindow.h"

class InstallRoadFixture : public SourceRefreshFixture {
 protected:
  std::unique_ptr<TestRoot> makeRoot() override { return std::make_unique<TestRoot>(TestRoot::WithManagers{}); }

  void SetUp() override {
    SourceRefreshFixture::SetUp();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    finished_ = NotificationCenter::defaultCenter().addObserver(
        KVPipelineTaskFinishedNotification, NotificationCenter::kPostingThread, [this](const Notification& n) {
          std::lock_guard<std::mutex> lock(mutex_);
          ends_.push_back(n);
        });
  }
  void TearDown() override {
    closeWindow();
    finished_.invalidate();
    SourceRefreshFixture::TearDown();
  }

  void queue(const std::string& identifier, std::optional<std::string> version = std::nullopt) {
    KVQuillbark::sharedQuillbark().queuePackageWithIdentifier(identifier, version);
  }
  // Confirms the queue as the confirmation screen does and waits for the whole road;
  // answers the dry run's lists.
  APTDependsTree confirm() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ends_.clear();
    }
    std::string queueString = KVPackageQueue::queueString();
    EXPECT_FALSE(queueString.empty());
    APTDependsTree tree = KVAPTManager::unmetDependenciesForPackages(queueString);
    KVPackageQueue::launchQueueActions(*root->packagesManager, queueString, tree);
    EXPECT_TRUE(waitForPipeline(120));
    return tree;
  }
  // The end the last APT or dpkg run reported.
  std::optional<Notification> aptEnd() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto end = ends_.rbegin(); end != ends_.rend(); ++end)
      if (end->userInfo["pipelineID"].asString() == KVPipelinePackageATPInstallOperation) return *end;
    return std::nullopt;
  }
  // The last APT or dpkg run failed as a package tool does (code 34); answers its error text.
  std::string aptFailureText(const std::string& heading = "APT returned an error while performing operations:\n") {
    auto end = aptEnd();
    EXPECT_TRUE(end);
    if (!end) return "";
    EXPECT_FALSE(end->userInfo["success"].asBool());
    EXPECT_NE(end->error, nullptr);
    if (!end->error) return "";
    EXPECT_EQ(end->error->domain, KVErrorDomain);
    EXPECT_EQ(end->error->code, KVErrorPackageToolFailed);
    std::string text = end->error->localizedDescription();
    EXPECT_EQ(text.rfind(heading, 0), 0u) << text;
    return text;
  }
  bool logShows(const std::string& text) const {
    return std::any_of(verboseLines.begin(), verboseLines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }
  std::vector<std::string> downloadedFiles() {
    std::vector<std::string> files;
    for (const auto& request : server.requests())
      if (request.path.ends_with(".deb")) files.push_back(Files::lastPathComponent(request.path));
    return files;
  }
  void expectNothingLeftQueuedOrArchived() {
    EXPECT_EQ(KVRPackage::objectsWhere("isInTheQueue = 1").count(), 0u);
    EXPECT_EQ(Files::contentsOfDirectory(KVAPTManager::archivesPath()), std::vector<std::string>{"partial"});
  }
  void install(const std::string& identifier, std::optional<std::string> version = std::nullopt) {
    queue(identifier, version);
    confirm();
    auto end = aptEnd();
    ASSERT_TRUE(end);
    ASSERT_TRUE(end->userInfo["success"].asBool()) << (end->error ? end->error->localizedDescription() : "");
  }

  // A key window with a plain root screen, for what the road presents.
  UIViewController* showWindow() {
    if (!window_) {
      window_ = std::make_shared<UIWindow>();
      window_->setRootViewController(std::make_shared<UIViewController>());
      window_->makeKeyAndVisible();
    }
    return window_->rootViewController();
  }
  // The root screen shows the options menu.
  UIAlertController* showOptions(const std::string& identifier) {
    showWindow();
    KVQuillbark::sharedQuillbark().presentOptions(identifier, std::monostate{});
    RunLoop::main().runUntilIdle();
    return dynamic_cast<UIAlertController*>(window_->rootViewController()->presentedViewController());
  }
  void closeWindow() {
    if (!window_) return;
    window_->setRootViewController(nullptr);
    RunLoop::main().runUntilIdle();
    window_.reset();
  }

 private:
  std::mutex mutex_;
  std::vector<Notification> ends_;
  NotificationToken finished_;
  std::shared_ptr<UIWindow> window_;
};
