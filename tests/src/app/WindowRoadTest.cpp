// The flagship road in the application's own window on an X display of its own
// (xvfb-run), driven as a person drives it: real pointer clicks, drags, wheel turns and
// key presses sent into the display (XTest) at the places the window reports for what it
// shows (QB_WINDOW_REPORT), with the real apt-get and dpkg in the device root; then a
// source removed by its row's swipe action, a click on the status strip over a row
// scrolled under it, and the language picker turned and its choice kept. Pictures of the
// display along the road are kept in the build tree (test-output/window-road/).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <vector>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "XDisplayDriver.h"
#include "foundation/Files.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/TimeBound.h"
#include "system/Process.h"

extern char** environ;

namespace {

std::string findProgram(const std::string& name) {
  for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin"})
    if (access((std::string(folder) + "/" + name).c_str(), X_OK) == 0) return std::string(folder) + "/" + name;
  return {};
}

struct Place {
  double x = 0, y = 0, width = 0, height = 0;
  std::string text;
};

class WindowRoad : public ::testing::Test {
 protected:
  void TearDown() override {
    display.reset();
    if (application && application->isRunning()) {
      if (programPid > 0) kill(programPid, SIGTERM);
      application->waitUntilExit();
    }
  }

  // The application in its window on a new X display; answers once the window is mapped.
  void start(const std::string& xvfbRun) {
    std::map<std::string, std::string> environment;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      size_t equals = entry.find('=');
      if (equals != std::string::npos) environment[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    environment["QB_WINDOW_REPORT"] = report;
    // No session bus here: the window's toolkit would start one by forking the program
    // while its threads run, and under the memory checker the child can wait forever on
    // a lock a thread of the parent held. A bus that cannot be reached is not started.
    environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + dir.file("no-session-bus");
    application = std::make_unique<Process>();
    application->setLaunchPath(xvfbRun);
    application->setEnvironment(environment);
    // The display is open to any client (-ac): the test's own connection sends the events.
    // The first free display from one of this process's own (another run of the tests on
    // the machine looks from elsewhere).
    application->setArguments({"-n", std::to_string(100 + getpid() % 800), "-a", "-s", "-ac -screen 0 480x900x24", "/bin/sh", "-c",
                               "printf '%s %s\\n' \"$DISPLAY\" $$ > \"$0.tmp\" && mv \"$0.tmp\" \"$0\"; "
                               "exec \"$1\" --window --device-root \"$2\" > \"$3\" 2>&1",
                               dir.file("display"), ApplicationProcess::kPath, device, dir.file("output")});
    ASSERT_TRUE(application->launch());
    ASSERT_TRUE(eventually([&] { return Files::exists(dir.file("display")); }, 20))
        << application->readToEnd();
    std::istringstream in(*Files::readText(dir.file("display")));
    std::string name;
    in >> name >> programPid;
    display = XDisplayDriver::connect(name);
    ASSERT_NE(display, nullptr) << "cannot connect to " << name;
    ASSERT_TRUE(eventually([&] { return display->findWindow("Quillbark"); }, 20)) << "no window came up: " << output();
  }

  bool eventually(const std::function<bool()>& done, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(testsupport::timeBound(seconds));
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      if (application && !application->isRunning()) break;  // the window is gone
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }

  std::string reported() { return Files::readText(report).value_or(""); }
  std::string screen() {
    std::string all = reported();
    size_t at = all.find("screen\n");
    return at == std::string::npos ? std::string() : all.substr(at + 7);
  }
  std::string output() { return Files::readText(dir.file("output")).value_or(""); }

  // Waits until the screen the window reports shows `text`.
  void waitFor(const std::string& text, double seconds = 30) {
    ASSERT_TRUE(eventually([&] { return screen().find(text) != std::string::npos; }, seconds))
        << "no \"" << text << "\" on the window's screen:\n" << reported() << "\n" << output();
  }

  // Every place the window reports, in its order.
  std::vector<Place> places() {
    std::vector<Place> all;
    std::istringstream lines(reported());
    for (std::string line; std::getline(lines, line) && line != "screen";) {
      Place p;
      std::istringstream fields(line);
      std::string word;
      fields >> word >> p.x >> p.y >> p.width >> p.height;
      std::getline(fields >> std::ws, p.text);
      if (word == "place") all.push_back(p);
    }
    return all;
  }
  // The place the window reports for the first thing whose text begins with `text`.
  std::optional<Place> place(const std::string& text) {
    for (const Place& p : places())
      if (p.text.rfind(text, 0) == 0) return p;
    return std::nullopt;
  }

  // The place of what the window reports as `text`, once it is there and nothing moves
  // (a screen sliding in, a bar appearing: the rows below it shift when it ends); with
  // `scrolling`, the wheel turns the view in the window's middle until it is there.
  Place settled(const std::string& text, bool scrolling = false) {
    std::optional<Place> p, before;
    bool rested = eventually([&] {
      before = p;
      const std::string all = reported();
      if (all.rfind("moving\n", 0) == 0 || all.find("\nmoving\n") != std::string::npos) {
        p.reset();
        return false;
      }
      if (!(p = place(text)) && scrolling) display->wheel(187, 400, 1);
      return p && before && p->x == before->x && p->y == before->y;
    }, 30);
    EXPECT_TRUE(rested) << "the window reports no place for \"" << text << "\":\n" << reported();
    return p.value_or(Place{});
  }

  // A click of the pointer's first button at the centre of what the window reports as
  // `text` (the window is drawn at one pixel a point on this display).
  void click(const std::string& text, bool scrolling = false) {
    Place p = settled(text, scrolling);
    ASSERT_FALSE(p.text.empty());
    display->click(int(p.x + p.width / 2), int(p.y + p.height / 2));
  }

  void type(const std::string& text) { ASSERT_TRUE(display->type(text)) << "no key for a character of " << text; }
  // A picture of the window as the display shows it, kept under test-output; answers how
  // many colours it has.
  size_t picture(const std::string& name) { return display->picture(pictures + "/" + name + ".png"); }

  TempDir dir;
  std::string device = dir.file("device");
  std::string report = dir.file("report");
  std::string pictures = QB_BINARY_DIR "/test-output/window-road";
  TempDir repo;
  TestHttpServer server;
  std::unique_ptr<Process> application;
  pid_t programPid = -1;
  std::unique_ptr<XDisplayDriver> display;
};

TEST_F(WindowRoad, ClicksAddARepositoryAndInstallAPackageFromItsPage) {
  std::string xvfbRun = findProgram("xvfb-run");
  if (xvfbRun.empty()) GTEST_SKIP() << "xvfb-run is not installed (scripts/install-deps installs the package xvfb)";
  ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
  // Three sources more than the device's own seven: with the road's, less the one it
  // removes, ten. Their places sort after the one removed, which stays at the top.
  auto added = ApplicationProcess::runScript(device,
                                             "paste https://localhost:9/more1/ https://localhost:9/more2/ "
                                             "https://localhost:9/more3/\ntab Manage\ntap Add\ntap Yes\n");
  ASSERT_EQ(added.status, 0) << added.output;
  ApplicationProcess::buildToolAndLibrary(repo.path());
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repo.path(), {"lib.deb", "tool.deb"}));
  server.serveFolder(repo.path(), "/repo/");
  std::filesystem::remove_all(pictures);
  std::filesystem::create_directories(pictures);
  std::cout << "pictures of the window along the road: " << pictures << "/\n";

