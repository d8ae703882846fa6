#pragma once
// The manager of the sources (repositories): adds a source from a typed or received
// location (normalised, duplicates under either scheme refused, a warning before a
// plain-http one, the owner's authentication when the settings ask for it), removes a
// source with everything derived from it, and refreshes sources, each as one
// KVSourceRefresh task on the pipeline. It keeps the refresh batch: the flag and the
// date that every task of one batch shares.
//
// The composition root makes the one manager, connects it (KVConnections::sources) and
// hands it to the screens and the database facade.
//
// Notifications: "KVRSourceUpdatedNotification" (no object) on the main thread after a
// removal has committed; each refresh task posts it with its location when it ends.
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/KVSourceLocation.h"
#include "core/KVSourcesManaging.h"
#include "database/KVRSource.h"

class UIImage;

inline constexpr const char* KVRSourceUpdatedNotification = "KVRSourceUpdatedNotification";

class KVRSources : public KVSourcesManaging, public std::enable_shared_from_this<KVRSources> {
 public:
  KVRSources() = default;

  // --- Refreshing
  // A batch over every source, when the first-run set-up is done and a network is there;
  // answers whether one was started (the tasks are queued afterwards, in the background).
  bool refreshAllSources() override;
  // Refreshes one or several sources, joining the running batch, when the first-run
  // set-up is done; each task checks the network itself.
  void refreshSource(const std::string& location);
  void refreshSources(const std::vector<std::string>& locations);
  // Batch bookkeeping: a batch's date is set by its first request and kept while it runs;
  // a refresh of all sources also records it as "lastRefreshDate" and saves at once.
  void setIsRefreshInProgress(bool flag, bool all);
  bool isRefreshInProgress() const;
  void setIsRefreshInProgress(bool flag);
  std::optional<Date> currentRefreshDate() override;
  void setCurrentRefreshDate(std::optional<Date> date);
  // The pipeline saw the batch's last task end: flag and date are cleared.
  void refreshBatchEnded() override;

  // --- Adding and removing
  // Answers YES when the addition was started. The text becomes a KVSourceLocation (the
  // one check of every location; a refusal shows the "Invalid Source" card with the
  // reason); a repository already present under either scheme is refused. A plain-http location without
  // `httpApproval` shows the warning card and adds nothing until "Continue".
  bool addSourceWithLocation(const std::string& text, bool httpApproval, bool showOriginalDepictions);
  bool addSourceWithLocation(const std::string& text, bool httpApproval);
  // The same for a location made already (which the one check has passed).
  bool addSource(const KVSourceLocation& location, bool httpApproval, bool showOriginalDepictions);
  // The import of other package managers' lists: every location that passes the check a
  // typed one passes and is no source yet under either scheme is added ("/" appended when
  // missing; of a repository listed under both schemes, the https one), all in one write
  // transaction on the caller's thread. Answers the locations added, once committed;
  // nothing is refreshed here.
  std::vector<std::string> addImportedSources(const std::set<std::string>& locations);
  // "Continue" on the warning card: the location waiting for approval, approved.
  void addHTTPSource();
  // Removes the source, its kept index, its list files and sources-list line, its
  // packages and their versions; installed packages go back to dpkg's ("DPKG") once the
  // removal has committed. Always YES.
  bool removeSourceWithLocation(const std::string& location);
  // The same, for callers that hold no manager (the refresh task).
  static bool removeSource(const std::string& location);

  // --- Reading
  // Whether a source exists at the text under "https://" or "http://" (YES for a text
  // without "://").
  static bool sourceExists(const std::string& text);
  // The locations of all sources, in database order (the cached list is replaced too).
  std::vector<std::string> arrayOfConfiguredSources();
  // The size of the cached list, which is replaced in the background, so the answer is
  // that of the previous replacement.
  size_t count();
  std::optional<KVRSource> sourceAtIndex(size_t index) const;
  std::optional<KVRSource> sourceWithLocation(const std::string& location) const;
  std::vector<KVRSource> sources() const;
  std::optional<std::string> url() const;

  // --- Icons (KVIconProvider): answered at once; a missing icon is downloaded and
  // announced by "KVRSourceInfoIconChangedNotification".
  static std::shared_ptr<UIImage> iconForLocation(const std::string& location);
  static void removeIconForLocation(const std::string& location);

  // The kept copy of a source's last parsed index, by which an unchanged one is known.
  static std::string keptIndexPath(const std::string& location);
  // Forgets what a source left on disk: its kept index, list files and sources-list line.
  static void forgetSourceFiles(const std::string& location);

 private:
  void queueRefreshes(const std::vector<std::string>& locations);
  void addSourceAfterChecks(const std::string& location, bool showOriginalDepictions);
  void replaceSources(std::vector<KVRSource> sources);

  mutable std::mutex batchMutex_;
  bool isRefreshInProgress_ = false;
  std::optional<Date> currentRefreshDate_;

  mutable std::mutex mutex_;
  std::vector<KVRSource> sources_;
  std::optional<std::string> url_;
};
