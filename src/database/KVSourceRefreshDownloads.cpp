// The refresh task's requests: the Release file, the Packages candidates, the unchanged
// short cut, and the decoding of the index into APT's list file while it is applied.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

#include "core/KVConnections.h"
#include "core/KVErrorDomain.h"
#include "core/KVSourceLocation.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "core/KVReplyLimits.h"
#include "core/NSDataCompression.h"
#include "core/NSURLRequestKorvaleExtensions.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "database/KVIndexRefusal.h"
#include "database/KVRepositoryRules.h"
#include "database/KVSourceIndexRun.h"
#include "database/KVSourceRefresh.h"
#include "foundation/DateFormatter.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringEncoding.h"
#include "foundation/URLSession.h"
#include "foundation/UnusedMemory.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {

std::string trimmed(std::string_view text) {
  const char* blanks = " \t\r\n";
  size_t start = text.find_first_not_of(blanks);
  if (start == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(blanks);
  return std::string(text.substr(start, end - start + 1));
}

// A Release file's fields: each line "Key: value", the value being everything after the
// first ": " (a later line with the same key wins).
std::map<std::string, std::string> releaseFields(const std::string& text) {
  std::map<std::string, std::string> fields;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = trimmed(std::string_view(text).substr(start, end - start));
    size_t separator = line.find(": ");
    if (separator != std::string::npos) fields[line.substr(0, separator)] = line.substr(separator + 2);
    start = end + 1;
  }
  return fields;
}

std::optional<std::string> nonEmptyField(const std::map<std::string, std::string>& fields, const char* key) {
  auto it = fields.find(key);
  if (it == fields.end() || it->second.empty()) return std::nullopt;
  return it->second;
}

bool sameContents(const std::string& a, const std::string& b) {
  auto sizeA = Files::fileSize(a), sizeB = Files::fileSize(b);
  if (!sizeA || !sizeB || *sizeA != *sizeB) return false;
  FILE* fa = std::fopen(a.c_str(), "rb");
  FILE* fb = std::fopen(b.c_str(), "rb");
  bool same = fa && fb;
  std::vector<char> bufferA(1 << 16), bufferB(1 << 16);
  while (same) {
    size_t na = std::fread(bufferA.data(), 1, bufferA.size(), fa);
    size_t nb = std::fread(bufferB.data(), 1, bufferB.size(), fb);
    same = na == nb && std::memcmp(bufferA.data(), bufferB.data(), na) == 0;
    if (na == 0) break;
  }
  if (fa) std::fclose(fa);
  if (fb) std::fclose(fb);
  return same;
}

// Puts the downloaded file at `to` below the device root, replacing what was there.
bool replaceFile(const std::string& from, const std::string& to, std::string* error) {
  return DeviceFiles::createFolders(Files::deletingLastPathComponent(to), error) &&
         DeviceFiles::moveFile(from, to, error);
}

NSDataCompression::Format formatOf(int compressionType) {
  switch (compressionType) {
    case KVSourceRefresh::BZip2: return NSDataCompression::Format::BZip2;
    case KVSourceRefresh::GZip: return NSDataCompression::Format::GZip;
    case KVSourceRefresh::XZ: return NSDataCompression::Format::XZ;
    case KVSourceRefresh::LZMA: return NSDataCompression::Format::LZMA;
    default: return NSDataCompression::Format::None;
  }
}

ErrorRef invalidDataError(const std::string& location, const URLResponseRef& response) {
  std::string info = response ? response->headerText() : "NONE";
  return makeError(KVErrorDomain, KVErrorInvalidServerData,
                   Value::dict({{NSLocalizedDescriptionKey,
                                 NSLocalizedFormat("An unknown network error occurred while refreshing %@. ADDITIONAL INFO (%@)",
                                                   {location, info})},
                                {NSLocalizedFailureReasonErrorKey, NSLocalizedString("The server responded with invalid data.")}}));
}

}  // namespace

// ---- Release

