// The command line: every mistake refused with what is wrong, before anything is written.
#include <gtest/gtest.h>

#include <map>

#include "ApplicationProcess.h"
#include "app/CommandLine.h"
#include "foundation/Files.h"
#include "support/TempDir.h"

namespace {
struct Parsed {
  std::optional<CommandLine> line;
  std::string error;
};

Parsed parse(std::vector<const char*> args, std::map<std::string, std::string> environment = {{"HOME", "/home/ada"}},
             const std::string& current = "/work/here") {
  Parsed out;
  out.line = CommandLine::parse(
      int(args.size()), args.data(),
      [&](const char* name) -> std::optional<std::string> {
        auto it = environment.find(name);
        return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
      },
      current, &out.error);
  return out;
}

TEST(CommandLineTest, TheDeviceRootIsMadeAbsolute) {
  EXPECT_EQ(parse({"--device-root", "dev"}).line->deviceRoot, "/work/here/dev");
  EXPECT_EQ(parse({"--device-root=../dev/"}).line->deviceRoot, "/work/dev");
  EXPECT_EQ(parse({"--device-root", "/tmp//a/./b/"}).line->deviceRoot, "/tmp/a/b");
  EXPECT_EQ(parse({}).line->deviceRoot, "/home/ada/.local/share/quillbark/device");
  EXPECT_EQ(parse({}, {{"HOME", "/home/ada"}, {"XDG_DATA_HOME", "/data"}}).line->deviceRoot, "/data/quillbark/device");
  EXPECT_EQ(parse({}, {{"HOME", "/home/ada"}, {"XDG_DATA_HOME", "rel"}}).line->deviceRoot,
            "/home/ada/.local/share/quillbark/device")
      << "a relative XDG_DATA_HOME is ignored";
  EXPECT_TRUE(parse({"--help"}, {}).line->help) << "help needs no HOME";
  auto services = parse({"--vendor-service", "http://127.0.0.1:8092", "--outside-store=http://127.0.0.1:8091"});
  EXPECT_EQ(services.line->vendorService, "http://127.0.0.1:8092");
  EXPECT_EQ(services.line->outsideStore, "http://127.0.0.1:8091/");
}

TEST(CommandLineTest, EveryMistakeSaysWhatIsWrong) {
  struct Case {
    std::vector<const char*> args;
    const char* says;
  } cases[] = {
      {{"--device-root"}, "--device-root needs a folder: --device-root DIR"},
      {{"--device-root="}, "given an empty one"},
      {{"--device-root", ""}, "given an empty one"},
      {{"--device-root", "--help"}, "not the option --help"},
      {{"--device-root", "a", "--device-root", "b"}, "given twice (a and b)"},
      {{"--verbose"}, "unknown option --verbose"},
      {{"dev"}, "unexpected argument \"dev\""},
      {{"--device-root", "/"}, "cannot be /"},
      {{"--device-root", "//"}, "cannot be /"},
      {{"--device-root", "/tmp/quo\"te"}, "double quote"},
      {{"--vendor-service"}, "--vendor-service needs an address"},
      {{"--vendor-service=file:///tmp/"}, "--vendor-service takes an http or https address"},
      {{"--outside-store", "127.0.0.1:8091"}, "--outside-store takes an http or https address"},
  };
  for (auto& c : cases) {
    Parsed p = parse(c.args);
    EXPECT_FALSE(p.line) << c.says;
    EXPECT_NE(p.error.find(c.says), std::string::npos) << p.error;
  }
  Parsed noHome = parse({}, {});
  EXPECT_FALSE(noHome.line);
  EXPECT_NE(noHome.error.find("HOME is not set"), std::string::npos) << noHome.error;
  EXPECT_NE(noHome.error.find("--device-root DIR"), std::string::npos) << "it says what to do instead";
  Parsed noFolder = parse({"--device-root", "dev"}, {{"HOME", "/h"}}, "");
  EXPECT_NE(noFolder.error.find("current folder cannot be read"), std::string::npos) << noFolder.error;
}

TEST(CommandLineTest, TheApplicationRefusesBeforeWritingAnything) {
  TempDir home;
  for (std::vector<std::string> args : {std::vector<std::string>{"--device-root"}, {"--nonsense"}, {"stray"},
                                        {"--device-root", home.file("quo\"te")}}) {
    args.insert(args.begin(), {"-u", "XDG_DATA_HOME", "HOME=" + home.path(), ApplicationProcess::kPath});
    auto outcome = Process::run("/usr/bin/env", args);
    EXPECT_EQ(outcome.status, 2) << outcome.output;
    EXPECT_EQ(outcome.output.rfind("quillbark: ", 0), 0u) << outcome.output;
    EXPECT_TRUE(Files::contentsOfDirectory(home.path()).empty()) << args[4] << " wrote something";
  }
  auto noHome = Process::run("/usr/bin/env", {"-u", "HOME", "-u", "XDG_DATA_HOME", ApplicationProcess::kPath});
  EXPECT_EQ(noHome.status, 2);
  EXPECT_NE(noHome.output.find("HOME is not set"), std::string::npos) << noHome.output;
}

// A folder of other things is never filled with a device's folders; a new, an empty and
// an earlier device root are taken; a root that cannot be made says why.
TEST(CommandLineTest, OnlyANewAnEmptyOrAnEarlierDeviceRootIsTaken) {
  TempDir dir;
  ASSERT_TRUE(Files::createDirectories(dir.file("documents")));
  Files::writeAtomically(dir.file("documents/letter.txt"), std::string("Dear Ada\n"));
  auto foreign = ApplicationProcess::runScript(dir.file("documents"), "quit\n");
  EXPECT_EQ(foreign.status, 2) << foreign.output;
  EXPECT_NE(foreign.output.find("holds other things and is not a device root; give a new or empty folder"),
            std::string::npos)
      << foreign.output;
  EXPECT_EQ(Files::contentsOfDirectory(dir.file("documents")), std::vector<std::string>{"letter.txt"});

  ASSERT_TRUE(Files::createDirectories(dir.file("empty")));
  EXPECT_EQ(ApplicationProcess::runScript(dir.file("empty"), "quit\n").status, 0);
  auto again = ApplicationProcess::runScript(dir.file("empty"), "quit\n");
  EXPECT_EQ(again.status, 0) << "the root it made is taken again: " << again.output;

  auto unmade = ApplicationProcess::runScript(dir.file("documents/letter.txt/device"), "quit\n");
  EXPECT_EQ(unmade.status, 1) << unmade.output;
  EXPECT_NE(unmade.output.find("cannot make the device root " + dir.file("documents/letter.txt/device") + ": Not a directory"),
            std::string::npos)
      << unmade.output;
}

TEST(CommandLineTest, ARelativeDeviceRootIsTakenFromTheCurrentFolder) {
  TempDir dir;
  auto outcome = Process::run("/bin/sh", {"-c", "cd \"$1\" && exec \"$0\" --device-root ./dev/ < /dev/null",
                                          ApplicationProcess::kPath, dir.path()});
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_TRUE(Files::isDirectory(dir.file("dev/var/lib/dpkg/info")));
  // The README's way in, from another folder: the folder is the caller's, not the
  // checkout's. The script runs from a copy whose build step does nothing, so that no
  // test rebuilds the application while others run it.
  TempDir checkout;
  ASSERT_TRUE(Files::createDirectories(checkout.file("scripts")));
  Files::copyItem(QB_SOURCE_DIR "/scripts/run", checkout.file("scripts/run"));
  Files::writeAtomically(checkout.file("scripts/build"), "#!/bin/sh\nexit 0\n");
  Process::run("/bin/chmod", {"+x", checkout.file("scripts/build"), checkout.file("scripts/run")});
  auto viaScript = Process::run("/bin/sh", {"-c", "cd \"$1\" && QB_BUILD_DIR=\"$2\" exec \"$0\" --device-root run-dev < /dev/null",
                                            checkout.file("scripts/run"), dir.path(), QB_BINARY_DIR});
  EXPECT_EQ(viaScript.status, 0) << viaScript.output;
  EXPECT_TRUE(Files::isDirectory(dir.file("run-dev/var/lib/dpkg/info"))) << viaScript.output;
}
}  // namespace
