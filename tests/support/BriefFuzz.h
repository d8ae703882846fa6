#pragma once
// A fuzz target run briefly in the normal test run: every input of its corpus as it is,
// then a fixed number of mutations of them with a fixed seed, so that a failure repeats.
// The same target, built with clang's libFuzzer (QB_BUILD_FUZZ), can run for as long as
// one likes; here it only has to hold on what a few thousand mutations reach.
//
//   BriefFuzz::Run run;
//   run.inputs = BriefFuzz::filesIn(testdata::fixture("fuzz/plist"));
//   run.pieces = {"<dict>", "</array>", "bplist00"};
//   BriefFuzz::run(run, [](const uint8_t* data, size_t size) { runPropertyListFuzzTarget(data, size); });
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace BriefFuzz {
struct Run {
  std::vector<std::string> inputs;  // the corpus
  std::vector<std::string> pieces;  // texts that steer the target into its rarer corners
  int mutations = 3000;
  uint32_t seed = 20261207;
};

// Runs `target` on each input, then on `run.mutations` mutations (byte changes, pieces
// inserted, spans erased, copied or spliced from another input).
void run(const Run& run, const std::function<void(const uint8_t* data, size_t size)>& target);

// The contents of every file in `folder` (not below it), in name order.
std::vector<std::string> filesIn(const std::string& folder);
// The file's contents, when it can be read.
std::vector<std::string> fileIfPresent(const std::string& path);
}  // namespace BriefFuzz
