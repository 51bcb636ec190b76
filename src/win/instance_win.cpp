#include "win/instance_win.h"

#include <sddl.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "app/form1.h"
#include "proxy/recovery.h"
#include "win/adapters_win.h"
#include "win/main_window.h"
#include "win/registry_win.h"

namespace proxanto::win {

namespace {

// A watcher holds the instance for a moment while it recovers, and a
// starting instance has no window yet: a second start waits this long before
// it concludes that another program runs.
constexpr DWORD kInstanceWaitMs = 2000;

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

// The user's security identifier as text ("S-1-5-21-..."); empty when the
// system does not tell.
std::wstring user_sid() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint64_t> buffer(size / sizeof(std::uint64_t) + 1);  // aligned for TOKEN_USER
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return {};
  }
  const Unique<void*, LocalFreer> owned(text);
  return text;
}

// Owned: the guard is ours, also when its last owner died holding it.
bool take(HANDLE guard, DWORD wait_ms) {
  const DWORD result = WaitForSingleObject(guard, wait_ms);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void tell_other_session() {
  Win32Registry registry;
  Win32Strings strings(module());
  Win32MessageBoxes(nullptr).show(message_in_saved_language(registry, strings, 85), kAppTitle,
                                  kMbOk | kMbIconInformation);
}

}  // namespace

UniqueHandle open_instance_guard() {
  const std::wstring sid = user_sid();
  // Without the user's identity, one instance per session is what can be told apart.
  if (sid.empty()) return UniqueHandle(CreateMutexW(nullptr, FALSE, L"Local\\Proxanto.Instance"));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW((L"D:(A;;GA;;;" + sid + L")").c_str(),
                                                       SDDL_REVISION_1, &descriptor, nullptr);
  const Unique<void*, LocalFreer> owned(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  return UniqueHandle(CreateMutexW(descriptor ? &attributes : nullptr, FALSE,
                                   (L"Global\\Proxanto.Instance." + sid).c_str()));
}

SingleInstance::SingleInstance() : mutex_(open_instance_guard()) {
  // Without a guard nothing can be told apart: run rather than refuse.
  if (!mutex_) {
    first_ = true;
    return;
  }
  first_ = FindWindowW(kMainWindowClass, nullptr) == nullptr && take(mutex_.get(), kInstanceWaitMs);
  if (first_) return;
  if (HWND running = FindWindowW(kMainWindowClass, nullptr)) {
    PostMessageW(running, RegisterWindowMessageW(kShowProxyMessage), 0, 0);
  } else {
    tell_other_session();
  }
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
  // An instance of this user that runs, in any session, applies proxies of
  // its own and recovers at its own start: leave them alone.
  const UniqueHandle guard = open_instance_guard();
  if (guard && !take(guard.get(), 0)) return 0;
  Win32Registry registry;
  Win32Internet internet;
  recover_after_unclean_end(registry, internet);
  if (guard) ReleaseMutex(guard.get());
  return 0;
}

}  // namespace proxanto::win
