// What a package leaves in the device root never keeps the application from starting:
// the mobile user's folder turned into a link out of the root is a folder again, with
// nothing written through the link, and a damaged device description is replaced, with
// a card saying so; dpkg's status turned into something no device has is said, and the
// start goes on. And the application quits cleanly with work in flight.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "database/KVRSchema.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "store/Store.h"
#include "support/PeakMemory.h"
#include "support/TempDir.h"
#include "support/TimeBound.h"

namespace {
// A server that takes connections and never answers: whatever asks it stays in flight.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd_, 4096) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      ADD_FAILURE() << "no silent server";
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(StartAndQuitTest, AMobileFolderLinkedOutAndADamagedDescriptionAreRepairedAtStart) {
  TempDir dir, outside;
  const std::string device = dir.file("device");
  ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
  ASSERT_TRUE(Files::removeItem(device + "/var/mobile"));
  ASSERT_EQ(::symlink(outside.path().c_str(), (device + "/var/mobile").c_str()), 0);
  ASSERT_TRUE(Files::writeAtomically(device + "/etc/quillbark/device.json",
                                     Value::dict({{"model", "iPhone" + std::string(100000, 'x') + "10,3"}}).toJSON()));

  auto started = ApplicationProcess::runScript(device, "screen\nquit\n");
  EXPECT_EQ(started.status, 0) << started.output.substr(0, 2000);
  EXPECT_NE(started.output.find("repaired the device folder: /var/mobile was a link to " + outside.path()),
            std::string::npos)
      << started.output.substr(0, 2000);
  EXPECT_NE(started.output.find("Device Description Replaced\nThe device description (/etc/quillbark/device.json) "
                                "was damaged"),
            std::string::npos)
      << started.output.substr(0, 2000);
  EXPECT_TRUE(Files::contentsOfDirectory(outside.path()).empty()) << "nothing was written through the link";
  EXPECT_TRUE(Files::isDirectory(device + "/var/mobile/Library/Application Support/Quillbark"));
  EXPECT_NE(Files::readText(device + "/etc/quillbark/device.json").value_or("").find("\"model\": \"iPhone10,3\""),
            std::string::npos);
}

// What a package's hook can leave of dpkg's status after dpkg's last write: a file larger
// than any device's (200 MB of zeros) or a named pipe. The start says what is wrong and
// goes on, neither taking the file in nor waiting on the pipe (every step has a ceiling,
// so a start that waits fails here rather than hangs); the packages stay as dpkg last
// said, and the prompt answers.
TEST(StartAndQuitTest, AStatusLargerThanAnyDevicesOrANamedPipeIsSaidAndTheStartGoesOn) {
  TempDir dir;
  const std::string device = dir.file("device");
  ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
  const std::string status = device + "/var/lib/dpkg/status";
  ASSERT_TRUE(Files::writeAtomically(status, Files::readText(status).value_or("") +
                                                 "\nPackage: com.example.kept\nName: Example Kept\nStatus: install ok "
                                                 "installed\nVersion: 1.0\nArchitecture: iphoneos-arm\n"));
  // One start on the root; answers its peak memory in kB, with the Manage tab shown.
  auto start = [&](const std::string& said) -> long {
    PseudoTerminal terminal(ApplicationProcess::kPath, {"--device-root", device});
    EXPECT_TRUE(terminal.waitFor("(type help for the commands, quit to leave)", testsupport::timeBound(60)))
        << terminal.output();
    EXPECT_NE(terminal.output().find(said), std::string::npos) << terminal.output();
    if (!said.empty()) terminal.send("tap OK\r");
    std::string shown;
    for (int i = 0; i < 100 && shown.find("Example Kept") == std::string::npos; ++i) {
      terminal.send(i == 0 ? "tab Manage\r" : "screen\r");
      if (!terminal.waitFor("title: Manage", testsupport::timeBound(30)) || !terminal.waitFor("\n> ", 30)) break;
      shown = terminal.output();
    }
    EXPECT_NE(shown.find("Example Kept"), std::string::npos) << "the packages dpkg last told of:\n" << shown;
    long peak = -1;
    std::ifstream memory("/proc/" + std::to_string(terminal.pid()) + "/status");
    for (std::string line; std::getline(memory, line);)
      if (line.rfind("VmHWM:", 0) == 0) peak = std::stol(line.substr(6));
    terminal.send("quit\r");
    EXPECT_EQ(terminal.waitForExit(testsupport::timeBound(60)), 0) << terminal.sinceLastMatch();
    return peak;
  };
  const long usual = start("");
  ASSERT_GT(usual, 0);

  ASSERT_TRUE(Files::writeAtomically(status, std::string()));
  ASSERT_EQ(::truncate(status.c_str(), 200 << 20), 0);
  const long large = start("dpkg's Status Unreadable\r\ndpkg's status file /var/lib/dpkg/status is larger than 64 MiB "
                           "(200 MiB), more than any device's.");
  EXPECT_EQ(Files::fileSize(status), uint64_t(200) << 20) << "the file is left for the person to put right";

  ASSERT_TRUE(Files::removeItem(status));
  ASSERT_EQ(::mkfifo(status.c_str(), 0644), 0);
  start("dpkg's Status Unreadable\r\ndpkg's status file /var/lib/dpkg/status is a named pipe, not a regular file.");
  if (testsupport::kPeakMemoryIsMeasurable) {
    EXPECT_LT(large, usual + 32 * 1024) << "kB, against " << usual;
  }
}

// Quitting while work runs on other threads: the refreshes of a thousand sources and
// the icons of those on screen, all waiting for a server that never answers, and the
// installed counts of every source. A cycle holds what the race at the end needs and
// nothing else: a start on a root built before (the builder only checks it), the work
// started, and the quit at once.
TEST(StartAndQuitTest, TwoHundredStartsQuitWithWorkInFlightAndNeverCrash) {
  SilentServer server;
  TempDir dir;
  const std::string device = dir.file("device");
  std::string list;
  for (int i = 0; i < 1000; ++i) list += "deb " + server.url("/r" + std::to_string(i) + "/") + " ./\n";
  ASSERT_EQ(ApplicationProcess::runScript(device, "quit\n").status, 0);
  ASSERT_TRUE(Files::writeAtomically(device + "/etc/apt/sources.list.d/cydia.list", list));
  auto walk = ApplicationProcess::runScript(device, "tap Get Started\ntap Skip\ntap Cydia\ntap Continue\nwait 2\nquit\n");
  ASSERT_EQ(walk.status, 0) << walk.output.substr(0, 2000);
  // The default sources go: their made-up hosts would send every cycle's refresh to the
  // name server, thousands of lookups that slow every other test's down with them.
  {
    store::Configuration c;
    c.path = device + "/var/mobile/Library/Application Support/Quillbark/default.realm";
    c.schemaVersion = KVRSchema::kSchemaVersion;
    c.schema = KVRSchema::schema();
    auto db = store::Database::open(c);
    ASSERT_TRUE(db);
    ASSERT_FALSE((*db)->write([&] { (*db)->deleteObjects((*db)->objects("KVRSource", "location CONTAINS %@", ".example")); }));
  }
  auto listed = ApplicationProcess::runScript(device, "tab Manage\nquit\n");
  ASSERT_NE(listed.output.find("table: 1000 rows, showing 1.0-1."), std::string::npos) << listed.output.substr(0, 2000);

  // The vendor's service is the silent server too: it keeps its requests in flight, and
  // asks the name server nothing.
  std::string service = server.url("/");
  service.pop_back();
  for (int cycle = 0; cycle < 200; ++cycle) {
    auto outcome = ApplicationProcess::runScript(device, "tab Manage\ntap Refresh\nquit\n", {"--vendor-service", service});
    ASSERT_EQ(outcome.status, 0) << "cycle " << cycle << ":\n" << outcome.output.substr(0, 4000);
  }
}
}  // namespace
