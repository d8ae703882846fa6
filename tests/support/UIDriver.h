#pragma once
// Drives the headless interface in a test as a person would: a fresh window and
// application on a manual clock, a private preference file, and the verbs of
// UIInteraction, each followed by running the main loop until it is idle.
//
//   UIDriver ui;
//   ui.show(std::make_shared<UINavigationController>(screen));
//   EXPECT_TRUE(ui.tap("Edit"));
//   EXPECT_NE(ui.screen().find("0.1: Second row"), std::string::npos);
#include <memory>
#include <string>

#include "support/ManualClock.h"
#include "support/TempDir.h"
#include "uikit/UIInteraction.h"
#include "uikit/UIWindow.h"

class UIDriver {
 public:
  UIDriver();
  ~UIDriver();
  UIDriver(const UIDriver&) = delete;
  UIDriver& operator=(const UIDriver&) = delete;

  UIWindow& window() { return *window_; }
  // Makes the controller the window's root and shows the window.
  void show(std::shared_ptr<UIViewController> root);
  std::string screen();
  bool screenShows(const std::string& text);
  UIViewController* front() { return UIInteraction::front(); }

  UIInteractionResult tap(const std::string& target);
  UIInteractionResult longPress(const std::string& target, double seconds = 1.0);
  UIInteractionResult swipeRow(const std::string& row, const std::string& action);
  UIInteractionResult menuRow(const std::string& row, const std::string& action);
  UIInteractionResult swipe(const std::string& direction);
  UIInteractionResult toggle(const std::string& target);
  UIInteractionResult pick(const std::string& choice);
  UIInteractionResult type(const std::string& text, const std::string& field = {});
  UIInteractionResult submit();
  UIInteractionResult pullToRefresh();
  UIInteractionResult scroll(const std::string& where);
  UIInteractionResult back();
  UIInteractionResult close();
  UIInteractionResult tab(const std::string& which);
  UIInteractionResult rotate();
  void advance(double seconds);
  void runUntilIdle();

 private:
  UIInteractionResult settle(UIInteractionResult result);
  ManualClock clock_;
  TempDir root_;
  std::string previousRoot_;
  std::shared_ptr<UIWindow> window_;
};
