#include "support/BriefFuzz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "foundation/Files.h"

namespace BriefFuzz {
namespace {
std::string mutate(const std::vector<std::string>& inputs, const std::vector<std::string>& pieces,
                   std::mt19937& random) {
  std::string out = inputs[random() % inputs.size()];
  int edits = 1 + static_cast<int>(random() % 6);
  for (int i = 0; i < edits; ++i) {
    size_t at = out.empty() ? 0 : random() % (out.size() + 1);
    switch (random() % 6) {
      case 0:  // one byte changed, often at a bit
        if (at < out.size()) out[at] = random() % 2 ? char(out[at] ^ (1 << (random() % 8))) : char(random());
        break;
      case 1:
        if (!pieces.empty()) out.insert(at, pieces[random() % pieces.size()]);
        break;
      case 2:
        if (at < out.size()) out.erase(at, 1 + random() % 16);
        break;
      case 3:  // a span of the input repeated elsewhere in it
        if (!out.empty()) out.insert(at, out.substr(random() % out.size(), 1 + random() % 64));
        break;
      case 4: {  // a span of another input
        const std::string& other = inputs[random() % inputs.size()];
        if (!other.empty()) out.insert(at, other.substr(random() % other.size(), 1 + random() % 256));
        break;
      }
      case 5:  // cut short
        if (at < out.size() && random() % 4 == 0) out.resize(at);
        break;
    }
  }
  return out;
}
}  // namespace

void run(const Run& run, const std::function<void(const uint8_t*, size_t)>& target) {
  ASSERT_FALSE(run.inputs.empty()) << "an empty corpus";
  auto call = [&](const std::string& input) {
    target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  };
  for (const std::string& input : run.inputs) call(input);
  call(std::string());
  std::mt19937 random(run.seed);
  for (int i = 0; i < run.mutations; ++i) call(mutate(run.inputs, run.pieces, random));
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    if (it->is_regular_file()) names.push_back(it->path().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> out;
  for (const auto& name : names) out.push_back(Files::readText(name).value_or(std::string()));
  return out;
}

std::vector<std::string> fileIfPresent(const std::string& path) {
  auto text = Files::readText(path);
  return text ? std::vector<std::string>{*text} : std::vector<std::string>{};
}
}  // namespace BriefFuzz
