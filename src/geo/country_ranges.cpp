#include "geo/country_ranges.h"

#include <algorithm>

#include "database/countries.h"

namespace proxanto {

namespace {

static_assert(kCountryCount < 0xFF, "a country id must fit the table's byte");

constexpr std::string_view kMagic = "PXCR";
constexpr std::uint32_t kVersion = 1;
constexpr std::uint8_t kNoCode = 0xFF;

// Reads the table's little-endian numbers in order; any read past the end
// marks the whole reading bad.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  std::string_view take(std::size_t n) {
    if (n > bytes_.size() - at_) {
      bad_ = true;
      return {};
    }
    const std::string_view part = bytes_.substr(at_, n);
    at_ += n;
    return part;
  }
  std::uint32_t u32() {
    const std::string_view b = take(4);
    if (b.size() != 4) return 0;
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[3])) << 24;
  }
  bool whole() const { return !bad_ && at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  bool bad_ = false;
};

}  // namespace

std::optional<std::uint32_t> parse_ipv4(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text[0] != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[digits] - '0');
      ++digits;
    }
    // A leading zero may only stand alone: some programs read "010" as octal.
    if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[0] == '0')) {
      return std::nullopt;
    }
    text.remove_prefix(digits);
    address = address << 8 | value;
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

std::optional<std::uint32_t> ipv4_of_address(std::string_view address) {
  while (!address.empty() && (address.front() == ' ' || address.front() == '\t')) {
    address.remove_prefix(1);
  }
  if (const std::size_t scheme = address.find("://"); scheme != std::string_view::npos) {
    address.remove_prefix(scheme + 3);
  }
  return parse_ipv4(address.substr(0, address.find_first_of(":/ \t")));
}

std::optional<CountryRanges> CountryRanges::from_bytes(std::string_view bytes) {
  Reader in(bytes);
  if (in.take(kMagic.size()) != kMagic || in.u32() != kVersion) return std::nullopt;
  const std::uint32_t count = in.u32();
  const std::uint32_t code_count = in.u32();
  // Each range takes five bytes: a table that claims more than it holds is
  // cut off or damaged, and nothing is allocated for it.
  if (count == 0 || count > bytes.size() / 5 || code_count >= kNoCode) return std::nullopt;
  std::vector<std::uint8_t> id_of_code(code_count);
  for (std::uint8_t& id : id_of_code) {
    // A code outside ISO 3166-1 ("XK") names no country of the program.
    const std::optional<int> country = country_of_code(in.take(2));
    id = country ? static_cast<std::uint8_t>(*country) : kNoCountry;
  }

  CountryRanges table;
  table.starts_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    table.starts_[i] = in.u32();
    // The ranges cover every address: the first starts at 0, each after the last.
    if (i == 0 ? table.starts_[i] != 0 : table.starts_[i] <= table.starts_[i - 1]) {
      return std::nullopt;
    }
  }
  const std::string_view codes = in.take(count);
  if (!in.whole()) return std::nullopt;
  table.ids_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto code = static_cast<std::uint8_t>(codes[i]);
    if (code != kNoCode && code >= code_count) return std::nullopt;
    table.ids_[i] = code == kNoCode ? kNoCountry : id_of_code[code];
  }
  return table;
}

bool in_block(std::uint32_t ipv4, const Ipv4Block& block) {
  return (ipv4 ^ block.first) >> (32 - block.bits) == 0;
}

bool public_ipv4(std::uint32_t ipv4) {
  static constexpr Ipv4Block kBlocks[] = {
      {0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10}, {0x7F000000, 8},
      {0xA9FE0000, 16}, {0xAC100000, 12}, {0xC0000000, 24}, {0xC0000200, 24},
      {0xC0A80000, 16}, {0xC6120000, 15}, {0xC6336400, 24}, {0xCB007100, 24},
      {0xE0000000, 3}};
  return std::none_of(std::begin(kBlocks), std::end(kBlocks),
                      [ipv4](const Ipv4Block& block) { return in_block(ipv4, block); });
}

std::optional<int> CountryRanges::country_of(std::uint32_t ipv4) const {
  if (starts_.empty()) return std::nullopt;
  // The range is the last one that starts at or before the address.
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), ipv4);
  const std::uint8_t id = ids_[static_cast<std::size_t>(after - starts_.begin()) - 1];
  if (id == kNoCountry) return std::nullopt;
  return id;
}

}  // namespace proxanto
