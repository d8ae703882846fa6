#include "database/KVSourceIndexRun.h"

#include <thread>

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

KVSourceIndexRun::Result KVSourceIndexRun::run(store::Database& db, const std::string& path,
                                               NSDataCompression::Format format, const KVIndexEntry::Context& context,
                                               KVSourceIndexImport::Settings settings,
                                               KVSourceListsManaging::Sink& sink) {
  Result result;
  KVChunkChannel channel(kWaitingChunks);
  KVHandoff<KVIndexEntry> entries(kWaitingEntries);
  ErrorRef sinkError;
  bool decoded = false, signature = false;

  std::thread decoder([&] {
    bool first = true;
    ErrorRef decodingError = NSDataCompression::decodeFileApart(path, format, [&](const uint8_t* bytes, size_t size) {
      if (first && format != NSDataCompression::Format::None && startsWithCompressedSignature(bytes, size)) {
        signature = true;  // a compressed file inside the compressed file
        return false;
      }
      first = false;
      sinkError = sink.write(bytes, size);
      return !sinkError && channel.write(bytes, size);
    });
    decoded = !decodingError;
    if (decodingError) result.decodingReason = decodingError->localizedDescription();
    // The list file is whole: it goes to the disk while the records are still written.
    if (decoded && !signature && !sinkError) sinkError = sink.sync();
    channel.close();
  });
  std::thread reader([&] {
    KVStanzaReader stanzas([&channel](char* bytes, size_t size) { return channel.read(bytes, size); });
    KVStanza stanza;
    while (stanzas.next(stanza)) {
      auto entry = KVIndexEntry::fromStanza(stanza, context);
      if (entry && !entries.push(std::move(*entry))) break;
    }
    channel.abandon();  // a reader that stopped early lets the decoder stop too
    entries.close();
  });
  bool joined = false;
  auto join = [&] {
    if (joined) return;
    joined = true;
    reader.join();
    decoder.join();
  };

  KVSourceIndexImport import(std::move(settings));
  result.importError = import.apply(
      db, [&entries] { return entries.pop(); },
      [&]() -> ErrorRef {
        join();
        if (sinkError) return makeError(KVSourceIndexImportErrorDomain, 4, sinkError->localizedDescription());
        if (decoded && !signature) return nullptr;
        result.decodingFailed = true;
        if (signature) result.decodingReason.clear();
        return makeError(KVSourceIndexImportErrorDomain, 5, "The index could not be decoded");
      },
      result.outcome);
  entries.abandon();
  channel.abandon();
  join();
  if (result.decodingFailed) result.importError = nullptr;
  result.applied = !result.decodingFailed && !result.importError && !result.outcome.sourceMissing;
  return result;
}
