#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "e2e/harness.h"
#include "e2e/http_server.h"
#include "proxy/registry.h"
#include "shared/worked_example.h"
#include "win/popup_ids.h"
#include "win/registry_win.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

const std::string& kOldDatabase = test_data::kWorkedExample;

// What the server hands out: three proxies, none of them in the old database.
const std::array<std::string, 3> kNewAddresses = {"198.51.100.61:3128", "203.0.113.77:8080",
                                                  "192.0.2.99:80"};
const std::string kNewDatabase =
    "[IP]\r\n"
    "count=3\r\n"
    "0=198.51.100.61:3128;8\r\n"
    "1=203.0.113.77:8080;24\r\n"
    "2=192.0.2.99:80;8\r\n";
const std::string kEmptyDatabase = "[IP]\r\ncount=0\r\n";

const std::string kDone = "Aktulizace byla úspěšně dokončena !";
const std::string kFailed = "Aktualizace se nezdařila !";
const std::string kEmptyPrompt =
    "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?";

// Positions in the tray menu for the keyboard (see the switcher tests).
constexpr int kChangeIp = 3;
constexpr int kUpdate = 14;

int new_position(const std::string& address) {
  const auto found = std::find(kNewAddresses.begin(), kNewAddresses.end(), address);
  return found == kNewAddresses.end() ? -1 : static_cast<int>(found - kNewAddresses.begin());
}

// The first and second lines of the visible popup once the first line reads
// `first`; nothing if it never does.
std::optional<std::pair<std::string, std::string>> wait_popup(const ProxantoRun& run,
                                                              const std::string& first) {
  std::optional<std::pair<std::string, std::string>> lines;
  wait_for([&] {
    HWND popup = run.popup();
    if (popup == nullptr) return false;
    lines.emplace(window_text(GetDlgItem(popup, win::kPopupMessageId)),
                  window_text(GetDlgItem(popup, win::kPopupStateId)));
    return lines->first == first;
  });
  if (lines && lines->first != first) lines.reset();
  return lines;
}

// A message box with this text, once it is up.
std::optional<MessageBoxView> wait_box(const ProxantoRun& run, const std::string& text) {
  std::optional<MessageBoxView> box;
  wait_for([&] {
    box = run.message_box();
    return box && box->text == text;
  });
  if (box && box->text != text) box.reset();
  return box;
}

// An address on this machine where nothing listens any more.
std::string closed_server_url() {
  const HttpServer gone{std::string()};
  return gone.update_url();
}

// The program running on the worked-example database with proxy 2 of it,
// 192.0.2.200:8000, in use, and its download address pointed at `url`.
class UpdateFromMenuE2E : public ::testing::Test {
 protected:
  void SetUp() override { reset_registry(); }
  void TearDown() override { reset_registry(); }

  void start(const std::string& url) {
    run.start({{kUpdateUrlVariable, url}});
    ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u; }));
    run.choose_from_menu(kChangeIp, {2});
    ASSERT_TRUE(wait_for([] { return proxy_server() == "192.0.2.200:8000"; }));
    ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  }

  // A failed update leaves the database and the backup as the old database,
  // nothing of the download behind, and the earlier proxy in use again.
  void expect_failed_update_resumes_the_proxy() {
    const auto box = wait_box(run, kFailed);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->title, "Proxanto");
    EXPECT_EQ(box->buttons.size(), 1u);
    // Anonymity was stopped before the download.
    EXPECT_EQ(proxy_enable(), 0u);
    EXPECT_EQ(run.read_file("ip.ini"), kOldDatabase);
    EXPECT_EQ(run.read_file("ip_backup.ini"), kOldDatabase);
    EXPECT_FALSE(run.read_file("ip.ini.download").has_value());

    run.answer(*box, IDOK);
    const auto lines = wait_popup(run, "192.0.2.200:8000");
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->second, "Ruská Federace");
    EXPECT_TRUE(run.running());
    EXPECT_EQ(run.read_file("ip.ini"), kOldDatabase);
    EXPECT_EQ(run.read_file("ip_backup.ini"), kOldDatabase);
  }

  ProxantoRun run{kOldDatabase};
};

