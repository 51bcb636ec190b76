#pragma once
// The entries of a database as the loader reads them, blocked ones included,
// for those that need more of a database than the proxies it loads.

#include <functional>
#include <string_view>

namespace proxanto {

// The entries the loader reads at most: entry numbers and menu positions run
// in 16 bits.
inline constexpr int kMaxDatabaseEntries = 32767;

// Every entry that the loader examines (numbers 0 to count - 1) and that has
// an address, in entry order: its number, its value as the loader reads it
// (blanks at both ends removed; valid during the call only) and whether a
// block mark keeps it out of the list. `text` is a decoded database
// (profile_text).
void for_each_entry(std::string_view text,
                    const std::function<void(int n, std::string_view value, bool blocked)>& visit);

}  // namespace proxanto
