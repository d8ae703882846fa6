#pragma once
// Makes a folder the current device root for the object's life and puts the previous
// root back afterwards. By default the folder is a fresh, empty temporary one, removed
// at the end; a given path is used as it is (it need not exist). For a root laid out
// like a device, with dpkg and the launcher, see TemporaryDeviceRoot.
#include <memory>
#include <string>

#include "support/TempDir.h"

class ScopedDeviceRoot {
 public:
  ScopedDeviceRoot();
  explicit ScopedDeviceRoot(const std::string& root);
  ~ScopedDeviceRoot();
  ScopedDeviceRoot(const ScopedDeviceRoot&) = delete;
  ScopedDeviceRoot& operator=(const ScopedDeviceRoot&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::unique_ptr<TempDir> dir_;
  std::string path_;
  std::string previous_;
};
