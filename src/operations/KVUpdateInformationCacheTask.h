#pragma once
// Brings the derived information up to date after the package database changed in bulk
// (a batch of refreshes): re-reads the dpkg status, rebuilds the followed developers' and
// the category caches and clears the refresh markers, while APT's package caches in the
// private tree are regenerated beside it. The pipeline queues it when it runs empty
// after a refresh asked for it. The task ends when that work has run, so nothing that waits for the pipeline to be
// empty (an install confirmed meanwhile) meets APT busy with the caches; a failed
// regeneration ends it with an error.
#include <atomic>
#include <mutex>
#include <string>

#include "core/KVConnections.h"
#include "core/KVTask.h"
#include "operations/KVAPTManager.h"

class KVUpdateInformationCacheTask : public KVTask {
 public:
  // `wired`: the packages manager whose groupings it rebuilds and the sources
  // manager whose batch it ends.
  explicit KVUpdateInformationCacheTask(std::shared_ptr<const KVConnections> wired);
  ~KVUpdateInformationCacheTask() override;

  std::string className() const override { return "KVUpdateInformationCacheTask"; }
  void taskStart() override;
  std::string taskID() const override { return "Information-Cache-Update"; }
  std::string pipelineID() const override;
  std::string taskDescription() const override { return "Updating the information cache..."; }
  double taskProgress() const override { return progress_.load(); }

  std::string status() const;

  // Posts "UpdateVerboseView" with the message and whether it reports a failure.
  static void updateVerboseViewWithMessage(const std::string& message, bool isError);

 private:
  const std::shared_ptr<const KVConnections> connections_;
  void setStatus(const std::string& status);
  void runCacheWork();
  // Called when the caches' work and APT's regeneration each end: the second ends the task.
  void partEnded();

  mutable std::mutex mutex_;
  std::string status_;
  std::atomic<double> progress_{0};
  std::atomic<int> partsRunning_{2};
  KVAPTCommandResult caches_;  // APT's regeneration, under mutex_
};
