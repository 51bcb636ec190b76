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

#include "win/win_util.h"

namespace proxanto::e2e {

inline constexpr const char* kUpdatePath = "/update/ip.ini";

struct SocketCloser {
  void operator()(SOCKET socket) const {
    if (socket != INVALID_SOCKET) closesocket(socket);
  }
};
using UniqueSocket = win::Unique<SOCKET, SocketCloser>;

// Winsock stays initialised while one of these lives.
class WinsockSession {
 public:
  WinsockSession();
  ~WinsockSession();
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

class HttpServer {
 public:
  // Serves `body` with status 200 for GET /update/ip.ini.
  explicit HttpServer(std::string body);
  // Stops listening and waits for the serving thread.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // False when the server could not listen; port() is 0 then.
  bool listening() const { return port_ != 0; }
  unsigned short port() const { return port_; }
  // The address of the database on this server.
  std::string update_url() const;

  // What the next requests for the database get.
  void serve(std::string body);
  void serve_not_found();

  // Requests for the database answered so far.
  int requests() const { return requests_.load(); }

 private:
  void run();
  void answer(SOCKET client);

  WinsockSession winsock_;
  UniqueSocket listener_;
  win::UniqueHandle stop_;
  win::UniqueHandle accept_ready_;
  unsigned short port_ = 0;

  mutable std::mutex mutex_;
  int status_ = 200;
  std::string body_;
  std::atomic<int> requests_{0};

  std::thread thread_;
};

}  // namespace proxanto::e2e
