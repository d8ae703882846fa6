// The application executable driven through its standard input, as a script would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "ApplicationProcess.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Bundle.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRSource.h"
#include "foundation/Files.h"
#include "store/Store.h"
#include "support/DebBuilder.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/Written.h"
#include "system/Process.h"

namespace {
std::string runSession_(const std::string& device, const std::string& script) {
  auto outcome = ApplicationProcess::runScript(device, script);
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  return outcome.output;
}

// A session on a new device root whose first run is done; a script with a failed
// command ends with status 1.
std::string runSession(const std::string& script, int status = 0) {
  TempDir dir;
  ApplicationProcess::makeDeviceRootAfterFirstRun(dir.file("device"));
  auto outcome = ApplicationProcess::runScript(dir.file("device"), script);
  EXPECT_EQ(outcome.status, status) << outcome.output;
  return outcome.output;
}

TEST(TerminalSessionTest, AScriptedSessionShowsAnAlertCardAndTapsItsButton) {
  std::string out = runSession("card Disk full | There is no room left.\ntap OK\ntab 4\nback\nnonsense\nquit\n", 1);
  auto card = out.find("over: Featured\nDisk full\nThere is no room left.\n[OK]\n");
  ASSERT_NE(card, std::string::npos) << out;
  auto after = out.find("> title: Featured", card);
  ASSERT_NE(after, std::string::npos) << "the card is gone after its button: " << out;
  EXPECT_NE(out.find("tabs: Featured Categories Changes [Manage] Search", after), std::string::npos)
      << "tab 4 is the fourth tab: " << out;
  EXPECT_NE(out.find("! there is no way back from here"), std::string::npos) << out;
  EXPECT_NE(out.find("! unknown command \"nonsense\""), std::string::npos) << out;
  EXPECT_EQ(out.find("UITabBarController"), std::string::npos) << "no class names unless asked: " << out;
}

TEST(TerminalSessionTest, TapAloneNumbersWhatCanBeTappedAndTheCardsMessageIsHeldNotTapped) {
  std::string out = runSession("card Disk full | There is no room left.\ntap\ntap There is no room\ntap #1\ntap #10\ntab 9\nclose\n", 1);
  EXPECT_NE(out.find("! usage: tap TEXT|S.R|#N (help tap explains it)\n  what can be tapped: #1 OK\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("! \"There is no room left.\" answers a long press, not a tap"), std::string::npos) << out;
  EXPECT_NE(out.find("> title: Featured"), std::string::npos) << "#1 is the card's OK: " << out;
  EXPECT_NE(out.find("! there is no #10; what can be tapped: #1 News, #2 Account, #3 Featured, #4 Categories"), std::string::npos) << out;
  EXPECT_NE(out.find("! no tab \"9\"; the tabs are 1 Featured, 2 Categories, 3 Changes, 4 Manage, 5 Search"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("! nothing is shown over this screen, so there is nothing to close"), std::string::npos) << out;
}

TEST(TerminalSessionTest, ANewcomerIsToldTheCommandsAndMisusedVerbsSayHowToUseThem) {
  std::string out = runSession("tap\ntap Search\nwait soon\nswipe 0.1\nrotate\nback\ntab 0\nscreen -v\nback now\n", 1);
  EXPECT_NE(out.find("(type help for the commands, quit to leave)\n> "), std::string::npos) << out;
  EXPECT_NE(out.find("! usage: tap TEXT|S.R|#N (help tap explains it)"), std::string::npos) << out;
  EXPECT_NE(out.find("tabs: Featured Categories Changes Manage [Search]"), std::string::npos)
      << "a tab is tapped by its title: " << out;
  EXPECT_NE(out.find("! usage: wait [SECONDS]"), std::string::npos) << out;
  EXPECT_NE(out.find("! usage: swipe S.R|TEXT ACTION"), std::string::npos) << out;
  EXPECT_NE(out.find("! there is no way back from here"), std::string::npos) << out;
  EXPECT_NE(out.find("! no tab \"0\""), std::string::npos) << "tabs count from 1: " << out;
  EXPECT_NE(out.find("screens: KVTabBarController\nscreen: SearchViewController\ntitle: Search\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("! back takes nothing after it"), std::string::npos) << out;
  EXPECT_EQ(out.find("unknown command"), std::string::npos) << out;
}

TEST(TerminalSessionTest, HelpListsEveryCommandAndAliasAndExplainsOne) {
  std::string out = runSession("help\nhelp tap\n? wait\nhelp nothing\nhelp open\nexit\n", 1);
  for (const char* verb : {"screen [-v]", "tap TEXT", "long TEXT", "swipe S.R", "menu S.R", "toggle TEXT", "pick CHOICE",
                           "type TEXT", "return", "scroll down", "refresh", "back", "close", "tab TITLE|N", "rotate",
                           "open URL", "card TITLE", "wait [SECONDS] [for TEXT|idle]", "help [COMMAND]", "quit"})
    EXPECT_NE(out.find("\n  " + std::string(verb)), std::string::npos) << verb;
  EXPECT_NE(out.find("aliases: s = screen, ? = help, exit = quit\n"), std::string::npos) << out;
  EXPECT_NE(out.find("#N, tab N and toggle #N count from 1"), std::string::npos) << out;
  // One command, explained with an example; not the whole list again.
  auto tap = out.find("> usage: tap TEXT|S.R|#N\n");
  ASSERT_NE(tap, std::string::npos) << out;
  auto tapEnd = out.find("\n> ", tap + 1);
  EXPECT_NE(out.substr(tap, tapEnd - tap).find("example: tap OK"), std::string::npos) << out;
  EXPECT_EQ(out.substr(tap, tapEnd - tap).find("rotate"), std::string::npos) << out;
  EXPECT_NE(out.find("> usage: wait [SECONDS] [for TEXT|idle]\n"), std::string::npos) << "? is help: " << out;
  EXPECT_NE(out.find("! no command \"nothing\" (help lists them)"), std::string::npos) << out;
  EXPECT_NE(out.find("quillbark://add/REPOSITORY"), std::string::npos) << "open says what it takes: " << out;
}

// A block copied from the README keeps the prompt's "> " before each line; a wait for a
// text ends as soon as it shows, and says so when it never does.
TEST(TerminalSessionTest, LinesPastedWithThePromptsMarkRunAndAWaitForATextEndsWhenItShows) {
  auto started = std::chrono::steady_clock::now();
  std::string out = runSession("> card Disk full | There is no room left.  # an alert\n>\n"
                               "> wait 600 for There is no room\nwait 0.3 for Nothing of the kind\nwait for\n"
                               "wait soon for OK\n> tap OK\n",
                               1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(300)) << "the wait ended when it saw the card";
  EXPECT_EQ(out.find("unknown command"), std::string::npos) << out;
  EXPECT_NE(out.find("(waiting for \"There is no room\", at most 600 seconds; Ctrl-C stops the wait)"), std::string::npos)
      << out;
  EXPECT_NE(out.find("! \"Nothing of the kind\" did not show within 0.3 seconds"), std::string::npos) << out;
  EXPECT_NE(out.find("! usage: wait [SECONDS] [for TEXT|idle] (SECONDS a number from 0 to 3600)"), std::string::npos) << out;
  size_t refused = 0;
  for (size_t at = out.find("! usage: wait"); at != std::string::npos; at = out.find("! usage: wait", at + 1)) ++refused;
  EXPECT_EQ(refused, 2u) << "wait soon is refused too: " << out;
  EXPECT_NE(out.rfind("> title: Featured"), std::string::npos) << "the card's OK was tapped: " << out;
}

// Every open is answered: a web page, an address that is no link, a link the application
// takes but shows nothing for, and files that are missing or no package are refused with
// a line each; the application's own link and a package file are taken.
TEST(TerminalSessionTest, EveryOpenIsAnswered) {
  TempDir files;
  DebBuilder(files.path()).build(DebPackage("com.example.tweak", "1.0"), "tweak.deb");
  Files::writeAtomically(files.file("fake.deb"), std::string("not an archive\n"));
  std::string out = runSession("open https://example.org/\nopen garbage\nopen quillbark://add/\nopen file://" +
                                   files.file("missing.deb") + "\nopen file://" + files.file("fake.deb") +
                                   "\nopen quillbark://add/repo.example.org\nclose\nopen file://" +
                                   files.file("tweak.deb") + "\n",
                               1);
  for (const std::string& refusal : std::vector<std::string>{"! the application did not open https://example.org/. It takes quillbark://add/REPOSITORY",
                              "! \"garbage\" is not a link", "! the application took quillbark://add/ but showed nothing",
                              "! there is no file " + files.file("missing.deb"),
                              "! " + files.file("fake.deb") + " is not a package archive"})
    EXPECT_NE(out.find(refusal), std::string::npos) << refusal << "\n" << out;
  EXPECT_NE(out.find("Would you like to add repository: https://repo.example.org/ to Quillbark"), std::string::npos)
      << out;
  // The package file opens the local package screen with its control fields.
  EXPECT_NE(out.find("title: com.example.tweak\n"), std::string::npos) << out;
  EXPECT_NE(out.find("0.1: Package | com.example.tweak"), std::string::npos) << out;
}

// type puts its text in place of the field's, as a person who selects it all and types
// expects; clear empties it. (The page of a source the database is given at its first
// start, once written, has the location's field.)
TEST(TerminalSessionTest, TypeReplacesAFieldsTextAndClearEmptiesIt) {
  std::string out = runSession("wait 1\nopen quillbark://add/https://community-one.example/\ntype hello\n"
                               "type http://127.0.0.1:1/\nclear\nhelp type\n");
  EXPECT_NE(out.find("field \"\": https://community-one.example/\n"), std::string::npos) << out;
  EXPECT_NE(out.find("field \"\": hello_\n"), std::string::npos) << out;
  EXPECT_NE(out.find("field \"\": http://127.0.0.1:1/_\n"), std::string::npos) << out;
  EXPECT_NE(out.find("field \"\": _\n"), std::string::npos) << out;
  EXPECT_NE(out.find("in place of what it\nheld. clear empties the field."), std::string::npos) << out;
}

// A preference file that cannot be read is replaced by the defaults and kept aside; the
// screen says so at the start after, and not again.
TEST(TerminalSessionTest, AReplacedDamagedPreferenceFileIsSaidOnceOnScreen) {
  TempDir dir;
  const std::string device = dir.file("device");
  ASSERT_EQ(ApplicationProcess::runScript(device, "quit\n").status, 0);
  Files::writeAtomically(device + "/var/mobile/Library/Application Support/Quillbark/me.korvale.quillbark.plist",
                         std::string("<?xml version=\"1.0\"?><plist><dict><key>setupDone</key><tr"));
  std::string first = runSession_(device, "close\n");
  auto card = first.find("Preferences Replaced\nThe preference file could not be read, so Quillbark started with its "
                         "default preferences. The unreadable file is kept as ");
  EXPECT_NE(card, std::string::npos) << first;
  // The defaults hold no finished first run: its walk is what the card closes onto.
  EXPECT_NE(first.find("> title: Welcome\nover: Featured", card), std::string::npos) << "the card closes: " << first;
  EXPECT_EQ(runSession_(device, "quit\n").find("Preferences Replaced"), std::string::npos);
}

// A script can tell that a command of it failed: errors go to standard error, and the
// session ends with status 1 (a script without a failed command ends with 0, above).
TEST(TerminalSessionTest, AFailedCommandOfAScriptGoesToStandardErrorAndEndsItWithStatusOne) {
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(dir.file("device")));
  Files::writeAtomically(dir.file("script"), std::string("tap Nothing\ntab 2\n"));
  auto outcome = Process::run("/bin/sh", {"-c", "exec \"$0\" --device-root \"$1\" < \"$2\" 2> \"$3\"",
                                          ApplicationProcess::kPath, dir.file("device"), dir.file("script"),
                                          dir.file("errors")});
  EXPECT_EQ(outcome.status, 1) << outcome.output;
  EXPECT_EQ(outcome.output.find("nothing to tap"), std::string::npos) << "not on standard output: " << outcome.output;
  EXPECT_NE(outcome.output.find("tabs: Featured [Categories]"), std::string::npos) << "the script went on: " << outcome.output;
  EXPECT_EQ(Files::readText(dir.file("errors")).value_or(""), "! nothing to tap named \"Nothing\"\n");
}

TEST(TerminalSessionTest, HostileInputIsEchoedEscapedAndCut) {
  std::string longWord(1 << 20, 'x');
  std::string out = runSession("caf\xC3\xA9\xFF\x1B[2J\x07\n" + longWord + "\ntap \xC2\x85" + longWord + "\n", 1);
  EXPECT_NE(out.find("! unknown command \"caf\xC3\xA9\\xFF\\x1B[2J\\x07\""), std::string::npos)
      << "valid UTF-8 kept, the rest escaped";
  EXPECT_EQ(out.find('\x1B'), std::string::npos) << "no escape code reaches the terminal";
  EXPECT_EQ(out.find('\xFF'), std::string::npos);
  EXPECT_LT(out.size(), 8000u) << "a 1 MB line is not echoed whole";
  EXPECT_NE(out.find("more characters)"), std::string::npos);
  EXPECT_NE(out.find("\\u0085"), std::string::npos) << "a C1 control is escaped too";
}

TEST(TerminalSessionTest, AnInterruptEndsTheSessionCleanlyWhileItWaitsForInput) {
  TempDir dir;
  std::string fifo = dir.file("input");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Process app;
  app.setLaunchPath("/bin/sh");
  app.setArguments({"-c", "exec \"$0\" --device-root \"$1\" < \"$2\"", ApplicationProcess::kPath, dir.file("device"), fifo});
  ASSERT_TRUE(app.launch());
  int writer = open(fifo.c_str(), O_WRONLY);  // held open: the application never sees the input end
  ASSERT_GE(writer, 0);
  std::string out;
  while (out.find("> ") == std::string::npos) {
    Data chunk = app.readAvailableData();
    ASSERT_FALSE(chunk.empty()) << "the application ended before its prompt: " << out;
    out.append(chunk.begin(), chunk.end());
  }
  ASSERT_EQ(kill(app.processIdentifier(), SIGINT), 0);
  auto rest = std::async(std::launch::async, [&app] {
    std::string tail = app.readToEnd();
    app.waitUntilExit();
    return tail;
  });
  if (rest.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    kill(app.processIdentifier(), SIGKILL);
    rest.wait();
    close(writer);
    FAIL() << "the application did not stop on SIGINT";
  }
  rest.get();
  close(writer);
  EXPECT_EQ(app.terminationStatus(), 0);
  EXPECT_FALSE(app.wasTerminatedBySignal()) << "it stopped by itself, not by the signal's default action";
  auto logged = Process::run("/bin/grep", {"-rl", "Quillbark is exiting", dir.file("device")});
  EXPECT_EQ(logged.status, 0) << "the orderly exit was logged";
}
}  // namespace

// A person's whole road in the terminal: the refresh quick action on a device root whose
// one source is served on 127.0.0.1 (its Release held back a moment) shows the card
// counting, a tap on the card opens the task list, and the card ends with "Refresh
// Complete" and goes back to the (empty) queue.
TEST(TerminalSessionEndToEnd, TheRefreshQuickActionShowsTheCardAndItsTaskList) {
  TempDir dir;
  const std::string device = dir.file("device");
  ASSERT_EQ(ApplicationProcess::runScript(device, "quit\n").status, 0);

  TestHttpServer server;
  TempDir repo;
  ASSERT_TRUE(DebBuilder::writeRepositoryIndex(
      repo.path(), "Package: com.example.hello\nVersion: 1.0\nArchitecture: iphoneos-arm\nName: Hello\n"
                   "Filename: debs/hello.deb\n\n"));
  server.serveFolder(repo.path(), "/repo/");
  std::string release = Files::readText(repo.file("Release")).value_or("");
  TestHttpResponse held = TestHttpResponse::text(release);
  held.delay = std::chrono::milliseconds(4000);
  server.respond("/repo/Release", held);
  {
    // The finished onboarding and the one source, written as the application keeps them.
    ScopedDeviceRoot root(device);
    QuillbarkPersistentPreferences::resetSharedInstance();
    QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "setupDone");
    QuillbarkPersistentPreferences::sharedInstance().setObject(Value(Bundle::main().shortVersion()), "welcomeScreenVersion");
    QuillbarkPersistentPreferences::sharedInstance().saveToFile();
    store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    auto db = store::Database::defaultDatabase();
    ASSERT_NE(db, nullptr);
    written(db->write([&] {
      db->deleteAll();
      db->add(KVRSource::newSourceWithLocation(server.url("/repo/")).toObject());
    }));
    db.reset();
    store::Database::setDefaultConfiguration({});
    QuillbarkPersistentPreferences::resetSharedInstance();
  }

  std::string out = runSession_(device,
                                "action Refresh Sources\nwait 1.5\nscreen\ntap Tasks In Progress\nscreen\nclose\n"
                                "wait 12\nscreen\n");
  auto counting = out.find("floating: Tasks In Progress | 1 Running Task");
  ASSERT_NE(counting, std::string::npos) << out;
  auto list = out.find("title: Tasks", counting);
  ASSERT_NE(list, std::string::npos) << "the card opens the task list: " << out;
  EXPECT_NE(out.find("Refreshing", list), std::string::npos) << out;
  auto last = out.rfind("> title: Featured");
  ASSERT_NE(last, std::string::npos) << out;
  EXPECT_EQ(out.find("floating:", last), std::string::npos) << "back to the empty queue: " << out;
  // The wait told the card's end as it came, though it was gone when the wait ended.
  auto waiting = out.find("(waiting 12 seconds", list);
  ASSERT_NE(waiting, std::string::npos) << out;
  EXPECT_LT(out.find("floating: Refresh Complete | Updated 1 source ", waiting), last) << out;
}
