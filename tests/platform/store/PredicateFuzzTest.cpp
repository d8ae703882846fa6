// The predicate parser's fuzz target run briefly on the predicate texts the system writes.
#include <gtest/gtest.h>

#include <sstream>

#include "PredicateFuzzTarget.h"
#include "support/BriefFuzz.h"
#include "support/TestData.h"

TEST(PredicateFuzz, CorpusAndMutationsRunCleanly) {
  BriefFuzz::Run run;
  for (const auto& file : BriefFuzz::filesIn(testdata::fixture("fuzz/predicate"))) {
    std::istringstream lines(file);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) run.inputs.push_back(line);
  }
  run.pieces = {"(", ")", "{", "}", "NOT ", "!", " AND ", " OR ", " && ", " || ", "==[cd]", "!=", "<=", ">", " IN ",
                " BETWEEN ", " CONTAINS[c] ", "ANY ", "ALL ", "NONE ", "%@", "%K", "%d", "%", "'", "\"", "\\",
                "nil", "TRUEPREDICATE", ".@count", "1e309", "-0.5", "name", "versions.version", std::string("\0", 1)};
  run.mutations = 20000;
  BriefFuzz::run(run, [](const uint8_t* data, size_t size) { runPredicateFuzzTarget(data, size); });
}

TEST(PredicateFuzz, DeepNestingIsRefusedNotAStackOverflow) {
  for (const char* open : {"(", "NOT ", "!", "name IN {"}) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += open;
    text += "flag = 1";
    runPredicateFuzzTarget(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
}