  ASSERT_NO_FATAL_FAILURE(start(xvfbRun));
  ASSERT_NO_FATAL_FAILURE(waitFor("title: Featured"));
  EXPECT_GT(picture("1-featured"), 8u) << "the window is drawn";

  // The sources: a new one typed into the form, past the warning about plain http.
  ASSERT_NO_FATAL_FAILURE(click("Manage"));
  ASSERT_NO_FATAL_FAILURE(waitFor("title: Manage"));
  ASSERT_NO_FATAL_FAILURE(click("Add"));
  ASSERT_NO_FATAL_FAILURE(waitFor("New Source"));
  // The field offers "https://" to begin with: it goes, as a person takes it back.
  ASSERT_NO_FATAL_FAILURE(waitFor("field \"\": https://_"));
  for (int i = 0; i < 8; ++i) display->press("BackSpace");
  ASSERT_NO_FATAL_FAILURE(waitFor("field \"\": _"));
  ASSERT_NO_FATAL_FAILURE(type(server.url("/repo/")));
  ASSERT_NO_FATAL_FAILURE(waitFor(server.url("/repo/")));
  display->press("Return");
  ASSERT_NO_FATAL_FAILURE(waitFor("Warning"));
  ASSERT_NO_FATAL_FAILURE(click("Continue"));
  ASSERT_NO_FATAL_FAILURE(waitFor("Number of packages\n2\n"));
  ASSERT_NO_FATAL_FAILURE(click("Refresh"));
  ASSERT_NO_FATAL_FAILURE(waitFor("Refreshed just now."));
  EXPECT_GT(picture("2-source"), 8u);

