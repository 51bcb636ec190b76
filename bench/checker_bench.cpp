// The proxy check of a whole public list against 2,000 test proxies on
// 127.0.0.1: 10 % answer at once (the test page, then the judge's page), 10 %
// refuse, 80 % accept and never answer, mixed through the list as in a real
// one. The silent ones take their 5 s each in the places the run keeps, so
// ceil(1,600 / places) x 5 s is unavoidable. The results go to a Form1 on
// the test stand-ins and the real tray icon; its menu is opened during the
// check.
// Windows build only (run under Wine): it measures the real checker.

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "check/probe.h"
#include "native/fakes.h"
#include "win/adapters_win.h"
#include "win/checker_win.h"
#include "win/main_window.h"
#include "wine/http_server.h"

namespace proxanto {

namespace bench {
void start_counting();
std::size_t stop_counting();
}  // namespace bench

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kProxies = 2000;

// The 2,000 test proxies: a native program outside Wine (bench/test_proxies)
// serves them, as real proxies run on other machines; this is its client.
// An answering proxy tells how long it took from the test page's request to
// having sent the page: a few microseconds, so that nearly all the checker
// measures for it (the connection on 127.0.0.1 and the checker's own
// slowness in seeing each step) is how far the measurement is off.
class TestProxies {
 public:
  explicit TestProxies(int control_port) : port_(control_port) {
    const std::string ports = ask("proxies");
    for (std::size_t at = 0; at < ports.size();) {
      const std::size_t end = ports.find('\n', at);
      addresses_.push_back("127.0.0.1:" + ports.substr(at, end - at));
      at = end == std::string::npos ? ports.size() : end + 1;
    }
  }
  bool ready() const { return addresses_.size() == static_cast<std::size_t>(kProxies); }
  const std::vector<std::string>& addresses() const { return addresses_; }
  // How long each answering proxy took, in milliseconds, since the last call.
  std::map<int, double> own_times() const {
    std::map<int, double> times;
    std::istringstream lines(ask("times"));
    int proxy = 0;
    long long micros = 0;
    while (lines >> proxy >> micros) times[proxy] = micros / 1000.0;
    return times;
  }

 private:
  // One line to the control port; everything it answers.
  std::string ask(const std::string& command) const {
    std::string answer;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port_));
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
      const std::string line = command + "\n";
      send(s, line.data(), static_cast<int>(line.size()), 0);
      char buffer[4096];
      for (int n; (n = recv(s, buffer, sizeof(buffer), 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    }
    closesocket(s);
    return answer;
  }

  int port_;
  std::vector<std::string> addresses_;
};

Form1* g_form = nullptr;
int g_run = 0;
Clock::time_point g_last_result;
double g_longest_batch_ms = 0;  // the user-interface thread busy with one batch

LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != win::kProbeDoneMessage) return DefWindowProcW(window, message, wparam, lparam);
  const auto received = Clock::now();
  const std::unique_ptr<win::ProbeBatch> batch(reinterpret_cast<win::ProbeBatch*>(lparam));
  g_form->probes_done(g_run, batch->results);
  g_last_result = Clock::now();
  g_longest_batch_ms = std::max(
      g_longest_batch_ms, std::chrono::duration<double, std::milli>(g_last_result - received).count());
  return 0;
}

void CALLBACK close_menu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}

double open_menu(HWND window, const MenuItem& root) {
  const auto opened = Clock::now();
  std::vector<std::pair<std::string, int>> commands;
  win::UniqueMenu menu = win::build_popup_menu(root, commands);
  SetTimer(nullptr, 0, 0, close_menu);
  SetForegroundWindow(window);
  TrackPopupMenu(menu.get(), TPM_RETURNCMD, 100, 100, 0, window, nullptr);
  return std::chrono::duration<double, std::milli>(Clock::now() - opened).count();
}

// Sampled every 100 ms: each look is a request to the system.
std::size_t working_set() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.WorkingSetSize;
}

int at(const std::vector<int>& sorted, double share) {
  return sorted.empty() ? -1 : sorted[static_cast<std::size_t>(share * (sorted.size() - 1))];
}

