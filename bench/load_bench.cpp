// Load, block, memory and IP-menu benchmarks. Natively the database lives in
// memory; the Windows build (run under Wine) reads a real file, also times
// the same loop over the platform's profile functions, one read per key as
// they work, and renders the IP menu.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "app/form1.h"
#include "database/profile_file.h"
#include "native/fakes.h"

#ifdef _WIN32
#include <windows.h>

#include "win/file_system_win.h"
#include "win/main_window.h"
#endif

// While g_counting is set, allocations are counted, so that a parse's peak
// memory can be read; a block remembers whether it was counted. The timings
// run with counting off, so they do not include it.
namespace {
std::atomic<bool> g_counting{false};
std::atomic<std::size_t> g_in_use{0}, g_peak{0};
constexpr std::size_t kCounted = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
}  // namespace

void* operator new(std::size_t size) {
  auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  if (g_counting.load(std::memory_order_relaxed)) {
    *block |= kCounted;
    const std::size_t now = g_in_use += size;
    for (std::size_t peak = g_peak; now > peak && !g_peak.compare_exchange_weak(peak, now);) {
    }
  }
  return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}
void operator delete(void* pointer) noexcept {
  if (pointer == nullptr) return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(pointer) - sizeof(std::max_align_t));
  if (*block & kCounted) g_in_use -= *block & ~kCounted;
  std::free(block);
}
void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace proxanto::bench {
// Counts the allocations from now on, from nothing in use.
void start_counting() {
  g_in_use = 0;
  g_peak = 0;
  g_counting = true;
}
// Stops counting; the most that was in use at once.
std::size_t stop_counting() {
  g_counting = false;
  return g_peak;
}
}  // namespace proxanto::bench

namespace proxanto {

void run_merge_bench(FileSystemPort& files, const std::string& path, const char* where);

std::size_t peak_allocated(const std::function<void()>& work) {
  bench::start_counting();
  work();
  return bench::stop_counting();
}

namespace {

using Clock = std::chrono::steady_clock;

double millis(const std::function<void()>& work, int repeats) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    work();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (ms < best) best = ms;
  }
  return best;
}

std::string entry(int n) {
  return std::to_string(n) + "=" + std::to_string(10 + n % 200) + "." +
         std::to_string(n / 200 % 250) + ".0." + std::to_string(n % 250 + 1) + ":8080;" +
         std::to_string(n % 33) + ";extra\r\n";
}

// A database of `entries` entries, or of about `bytes` bytes when given.
std::string database(int entries, std::size_t bytes = 0) {
  std::string text = "[IP]\r\ncount=" + std::to_string(entries) + "\r\n";
  for (int n = 0; bytes ? text.size() < bytes : n < entries; ++n) {
    text += entry(n);
    if (n % 97 == 0) text += std::to_string(n) + "_block=1\r\n";
  }
  return text;
}

#ifdef _WIN32
// The platform's way: one profile read for count, two per entry.
int platform_load(const std::wstring& file) {
  const int count = static_cast<int>(GetPrivateProfileIntW(L"IP", L"count", 0, file.c_str()));
  int accepted = 0;
  std::wstring value(1550, L'\0');
  for (int n = 0; n < count; ++n) {
    const std::wstring key = std::to_wstring(n);
    if (GetPrivateProfileStringW(L"IP", key.c_str(), L"", value.data(), 1550, file.c_str()) == 0) {
      continue;
    }
    if (GetPrivateProfileIntW(L"IP", (key + L"_block").c_str(), 0, file.c_str()) != 0) continue;
    ++accepted;
  }
  return accepted;
}

void CALLBACK close_menu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}

// Builds the pop-up menu and opens it; a zero-delay timer closes it as soon
// as the menu loop runs.
double open_menu(const MenuItem& root) {
  static HWND owner = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP, 0, 0, 1, 1, nullptr,
                                      nullptr, nullptr, nullptr);
  return millis(
      [&] {
        std::vector<std::pair<std::string, int>> commands;
        win::UniqueMenu menu = win::build_popup_menu(root, commands);
        SetTimer(nullptr, 0, 0, close_menu);
        SetForegroundWindow(owner);
        TrackPopupMenu(menu.get(), TPM_RETURNCMD, 100, 100, 0, owner, nullptr);
      },
      3);
}
#endif

