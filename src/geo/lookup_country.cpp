#include "app/form1.h"

namespace proxanto {

std::optional<int> Form1::lookup_country(std::string_view address) {
  const std::optional<std::uint32_t> ipv4 = ipv4_of_address(address);
  if (!ipv4 || !public_ipv4(*ipv4)) return std::nullopt;
  if (!country_ranges_read_) {
    // A missing or damaged table is read once: the addresses then simply
    // have no country.
    country_ranges_read_ = true;
    country_ranges_ = CountryRanges::from_bytes(os_.process.country_ranges());
  }
  return country_ranges_ ? country_ranges_->country_of(*ipv4) : std::nullopt;
}

}  // namespace proxanto
