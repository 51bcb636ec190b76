// The contracts over the system: the registry, in keys of the tests' own
// that are deleted again after each test, and the Win32 file system.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "shared/contracts.h"
#include "win/registry_win.h"
#include "win/win_util.h"

namespace proxanto::test_support {

namespace {

constexpr wchar_t kTestParent[] = L"Software\\ProxantoContractTest";

// The handles this process holds, counted in the system's handle table:
// GetProcessHandleCount is not reliable under Wine (it reports 0).
std::optional<std::size_t> count_process_handles() {
  struct Entry {
    PVOID object;
    ULONG_PTR process_id;
    ULONG_PTR handle;
    ULONG access;
    USHORT backtrace_index;
    USHORT type_index;
    ULONG attributes;
    ULONG reserved;
  };
  struct Table {
    ULONG_PTR count;
    ULONG_PTR reserved;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kExtendedHandleInformation = 64;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004L);

  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto query = ntdll ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                                 GetProcAddress(ntdll, "NtQuerySystemInformation")))
                           : nullptr;
  if (!query) return std::nullopt;
  std::vector<std::uint8_t> buffer(1 << 16);
  LONG status = kInfoLengthMismatch;
  for (int attempt = 0; attempt < 12 && status == kInfoLengthMismatch; ++attempt) {
    ULONG needed = 0;
    status = query(kExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                   &needed);
    if (status == kInfoLengthMismatch) buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return std::nullopt;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  const ULONG_PTR self = GetCurrentProcessId();
  std::size_t count = 0;
  for (ULONG_PTR i = 0; i < table->count; ++i) count += table->entries[i].process_id == self;
  return count;
}

class Win32RegistryBackend final : public RegistryTestBackend {
 public:
  Win32RegistryBackend() : base_(win::narrow(kTestParent) + "\\" + unique_test_name()) {}
  ~Win32RegistryBackend() override {
    const std::wstring base = win::widen(base_);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      RegDeleteTreeW(root, base.c_str());
      RegDeleteKeyW(root, base.c_str());
      // Only succeeds once no other test's key is left under it.
      RegDeleteKeyW(root, kTestParent);
    }
  }
  RegistryPort& port() override { return registry_; }
  const std::string& base_path() const override { return base_; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return win::win_key_exists(root, path);
  }
  std::optional<std::size_t> open_handle_count() override { return count_process_handles(); }

 private:
  win::Win32Registry registry_;
  std::string base_;
};

}  // namespace

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<Win32RegistryBackend>();
}

}  // namespace proxanto::test_support
