// The decoders' fuzz target run briefly on a corpus of real compressed indexes.
#include <gtest/gtest.h>

#include "DecodersFuzzTarget.h"
#include "support/BriefFuzz.h"
#include "support/TestData.h"

TEST(DecodersFuzz, CorpusAndMutationsRunCleanly) {
  BriefFuzz::Run run;
  for (const char* name : {"Packages.gz", "Packages.bz2", "Packages.xz", "Packages.lzma"})
    for (auto& input : BriefFuzz::fileIfPresent(testdata::fixture("repo/") + name)) run.inputs.push_back(input);
  // A real repository's indexes, when the shared test data is there: run as they are.
  BriefFuzz::Run real;
  if (auto folder = testdata::find("repos/nepeta"))
    for (const char* name : {"Packages.gz", "Packages.bz2", "Packages.xz", "Packages.lzma"})
      for (auto& input : BriefFuzz::fileIfPresent(*folder + "/" + name)) real.inputs.push_back(input);
  run.pieces = {"BZh9", "\x1F\x8B\x08", "\xFD" "7zXZ", std::string("\x5D\x00\x00\x80\x00", 5),
                std::string(8, '\xFF'), std::string(16, '\0'), "1AY&SY"};
  run.mutations = 4000;
  auto target = [](const uint8_t* data, size_t size) { runDecodersFuzzTarget(data, size); };
  BriefFuzz::run(run, target);
  if (!real.inputs.empty()) {
    real.mutations = 40;
    BriefFuzz::run(real, target);
  }
}
