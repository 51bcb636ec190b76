// The file operations over each backend, and the profile writer through them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "database/profile_file.h"
#include "shared/contracts.h"
#include "wine/test_folder.h"
#include "shared/worked_example.h"

namespace proxanto::test_support {

namespace fs = std::filesystem;

namespace {
fs::path native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return fs::path(reinterpret_cast<const char8_t*>(path.c_str()));
}
}  // namespace

TestFolder::TestFolder() {
  const char* configured = std::getenv("PROXANTO_TEST_TMP");
  const fs::path root = configured && *configured ? fs::path(configured) : fs::temp_directory_path();
  const std::u8string folder = (root / ("files_" + unique_test_name())).u8string();
  folder_.assign(folder.begin(), folder.end());
  fs::create_directories(native(folder_));
}

TestFolder::~TestFolder() {
  std::error_code ignored;
  fs::remove_all(native(folder_), ignored);
}

bool TestFolder::make_folder(const std::string& name) {
  std::error_code error;
  return fs::create_directory(native(path(name)), error);
}

bool TestFolder::is_folder(const std::string& name) const {
  std::error_code error;
  return fs::is_directory(native(path(name)), error);
}

namespace {

class FileSystemContract : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return folder_.path(name); }
  bool put(const std::string& name, const std::string& bytes) {
    return files_.replace_file(path(name), bytes);
  }
  std::optional<std::string> read(const std::string& name, std::size_t limit = 1 << 20) {
    return files_.read_file(path(name), limit);
  }
  bool exists(const std::string& name) { return files_.file_exists(path(name)); }
  bool make_folder(const std::string& name) { return folder_.make_folder(name); }
  bool is_folder(const std::string& name) { return folder_.is_folder(name); }

  TestFolder folder_;
  FileSystemPort& files_ = folder_.files();
};

TEST_F(FileSystemContract, ReadsWhatItReplacedWholeAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(make_folder("sub"));
  for (const std::string& bytes : {std::string("first contents"),
                                  std::string("a\0b\r\n\xEF\xBB\xBF", 8), std::string()}) {
    ASSERT_TRUE(put("sub\\f.ini", bytes));
    EXPECT_EQ(read("sub\\f.ini"), bytes);
  }
  EXPECT_FALSE(exists("sub\\f.ini.tmp"));
  ASSERT_TRUE(put("big.ini", std::string(1001, 'x')));
  EXPECT_EQ(read("big.ini", 1000), std::nullopt) << "over the limit";
  EXPECT_EQ(read("big.ini", 1001)->size(), 1001u);
  EXPECT_EQ(read("none.ini"), std::nullopt);
  EXPECT_EQ(read("sub"), std::nullopt);
  // A folder is no file.
  EXPECT_TRUE(exists("sub\\f.ini"));
  EXPECT_FALSE(exists("sub"));
  EXPECT_FALSE(exists("none.ini"));
}

TEST_F(FileSystemContract, FailedReplaceLeavesTheTargetAsItWas) {
  ASSERT_TRUE(put("f.ini", "old"));
  ASSERT_TRUE(make_folder("f.ini.tmp"));  // where the new contents would go first
  EXPECT_FALSE(put("f.ini", "new"));
  EXPECT_EQ(read("f.ini"), "old");
  EXPECT_TRUE(is_folder("f.ini.tmp"));

  ASSERT_TRUE(make_folder("d.ini"));
  EXPECT_FALSE(put("d.ini", "new"));
  EXPECT_TRUE(is_folder("d.ini"));
  EXPECT_FALSE(exists("d.ini.tmp"));
  EXPECT_FALSE(put("missing\\f.ini", "new"));
}

TEST_F(FileSystemContract, CopiesOverRenamesOnlyToAFreeNameAndRemoves) {
  ASSERT_TRUE(put("ip.ini", "new"));
  ASSERT_TRUE(put("ip_backup.ini", "old backup"));
  ASSERT_TRUE(files_.copy_file(path("ip.ini"), path("ip_backup.ini")));
  EXPECT_EQ(read("ip_backup.ini"), "new");
  EXPECT_EQ(read("ip.ini"), "new");
  EXPECT_FALSE(files_.copy_file(path("none.ini"), path("ip_backup.ini")));
  EXPECT_EQ(read("ip_backup.ini"), "new");

  ASSERT_TRUE(put("ip_backup.ini", "backup"));
  EXPECT_FALSE(files_.rename_file(path("ip_backup.ini"), path("ip.ini")));
  EXPECT_EQ(read("ip.ini"), "new");
  ASSERT_TRUE(files_.remove_file(path("ip.ini")));
  EXPECT_FALSE(exists("ip.ini"));
  EXPECT_FALSE(files_.remove_file(path("ip.ini")));
  ASSERT_TRUE(files_.rename_file(path("ip_backup.ini"), path("ip.ini")));
  EXPECT_EQ(read("ip.ini"), "backup");
  EXPECT_FALSE(exists("ip_backup.ini"));
  EXPECT_FALSE(files_.rename_file(path("ip_backup.ini"), path("again.ini")));
}

// The database is written as a new file renamed over the old one: a write
// that fails leaves the old database whole.
TEST_F(FileSystemContract, ProfileWriterCreatesChangesAndNeverHalfWrites) {
  const std::string& example = test_data::kWorkedExample;
  ASSERT_TRUE(write_profile_string(files_, path("new.ini"), "IP", "_block", "1"));
  EXPECT_EQ(read("new.ini"), "[IP]\r\n_block=1\r\n");

  ASSERT_TRUE(put("ip.ini", example));
  ASSERT_TRUE(write_profile_string(files_, path("ip.ini"), "IP", "1_block", "0"));
  ASSERT_TRUE(write_profile_string(files_, path("ip.ini"), "IP", "5_block", "1"));
  std::string expected = example;
  expected.replace(expected.find("1_block=1"), 9, "1_block=0");
  EXPECT_EQ(read("ip.ini"), expected + "5_block=1\r\n");
  EXPECT_FALSE(exists("ip.ini.tmp"));

  ASSERT_TRUE(make_folder("ip.ini.tmp"));
  EXPECT_FALSE(write_profile_string(files_, path("ip.ini"), "IP", "0_block", "1"));
  EXPECT_EQ(read("ip.ini"), expected + "5_block=1\r\n");
  EXPECT_FALSE(write_profile_string(files_, path("missing\\ip.ini"), "IP", "0_block", "1"));
  EXPECT_FALSE(is_folder("missing"));
  ASSERT_TRUE(make_folder("d.ini"));
  EXPECT_FALSE(write_profile_string(files_, path("d.ini"), "IP", "0", "1"));
  EXPECT_TRUE(is_folder("d.ini"));
}

}  // namespace
}  // namespace proxanto::test_support
