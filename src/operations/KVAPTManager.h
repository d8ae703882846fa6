#pragma once
// The layer through which the system runs APT and dpkg. It owns a private APT tree in
// the application-support folder (its own configuration file, sources list, lists and
// archives), composes every APT and dpkg command line, runs it as root through the
// launcher, lets only one command run at a time and keeps the last command's output
// and exit status. Class methods only; the state is process-wide.
//
// Every file of the private tree is written whole or not at all, and a write answers an
// error value (KVAPTErrorDomain) that says why it failed; nothing of it is dropped.
//
// Every value that reaches a command line is quoted for both shells it passes
// (ShellCommand::word); identifiers, versions and queue strings outside Debian's rules
// are refused before anything runs: the update block then receives one "E: " line and a
// final call with kRefusedStatus, and the Boolean operations answer NO.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/KVSourceLocation.h"
#include "foundation/Error.h"
#include "foundation/Files.h"
#include "foundation/StringEncoding.h"
#include "foundation/Value.h"
#include "operations/APTDependsTree.h"
#include "operations/KVStreamingTask.h"

class KVRPackage;

inline constexpr const char* KVAPTErrorDomain = "KVAPTManager";
enum : int64_t {
  KVAPTErrorTreeUnwritable = 1,  // a folder or file of the private tree could not be written
  KVAPTErrorUnencodable = 2,     // the text can't be written in the encoding asked for
  KVAPTErrorRefusedValue = 3,    // a value that must not reach a file
};

// The outcome of one command: whether it ran (not refused as busy or as unsafe), its
// own output (exactly what the tools printed) and its own exit status.
struct KVAPTCommandResult {
  bool ran = false;
  bool refused = false;  // refused input; nothing ran
  std::string output;
  int32_t status = 0;
  bool succeeded() const { return ran && status == 0; }
};

// A package an install or removal left half way: dpkg marked it to be reinstalled, or its
// files are half in place. dpkg neither configures nor uses it until it is reinstalled
// or removed, and refuses every later run beside it.
struct KVHalfInstalledPackage {
  std::string identifier;
  std::string version;  // the version being installed
  std::string architecture;
  bool removing = false;  // a removal was cut off
};

// One package of dpkg's records: its version, architecture and "want flag state" status.
struct KVDpkgRecord {
  std::string version;
  std::string architecture;
  std::string status;

  std::string want() const { return word(0); }
  std::string flag() const { return word(1); }
  std::string state() const { return word(2); }
  bool isFullyInstalled() const { return flag() == "ok" && state() == "installed"; }
  // Wanted installed, but dpkg did not finish with it: unpacked, half-configured,
  // half-installed or to be reinstalled.
  bool isUnfinished() const;
  // Its removal failed (a script of it did): wanted gone, its files half gone. APT removes
  // it again first in every run; dpkg can remove it again or install it anew, not
  // configure it.
  bool isFailedRemoval() const;

 private:
  std::string word(int index) const;
};

// What the start-up repair did with the half-installed packages.
struct KVRepairOutcome {
  std::vector<std::string> reinstalled;  // from their downloaded archives
  std::vector<std::string> removed;      // nothing to reinstall them from
  std::vector<std::string> unrepaired;   // still half-installed: the user was told
};

// What decides a queue's `apt-get` beyond the queue itself. Its run and its dry run take
// the same, so that the dry run predicts the run.
struct KVAPTQueueOptions {
  bool allowDowngrades = true;    // the device's system version allows them (11.0 and later)
  bool allowHeldChanges = false;  // held packages may change: those the queue names, chosen by hand
  bool simulate = false;          // the dry run: changes nothing, and lists the upgrades
};

// One available version of a package and the source line that offers it.
struct KVAPTVersionSource {
  std::string version;
  std::string source;  // "http://host/path ./ Packages", as apt-cache policy prints it
  bool operator==(const KVAPTVersionSource&) const = default;
};

class KVAPTManager {
 public:
  using UpdateBlock = KVStreamingTask::OutputBlock;
  using CompletionBlock = std::function<void()>;

  // "APT is busy, ..." (153 characters), the result of a command refused while another runs.
  static const std::string& busyText();
  static constexpr int32_t kRefusedStatus = 2;
  static constexpr int32_t kRunningStatus = 999;