void KVSourceRefresh::startDownloadingReleaseFile() {
  setProgress(0.5);
  const std::string location = sourceLocation();
  auto layout = KVRepositoryRules::layoutForLocation(location);
  URLRequest request = NSURLRequestKorvaleExtensions::QuillbarkRequestWithString(layout.releaseURL, "GET", 10,
                                                                                 releaseLastModified_);
  request.setReplyLimits(KVReplyLimits::kReleaseFile);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    locationToCheck_ = layout.packagesBase;
  }
  bool originalIcons = QuillbarkPersistentPreferences::sharedInstance().boolForKey("OriginalCydiaSourcesIcons");
  writeSource([&](KVRSource& source) {
    source.setIconURL(originalIcons ? std::optional<std::string>(layout.iconURL) : std::nullopt);
  });
  setDescription("Checking if source info changed...", false);
  {
    // Asked before the Release request goes, so no end can slip past the question.
    std::lock_guard<std::mutex> lock(endpointMutex_);
    waitingOnEndpointCheck_ = true;
  }
  send(request, true);
  checkPaymentEndpoint();
}

void KVSourceRefresh::send(const URLRequest& request, bool release) {
  if (cancelled_.load()) {
    return exitWithNetworkError(makeError(NSURLErrorDomain, NSURLErrorCancelled, "cancelled"));
  }
  std::string last = request.url() ? request.url()->lastPathComponent() : "";
  setDescription(NSLocalizedFormat("Starting %@ download...", {last == "Release" ? "source info" : "packages"}), false);
  if (!session_) {
    session_ = URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation(), nullptr,
                                                    queue_);
  }
  auto task = self();
  if (release) {
    session_->dataTaskWithRequest(request, [task](std::optional<Data> body, URLResponseRef response, ErrorRef error) {
      task->didReceive(true, "", std::move(body), response, error);
    })->resume();
  } else {
    session_->downloadTaskWithRequest(request, [task](std::optional<URL> file, URLResponseRef response, ErrorRef error) {
      task->didReceive(false, file ? file->path() : "", std::nullopt, response, error);
    })->resume();
  }
}

void KVSourceRefresh::didReceive(bool release, const std::string& bodyPath, std::optional<Data> body,
                                 URLResponseRef response, ErrorRef error) {
  canCancel_.store(false);
  if (error) return exitWithNetworkError(error);
  int status = response ? response->statusCode() : 0;
  if (status == 304) {
    if (release) return startDownloadingPackagesFile();
    return exitWithDescription("Nothing changed since the last refresh");
  }
  bool hasBody = release ? body && !body->empty() : !bodyPath.empty() && Files::fileSize(bodyPath).value_or(0) > 0;
  if (status == 200 && hasBody) {
    if (release) return handleReleaseFile(*body);
    return handlePackagesFile(bodyPath, response);
  }
  if (!release) {
    // The next candidate follows from the name that was answered, so an answer
    // redirected to another name ends the candidates.
    if (auto next = nextRequestToTryAfterExtention(response ? response->url().lastPathComponent() : std::string()))
      return send(*next, false);
  }
  exitWithNetworkError(invalidDataError(sourceLocation(), response));
}

