#include "database/KVSourceIndexRun.h"

#include <sys/statvfs.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "database/KVChunkChannel.h"
#include "database/KVHandoff.h"
#include "database/KVStanzaReader.h"
#include "store/Store.h"

namespace {
bool startsWithCompressedSignature(const uint8_t* bytes, size_t size) {
  if (size < 3) return false;
  return (bytes[0] == 0x1F && bytes[1] == 0x8B && bytes[2] == 0x08) ||
         (bytes[0] == 0x42 && bytes[1] == 0x5A && bytes[2] == 0x68);
}
}  // namespace

uint64_t KVSourceIndexRun::decodedCeilingFor(const std::string& folder) {
  constexpr uint64_t kReserve = uint64_t(64) << 20;
  struct statvfs fs {};
  if (::statvfs(folder.c_str(), &fs) != 0) return uint64_t(4) << 30;  // unknown: a few GB
  const uint64_t room = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
  return room > 2 * kReserve ? room / 2 - kReserve : kReserve;
}

KVSourceIndexRun::Result KVSourceIndexRun::run(store::Database& db, const std::string& path,
                                               NSDataCompression::Format format, const KVIndexEntry::Context& context,
                                               KVSourceIndexImport::Settings settings,
                                               KVSourceListsManaging::Sink& sink, uint64_t maxDecodedBytes) {
  Result result;
  KVChunkChannel channel(kWaitingChunks);
  // Where the list file can be read back, the stanzas are read from it: the decoder then
  // runs at its own pace, the file is whole (and what is built from it can start) long
  // before the records are, and nothing decoded waits in memory.
  std::unique_ptr<KVFileFollower> follower;
  if (int back = sink.readBackDescriptor(); back >= 0) follower = std::make_unique<KVFileFollower>(back);
  KVHandoff<KVIndexEntry> entries(kWaitingEntries);
  ErrorRef sinkError;
  bool decoded = false, signature = false;
  uint64_t decodedBytes = 0;
  // A list file takes its place ahead of its records (Sink::sync) only once its first
  // stanza is one APT reads, so what is no index never reaches APT's lists. (A fault
  // further in is found while the records are written, and the old file then comes back.)
  std::mutex readingMutex;
  std::condition_variable readingMoved;
  bool firstEntryRead = false, readingEnded = false;

  std::thread decoder([&] {
    bool first = true;
    ErrorRef decodingError = NSDataCompression::decodeFileApart(path, format, [&](const uint8_t* bytes, size_t size) {
      if (first && format != NSDataCompression::Format::None && startsWithCompressedSignature(bytes, size)) {
        signature = true;  // a compressed file inside the compressed file
        return false;
      }
      first = false;
      decodedBytes += size;
      sinkError = sink.write(bytes, size);
      if (sinkError) return false;
      return follower ? follower->advance(size) : channel.write(bytes, size);
    }, static_cast<size_t>(maxDecodedBytes));
    decoded = !decodingError;
    if (decodingError) result.decodingReason = decodingError->localizedDescription();
    // The reader is told where the bytes end before it is waited for.
    if (follower) follower->close();
    channel.close();
    if (!decoded || signature || sinkError) return;
    bool vouched;
    {
      std::unique_lock<std::mutex> lock(readingMutex);
      readingMoved.wait(lock, [&] { return firstEntryRead || readingEnded; });
      vouched = firstEntryRead;
    }
    // The list file is whole: it goes to the disk while the records are still written.
    if (vouched) sinkError = sink.sync();
  });
  // Entries are read, and prepared for the transaction, on a thread of their own. Each
  // is filled in place and swapped into the ring, which hands back what the applying
  // side left in its place (a record written, its version entry): that is filled again,
  // so records and their texts are made once, on this thread, rather than made here and
  // let go of there, and the applying thread does little beside the store's own work.
  KVSourceIndexImport import(std::move(settings));
  bool stanzaTooLarge = false;
  using NotAnIndex = Result::NotAnIndex;
  NotAnIndex notAnIndex = NotAnIndex::No;
  size_t entriesRead = 0;
  std::thread reader([&] {
    KVStanzaReader stanzas([&](char* bytes, size_t size) {
      return follower ? follower->read(bytes, size) : channel.read(bytes, size);
    });
    KVStanza stanza;
    KVIndexEntry entry;
    // The first line or stanza APT could not read ends the reading: the index is refused.
    while (stanzas.next(stanza)) {
      if (stanzas.strayLines() > 0) {
        notAnIndex = NotAnIndex::StrayLine;
        break;
      }
      if (!entry.read(stanza, context)) {
        notAnIndex = NotAnIndex::NamelessEntry;
        break;
      }
      if (++entriesRead == 1) {
        std::lock_guard<std::mutex> lock(readingMutex);
        firstEntryRead = true;
        readingMoved.notify_all();
      }
      import.prepare(entry);
      if (!entries.push(entry)) break;
    }
    if (notAnIndex == NotAnIndex::No && stanzas.strayLines() > 0) notAnIndex = NotAnIndex::StrayLine;
    stanzaTooLarge = stanzas.stanzaTooLarge();
    {
      std::lock_guard<std::mutex> lock(readingMutex);
      readingEnded = true;
      readingMoved.notify_all();
    }
    channel.abandon();  // a reader that stopped early lets the decoder stop too
    if (follower) follower->abandon();
    entries.close();
  });
  bool joined = false;
  auto join = [&] {
    if (joined) return;
    joined = true;
    reader.join();
    decoder.join();
  };

  result.importError = import.apply(
      db, [&entries] { return entries.take(); },
      [&]() -> ErrorRef {
        join();
        if (stanzaTooLarge) {
          result.ceiling = Result::Ceiling::Stanza;
          return makeError(KVSourceIndexImportErrorDomain, 6, "A stanza of the index is larger than allowed");
        }
        // Before the decoding's outcome: a reader that stopped early stopped the decoder.
        if (notAnIndex != NotAnIndex::No) {
          result.notAnIndex = notAnIndex;
          return makeError(KVSourceIndexImportErrorDomain, 9, "The index is not one APT can read");
        }
        if (sinkError) return makeError(KVSourceIndexImportErrorDomain, 4, sinkError->localizedDescription());
        if (decoded && !signature) {
          // Text that holds no stanza at all (blank lines) is no index either; nothing is.
          if (decodedBytes == 0 || entriesRead > 0) return nullptr;
          result.notAnIndex = NotAnIndex::NoEntry;
          return makeError(KVSourceIndexImportErrorDomain, 9, "The index is not one APT can read");
        }
        result.decodingFailed = true;
        if (signature) result.decodingReason.clear();
        if (result.decodingReason == NSDataCompression::kDecodedTooLarge) result.ceiling = Result::Ceiling::Decoded;
        if (result.decodingReason == NSDataCompression::kDecoderNeedsTooMuchMemory)
          result.ceiling = Result::Ceiling::DecoderMemory;
        return makeError(KVSourceIndexImportErrorDomain, 5, "The index could not be decoded");
      },
      result.outcome);
  entries.abandon();
  channel.abandon();
  if (follower) follower->abandon();
  join();
  if (result.outcome.ceiling == KVSourceIndexImport::Ceiling::SourceEntries) result.ceiling = Result::Ceiling::SourceEntries;
  if (result.outcome.ceiling == KVSourceIndexImport::Ceiling::DatabaseRecords)
    result.ceiling = Result::Ceiling::DatabaseRecords;
  // Refused for what the index is, not for a failure to write it.
  if (result.decodingFailed || result.ceiling != Result::Ceiling::None || result.notAnIndex != NotAnIndex::No)
    result.importError = nullptr;
  result.applied = !result.decodingFailed && result.ceiling == Result::Ceiling::None &&
                   result.notAnIndex == NotAnIndex::No && !result.importError && !result.outcome.sourceMissing;
  return result;
}
