#include "database/KVIndexRefusal.h"

#include "core/KVErrorDomain.h"
#include "core/NSDataCompression.h"
#include "database/KVStanzaReader.h"
#include "foundation/LocalizedStrings.h"

namespace {

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); }

// "300,000": the ceilings as a person reads them.
std::string grouped(size_t count) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string ceilingText(KVSourceIndexRun::Result::Ceiling ceiling, const std::string& location, uint64_t decoded) {
  using Ceiling = KVSourceIndexRun::Result::Ceiling;
  switch (ceiling) {
    case Ceiling::Decoded:
      return NSLocalizedFormat("The index of %@ unpacks to more than %@ MB, half the room left on the device.",
                               {location, megabytes(decoded)});
    case Ceiling::DecoderMemory:
      return NSLocalizedFormat("The index of %@ needs more than %@ MB of memory to unpack.",
                               {location, megabytes(NSDataCompression::kDecoderMemoryCeiling)});
    case Ceiling::Stanza:
      return NSLocalizedFormat("A package's entry in the index of %@ is larger than %@ MB.",
                               {location, megabytes(KVStanzaReader::kMaximumStanzaBytes)});
    case Ceiling::SourceEntries:
      return NSLocalizedFormat("The index of %@ lists more than %@ packages, more than a source may offer.",
                               {location, grouped(KVSourceIndexImport::kMaximumSourceEntries)});
    case Ceiling::DatabaseRecords:
      return NSLocalizedFormat("The index of %@ would take the packages of all sources past %@, the most there "
                               "may be; removing a source makes room.",
                               {location, grouped(KVSourceIndexImport::kMaximumDatabaseRecords)});
    case Ceiling::None: break;
  }
  return {};
}

std::string notAnIndexText(KVSourceIndexRun::Result::NotAnIndex kind, const std::string& location) {
  using NotAnIndex = KVSourceIndexRun::Result::NotAnIndex;
  switch (kind) {
    case NotAnIndex::StrayLine:
      return NSLocalizedFormat("The index of %@ is not a list of packages: it holds binary data or lines that are "
                               "no fields.",
                               {location});
    case NotAnIndex::NamelessEntry:
      return NSLocalizedFormat("The index of %@ has an entry that names no package, which APT cannot read.",
                               {location});
    case NotAnIndex::NoEntry:
      return NSLocalizedFormat("The index of %@ is not a list of packages: nothing in it names a package.", {location});
    case NotAnIndex::No: break;
  }
  return {};
}

}  // namespace

ErrorRef KVIndexRefusal::errorFor(const KVSourceIndexRun::Result& result, const std::string& location,
                                  uint64_t decodedCeiling) {
  using Ceiling = KVSourceIndexRun::Result::Ceiling;
  std::string text;
  int64_t code = KVErrorInvalidServerData;
  if (result.ceiling != Ceiling::None) {
    text = ceilingText(result.ceiling, location, decodedCeiling);
    if (result.ceiling == Ceiling::Decoded || result.ceiling == Ceiling::DecoderMemory) code = KVErrorDecompressionFailed;
  } else if (result.notAnIndex != KVSourceIndexRun::Result::NotAnIndex::No) {
    text = notAnIndexText(result.notAnIndex, location);
  }
  if (text.empty()) return nullptr;
  return makeError(KVErrorDomain, code, Value::dict({{NSLocalizedDescriptionKey, text}, {NSLocalizedFailureReasonErrorKey, text}}));
}
