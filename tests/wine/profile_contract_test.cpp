// Our profile-file reader and writer against the platform's own profile
// functions.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/text.h"
#include "database/profile_file.h"
#include "shared/contracts.h"
#include "wine/test_folder.h"
#include "shared/profile_cases.h"
#include "win/win_util.h"

namespace proxanto {
namespace {

using namespace test_support;
using win::narrow;
using win::widen;

std::string real_string(const std::string& section, const std::string& key,
                        const std::string& default_value, std::size_t size,
                        const std::string& file) {
  std::vector<wchar_t> buffer(size + 1, L'#');
  const DWORD length = GetPrivateProfileStringW(widen(section).c_str(), widen(key).c_str(),
                                                widen(default_value).c_str(), buffer.data(),
                                                static_cast<DWORD>(size), widen(file).c_str());
  return narrow(std::wstring_view(buffer.data(), length));
}

int real_int(const std::string& key, int default_value, const std::string& file) {
  return static_cast<int>(
      GetPrivateProfileIntW(L"IP", widen(key).c_str(), default_value, widen(file).c_str()));
}

// The names in a list of NUL-terminated names that ends with an empty one.
std::vector<std::wstring> name_list(const std::vector<wchar_t>& buffer, DWORD length) {
  std::vector<std::wstring> names;
  for (DWORD i = 0; i < length; i += static_cast<DWORD>(names.back().size()) + 1) {
    names.emplace_back(buffer.data() + i);
  }
  return names;
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

// Every key the platform finds in a file, with its value.
Snapshot real_snapshot(const std::string& file) {
  const std::wstring wide_file = widen(file);
  std::vector<wchar_t> buffer(1 << 16);
  const auto size = static_cast<DWORD>(buffer.size());
  std::vector<std::wstring> sections =
      name_list(buffer, GetPrivateProfileSectionNamesW(buffer.data(), size, wide_file.c_str()));
  sections.emplace_back();  // the keys before any section line
  Snapshot snapshot;
  for (const std::wstring& section : sections) {
    const DWORD keys = GetPrivateProfileStringW(section.c_str(), nullptr, L"", buffer.data(), size,
                                                wide_file.c_str());
    for (const std::wstring& key : name_list(buffer, keys)) {
      snapshot[{ascii_lower(narrow(section)), ascii_lower(narrow(key))}] =
          real_string(narrow(section), narrow(key), "", 1550, file);
    }
  }
  return snapshot;
}

class ProfileContract : public ::testing::Test {
 protected:
  // A file name that the platform's profile functions have not seen in this
  // process, so that none of them answers from what it read before.
  std::string put(const std::string& contents) {
    const std::string file = folder_.path("case" + std::to_string(next_file_++) + ".ini");
    EXPECT_TRUE(files_.replace_file(file, contents)) << file;
    return file;
  }

  TestFolder folder_;
  FileSystemPort& files_ = folder_.files();
  int next_file_ = 0;
};

// The native tests hold our reader and writer to the same cases.
TEST_F(ProfileContract, PlatformGivesWhatTheCasesSay) {
  for (const auto& c : profile_string_cases()) {
    EXPECT_EQ(real_string(c.section, c.key, c.default_value, c.size, put(c.contents)), c.expected)
        << c.name;
  }
  for (const auto& c : profile_int_cases()) {
    EXPECT_EQ(real_int(c.key, c.default_value, put(c.contents)), c.expected) << c.name;
  }
}

TEST_F(ProfileContract, MissingFileGivesTheDefault) {
  const std::string file = folder_.path("none.ini");
  const ProfileFile ours;
  EXPECT_EQ(ours.get_string("IP", "0", "\"dq\" ", 1550),
            real_string("IP", "0", "\"dq\" ", 1550, file));
  EXPECT_EQ(ours.get_string("IP", "0", "", 1550), "");
  EXPECT_EQ(ours.get_int("IP", "count", 0), real_int("count", 0, file));
  EXPECT_EQ(ours.get_int("IP", "count", 9), real_int("count", 9, file));
}

TEST_F(ProfileContract, WrittenKeyReadsBackAndNothingElseChanges) {
  for (const auto& c : profile_write_cases()) {
    const Snapshot before = real_snapshot(put(c.contents));
    const std::string file = put(c.contents);
    ASSERT_TRUE(write_profile_string(files_, file, "IP", c.key, "1")) << c.name;
    EXPECT_EQ(files_.read_file(file, 1 << 20), c.expected) << c.name;
    EXPECT_EQ(real_string("IP", c.key, "", 1550, file), "1") << c.name;
    Snapshot expected = before;
    expected[{"ip", ascii_lower(c.key)}] = "1";
    EXPECT_EQ(real_snapshot(file), expected) << c.name;
  }
}

TEST_F(ProfileContract, UnicodeFilesReadAndWriteAsThePlatformDoes) {
  const auto utf16 = [](const std::string& text, bool big_endian) {
    std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : utf8_to_utf16(text)) {
      const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
      bytes += big_endian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
  };
  const std::string text = "[IP]\r\ncount=2\r\n0=192.0.2.1:80;8\r\nnote=Čína\r\n";
  for (const bool big_endian : {false, true}) {
    const std::string file = put(utf16(text, big_endian));
    const ProfileFile ours = parse_profile(files_.read_file(file, 1 << 20).value());
    for (const char* key : {"count", "0", "note"}) {
      EXPECT_EQ(ours.get_string("IP", key, "", 1550), real_string("IP", key, "", 1550, file))
          << key << (big_endian ? " BE" : " LE");
    }
    ASSERT_TRUE(write_profile_string(files_, file, "IP", "0_block", "1"));
    EXPECT_EQ(real_int("0_block", 0, file), 1);
    EXPECT_EQ(real_string("IP", "note", "", 1550, file), "Čína");
    EXPECT_EQ(files_.read_file(file, 1 << 20), utf16(text + "0_block=1\r\n", big_endian));
  }
}

}  // namespace
}  // namespace proxanto
