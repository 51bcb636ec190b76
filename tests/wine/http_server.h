#pragma once
// A tiny HTTP server inside the test process, standing in for the maker's web
// server: it listens on 127.0.0.1 only, on a port the system picks, and
// answers on a background thread until it is destroyed, one connection at a
// time, each with the next scripted answer (the last one repeated).

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
    int delay_ms = 0;  // before the answer is sent
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

  explicit HttpServer(std::vector<Answer> answers) : answers_(std::move(answers)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/update/ip.ini"; }
  // The server as a proxy address, host:port.
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int requests() const { return requests_; }
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
    std::this_thread::sleep_for(std::chrono::milliseconds(answer.delay_ms));
    for (std::size_t sent = 0; sent < answer.bytes.size();) {
      const std::size_t chunk = std::min<std::size_t>(answer.bytes.size() - sent, 65536);
      const int n = send(client, answer.bytes.data() + sent, static_cast<int>(chunk), 0);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
    // A stalled answer holds the connection until the client gives up.
    while (answer.stall && !stop_ && recv(client, buffer, sizeof(buffer), 0) != 0) {
    }
    shutdown(client, SD_SEND);
  }

  const std::vector<Answer> answers_;
  UniqueSocket listener_;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
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
