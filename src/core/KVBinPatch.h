#pragma once
// Rewrites the absolute path prefixes inside installed files so that a package built for
// the classic layout finds its files in the relocated one ("/Library/" to "/var/LIB/"
// and so on), and re-signs executables afterwards. Nothing calls it today.
#include <string>
#include <utility>
#include <vector>

class KVBinPatch {
 public:
  // Pairs of (from, to) as hex text of the path bytes, applied in order. "%@" in the
  // fifth pair stands for the user the process runs as.
  static std::vector<std::pair<std::string, std::string>> hexTable();

  // Patches every regular file under `folder` (symbolic links are not followed). False
  // when the folder cannot be walked or a file could not be patched.
  static bool patchFilesInDirectory(const std::string& folder);
  // Replaces each prefix of the table in the file's bytes, keeping the file's permissions.
  // A match is taken only on a byte boundary of the hex text. False when the file cannot
  // be read or written.
  static bool patchFileAtURL(const std::string& path,
                             const std::vector<std::pair<std::string, std::string>>& table);
  // Re-signs an executable with `toolsFolder`/ldid2, keeping its entitlements, and then
  // runs the device's inject tool on it. Files that are not executable are left alone
  // (true). Arguments go to the tools as they are, never through a shell.
  static bool signAndPatchFileAtURL(const std::string& path, const std::string& toolsFolder);
  // Any of the owner, group and other execute bits.
  static bool isExecutable(const std::string& path);
};