void KVSourceRefresh::handleReleaseFile(const Data& body) {
  const std::string location = sourceLocation();
  setDescription(NSLocalizedFormat("Source info download complete %@", {location}), false);
  DetectedString text = detectStringEncoding(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
  setDescription("checking if source supports payments", false);
  // Without its Release and its line in APT's sources list, APT could never install from
  // the source: its records would offer what nothing can fetch. The refresh ends there,
  // through its failure exit, with the reason recorded on the source.
  auto typed = KVSourceLocation::fromText(location);
  ErrorRef error = typed ? connections()->sourceLists->writeReleaseContents(text.text, text.encoding, *typed)
                         : typed.error();
  if (error) {
    KVLog("Cannot give %s to APT: %s", location.c_str(), error->localizedDescription().c_str());
    return exitWithNetworkError(makeError(
        error->domain, error->code,
        NSLocalizedFormat("The source could not be given to APT: %@", {error->localizedDescription()})));
  }
  auto fields = releaseFields(text.text);
  std::string name;
  writeSource([&](KVRSource& source) {
    source.setName(nonEmptyField(fields, "Origin").value_or(source.name().value_or("Unknown name")));
    source.setDescription(nonEmptyField(fields, "Description").value_or(source.Description().value_or("Unknown description")));
    source.setMaintainer(nonEmptyField(fields, "Label").value_or(source.maintainer().value_or("Unknown maintainer")));
    source.setCategory(std::string("Repository"));
    source.setHasErrors(false);
    name = *source.name();
  });
  if (!name.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    sourceName_ = name;
  }
  startDownloadingPackagesFile();
}

// ---- Packages

void KVSourceRefresh::startDownloadingPackagesFile() {
  setDescription("Checking if packages info changed...", false);
  if (auto request = nextRequestToTryAfterExtention(std::nullopt)) send(*request, false);
}

std::optional<URLRequest> KVSourceRefresh::nextRequestToTryAfterExtention(const std::optional<std::string>& failedName) {
  struct Candidate {
    const char* after;
    const char* name;
    CompressionType type;
  };
  static const Candidate table[] = {{nullptr, "Packages.xz", XZ},
                                    {"Packages.xz", "Packages.lzma", LZMA},
                                    {"Packages.lzma", "Packages.bz2", BZip2},
                                    {"Packages.bz2", "Packages.gz", GZip},
                                    {"Packages.gz", "Packages", Uncompressed}};
  for (const auto& candidate : table) {
    bool matches = candidate.after ? failedName == candidate.after : !failedName;
    if (!matches) continue;
    compressionType_.store(candidate.type);
    std::string base;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      base = locationToCheck_;
    }
    while (!base.empty() && base.back() == '/') base.pop_back();
    URLRequest request = NSURLRequestKorvaleExtensions::QuillbarkRequestWithString(base + "/" + candidate.name,
                                                                                   "GET", 30, packagesLastModified_);
    request.setReplyLimits(KVReplyLimits::kPackagesIndex);
    return request;
  }
  return std::nullopt;
}

void KVSourceRefresh::handlePackagesFile(const std::string& path, const URLResponseRef& response) {
  const std::string location = sourceLocation();
  setDescription(NSLocalizedFormat("Packages download complete %@", {location}), false);
  setDescription("Checking if the Packages file has been changed since the last refresh...", false);
  const std::string kept = KVRSources::keptIndexPath(location);
  if (!needsFullRefresh_ && hasAPTPackagesFile_ && !neverApplied_ && sameContents(path, kept)) {
    setDescription("Packages files file hasn't been changed since the last refresh, end of the task", false);
    setProgress(1.0);
    writeSource([&](KVRSource& source) {
      source.setLastrefresh(date_);
      source.setHasErrors(false);
    });
    connections()->payment->updatePurchasedPackagesForSource(location);
    return exitWithDescription(doneText());
  }
  setDescription("Packages files file has been changed since the last refresh, source refresh task continue...", false);
  static const DateFormatter regenFormatter("yyyy-MM-dd'T'HH:mm:ss'Z'", "");
  writeSource([&](KVRSource& source) { source.setRegenDate(regenFormatter.format(date_)); });
  packagesFileParser(path, response);
}

