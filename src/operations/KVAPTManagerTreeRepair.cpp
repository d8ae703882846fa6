// The start-up repair of the private APT tree: what a package's script left in place of
// its folders and files is replaced, so that no start refuses a write into the tree, nor
// APT a queue, for good.
#include <string>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "system/DeviceFiles.h"

bool KVAPTManager::repairTreeAtLaunch() {
  std::vector<std::string> repairs;
  bool listsLost = false, sourcesListLost = false;
  std::string repair, error;
  auto note = [&](bool* lost) {
    if (repair.empty()) return;
    repairs.push_back(repair);
    if (lost) *lost = true;
  };
  // Made again by createAPTSandboxIfNeeded when missing; only what is no folder goes.
  for (const std::string& folder : {sandboxPath(), listsPath(), listsPath() + "/partial", archivesPath(),
                                    archivesPath() + "/partial"}) {
    if (!Files::exists(folder)) continue;
    if (!DeviceFiles::makeOwnFolder(folder, &repair, &error)) KVLog("The APT tree can't be repaired: %s", error.c_str());
    note(folder == sandboxPath() || folder == listsPath() ? &listsLost : nullptr);
  }
  for (const std::string& file : {configurationPath(), sourcesListPath(), sandboxPath() + "/pkgcache.bin",
                                  sandboxPath() + "/srcpkgcache.bin"}) {
    if (!DeviceFiles::clearForOwnFile(file, &repair, &error)) KVLog("The APT tree can't be repaired: %s", error.c_str());
    note(file == sourcesListPath() ? &sourcesListLost : nullptr);
  }
  // The list files and archives APT reads: a link there would have it read what the link
  // names, a pipe would have it wait.
  size_t before = repairs.size();
  DeviceFiles::removeForeignEntries(listsPath(), repairs);
  listsLost = listsLost || repairs.size() > before;
  DeviceFiles::removeForeignEntries(archivesPath(), repairs);
  for (const auto& line : repairs) KVLog("Repaired the APT tree: %s", line.c_str());
  // A source gets its line again when its Release is written: without the file, the
  // refresh fetches the Release whatever its date.
  if (sourcesListLost) {
    for (const auto& name : Files::contentsOfDirectory(listsPath()))
      if (name.size() > 8 && name.compare(name.size() - 8, 8, "_Release") == 0)
        DeviceFiles::removeItem(listsPath() + "/" + name);
  }
  if (listsLost || sourcesListLost) {
    inputsChanged();
    KVLog("The sources' lists are fetched again: the APT tree lost them");
  }
  return listsLost || sourcesListLost;
}
