// Journeys through the real program, driven from outside as a user would:
// the start-up prompt, a run through the tray icon to its exit, the update
// from a server of the test's own on 127.0.0.1, and the program started twice
// or dying without its exit sequence, which leaves no proxy nothing manages.

#include "e2e/harness.h"  // windows.h first

#include <shellapi.h>

#include "lang/strings.h"
#include "win/about_ids.h"
#include "win/instance_win.h"
#include "wine/http_server.h"

namespace proxanto::e2e {
namespace {

using test_support::HttpServer;

const std::string kNew = "[IP]\r\ncount=1\r\n0=198.51.100.61:3128;8\r\n";
// The report of an update from `url` alone, which held kNew.
std::string done(const HttpServer& server) {
  return "Aktulizace byla úspěšně dokončena !\r\n\r\n" + server.url() +
         ": 1 proxy, z toho nových 1";
}
bool new_proxy_in_use() { return proxy() == "198.51.100.61:3128 on"; }

// An empty database at start-up: the prompt speaks the saved language; No
// ends the program through the exit sequence, Yes loads the download.
TEST_F(ProgramTest, EmptyDatabasePromptEndsOnNoAndUpdatesOnYes) {
  HttpServer server({HttpServer::ok(kNew)});
  for (const int answer : {IDNO, IDYES}) {
    SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "lang", answer == IDNO ? "1" : "0");
    SetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "192.0.2.1:80");
    ProxantoRun empty{std::string("[IP]\r\ncount=0\r\n")};
    empty.start(server.url());
    HWND box = empty.message_box(
        answer == IDNO ? "IP adresy was not found !\r\nWould you like to download new database ?"
                       : "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?");
    ASSERT_TRUE(box && GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO));
    invoke(box, answer);
    if (answer == IDNO) {
      ASSERT_TRUE(empty.ended());
      EXPECT_EQ(proxy(), "- off");
    } else {
      invoke(empty.message_box(done(server)), IDOK);
      EXPECT_TRUE(wait_for(new_proxy_in_use));
    }
  }
}

TEST_F(ProgramTest, ARunThroughTheTrayIconToItsExit) {
  HttpServer server({HttpServer::ok(kNew)});
  start_running(run, server.url());
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  HWND main = run.main_window();
  ASSERT_TRUE(main && !IsWindowVisible(main));

  // A pick from the IP menu is announced at the top right; RunOnce would recover a crash.
  run.choose_from_menu(kChangeIp, 2);
  EXPECT_TRUE(wait_for([&] { return run.popup_lines() == "192.0.2.200:8000|Ruská Federace"; }));
  EXPECT_EQ(proxy(), "192.0.2.200:8000 on");
  RECT popup{};
  GetWindowRect(run.popup(), &popup);
  EXPECT_EQ(std::pair(popup.top, popup.right), std::pair(0L, long{GetSystemMetrics(SM_CXSCREEN)}));
  EXPECT_EQ(reg(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue),
            "\"" + run.path("proxanto.exe") + "\" /recover");

  // Copy, with its message box; CTRL+Q from anywhere changes the proxy.
  run.choose_from_menu(kCopy);
  HWND copied = run.message_box("IP adresa byla zkopírována");
  ASSERT_TRUE(copied && OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const auto* text = static_cast<const wchar_t*>(data ? GlobalLock(data) : nullptr);
  EXPECT_EQ(narrow(text ? text : L""), "192.0.2.200:8000");
  if (text) GlobalUnlock(data);
  CloseClipboard();
  invoke(copied, IDOK);
  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  press_keys({VK_CONTROL, 'Q'}, [&] { return run.popup() != nullptr; });
  EXPECT_NE(run.popup(), nullptr);

  for (const auto& [item, state] : {std::pair{kStop, " off"}, {kStop, " on"}, {kRestore, " off"}}) {
    run.choose_from_menu(item);
    EXPECT_TRUE(wait_for([&] { return proxy().ends_with(state); })) << item;
  }

  // Block marks the entry number of the proxy in use (position 1 is entry 2).
  run.choose_from_menu(kChangeIp, 1);
  ASSERT_TRUE(wait_for([] { return proxy() == "203.0.113.25:80 on"; }));
  run.choose_from_menu(kBlock);
  const std::string blocked = test_data::kWorkedExample + "2_block=1\r\n";
  EXPECT_TRUE(wait_for([&] { return run.read_file() == blocked; }));

  // The about box opens once, however often it is asked for.
  run.choose_from_menu(kAbout);
  run.choose_from_menu(kAbout);
  HWND about = nullptr;
  ASSERT_TRUE(wait_for([&] { return (about = FindWindowW(nullptr, L"O programu Proxanto")); }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(FindWindowExW(nullptr, about, nullptr, L"O programu Proxanto"), nullptr);
  invoke(about, win::kAboutCloseId);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(about); }));

  // Alt+F4 on the hidden window that had the menu's focus ends nothing.
  press_keys({VK_ESCAPE});
  SetForegroundWindow(main);
  press_keys({VK_MENU, VK_F4});
  EXPECT_FALSE(run.ended(1s));

  // The icon comes back when the task bar restarts and has lost it.
  NOTIFYICONDATAW icon = {};
  icon.cbSize = sizeof(icon);
  icon.hWnd = main;
  icon.uID = 1;
  Shell_NotifyIconW(NIM_DELETE, &icon);
  ASSERT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
  PostMessageW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));

  // The update keeps a backup of the database it replaces.
  run.choose_from_menu(kUpdate);
  invoke(run.message_box(done(server)), IDOK);
  EXPECT_EQ(run.read_file("ip.ini"), kNew);
  EXPECT_EQ(run.read_file("ip_backup.ini"), blocked);
  EXPECT_TRUE(wait_for(new_proxy_in_use)) << proxy();

  run.choose_from_menu(kExit);
  ASSERT_TRUE(run.ended());
  EXPECT_EQ(proxy(), "- off");
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
  EXPECT_EQ(reg(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue), "");
}