  // --- The private tree (host paths inside the device root) ---
  static std::string applicationSupportPath();
  static std::string sandboxPath();  // ".../APT"
  static std::string configurationPath();
  static std::string sourcesListPath();
  static std::string listsPath();
  static std::string archivesPath();
  // The 16 lines of "quillbark.config" for the current device root.
  static std::string configurationText();
  // Makes the missing folders and writes the configuration file.
  [[nodiscard]] static ErrorRef createAPTSandboxIfNeeded();
  [[nodiscard]] static ErrorRef purgeSandbox();
  // At start, before the tree is made: a package's script can have put links (or pipes,
  // or files where folders belong) in place of the tree's folders and files. Each is
  // replaced, never followed, and the log says so. Answers true when what the sources
  // list or the list files held is lost with them: a refresh of every source brings it
  // back (a source whose line is gone has its Release fetched again for it).
  static bool repairTreeAtLaunch();

  // --- Sources list and list files. What writes a source's line or files takes its
  // location as a KVSourceLocation, which the one check of every location made.
  static std::string debSourceForSource(const KVSourceLocation& location);
  [[nodiscard]] static ErrorRef writeSourceToListIfNeeded(const KVSourceLocation& location);
  static std::string releasePathForSource(const std::string& location);
  static std::string packagesPathForSource(const std::string& location);
  static std::optional<std::string> filePathForSource(const std::string& location, int fileType);
  // The Release file and then the source's sources-list line (not when the file failed).
  [[nodiscard]] static ErrorRef writeReleaseContents(const std::string& text, StringEncoding encoding,
                                                     const KVSourceLocation& location);
  [[nodiscard]] static ErrorRef writeReleaseContents(const std::string& text, const KVSourceLocation& location);
  [[nodiscard]] static ErrorRef writePackagesContents(const std::string& text, StringEncoding encoding,
                                                      const KVSourceLocation& location);
  [[nodiscard]] static ErrorRef writePackagesContents(const std::string& text, const KVSourceLocation& location);
  [[nodiscard]] static ErrorRef writePackagesData(const Data& bytes, const KVSourceLocation& location);
  // The Packages file written by `fill` onto a new file's descriptor as it produces the
  // bytes (a decoded index streams there); the old file is replaced only when `fill`
  // answers true, and is otherwise left as it was.
  // `fill` may put the file in its place before it answers (Files::writeAtomicallyPlacingAt);
  // the old file then comes back if it answers false.
  [[nodiscard]] static ErrorRef writePackagesFile(
      const KVSourceLocation& location,
      const std::function<bool(int fd, std::string* error, const Files::PlaceNow& placeNow)>& fill);
  static std::string safeLastModifiedDateStringForSource(const std::string& location, int fileType);
  // Beside a Packages list file put in place before its records are written; gone once
  // they are (or once the old file is back).
  static std::string aheadMarkerPathForSource(const std::string& location);
  [[nodiscard]] static ErrorRef purgeSourceFromSandbox(const KVSourceLocation& location);
  [[nodiscard]] static ErrorRef purgeSourcesFromSandbox(const std::vector<KVSourceLocation>& locations);

  // --- The runner ---
  static void runCommandAsRoot(const std::string& commandLine, UpdateBlock update, CompletionBlock completion);
  static std::string resultsForCommandAsRoot(const std::string& commandLine, UpdateBlock update,
                                             CompletionBlock completion);
  // Nothing when the runner was busy.
  static std::optional<std::string> resultsForCommandAsRoot(const std::string& commandLine);
  // The runner with this run's own outcome; what the operations below are built on.
  static KVAPTCommandResult commandResultForCommandAsRoot(const std::string& commandLine, UpdateBlock update = {},
                                                          CompletionBlock completion = {});
  // Starts building APT's caches on a thread of its own, as the cache task will, while a
  // refresh whose list file is already in place still writes its records; a command
  // asked for meanwhile waits for it. Nothing when one is being built already.
  static void generateCachesAhead();
  // Whether caches built ahead are still right for what APT reads now (no list file,
  // sources list or command came since they began): waits for a build under way, and
  // answers true once.
  static bool takeCachesBuiltAhead();
  // What APT builds its caches from may have changed.
  static void inputsChanged();
  // A command refused before anything ran: logged, told to the update block as one "E: "
  // line and a final call with kRefusedStatus.
  static KVAPTCommandResult refusedCommand(const std::string& reason, const UpdateBlock& update);
  static std::optional<std::string> output();
  static int32_t status();  // kRunningStatus while a command runs
  static bool running();

