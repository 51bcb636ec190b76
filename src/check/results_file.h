#pragma once
// The results of the last check, kept in a file beside ip.ini so that they
// serve again after a restart. One line names the file's kind, one gives the
// time of the check, then one line per proxy: its outcome, its delay, its
// level and its address, the address last because it may hold blanks.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "app/ports.h"

namespace proxanto {

inline constexpr const char* kResultsFile = "ip_check.txt";
inline constexpr std::int64_t kResultsLifetimeSeconds = 24 * 60 * 60;

using ProbeResults = std::map<std::string, ProbeResult, std::less<>>;

struct KeptResults {
  std::int64_t time = 0;  // seconds since 1970 (UTC)
  ProbeResults results;
};

std::string write_results(const KeptResults& kept);
// Nothing for a file that is not such a file or is damaged anywhere.
std::optional<KeptResults> read_results(std::string_view text);

}  // namespace proxanto