// A server that stalls holds nothing up: the menu opens, and the session end
// ends the program through its exit sequence at once.
TEST_F(ProgramTest, DuringAStalledDownloadTheMenuOpensAndSessionEndEndsTheProgram) {
  HttpServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 900\r\n\r\n[IP]\r\n", true}});
  start_running(run, server.url());
  run.choose_from_menu(kUpdate);
  ASSERT_TRUE(wait_for([&] { return server.requests() == 1; }));
  run.tray_event(WM_RBUTTONUP);
  EXPECT_TRUE(wait_for(menu_open, 3s));
  press_keys({VK_ESCAPE});
  run.end_session();
  EXPECT_TRUE(run.ended(2s));
  EXPECT_EQ(proxy(), "- off");
  EXPECT_EQ(run.read_file("ip.ini"), test_data::kWorkedExample);
}

// Set by hand to one minute, the schedule changes the proxy and announces it
// (the draw may take the same proxy again: the popup tells that it ran).
TEST_F(ProgramTest, TheScheduleSetByHandChangesTheProxyByItself) {
  SetRegString(registry, RegRoot::CurrentUser, kOwnKey, "rotate_minutes", "1");
  start_running(run);
  std::string shown;
  ASSERT_TRUE(wait_for([&] { return (shown = run.popup_lines()).size() > 1 && shown[0] != '|'; },
                       80s));
  EXPECT_EQ(proxy(), shown.substr(0, shown.find('|')) + " on");
}

