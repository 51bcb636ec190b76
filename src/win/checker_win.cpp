#include "win/checker_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <span>
#include <string>
#include <thread>

#include "check/anonymity.h"
#include "check/probe.h"
#include "win/win_util.h"

namespace proxanto::win {

namespace {

using Clock = std::chrono::steady_clock;
using Outcome = ProbeResult::Outcome;
using Anonymity = ProbeResult::Anonymity;
constexpr auto kBatchEvery = std::chrono::milliseconds(50);
// The longest wait for sockets, so that a cancelled run and the judge's
// answer are seen soon; shorter when a probe's time is up sooner.
constexpr auto kLongestWait = std::chrono::milliseconds(50);
constexpr auto kProbeTime = std::chrono::milliseconds(kProbeTimeoutMs);
// A run opens one connection every kOpenEvery at most, its workers taking
// turns. The probes of a list end in waves (the silent proxies' time runs
// out together), each freeing most places at once; opening them all at once
// would keep the processor busy while answers arrive, and the delays measured
// for those would include it. 4,000 a second still fill 1,024 places in a
// quarter of a second.
constexpr auto kOpenEvery = std::chrono::microseconds(250);
// A worker's places: as many sockets as one select watches, each probe's
// socket in one of its sets.
constexpr int kPlacesPerWorker = FD_SETSIZE;

struct SocketCloser {
  void operator()(SOCKET s) const {
    if (s != INVALID_SOCKET) closesocket(s);
  }
};
using UniqueSocket = Unique<SOCKET, SocketCloser>;

// A run: its proxies, handed out one after another to its workers, and what
// the judge answered without a proxy.
struct Run {
  HWND window;
  int id;
  std::vector<std::string> addresses;
  ProbeSettings settings;
  std::shared_ptr<Win32Checker::RunState> state;
  // Until then the judge may answer; after it, it has failed.
  Clock::time_point judge_deadline;
  std::atomic<std::size_t> next{0};
  std::atomic<int> workers{0};
  enum class Judge { Asking, Answered, Failed };
  std::atomic<Judge> judge{Judge::Asking};
  std::string direct_answer;  // written before judge becomes Answered
};

// The IPv4 address of a host, looked up when it is a name.
std::optional<sockaddr_in> resolve(const ProxyEndpoint& endpoint) {
  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(endpoint.port);
  if (inet_pton(AF_INET, endpoint.host.c_str(), &target.sin_addr) == 1) return target;
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(endpoint.host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  target.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return target;
}

// A non-blocking connection under way; empty when it cannot even be begun.
UniqueSocket begin_connect(const sockaddr_in& target) {
  UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  u_long non_blocking = 1;
  if (s.get() == INVALID_SOCKET || ioctlsocket(s.get(), FIONBIO, &non_blocking) != 0 ||
      (connect(s.get(), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0 &&
       WSAGetLastError() != WSAEWOULDBLOCK)) {
    return {};
  }
  return s;
}

// One request under way: the test page or the judge through a proxy, or
// the judge without one.
struct Probe {
  UniqueSocket socket;
  int index = 0;              // in the run's list
  sockaddr_in target = {};    // the proxy, or the judge for the direct request
  Clock::time_point started;  // of the whole probe, test page and judge alike
  enum class Step { Connecting, Sending, Receiving } step = Step::Connecting;
  const std::string* request = nullptr;
  std::size_t sent = 0;
  std::string answer;
  bool judging = false;  // the test page came; the judge is asked now
  int ms = 0;            // until the whole test page came

  // Connects, sends the request and takes in what the server sends; false
  // once the connection failed. `received` when something came, `closed`
  // when the server has closed the connection.
  bool exchange(const fd_set& reading, const fd_set& writing, const fd_set& failing,
                bool& received, bool& closed) {
    const SOCKET s = socket.get();
    if (FD_ISSET(s, &failing)) return false;
    if (step != Step::Receiving && FD_ISSET(s, &writing)) {
      step = Step::Sending;
      const int n = send(s, request->data() + sent, static_cast<int>(request->size() - sent), 0);
      if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return false;
      if (n > 0) sent += static_cast<std::size_t>(n);
      if (sent == request->size()) step = Step::Receiving;
    } else if (step == Step::Receiving && FD_ISSET(s, &reading)) {
      char buffer[4096];
      const int n = recv(s, buffer, sizeof(buffer), 0);
      if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
      closed = n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
      received = true;
    }
    return true;
  }
};

// Waits until a socket of the probes is ready, or `wait` is over.
void wait_for_sockets(std::span<const Probe> probes, Clock::duration wait, fd_set& reading,
                      fd_set& writing, fd_set& failing) {
  FD_ZERO(&reading);
  FD_ZERO(&writing);
  FD_ZERO(&failing);
  for (const Probe& probe : probes) {
    const SOCKET s = probe.socket.get();
    if (probe.step == Probe::Step::Receiving) {
      FD_SET(s, &reading);
    } else {
      FD_SET(s, &writing);
      FD_SET(s, &failing);
    }
  }
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
  timeval tick{0, static_cast<long>(micros)};
  if (!probes.empty()) {
    select(0, &reading, &writing, &failing, &tick);
  } else {
    std::this_thread::sleep_for(wait);
  }
}

// The judge asked without a proxy, on a thread of its own, at the start of
// the run: its host may need a slow lookup. Its answer shows the user's own
// address and the headers that the judge's side adds.
void ask_judge_directly(std::shared_ptr<Run> run) {
  WSADATA data;
  const bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  const auto deadline = run->judge_deadline;
  const std::optional<HttpTarget> target = http_target(run->settings.judge_url);
  const std::optional<sockaddr_in> address =
      started && target ? resolve(target->server) : std::nullopt;
  const std::string request = get_request(run->settings.judge_url, false).value_or("");
  Probe probe;
  probe.request = &request;
  if (address) probe.socket = begin_connect(*address);
  fd_set reading, writing, failing;
  HttpAnswer answer;
  for (bool alive = bool(probe.socket); alive && answer.state == AnswerState::Incomplete &&
                                        Clock::now() < deadline && !run->state->cancelled;) {
    wait_for_sockets({&probe, 1}, std::min<Clock::duration>(deadline - Clock::now(), kLongestWait),
                     reading, writing, failing);
    bool received = false, closed = false;
    alive = probe.exchange(reading, writing, failing, received, closed);
    if (received) answer = read_answer(probe.answer, closed);
  }
  // An answer that shows no address judges nothing.
  if (answer.state == AnswerState::Right && !client_addresses(answer.body).empty() &&
      Clock::now() < deadline) {
    run->direct_answer = std::string(answer.body);
    run->judge = Run::Judge::Answered;
  } else {
    run->judge = Run::Judge::Failed;
  }
  probe.socket.reset();
  if (started) WSACleanup();
}

// One of a run's threads: it takes the next proxy of the list whenever one
// of its places is free and keeps its probes going with one select.
class Worker {
 public:
  Worker(Run& run, std::size_t places, int workers)
      : run_(run), places_(places), open_every_(kOpenEvery * workers) {}

  void work() {
    page_request_ = get_request(kTestUrl, true).value_or("");
    judge_request_ = get_request(run_.settings.judge_url, true).value_or("");
    while (!run_.state->cancelled && (!exhausted_ || !probes_.empty() || !waiting_.empty())) {
      follow_judge();
      // One free place is filled per look at the answers under way, when it
      // is this worker's turn to open a connection, so that opening delays
      // reading them by little: the delays stay true. A proxy waiting to be
      // judged goes first. With a place to fill, the look waits no longer
      // than the next turn.
      const bool judge_next = judge_ == Run::Judge::Answered && !waiting_.empty();
      const bool to_fill = probes_.size() < places_ && (judge_next || !exhausted_);
      if (to_fill && Clock::now() >= next_turn_) {
        next_turn_ = Clock::now() + open_every_;
        if (judge_next) {
          Probe probe = std::move(waiting_.back());
          waiting_.pop_back();
          ask_judge(std::move(probe));
        } else {
          open();
        }
      }
      wait_and_serve(to_fill);
      if (Clock::now() - last_post_ >= kBatchEvery) post();
    }
    post();
  }

 private:
  void open() {
    const std::size_t index = run_.next++;
    if (index >= run_.addresses.size()) {
      exhausted_ = true;
      return;
    }
    Probe probe;
    probe.index = static_cast<int>(index);
    probe.request = &page_request_;
    const std::optional<ProxyEndpoint> endpoint = proxy_endpoint(run_.addresses[index]);
    const std::optional<sockaddr_in> target = endpoint ? resolve(*endpoint) : std::nullopt;
    if (target) {
      probe.target = *target;
      probe.socket = begin_connect(*target);
    }
    // The delay is the proxy's, from the connection's first step on: making
    // the socket is the system's own work.
    probe.started = Clock::now();
    if (!probe.socket) {
      report(probe.index, {Outcome::Refused});
    } else {
      probes_.push_back(std::move(probe));
    }
  }

  // Once the judge has failed, the proxies waiting for it are working but
  // cannot be judged; a proxy whose time ran out while it waited for a place
  // is working and was not judged.
  void follow_judge() {
    const auto now = Clock::now();
    judge_ = run_.judge;
    // The judge's thread may still wait for a slow lookup.
    if (judge_ == Run::Judge::Asking && now >= run_.judge_deadline) judge_ = Run::Judge::Failed;
    std::erase_if(waiting_, [&](const Probe& probe) {
      if (judge_ == Run::Judge::Failed) {
        report(probe.index, {Outcome::Working, probe.ms, Anonymity::NoJudge});
      } else if (now - probe.started >= kProbeTime) {
        report(probe.index, {Outcome::Working, probe.ms, Anonymity::Unknown});
      } else {
        return false;
      }
      return true;
    });
  }

  // The test page came through the proxy: now the judge, over a new
  // connection, within what is left of the probe's time.
  void ask_judge(Probe probe) {
    probe.judging = true;
    probe.request = &judge_request_;
    probe.step = Probe::Step::Connecting;
    probe.sent = 0;
    probe.answer.clear();
    probe.socket = begin_connect(probe.target);
    if (!probe.socket) {
      report(probe.index, {Outcome::Working, probe.ms, Anonymity::Unknown});
    } else {
      probes_.push_back(std::move(probe));
    }
  }

  // Waits until a socket is ready, a probe's time is up, or, with a place
  // `to_fill`, this worker's next turn to open; then serves every probe.
  void wait_and_serve(bool to_fill) {
    const auto before = Clock::now();
    Clock::duration wait = kLongestWait;
    if (to_fill) wait = std::clamp<Clock::duration>(next_turn_ - before, Clock::duration::zero(), wait);
    for (const Probe& probe : probes_) {
      wait = std::max(Clock::duration::zero(), std::min(wait, probe.started + kProbeTime - before));
    }
    wait_for_sockets(probes_, wait, reading_, writing_, failing_);
    const auto now = Clock::now();
    for (std::size_t i = 0; i < probes_.size();) {
      if (serve(probes_[i], now)) {
        probes_[i] = std::move(probes_.back());
        probes_.pop_back();
      } else {
        ++i;
      }
    }
    for (Probe& probe : passed_) passed(std::move(probe));
    passed_.clear();
  }

  // True once the probe has its result.
  bool serve(Probe& probe, Clock::time_point now) {
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - probe.started).count());
    bool received = false, closed = false;
    const bool alive = probe.exchange(reading_, writing_, failing_, received, closed);
    if (probe.judging) {
      const HttpAnswer answer = received ? read_answer(probe.answer, closed) : HttpAnswer{};
      if (answer.state == AnswerState::Right) {
        report(probe.index, {Outcome::Working, probe.ms, judge_anonymity(run_.direct_answer, answer.body)});
      } else if (!alive || answer.state == AnswerState::Wrong || ms >= kProbeTimeoutMs) {
        report(probe.index, {Outcome::Working, probe.ms, Anonymity::Unknown});
      } else {
        return false;
      }
      return true;
    }
    const AnswerState page = received ? test_page_answer(probe.answer, closed) : AnswerState::Incomplete;
    if (!alive) {
      report(probe.index, {Outcome::Refused});
    } else if (page == AnswerState::Wrong) {
      report(probe.index, {Outcome::WrongAnswer});
    } else if (page == AnswerState::Right) {
      probe.ms = ms;
      passed_.push_back(std::move(probe));
    } else if (ms >= kProbeTimeoutMs) {
      report(probe.index, {Outcome::TimedOut});
    } else {
      return false;
    }
    return true;
  }

  // The test page came: the proxy works; what it gives away is judged once
  // the judge's direct answer is in.
  void passed(Probe probe) {
    probe.socket.reset();
    switch (judge_) {
      case Run::Judge::Answered:
        ask_judge(std::move(probe));
        break;
      case Run::Judge::Failed:
        report(probe.index, {Outcome::Working, probe.ms, Anonymity::NoJudge});
        break;
      case Run::Judge::Asking:
        waiting_.push_back(std::move(probe));
        break;
    }
  }

  void report(int index, const ProbeResult& result) { batch_.emplace_back(index, result); }

  void post() {
    last_post_ = Clock::now();
    if (batch_.empty() || run_.state->cancelled) return;
    auto batch = std::make_unique<ProbeBatch>();
    batch->results.swap(batch_);
    if (PostMessageW(run_.window, kProbeDoneMessage, static_cast<WPARAM>(run_.id),
                     reinterpret_cast<LPARAM>(batch.get()))) {
      batch.release();  // the window owns it now
    }
  }

  Run& run_;
  const std::size_t places_;
  const Clock::duration open_every_;  // the run's kOpenEvery, shared among its workers
  Clock::time_point next_turn_;       // when this worker may open a connection
  bool exhausted_ = false;  // the list has no proxy left to take
  Run::Judge judge_ = Run::Judge::Asking;
  std::string page_request_, judge_request_;
  std::vector<Probe> probes_;
  std::vector<Probe> passed_;   // passed the test page in this round
  std::vector<Probe> waiting_;  // passed the test page, waiting for the judge
  fd_set reading_, writing_, failing_;
  std::vector<std::pair<int, ProbeResult>> batch_;
  Clock::time_point last_post_ = Clock::now();
};

void work(std::shared_ptr<Run> run, std::size_t places, int workers) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
    try {
      Worker(*run, places, workers).work();
    } catch (...) {
      // Out of memory: this worker ends without its remaining results.
    }
    WSACleanup();
  }
  if (--run->workers == 0) run->state->finished = true;
}

}  // namespace

