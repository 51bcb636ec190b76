// Our profile-file reader and writer against the platform's own profile
// functions, and the Win32 file operations they are written through.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/text.h"
#include "database/profile_file.h"
#include "shared/profile_cases.h"
#include "win/file_system_win.h"
#include "win/win_util.h"

namespace proxanto {
namespace {

using test_support::loader_example_file;
using test_support::profile_int_cases;
using test_support::profile_string_cases;
using test_support::profile_write_cases;
using win::narrow;
using win::widen;

struct FindCloser {
  void operator()(HANDLE find) const {
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }
};
using UniqueFind = win::Unique<HANDLE, FindCloser>;

// A folder of the test's own under the temporary folder, emptied and removed
// afterwards.
class ProfileWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = narrow(temp) + "proxanto_" + info->test_suite_name() + "_" + info->name() + "_" +
              std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(widen(folder_).c_str(), nullptr)) << folder_;
  }

  void TearDown() override {
    WIN32_FIND_DATAW found{};
    {
      const UniqueFind find(FindFirstFileW(widen(folder_ + "\\*").c_str(), &found));
      if (find.get() != INVALID_HANDLE_VALUE) {
        do {
          const std::wstring name = found.cFileName;
          if (name == L"." || name == L"..") continue;
          const std::wstring full = widen(folder_) + L"\\" + name;
          if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveDirectoryW(full.c_str());
          else
            DeleteFileW(full.c_str());
        } while (FindNextFileW(find.get(), &found));
      }
    }
    RemoveDirectoryW(widen(folder_).c_str());
  }

  std::string path(const std::string& name) const { return folder_ + "\\" + name; }

  // A file name that the platform's profile functions have not seen in this
  // process, so that none of them answers from what it read before.
  std::string fresh_path() { return path("case" + std::to_string(next_file_++) + ".ini"); }

  std::string put(const std::string& contents) {
    const std::string file = fresh_path();
    EXPECT_TRUE(files_.replace_file(file, contents)) << file;
    return file;
  }

  bool is_folder(const std::string& name) const {
    const DWORD attributes = GetFileAttributesW(widen(path(name)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  std::string folder_;
  int next_file_ = 0;
  win::Win32FileSystem files_;
};

std::string real_string(const std::string& section, const std::string& key,
                        const std::string& default_value, std::size_t size,
                        const std::string& file) {
  std::vector<wchar_t> buffer(size + 1, L'#');
  const DWORD length = GetPrivateProfileStringW(widen(section).c_str(), widen(key).c_str(),
                                                widen(default_value).c_str(), buffer.data(),
                                                static_cast<DWORD>(size), widen(file).c_str());
  return narrow(std::wstring_view(buffer.data(), length));
}

int real_int(const std::string& section, const std::string& key, int default_value,
             const std::string& file) {
  return static_cast<int>(GetPrivateProfileIntW(widen(section).c_str(), widen(key).c_str(),
                                                default_value, widen(file).c_str()));
}

// The names in a list of NUL-terminated names that ends with an empty one.
std::vector<std::wstring> name_list(const std::vector<wchar_t>& buffer, DWORD length) {
  std::vector<std::wstring> names;
  for (DWORD i = 0; i < length;) {
    const std::wstring name(buffer.data() + i);
    names.push_back(name);
    i += static_cast<DWORD>(name.size()) + 1;
  }
  return names;
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

// Every key the platform finds in a file, with its value.
Snapshot real_snapshot(const std::string& file) {
  const std::wstring wide_file = widen(file);
  std::vector<wchar_t> buffer(1 << 16);
  const DWORD length = GetPrivateProfileSectionNamesW(
      buffer.data(), static_cast<DWORD>(buffer.size()), wide_file.c_str());
  std::vector<std::wstring> sections = name_list(buffer, length);
  sections.emplace_back();  // the keys before any section line
  Snapshot snapshot;
  for (const std::wstring& section : sections) {
    const DWORD keys_length =
        GetPrivateProfileStringW(section.c_str(), nullptr, L"", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), wide_file.c_str());
    for (const std::wstring& key : name_list(buffer, keys_length)) {
      snapshot[{ascii_lower(narrow(section)), ascii_lower(narrow(key))}] =
          real_string(narrow(section), narrow(key), "", 1550, file);
    }
  }
  return snapshot;
}

// Reader ----------------------------------------------------------------------

TEST_F(ProfileWineTest, StringsMatchGetPrivateProfileString) {
  for (const auto& c : profile_string_cases()) {
    const std::string file = put(c.contents);
    const std::string real = real_string(c.section, c.key, c.default_value, c.size, file);
    const std::string ours =
        read_profile(files_, file).get_string(c.section, c.key, c.default_value, c.size);
    EXPECT_EQ(ours, real) << c.name;
    EXPECT_EQ(real, c.expected) << c.name;
  }
}

TEST_F(ProfileWineTest, NumbersMatchGetPrivateProfileInt) {
  for (const auto& c : profile_int_cases()) {
    const std::string file = put(c.contents);
    const int real = real_int("IP", c.key, c.default_value, file);
    EXPECT_EQ(read_profile(files_, file).get_int("IP", c.key, c.default_value), real) << c.name;
    EXPECT_EQ(real, c.expected) << c.name;
  }
}

TEST_F(ProfileWineTest, MissingFileGivesTheDefault) {
  const std::string file = path("none.ini");
  const ProfileFile ours = read_profile(files_, file);
  EXPECT_EQ(ours.get_string("IP", "0", "\"dq\" ", 1550),
            real_string("IP", "0", "\"dq\" ", 1550, file));
  EXPECT_EQ(ours.get_string("IP", "0", "", 1550), "");
  EXPECT_EQ(ours.get_int("IP", "count", 0), real_int("IP", "count", 0, file));
  EXPECT_EQ(ours.get_int("IP", "count", 9), real_int("IP", "count", 9, file));
}

// Writer ----------------------------------------------------------------------

TEST_F(ProfileWineTest, WrittenKeyReadsBackAndNothingElseChanges) {
  for (const auto& c : profile_write_cases()) {
    const Snapshot before = real_snapshot(put(c.contents));
    const std::string file = put(c.contents);
    ASSERT_TRUE(write_profile_string(files_, file, c.section, c.key, c.value)) << c.name;
    EXPECT_EQ(files_.read_file(file), c.expected) << c.name;

    EXPECT_EQ(real_string(c.section, c.key, "", 1550, file), c.value) << c.name;
    Snapshot expected = before;
    expected[{ascii_lower(c.section), ascii_lower(c.key)}] = c.value;
    EXPECT_EQ(real_snapshot(file), expected) << c.name;
  }
}

TEST_F(ProfileWineTest, BlockMarkOfTheLoaderExample) {
  const std::string file = put(loader_example_file());
  ASSERT_TRUE(write_profile_string(files_, file, "IP", "2_block", "1"));
  EXPECT_EQ(real_int("IP", "2_block", 0, file), 1);
  EXPECT_EQ(real_int("IP", "1_block", 0, file), 1);
  EXPECT_EQ(real_int("IP", "count", 0, file), 6);
  EXPECT_EQ(real_string("IP", "5", "", 1550, file), "198.51.100.33:8080;8;x");
}

TEST_F(ProfileWineTest, UnicodeFilesReadAndWriteAsThePlatformDoes) {
  const auto utf16 = [](const std::string& text, bool big_endian) {
    std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : utf8_to_utf16(text)) {
      const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
      bytes += big_endian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
  };
  for (const bool big_endian : {false, true}) {
    const std::string file =
        put(utf16("[IP]\r\ncount=2\r\n0=192.0.2.1:80;8\r\nnote=Čína\r\n", big_endian));
    const ProfileFile ours = read_profile(files_, file);
    for (const char* key : {"count", "0", "note"}) {
      EXPECT_EQ(ours.get_string("IP", key, "", 1550), real_string("IP", key, "", 1550, file))
          << key << (big_endian ? " BE" : " LE");
    }
    ASSERT_TRUE(write_profile_string(files_, file, "IP", "0_block", "1"));
    EXPECT_EQ(real_int("IP", "0_block", 0, file), 1);
    EXPECT_EQ(real_string("IP", "note", "", 1550, file), "Čína");
    EXPECT_EQ(files_.read_file(file),
              utf16("[IP]\r\ncount=2\r\n0=192.0.2.1:80;8\r\nnote=Čína\r\n0_block=1\r\n",
                    big_endian));
  }
}

TEST_F(ProfileWineTest, WriteCreatesAMissingFile) {
  const std::string file = path("ip.ini");
  ASSERT_TRUE(write_profile_string(files_, file, "IP", "_block", "1"));
  EXPECT_EQ(files_.read_file(file), "[IP]\r\n_block=1\r\n");
  EXPECT_EQ(real_int("IP", "_block", 0, file), 1);
}

TEST_F(ProfileWineTest, FailedWriteLeavesTheFileAsItWas) {
  const std::string file = path("ip.ini");
  ASSERT_TRUE(files_.replace_file(file, loader_example_file()));
  ASSERT_TRUE(CreateDirectoryW(widen(file + ".tmp").c_str(), nullptr));
  EXPECT_FALSE(write_profile_string(files_, file, "IP", "0_block", "1"));
  EXPECT_EQ(files_.read_file(file), loader_example_file());
  EXPECT_FALSE(write_profile_string(files_, path("missing\\ip.ini"), "IP", "0_block", "1"));
  EXPECT_FALSE(files_.file_exists(path("missing\\ip.ini")));
}

// Win32FileSystem ---------------------------------------------------------------

class Win32FileSystemTest : public ProfileWineTest {};

TEST_F(Win32FileSystemTest, ReadsWhatItReplaced) {
  const std::string file = path("f.ini");
  const std::string bytes("a\0b\r\n\xEF\xBB\xBF", 8);
  ASSERT_TRUE(files_.replace_file(file, "first contents"));
  EXPECT_EQ(files_.read_file(file), "first contents");
  ASSERT_TRUE(files_.replace_file(file, bytes));
  EXPECT_EQ(files_.read_file(file), bytes);
  ASSERT_TRUE(files_.replace_file(file, ""));
  EXPECT_EQ(files_.read_file(file), std::string());
  EXPECT_FALSE(files_.file_exists(file + ".tmp"));
  EXPECT_EQ(files_.read_file(path("none.ini")), std::nullopt);
}

TEST_F(Win32FileSystemTest, FailedReplaceLeavesTheTargetAsItWas) {
  const std::string file = path("f.ini");
  ASSERT_TRUE(files_.replace_file(file, "old"));
  ASSERT_TRUE(CreateDirectoryW(widen(file + ".tmp").c_str(), nullptr));
  EXPECT_FALSE(files_.replace_file(file, "new"));
  EXPECT_EQ(files_.read_file(file), "old");
  EXPECT_TRUE(is_folder("f.ini.tmp"));

  ASSERT_TRUE(CreateDirectoryW(widen(path("d.ini")).c_str(), nullptr));
  EXPECT_FALSE(files_.replace_file(path("d.ini"), "new"));
  EXPECT_TRUE(is_folder("d.ini"));
  EXPECT_FALSE(files_.file_exists(path("d.ini.tmp")));

  EXPECT_FALSE(files_.replace_file(path("missing\\f.ini"), "new"));
}

TEST_F(Win32FileSystemTest, TellsFilesFromFolders) {
  ASSERT_TRUE(files_.replace_file(path("f.ini"), "x"));
  ASSERT_TRUE(CreateDirectoryW(widen(path("d")).c_str(), nullptr));
  EXPECT_TRUE(files_.file_exists(path("f.ini")));
  EXPECT_FALSE(files_.file_exists(path("d")));
  EXPECT_FALSE(files_.file_exists(path("none.ini")));
  EXPECT_EQ(files_.read_file(path("d")), std::nullopt);
}

TEST_F(Win32FileSystemTest, CopiesOverAnExistingFile) {
  ASSERT_TRUE(files_.replace_file(path("ip.ini"), "new"));
  ASSERT_TRUE(files_.replace_file(path("ip_backup.ini"), "old backup"));
  ASSERT_TRUE(files_.copy_file(path("ip.ini"), path("ip_backup.ini")));
  EXPECT_EQ(files_.read_file(path("ip_backup.ini")), "new");
  EXPECT_EQ(files_.read_file(path("ip.ini")), "new");
  EXPECT_FALSE(files_.copy_file(path("none.ini"), path("ip_backup.ini")));
  EXPECT_EQ(files_.read_file(path("ip_backup.ini")), "new");
}

TEST_F(Win32FileSystemTest, RenamesOnlyToAFreeName) {
  ASSERT_TRUE(files_.replace_file(path("ip_backup.ini"), "backup"));
  ASSERT_TRUE(files_.replace_file(path("other.ini"), "other"));
  EXPECT_FALSE(files_.rename_file(path("ip_backup.ini"), path("other.ini")));
  EXPECT_EQ(files_.read_file(path("other.ini")), "other");
  ASSERT_TRUE(files_.rename_file(path("ip_backup.ini"), path("ip.ini")));
  EXPECT_EQ(files_.read_file(path("ip.ini")), "backup");
  EXPECT_FALSE(files_.file_exists(path("ip_backup.ini")));
  EXPECT_FALSE(files_.rename_file(path("ip_backup.ini"), path("again.ini")));
}

}  // namespace
}  // namespace proxanto
