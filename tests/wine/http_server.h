#pragma once
// A tiny HTTP server inside the test process, standing in for the maker's web
// server and the public lists: it listens on 127.0.0.1 (or where told), on a
// port the system picks, and answers on a background thread until it is
// destroyed, one connection at a time, each with the next scripted answer
// (the last one repeated), or with the answer for the path it asks for.

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "win/win_util.h"

namespace proxanto::test_support {

struct SocketCloser {
  void operator()(SOCKET socket) const { closesocket(socket); }
};
using UniqueSocket = win::Unique<SOCKET, SocketCloser>;

class HttpServer {
 public:
  // A whole answer: status line, headers and body as sent. `stall` keeps the
  // connection open afterwards without sending anything more.
  struct Answer {
    std::string bytes;
    bool stall = false;
    int delay_ms = 0;    // before the answer is sent
    int trickle_ms = 0;  // sent a byte at a time, this long apart
  };
  static Answer ok(const std::string& body, int status = 200, int delay_ms = 0) {
    return {"HTTP/1.0 " + std::to_string(status) + " Status\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body,
            false, delay_ms};
  }

  // A judge's answer in httpbin's form: the client address it saw and the
  // headers beside Host, as JSON members (", \"Via\": \"1.1 cache\"").
  static Answer echo(const std::string& origin, const std::string& headers = "") {
    return ok(R"({"headers": {"Host": "judge")" + headers + R"(}, "origin": ")" + origin + "\"}");
  }

  // A request for a path of `by_path` ("/list.txt") gets its answer.
  explicit HttpServer(std::vector<Answer> answers, std::map<std::string, Answer> by_path = {},
                      std::optional<in_addr> on = std::nullopt)
      : answers_(std::move(answers)), by_path_(std::move(by_path)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (on) address.sin_addr = *on;
    int length = sizeof(address);
    if (bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        listen(listener_.get(), SOMAXCONN) == 0 &&
        getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
      thread_ = std::thread([this] { run(); });
    }
  }
  ~HttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    listener_.reset();
    WSACleanup();
  }

  bool listening() const { return port_ != 0; }
  unsigned short port() const { return port_; }
  std::string url(const std::string& path = "/update/ip.ini") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The server as a proxy address, host:port.
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int requests() const { return requests_; }
  // Answers the client went away from before they were whole.
  int cut() const { return cut_; }
  std::string last_request() {
    std::lock_guard lock(mutex_);
    return last_request_;
  }

 private:
  void run() {
    for (std::size_t next = 0; !stop_;) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_.get(), &ready);
      timeval tick{0, 50000};
      if (select(0, &ready, nullptr, nullptr, &tick) <= 0) continue;
      const UniqueSocket client(accept(listener_.get(), nullptr, nullptr));
      if (client.get() == INVALID_SOCKET || answers_.empty()) continue;
      answer(client.get(), answers_[std::min(next++, answers_.size() - 1)]);
    }
  }

  void answer(SOCKET client, const Answer& answer) {
    const DWORD timeout = 50;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    std::string request;
    char buffer[1024];
    for (int waited = 0; request.find("\r\n\r\n") == std::string::npos && waited < 100; ++waited) {
      const int got = recv(client, buffer, sizeof(buffer), 0);
      if (got == 0) return;
      if (got > 0) request.append(buffer, static_cast<std::size_t>(got));
    }
    {
      std::lock_guard lock(mutex_);
      last_request_ = request;
    }
    ++requests_;
    const std::size_t path = request.find(' ') + 1;
    const auto routed = by_path_.find(request.substr(path, request.find(' ', path) - path));
    const Answer& chosen = routed == by_path_.end() ? answer : routed->second;
    std::this_thread::sleep_for(std::chrono::milliseconds(chosen.delay_ms));
    const std::size_t most = chosen.trickle_ms ? 1 : 65536;
    for (std::size_t sent = 0; sent < chosen.bytes.size() && !stop_;) {
      const std::size_t chunk = std::min<std::size_t>(chosen.bytes.size() - sent, most);
      const int n = send(client, chosen.bytes.data() + sent, static_cast<int>(chunk), 0);
      if (n <= 0) return void(++cut_);
      sent += static_cast<std::size_t>(n);
      std::this_thread::sleep_for(std::chrono::milliseconds(chosen.trickle_ms));
    }
    // A stalled answer holds the connection until the client gives up.
    while (chosen.stall && !stop_ && recv(client, buffer, sizeof(buffer), 0) != 0) {
    }
    shutdown(client, SD_SEND);
  }

  const std::vector<Answer> answers_;
  const std::map<std::string, Answer> by_path_;
  UniqueSocket listener_;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> cut_{0};
  std::mutex mutex_;
  std::string last_request_;
  std::thread thread_;
};

// A message-only window that receives what a background adapter posts.
inline win::UniqueWindow message_window() {
  return win::UniqueWindow(
      CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

// The next `message` posted to the window, or nothing after `seconds`.
inline std::optional<MSG> next_message(HWND window, UINT message, UINT seconds) {
  SetTimer(window, 1, seconds * 1000, nullptr);
  MSG received;
  while (GetMessageW(&received, window, 0, 0) > 0) {
    if (received.message == message) return received;
    if (received.message == WM_TIMER) break;
  }
  return std::nullopt;
}

}  // namespace proxanto::test_support
