// The test proxies of the check's benchmark, as a native program beside the
// Windows build under Wine: real proxies run on other machines, so these may
// take neither the user's processor nor Wine's server from the checker. One
// thread and epoll serve them all.
//
// 2,000 ports on 127.0.0.1 in the benchmark's pattern: proxy i answers at
// once when i % 10 == 0, refuses when i % 10 == 1 (a port bound and never
// listened on), and else accepts and never answers. An answering proxy notes
// how long it took from the test page's request to having sent the page: its
// own part of the delay that the checker measures, a few microseconds.
//
// It prints the port of its control connection and serves until it is
// killed. A control connection sends one line and gets its answer:
//   "proxies": the ports of the proxies in order, one a line;
//   "times": "i microseconds" for each answering proxy that sent the page
//            since the last "times".

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "check/probe.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kProxies = 2000;

enum class Kind { Answering, Refusing, Silent };
Kind kind_of(int i) { return i % 10 == 0 ? Kind::Answering : i % 10 == 1 ? Kind::Refusing : Kind::Silent; }

// What an epoll event stands for: the socket, the proxy, and its role.
enum class Role : std::uint64_t { Listener, Client, Control, ControlClient };
std::uint64_t tag(int fd, int proxy, Role role) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(fd)) |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(proxy)) << 32 |
         static_cast<std::uint64_t>(role) << 48;
}

void watch(int epoll, int fd, int proxy, Role role) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = tag(fd, proxy, role);
  epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

// A socket bound to a port of 127.0.0.1 that the system picks; -1 on failure.
int bind_loopback(std::uint16_t& port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return -1;
  }
  port = ntohs(address.sin_port);
  return s;
}

std::string http_answer(std::string_view body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + std::string(body);
}

void send_all(int fd, const std::string& text) {
  for (std::size_t sent = 0; sent < text.size();) {
    const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

int main() {
  signal(SIGPIPE, SIG_IGN);
  // 2,000 listeners and as many connections at once.
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);

  const int epoll = epoll_create1(0);
  std::vector<std::uint16_t> ports(kProxies);
  std::vector<long long> own_us(kProxies, -1);  // -1: not answered since the last "times"
  for (int i = 0; i < kProxies; ++i) {
    const int s = bind_loopback(ports[static_cast<std::size_t>(i)]);
    if (s < 0) {
      std::perror("test proxies: a port");
      return 1;
    }
    if (kind_of(i) == Kind::Refusing) continue;  // bound, never listened on: refused
    listen(s, SOMAXCONN);
    watch(epoll, s, i, Role::Listener);
  }
  std::uint16_t control_port = 0;
  const int control = bind_loopback(control_port);
  if (control < 0 || listen(control, 16) != 0) {
    std::perror("test proxies: the control port");
    return 1;
  }
  watch(epoll, control, 0, Role::Control);
  std::printf("%u\n", control_port);
  std::fflush(stdout);

  const std::string page = http_answer(proxanto::kTestPage);
  const std::string judged = http_answer(R"({"headers": {"Host": "judge"}, "origin": "203.0.113.9"})");
  const std::string test_path = proxanto::kTestUrl;
  epoll_event events[256];
  for (;;) {
    const int ready = epoll_wait(epoll, events, 256, -1);
    for (int e = 0; e < ready; ++e) {
      const std::uint64_t data = events[e].data.u64;
      const int fd = static_cast<int>(data & 0xFFFFFFFFu);
      const int proxy = static_cast<int>((data >> 32) & 0xFFFFu);
      const auto role = static_cast<Role>(data >> 48);
      if (role == Role::Listener || role == Role::Control) {
        for (int client; (client = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
          watch(epoll, client, proxy, role == Role::Listener ? Role::Client : Role::ControlClient);
        }
        continue;
      }
      char buffer[4096];
      const auto asked = Clock::now();
      const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
      const std::string_view request(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
      if (role == Role::ControlClient) {
        std::string answer;
        if (request.starts_with("proxies")) {
          for (const std::uint16_t port : ports) answer += std::to_string(port) + "\n";
        } else if (request.starts_with("times")) {
          for (int i = 0; i < kProxies; ++i) {
            long long& us = own_us[static_cast<std::size_t>(i)];
            if (us >= 0) answer += std::to_string(i) + " " + std::to_string(us) + "\n";
            us = -1;
          }
        }
        send_all(fd, answer);
        close(fd);
      } else if (kind_of(proxy) == Kind::Silent) {
        if (got <= 0) close(fd);  // the checker gave up; what it sent is ignored
      } else {
        if (got > 0) {
          const bool test_page = request.find(test_path) != std::string_view::npos;
          send_all(fd, test_page ? page : judged);
          if (test_page) {
            own_us[static_cast<std::size_t>(proxy)] =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - asked).count();
          }
        }
        close(fd);
      }
    }
  }
}
