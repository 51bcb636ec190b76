// The Win32 adapters against the system: WinINet, the tray menu, the
// database download against a server of the test's own on 127.0.0.1, the
// end after an unexpected failure, and the registry under the registry
// contract, in keys of the tests' own that are deleted again after each test.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "app/form1.h"
#include "proxy/recovery.h"
#include "proxy/registry.h"
#include "shared/contracts.h"
#include "win/adapters_win.h"
#include "win/main_window.h"
#include "win/registry_win.h"
#include "wine/http_server.h"
#include "wine/ui_driver.h"
#include "native/fakes.h"

namespace proxanto::win {
namespace {

using test_support::HttpServer;

// The requests as InternetSetOptionW got them: "75 <option>=<value> ...",
// "39", "37".
std::vector<std::string> handed;
BOOL WINAPI watch(void* internet, DWORD option, void* buffer, DWORD length) {
  std::string request = std::to_string(option);
  const auto* list = static_cast<const INTERNET_PER_CONN_OPTION_LISTW*>(buffer);
  for (DWORD i = 0; option == INTERNET_OPTION_PER_CONNECTION_OPTION && i < list->dwOptionCount; ++i) {
    const INTERNET_PER_CONN_OPTIONW& o = list->pOptions[i];
    request += " " + std::to_string(o.dwOption) + "=" +
               (o.dwOption == INTERNET_PER_CONN_FLAGS ? std::to_string(o.Value.dwValue)
                : o.Value.pszValue                    ? narrow(o.Value.pszValue)
                                                      : "null");
  }
  handed.push_back(request);
  return InternetSetOptionW(internet, option, buffer, length);
}

// Run in a child process started while a proxy is applied: fetches each
// address in PROXANTO_FETCH through WinINet with the system's settings.
TEST(WinInetClient, DISABLED_fetch) {
  HINTERNET session = InternetOpenW(L"test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  std::istringstream urls(std::getenv("PROXANTO_FETCH"));
  for (std::string url; urls >> url;) {
    HINTERNET request = InternetOpenUrlW(session, widen(url).c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    std::string body;
    char buffer[256];
    for (DWORD got = 0; InternetReadFile(request, buffer, sizeof(buffer), &got) && got;) body.append(buffer, got);
    std::printf("%s gave %s\n", url.c_str(), body.c_str());
  }
}

// Apply hands WinINet the fixed proxy alone with the local bypass list: a
// client started then reaches a server of this machine by its name without
// a dot directly, another name through the proxy. Stop hands over the user's
// own flags as WinINet told them before (Wine keeps "direct" only), no
// server and no list.
TEST(SystemProxy, ApplyHandsOverTheProxyAloneForAllButLocalNamesAndStopTheUsersConnection) {
  HttpServer proxy({HttpServer::ok("the proxy")});
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof(host)), 0);
  // As WinINet finds it (gethostbyname would give the network's addresses).
  addrinfo hints = {}, *found = nullptr;
  hints.ai_family = AF_INET;
  ASSERT_TRUE(!getaddrinfo(host, nullptr, &hints, &found) &&
              std::string(host).find('.') == std::string::npos) << host;
  const in_addr address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  HttpServer local({HttpServer::ok("the local server")}, {}, address);
  testing::TestPlatform os;
  Win32Registry registry;
  Win32Internet internet(watch);
  Platform platform{registry, os.files, internet, os, os.strings, os, os, os, os, os, os, os, os, os, os};
  Form1 form{platform};
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyOverride");  // no list of the user's
  const std::string server = "127.0.0.1:" + std::to_string(proxy.port());
  form.ip_list = {{server + ";8", 0}};
  form.ip_count = 1;
  form.proxy();
  EXPECT_EQ(handed, (std::vector<std::string>{"75 1=3 2=" + server + " 3=" + kLocalBypass, "39", "37"}));
  const std::string own_network = "http://" + std::string(host) + ":" + std::to_string(local.port()) + "/";
  SetEnvironmentVariableW(L"PROXANTO_FETCH", widen(own_network + " http://outside.example/").c_str());
  const auto child = run_self(L"--gtest_also_run_disabled_tests --gtest_filter=WinInetClient.*");
  handed.clear();
  form.st_Click();
  EXPECT_EQ(handed, (std::vector<std::string>{"75 1=1 2=null 3=null", "39", "37"}));
  ASSERT_TRUE(child);
  EXPECT_NE(child->second.find(own_network + " gave the local server"), std::string::npos) << child->second;
  EXPECT_NE(child->second.find("http://outside.example/ gave the proxy"), std::string::npos);
  EXPECT_TRUE(proxy.requests() == 1 && proxy.last_request().starts_with("GET http://outside.example"));
}

// Item by item as the model says: "caption (off) (on) > or =command", "-" for
// a separator.
std::string rendered(HMENU menu, const std::vector<std::pair<std::string, int>>& commands) {
  std::string text;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    wchar_t caption[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_ID;
    info.dwTypeData = caption;
    info.cch = 128;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    text += info.fType & MFT_SEPARATOR ? "- "
            : narrow(caption) + (info.fState & MFS_GRAYED ? " (off)" : "") +
                  (info.fState & MFS_CHECKED ? " (on)" : "") +
                  (info.hSubMenu ? " > " : " =" + commands.at(info.wID - 1).first + " ");
  }
  return text;
}

// Long proxy lists come in groups of at most 40 named by their positions,
// every proxy still reachable, in order, by its own command.
TEST(TrayMenuRendering, FollowsTheModelAndGroupsLongProxyLists) {
  MenuItem root = design_tray_menu();
  root.child("lang")->children[1].checked = true;
  std::string model;
  for (const MenuItem& m : root.children) {
    model += m.is_separator() ? "- "
             : m.caption + (m.enabled ? "" : " (off)") +
                   (m.is_submenu() ? " > " : " =" + m.name + " ");
  }
  auto& proxies = root.child("ipadd")->children;
  proxies.resize(10000, proxies[0]);
  for (int i = 0; i < 10000; ++i) proxies[static_cast<std::size_t>(i)].index = i;
  std::vector<std::pair<std::string, int>> commands;
  UniqueMenu menu = build_popup_menu(root, commands);
  EXPECT_EQ(rendered(menu.get(), commands), model);
  EXPECT_EQ(rendered(GetSubMenu(menu.get(), 14), commands),
            "Čeština =lngLIST English (on) =lngLIST ");
  EXPECT_EQ(rendered(GetSubMenu(menu.get(), 4), commands),
            "1 \u2013 1600 > 1601 \u2013 3200 > 3201 \u2013 4800 > 4801 \u2013 6400 > "
            "6401 \u2013 8000 > 8001 \u2013 9600 > 9601 \u2013 10000 > ");
  int reachable = 0;
  for (const auto& [name, index] : commands) reachable += name == "nabIP" && index == reachable;
  EXPECT_EQ(reachable, 10000);
}

// Runs one download and waits for its outcome, as the main window does:
// the body, or why there is none ("failed 3", "status 404").
std::string download(const std::string& url, DWORD deadline_ms = Win32Download::kDeadlineMs) {
  const UniqueWindow window = test_support::message_window();
  Win32Download downloads(window.get(), deadline_ms);
  downloads.start(7, url);
  const std::optional<MSG> message = test_support::next_message(window.get(), kDownloadDoneMessage, 40);
  if (!message) return "no outcome within 40 s";
  const std::unique_ptr<DownloadOutcome> done(reinterpret_cast<DownloadOutcome*>(message->lParam));
  EXPECT_EQ(message->wParam, 7u);
  const FetchResult& result = done->result;
  if (result.body) return *result.body;
  if (result.failure == FetchFailure::Status) return "status " + std::to_string(result.status);
  return "failed " + std::to_string(static_cast<int>(result.failure));
}

// Only a complete answer with a 2xx status within five redirects is a body;
// anything else fails, and says why.
TEST(Download, OnlyACompleteAnswerWithA2xxStatusWithinFiveRedirectsIsABody) {
  const std::string db = "[IP]\r\ncount=1\r\n0=192.0.2.1:80;8\r\n";
  const HttpServer::Answer redirect{"HTTP/1.0 302 Found\r\nLocation: /update/ip.ini\r\n\r\n"};
  const std::string big(16u << 20, 'x');
  const std::string unreachable = "failed 0", redirects = "failed 2", incomplete = "failed 3",
                    timed_out = "failed 4", bad_address = "failed 5";
  const std::tuple<const char*, std::vector<HttpServer::Answer>, std::string, int> cases[] = {
      {"200", {HttpServer::ok(db)}, db, 1},
      {"204 without a body", {HttpServer::ok("", 204)}, "", 1},
      {"five redirects", {redirect, redirect, redirect, redirect, redirect, HttpServer::ok(db)},
       db, 6},
      {"a redirect loop", {redirect}, redirects, 6},
      {"a redirect nowhere", {{"HTTP/1.0 301 Moved\r\n\r\n"}}, "status 301", 1},
      {"404 with a database as its page", {HttpServer::ok(db, 404)}, "status 404", 1},
      {"cut short of its length", {{"HTTP/1.0 200 OK\r\nContent-Length: 82\r\n\r\n[IP]"}},
       incomplete, 1},
      {"16 MB exactly", {{"HTTP/1.0 200 OK\r\n\r\n" + big}}, big, 1},
      {"over 16 MB without a length", {{"HTTP/1.0 200 OK\r\n\r\n" + big + "x"}}, incomplete, 1},
      {"over 16 MB announced", {{"HTTP/1.0 200 OK\r\nContent-Length: 104857600\r\n\r\n"}},
       incomplete, 1},
      {"stalled", {{"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n[IP]", true}}, timed_out, 1},
      {"closed without an answer", {}, unreachable, 0}};
  for (const auto& [name, answers, outcome, requests] : cases) {
    HttpServer server(answers);
    ASSERT_TRUE(server.listening());
    const std::string got = download(server.url());
    EXPECT_TRUE(got == outcome) << name << got.substr(0, 40);
    EXPECT_EQ(server.requests(), requests) << name;
  }
  EXPECT_EQ(download("http://127.0.0.1:1/update/ip.ini"), unreachable) << "no server";
  EXPECT_EQ(download("ftp://127.0.0.1/update/ip.ini"), bad_address);
}

// A server that keeps sending, a byte now and then, is cut off at the
// deadline: the outcome comes, the thread ends and the connection goes.
TEST(Download, TheDeadlineEndsATransferThatNeverStalls) {
  HttpServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(1000, 'x'),
                      false, 0, 100}});
  const UniqueWindow window = test_support::message_window();
  Win32Download downloads(window.get(), 1500);
  downloads.start(1, server.url());
  const std::optional<MSG> message =
      test_support::next_message(window.get(), kDownloadDoneMessage, 20);
  ASSERT_TRUE(message) << "the deadline did not end the download";
  const std::unique_ptr<DownloadOutcome> done(reinterpret_cast<DownloadOutcome*>(message->lParam));
  EXPECT_TRUE(!done->result.body && done->result.failure == FetchFailure::TimedOut);
  for (int waited = 0; (downloads.running() > 0 || server.cut() < 1) && waited < 100; ++waited) {
    Sleep(20);
  }
  EXPECT_EQ(downloads.running(), 0u);
  EXPECT_EQ(server.cut(), 1) << "the connection outlived the deadline";
}

