#include "proxy/recovery.h"

#include "proxy/registry.h"

namespace proxanto {

void reset_internet_settings(RegistryPort& registry) {
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
  SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 0);
}

void switch_to_direct(RegistryPort& registry) {
  reset_internet_settings(registry);
  clear_applied(registry);
}

void record_applied(RegistryPort& registry, const std::string& address,
                    const std::string& recover_command) {
  SetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordValue, address);
  SetRegString(registry, RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue, recover_command);
}

void clear_applied(RegistryPort& registry) {
  DeleteRegValue(registry, RegRoot::CurrentUser, kRecordKey, kRecordValue);
  DeleteRegValue(registry, RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue);
}

bool recover_after_unclean_end(RegistryPort& registry) {
  const std::optional<RegValue> record =
      registry.read(RegRoot::CurrentUser, kRecordKey, kRecordValue);
  if (!record) return false;
  const std::string applied = GetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordValue);
  const std::string in_settings =
      GetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
  if (!applied.empty() && in_settings == applied) reset_internet_settings(registry);
  clear_applied(registry);
  return true;
}

}  // namespace proxanto
