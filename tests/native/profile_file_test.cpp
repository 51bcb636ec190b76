// Our profile-file reader and writer, and the standard-library file
// operations they are written through in native runs.

#include "database/profile_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <system_error>

#include "portable/std_file_system.h"
#include "shared/profile_cases.h"

namespace proxanto {
namespace {

namespace fs = std::filesystem;
using test_support::loader_example_file;
using test_support::profile_int_cases;
using test_support::profile_string_cases;
using test_support::profile_write_cases;

std::string read_text(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_text(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

// Paths in the program's form: folder, one backslash, file name.
std::string program_path(const fs::path& folder, const std::string& name) {
  return folder.string() + "\\" + name;
}

class ProfileDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* configured = std::getenv("PROXANTO_TEST_TMP");
    const fs::path parent =
        configured && *configured ? fs::path(configured) : fs::temp_directory_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = parent / ("profile_" + std::string(info->test_suite_name()) + "_" + info->name() +
                        "_" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
  StdFileSystem files_;
};

class StdFileSystemTest : public ProfileDiskTest {};

// A file system whose reads and writes can be made to fail.
class ScriptedFiles final : public FileSystemPort {
 public:
  std::optional<std::string> read_file(const std::string&) override {
    ++reads;
    if (unreadable) return std::nullopt;
    return contents;
  }
  bool replace_file(const std::string&, std::string_view text) override {
    ++replaces;
    if (fail_replace) return false;
    contents = std::string(text);
    return true;
  }
  bool file_exists(const std::string&) override { return contents.has_value(); }
  bool copy_file(const std::string&, const std::string&) override { return false; }
  bool rename_file(const std::string&, const std::string&) override { return false; }
  bool remove_file(const std::string&) override { return false; }

  std::optional<std::string> contents;
  bool unreadable = false;
  bool fail_replace = false;
  int reads = 0;
  int replaces = 0;
};

// Reader ------------------------------------------------------------------

TEST(ProfileFileReader, GivesWhatThePlatformGives) {
  for (const auto& c : profile_string_cases()) {
    const ProfileFile file(c.contents);
    EXPECT_EQ(file.get_string(c.section, c.key, c.default_value, c.size), c.expected) << c.name;
  }
}

TEST(ProfileFileReader, ReadsNumbersAsThePlatformDoes) {
  for (const auto& c : profile_int_cases()) {
    const ProfileFile file(c.contents);
    EXPECT_EQ(file.get_int("IP", c.key, c.default_value), c.expected) << c.name;
  }
}

TEST(ProfileFileReader, ReadsTheLoaderExample) {
  const ProfileFile file(loader_example_file());
  EXPECT_EQ(file.get_int("IP", "count", 0), 6);
  EXPECT_EQ(file.get_string("IP", "0", "", 1550), "192.0.2.10:8080;8");
  EXPECT_EQ(file.get_string("IP", "1", "", 1550), "198.51.100.7:3128;1");
  EXPECT_EQ(file.get_string("IP", "2", "", 1550), "203.0.113.25:80;8");
  EXPECT_EQ(file.get_string("IP", "3", "", 1550), "192.0.2.200:8000;24");
  EXPECT_EQ(file.get_string("IP", "4", "", 1550), "");
  EXPECT_EQ(file.get_string("IP", "5", "", 1550), "198.51.100.33:8080;8;x");
  EXPECT_EQ(file.get_string("IP", "6", "", 1550), "");
  EXPECT_EQ(file.get_int("IP", "1_block", 0), 1);
  EXPECT_EQ(file.get_int("IP", "0_block", 0), 0);
  EXPECT_EQ(file.get_int("ip", "COUNT", 0), 6);
}

TEST(ProfileFileReader, EmptyAndMissingFilesGiveDefaults) {
  const ProfileFile nothing;
  EXPECT_EQ(nothing.get_string("IP", "0", "d", 1550), "d");
  EXPECT_EQ(nothing.get_int("IP", "count", 3), 3);
  const ProfileFile empty("");
  EXPECT_EQ(empty.get_string("", "a", "d", 1550), "d");
  EXPECT_EQ(empty.get_int("IP", "count", 0), 0);
  EXPECT_EQ(empty.get_string("IP", "0", "", 0), "");
}

TEST(ProfileFileReader, CopiesOutliveTheText) {
  ProfileFile copy;
  {
    std::string text = "[IP]\r\nk=value\r\n";
    const ProfileFile original(text);
    text.assign(text.size(), 'x');
    copy = original;
  }
  ProfileFile moved = std::move(copy);
  EXPECT_EQ(moved.get_string("IP", "k", "", 100), "value");
}

TEST(ProfileFileReader, ReadsEveryEntryOfAFullDatabase) {
  constexpr int kEntries = 32767;
  std::string text = "[IP]\r\ncount=" + std::to_string(kEntries) + "\r\n";
  for (int n = 0; n < kEntries; ++n) {
    text += std::to_string(n) + "=10.0." + std::to_string(n / 256) + "." + std::to_string(n % 256) +
            ":8080;" + std::to_string(n % 33) + "\r\n";
    if (n % 1000 == 7) text += std::to_string(n) + "_block=1\r\n";
  }
  const ProfileFile file(text);
  EXPECT_EQ(file.get_int("IP", "count", 0), kEntries);
  int blocked = 0;
  for (int n = 0; n < kEntries; ++n) {
    const std::string expected = "10.0." + std::to_string(n / 256) + "." + std::to_string(n % 256) +
                                 ":8080;" + std::to_string(n % 33);
    ASSERT_EQ(file.get_string("IP", std::to_string(n), "", 1550), expected) << n;
    blocked += file.get_int("IP", std::to_string(n) + "_block", 0);
  }
  EXPECT_EQ(blocked, 33);
  EXPECT_EQ(file.get_string("IP", std::to_string(kEntries), "", 1550), "");
}

TEST(ProfileFileReader, SurvivesArbitraryBytes) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::string text(static_cast<std::size_t>(random() % 300), '\0');
    for (char& c : text) {
      const char alphabet[] = {'[', ']', '=',    '\r',   '\n',   ' ',    '"',    '\'',   '\0', 'a',
                               'I', 'P', '\xC4', '\x8D', '\xF0', '\xEF', '\xBB', '\xBF', '0',  '-'};
      c = alphabet[random() % sizeof(alphabet)];
    }
    const ProfileFile file(text);
    for (std::size_t size : {0u, 1u, 2u, 3u, 30u}) {
      const std::string value = file.get_string("IP", "a", "\"q\"", size);
      EXPECT_LT(value.size(), size == 0 ? 1 : size * 4);
    }
    file.get_int("ip", "a", 0);
    const std::string written = profile_with_value(text, "IP", "a", "1");
    EXPECT_EQ(ProfileFile(written).get_string("IP", "a", "", 100), "1") << round;
  }
}

// Writer ------------------------------------------------------------------

TEST(ProfileFileWriter, ChangesOneKeyAndKeepsEveryOtherByte) {
  for (const auto& c : profile_write_cases()) {
    EXPECT_EQ(profile_with_value(c.contents, c.section, c.key, c.value), c.expected) << c.name;
  }
}

// Every lookup of the reader's cases gives the same after a write of another
// key, and the written key reads back.
TEST(ProfileFileWriter, LeavesEveryOtherLookupAsItWas) {
  for (const auto& c : profile_string_cases()) {
    const std::string written = profile_with_value(c.contents, "IP", "9_block", "1");
    const ProfileFile before(c.contents);
    const ProfileFile after(written);
    EXPECT_EQ(after.get_int("IP", "9_block", 0), 1) << c.name;
    if (c.key != "9_block") {
      EXPECT_EQ(after.get_string(c.section, c.key, c.default_value, c.size),
                before.get_string(c.section, c.key, c.default_value, c.size))
          << c.name;
    }
  }
}

TEST(ProfileFileWriter, WritesTheBlockMarkOfTheExample) {
  const std::string written = profile_with_value(loader_example_file(), "IP", "2_block", "1");
  EXPECT_EQ(written, loader_example_file() + "2_block=1\r\n");
  const ProfileFile file(written);
  EXPECT_EQ(file.get_int("IP", "2_block", 0), 1);
  EXPECT_EQ(file.get_int("IP", "1_block", 0), 1);
  EXPECT_EQ(file.get_int("IP", "count", 0), 6);
}

TEST(ProfileFileWriter, SecondWriteChangesTheAddedLine) {
  std::string text = "[IP]\ncount=1\n";
  text = profile_with_value(text, "IP", "0_block", "1");
  text = profile_with_value(text, "ip", "0_BLOCK", "2");
  EXPECT_EQ(text, "[IP]\ncount=1\n0_block=2\n");
}

// write_profile_string --------------------------------------------------------

TEST(WriteProfileString, DoesNotReplaceAFileItCannotRead) {
  ScriptedFiles files;
  files.contents = loader_example_file();
  files.unreadable = true;
  EXPECT_FALSE(write_profile_string(files, "C:\\p\\ip.ini", "IP", "0_block", "1"));
  EXPECT_EQ(files.replaces, 0);
  EXPECT_EQ(files.contents, loader_example_file());
}

TEST(WriteProfileString, ReportsAFailedReplace) {
  ScriptedFiles files;
  files.contents = loader_example_file();
  files.fail_replace = true;
  EXPECT_FALSE(write_profile_string(files, "C:\\p\\ip.ini", "IP", "0_block", "1"));
  EXPECT_EQ(files.contents, loader_example_file());
}

TEST(WriteProfileString, SkipsTheWriteWhenNothingChanges) {
  ScriptedFiles files;
  files.contents = "[IP]\r\n1_block=1\r\n";
  files.fail_replace = true;
  EXPECT_TRUE(write_profile_string(files, "C:\\p\\ip.ini", "IP", "1_block", "1"));
  EXPECT_EQ(files.replaces, 0);
}

TEST_F(ProfileDiskTest, WriteProfileStringCreatesAMissingFile) {
  const std::string path = program_path(folder_, "ip.ini");
  EXPECT_FALSE(files_.file_exists(path));
  EXPECT_EQ(read_profile(files_, path).get_int("IP", "count", 4), 4);
  ASSERT_TRUE(write_profile_string(files_, path, "IP", "_block", "1"));
  EXPECT_EQ(read_text(folder_ / "ip.ini"), "[IP]\r\n_block=1\r\n");
  EXPECT_EQ(read_profile(files_, path).get_int("IP", "_block", 0), 1);
}

TEST_F(ProfileDiskTest, WriteProfileStringChangesAnExistingFile) {
  const std::string path = program_path(folder_, "ip.ini");
  write_text(folder_ / "ip.ini", loader_example_file());
  ASSERT_TRUE(write_profile_string(files_, path, "IP", "1_block", "0"));
  ASSERT_TRUE(write_profile_string(files_, path, "IP", "5_block", "1"));
  std::string expected = loader_example_file();
  expected.replace(expected.find("1_block=1"), 9, "1_block=0");
  EXPECT_EQ(read_text(folder_ / "ip.ini"), expected + "5_block=1\r\n");
  EXPECT_FALSE(fs::exists(folder_ / "ip.ini.tmp"));
}

TEST_F(ProfileDiskTest, FailedWriteLeavesTheFileAsItWas) {
  const std::string path = program_path(folder_, "ip.ini");
  write_text(folder_ / "ip.ini", loader_example_file());
  // A folder where the new file would be written makes the write fail.
  fs::create_directory(folder_ / "ip.ini.tmp");
  EXPECT_FALSE(write_profile_string(files_, path, "IP", "0_block", "1"));
  EXPECT_EQ(read_text(folder_ / "ip.ini"), loader_example_file());
  EXPECT_TRUE(fs::is_directory(folder_ / "ip.ini.tmp"));
}

TEST_F(ProfileDiskTest, WriteIntoAMissingFolderFails) {
  const std::string path = program_path(folder_ / "missing", "ip.ini");
  EXPECT_FALSE(write_profile_string(files_, path, "IP", "0_block", "1"));
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

TEST_F(ProfileDiskTest, WriteOverAFolderFails) {
  fs::create_directory(folder_ / "ip.ini");
  EXPECT_FALSE(write_profile_string(files_, program_path(folder_, "ip.ini"), "IP", "0", "1"));
  EXPECT_TRUE(fs::is_directory(folder_ / "ip.ini"));
  EXPECT_FALSE(fs::exists(folder_ / "ip.ini.tmp"));
}

// StdFileSystem -----------------------------------------------------------

TEST_F(StdFileSystemTest, ReadsWholeFilesWithBackslashPaths) {
  fs::create_directory(folder_ / "sub");
  const std::string bytes("a\0b\r\n\xEF\xBB\xBF", 8);
  write_text(folder_ / "sub" / "f.ini", bytes);
  EXPECT_EQ(files_.read_file(program_path(folder_, "sub\\f.ini")), bytes);
  write_text(folder_ / "empty.ini", "");
  EXPECT_EQ(files_.read_file(program_path(folder_, "empty.ini")), std::string());
  EXPECT_EQ(files_.read_file(program_path(folder_, "none.ini")), std::nullopt);
  EXPECT_EQ(files_.read_file(program_path(folder_, "sub")), std::nullopt);
}

TEST_F(StdFileSystemTest, ReplacesFiles) {
  const std::string path = program_path(folder_, "f.ini");
  ASSERT_TRUE(files_.replace_file(path, "first"));
  EXPECT_EQ(read_text(folder_ / "f.ini"), "first");
  ASSERT_TRUE(files_.replace_file(path, std::string("x\0y", 3)));
  EXPECT_EQ(read_text(folder_ / "f.ini"), std::string("x\0y", 3));
  ASSERT_TRUE(files_.replace_file(path, ""));
  EXPECT_EQ(read_text(folder_ / "f.ini"), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(StdFileSystemTest, TellsFilesFromFolders) {
  write_text(folder_ / "f.ini", "x");
  fs::create_directory(folder_ / "d");
  EXPECT_TRUE(files_.file_exists(program_path(folder_, "f.ini")));
  EXPECT_FALSE(files_.file_exists(program_path(folder_, "d")));
  EXPECT_FALSE(files_.file_exists(program_path(folder_, "none.ini")));
}

TEST_F(StdFileSystemTest, CopiesOverAnExistingFile) {
  write_text(folder_ / "ip.ini", "new");
  write_text(folder_ / "ip_backup.ini", "old backup");
  ASSERT_TRUE(
      files_.copy_file(program_path(folder_, "ip.ini"), program_path(folder_, "ip_backup.ini")));
  EXPECT_EQ(read_text(folder_ / "ip_backup.ini"), "new");
  EXPECT_EQ(read_text(folder_ / "ip.ini"), "new");
  EXPECT_FALSE(
      files_.copy_file(program_path(folder_, "none.ini"), program_path(folder_, "ip_backup.ini")));
  EXPECT_EQ(read_text(folder_ / "ip_backup.ini"), "new");
}

TEST_F(StdFileSystemTest, RenamesOnlyToAFreeName) {
  write_text(folder_ / "ip_backup.ini", "backup");
  write_text(folder_ / "other.ini", "other");
  EXPECT_FALSE(files_.rename_file(program_path(folder_, "ip_backup.ini"),
                                  program_path(folder_, "other.ini")));
  EXPECT_EQ(read_text(folder_ / "other.ini"), "other");
  ASSERT_TRUE(
      files_.rename_file(program_path(folder_, "ip_backup.ini"), program_path(folder_, "ip.ini")));
  EXPECT_EQ(read_text(folder_ / "ip.ini"), "backup");
  EXPECT_FALSE(fs::exists(folder_ / "ip_backup.ini"));
  EXPECT_FALSE(files_.rename_file(program_path(folder_, "ip_backup.ini"),
                                  program_path(folder_, "again.ini")));
}

}  // namespace
}  // namespace proxanto