void Win32Checker::start(int run_id, const std::vector<std::string>& addresses,
                         const ProbeSettings& settings) {
  std::erase_if(runs_, [](const auto& entry) { return entry.second->finished.load(); });
  auto state = std::make_shared<RunState>();
  auto run = std::make_shared<Run>(window_, run_id, addresses, settings, state,
                                   Clock::now() + kProbeTime);
  // Several select sets, one per worker: a plain select watches 64 sockets.
  // No more places than proxies: the probe of the one proxy just applied
  // needs one worker.
  const int at_once =
      std::min(std::clamp(settings.at_once, kMinProbesAtOnce, kMaxProbesAtOnce),
               std::max(1, static_cast<int>(std::min<std::size_t>(addresses.size(), 1024))));
  const int workers = (at_once + kPlacesPerWorker - 1) / kPlacesPerWorker;
  try {
    std::thread(ask_judge_directly, run).detach();
    for (int i = 0; i < workers; ++i) {
      const int places = at_once / workers + (i < at_once % workers ? 1 : 0);
      ++run->workers;
      std::thread(work, run, static_cast<std::size_t>(places), workers).detach();
    }
  } catch (...) {
    // No thread to be had: the workers begun end at once.
    state->cancelled = true;
    if (--run->workers <= 0) state->finished = true;
  }
  runs_.emplace_back(run_id, std::move(state));
}

void Win32Checker::cancel(int run) {
  for (const auto& [id, state] : runs_) {
    if (id == run) state->cancelled = true;
  }
}

std::int64_t Win32Checker::now_seconds() {
  // FILETIME counts 100 ns from 1601; 1970 is 11,644,473,600 s later.
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10'000'000ULL) - 11'644'473'600LL;
}

}  // namespace proxanto::win