  // Its packages, the tool's page, GET, and the queue's card once the sheet is closed.
  ASSERT_NO_FATAL_FAILURE(click("Packages", true));
  ASSERT_NO_FATAL_FAILURE(waitFor("Example Tool"));
  EXPECT_GT(picture("3-packages"), 8u);
  ASSERT_NO_FATAL_FAILURE(click("Example Tool"));
  ASSERT_NO_FATAL_FAILURE(waitFor("[GET]"));
  ASSERT_NO_FATAL_FAILURE(click("GET"));
  ASSERT_NO_FATAL_FAILURE(waitFor("[QUEUED]"));
  EXPECT_GT(picture("4-package"), 8u);
  // Escape goes back, and at the sheet's first screen closes it.
  ASSERT_TRUE(eventually([&] {
    if (screen().find("floating: Queue | 1 Package") != std::string::npos) return true;
    display->press("Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return false;
  }, 30)) << reported();

  // The confirmation, once APT's dry run is back, and the task to its end.
  ASSERT_NO_FATAL_FAILURE(click("Queue"));
  ASSERT_NO_FATAL_FAILURE(waitFor("Main Packages to Proceed"));
  ASSERT_NO_FATAL_FAILURE(waitFor("[Confirm]\n"));
  EXPECT_GT(picture("5-confirm"), 8u);
  ASSERT_NO_FATAL_FAILURE(click("Confirm"));
  ASSERT_NO_FATAL_FAILURE(waitFor("No more running tasks", 60));
  EXPECT_GT(picture("6-tasks"), 8u);

  auto installed = Process::run("/usr/bin/dpkg-query", {"--admindir=" + device + "/var/lib/dpkg", "-W", "-f",
                                                        "${Package} ${db:Status-Status}\n", "com.example.tool"});
  EXPECT_EQ(installed.output, "com.example.tool installed\n");

  // The task screen's Close, inside the window, closes it.
  ASSERT_NO_FATAL_FAILURE(click("Close"));
  ASSERT_TRUE(eventually([&] { return screen().find("No more running tasks") == std::string::npos; }, 30)) << reported();
  ASSERT_NO_FATAL_FAILURE(waitFor("title: Manage"));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the screen has slid away

  // A source's row dragged to the left uncovers its actions; its Remove takes it away.
  const std::string removed = "https://community-four.example/";
  Place source = settled(removed);
  ASSERT_FALSE(source.text.empty());
  int rowY = int(source.y + source.height / 2);
  display->drag(int(source.x + source.width - 30), rowY, int(source.x + 40), rowY);
  ASSERT_NO_FATAL_FAILURE(waitFor("[Refresh] [Remove]"));
  EXPECT_GT(picture("7-swiped"), 8u);
  ASSERT_NO_FATAL_FAILURE(click("Remove"));
  ASSERT_TRUE(eventually([&] { return screen().find(removed) == std::string::npos; }, 30)) << reported();

  // The wheel brings the tenth source whole above the tab bar, and a click there opens it.
  ASSERT_NO_FATAL_FAILURE(waitFor("table: 10 rows"));
  std::string last;
  std::optional<Place> row, bar;
  ASSERT_TRUE(eventually([&] {
    std::string shown = screen();
    size_t at = shown.find("\n  1.9: ");
    if (at != std::string::npos) {
      size_t begin = at + 8;
      last = shown.substr(begin, std::min(shown.find(" | ", begin), shown.find('\n', begin)) - begin);
      row = place(last);
      bar = place("Featured");
      if (row && bar && row->y + row->height <= bar->y) return true;
    }
    display->wheel(187, 400, 1);
    return false;
  }, 60)) << "the last source, " << (last.empty() ? "never listed" : last) << ", is not drawn whole above the tab bar:\n"
          << reported();
  EXPECT_GT(picture("8-last-source"), 8u);
  ASSERT_NO_FATAL_FAILURE(click(last));
  ASSERT_NO_FATAL_FAILURE(waitFor("stack: Manage > "));

  // The search field takes a click and the keys, and shows what they typed.
  ASSERT_NO_FATAL_FAILURE(click("Search"));
  ASSERT_NO_FATAL_FAILURE(click("Packages, Developers, Repositories"));
  ASSERT_NO_FATAL_FAILURE(type("Exax"));
  ASSERT_NO_FATAL_FAILURE(waitFor(": Exax_"));
  display->press("BackSpace");  // the delete key takes the last letter back
  ASSERT_NO_FATAL_FAILURE(waitFor(": Exa_"));
  ASSERT_NO_FATAL_FAILURE(click("Cancel"));
  EXPECT_GT(picture("9-search"), 8u);

  // A switch of the settings, clicked where it is drawn, changes its preference in the file.
  ASSERT_NO_FATAL_FAILURE(click("Featured"));
  ASSERT_NO_FATAL_FAILURE(click("Account"));
  ASSERT_NO_FATAL_FAILURE(click("Settings", true));
  ASSERT_NO_FATAL_FAILURE(waitFor("title: Settings"));
  ASSERT_NO_FATAL_FAILURE(click("switch Black Dark Mode", true));
  std::string preferences = device + "/var/mobile/Library/Application Support/Quillbark/me.korvale.quillbark.plist";
  EXPECT_TRUE(eventually([&] {
    return Files::readText(preferences).value_or("").find("<key>TrueDarkMode</key>\n\t<true/>") != std::string::npos;
  }, 30)) << Files::readText(preferences).value_or("");
  EXPECT_GT(picture("10-settings"), 8u);

  // The switch's row scrolled up under the status strip: a click there reaches nothing.
  // The wheel moves the list 40 points a notch, each seen where a row still shown moved.
  auto notch = [&] {
    std::vector<Place> before = places();
    display->wheel(187, 400, 1);
    return eventually([&] {
      for (const Place& now : places())
        for (const Place& was : before)
          if (now.text == was.text && now.x == was.x && now.y == was.y - 40) return true;
      return false;
    }, 30);
  };
  Place toggle = settled("switch Black Dark Mode");
  double middle = toggle.y + toggle.height / 2;
  for (; middle > 40; middle -= 40) ASSERT_TRUE(notch()) << reported();
  display->click(int(toggle.x + toggle.width / 2), int(middle));
  ASSERT_TRUE(notch()) << "once the list has moved again, the click before it was handled\n" << reported();
  // The row lies under the bars, where the screen's text no more lists it than the window draws it.
  EXPECT_EQ(screen().find("Black Dark Mode"), std::string::npos) << screen();
  EXPECT_NE(Files::readText(preferences).value_or("").find("<key>TrueDarkMode</key>\n\t<true/>"), std::string::npos);

  // The language picker's wheel, drawn and turned by the wheel; its caption keeps the choice.
  ASSERT_NO_FATAL_FAILURE(click("Interface Language", true));
  ASSERT_NO_FATAL_FAILURE(waitFor("picker: (English) | Fran"));
  // The list scrolled, by the wheel above the picker, until the picker's chosen row shows.
  ASSERT_TRUE(eventually([&] {
    if (place("English")) return true;
    display->wheel(187, 150, 1);
    return false;
  }, 30)) << reported();
  Place english = settled("English");
  display->wheel(int(english.x + english.width / 2), int(english.y + english.height / 2), 1);
  ASSERT_NO_FATAL_FAILURE(waitFor("picker: English | (Fran"));
  EXPECT_GT(picture("11-picker"), 8u);
  Place expanded = settled("Select");
  display->click(int(expanded.x + expanded.width - 40), int(expanded.y + 22));  // the caption, above the wheel
  std::string defaults = device + "/var/mobile/Library/Preferences/me.korvale.quillbark.plist";
  EXPECT_TRUE(eventually([&] {
    return Files::readText(defaults).value_or("").find("<string>fr</string>") != std::string::npos;
  }, 30)) << Files::readText(defaults).value_or("") << reported();
  ASSERT_NO_FATAL_FAILURE(waitFor("title: À la une"));

  // SIGTERM ends the session as quit does, and then the display (whose end would end a
  // connection still open to it).
  display.reset();
  kill(programPid, SIGTERM);
  application->waitUntilExit();
  EXPECT_EQ(application->terminationStatus(), 0) << output();
}

// With DISPLAY naming a display where nothing is, the window is said not to open, at
// once and why, and the prompt answers in its place.
TEST(WindowOnNoDisplay, SaysWhyAtOnceAndThePromptAnswers) {
  // A display number no X server here listens on.
  int number = 5000 + getpid() % 4000;
  while (access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0) ++number;
  TempDir dir;
  std::filesystem::create_directories(dir.file("runtime"));
  // Nor a Wayland display, nor a driver named on purpose.
  PseudoTerminal terminal(ApplicationProcess::kPath, {"--window", "--device-root", dir.file("device")},
                          {{"DISPLAY", ":" + std::to_string(number)}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""},
                           {"XDG_RUNTIME_DIR", dir.file("runtime")}});
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("quillbark: no window can be opened (nothing is at the display \":" + std::to_string(number) +
                               "\" that DISPLAY names: no X server listens there): the prompt instead", 60))
      << terminal.output();
  ASSERT_TRUE(terminal.waitFor("> ", 60)) << terminal.output();
  terminal.send("tap Get Started\r");
  ASSERT_TRUE(terminal.waitFor("[Skip]", 60)) << terminal.output();
  terminal.send("quit\r");
  EXPECT_EQ(terminal.waitForExit(60), 0) << terminal.output();
}

}  // namespace
