#pragma once
// A tiny HTTP/1.0 server inside the test process, standing in for the maker's
// web server: it listens on 127.0.0.1 only, on a port the system picks, and
// answers on a background thread until it is destroyed. Each connection gets
// one response and is closed.

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "win/win_util.h"

namespace proxanto::e2e {

struct SocketCloser {
  void operator()(SOCKET socket) const {
    if (socket != INVALID_SOCKET) closesocket(socket);
  }
};
using UniqueSocket = win::Unique<SOCKET, SocketCloser>;

class HttpServer {
 public:
  // Serves `body` with status 200 for GET /update/ip.ini.
  explicit HttpServer(std::string body) : body_(std::move(body)) {
    WSADATA data;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (!winsock_ || listener_.get() == INVALID_SOCKET ||
        bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_.get(), SOMAXCONN) != 0 ||
        getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  // Stops listening and waits for the serving thread.
  ~HttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    listener_.reset();
    if (winsock_) WSACleanup();
  }
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // False when the server could not listen.
  bool listening() const { return port_ != 0; }
  // The address of the database on this server.
  std::string update_url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/update/ip.ini";
  }
  // What the next requests for the database get.
  void serve(std::string body) {
    std::lock_guard lock(mutex_);
    status_ = 200;
    body_ = std::move(body);
  }
  void serve_not_found() {
    std::lock_guard lock(mutex_);
    status_ = 404;
    body_ = kNotFoundPage;
  }
  // Requests for the database answered so far.
  int requests() const { return requests_.load(); }

 private:
  static constexpr const char* kNotFoundPage =
      "<html><head><title>404 Not Found</title></head>\r\n"
      "<body><h1>Not Found</h1></body></html>\r\n";

  void run() {
    while (!stop_) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_.get(), &ready);
      timeval tick{0, 50000};
      if (select(0, &ready, nullptr, nullptr, &tick) <= 0) continue;
      const UniqueSocket client(accept(listener_.get(), nullptr, nullptr));
      if (client.get() != INVALID_SOCKET) answer(client.get());
    }
  }

  void answer(SOCKET client) {
    const DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    // The request line and headers, up to the blank line or a bounded size.
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192) {
      const int got = recv(client, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 404;
    std::string body = kNotFoundPage;
    if (request.starts_with("GET /update/ip.ini ")) {
      std::lock_guard lock(mutex_);
      status = status_;
      body = body_;
      ++requests_;
    }
    const std::string response =
        "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
        "\r\nContent-Type: " + (status == 200 ? "application/octet-stream" : "text/html") +
        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
        body;
    for (std::size_t sent = 0; sent < response.size();) {
      const int n = send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    shutdown(client, SD_SEND);
  }

  bool winsock_ = false;
  UniqueSocket listener_;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  int status_ = 200;
  std::string body_;
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace proxanto::e2e
