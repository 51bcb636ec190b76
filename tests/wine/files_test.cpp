// The file system adapter, and our profile-file reader and writer against
// the platform's own profile functions, in a folder of the test's own.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/text.h"
#include "database/profile_file.h"
#include "shared/contracts.h"
#include "shared/profile_cases.h"
#include "win/file_system_win.h"
#include "win/win_util.h"

namespace proxanto::test_support {
namespace {

namespace fs = std::filesystem;
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

// An empty folder, removed with everything in it at the end.
class Files : public ::testing::Test {
 protected:
  Files() { fs::create_directories(native(folder_)); }
  ~Files() override {
    std::error_code ignored;
    fs::remove_all(native(folder_), ignored);
  }
  static fs::path native(const std::string& path) { return widen(path); }
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }
  // A file name that the platform's profile functions have not seen in this
  // process, so that none of them answers from what it read before.
  std::string put(const std::string& contents) {
    const std::string file = path("case" + std::to_string(next_file_++) + ".ini");
    EXPECT_TRUE(files_.replace_file(file, contents)) << file;
    return file;
  }
  std::optional<std::string> read(const std::string& file) {
    return files_.read_file(file, 1 << 20);
  }

  std::string folder_ =
      narrow((fs::temp_directory_path() / ("proxanto_" + unique_test_name())).wstring());
  win::Win32FileSystem files_;
  int next_file_ = 0;
};

// A file is replaced by way of a new one renamed over it: a write that fails
// leaves the old file whole. A folder is no file; a file over the limit is
// not read.
TEST_F(Files, ReplacedWholeOrNotAtAllAndReadUpToTheLimit) {
  const std::string file = path("f.ini"), folder = path("d.ini");
  for (const std::string& bytes : {std::string("a\0b\r\n\xEF\xBB\xBF", 8), std::string(999, 'x')}) {
    ASSERT_TRUE(files_.replace_file(file, bytes));
    EXPECT_EQ(read(file), bytes);
  }
  EXPECT_EQ(files_.read_file(file, 998), std::nullopt);
  EXPECT_FALSE(files_.file_exists(file + ".tmp"));
  ASSERT_TRUE(fs::create_directory(native(file + ".tmp")));  // where the new contents go first
  EXPECT_FALSE(files_.replace_file(file, "new"));
  EXPECT_EQ(read(file), std::string(999, 'x'));
  EXPECT_FALSE(files_.replace_file(path("missing\\f.ini"), "new"));
  ASSERT_TRUE(fs::create_directory(native(folder)));
  EXPECT_FALSE(files_.replace_file(folder, "new"));
  EXPECT_TRUE(fs::is_directory(native(folder)) && !fs::exists(native(folder + ".tmp")));
  EXPECT_FALSE(files_.file_exists(folder) || read(folder) || read(path("none.ini")));
}

TEST_F(Files, PlatformReadsWhatTheProfileCasesSayAndWhatOurWriterWrote) {
  for (const auto& c : profile_string_cases()) {
    EXPECT_EQ(real_string(c.section, c.key, c.default_value, c.size, put(c.contents)), c.expected)
        << c.name;
  }
  for (const auto& c : profile_int_cases()) {
    const std::wstring file = widen(put(c.contents));
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntW(L"IP", widen(c.key).c_str(), c.default_value,
                                                     file.c_str())),
              c.expected)
        << c.name;
  }
  for (const auto& c : profile_write_cases()) {
    const std::string file = put(c.contents);
    ASSERT_TRUE(write_profile_string(files_, file, "IP", c.key, "1")) << c.name;
    EXPECT_EQ(read(file), c.expected) << c.name;
    EXPECT_EQ(real_string("IP", c.key, "", 1550, file), "1") << c.name;
  }
}

// Files in UTF-16, either byte order, are read as the platform reads them
// and written in their own encoding.
TEST_F(Files, UnicodeProfilesReadAndWriteAsThePlatformDoes) {
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
    const ProfileFile ours = parse_profile(read(file).value());
    for (const char* key : {"count", "0", "note"}) {
      EXPECT_EQ(ours.get_string("IP", key, "", 1550), real_string("IP", key, "", 1550, file))
          << key << (big_endian ? " BE" : " LE");
    }
    ASSERT_TRUE(write_profile_string(files_, file, "IP", "0_block", "1"));
    EXPECT_EQ(real_string("IP", "0_block", "", 9, file) + real_string("IP", "note", "", 9, file),
              "1Čína");
    EXPECT_EQ(read(file), utf16(text + "0_block=1\r\n", big_endian));
  }
}

}  // namespace
}  // namespace proxanto::test_support
