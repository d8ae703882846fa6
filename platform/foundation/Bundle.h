#pragma once
// The application bundle: its identifier, versions and resources folder.
#include <optional>
#include <string>

class Bundle {
 public:
  static Bundle& main();

  const std::string& bundleIdentifier() const { return identifier_; }
  const std::string& shortVersion() const { return shortVersion_; }  // "CFBundleShortVersionString"
  const std::string& version() const { return version_; }            // "CFBundleVersion"
  const std::string& resourcePath() const { return resourcePath_; }
  void setResourcePath(std::string path) { resourcePath_ = std::move(path); }
  // resources/<name>.<type>, else resources/<subfolder>/<name>.<type> when given.
  std::optional<std::string> pathForResource(const std::string& name, const std::string& type,
                                             const std::string& subfolder = {}) const;

 private:
  Bundle();
  std::string identifier_ = "me.korvale.quillbark";
  std::string shortVersion_ = "5.0";
  std::string version_ = "5000";
  std::string resourcePath_;
};
