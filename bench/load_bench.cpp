// Load and IP-menu benchmarks. Natively it times the loader with our profile
// reader; the Windows build (run under Wine) also times the same loop over the
// platform's profile functions, one read per key as they work, and the
// rendering of the IP menu.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/form1.h"
#include "native/fakes.h"

#ifdef _WIN32
#include <windows.h>

#include "win/file_system_win.h"
#include "win/main_window.h"
#endif

namespace proxanto {
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

std::string database(int entries) {
  std::string text = "[IP]\r\ncount=" + std::to_string(entries) + "\r\n";
  for (int n = 0; n < entries; ++n) {
    text += std::to_string(n) + "=" + std::to_string(10 + n % 200) + "." +
            std::to_string(n / 200 % 250) + ".0." + std::to_string(n % 250 + 1) + ":8080;" +
            std::to_string(n % 33) + ";extra\r\n";
    if (n % 97 == 0) text += std::to_string(n) + "_block=1\r\n";
  }
  return text;
}

std::string temp_folder() {
#ifdef _WIN32
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  std::string folder = win::narrow(path) + "proxanto-bench";
  CreateDirectoryW(win::widen(folder).c_str(), nullptr);
  return folder;
#else
  return "C:\\bench";  // in memory
#endif
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
  const std::string folder = temp_folder();
#ifdef _WIN32
  win::Win32FileSystem files;
  const char* where = "Windows build";
#else
  testing::MemoryFiles files;
  const char* where = "native, file in memory";
#endif
  std::printf("Loader (%s): nacti_ip, with the IP menu model and one random change\n", where);
  double previous = 0;
  for (int entries : {1000, 10000, 32767}) {
    testing::TestPlatform os;
    os.process.folder = folder;
    const std::string path = folder + "\\ip.ini";
    files.replace_file(path, database(entries));
    Platform real{os.registry, files,     os.internet, os.boxes,   os.strings,
                  os.tray,     os.clipboard, os.popup, os.timers,  os.keyboard,
                  os.window,   os.process, os.random, os.download};
    Form1 form{real};
    form.ini_path = path;
    form.ARR_CS = czech_country_names();
    form.ARR_EN = english_country_names();
    const double ours = millis([&] { form.nacti_ip(0); }, 5);
    std::printf("  %6d entries: our reader %9.2f ms (%d loaded)", entries, ours, form.ip_count);
    if (previous > 0) std::printf("  growth x%.1f", ours / previous);
    previous = ours;
#ifdef _WIN32
    int accepted = 0;
    const std::wstring wide = win::widen(path);
    const int repeats = entries > 10000 ? 1 : 2;
    const double platform = millis([&] { accepted = platform_load(wide); }, repeats);
    std::printf("  platform %10.2f ms (%d loaded)  ratio %.1f", platform, accepted,
                platform / ours);
#endif
    std::printf("\n");
  }

  std::printf("IP menu: ipnabidka builds the model");
#ifdef _WIN32
  std::printf(", then the pop-up menu is rendered and opened");
#endif
  std::printf("\n");
  for (int proxies : {1000, 10000}) {
    testing::TestPlatform os;
    Form1 form{os.platform};
    form.ARR_CS = czech_country_names();
    form.ARR_EN = english_country_names();
    for (int i = 0; i < proxies; ++i) {
      form.ip_list.push_back({{"192.0.2." + std::to_string(i % 250) + ":" + std::to_string(i),
                               std::to_string(i % 33)},
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
}

}  // namespace
}  // namespace proxanto

int main() {
  proxanto::run();
  return 0;
}
