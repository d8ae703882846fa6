#include "support/ScopedDeviceRoot.h"

#include "system/DeviceRoot.h"

ScopedDeviceRoot::ScopedDeviceRoot() : dir_(std::make_unique<TempDir>()), path_(dir_->path()) {
  previous_ = DeviceRoot::root();
  DeviceRoot::setRoot(path_);
}

ScopedDeviceRoot::ScopedDeviceRoot(const std::string& root) : path_(root), previous_(DeviceRoot::root()) {
  DeviceRoot::setRoot(root);
}

ScopedDeviceRoot::~ScopedDeviceRoot() { DeviceRoot::setRoot(previous_); }
