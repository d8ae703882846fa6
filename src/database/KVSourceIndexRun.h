#pragma once
// One index taken from its downloaded file to the records: decoded in the helper process
// into APT's list file and into a channel, read into entries on a thread of its own, and
// applied in one transaction on the calling thread, the three at once. The list file and
// the records change only when all three succeed.
#include <string>

#include "core/KVSourceListsManaging.h"
#include "core/NSDataCompression.h"
#include "database/KVIndexEntry.h"
#include "database/KVSourceIndexImport.h"
#include "foundation/Error.h"

namespace store {
class Database;
}

class KVSourceIndexRun {
 public:
  struct Result {
    // The decoding failed (or the decoded data still bore a compressed signature): the
    // decoder's reason, else empty.
    bool decodingFailed = false;
    std::string decodingReason;
    // Which ceiling stopped it, when one did: what it unpacks to, what unpacking it
    // takes, one stanza, the source's entries, the database's records.
    enum class Ceiling { None, Decoded, DecoderMemory, Stanza, SourceEntries, DatabaseRecords } ceiling = Ceiling::None;
    // What APT could not read either (it refuses the whole file, and with it every
    // command, for one such stanza or line): a line that is no field, a stanza that
    // names no package, or text without any stanza.
    enum class NotAnIndex { No, StrayLine, NamelessEntry, NoEntry } notAnIndex = NotAnIndex::No;
    ErrorRef importError;  // the list file or the records could not be written
    KVSourceIndexImport::Outcome outcome;
    bool applied = false;  // the records were committed
  };

  // `sink` is the list file being written; the index may unpack to at most
  // `maxDecodedBytes`.
  static Result run(store::Database& db, const std::string& path, NSDataCompression::Format format,
                    const KVIndexEntry::Context& context, KVSourceIndexImport::Settings settings,
                    KVSourceListsManaging::Sink& sink, uint64_t maxDecodedBytes);

  // What a refresh lets an index unpack to: its text goes to APT's list file and, about
  // as large again, into the records, so half the room left on the file system that holds
  // `folder`, less a reserve. What is held in memory meanwhile is bounded apart (the
  // decoder's state, one stanza), so an index of any size the device can hold refreshes,
  // and a small file that unpacks to more than that does not fill the disk.
  static uint64_t decodedCeilingFor(const std::string& folder);

  // Decoded chunks and read entries that may wait between the threads.
  static constexpr size_t kWaitingChunks = 8;
  static constexpr size_t kWaitingEntries = 128;
};
