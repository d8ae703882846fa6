#include "support/IndexRecords.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/NSDataCompression.h"
#include "database/KVIndexEntry.h"
#include "database/KVRSource.h"
#include "database/KVSourceIndexImport.h"
#include "database/KVStanzaReader.h"
#include "foundation/Files.h"
#include "store/Store.h"
#include "support/TempDir.h"

size_t applyIndexAsRefresh(store::Database& db, const std::string& path, const std::string& location,
                           std::string* error) {
  std::optional<TempDir> unpacked;
  std::string plain = path;
  if (path.size() > 3 && path.compare(path.size() - 3, 3, ".xz") == 0) {
    unpacked.emplace();
    plain = unpacked->file("Packages");
    std::FILE* out = std::fopen(plain.c_str(), "wb");
    if (!out) return 0;
    ErrorRef failure = NSDataCompression::decodeFile(path, NSDataCompression::Format::XZ, [&](const uint8_t* bytes, size_t size) {
      return std::fwrite(bytes, 1, size, out) == size;
    }, SIZE_MAX);
    std::fclose(out);
    if (failure) {
      if (error) *error = failure->localizedDescription();
      return 0;
    }
  }
  if (ErrorRef added = db.write([&] {
        if (!db.objectForPrimaryKey(KVRSource::className(), location))
          db.add(KVRSource::newSourceWithLocation(location).toObject());
      })) {
    if (error) *error = added->localizedDescription();
    return 0;
  }
  KVIndexEntry::Context context;
  context.setLocation(location);
  context.systemVersion = "14.0";
  KVStanzaReader reader(plain);
  KVSourceIndexImport::Settings settings;
  settings.location = location;
  settings.dateString = "2026-12-07 18:00";
  KVSourceIndexImport import(settings);
  KVSourceIndexImport::Outcome outcome;
  KVStanza stanza;
  KVIndexEntry entry;
  ErrorRef failure = import.apply(
      db,
      [&]() -> KVIndexEntry* {
        while (reader.next(stanza))
          if (entry.read(stanza, context)) return &entry;
        return nullptr;
      },
      nullptr, outcome);
  if (failure) {
    if (error) *error = failure->localizedDescription();
    return 0;
  }
  return static_cast<size_t>(std::atoll(outcome.totalPackages.c_str()));
}
