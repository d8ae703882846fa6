#include "support/UIDriver.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/NotificationCenter.h"
#include "interface/KVPaletteManager.h"
#include "system/DeviceRoot.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIDevice.h"
#include "uikit/UIFeedbackGenerator.h"
#include "uikit/UIImage.h"
#include "uikit/UIKeyboard.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIScreen.h"

namespace {
void resetInterface() {
  UIApplication::sharedApplication().reset();
  UIDevice::currentDevice().reset();
  UIScreen::mainScreen().reset();
  UIPasteboard::generalPasteboard().reset();
  UIView::clearRecordedAnimations();
  UIActivityViewController::clearShownSheets();
  UIFeedbackGenerator::clearRecordedFeedback();
  SFSafariViewController::clearShownURLs();
  if (UIResponder* r = UIResponder::currentFirstResponder()) r->resignFirstResponder();
  UIKeyboard::hide();
}
}  // namespace

UIDriver::UIDriver() {
  previousRoot_ = DeviceRoot::root();
  DeviceRoot::setRoot(root_.path());
  QuillbarkPersistentPreferences::resetSharedInstance();
  resetInterface();
  KVPaletteManager::resetForTesting();
  window_ = std::make_shared<UIWindow>();
}

UIDriver::~UIDriver() {
  window_->setRootViewController(nullptr);
  RunLoop::main().runUntilIdle();
  window_.reset();
  resetInterface();
  RunLoop::main().reset();
  DeviceRoot::setRoot(previousRoot_);
  QuillbarkPersistentPreferences::resetSharedInstance();
}

void UIDriver::show(std::shared_ptr<UIViewController> root) {
  window_->setRootViewController(std::move(root));
  window_->makeKeyAndVisible();
  runUntilIdle();
}

std::string UIDriver::screen() {
  runUntilIdle();
  return UIInteraction::screen();
}

bool UIDriver::screenShows(const std::string& text) { return screen().find(text) != std::string::npos; }

UIInteractionResult UIDriver::settle(UIInteractionResult result) {
  runUntilIdle();
  return result;
}

UIInteractionResult UIDriver::tap(const std::string& t) { return settle(UIInteraction::tap(t)); }
UIInteractionResult UIDriver::longPress(const std::string& t, double s) { return settle(UIInteraction::longPress(t, s)); }
UIInteractionResult UIDriver::swipeRow(const std::string& r, const std::string& a) { return settle(UIInteraction::swipeRow(r, a)); }
UIInteractionResult UIDriver::menuRow(const std::string& r, const std::string& a) { return settle(UIInteraction::menuRow(r, a)); }
UIInteractionResult UIDriver::swipe(const std::string& d) { return settle(UIInteraction::swipe(d)); }
UIInteractionResult UIDriver::submit() { return settle(UIInteraction::submit()); }
UIInteractionResult UIDriver::pullToRefresh() { return settle(UIInteraction::pullToRefresh()); }
UIInteractionResult UIDriver::rotate() { return settle(UIInteraction::rotate()); }
UIInteractionResult UIDriver::toggle(const std::string& t) { return settle(UIInteraction::toggle(t)); }
UIInteractionResult UIDriver::pick(const std::string& c) { return settle(UIInteraction::pick(c)); }
UIInteractionResult UIDriver::type(const std::string& t, const std::string& f) { return settle(UIInteraction::type(t, f)); }
UIInteractionResult UIDriver::scroll(const std::string& w) { return settle(UIInteraction::scroll(w)); }
UIInteractionResult UIDriver::back() { return settle(UIInteraction::back()); }
UIInteractionResult UIDriver::close() { return settle(UIInteraction::close()); }
UIInteractionResult UIDriver::tab(const std::string& w) { return settle(UIInteraction::tab(w)); }
void UIDriver::advance(double seconds) { UIInteraction::advance(seconds); }
void UIDriver::runUntilIdle() { UIInteraction::runUntilIdle(); }
