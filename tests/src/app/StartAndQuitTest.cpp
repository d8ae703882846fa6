// What a package leaves in the device root never keeps the application from starting:
// the mobile user's folder turned into a link out of the root is a folder again, with
// nothing written through the link, and a damaged device description is replaced, with
// a card saying so. And the application quits cleanly with work in flight.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ApplicationProcess.h"
#include "database/KVRSchema.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "store/Store.h"
#include "support/TempDir.h"

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
