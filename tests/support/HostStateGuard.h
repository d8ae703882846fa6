#pragma once
// The host's own package state, read byte for byte: dpkg's status database (and the
// other files of its admin folder that a stray dpkg run would change) and APT's
// extended states. Tests compare a snapshot taken before with one taken after.
#include <map>
#include <optional>
#include <string>
#include <vector>

class HostPackageState {
 public:
  static HostPackageState capture();  // the host's files
  static HostPackageState capture(const std::vector<std::string>& files);
  // Fails the process's tests when the host's files differ at the end from the start.
  static void guardThisProcess();
  // The files that differ, with how; empty when the host is unchanged.
  std::string differencesFrom(const HostPackageState& before) const;

 private:
  std::map<std::string, std::optional<std::string>> files_;
};