  // --- Command lines: the launcher line `dedev "inner"` (nothing when a value is refused) ---
  static std::string launcherPath();
  static std::string launcherCommandLine(const std::string& innerCommand);
  static std::string configurationArgument();  // CFG: the configuration path as one shell word
  static std::string fixPartiallyInstalledCommand();
  // dpkg's removal of a half-installed package (nothing for a name outside Debian's rules).
  static std::optional<std::string> removeHalfInstalledCommand(const std::string& identifier);
  // `archives` are local archives installed with the queue (isLocalArchivePath).
  // `verb` is "install", "remove" or "upgrade"; the one place a queue's line is made.
  static std::optional<std::string> queueCommand(const std::string& verb, const std::string& queue,
                                                 const std::vector<std::string>& archives,
                                                 const KVAPTQueueOptions& options);
  // The install line for this device as a simulation.
  static std::optional<std::string> dryRunCommand(const std::string& queue, const std::vector<std::string>& archives = {},
                                                  bool allowHeldChanges = false);
  // `verb` is "install", "remove" or "upgrade".
  static std::optional<std::string> aptGetCommand(const std::string& verb, const std::string& queue,
                                                  bool allowDowngrades = true,
                                                  const std::vector<std::string>& archives = {});
  // The install line for this device: without --allow-downgrades below system 11.0.
  static std::optional<std::string> installCommand(const std::string& queue, const std::vector<std::string>& archives = {},
                                                   bool allowHeldChanges = false);
  // A path APT takes as a local archive to install: absolute, ending in ".deb", of
  // letters, digits, blanks and "/._+~-%" only.
  static bool isLocalArchivePath(const std::string& path);
  // `verb` is "hold" or "unhold".
  static std::optional<std::string> aptMarkCommand(const std::string& verb, const std::string& identifier);
  // dpkg's setup of one package it left unpacked or half-configured: its scripts run again.
  static std::optional<std::string> configureCommand(const std::string& identifier);
  static std::string generateCachesCommand();
  static std::string installDPKGCommand(const std::string& archivePath);
  static std::string debFieldsCommand(const std::string& archivePath);
  static std::string cleanUpArchivesCommand();
  static std::optional<std::string> dependsCommand(const std::string& identifier);
  static std::optional<std::string> dpkgStatusCommand(const std::string& identifier);
  static std::optional<std::string> listVersionsCommand(const std::string& identifier);
  static std::optional<std::string> policyCommand(const std::string& identifier);
  static std::string packageInfoCommand(const std::string& archivePath);
  // Below "11.0" (numerically, component by component) install without --allow-downgrades.
  static bool systemVersionAllowsDowngrades(const std::string& systemVersion);

  // --- Operations (blocking: the caller's thread waits for the command) ---
  // The start-up repair, once the package tools' last run in the root has ended (or
  // after a while anyway). A half-installed package is reinstalled from its downloaded
  // archive when APT's cache still holds it, else removed; then what was left unconfigured
  // is configured. Each step is logged; packages it could not bring back are named on
  // an alert card.
  static KVRepairOutcome fixPartiallyInstalledPackages();
  // dpkg's records by package, from its status and the journal of changes a run cut off
  // leaves beside it.
  static std::map<std::string, KVDpkgRecord> dpkgRecords();
  // The packages dpkg left half-installed, from its status and the journal of changes a
  // run cut off leaves beside it.
  static std::vector<KVHalfInstalledPackage> halfInstalledPackages();
  // Start-up's clearing of the archives, which waits for the repair while a half-installed
  // package may be reinstalled from one (the repair removes those it used), and leaves
  // them while the package tools' last run goes on.
  static void cleanUpArchivesAtLaunch();
  static bool install(const std::string& queue, UpdateBlock update);
  // The same with the run's own outcome: whether it ran, was refused, its output.
  static KVAPTCommandResult installQueue(const std::string& queue, UpdateBlock update);
  // The queue and local archives, whose dependencies APT takes from the sources.
  static KVAPTCommandResult installQueue(const std::string& queue, const std::vector<std::string>& archives,
                                         UpdateBlock update);
  // The same as its dry run said, held packages it names changed when it allowed that.
  static KVAPTCommandResult installQueue(const std::string& queue, const std::vector<std::string>& archives,
                                         bool allowHeldChanges, UpdateBlock update);
  static bool remove(const std::string& queue, UpdateBlock update);
  static bool upgrade(const std::string& queue, UpdateBlock update);
  static KVAPTCommandResult configurePackage(const std::string& identifier, UpdateBlock update);
  static bool hold(const std::string& identifier, UpdateBlock update);
  static bool unhold(const std::string& identifier, UpdateBlock update);
  // `archivePath` is the plain path of the file; it is quoted here.
  static bool installDPKG(const std::string& archivePath, UpdateBlock update);
  static KVAPTCommandResult installArchive(const std::string& archivePath, UpdateBlock update);
  static std::string generateCaches();
  static void cleanUpArchivesIfNeeded();
  // The dry run of a queue string (the queue-resolution layer parses its output).
  static KVAPTCommandResult dryRunForQueue(const std::string& queue, const std::vector<std::string>& archives = {},
                                           bool allowHeldChanges = false);
  // Moves a finished download into the archives under APT's own name. Answers false
  // (the file stays where it is) when the name can't be built.
  static bool copyDebToSandboxFromPath(const std::string& path);

