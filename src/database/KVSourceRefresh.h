#pragma once
// The refresh of one source, a task of the pipeline ("source.ops"): fetches the Release
// file (conditionally) and stores what it says on the source record, asks the
// repository's payment service for its endpoint (the task does not end before the
// answer), fetches the first Packages index that exists among .xz, .lzma, .bz2, .gz and
// plain (conditionally), ends early when it equals the copy kept from the last parsed
// run, and otherwise decodes it into APT's list file while its stanzas become package
// records (KVSourceIndexImport). Every end posts "KVRSourceUpdatedNotification" with the
// location; a failure after the first request is recorded on the source (its text and
// an error mark) and ends as a successful task.
//
// Everything a task does after its start runs on its own serial queue, the one its URL
// session answers on, so its record writes happen in the order of its steps and its end
// is reported after them. The kept copy of the index is replaced only after the records
// of that index have been committed.
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/KVConnections.h"
#include "core/KVTask.h"
#include "foundation/Date.h"
#include "foundation/Dispatch.h"
#include "foundation/Error.h"
#include "foundation/URLRequest.h"
#include "foundation/URLResponse.h"

class KVRSource;
class URLSession;

class KVSourceRefresh : public KVTask {
 public:
  // The compression of the Packages candidate in flight.
  enum CompressionType : int { Uncompressed = 0, BZip2 = 1, GZip = 2, XZ = 3, LZMA = 4 };

  // initWithSource: the task for the source at `location`, dated with the running
  // batch's date (else now). `wired` are the managers it asks: the sources
  // manager's batch, the APT layer's list files, the payment client and the directory.
  KVSourceRefresh(const std::string& location, std::shared_ptr<const KVConnections> wired);
  ~KVSourceRefresh() override;

  std::string className() const override { return "KVSourceRefresh"; }
  void taskStart() override;
  std::string taskID() const override;
  std::string pipelineID() const override;
  std::string taskDescription() const override;
  double taskProgress() const override;
  bool taskCanCancel() const override;
  // Before the first answer: ends the requests and reports the end to the pipeline.
  void taskCancel() override;
  std::string taskLocalizedObjectName() const override;

  // "Refresh-" and the location with every "/" as "_".
  static std::string taskIDForLocation(const std::string& location);

  std::string sourceLocation() const;
  std::string sourceName() const;
  Date date() const { return date_; }
  const std::string& dateString() const { return dateString_; }
  int compressionType() const { return compressionType_.load(); }

 protected:
  void didCancel() override;

 private:
  std::shared_ptr<KVSourceRefresh> self();
  const std::shared_ptr<const KVConnections>& connections() const { return connections_; }
  void run();
  bool followsBootstrapRule();

  // Downloads (KVSourceRefreshDownloads.cpp).
  void startDownloadingReleaseFile();
  void send(const URLRequest& request, bool release);
  std::optional<URLRequest> nextRequestToTryAfterExtention(const std::optional<std::string>& failedName);
  void didReceive(bool release, const std::string& bodyPath, std::optional<Data> body, URLResponseRef response,
                  ErrorRef error);
  void handleReleaseFile(const Data& body);
  void startDownloadingPackagesFile();
  void handlePackagesFile(const std::string& path, const URLResponseRef& response);
  void packagesFileParser(const std::string& path, const URLResponseRef& response);
  void finishParse(std::vector<std::string> newIdentifiers, std::vector<std::string> cachedImages, double seconds);

  // Ends.
  void checkPaymentEndpoint();
  void exitWithDescription(const std::string& text);
  void exitWithNetworkError(ErrorRef error);
  void exitWithError(ErrorRef error);  // the failures that end the task with an error
  void performSuccessExit(const std::string& text);
  void performFailureExit(ErrorRef error);
  void reportEnd(bool success, ErrorRef error);

  // Status and records.
  void setDescription(const std::string& text, bool isError);
  void setProgress(double progress);
  // Changes the source record in one write transaction, on the calling thread (the
  // task's queue); nothing when the record is gone.
  void writeSource(const std::function<void(KVRSource&)>& change);
  std::string doneText() const;

  const std::shared_ptr<const KVConnections> connections_;
  std::shared_ptr<DispatchQueue> queue_;
  std::shared_ptr<URLSession> session_;  // made on the first request

  mutable std::mutex mutex_;  // guards the texts below
  std::string location_;
  std::string sourceName_;
  std::string description_;
  std::string locationToCheck_;

  std::atomic<double> progress_{0};
  std::atomic<bool> canCancel_{true};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> ended_{false};  // the end was reported to the pipeline
  std::atomic<int> compressionType_{XZ};

  bool followed_ = false;
  std::optional<std::unordered_set<std::string>> previousIdentifiers_;
  bool neverApplied_ = false;  // no index was ever applied to the source's record
  bool shouldForceRefresh_ = false;
  bool shouldForceReleaseRefresh_ = false;
  bool needsFullRefresh_ = false;
  bool hasAPTPackagesFile_ = false;
  std::optional<std::string> releaseLastModified_;
  std::optional<std::string> packagesLastModified_;
  Date date_;
  std::string dateString_;

  // The payment endpoint question: an end that comes while it is outstanding waits for it.
  std::mutex endpointMutex_;
  bool waitingOnEndpointCheck_ = false;
  bool completeAfterEndpointCheck_ = false;
  bool pendingFailure_ = false;
  ErrorRef pendingError_;
};
