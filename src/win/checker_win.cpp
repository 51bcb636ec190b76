#include "win/checker_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "check/probe.h"

namespace proxanto::win {

namespace {

using Clock = std::chrono::steady_clock;
using Outcome = ProbeResult::Outcome;
constexpr auto kBatchEvery = std::chrono::milliseconds(50);
// The longest wait for sockets; shorter when a probe's time is up sooner.
constexpr auto kLongestWait = std::chrono::milliseconds(10);

struct Job {
  HWND window;
  int run;
  std::vector<std::string> addresses;
  std::shared_ptr<Win32Checker::RunState> state;
};

// One probe under way.
struct Probe {
  SOCKET socket = INVALID_SOCKET;
  int index = 0;
  Clock::time_point started;
  enum class Step { Connecting, Sending, Receiving } step = Step::Connecting;
  std::size_t sent = 0;
  std::string answer;
};

// A non-blocking connection to the proxy; INVALID_SOCKET when it cannot
// even be begun (no such address, no such host).
SOCKET begin_connect(const std::string& address) {
  const std::optional<ProxyEndpoint> endpoint = proxy_endpoint(address);
  if (!endpoint) return INVALID_SOCKET;
  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(endpoint->port);
  // Nearly every public proxy is listed by its address: only a host name
  // needs a lookup, which holds up the other probes while it lasts.
  if (inet_pton(AF_INET, endpoint->host.c_str(), &target.sin_addr) != 1) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(endpoint->host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
      return INVALID_SOCKET;
    }
    target.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  u_long non_blocking = 1;
  if (s != INVALID_SOCKET &&
      (ioctlsocket(s, FIONBIO, &non_blocking) != 0 ||
       (connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK))) {
    closesocket(s);
    s = INVALID_SOCKET;
  }
  return s;
}

class Runner {
 public:
  explicit Runner(Job& job) : job_(job) {}

  void run() {
    const std::string request = probe_request();
    std::size_t next = 0;
    const auto room = [&] {
      return probes_.size() < static_cast<std::size_t>(kProbesAtOnce) &&
             next < job_.addresses.size();
    };
    while (!job_.state->cancelled && (next < job_.addresses.size() || !probes_.empty())) {
      // One new probe between two looks at the answers under way, so that
      // opening connections never delays reading them: the delays stay
      // true. While places are free the look does not wait, so they fill
      // at once.
      if (room()) {
        Probe probe;
        probe.index = static_cast<int>(next);
        probe.started = Clock::now();
        probe.socket = begin_connect(job_.addresses[next++]);
        if (probe.socket == INVALID_SOCKET) {
          report(probe.index, {Outcome::Refused});
        } else {
          probes_.push_back(std::move(probe));
        }
      }
      wait_and_serve(request, room());
      if (Clock::now() - last_post_ >= kBatchEvery) post();
    }
    for (Probe& probe : probes_) closesocket(probe.socket);
    post();
  }

 private:
  // Waits until a socket is ready, a probe's time is up, or, with `more` to
  // open, not at all; then serves every probe.
  void wait_and_serve(const std::string& request, bool more) {
    fd_set reading, writing, failing;
    FD_ZERO(&reading);
    FD_ZERO(&writing);
    FD_ZERO(&failing);
    for (const Probe& probe : probes_) {
      if (probe.step == Probe::Step::Receiving) {
        FD_SET(probe.socket, &reading);
      } else {
        FD_SET(probe.socket, &writing);
        FD_SET(probe.socket, &failing);
      }
    }
    const auto before = Clock::now();
    auto wait = more ? Clock::duration::zero() : Clock::duration(kLongestWait);
    for (const Probe& probe : probes_) {
      const auto left = probe.started + std::chrono::milliseconds(kProbeTimeoutMs) - before;
      wait = std::max(Clock::duration::zero(), std::min(wait, left));
    }
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
    timeval tick{0, static_cast<long>(micros)};
    if (!probes_.empty()) select(0, &reading, &writing, &failing, &tick);
    const auto now = Clock::now();
    for (auto it = probes_.begin(); it != probes_.end();) {
      const std::optional<ProbeResult> result = serve(*it, request, reading, writing, failing, now);
      if (result) {
        closesocket(it->socket);
        report(it->index, *result);
        it = probes_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // The probe's result once it has one.
  std::optional<ProbeResult> serve(Probe& probe, const std::string& request, fd_set& reading,
                                   fd_set& writing, fd_set& failing, Clock::time_point now) {
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - probe.started).count());
    if (FD_ISSET(probe.socket, &failing)) return ProbeResult{Outcome::Refused};
    if (probe.step != Probe::Step::Receiving && FD_ISSET(probe.socket, &writing)) {
      probe.step = Probe::Step::Sending;
      const int n = send(probe.socket, request.data() + probe.sent,
                         static_cast<int>(request.size() - probe.sent), 0);
      if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return ProbeResult{Outcome::Refused};
      if (n > 0) probe.sent += static_cast<std::size_t>(n);
      if (probe.sent == request.size()) probe.step = Probe::Step::Receiving;
    } else if (probe.step == Probe::Step::Receiving && FD_ISSET(probe.socket, &reading)) {
      char buffer[4096];
      const int n = recv(probe.socket, buffer, sizeof(buffer), 0);
      if (n > 0) probe.answer.append(buffer, static_cast<std::size_t>(n));
      const bool closed = n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
      switch (judge_answer(probe.answer, closed)) {
        case AnswerState::Right:
          return ProbeResult{Outcome::Working, ms};
        case AnswerState::Wrong:
          return ProbeResult{Outcome::WrongAnswer};
        case AnswerState::Incomplete:
          break;
      }
    }
    if (ms >= kProbeTimeoutMs) return ProbeResult{Outcome::TimedOut};
    return std::nullopt;
  }

  void report(int index, const ProbeResult& result) { batch_.emplace_back(index, result); }

  void post() {
    last_post_ = Clock::now();
    if (batch_.empty() || job_.state->cancelled) return;
    auto batch = std::make_unique<ProbeBatch>();
    batch->results.swap(batch_);
    if (PostMessageW(job_.window, kProbeDoneMessage, static_cast<WPARAM>(job_.run),
                     reinterpret_cast<LPARAM>(batch.get()))) {
      batch.release();  // the window owns it now
    }
  }

  Job& job_;
  std::vector<Probe> probes_;
  std::vector<std::pair<int, ProbeResult>> batch_;
  Clock::time_point last_post_ = Clock::now();
};

DWORD WINAPI run_probes(void* parameter) {
  const std::unique_ptr<Job> job(static_cast<Job*>(parameter));
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
    try {
      Runner(*job).run();
    } catch (...) {
      // Out of memory: the run ends without its remaining results.
    }
    WSACleanup();
  }
  job->state->finished = true;
  return 0;
}

}  // namespace

void Win32Checker::start(int run, const std::vector<std::string>& addresses) {
  std::erase_if(runs_, [](const auto& entry) { return entry.second->finished.load(); });
  auto state = std::make_shared<RunState>();
  auto job = std::make_unique<Job>(Job{window_, run, addresses, state});
  HANDLE thread = CreateThread(nullptr, 0, run_probes, job.get(), 0, nullptr);
  if (thread == nullptr) return;
  job.release();  // the thread owns it
  CloseHandle(thread);
  runs_.emplace_back(run, std::move(state));
}

void Win32Checker::cancel(int run) {
  for (const auto& [id, state] : runs_) {
    if (id == run) state->cancelled = true;
  }
}

}  // namespace proxanto::win
