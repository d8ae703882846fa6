#include "support/DebBuilder.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "core/NSDataHex.h"
#include "foundation/Files.h"
#include "support/TempDir.h"
#include "system/Process.h"

namespace {
std::string hexDigest(const EVP_MD* md, const Data& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, md, nullptr);
  return NSDataHex::hexValue(Data(digest, digest + length));
}

bool writeOrFail(const std::string& path, const std::string& text, unsigned mode = 0644) {
  Files::createDirectories(Files::deletingLastPathComponent(path));
  if (Files::writeAtomically(path, text, nullptr, mode)) return true;
  ADD_FAILURE() << "cannot write " << path;
  return false;
}
}  // namespace

std::string DebBuilder::run(const std::string& program, const std::vector<std::string>& arguments, int* status) {
  Process::Outcome outcome = Process::run(program, arguments);
  if (status) *status = outcome.status;
  return outcome.output;
}

std::string DebBuilder::controlText(const DebPackage& package) {
  std::string text = "Package: " + package.identifier + "\nVersion: " + package.version +
                     "\nArchitecture: " + package.architecture + "\nMaintainer: Test Maintainer <test@example.com>\n";
  bool hasDescription = false;
  for (const auto& [key, value] : package.fields) {
    text += key + ": " + value + "\n";
    hasDescription = hasDescription || key == "Description";
  }
  if (!hasDescription) text += "Description: " + package.identifier + " for tests\n";
  return text;
}

std::string DebBuilder::build(const DebPackage& package, const std::string& fileName) const {
  TempDir work;
  std::string tree = work.path() + "/tree";
  if (!writeOrFail(tree + "/DEBIAN/control", controlText(package))) return {};
  for (const auto& [path, contents] : package.files)
    if (!writeOrFail(tree + path, contents)) return {};
  for (const auto& [path, contents] : package.programs)
    if (!writeOrFail(tree + path, contents, 0755)) return {};
  for (const auto& [path, target] : package.links) {
    Files::createDirectories(Files::deletingLastPathComponent(tree + path));
    if (::symlink(target.c_str(), (tree + path).c_str()) != 0) {
      ADD_FAILURE() << "cannot link " << path;
      return {};
    }
  }
  for (const auto& [name, text] : package.scripts)
    if (!writeOrFail(tree + "/DEBIAN/" + name, text, 0755)) return {};
  for (const auto& [path, bits] : package.modes) {
    if (::chmod((tree + path).c_str(), bits) != 0) {
      ADD_FAILURE() << "cannot give " << path << " its mode";
      return {};
    }
  }

  std::string name = fileName;
  if (name.empty()) {
    name = package.identifier + "_";
    for (char c : package.version) name += c == ':' ? std::string("%3a") : std::string(1, c);
    name += ".deb";
  }
  Files::createDirectories(folder_);
  std::string output = folder_ + "/" + name;
  int status = 0;
  std::string log = run("/usr/bin/dpkg-deb", {"--root-owner-group", "-Zgzip", "-b", tree, output}, &status);
  if (status != 0) {
    ADD_FAILURE() << "dpkg-deb -b failed for " << package.identifier << ": " << log;
    return {};
  }
  return output;
}

std::string DebBuilder::packagesStanza(const std::string& debPath, const std::string& filename) {
  int status = 0;
  std::string control = run("/usr/bin/dpkg-deb", {"-f", debPath}, &status);
  auto bytes = Files::read(debPath);
  if (status != 0 || !bytes) {
    ADD_FAILURE() << "cannot read the archive " << debPath << ": " << control;
    return {};
  }
  if (!control.empty() && control.back() != '\n') control += '\n';
  return control + "Filename: " + filename + "\nSize: " + std::to_string(bytes->size()) +
         "\nMD5sum: " + hexDigest(EVP_md5(), *bytes) + "\nSHA256: " + hexDigest(EVP_sha256(), *bytes) + "\n";
}

std::string DebBuilder::releaseText(const std::string& folder, const FlatRepositoryOptions& options) {
  std::string text = "Origin: " + options.origin + "\nLabel: " + options.label +
                     "\nSuite: stable\nVersion: 1.0\nCodename: ios\nArchitectures: iphoneos-arm\n"
                     "Components: main\nDescription: " + options.description + "\n";
  std::string md5 = "MD5Sum:\n", sha = "SHA256:\n";
  for (const char* name : {"Packages", "Packages.gz", "Packages.bz2", "Packages.xz", "Packages.lzma"}) {
    auto bytes = Files::read(folder + "/" + name);
    if (!bytes) continue;
    std::string size = std::to_string(bytes->size());
    md5 += " " + hexDigest(EVP_md5(), *bytes) + " " + size + " " + name + "\n";
    sha += " " + hexDigest(EVP_sha256(), *bytes) + " " + size + " " + name + "\n";
  }
  return text + md5 + sha;
}

bool DebBuilder::writeFlatRepository(const std::string& folder, const std::vector<std::string>& debFiles,
                                     const FlatRepositoryOptions& options) {
  std::string packages;
  for (const auto& file : debFiles) {
    std::string stanza = packagesStanza(folder + "/" + file, file);
    if (stanza.empty()) return false;
    packages += (packages.empty() ? "" : "\n") + stanza;
  }
  return writeRepositoryIndex(folder, packages, options);
}

bool DebBuilder::writeRepositoryIndex(const std::string& folder, const std::string& packages,
                                      const FlatRepositoryOptions& options) {
  std::string index = folder + "/Packages";
  if (!writeOrFail(index, packages)) return false;
  if (options.compressedIndexes) {
    const std::pair<const char*, std::vector<std::string>> tools[] = {
        {"/usr/bin/gzip", {"-9nkf", index}},
        {"/usr/bin/bzip2", {"-kf", index}},
        {"/usr/bin/xz", {"-kf", index}},
        {"/usr/bin/xz", {"--format=lzma", "-kf", index}},
    };
    for (const auto& [tool, arguments] : tools) {
      int status = 0;
      std::string log = run(tool, arguments, &status);
      if (status != 0) {
        ADD_FAILURE() << tool << " failed: " << log;
        return false;
      }
    }
  }
  return writeOrFail(folder + "/Release", releaseText(folder, options));
}
