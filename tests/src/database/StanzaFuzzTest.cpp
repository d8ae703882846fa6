// The control-file reader's fuzz target run briefly on a corpus of real control files.
#include <gtest/gtest.h>

#include "StanzaFuzzTarget.h"
#include "support/BriefFuzz.h"
#include "support/TestData.h"

TEST(StanzaFuzz, CorpusAndMutationsRunCleanly) {
  BriefFuzz::Run run;
  for (const char* file : {"repo/Packages", "repo/Release", "dpkg/status"})
    for (auto& input : BriefFuzz::fileIfPresent(testdata::fixture(file))) run.inputs.push_back(input);
  for (const char* file : {"repos/nepeta/Packages", "dpkg/ios15-rootless/status"})
    if (auto path = testdata::find(file))
      for (auto& input : BriefFuzz::fileIfPresent(*path)) run.inputs.push_back(input);
  run.pieces = {"\n", "\n\n", "\r\n", ": ", ":", " ", "\t", " .\n", "Package: x\n", "Description: a\n b\n .\n c\n",
                std::string("\0", 1), "\xEF\xBB\xBF", "\xFF\xFE", "#", "-----BEGIN PGP SIGNED MESSAGE-----\n",
                std::string(300, 'x')};
  run.mutations = 10000;
  BriefFuzz::run(run, [](const uint8_t* data, size_t size) { runStanzaFuzzTarget(data, size); });
}
