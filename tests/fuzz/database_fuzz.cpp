// libFuzzer target: any bytes as ip.ini through the profile reader, the
// loader and the block writer, as a proxy list through the list reader and
// the merge, and as text through the UTF-8 decoder.
// `make fuzz` runs it with AddressSanitizer and UndefinedBehaviorSanitizer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/entries.h"
#include "database/profile_file.h"
#include "sources/sources.h"

namespace {

void fail(int line) {
  std::fprintf(stderr, "broken rule at line %d\n", line);
  std::abort();
}

}  // namespace

// A broken rule names its line, so that a finding says which rule broke.
#define check(condition) ((condition) ? void() : fail(__LINE__))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace proxanto;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The loader's one pass reads what one lookup per key reads.
  const ProfileFile file = parse_profile(bytes);
  const int count = file.get_int("IP", "count", 0);
  const std::vector<ProxyRecord> records = load_records(bytes, std::nullopt);
  if (count <= 64) {
    std::size_t next = 0;
    for (int n = 0; n < count; ++n) {
      const std::string value = file.get_string("IP", std::to_string(n), "", 1550);
      const std::string_view trimmed = trim_blanks(value);
      const std::string_view address = trimmed.substr(0, trimmed.find(';'));
      if (trim_blanks(address).empty() || file.get_int("IP", std::to_string(n) + "_block", 0) != 0) {
        continue;
      }
      check(next < records.size() && records[next].entry == n && records[next].address() == address);
      ++next;
    }
    check(next == records.size());
  }
  load_records(bytes, 8);

  // A block mark written into any text reads back, and a second write of the
  // same mark changes nothing. (UTF-16 files are written in their own
  // encoding, one level up.)
  if (!bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF")) {
    const std::string marked = profile_with_value(bytes, "IP", "0_block", "1");
    check(parse_profile(marked).get_int("IP", "0_block", 0) == 1);
    check(profile_with_value(marked, "IP", "0_block", "1") == marked);
  }

  // As every source of an update and as the database before: the merge
  // writes a database that the loader reads whole, each address once, with
  // every address that was blocked still blocked; merged again into itself
  // it stays as it is.
  std::vector<SourceList> lists(2);
  lists[0].fetched.body = lists[1].fetched.body = bytes;
  lists[1].origin = SourceOrigin::Local;
  const MergeResult merged = merge_sources(lists, bytes, {});
  check(merged.entries <= kMaxDatabaseEntries);
  check(static_cast<int>(load_records(merged.database, std::nullopt).size()) == merged.loadable);
  std::set<std::string> blocked, seen;
  ListCounts counts;
  read_list(profile_text(bytes), SourceOrigin::Local, counts, [&](const ListedProxy& proxy) {
    if (proxy.blocked) blocked.emplace(proxy.address);
  });
  int entries = 0;
  for_each_entry(merged.database, [&](int, std::string_view value, bool is_blocked) {
    const std::string address(trim_blanks(value.substr(0, value.find(';'))));
    check(seen.insert(address).second && (is_blocked || !blocked.count(address)));
    ++entries;
  });
  check(entries == merged.entries);
  lists.resize(1);
  lists[0] = {"", SourceOrigin::Local, {merged.database}};
  check(merge_sources(lists, merged.database, {}).database == merged.database);

  // Only ASCII bytes decode to ASCII: nothing can disguise a ";" or a NUL.
  std::size_t ascii_in = 0, ascii_out = 0;
  for (const char c : bytes) ascii_in += static_cast<unsigned char>(c) < 0x80;
  for (const char16_t unit : utf8_to_utf16(bytes)) ascii_out += unit < 0x80;
  check(ascii_in == ascii_out);
  return 0;
}