// The index is decoded on a thread of its own into APT's list file and into a channel
// from which its stanzas are read and applied in one transaction; the list file and the
// records change only when both the decoding and the transaction succeed.
void KVSourceRefresh::packagesFileParser(const std::string& path, const URLResponseRef& response) {
  const std::string location = sourceLocation();
  const int type = compressionType();
  if (type != Uncompressed) setDescription("Decompressing Packages file", false);
  setDescription(NSLocalizedString("Processing index..."), false);
  KVPipelineManager::sharedManager().setLaunchCacheRebuild(true);

  KVIndexEntry::Context context;
  context.setLocation(location);
  context.showIncompatiblePackages = QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
  context.systemVersion = KVPlatform::firmwareVersion();
  KVSourceIndexImport::Settings settings{location, date_, dateString_, previousIdentifiers_};

  auto started = std::chrono::steady_clock::now();
  KVSourceIndexRun::Result result;
  auto db = store::Database::defaultDatabase();
  if (!db) return exitWithNetworkError(makeError(KVSourceIndexImportErrorDomain, 3, "The database cannot be opened"));
  // The Release step made this location already; a location refused there never gets here.
  auto typed = KVSourceLocation::fromText(location);
  if (!typed) return exitWithNetworkError(typed.error());
  const uint64_t ceiling = KVSourceIndexRun::decodedCeilingFor(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport));
  // The cache task comes right after this refresh when no other refresh is in the
  // pipeline: APT's caches are then built from the whole list file while the records
  // are still written, instead of after them.
  auto& pipeline = KVPipelineManager::sharedManager();
  const bool cachesAhead = pipeline.hasTaskWithIdentifier(taskID()) && !pipeline.hasTaskOfType(className(), this);
  ErrorRef listError = connections()->sourceLists->writePackagesFile(
      *typed,
      [&](KVSourceListsManaging::Sink& sink) -> ErrorRef {
        result = KVSourceIndexRun::run(*db, path, formatOf(type), context, settings, sink, ceiling);
        if (result.applied) return nullptr;
        return result.importError ? result.importError
                                  : makeError(KVSourceIndexImportErrorDomain, 7, "The index was not applied");
      },
      cachesAhead);

  // Refused for what it would cost, or for what it is (never handed to APT, which would
  // refuse every command for it): the error says why, on the source's row and page too,
  // and what the source had before stays.
  if (ErrorRef refused = KVIndexRefusal::errorFor(result, location, ceiling)) {
    KVLog("The index of %s was refused: %s", location.c_str(), refused->localizedDescription().c_str());
    if (result.decodingFailed) DeviceFiles::removeItem(KVRSources::keptIndexPath(location));
    return exitWithNetworkError(refused);
  }
  if (result.decodingFailed) {
    KVLog("Decompression failed for packages file (%s) with compression type (%s)",
          response ? response->url().absoluteString().c_str() : "", Files::pathExtension(path).c_str());
    DeviceFiles::removeItem(KVRSources::keptIndexPath(location));
    return exitWithNetworkError(makeError(
        KVErrorDomain, KVErrorDecompressionFailed,
        Value::dict({{NSLocalizedDescriptionKey,
                      !result.decodingReason.empty()
                          ? result.decodingReason
                          : NSLocalizedFormat("Decompression failed while refreshing: %@, you should consider reporting "
                                              "this issue to the Korvale team if the issue persists.",
                                              {location})},
                     {NSLocalizedFailureReasonErrorKey,
                      NSLocalizedString("Decompression failed, you should consider reporting this issue to the Korvale "
                                        "team if the issue persists")}})));
  }
  if (result.importError) return exitWithNetworkError(result.importError);
  if (result.outcome.sourceMissing) return exitWithDescription(doneText());
  // The list file could not be started: nothing was applied.
  if (!result.applied) return exitWithNetworkError(listError);
  std::string reason;
  if (listError) {
    // The records are in; without its list file (and its kept copy) the index is applied
    // again next time.
    KVLog("The Packages list of %s was not written: %s", location.c_str(), listError->localizedDescription().c_str());
  } else if (!replaceFile(path, KVRSources::keptIndexPath(location), &reason)) {
    KVLog("Cannot keep the index of %s: %s", location.c_str(), reason.c_str());
  }
  // What reading and applying the index needed for a while goes back to the system.
  UnusedMemory::giveBack();
  finishParse(std::move(result.outcome.newIdentifiers), std::move(result.outcome.cachedImagesToRemove),
              std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

void KVSourceRefresh::finishParse(std::vector<std::string> newIdentifiers, std::vector<std::string> cachedImages,
                                  double seconds) {
  const std::string location = sourceLocation();
  KVLog("total packages parse time for %s %f seconds", location.c_str(), seconds);
  setProgress(1.0);
  auto wired = connections();
  wired->packages->rebuildPackagesCategoriesCache();
  if (!cachedImages.empty()) wired->packages->removeCachedImagesForPackages(cachedImages);
  wired->directory->submitRepository(location);
  auto source = KVRSource::objectForPrimaryKey(location);
  if (source && source->endpoint() && !source->endpoint()->empty() && wired->payment->hasStoredToken(location))
    wired->payment->updatePurchasedPackagesForSource(location);
  if (!newIdentifiers.empty()) {
    Value::Array identifiers;
    for (auto& id : newIdentifiers) identifiers.emplace_back(std::move(id));
    NotificationCenter::defaultCenter().postOnMainThreadAsync(
        Notification{"ShowNewSourcePackages", Value(),
                     Value::dict({{"Identifiers", Value(std::move(identifiers))}, {"SourceName", sourceName()}}), nullptr,
                     nullptr});
  }
  exitWithDescription(doneText());
}