void run() {
#ifdef _WIN32
  win::Win32FileSystem files;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::string folder = win::narrow(temp) + "proxanto-bench";
  CreateDirectoryW(win::widen(folder).c_str(), nullptr);
  const char* where = "Windows build, a real file";
#else
  testing::MemoryFiles files;
  const std::string folder = "C:\\bench";
  const char* where = "native, the file in memory";
#endif
  const std::string path = folder + "\\ip.ini";
  testing::TestPlatform os;
  Platform platform{os.registry, files, os, os, os.strings, os, os, os, os, os, os, os, os, os, os};

  std::printf("Reading a database (%s): load_records, time and peak memory against the file\n",
              where);
  for (const auto& [name, text] : {std::pair<const char*, std::string>{"1 MB", database(32767, 1u << 20)},
                                   {"16 MB", database(32767, (16u << 20) - 4096)},
                                   {"32,767 entries", database(32767)}}) {
    const std::size_t size = text.size();
    const double ms = millis([&] { load_records(text, std::nullopt); }, 3);
    std::string moved = text;
    const std::size_t allocated =
        peak_allocated([&] { load_records(std::move(moved), std::nullopt); });
    const double peak = static_cast<double>(allocated + size);  // the text is part of the reading
    std::printf("  %-15s %6.1f MB  %8.2f ms  peak %6.1f MB (target < 3 x the file + 4 MB = %.1f MB)\n",
                name, size / 1048576.0, ms, peak / 1048576.0, 3 * size / 1048576.0 + 4);
  }

  std::printf("Loader (%s): nacti_ip, with the IP menu model and one random change\n", where);
  for (int entries : {1000, 10000, 32767}) {
    files.replace_file(path, database(entries));
    Form1 form{platform};
    form.ini_path = path;
    form.ARR_CS = czech_country_names();
    form.ARR_EN = english_country_names();
    const double ours = millis([&] { form.nacti_ip(0); }, 5);
    std::printf("  %6d entries: %8.2f ms (%d loaded)", entries, ours, form.ip_count);
#ifdef _WIN32
    int accepted = 0;
    const std::wstring wide = win::widen(path);
    const double real = millis([&] { accepted = platform_load(wide); }, entries > 10000 ? 1 : 2);
    std::printf("  platform's profile functions %10.2f ms (%d loaded)", real, accepted);
#endif
    std::printf("\n");
    if (entries == 32767) {
      // At start-up nothing of an earlier list is there to be reused.
      double first = 1e300;
      for (int i = 0; i < 5; ++i) {
        Form1 fresh{platform};
        fresh.ini_path = path;
        fresh.ARR_CS = form.ARR_CS;
        fresh.ARR_EN = form.ARR_EN;
        first = std::min(first, millis([&] { fresh.nacti_ip(0); }, 1));
      }
      std::printf("  the first load, as at start-up: %8.2f ms (target < 5 ms)\n", first);
      // Block writes one mark and loads again: a different proxy each time.
      int next = 0;
      const double block = millis(
          [&] {
            form.nabIP_Click(next++);
            form.block_Click();
          },
          5);
      std::printf("  block one proxy of 32,767: %8.2f ms (target < 50 ms)\n", block);
    }
  }

  std::printf("IP menu: ipnabidka builds the model");
#ifdef _WIN32
  std::printf(", then the pop-up menu is rendered and opened");
#endif
  std::printf("\n");
  for (int proxies : {1000, 10000}) {
    Form1 form{os.platform};
    form.ARR_CS = czech_country_names();
    form.ARR_EN = english_country_names();
    for (int i = 0; i < proxies; ++i) {
      form.ip_list.push_back(
          {"192.0.2." + std::to_string(i % 250) + ":" + std::to_string(i) + ";" + std::to_string(i % 33),
           i});
    }
    form.ip_count = proxies;
    const double model = millis([&] { form.ipnabidka(); }, 5);
    std::printf("  %6d proxies: model %8.2f ms", proxies, model);
#ifdef _WIN32
    std::printf("  render and open %8.2f ms", open_menu(form.item));
#endif
    std::printf("\n");
  }

  run_merge_bench(files, folder + "\\merged.ini", where);
}

}  // namespace
}  // namespace proxanto

namespace proxanto {
void run_country_bench();
#ifdef _WIN32
void run_checker_bench(int test_proxies);
#endif
}  // namespace proxanto

// Arguments: "checker" runs the proxy check alone; "--test-proxies PORT"
// names the control port of the check's test proxies (bench/windows-bench).
int main(int argc, char** argv) {
  bool checker_only = false;
  int test_proxies = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "checker") checker_only = true;
    if (argument == "--test-proxies" && i + 1 < argc) test_proxies = std::atoi(argv[++i]);
  }
  if (!checker_only) {
    proxanto::run();
    proxanto::run_country_bench();
  }
#ifdef _WIN32
  proxanto::run_checker_bench(test_proxies);
#else
  (void)test_proxies;
#endif
  return 0;
}
