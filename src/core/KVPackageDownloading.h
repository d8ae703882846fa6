#pragma once
// What the packages manager (in the database) calls to fetch the archives of a confirmed
// queue: the download tasks are built above it, with the package operations. The
// composition root hands it the package operations' own.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

// A .deb file handed to the application, installed through APT beside a queue so that
// its dependencies come from the sources. The file lies in the device root under a name
// APT reads as a file (KVAPTManager::isLocalArchivePath); the run that installs it
// deletes it.
struct KVLocalArchive {
  std::string path;
  // From its control file.
  std::string identifier;
  std::string name;  // "Name", else the identifier
  std::string version;
  std::string description;
  std::string maintainer;

  bool operator==(const KVLocalArchive&) const = default;
};

// A queue the user confirmed, handed from the confirmation to the downloads and on to
// the APT run: the queue string its dry run resolved, which is exactly what the run
// installs, with the local archives it installs too, and the display names of the
// packages the run touches, for its output.
struct KVConfirmedQueue {
  std::string queueString;
  std::map<std::string, std::string> packageNames;
  std::vector<KVLocalArchive> archives = {};
  // Its dry run let the held packages it names change (they were chosen by hand): the run
  // does the same.
  bool allowHeldChanges = false;

  bool isEmpty() const { return queueString.empty() && archives.empty(); }
  // The archives' paths, as the APT layer takes them.
  std::vector<std::string> archivePaths() const {
    std::vector<std::string> paths;
    for (const auto& archive : archives) paths.push_back(archive.path);
    return paths;
  }
  bool operator==(const KVConfirmedQueue&) const = default;
};

class KVPackageDownloading {
 public:
  virtual ~KVPackageDownloading() = default;
  // Queues one download task per identifier on the pipeline, all in one batch: when the
  // last of the batch has ended, and every one of them ended well, the APT run of
  // `queue` is queued (none for an empty queue string). A call for the same queue while
  // its batch is still fetching joins it. Answers how many tasks were queued.
  virtual size_t downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers,
                                                 const KVConfirmedQueue& queue) = 0;
};