void put_on_clipboard(const std::string& text) {
  const std::wstring wide = widen(text);
  // Without an owner, the clipboard would not take the text.
  const win::UniqueWindow owner = test_support::message_window();
  if (!OpenClipboard(owner.get())) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t))) {
    memcpy(GlobalLock(memory), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

// Three sources (the maker's database, a plain list, one that is gone) merge
// into ip.ini with its block mark kept; the report names each, and the offer
// to check switches "Only working proxies" on. When every source fails,
// ip.ini stays as it was. A list on the clipboard joins the database.
TEST_F(ProgramTest, UpdateMergesItsSourcesAndTheClipboardAddsProxies) {
  HttpServer server(
      {HttpServer::ok("", 404)},
      {{"/update/ip.ini", HttpServer::ok(kNew)},
       {"/list.txt", HttpServer::ok("198.51.100.7:3128\r\n203.0.113.90:8080 US\r\n")}});
  start_running(run,
                server.url() + "\r\n" + server.url("/list.txt") + "\r\n" + server.url("/gone"));
  run.choose_from_menu(kUpdate);
  invoke(run.message_box(done(server) + "\r\n" + server.url("/list.txt") +
                         ": 2 proxy, z toho nových 1\r\n" + server.url("/gone") +
                         ": nezdařilo se – server odpověděl kódem 404"),
         IDOK);
  HWND offer = run.message_box(builtin_string(161));
  ASSERT_TRUE(offer && GetDlgItem(offer, IDNO));
  invoke(offer, IDYES);
  EXPECT_TRUE(wait_for([] { return reg(RegRoot::CurrentUser, kOwnKey, "only_working") == "1"; }));
  const std::string merged =
      "[IP]\r\ncount=3\r\n0=198.51.100.61:3128;8\r\n1=198.51.100.7:3128;\r\n"
      "1_block=1\r\n2=203.0.113.90:8080;\r\n";
  EXPECT_EQ(run.read_file(), merged);

  SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "sources",
               server.url("/gone") + "\r\nftp://x");
  run.choose_from_menu(kUpdate);
  invoke(run.message_box("Aktualizace se nezdařila !\r\n\r\n" + server.url("/gone") +
                         ": nezdařilo se – server odpověděl kódem 404\r\nftp://x: nezdařilo se – "
                         "není to adresa http://, https:// ani file:"),
         IDOK);
  EXPECT_EQ(run.read_file(), merged);

  put_on_clipboard("Copied:\r\nhttp://192.0.2.77:8000\r\n198.51.100.7:3128\r\n");
  run.choose_from_menu(kAddFromClipboard);
  invoke(run.message_box("Ze schránky přidáno nových proxy: 1 (ve schránce jich bylo 2)."), IDOK);
  EXPECT_EQ(run.read_file(), "[IP]\r\ncount=4" + merged.substr(13) + "3=192.0.2.77:8000;\r\n");
  EXPECT_EQ(run.read_file("ip_backup.ini"), merged);
}

std::string record() { return reg(RegRoot::CurrentUser, kRecordKey, kRecordValue); }

// A second start shows the running program's proxy and ends, /recover too, touching
// nothing. Killed, the program leaves a direct connection at once (its
// watcher's work), but not a proxy set by hand since.
TEST_F(ProgramTest, OneProgramPerSessionAndAKilledOneLeavesNoProxyOfItsOwn) {
  for (const bool by_hand : {false, true}) {
    ProxantoRun program;
    start_running(program);
    EXPECT_EQ(record() + " on", proxy());
    if (by_hand) {
      SetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer",
                   "10.9.9.9:3128");
    } else {
      ProxantoRun second, recover;
      second.start();
      recover.start(kNoUpdateServer, L"/recover");
      ASSERT_TRUE(second.ended() && recover.ended());
      EXPECT_TRUE(wait_for([&] { return program.popup_lines().starts_with(record() + "|"); }));
      EXPECT_TRUE(record() + " on" == proxy() && tray_icon_count() == 1 && !program.ended(0ms));
    }
    program.kill();
    ASSERT_TRUE(wait_for([] {
      return (record() + reg(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue)).empty();
    }, 2s)) << by_hand;
    EXPECT_EQ(proxy(), by_hand ? "10.9.9.9:3128 on" : "- off");
  }
}

// What a power loss leaves: the proxy in the settings and the records. A
// start while a program of this user runs in another session (it holds the
// guard, its window is not here) says so and ends, touching nothing.
TEST_F(ProgramTest, RecoveryAtLogOnResetsWhatACrashedRunLeftUnlessAnotherSessionRunsOne) {
  SetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer",
               "192.0.2.10:8080");
  SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
  record_applied(registry, {"192.0.2.10:8080", std::nullopt, ""}, "x /recover");
  win::UniqueHandle other_session = win::open_instance_guard();
  ASSERT_EQ(WaitForSingleObject(other_session.get(), 0), WAIT_OBJECT_0);
  ProxantoRun second;
  second.start();
  const HWND box = second.message_box(builtin_string(185));
  ASSERT_TRUE(box);
  invoke(box, IDOK);
  ASSERT_TRUE(second.ended());
  EXPECT_EQ(proxy() + " " + record(), "192.0.2.10:8080 on 192.0.2.10:8080");
  ReleaseMutex(other_session.get());
  run.start(kNoUpdateServer, L"/recover");
  ASSERT_TRUE(run.ended());
  EXPECT_EQ(proxy() + record(), "- off");
  EXPECT_EQ(tray_icon_count(), 0);
}

}  // namespace
}  // namespace proxanto::e2e
