// The database download against a server of the test's own on 127.0.0.1:
// every way a server can fail the program ends as a failed download.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "win/adapters_win.h"
#include "wine/http_server.h"

namespace proxanto::win {
namespace {

using test_support::HttpServer;

const std::string kDatabase = "[IP]\r\ncount=1\r\n0=192.0.2.1:80;8\r\n";

std::optional<std::optional<std::string>> outcome;

LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kDownloadDoneMessage) return DefWindowProcW(window, message, wparam, lparam);
  const std::unique_ptr<DownloadOutcome> done(reinterpret_cast<DownloadOutcome*>(lparam));
  if (wparam == 7) outcome = done->body;
  return 0;
}

// Runs one download and waits for its outcome, as the main window does.
std::optional<std::string> download(const std::string& url) {
  outcome.reset();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = receive;
  wc.lpszClassName = L"ProxantoDownloadTest";
  RegisterClassW(&wc);
  const UniqueWindow window(CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, nullptr, nullptr));
  Win32Download(window.get()).start(7, url);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
  MSG message;
  while (!outcome && std::chrono::steady_clock::now() < deadline) {
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
    } else {
      Sleep(10);
    }
  }
  EXPECT_TRUE(outcome.has_value()) << "no outcome within 40 s";
  return outcome.value_or(std::nullopt);
}

TEST(Download, OnlyACompleteAnswerWithA2xxStatusWithinFiveRedirectsIsABody) {
  const HttpServer::Answer redirect{"HTTP/1.0 302 Found\r\nLocation: /update/ip.ini\r\n\r\n"};
  const std::string big(16u << 20, 'x');
  const struct {
    const char* name;
    std::vector<HttpServer::Answer> answers;
    std::optional<std::string> body;
    int requests;
  } cases[] = {
      {"200", {HttpServer::ok(kDatabase)}, kDatabase, 1},
      {"204 without a body", {HttpServer::ok("", 204)}, std::string(), 1},
      {"five redirects", {redirect, redirect, redirect, redirect, redirect, HttpServer::ok(kDatabase)},
       kDatabase, 6},
      {"a redirect loop", {redirect}, std::nullopt, 6},
      {"404 with a database as its page", {HttpServer::ok(kDatabase, 404)}, std::nullopt, 1},
      {"500 with a database as its page", {HttpServer::ok(kDatabase, 500)}, std::nullopt, 1},
      {"cut short of its length",
       {{"HTTP/1.0 200 OK\r\nContent-Length: 82\r\n\r\n" + std::string(72, 'a')}}, std::nullopt, 1},
      {"16 MB exactly", {{"HTTP/1.0 200 OK\r\n\r\n" + big}}, big, 1},
      {"over 16 MB without a length", {{"HTTP/1.0 200 OK\r\n\r\n" + big + "x"}}, std::nullopt, 1},
      {"over 16 MB announced", {{"HTTP/1.0 200 OK\r\nContent-Length: 104857600\r\n\r\n"}},
       std::nullopt, 1},
  };
  for (const auto& c : cases) {
    HttpServer server(c.answers);
    ASSERT_TRUE(server.listening());
    const std::optional<std::string> body = download(server.url());
    EXPECT_EQ(body.has_value(), c.body.has_value()) << c.name;
    EXPECT_TRUE(!body || !c.body || *body == *c.body) << c.name;
    EXPECT_EQ(server.requests(), c.requests) << c.name;
  }
}

TEST(Download, NoServerOrAServerThatStallsFails) {
  std::string unreachable;
  {
    HttpServer gone({});
    unreachable = gone.url();
  }
  EXPECT_EQ(download(unreachable), std::nullopt);
  EXPECT_EQ(download("ftp://127.0.0.1/update/ip.ini"), std::nullopt);
  // 15 s without data ends the download, well within the helper's patience.
  HttpServer stalling({{"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n[IP]", true}});
  EXPECT_EQ(download(stalling.url()), std::nullopt);
  EXPECT_EQ(stalling.requests(), 1);
}

}  // namespace
}  // namespace proxanto::win
