// The README's example session, run as written: every command in it must work.
#include <gtest/gtest.h>

#include "ApplicationProcess.h"
#include "foundation/Files.h"
#include "support/TempDir.h"

namespace {
TEST(ReadmeExampleTest, TheExampleSessionRunsAsWritten) {
  auto readme = Files::readText(QB_SOURCE_DIR "/README.md");
  ASSERT_TRUE(readme);
  std::string script;
  size_t commands = 0;
  for (size_t at = readme->find("\n    > "); at != std::string::npos; at = readme->find("\n    > ", at + 1)) {
    size_t start = at + 7;
    script += readme->substr(start, readme->find('\n', start) - start) + "\n";
    ++commands;
  }
  ASSERT_GE(commands, 4u) << "the README shows a session at the prompt";
  TempDir dir;
  auto outcome = ApplicationProcess::runScript(dir.file("device"), script);
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_EQ(outcome.output.find("> !"), std::string::npos) << "a command of the README fails:\n" << script << outcome.output;
  EXPECT_EQ(outcome.output.find("unknown command"), std::string::npos) << outcome.output;
}
}  // namespace
