#pragma once
// What the two icon fetch tasks share: the network check, the download of one icon into
// the application-support folder "Downloads", and the picture stored as PNG in the icon
// cache. The pipeline keeps both kinds out of its visible task list.
#include <memory>
#include <optional>
#include <string>

#include "core/KVTask.h"
#include "foundation/URL.h"
#include "foundation/Value.h"

class URLSessionDownloadTask;

class KVIconFetchTask : public KVTask {
 public:
  std::string pipelineID() const override;
  double taskProgress() const override { return -1.0; }

  const std::shared_ptr<URLSessionDownloadTask>& downloadTask() const { return downloadTask_; }
  const std::string& tempFileName() const { return tempFileName_; }
  // The network status of the last check (Reachability's NetworkStatus).
  int reach() const { return reach_; }

 protected:
  // Logs `text`, reports success to the pipeline and finishes: the end of every run.
  void finishWithLog(const std::string& text);
  void finishTask();
  // Whether Wi-Fi or a cellular network is reachable; logs and finishes when not.
  bool checkNetwork();
  // Downloads `url` (a service request, 10 s, within the icon size bound), then calls
  // `received` on the session's queue with the picture's bytes when the reply was one.
  // The task finishes afterwards in every case.
  void downloadIcon(const URL& url, std::function<void(const Data& bytes)> received);
  // The bytes re-encoded as PNG and written atomically to IconCache/<MD5 of key>.png.
  static bool storeAsPNG(const Data& bytes, const std::string& key);

 private:
  std::shared_ptr<URLSessionDownloadTask> downloadTask_;
  std::string tempFileName_;
  int reach_ = 0;
};
