#pragma once
// Real .deb archives built with dpkg-deb -b, and flat repositories made of them
// (Packages in every compression and a Release with their hashes), for tests that
// install through the real APT and dpkg.
//
//   DebBuilder debs(folder);
//   std::string deb = debs.build(DebPackage("com.example.tool", "1.0").field("Depends", "com.example.lib"));
//   DebBuilder::writeFlatRepository(folder, {"com_example_tool.deb"});
#include <string>
#include <utility>
#include <vector>

struct DebPackage {
  explicit DebPackage(std::string id, std::string v = "1.0") : identifier(std::move(id)), version(std::move(v)) {}
  DebPackage& field(std::string key, std::string value) {
    fields.emplace_back(std::move(key), std::move(value));
    return *this;
  }
  DebPackage& file(std::string path, std::string contents) {
    files.emplace_back(std::move(path), std::move(contents));
    return *this;
  }
  DebPackage& program(std::string path, std::string contents) {
    programs.emplace_back(std::move(path), std::move(contents));
    return *this;
  }
  DebPackage& link(std::string path, std::string target) {
    links.emplace_back(std::move(path), std::move(target));
    return *this;
  }
  DebPackage& script(std::string name, std::string text) {
    scripts.emplace_back(std::move(name), std::move(text));
    return *this;
  }
  DebPackage& mode(std::string path, unsigned bits) {
    modes.emplace_back(std::move(path), bits);
    return *this;
  }

  std::string identifier;
  std::string version;
  std::string architecture = "iphoneos-arm";
  // More control fields, in order ("Depends", "Name", "Section", ...).
  std::vector<std::pair<std::string, std::string>> fields;
  // Files the package installs: device path and contents.
  std::vector<std::pair<std::string, std::string>> files;
  // Executable files the package installs (mode 0755).
  std::vector<std::pair<std::string, std::string>> programs;
  // Symbolic links the package installs: device path and the link's target, as written.
  std::vector<std::pair<std::string, std::string>> links;
  // Maintainer scripts: "postinst", "prerm", ... and their text (made executable).
  std::vector<std::pair<std::string, std::string>> scripts;
  // Modes given to files or programs above (04755, a set-user-id program), by device path.
  std::vector<std::pair<std::string, unsigned>> modes;
};

struct FlatRepositoryOptions {
  std::string origin = "Test Repository";
  std::string label = "Test";
  std::string description = "Packages for tests";
  bool compressedIndexes = true;  // Packages.gz, .bz2, .xz and .lzma besides Packages
};

class DebBuilder {
 public:
  explicit DebBuilder(std::string outputFolder) : folder_(std::move(outputFolder)) {}

  // Builds the archive into the output folder (as `fileName`, or "identifier_version.deb"
  // with ":" written "%3a") and answers its path; empty, with a test failure added,
  // when dpkg-deb fails.
  std::string build(const DebPackage& package, const std::string& fileName = {}) const;
  static std::string controlText(const DebPackage& package);

  // The Packages stanza of an archive: its control fields, then Filename (as given),
  // Size, MD5sum and SHA256.
  static std::string packagesStanza(const std::string& debPath, const std::string& filename);
  // Writes Packages (and its compressed forms) and Release into `folder` for the
  // archives named, relative to `folder`. Answers false, with a test failure, on error.
  static bool writeFlatRepository(const std::string& folder, const std::vector<std::string>& debFiles,
                                  const FlatRepositoryOptions& options = {});
  // The same from a Packages text written here (stanzas that need no archive).
  static bool writeRepositoryIndex(const std::string& folder, const std::string& packages,
                                   const FlatRepositoryOptions& options = {});
  static std::string releaseText(const std::string& folder, const FlatRepositoryOptions& options);

  // Runs a program (no shell) and answers its output; `status` gets its exit status.
  static std::string run(const std::string& program, const std::vector<std::string>& arguments, int* status);

 private:
  std::string folder_;
};
