// Our profile-file reader and writer. The shared cases are checked against
// the platform's own functions in the Windows test program; arbitrary bytes
// are the fuzz target's job.

#include "database/profile_file.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "shared/profile_cases.h"

namespace proxanto {
namespace {

TEST(ProfileFile, ReadsAndWritesAsThePlatformDoes) {
  using namespace test_support;
  for (const auto& c : profile_string_cases()) {
    const ProfileFile file = parse_profile(c.contents);
    EXPECT_EQ(file.get_string(c.section, c.key, c.default_value, c.size), c.expected) << c.name;
  }
  for (const auto& c : profile_int_cases()) {
    const ProfileFile file = parse_profile(c.contents);
    EXPECT_EQ(file.get_int("IP", c.key, c.default_value), c.expected) << c.name;
  }
  for (const auto& c : profile_write_cases()) {
    EXPECT_EQ(profile_with_value(c.contents, "IP", c.key, "1"), c.expected) << c.name;
  }
}

// The index of a full database finds every entry and every block mark.
TEST(ProfileFile, LoaderFindsEveryEntryOfAFullDatabase) {
  std::string text = "[IP]\r\ncount=32767\r\n";
  for (int n = 0; n < 32767; ++n) {
    text += std::to_string(n) + "=" + std::to_string(n) + ".0.2.1:80;1\r\n";
    if (n % 1000 == 7) text += std::to_string(n) + "_block=1\r\n";
  }
  const std::vector<ProxyRecord> records = load_records(text, std::nullopt);
  EXPECT_EQ(records.size(), 32767u - 33);
  for (const ProxyRecord& r : records) {
    ASSERT_EQ(r.address(), std::to_string(r.entry) + ".0.2.1:80");
  }
}

TEST(Utf8, MalformedSequencesDecodeToReplacementCharactersNeverToAscii) {
  const std::u16string r1 = u"\uFFFD", r2 = r1 + r1, r3 = r2 + r1, r4 = r3 + r1;
  const std::pair<std::string, std::u16string> cases[] = {
      {"a\xC4\x8D", u"a\u010D"},         {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xC0\xBB", r2},                  {"\xC0\x80", r2},           // overlong ";" and NUL
      {"\xE0\x80\xBB", r3},              {"\xF0\x80\x80\xBB", r4},  // longer overlong forms
      {"\xED\xA0\x80", r3},              {"\xF4\x90\x80\x80", r4},  // surrogate, past U+10FFFF
      {"\xE2\x82", r2},                  {"x\x80y", u"x\uFFFDy"},    // cut, stray
  };
  for (const auto& [bytes, units] : cases) EXPECT_EQ(utf8_to_utf16(bytes), units) << bytes;
}

TEST(WriteProfileString, ReportsFailuresAndNeverReplacesAFileItCouldNotRead) {
  testing::MemoryFiles files;
  const std::string path = "C:\\p\\ip.ini";
  files.files[path] = test_data::kWorkedExample;
  files.unreadable = true;
  EXPECT_FALSE(write_profile_string(files, path, "IP", "0_block", "1"));
  files.unreadable = false;
  files.fail_writes = true;
  EXPECT_FALSE(write_profile_string(files, path, "IP", "0_block", "1"));
  EXPECT_EQ(files.files[path], test_data::kWorkedExample);
  // Nothing to change: no write, so no failure either.
  EXPECT_TRUE(write_profile_string(files, path, "IP", "1_block", "1"));
}

}  // namespace
}  // namespace proxanto
