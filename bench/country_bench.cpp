// The address-to-country table: building it in memory from the bytes the
// program carries (natively the file in the source tree, in the Windows
// build the program's resource, found and loaded as the program does), then
// 100,000 lookups of addresses spread over the whole address space, alone
// and as Form1::lookup_country does them from proxy addresses.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/form1.h"
#include "geo/country_ranges.h"
#include "native/fakes.h"

#ifdef _WIN32
#include "win/adapters_win.h"
#endif

namespace proxanto {

namespace {

using Clock = std::chrono::steady_clock;

double elapsed_ms(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

void run_country_bench() {
#ifdef _WIN32
  win::Win32Process process;
  const auto carried_bytes = [&process] { return process.country_ranges(); };
  const char* where = "the program's resource";
#else
  std::ifstream file(PROXANTO_RANGE_TABLE, std::ios::binary);
  const std::string contents{std::istreambuf_iterator<char>(file), {}};
  const auto carried_bytes = [&contents] { return std::string_view(contents); };
  const char* where = "the file, in memory";
#endif
  std::printf("Country table (%s): built in memory, then 100,000 lookups\n", where);
  double best = 1e300;
  std::optional<CountryRanges> table;
  std::size_t bytes = 0;
  for (int i = 0; i < 10; ++i) {
    const auto start = Clock::now();
    const std::string_view carried = carried_bytes();
    table = CountryRanges::from_bytes(carried);
    best = std::min(best, elapsed_ms(start));
    bytes = carried.size();
  }
  if (!table) {
    std::printf("  the table is missing or damaged\n");
    return;
  }
  std::printf("  %zu ranges, %.2f MB carried by the program (target: files grow by at most 3 MB)\n",
              table->size(), bytes / 1048576.0);
  std::printf("  table ready: %8.2f ms (target < 20 ms)\n", best);

  // Addresses spread evenly, in an order no cache can predict.
  std::vector<std::uint32_t> addresses(100000);
  std::uint32_t x = 2463534242u;
  for (std::uint32_t& a : addresses) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    a = x;
  }
  int known = 0;
  auto start = Clock::now();
  for (const std::uint32_t a : addresses) known += table->country_of(a).has_value();
  const double lookups = elapsed_ms(start);
  std::printf("  100,000 lookups: %8.2f ms, %6.0f ns each (target < 1 us); %d with a country\n",
              lookups, lookups * 1e6 / 100000, known);

  std::vector<std::string> proxies;
  for (const std::uint32_t a : addresses) {
    proxies.push_back(std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." +
                      std::to_string(a >> 8 & 255) + "." + std::to_string(a & 255) + ":8080");
  }
  testing::TestPlatform os;
  os.ranges = std::string(carried_bytes());
  Form1 form{os.platform};
  form.lookup_country(proxies[0]);  // reads the table
  // The program gives no country to an address off the public Internet.
  for (const std::uint32_t a : addresses) known -= table->country_of(a) && !public_ipv4(a);
  start = Clock::now();
  for (const std::string& proxy : proxies) known -= form.lookup_country(proxy).has_value();
  const double through_form = elapsed_ms(start);
  std::printf("  100,000 Form1::lookup_country(\"a.b.c.d:port\"): %8.2f ms, %6.0f ns each%s\n",
              through_form, through_form * 1e6 / 100000, known == 0 ? "" : " (answers differ!)");
}

}  // namespace proxanto
