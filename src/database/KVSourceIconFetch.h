#pragma once
// A task that fetches one source's icon from the record's `iconURL` and stores it as
// PNG in the icon cache while the source exists. Every end is a success for the pipeline.
#include <string>

#include "database/KVIconFetchTask.h"

class KVSourceIconFetch : public KVIconFetchTask {
 public:
  static std::shared_ptr<KVSourceIconFetch> initWithSource(const std::string& location);

  std::string className() const override { return "KVSourceIconFetch"; }
  void taskStart() override;
  // "Icon-" and the location with every "/" as "_".
  std::string taskID() const override;
  std::string taskDescription() const override;

  const std::string& sourceLocation() const { return sourceLocation_; }

 private:
  KVSourceIconFetch() = default;
  std::string sourceLocation_;
};
