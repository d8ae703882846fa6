#include "app/TerminalOpen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "foundation/Files.h"
#include "foundation/URL.h"
#include "uikit/UIApplication.h"

namespace TerminalOpen {
const char* const kLinks =
    "quillbark://add/REPOSITORY, quillbark://url/SHARE-LINK, quillbark://show/IDENTIFIER, "
    "quillbark://developer/NAME and local .deb files (file:///path/name.deb)";

namespace {
std::string lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Why the file at `path` is not a package the application can be handed; none when it is.
std::optional<std::string> packageFileProblem(const std::string& path) {
  if (path.empty() || path == "/") return std::string("the link names no file");
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return "there is no file " + path;
    return "cannot read " + path + ": " + std::strerror(errno);
  }
  if (S_ISDIR(status.st_mode)) return path + " is a folder, not a package file";
  if (Files::pathExtension(path) != "deb") return "the application opens package files (.deb) only, and " + path + " is not one";
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return "cannot read " + path + ": " + std::strerror(errno);
  char magic[8] = {};
  ssize_t read = ::read(descriptor, magic, sizeof magic);
  ::close(descriptor);
  // A .deb is an ar archive.
  if (read != ssize_t(sizeof magic) || std::memcmp(magic, "!<arch>\n", sizeof magic) != 0)
    return path + " is not a package archive (a .deb file is an ar archive)";
  return std::nullopt;
}
}  // namespace

UIInteractionResult open(const std::string& link, const std::string& sourceApplication) {
  auto refuse = [](const std::string& why) { return UIInteractionResult::failure(why + ". It takes " + kLinks); };
  UIApplication& application = UIApplication::sharedApplication();
  if (!application.delegate())
    return UIInteractionResult::failure("nothing was opened: the application does not take links yet (it is to take " +
                                        std::string(kLinks) + ")");
  auto url = URL::fromString(link);
  std::string scheme = url ? lower(url->scheme()) : std::string();
  if (scheme.empty()) return refuse("\"" + link + "\" is not a link (a link begins with a scheme, as quillbark:// does)");
  if (scheme == "file") {
    if (auto problem = packageFileProblem(url->path())) return UIInteractionResult::failure(*problem);
  } else if (scheme != "quillbark" && scheme != "http" && scheme != "https" && scheme != "sileo") {
    return refuse("the application does not take " + scheme + ": links");
  }
  std::string before = UIInteraction::screen();
  if (!application.deliverOpenURL(link, sourceApplication)) return refuse("the application did not open " + link);
  UIInteraction::runUntilIdle();
  // A developer's link may find its tab already in front.
  bool mayShowNothing = scheme == "quillbark" && lower(url->host()) == "developer";
  if (!mayShowNothing && UIInteraction::screen() == before)
    return refuse("the application took " + link + " but showed nothing for it");
  return UIInteractionResult::success();
}
}  // namespace TerminalOpen