// A popup whose repaint fails, the way an unforeseen bug would.
struct FailingPopup final : PopupPort {
  void place() override {}
  void fade_in() override {}
  void repaint() override { throw std::runtime_error("unforeseen"); }
  void set_lines(const std::string&, const std::string&) override {}
  void fade_out_and_close() override {}
};

// Runs in a child process (see below) with a proxy in use: a handler fails
// in the popup's timer tick, which reaches the failing repaint through the
// window procedure, or the program crashes outright.
void fail(bool crash) {
  testing::TestPlatform os;
  FailingPopup popup;
  Win32Registry registry;
  Win32Internet internet;
  Win32Process process;
  MainWindow window(GetModuleHandleW(nullptr));
  Platform platform{registry, os.files, internet, os, os.strings, os, os, popup,
                    window,   os,       window,   process, os,    os, os};
  Form1 form{platform};
  window.attach(form);
  install_crash_handler(&form);
  SetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "192.0.2.66:80");
  SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
  if (crash) *static_cast<volatile int*>(nullptr) = 1;
  form.zprava("192.0.2.66:80", "");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}
TEST(FailingChild, DISABLED_timer) { fail(false); }
TEST(FailingChild, DISABLED_crash) { fail(true); }

// Whether the child ended within 30 s; its report is not ours.
bool run_failing_child(const std::string& mode) {
  return run_self(L"--gtest_also_run_disabled_tests --gtest_catch_exceptions=0"
                  L" --gtest_filter=FailingChild.DISABLED_" + widen(mode)).has_value();
}

