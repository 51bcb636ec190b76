// Our profile-file reader and writer where the platform cannot be asked: the
// shared cases are checked against the platform's own functions in the
// Windows test program.

#include "database/profile_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fakes.h"
#include "shared/profile_cases.h"

namespace proxanto {
namespace {

// The cases hold what the platform's profile functions give; the Windows
// test program checks them against the platform itself.
TEST(ProfileFile, ReadsAndWritesAsThePlatformDoes) {
  using namespace test_support;
  for (const auto& c : profile_string_cases()) {
    EXPECT_EQ(parse_profile(c.contents).get_string(c.section, c.key, c.default_value, c.size),
              c.expected)
        << c.name;
  }
  for (const auto& c : profile_int_cases()) {
    EXPECT_EQ(parse_profile(c.contents).get_int("IP", c.key, c.default_value), c.expected)
        << c.name;
  }
  for (const auto& c : profile_write_cases()) {
    EXPECT_EQ(profile_with_value(c.contents, "IP", c.key, "1"), c.expected) << c.name;
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

TEST(ProfileFileReader, ReadsEveryEntryOfAFullDatabase) {
  constexpr int kEntries = 32767;
  const auto entry = [](int n) {
    return "10.0." + std::to_string(n / 256) + "." + std::to_string(n % 256) + ":8080;" +
           std::to_string(n % 33);
  };
  std::string text = "[IP]\r\ncount=" + std::to_string(kEntries) + "\r\n";
  for (int n = 0; n < kEntries; ++n) {
    text += std::to_string(n) + "=" + entry(n) + "\r\n";
    if (n % 1000 == 7) text += std::to_string(n) + "_block=1\r\n";
  }
  const ProfileFile file(text);
  EXPECT_EQ(file.get_int("IP", "count", 0), kEntries);
  int blocked = 0;
  for (int n = 0; n < kEntries; ++n) {
    ASSERT_EQ(file.get_string("IP", std::to_string(n), "", 1550), entry(n)) << n;
    blocked += file.get_int("IP", std::to_string(n) + "_block", 0);
  }
  EXPECT_EQ(blocked, 33);
  EXPECT_EQ(file.get_string("IP", std::to_string(kEntries), "", 1550), "");
}

TEST(ProfileFileReader, CopiesOutliveTheText) {
  ProfileFile copy;
  {
    std::string text = "[IP]\r\nk=value\r\n";
    const ProfileFile original(text);
    text.assign(text.size(), 'x');
    copy = original;
  }
  const ProfileFile moved = std::move(copy);
  EXPECT_EQ(moved.get_string("IP", "k", "", 100), "value");
}

TEST(ProfileFile, SurvivesArbitraryBytesAndWritesIntoThem) {
  std::mt19937 random(12345);
  const char alphabet[] = {'[', ']', '=',    '\r',   '\n',   ' ',    '"',    '\'',   '\0', 'a',
                           'I', 'P', '\xC4', '\x8D', '\xF0', '\xEF', '\xBB', '\xBF', '0',  '-'};
  for (int round = 0; round < 200; ++round) {
    std::string text(static_cast<std::size_t>(random() % 300), '\0');
    for (char& c : text) c = alphabet[random() % sizeof(alphabet)];
    const ProfileFile file(text);
    for (std::size_t size : {0u, 1u, 2u, 3u, 30u}) {
      EXPECT_LT(file.get_string("IP", "a", "\"q\"", size).size(), size == 0 ? 1 : size * 4);
    }
    file.get_int("ip", "a", 0);
    const std::string written = profile_with_value(text, "IP", "a", "1");
    EXPECT_EQ(ProfileFile(written).get_string("IP", "a", "", 100), "1") << round;
  }
}

TEST(WriteProfileString, ReportsFailuresAndNeverReplacesAFileItCouldNotRead) {
  testing::MemoryFiles files;
  const std::string path = "C:\\p\\ip.ini";
  files.files[path] = test_data::kWorkedExample;
  files.unreadable = true;
  EXPECT_FALSE(write_profile_string(files, path, "IP", "0_block", "1"));
  files.unreadable = false;
  EXPECT_EQ(files.files[path], test_data::kWorkedExample);
  files.fail_writes = true;
  EXPECT_FALSE(write_profile_string(files, path, "IP", "0_block", "1"));
  EXPECT_EQ(files.files[path], test_data::kWorkedExample);
  // Nothing to change: no write, so no failure either.
  EXPECT_TRUE(write_profile_string(files, path, "IP", "1_block", "1"));
}

}  // namespace
}  // namespace proxanto