  // --- Operations that nothing in the system calls yet ---
  static std::vector<std::string> depends(const std::string& identifier);
  static std::vector<std::string> unmetDependenciesFromArrayOfDependencies(const std::vector<std::string>& identifiers);
  static std::vector<std::string> availableVersionsForIdentifier(
      const std::string& identifier, std::function<void(const std::vector<std::string>&)> block = {});
  static std::vector<KVAPTVersionSource> availableVersionsForIdentifierWithSourceInfo(
      const std::string& identifier, std::function<void(const std::vector<KVAPTVersionSource>&)> block = {});
  static std::optional<std::string> packageInfo(const std::string& archivePath, UpdateBlock update);
  static std::vector<std::string> installedFilesForIdentifer(const std::string& identifier);
  // Dry-runs the removal of `identifier` on a background queue and hands the block
  // the identifiers of `queue` (a queue string) that would go with it; returns at once.
  static void packagesInQueueThatDependOnPackage(const std::string& identifier, const std::string& queue,
                                                 std::function<void(const std::vector<std::string>&)> block);
  static std::vector<std::string> testAvailableVersions();

  // --- The queue string and the dry run (KVAPTManagerQueue.cpp)
  // The queued records as one apt-get argument text: per record its identifier, with
  // "=" and the queued version when it has one, followed by "-" when it is to be removed
  // (its stored operation is the removal; without a stored operation, an installed
  // package without an update and without a queued version); tokens joined by one blank.
  static std::string queueStringForKVRPackageArray(const std::vector<KVRPackage>& packages);
  // The identifiers of a queue string in order: each token without its "-" or "+" mark
  // and its "=version".
  static std::vector<std::string> identifiersOfQueue(const std::string& queue);
  // Asks APT what the queue would do, in a simulation that changes nothing, and sorts
  // its answer into the six lists; the block, when given, receives them too. An empty
  // queue runs nothing, calls no block and answers six empty lists. A busy runner or a
  // failing run leaves only what the queue string itself says. A source's list APT can't
  // read is set aside (setAsideList) and APT asked again, so that one source does not
  // stop the queue; the tree names it.
  static APTDependsTree unmetDependenciesForPackages(const std::string& queue,
                                                     std::function<void(const APTDependsTree&)> block = {});
  // The same for a queue and local archives installed with it (either may be empty).
  static APTDependsTree unmetDependenciesForPackages(const std::string& queue, const std::vector<std::string>& archives,
                                                     std::function<void(const APTDependsTree&)> block);
  // --- A list file APT can't read (KVAPTManagerUnreadable.cpp)
  // The source whose list file a command's output says APT could not read (the one
  // source APT names: it stops at the first such file), with APT's words; nothing when
  // the output names none of the sources' lists.
  static std::optional<APTUnreadableSource> unreadableSourceInOutput(const std::string& output);
  // Takes the source's list file out of APT's lists, so that APT reads the others, and
  // records why on the source, which keeps its packages until its next refresh fetches
  // its index again. Not while the source is being refreshed (its list is being replaced
  // then), nor when the file can't be removed: false.
  static bool setAsideList(const APTUnreadableSource& source);

  // The six lists of a dry run's output for the queue string (public for tests).
  static APTDependsTree dependsTreeFromOutput(const std::string& queue, const std::string& output);
  // The display names of the tree's downloads and removes, from the package records
  // (the identifier where no record names it), for the APT run's output.
  static std::map<std::string, std::string> packageNamesForTree(const APTDependsTree& tree);

  // Parsers of the tools' output (public for tests).
  static std::vector<std::string> dependsFromOutput(const std::string& output);
  static std::vector<std::string> versionsFromListOutput(const std::string& output, const std::string& identifier);
  static std::vector<KVAPTVersionSource> versionSourcesFromPolicyOutput(const std::string& output);

  KVAPTManager() = delete;

 private:
  // The runner itself, without waiting for caches built ahead (which it builds).
  static KVAPTCommandResult runAsRootNow(const std::string& commandLine, UpdateBlock update,
                                         CompletionBlock completion);
};
