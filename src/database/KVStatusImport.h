#pragma once
// The dpkg status import: one pass over dpkg's status file and the packages' file
// lists, applied to the package records in one write transaction.
#include <set>
#include <string>
#include <string_view>

#include "foundation/Date.h"
#include "foundation/Expected.h"

namespace store {
class Database;
}

class KVStatusImport {
 public:
  // dpkg's status file and a package's file list, inside the device root. A package
  // of another architecture (multi-arch) has its list under "<name>:<arch>.list".
  static std::string statusFilePath();
  static std::string fileListPath(const std::string& identifier, const std::string& architecture);

  // Runs the import on the calling thread in one write transaction of `db`; the
  // reference date stands in for install dates that no file list gives. Answers the
  // identifiers seen installed, or why the records could not be written (then none is):
  // a status that could not be read to its end (DpkgStatusFile) changes none of them.
  static Expected<std::set<std::string>> run(store::Database& db, Date referenceDate);
  // One of the device's own entries ("firmware", "cy+...", "gsc..."), which every device
  // has installed and the import leaves out.
  static bool isPseudoPackage(std::string_view identifier);
};