TEST(UnexpectedFailure, RunsTheExitSequenceSoNoProxyIsLeftBehind) {
  Win32Registry registry;
  for (const char* mode : {"timer", "crash"}) {
    SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 7);
    EXPECT_TRUE(run_failing_child(mode)) << mode << ": did not end";
    EXPECT_FALSE(registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyServer")) << mode;
    EXPECT_EQ(registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable"),
              (RegValue{kRegDword, {0, 0, 0, 0}}))
        << mode;
  }
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
}

}  // namespace
}  // namespace proxanto::win

namespace proxanto::test_support {

constexpr wchar_t kTestParent[] = L"Software\\ProxantoContractTest";

struct Win32RegistryBackend final : RegistryTestBackend {
  ~Win32RegistryBackend() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      RegDeleteTreeW(root, win::widen(base_).c_str());
      RegDeleteKeyW(root, win::widen(base_).c_str());
      RegDeleteKeyW(root, kTestParent);  // only once no other test's key is left under it
    }
  }
  RegistryPort& port() override { return registry_; }
  const std::string& base_path() const override { return base_; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return win::win_key_exists(root, path);
  }
  win::Win32Registry registry_;
  std::string base_ = win::narrow(kTestParent) + "\\" + unique_test_name();
};

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<Win32RegistryBackend>();
}

}  // namespace proxanto::test_support
