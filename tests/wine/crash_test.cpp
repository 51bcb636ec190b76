#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/form1.h"
#include "proxy/registry.h"
#include "win/adapters_win.h"
#include "win/main_window.h"
#include "win/registry_win.h"
#include "wine/null_ports.h"

namespace proxanto::win {
namespace {

// Runs in a child process (see below): a proxy is in use when a handler
// fails, the way an unforeseen bug would.
TEST(FailingChild, DISABLED_FailsWithAProxyInUse) {
  char mode[32] = {};
  GetEnvironmentVariableA("PROXANTO_FAILURE", mode, sizeof(mode));
  NullPorts unused;
  Win32Registry registry;
  Win32Internet internet;
  Win32Process process;
  Platform platform{registry, unused, internet, unused, unused, unused, unused,
                    unused,   unused, unused,   unused, process, unused};
  Form1 form{platform};
  install_crash_handler(&form);
  SetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "192.0.2.66:80");
  SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
  if (std::string(mode) == "exception") {
    guarded(&form, [] { throw std::runtime_error("unforeseen"); });
  } else {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
}

DWORD run_failing_child(const char* mode) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_also_run_disabled_tests --gtest_catch_exceptions=0"
                         L" --gtest_filter=FailingChild.*";
  SetEnvironmentVariableA("PROXANTO_FAILURE", mode);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &child)) {
    return 0xFFFFFFFF;
  }
  WaitForSingleObject(child.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  SetEnvironmentVariableA("PROXANTO_FAILURE", nullptr);
  return code;
}

TEST(UnexpectedFailure, RunsTheExitSequenceSoNoProxyIsLeftBehind) {
  Win32Registry registry;
  for (const char* mode : {"exception", "crash"}) {
    SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 7);
    const DWORD code = run_failing_child(mode);
    EXPECT_NE(code, STILL_ACTIVE) << mode;
    EXPECT_FALSE(registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"))
        << mode;
    const auto enable = registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
    ASSERT_TRUE(enable.has_value()) << mode;
    EXPECT_EQ(enable->data, (std::vector<std::uint8_t>{0, 0, 0, 0})) << mode;
  }
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
}

}  // namespace
}  // namespace proxanto::win
