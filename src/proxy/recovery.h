#pragma once
// Getting the system back to a direct connection when the program did not
// end through its exit sequence (killed, crashed, power lost). While a proxy
// is applied, the program keeps two records in the user's registry: the
// address it applied, and a RunOnce command that runs the recovery at the
// next log-on. The exit sequence, stop and restore remove both.

#include <string>

#include "app/ports.h"

namespace proxanto {

// The user's own key of the program (HKEY_CURRENT_USER) and the record.
inline const std::string kRecordKey = "Software\\Marvedo\\Quillet";
inline constexpr const char* kRecordValue = "applied_proxy";
inline const std::string kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kRunOnceValue = "Proxanto";

// Switches the Internet settings to a direct connection, as the exit
// sequence does: no ProxyServer, ProxyEnable 0.
void reset_internet_settings(RegistryPort& registry);

// What the exit sequence, stop and restore do: a direct connection in the
// Internet settings, and the records gone.
void switch_to_direct(RegistryPort& registry);

// Written before a proxy goes into the Internet settings; `recover_command`
// is what RunOnce runs at the next log-on.
void record_applied(RegistryPort& registry, const std::string& address,
                    const std::string& recover_command);
void clear_applied(RegistryPort& registry);

// After a run that did not end cleanly: resets the Internet settings when
// they still hold the proxy that run applied (one the user set by hand since
// is left alone), and removes the records. True when a record was there.
bool recover_after_unclean_end(RegistryPort& registry);

}  // namespace proxanto
