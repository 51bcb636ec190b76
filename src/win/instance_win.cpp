#include "win/instance_win.h"

#include <cstdint>
#include <cwchar>
#include <string>

#include "proxy/recovery.h"
#include "win/main_window.h"
#include "win/registry_win.h"

namespace proxanto::win {

namespace {

constexpr wchar_t kInstanceMutex[] = L"Local\\Proxanto.Instance";
// A watcher holds the instance for a moment while it recovers, and a
// starting instance has no window yet: a second start waits this long before
// it concludes that another program runs.
constexpr DWORD kInstanceWaitMs = 2000;

void ask_running_program() {
  if (HWND running = FindWindowW(kMainWindowClass, nullptr)) {
    PostMessageW(running, RegisterWindowMessageW(kShowProxyMessage), 0, 0);
  }
}

// Owned: the mutex is ours, also when its last owner died holding it.
bool take(HANDLE mutex, DWORD wait_ms) {
  const DWORD result = WaitForSingleObject(mutex, wait_ms);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace

SingleInstance::SingleInstance() : mutex_(CreateMutexW(nullptr, FALSE, kInstanceMutex)) {
  // Without a mutex nothing can be told apart: run rather than refuse.
  if (!mutex_) {
    first_ = true;
    return;
  }
  first_ = FindWindowW(kMainWindowClass, nullptr) == nullptr && take(mutex_.get(), kInstanceWaitMs);
  if (!first_) ask_running_program();
}

void start_watcher() {
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE, TRUE, 0)) {
    return;
  }
  const UniqueHandle inherited(self);
  std::wstring command = L"\"" + module_path() + L"\" /watch " +
                         std::to_wstring(reinterpret_cast<std::uintptr_t>(self));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

int run_watcher(std::wstring_view program_handle) {
  const auto value = static_cast<std::uintptr_t>(std::wcstoull(std::wstring(program_handle).c_str(),
                                                               nullptr, 10));
  const UniqueHandle program(reinterpret_cast<HANDLE>(value));
  if (value == 0 || WaitForSingleObject(program.get(), INFINITE) != WAIT_OBJECT_0) return 1;
  return run_recovery();
}

int run_recovery() {
  // A program started again in the meantime has done its own recovery and
  // applies proxies of its own: leave them alone.
  const UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kInstanceMutex));
  if (mutex && !take(mutex.get(), 0)) return 0;
  Win32Registry registry;
  recover_after_unclean_end(registry);
  if (mutex) ReleaseMutex(mutex.get());
  return 0;
}

}  // namespace proxanto::win
