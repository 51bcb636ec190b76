#include "e2e/http_server.h"

#include <utility>

namespace proxanto::e2e {

namespace {
constexpr std::size_t kMaxRequest = 8192;
constexpr DWORD kReceiveTimeoutMs = 5000;

const char* reason(int status) { return status == 200 ? "OK" : "Not Found"; }

std::string not_found_page() {
  return "<html><head><title>404 Not Found</title></head>\r\n"
         "<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p>"
         "</body></html>\r\n";
}

// The request line and headers, up to the blank line; what a bounded read
// got when the client sends more or stops early.
std::string read_request(SOCKET client) {
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
    const int got = recv(client, buffer, sizeof(buffer), 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  return request;
}

void send_all(SOCKET client, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int n = send(client, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}
}  // namespace

WinsockSession::WinsockSession() {
  WSADATA data;
  ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockSession::~WinsockSession() {
  if (ok_) WSACleanup();
}

HttpServer::HttpServer(std::string body) : body_(std::move(body)) {
  if (!winsock_.ok()) return;
  listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (listener_.get() == INVALID_SOCKET) return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof(address);
  if (bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener_.get(), SOMAXCONN) != 0 ||
      getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  accept_ready_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!stop_ || !accept_ready_ ||
      WSAEventSelect(listener_.get(), accept_ready_.get(), FD_ACCEPT) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

HttpServer::~HttpServer() {
  if (thread_.joinable()) {
    SetEvent(stop_.get());
    thread_.join();
  }
}

std::string HttpServer::update_url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + kUpdatePath;
}

void HttpServer::serve(std::string body) {
  std::lock_guard lock(mutex_);
  status_ = 200;
  body_ = std::move(body);
}

void HttpServer::serve_not_found() {
  std::lock_guard lock(mutex_);
  status_ = 404;
  body_ = not_found_page();
}

void HttpServer::run() {
  const HANDLE events[2] = {stop_.get(), accept_ready_.get()};
  while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    // Every waiting connection: the event is signalled once for several.
    while (true) {
      UniqueSocket client(accept(listener_.get(), nullptr, nullptr));
      if (client.get() == INVALID_SOCKET) break;
      answer(client.get());
    }
  }
}

void HttpServer::answer(SOCKET client) {
  // An accepted socket inherits the listener's event selection and is
  // non-blocking; the exchange is a plain blocking one with a time limit.
  WSAEventSelect(client, nullptr, 0);
  u_long blocking = 0;
  ioctlsocket(client, FIONBIO, &blocking);
  const DWORD timeout = kReceiveTimeoutMs;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof(timeout));

  const std::string request = read_request(client);
  const std::string line = request.substr(0, request.find("\r\n"));
  const bool wanted = line.starts_with(std::string("GET ") + kUpdatePath + " ");

  int status = 404;
  std::string body = not_found_page();
  if (wanted) {
    std::lock_guard lock(mutex_);
    status = status_;
    body = body_;
    ++requests_;
  }
  const std::string content_type = status == 200 ? "application/octet-stream" : "text/html";
  send_all(client, "HTTP/1.0 " + std::to_string(status) + " " + reason(status) +
                       "\r\nContent-Type: " + content_type +
                       "\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\nConnection: close\r\n\r\n" + body);
  shutdown(client, SD_SEND);
}

}  // namespace proxanto::e2e