// One check of the whole list with `at_once` places; its time in seconds.
double check(HWND window, const TestProxies& proxies, const std::string& judge_url, int at_once) {
  // The stand-ins, but the real tray icon: its tooltip follows the progress.
  testing::TestPlatform os;
  win::Win32Tray tray(window, LoadIconW(nullptr, IDI_APPLICATION));
  Platform platform{os.registry, os.files, os, os, os.strings, tray, os, os,
                    os,          os,       os, os, os,         os,   os};
  Form1 form{platform};
  g_form = &form;
  g_longest_batch_ms = 0;
  std::string ini = "[IP]\r\ncount=" + std::to_string(kProxies) + "\r\n";
  for (int i = 0; i < kProxies; ++i) {
    ini += std::to_string(i) + "=" + proxies.addresses()[static_cast<std::size_t>(i)] + ";8\r\n";
  }
  os.save("judge_url", judge_url);
  os.save("probes_at_once", std::to_string(at_once));
  os.ini() = ini;
  form.Form_Load();

  const std::size_t set_before = working_set();
  std::size_t set_peak = set_before;
  bench::start_counting();
  win::Win32Checker checker(window);
  const auto started = Clock::now();
  form.check_Click();
  g_run = os.runs.back().first;
  checker.start(g_run, os.runs.back().second, os.probe_settings);
  double menu_ms = 0;
  auto sampled = started;
  // Serves the window as the program's loop does until `done` holds.
  const auto serve_until = [&](const std::function<bool()>& done) {
    MSG message;
    while (!done() && Clock::now() - started < std::chrono::seconds(120)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      if (Clock::now() - sampled >= std::chrono::milliseconds(100)) {
        sampled = Clock::now();
        set_peak = std::max(set_peak, working_set());
      }
    }
  };
  for (int seconds : {2, 12, 24}) {
    serve_until([&] { return Clock::now() - started >= std::chrono::seconds(seconds); });
    menu_ms = std::max(menu_ms, open_menu(window, form.item));
  }
  serve_until([&] { return form.menu("check").enabled; });
  const double seconds = std::chrono::duration<double>(g_last_result - started).count();
  const std::size_t heap_peak = bench::stop_counting();

  const std::map<int, double> own_times = proxies.own_times();
  int counts[4] = {}, elite = 0;
  std::vector<int> beyond;
  double own_longest = 0;
  for (int i = 0; i < kProxies; ++i) {
    const auto found = form.probe_results.find(proxies.addresses()[static_cast<std::size_t>(i)]);
    if (found == form.probe_results.end()) continue;
    const ProbeResult& result = found->second;
    ++counts[static_cast<int>(result.outcome)];
    if (result.outcome != ProbeResult::Outcome::Working) continue;
    elite += result.anonymity == ProbeResult::Anonymity::Elite;
    const auto own = own_times.find(i);
    if (own == own_times.end()) continue;
    beyond.push_back(result.ms - static_cast<int>(own->second));
    own_longest = std::max(own_longest, own->second);
  }
  const double unavoidable = (1600 + at_once - 1) / at_once * 5.0;
  std::printf("  %4d at once: all results after %.2f s (unavoidable %.0f s, target within 1.15 x: %.2f s)\n",
              at_once, seconds, unavoidable, 1.15 * unavoidable);
  std::printf("    %d working (%d elite), %d refused, %d timed out, %d wrong answers"
              " (expected 200 elite, 200, 1600, 0)\n",
              counts[0], elite, counts[1], counts[2], counts[3]);
  std::sort(beyond.begin(), beyond.end());
  const auto within_5 = std::count_if(beyond.begin(), beyond.end(), [](int ms) { return std::abs(ms) <= 5; });
  std::printf("    answering proxies measured (how far the measurement is off): median %d ms,"
              " 95 %% within %d ms, largest %d ms;\n    %d of %d within 5 ms (target: within 5 ms);"
              " their own time from request to answer %.2f ms at most\n",
              at(beyond, 0.5), at(beyond, 0.95), at(beyond, 1.0), static_cast<int>(within_5),
              static_cast<int>(beyond.size()), own_longest);
  std::printf("    the tray menu with %d proxies opened in %.1f ms at worst during the check"
              " (target < 100 ms);\n    the longest the program was busy with one batch of results:"
              " %.1f ms\n", kProxies, menu_ms, g_longest_batch_ms);
  std::printf("    memory: heap in use at most %.1f MB during the check;"
              " process working set %.1f MB at most, %.1f MB before (target < 40 MB)\n",
              heap_peak / 1048576.0, set_peak / 1048576.0, set_before / 1048576.0);
  tray.notify(kNimDelete, form.nid);
  g_form = nullptr;
  return seconds;
}

}  // namespace

// The test proxies' control port: 0 when they were not started.
void run_checker_bench(int test_proxies) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = receive;
  wc.lpszClassName = L"ProxantoCheckerBench";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(wc.lpszClassName, L"bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              nullptr, nullptr);
  {
    test_support::HttpServer judge(
        {test_support::HttpServer::ok(R"({"headers": {"Host": "judge"}, "origin": "198.51.100.7"})")});
    const std::string judge_url = judge.url().substr(0, judge.url().find('/', 7)) + "/get";
    const TestProxies proxies(test_proxies);
    if (proxies.ready()) {
      std::printf("Proxy check (Windows build): %d test proxies on 127.0.0.1, 10 %% answering,"
                  " 10 %% refusing, 80 %% silent; a judge on 127.0.0.1\n", kProxies);
    } else {
      std::printf("Proxy check: no test proxies (bench/windows-bench starts them)\n");
    }
    for (const int at_once : {kProbesAtOnce, 512}) {
      if (!proxies.ready()) break;
      const double seconds = check(window, proxies, judge_url, at_once);
      // A list of 10,000 as public lists come, 80 % of it silent.
      const double per_round = seconds / ((1600 + at_once - 1) / at_once);
      std::printf("    a 10,000-entry list would take about %.0f s (%d rounds of 5 s unavoidable)\n",
                  per_round * ((8000 + at_once - 1) / at_once), (8000 + at_once - 1) / at_once);
    }
  }
  DestroyWindow(window);
  WSACleanup();
}

}  // namespace proxanto
#endif
