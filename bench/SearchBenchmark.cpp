// The local package search as one types, over Debian's index and the real repositories
// (made into records by the refresh's own import): each query as the search asks it
// (names holding the text, folded by case and diacritics, the "cy+" packages and those
// known not to work left out, sorted by name; maintainers where no name holds it) and
// the first screen of rows read. Timed by processor time in the database that keeps the
// listed columns in memory, and in a copy that answers from the file as the store did
// before; both must answer the same rows in the same order.
//
// First, the search as a user meets it after a start: each word's first three letters
// in fresh processes that have just opened the database and waited for it to settle (it
// reads the columns it keeps in memory in the background as it opens, long before a
// person has reached the search and typed), answering the same rows as the file; a
// word's figure is the median of three such processes.
//
//   bench_search [runs]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchFreshProcess.h"
#include "BenchIndex.h"
#include "BenchTiming.h"
#include "BenchReport.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageSearch.h"
#include "database/KVRSchema.h"
#include "store/Store.h"
#include "support/IndexRecords.h"
#include "support/RecordsSchema.h"
#include "support/TempDir.h"

namespace {

// Names that many, few or no packages hold, and maintainers' names that no package name
// holds.
const std::vector<std::string> kWords = {"firefox", "python3-", "libreoffice", "gnome-shell", "xfce4", "kernel",
                                         "ünïcode", "zzqx",    "Bastian",     "Sébastien",   "Holger"};

// The first `letters` characters of a word.
std::string lettersOf(const std::string& word, size_t letters) {
  size_t n = 0;
  while (n < word.size() && letters > 0)
    if ((static_cast<unsigned char>(word[++n]) & 0xC0) != 0x80) --letters;
  return word.substr(0, n);
}

// What a user types, letter by letter past the third (the search starts there).
std::vector<std::string> typedQueries() {
  std::vector<std::string> queries;
  for (const std::string& text : kWords) {
    for (size_t n = 3; n <= text.size(); ++n)
      if (n == text.size() || (static_cast<unsigned char>(text[n]) & 0xC0) != 0x80) queries.push_back(text.substr(0, n));
  }
  return queries;
}

struct Answer {
  std::vector<int64_t> ids;
  size_t count = 0;
};

// One search and its first screen (five rows on the search tab), in the default database.
Answer search(const std::string& text) {
  auto results = KVRPackageSearch::packagesMatching(text, KVRPackageSearch::kFuzzy, false);
  Answer answer;
  answer.count = results.count();
  for (size_t i = 0; i < std::min<size_t>(answer.count, 5); ++i)
    if (auto row = results.results().at(i)) answer.ids.push_back(row->objectId());
  answer.ids.insert(answer.ids.end(), results.results().objectIds().begin(), results.results().objectIds().end());
  return answer;
}

store::Configuration configurationAt(const std::string& path) {
  store::Configuration c;
  c.path = path;
  c.schemaVersion = KVRSchema::kSchemaVersion;
  c.schema = KVRSchema::schema();
  return c;
}

// In a fresh process: opens the database at `path` as the program does at its start,
// waits for it to settle, and searches `text` once. Prints the processor and wall time
// of the search, the time the opening took to settle (ms), and the ids found.
int firstSearch(const std::string& path, const std::string& text) {
  const double opened = benchWallMs();
  store::Database::setDefaultConfiguration(configurationAt(path));
  auto db = store::Database::defaultDatabase();
  if (!db) benchFailure("the database does not open");
  db->settle();
  const double settled = benchWallMs() - opened;
  const double wall = benchWallMs(), cpu = benchThreadCpuMs();
  Answer answer = search(text);
  std::vector<double> figures{benchThreadCpuMs() - cpu, benchWallMs() - wall, settled};
  figures.insert(figures.end(), answer.ids.begin(), answer.ids.end());
  benchReportFresh(figures);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (benchIsFreshProcess(argc, argv)) return argc == 4 ? firstSearch(argv[2], argv[3]) : 2;
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string debian = benchTestData(kDebianIndex);
  const std::string repos = benchTestData("repos");
  TempDir dir;
  store::Configuration held = configurationAt(dir.file("default.realm"));
  {
    auto db = store::Database::open(held).value();
    std::string error;
    size_t total = applyIndexAsRefresh(*db, debian, "http://127.0.0.1:8080/debian/", &error);
    for (const char* repo : {"nepeta", "paidrepo", "utm", "poomsmart/repo", "procursus-mirror"})
      total += applyIndexAsRefresh(*db, repos + "/" + repo + "/Packages", std::string("https://") + repo + "/", &error);
    if (total < 63000) benchFailure("the records were not made: " + error);
    db->settle();
  }
  std::filesystem::copy_file(held.path, dir.file("copy.realm"));
  store::Configuration fileOnly = held;
  fileOnly.path = dir.file("copy.realm");
  fileOnly.schema = schemaWithoutHeldColumns(held.schema);
  auto fileDb = store::Database::open(fileOnly).value();

  // Each word's first search after a start, before anything else opened the database:
  // the median of three fresh processes (one may meet a busy moment of the machine).
  std::vector<double> firstCpu, firstWall, settling;
  for (const std::string& word : kWords) {
    const std::string text = lettersOf(word, 3);
    store::Database::setDefaultConfiguration(fileOnly);
    const std::vector<int64_t> expected = search(text).ids;
    std::vector<double> cpu, wall;
    for (int i = 0; i < 3; ++i) {
      std::vector<double> fresh = benchInFreshProcess({held.path, text});
      if (fresh.size() < 3) benchFailure("the fresh process measured nothing");
      if (std::vector<int64_t>(fresh.begin() + 3, fresh.end()) != expected)
        benchFailure("the first search of \"" + text + "\" found other packages than the file does");
      cpu.push_back(fresh[0]);
      wall.push_back(fresh[1]);
      settling.push_back(fresh[2]);
    }
    firstCpu.push_back(medianOf(cpu));
    firstWall.push_back(medianOf(wall));
  }
  store::Database::setDefaultConfiguration({});
  std::printf("the first search after a start (ms of processor time): median %.2f, worst %.2f (wall: median %.2f, worst "
              "%.2f); the database settled %.0f ms after it was opened (median) | load %.2f\n",
              medianOf(firstCpu), *std::max_element(firstCpu.begin(), firstCpu.end()), medianOf(firstWall),
              *std::max_element(firstWall.begin(), firstWall.end()), medianOf(settling), loadAverage());

  auto heldDb = store::Database::open(held).value();
  heldDb->settle();

  std::vector<double> memoryTimes, fileTimes;
  size_t found = 0;
  for (const std::string& text : typedQueries()) {
    double bestMemory = 1e9, bestFile = 1e9;
    Answer memory, file;
    for (int i = 0; i < runs; ++i) {
      store::Database::setDefaultConfiguration(held);
      double t = threadSeconds();
      memory = search(text);
      bestMemory = std::min(bestMemory, threadSeconds() - t);
      store::Database::setDefaultConfiguration(fileOnly);
      t = threadSeconds();
      file = search(text);
      bestFile = std::min(bestFile, threadSeconds() - t);
    }
    if (memory.ids != file.ids) benchFailure("\"" + text + "\" found other packages than the file does");
    found += memory.count;
    memoryTimes.push_back(bestMemory * 1e3);
    fileTimes.push_back(bestFile * 1e3);
  }
  store::Database::setDefaultConfiguration({});
  const double worst = *std::max_element(memoryTimes.begin(), memoryTimes.end());
  std::printf("%zu queries over %zu records, %zu packages found in all; per query (ms of processor time): median %.2f, "
              "worst %.2f; from the file: median %.2f, worst %.2f | load %.2f\n",
              memoryTimes.size(), heldDb->objects(KVRPackage::className()).count(), found, medianOf(memoryTimes), worst,
              medianOf(fileTimes), *std::max_element(fileTimes.begin(), fileTimes.end()), loadAverage());
  reportFigure("search/first-after-a-start-median", medianOf(firstCpu), "ms", 10);
  reportFigure("search/first-after-a-start-worst", *std::max_element(firstCpu.begin(), firstCpu.end()), "ms", 10);
  reportFigure("search/median", medianOf(memoryTimes), "ms", 5);
  reportFigure("search/worst", worst, "ms", 10);
  reportRatio("search/median-vs-the-file", medianOf(memoryTimes), medianOf(fileTimes), "ms", 0);
  return 0;
}