TEST_F(UpdateFromMenuE2E, NewDatabaseReplacesTheOldOneWhichIsBackedUp) {
  HttpServer server(kNewDatabase);
  ASSERT_TRUE(server.listening());
  start(server.update_url());

  run.choose_from_menu(kUpdate);
  const auto box = wait_box(run, kDone);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(box->buttons.size(), 1u);
  EXPECT_EQ(server.requests(), 1);
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_EQ(run.read_file("ip_backup.ini"), kOldDatabase);
  EXPECT_EQ(run.read_file("ip.ini"), kNewDatabase);
  EXPECT_FALSE(run.read_file("ip.ini.download").has_value());

  run.answer(*box, IDOK);
  ASSERT_TRUE(wait_for([] { return new_position(proxy_server()) >= 0; })) << proxy_server();
  EXPECT_EQ(proxy_enable(), 1u);
  const std::string chosen = proxy_server();
  const auto lines = wait_popup(run, chosen);
  ASSERT_TRUE(lines.has_value());

  // The IP menu lists the new proxies: another position of it is another of
  // the new addresses.
  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  const int other = (new_position(chosen) + 1) % 3;
  run.choose_from_menu(kChangeIp, {other});
  EXPECT_TRUE(wait_for([&] { return proxy_server() == kNewAddresses[other]; })) << proxy_server();
}

TEST_F(UpdateFromMenuE2E, SecondUpdateFetchesWhatTheServerHasNow) {
  const std::string first = "[IP]\r\ncount=1\r\n0=198.51.100.61:3128;8\r\n";
  HttpServer server(first);
  ASSERT_TRUE(server.listening());
  start(server.update_url());

  run.choose_from_menu(kUpdate);
  auto box = wait_box(run, kDone);
  ASSERT_TRUE(box.has_value());
  run.answer(*box, IDOK);
  ASSERT_TRUE(wait_for([] { return proxy_server() == "198.51.100.61:3128"; }));
  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));

  server.serve(kNewDatabase);
  run.choose_from_menu(kUpdate);
  box = wait_box(run, kDone);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(server.requests(), 2);
  EXPECT_EQ(run.read_file("ip_backup.ini"), first);
  EXPECT_EQ(run.read_file("ip.ini"), kNewDatabase);
  run.answer(*box, IDOK);
  EXPECT_TRUE(wait_for([] { return new_position(proxy_server()) >= 0; })) << proxy_server();
}

TEST_F(UpdateFromMenuE2E, ServerErrorPageKeepsTheDatabaseAndResumesTheProxy) {
  HttpServer server(kNewDatabase);
  ASSERT_TRUE(server.listening());
  server.serve_not_found();
  start(server.update_url());

  run.choose_from_menu(kUpdate);
  expect_failed_update_resumes_the_proxy();
  EXPECT_EQ(server.requests(), 1);
}

TEST_F(UpdateFromMenuE2E, NoServerKeepsTheDatabaseAndResumesTheProxy) {
  start(closed_server_url());
  run.choose_from_menu(kUpdate);
  expect_failed_update_resumes_the_proxy();
}

// An empty database at start-up: the prompt's Yes downloads. The saved
// language is English, yet at that point every text is Czech.
class UpdateFromPromptE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_registry();
    win::Win32Registry registry;
    SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "lang", "1");
  }
  void TearDown() override { reset_registry(); }

  void start_and_answer_yes(const std::string& url) {
    run.start({{kUpdateUrlVariable, url}});
    const auto prompt = run.wait_message_box();
    ASSERT_TRUE(prompt.has_value());
    ASSERT_EQ(prompt->text, kEmptyPrompt);
    run.answer(*prompt, IDYES);
  }

  ProxantoRun run{kEmptyDatabase};
};

TEST_F(UpdateFromPromptE2E, DownloadedDatabaseIsLoadedAndAProxyOfItApplied) {
  HttpServer server(kNewDatabase);
  ASSERT_TRUE(server.listening());
  start_and_answer_yes(server.update_url());

  const auto box = wait_box(run, kDone);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(server.requests(), 1);
  EXPECT_EQ(run.read_file("ip.ini"), kNewDatabase);
  EXPECT_FALSE(run.read_file("ip_backup.ini").has_value());
  EXPECT_FALSE(run.read_file("ip.ini.download").has_value());

  run.answer(*box, IDOK);
  ASSERT_TRUE(wait_for([] { return new_position(proxy_server()) >= 0; })) << proxy_server();
  EXPECT_EQ(proxy_enable(), 1u);
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  EXPECT_TRUE(run.running());
  EXPECT_FALSE(run.message_box().has_value());
}

TEST_F(UpdateFromPromptE2E, ServerErrorPageSaysSoAndEndsWithTheProxyReset) {
  HttpServer server(kNewDatabase);
  ASSERT_TRUE(server.listening());
  server.serve_not_found();
  start_and_answer_yes(server.update_url());

  const auto box = wait_box(run, kFailed);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(server.requests(), 1);
  run.answer(*box, IDOK);
  ASSERT_TRUE(run.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
  EXPECT_EQ(run.read_file("ip.ini"), kEmptyDatabase);
  EXPECT_FALSE(run.read_file("ip.ini.download").has_value());
}

}  // namespace
}  // namespace proxanto::e2e
