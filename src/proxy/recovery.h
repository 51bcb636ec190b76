#pragma once
// The way into a proxy and back to a direct connection, also when the
// program did not end through its exit sequence (killed, crashed, power
// lost). While a proxy is applied, the program keeps a record in the user's
// registry: the address it applied, the user's own connection flags and
// script address from before, and the bypass list it set, if any; and a
// RunOnce command that runs the recovery at the next log-on. Stop, restore
// and the exit sequence remove them.

#include <cstdint>
#include <optional>
#include <string>

#include "app/ports.h"

namespace proxanto {

// The user's own key of the program (HKEY_CURRENT_USER) and the record.
inline const std::string kRecordKey = "Software\\Marvedo\\Quillet";
inline constexpr const char* kRecordValue = "applied_proxy";
inline constexpr const char* kRecordFlags = "user_proxy_flags";
inline constexpr const char* kRecordScript = "user_autoconfig_url";
inline constexpr const char* kRecordBypass = "applied_bypass";
inline const std::string kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kRunOnceValue = "Proxanto";

// While a proxy is applied: that proxy alone, no automatic detection, no
// script, either of which could send the traffic elsewhere.
inline constexpr std::uint32_t kFlagsFixedProxy = kProxyTypeDirect | kProxyTypeProxy;
// Windows' own default, given back when the user's flags are not known.
inline constexpr std::uint32_t kFlagsWindowsDefault = kProxyTypeDirect | kProxyTypeAutoDetect;

// Set with a proxy when the user has no bypass list: names without a dot,
// the loopback, private and link-local addresses go direct, so the user's
// own network never goes through a stranger's proxy.
inline constexpr const char* kLocalBypass =
    "<local>;localhost;127.*;10.*;172.16.*;172.17.*;172.18.*;172.19.*;172.20.*;172.21.*;"
    "172.22.*;172.23.*;172.24.*;172.25.*;172.26.*;172.27.*;172.28.*;172.29.*;172.30.*;"
    "172.31.*;192.168.*;169.254.*;[::1]";

// What a run keeps while its proxy is applied.
struct AppliedRecord {
  std::string proxy;
  std::optional<ConnectionSettings> user;  // none in an older version's record
  std::string bypass;  // the list the program set; empty when the user's own stayed
};

// Written before a proxy goes into the Internet settings; `recover_command`
// is what RunOnce runs at the next log-on.
void record_applied(RegistryPort& registry, const AppliedRecord& record,
                    const std::string& recover_command);
std::optional<AppliedRecord> read_applied(RegistryPort& registry);
void clear_applied(RegistryPort& registry);

// True when ProxyOverride holds no list of the user's own: it is absent,
// empty, or still the list that the applied record says the program set.
bool bypass_free(RegistryPort& registry);

// One change of the default connection as WinINet takes it.
struct ConnectionChange {
  std::uint32_t flags = 0;
  std::u16string server;                 // sent as null when empty
  std::optional<std::u16string> bypass;  // sent only when there; empty removes the list
  std::u16string script;                 // sent only when not empty
};
// A proxy; with `local_bypass`, the local addresses go direct.
ConnectionChange proxy_change(const std::string& server, bool local_bypass);
// Back to a direct connection with the user's own detection and script (or
// Windows' default when they are not known), the program's bypass list
// removed when `remove_bypass`.
ConnectionChange direct_change(const std::optional<ConnectionSettings>& user, bool remove_bypass);
// Fills `options` and `list` (which point into `change`), then asks WinINet
// to apply them, to note the change and to refresh. True when the refresh
// was accepted.
bool send_connection(InternetPort& internet, const ConnectionChange& change,
                     PerConnOption (&options)[4], PerConnOptionList& list);

// What the exit sequence, stop and restore do in the registry: no
// ProxyServer, ProxyEnable 0, the program's bypass list removed while it is
// still there, and the records gone. True when that list was removed.
bool switch_to_direct(RegistryPort& registry);

// After a run that did not end cleanly: when the Internet settings still
// hold the proxy that run applied, switches them to direct and gives WinINet
// the user's own connection back (a proxy the user set by hand since is left
// alone); removes the records. True when a record was there.
bool recover_after_unclean_end(RegistryPort& registry, InternetPort& internet);

}  // namespace proxanto
