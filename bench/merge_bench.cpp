// The update's merge: three plain lists of 20,000 proxies each, half of them
// duplicates, into an ip.ini whose block marks are kept, written as the
// load benchmark writes its database.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/ports.h"
#include "sources/sources.h"

namespace proxanto {

// load_bench.cpp: the most memory `work` held at once.
std::size_t peak_allocated(const std::function<void()>& work);

namespace {

// 10,000 proxies of group `group` (0-2), one a line, as public lists write them.
std::string group_of(int group) {
  std::string text;
  for (int i = 0; i < 10000; ++i) {
    text += std::to_string(11 + i / 250) + "." + std::to_string(i % 250) + "." +
            std::to_string(group) + ".7:" + std::to_string(3128 + i % 5) + "\n";
  }
  return text;
}

}  // namespace

void run_merge_bench(FileSystemPort& files, const std::string& path, const char* where) {
  const std::string a = group_of(0), b = group_of(1), c = group_of(2);
  // Each list holds two groups: 30,000 proxies in all, each list's second
  // half already seen in an earlier one.
  std::vector<SourceList> lists(3);
  const std::string bodies[] = {a + b, b + c, a + c};
  for (int i = 0; i < 3; ++i) lists[static_cast<std::size_t>(i)].fetched.body = bodies[i];
  // The database before: the first list's proxies, every 100th blocked.
  std::string old = "[IP]\r\ncount=10000\r\n";
  int n = 0;
  for (std::size_t at = 0; n < 10000; ++n) {
    const std::size_t end = a.find('\n', at);
    old += std::to_string(n) + "=" + a.substr(at, end - at) + ";8\r\n";
    if (n % 100 == 0) old += std::to_string(n) + "_block=1\r\n";
    at = end + 1;
  }
  std::size_t input = old.size();
  for (const std::string& body : bodies) input += body.size();

  MergeResult merged;
  const auto merge = [&] {
    merged = merge_sources(lists, old, [](std::string_view) { return std::nullopt; });
    files.replace_file(path, merged.database);
  };
  double best = 1e300;
  for (int i = 0; i < 10; ++i) {
    const auto start = std::chrono::steady_clock::now();
    merge();
    best = std::min(
        best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
  }
  merged = {};
  // The lists and the old database are part of the merge's memory.
  const double peak = static_cast<double>(peak_allocated(merge) + input);
  std::printf("Update merge (%s): 3 lists of 20,000 proxies, half duplicates, into ip.ini\n",
              where);
  std::printf(
      "  %d entries, %d blocked: %8.2f ms (target < 50 ms)  peak %5.1f MB (target < 3 x "
      "the input + 4 MB = %.1f MB)\n",
      merged.entries, merged.entries - merged.loadable, best, peak / 1048576.0,
      3 * static_cast<double>(input) / 1048576.0 + 4);
}

}  // namespace proxanto
