#include "core/KVBinPatch.h"

#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/NSDataHex.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "system/DeviceRoot.h"

extern char** environ;

namespace {

std::string hexOf(const std::string& text) { return NSDataHex::hexValue(Data(text.begin(), text.end())); }

std::string userName() {
  struct passwd* entry = getpwuid(geteuid());
  return entry && entry->pw_name ? entry->pw_name : "mobile";
}

// Replaces `from` by `to` where `from` starts on a byte (an even offset of the hex text);
// a match straddling two bytes is no match.
bool replaceAligned(std::string& hex, const std::string& from, const std::string& to) {
  bool changed = false;
  size_t at = 0;
  while ((at = hex.find(from, at)) != std::string::npos) {
    if (at % 2 != 0) {
      ++at;
      continue;
    }
    hex.replace(at, from.size(), to);
    at += to.size();
    changed = true;
  }
  return changed;
}

// Runs a tool with its arguments, standard output captured; true for exit status 0.
bool run(const std::vector<std::string>& argv, std::string* output = nullptr) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string collected;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) collected.append(buffer, static_cast<size_t>(n));
  close(pipeFds[0]);
  if (rc != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (output) *output = std::move(collected);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> KVBinPatch::hexTable() {
  const std::string user = userName();
  const std::pair<std::string, std::string> paths[] = {
      {"/Applications/", "/var/Apps/"},
      {"/Library/", "/var/LIB/"},
      {"/System/var/LIB/", "/System/Library/"},
      {"/" + user + "/var/LIB/", "/" + user + "/Library/"},
      {"/mobile/var/LIB/", "/mobile/Library/"},
      {"/User/var/LIB/", "/User/Library/"},
      {"/usr/lib/libsubstrate/", "/var/ulb/libsubstrate"},
      {"/usr/lib/libsubstitute/", "/var/ulb/libsubstitute"},
      {"/usr/lib/libprefs/", "/var/ulb/libprefs"},
  };
  std::vector<std::pair<std::string, std::string>> table;
  for (const auto& [from, to] : paths) table.emplace_back(hexOf(from), hexOf(to));
  return table;
}

bool KVBinPatch::patchFilesInDirectory(const std::string& folder) {
  std::error_code ec;
  std::filesystem::recursive_directory_iterator it(folder, ec), end;
  if (ec) return false;
  bool ok = true;
  const auto table = hexTable();
  for (; it != end; it.increment(ec)) {
    if (ec) return false;
    if (it->is_regular_file(ec) && !it->is_symlink(ec)) ok = patchFileAtURL(it->path().string(), table) && ok;
  }
  return ok;
}

bool KVBinPatch::patchFileAtURL(const std::string& path,
                                const std::vector<std::pair<std::string, std::string>>& table) {
  KVLog("PATCHING FILE: %s", path.c_str());
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::optional<Data> bytes = Files::read(path);
  if (!bytes) return false;

  std::string hex = NSDataHex::hexValue(*bytes);
  bool changed = false;
  for (const auto& [from, to] : table) changed = replaceAligned(hex, from, to) || changed;
  if (!changed) return true;
  std::optional<Data> patched = NSDataHex::dataWithHexString(hex);
  if (!patched) return false;

  // Written beside the file and renamed over it, with the file's permissions, so a
  // failure leaves the original whole.
  return Files::writeAtomically(path, *patched, nullptr, info.st_mode & 07777);
}

bool KVBinPatch::isExecutable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

bool KVBinPatch::signAndPatchFileAtURL(const std::string& path, const std::string& toolsFolder) {
  if (!isExecutable(path)) return true;
  const std::string ldid = toolsFolder + "/ldid2";
  std::string entitlements;
  bool signedOK;
  if (run({ldid, "-e", path}, &entitlements) && !entitlements.empty()) {
    std::string file = path + ".entitlements";
    std::ofstream(file, std::ios::binary) << entitlements;
    signedOK = run({ldid, "-S" + file, path});
    std::remove(file.c_str());
  } else {
    signedOK = run({ldid, "-S", path});
  }
  if (!signedOK) {
    KVLog("Signing failed: %s", path.c_str());
    return false;
  }
  return run({DeviceRoot::devicePath("/var/containers/Bundle/iosbinpack64/usr/bin/inject"), path});
}
