#include "ApplicationProcess.h"

#include <gtest/gtest.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Files.h"
#include "support/DebBuilder.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"

namespace ApplicationProcess {
void makeDeviceRootAfterFirstRun(const std::string& deviceRoot) {
  auto first = runScript(deviceRoot, "quit\n");
  ASSERT_EQ(first.status, 0) << first.output;
  ScopedDeviceRoot root(deviceRoot);
  QuillbarkPersistentPreferences::resetSharedInstance();
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "setupDone");
  QuillbarkPersistentPreferences::sharedInstance().saveToFile();
  QuillbarkPersistentPreferences::resetSharedInstance();
}

void buildToolAndLibrary(const std::string& folder) {
  DebBuilder debs(folder);
  debs.build(DebPackage("com.example.lib", "1.0").field("Name", "Example Library").file("/usr/lib/example.txt", "lib\n"),
             "lib.deb");
  debs.build(DebPackage("com.example.tool", "1.0")
                 .field("Name", "Example Tool")
                 .field("Depends", "com.example.lib (>= 1.0)")
                 .file("/usr/bin/example-tool", "tool\n"),
             "tool.deb");
}

Process::Outcome runScript(const std::string& deviceRoot, const std::string& script,
                           const std::vector<std::string>& moreArguments) {
  TempDir dir;
  Files::writeAtomically(dir.file("script"), script);
  std::vector<std::string> arguments{"-c", "script=$1; shift; exec \"$0\" \"$@\" < \"$script\"", kPath,
                                     dir.file("script"), "--device-root", deviceRoot};
  arguments.insert(arguments.end(), moreArguments.begin(), moreArguments.end());
  return Process::run("/bin/sh", arguments);
}
}  // namespace ApplicationProcess
