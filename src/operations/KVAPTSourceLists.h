#pragma once
// The APT layer's answer to what the refresh and the sources manager ask of it: a
// source's list files and its sources-list line, kept by KVAPTManager.
#include "core/KVSourceListsManaging.h"

class KVAPTSourceLists : public KVSourceListsManaging {
 public:
  bool hasListFile(const std::string& location, FileType type) override;
  std::string lastModifiedText(const std::string& location, FileType type) override;
  ErrorRef writeReleaseContents(const std::string& text, StringEncoding encoding,
                                const KVSourceLocation& location) override;
  ErrorRef writePackagesFile(const KVSourceLocation& location, const Producer& produce,
                             bool cachesAhead = false) override;
  ErrorRef purgeSource(const KVSourceLocation& location) override;
  void generateCaches() override;
};
