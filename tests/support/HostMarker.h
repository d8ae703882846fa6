#pragma once
// A folder of the host outside any device root, holding one file, that a test checks is
// untouched after something hostile ran. It lies in /var/tmp rather than /tmp, so the
// package tools' sandbox (whose /tmp is private) sees it as the host's, read-only.
//
//   HostMarker marker;
//   ... a package tries to write into marker.path() ...
//   EXPECT_EQ(marker.changes(), "");
#include <string>

class HostMarker {
 public:
  HostMarker();
  ~HostMarker();
  HostMarker(const HostMarker&) = delete;
  HostMarker& operator=(const HostMarker&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // What differs from the start (names added or removed, the file's contents, the
  // folder's mode); empty when nothing does.
  std::string changes() const;

 private:
  std::string path_;
};
