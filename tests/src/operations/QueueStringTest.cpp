// The queue string of the queued records and the reading of APT's answer to a dry run,
// on outputs written out here; DryRunTest reads real ones.
#include <gtest/gtest.h>

#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "operations/KVAPTManager.h"

namespace {

using Ids = std::vector<std::string>;

KVRPackage queued(const std::string& identifier, std::optional<int64_t> operation,
                  std::optional<std::string> version = std::nullopt, bool installed = false, bool updated = false) {
  KVRPackage p;
  p.setIdentifier(identifier);
  p.setIsInTheQueue(true);
  p.setQueueOperation(operation);
  p.setQueuedVersion(version);
  p.setIsInstalled(installed);
  p.setIsUpdated(updated);
  return p;
}

TEST(QueueString, EachRecordIsOneTokenAndTheStoredOperationDecidesTheRemoval) {
  EXPECT_EQ(KVAPTManager::queueStringForKVRPackageArray({}), "");
  EXPECT_EQ(KVAPTManager::queueStringForKVRPackageArray({queued("gone", KVQueueOperationRemove, std::nullopt, true)}),
            "gone-");
  EXPECT_EQ(KVAPTManager::queueStringForKVRPackageArray({
                queued("new", KVQueueOperationInstall),
                queued("older", KVQueueOperationDowngrade, std::string("1.0"), true),
                queued("again", KVQueueOperationReinstall, std::string("2.0"), true),
                queued("gone", KVQueueOperationRemove, std::nullopt, true),
            }),
            "new older=1.0 again=2.0 gone-");
  // A reinstall of an installed package without an update and without a version must
  // not remove it: only a stored removal does.
  EXPECT_EQ(KVAPTManager::queueStringForKVRPackageArray({queued("again", KVQueueOperationReinstall, std::nullopt, true)}),
            "again");
  // Without a stored operation the package's state decides, as it always did.
  EXPECT_EQ(KVAPTManager::queueStringForKVRPackageArray({queued("current", std::nullopt, std::nullopt, true),
                                                         queued("updatable", std::nullopt, std::nullopt, true, true),
                                                         queued("chosen", std::nullopt, std::string(""), true)}),
            "current- updatable chosen");
}

TEST(QueueString, AQueueNamesEachIdentifierOnce) {
  EXPECT_EQ(KVAPTManager::identifiersOfQueue("a b=1.0 c- d+ e=1:2.0-"), (Ids{"a", "b", "c", "d", "e"}));
  EXPECT_TRUE(KVAPTManager::identifiersOfQueue("").empty());
}

TEST(DryRunOutput, WithoutAHeadingOnlyTheQueueSpeaks) {
  APTDependsTree tree = KVAPTManager::dependsTreeFromOutput("a b=1.0 c-", "Reading package lists...\nE: nothing\n");
  EXPECT_EQ(tree.downloads, (Ids{"a", "b"}));
  EXPECT_EQ(tree.removes, Ids{"c"});
  EXPECT_TRUE(tree.depends.empty() && tree.upgrades.empty() && tree.installs.empty() && tree.incompatible.empty());
}

TEST(DryRunOutput, SectionsTakeTheFirstLineAlwaysAndIndentedLinesAfterIt) {
  const std::string output =
      "The following additional packages will be installed:\n"
      "  lib\n"
      "The following NEW packages will be installed:\n"
      "not-indented\n"
      "  lib tool\n"
      "The following packages will be upgraded:\n"
      "  old\n"
      "Inst lib (1.0 Test:./ [iphoneos-arm])\n"
      "The following packages will be REMOVED:\n"
      "  gone1 gone2\n"
      "0 upgraded, 2 newly installed, 2 to remove and 0 not upgraded.\n";
  APTDependsTree tree = KVAPTManager::dependsTreeFromOutput("tool", output);
  EXPECT_EQ(tree.downloads, (Ids{"tool", "lib", "not-indented", "old"})) << "each once";
  EXPECT_EQ(tree.depends, Ids{"lib"});
  EXPECT_EQ(tree.installs, (Ids{"not-indented", "lib", "tool"}));
  EXPECT_EQ(tree.upgrades, Ids{"old"});
  EXPECT_EQ(tree.removes, (Ids{"gone1", "gone2"}));
}

TEST(DryRunOutput, UnmetDependenciesSplitIntoWhatWillBeInstalledAndWhatCannotBe) {
  const std::string output =
      "The following packages have unmet dependencies:\n"
      " tool : Depends: libx (>= 2) but it is not going to be installed\n"
      "        Depends: liby but it is not installable\n"
      " libx : Depends: libz but it is not installable\n"
      " broken : Depends: missing but it is not installable\n"
      "E: Unable to correct problems, you have held broken packages.\n";
  APTDependsTree tree = KVAPTManager::dependsTreeFromOutput("tool broken", output);
  EXPECT_EQ(tree.installs, Ids{"libx"});
  EXPECT_EQ(tree.downloads, (Ids{"tool", "broken", "libx"}));
  EXPECT_EQ(tree.incompatible, Ids{"broken"}) << "libx is being installed, and an indented line is passed over";
}

}  // namespace
