#pragma once
// The offline IPv4 address-to-country table: every address in one range of
// a sorted list of ranges, each of one country or of none. Built from the
// range table ipv4_country.bin (made by tools/make-country-data), which the
// program carries as a resource and reads only when it needs a country.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace proxanto {

// An IPv4 address in dotted form: four decimal parts of 0-255, each of one to
// three digits without a leading zero, and nothing else (no blanks, no port).
std::optional<std::uint32_t> parse_ipv4(std::string_view text);

// The IPv4 address of a proxy address as the database holds it ("a.b.c.d",
// "a.b.c.d:port", an optional "scheme://" before it); nothing for a host
// name or an IPv6 address.
std::optional<std::uint32_t> ipv4_of_address(std::string_view address);

// The addresses whose first `bits` bits are those of `first`.
struct Ipv4Block {
  std::uint32_t first;
  int bits;
};
bool in_block(std::uint32_t ipv4, const Ipv4Block& block);

// False for an address that is not on the public Internet: this network,
// private and shared ones, loopback, link-local, the IETF's, documentation
// and benchmarking ones, multicast and reserved. The data sets give some of
// them the country of the registry whose block holds them.
bool public_ipv4(std::uint32_t ipv4);

class CountryRanges {
 public:
  // The table in the bytes of ipv4_country.bin; nothing when they are not a
  // whole, well-formed table.
  static std::optional<CountryRanges> from_bytes(std::string_view bytes);

  // The country id of an address; nothing for an address of no country.
  std::optional<int> country_of(std::uint32_t ipv4) const;
  std::size_t size() const { return starts_.size(); }

 private:
  static constexpr std::uint8_t kNoCountry = 0xFF;
  std::vector<std::uint32_t> starts_;  // first address of each range, ascending from 0
  std::vector<std::uint8_t> ids_;      // country id of each range, or kNoCountry
};

}  // namespace proxanto
