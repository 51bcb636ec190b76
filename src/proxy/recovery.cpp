#include "proxy/recovery.h"

#include "app/text.h"
#include "proxy/registry.h"

namespace proxanto {

namespace {

constexpr std::uint32_t kOptionListSize = 20;
constexpr const char* kBypassValue = "ProxyOverride";

std::string current(RegistryPort& registry, const char* name) {
  return GetRegString(registry, RegRoot::CurrentUser, kInternetSettings, name);
}

// The Internet settings back to direct; true when the program's bypass list
// was still there and is gone now.
bool reset_internet_settings(RegistryPort& registry, const std::string& our_bypass) {
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
  SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 0);
  if (our_bypass.empty() || current(registry, kBypassValue) != our_bypass) return false;
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, kBypassValue);
  return true;
}

}  // namespace

void record_applied(RegistryPort& registry, const AppliedRecord& record,
                    const std::string& recover_command) {
  // The details first: a record is there once its address is.
  const auto remove = [&](const char* name) {
    DeleteRegValue(registry, RegRoot::CurrentUser, kRecordKey, name);
  };
  if (record.user) {
    SetRegDword(registry, RegRoot::CurrentUser, kRecordKey, kRecordFlags, record.user->flags);
    SetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordScript,
                 record.user->autoconfig_url);
  } else {
    remove(kRecordFlags);
    remove(kRecordScript);
  }
  if (record.bypass.empty()) {
    remove(kRecordBypass);
  } else {
    SetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordBypass, record.bypass);
  }
  SetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordValue, record.proxy);
  SetRegString(registry, RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue, recover_command);
}

std::optional<AppliedRecord> read_applied(RegistryPort& registry) {
  if (!registry.read(RegRoot::CurrentUser, kRecordKey, kRecordValue)) return std::nullopt;
  AppliedRecord record;
  record.proxy = GetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordValue);
  if (const auto flags = GetRegDword(registry, RegRoot::CurrentUser, kRecordKey, kRecordFlags)) {
    record.user = ConnectionSettings{
        *flags, GetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordScript)};
  }
  record.bypass = GetRegString(registry, RegRoot::CurrentUser, kRecordKey, kRecordBypass);
  return record;
}

void clear_applied(RegistryPort& registry) {
  for (const char* name : {kRecordValue, kRecordFlags, kRecordScript, kRecordBypass}) {
    DeleteRegValue(registry, RegRoot::CurrentUser, kRecordKey, name);
  }
  DeleteRegValue(registry, RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue);
}

bool bypass_free(RegistryPort& registry) {
  const std::optional<RegValue> list =
      registry.read(RegRoot::CurrentUser, kInternetSettings, kBypassValue);
  if (!list) return true;
  // A list of another type is still the user's own.
  if (list->type != kRegSz) return false;
  const std::string text = current(registry, kBypassValue);
  const std::optional<AppliedRecord> record = read_applied(registry);
  return text.empty() || (record && text == record->bypass);
}

ConnectionChange proxy_change(const std::string& server, bool local_bypass) {
  ConnectionChange change{kFlagsFixedProxy, utf8_to_utf16(server), std::nullopt, {}};
  if (local_bypass) change.bypass = utf8_to_utf16(kLocalBypass);
  return change;
}

ConnectionChange direct_change(const std::optional<ConnectionSettings>& user, bool remove_bypass) {
  ConnectionChange change{kFlagsWindowsDefault, {}, std::nullopt, {}};
  if (user) {
    // The user's detection and script as they were; the registry says
    // "direct", so no fixed proxy.
    change.flags =
        kProxyTypeDirect | (user->flags & (kProxyTypeAutoProxyUrl | kProxyTypeAutoDetect));
    change.script = utf8_to_utf16(user->autoconfig_url);
  }
  if (remove_bypass) change.bypass = std::u16string();
  return change;
}

bool send_connection(InternetPort& internet, const ConnectionChange& change,
                     PerConnOption (&options)[4], PerConnOptionList& list) {
  std::uint32_t count = 0;
  options[count++] = PerConnOption{kPerConnFlags, change.flags, nullptr};
  options[count++] = PerConnOption{kPerConnProxyServer, 0,
                                   change.server.empty() ? nullptr : change.server.c_str()};
  if (change.bypass) {
    const char16_t* list_text = change.bypass->empty() ? nullptr : change.bypass->c_str();
    options[count++] = PerConnOption{kPerConnProxyBypass, 0, list_text};
  }
  if (!change.script.empty()) {
    options[count++] = PerConnOption{kPerConnAutoconfigUrl, 0, change.script.c_str()};
  }
  list = PerConnOptionList{kOptionListSize, nullptr, count, 0, options};
  internet.set_option(kOptionPerConnection, &list);
  internet.set_option(kOptionSettingsChanged, nullptr);
  return internet.set_option(kOptionRefresh, nullptr);
}

bool switch_to_direct(RegistryPort& registry) {
  const std::optional<AppliedRecord> record = read_applied(registry);
  const bool removed = reset_internet_settings(registry, record ? record->bypass : std::string());
  clear_applied(registry);
  return removed;
}

bool recover_after_unclean_end(RegistryPort& registry, InternetPort& internet) {
  const std::optional<AppliedRecord> record = read_applied(registry);
  if (!record) return false;
  if (!record->proxy.empty() && current(registry, "ProxyServer") == record->proxy) {
    const bool removed = reset_internet_settings(registry, record->bypass);
    // Clients that are running still hold the dead proxy: tell them as
    // "Stop anonymity" does.
    PerConnOption options[4];
    PerConnOptionList list;
    send_connection(internet, direct_change(record->user, removed), options, list);
  }
  clear_applied(registry);
  return true;
}

}  // namespace proxanto
