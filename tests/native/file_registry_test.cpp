// What the file-backed registry adds to the shared contract: the store file
// itself.

#include "portable/file_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "proxy/registry.h"
#include "shared/registry_contract.h"

namespace proxanto {
namespace {

namespace fs = std::filesystem;

constexpr RegRoot kMachine = RegRoot::LocalMachine;
constexpr RegRoot kUser = RegRoot::CurrentUser;
const std::string kQuillet = "Software\\Marvedo\\Quillet";

std::string read_text(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_text(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

class FileRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* configured = std::getenv("PROXANTO_TEST_TMP");
    const fs::path parent =
        configured && *configured ? fs::path(configured) : fs::temp_directory_path();
    folder_ = parent / ("file_registry_" + test_support::unique_test_name());
    fs::create_directories(folder_);
    store_ = folder_ / "registry.txt";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::size_t files_in_folder() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
  fs::path store_;
};

TEST_F(FileRegistryTest, ContentsSurviveANewInstanceOnTheSameFile) {
  {
    FileRegistry registry(store_);
    SetRegString(registry, kMachine, kQuillet, "lang", "1");
    SetRegString(registry, kMachine, kQuillet + "\\Favorites", "0", "10.0.0.1:80/5");
    SetRegDword(registry, kUser, kInternetSettings, "ProxyEnable", 1);
    registry.write(kMachine, "Software\\Empty\\Key", "x", RegValue{kRegSz, {}});
    registry.remove(kMachine, "Software\\Empty\\Key", "x");
  }
  FileRegistry again(store_);
  EXPECT_EQ(GetRegString(again, kMachine, kQuillet, "lang"), "1");
  EXPECT_EQ(GetRegString(again, kMachine, kQuillet + "\\Favorites", "0"), "10.0.0.1:80/5");
  EXPECT_EQ(again.read(kUser, kInternetSettings, "ProxyEnable"),
            (RegValue{kRegDword, {1, 0, 0, 0}}));
  // A key without values still exists.
  EXPECT_TRUE(again.key_exists(kMachine, "Software\\Empty\\Key"));
  EXPECT_FALSE(again.key_exists(kUser, "Software\\Empty\\Key"));
}

TEST_F(FileRegistryTest, TwoInstancesOnOneFileSeeEachOthersChanges) {
  FileRegistry first(store_);
  FileRegistry second(store_);
  SetRegString(first, kMachine, kQuillet, "lang", "0");
  EXPECT_EQ(GetRegString(second, kMachine, kQuillet, "lang"), "0");
  SetRegString(second, kMachine, kQuillet, "lang", "1");
  EXPECT_EQ(GetRegString(first, kMachine, kQuillet, "lang"), "1");
}

TEST_F(FileRegistryTest, MissingStoreFileIsAnEmptyRegistry) {
  FileRegistry registry(store_);
  EXPECT_EQ(registry.read(kMachine, kQuillet, "lang"), std::nullopt);
  EXPECT_FALSE(registry.key_exists(kMachine, "Software"));
  EXPECT_TRUE(registry.key_exists(kMachine, ""));
  // Neither reading nor deleting makes a file.
  DeleteRegValue(registry, kMachine, kQuillet, "lang");
  EXPECT_FALSE(fs::exists(store_));

  SetRegString(registry, kMachine, kQuillet, "lang", "1");
  EXPECT_TRUE(fs::exists(store_));
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "lang"), "1");
}

TEST_F(FileRegistryTest, CorruptStoreReadsEmptyAndCanBeWrittenAgain) {
  std::string garbage = "[HKEY_LOCAL_MACHINE\\Software\\Marvedo\\Quillet]\nlang=REG_SZ:31 00\n";
  for (int i = 0; i < 512; ++i) garbage.push_back(static_cast<char>((i * 37) % 256));
  write_text(store_, garbage);

  FileRegistry registry(store_);
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "lang"), "");
  EXPECT_FALSE(registry.key_exists(kMachine, "Software"));

  SetRegString(registry, kMachine, kQuillet, "lang", "0");
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "lang"), "0");
  FileRegistry again(store_);
  EXPECT_EQ(GetRegString(again, kMachine, kQuillet, "lang"), "0");
}

TEST_F(FileRegistryTest, EmptyStoreFileIsAnEmptyRegistry) {
  write_text(store_, "");
  FileRegistry registry(store_);
  EXPECT_EQ(registry.read(kMachine, kQuillet, "lang"), std::nullopt);
  SetRegDword(registry, kMachine, kQuillet, "n", 3);
  EXPECT_EQ(registry.read(kMachine, kQuillet, "n"), (RegValue{kRegDword, {3, 0, 0, 0}}));
}

TEST_F(FileRegistryTest, StoreIsReadableText) {
  FileRegistry registry(store_);
  SetRegString(registry, kMachine, kQuillet, "lang", "1");
  SetRegDword(registry, kUser, kInternetSettings, "ProxyEnable", 1);
  const std::string text = read_text(store_);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Marvedo\\Quillet]\nlang=REG_SZ:31 00\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                      "Internet Settings]\nProxyEnable=REG_DWORD:01 00 00 00\n"),
            std::string::npos)
      << text;
  // Saving leaves no temporary file behind.
  EXPECT_EQ(files_in_folder(), 1u);
}

TEST_F(FileRegistryTest, HandEditedStoreKeepsTheLinesItCanRead) {
  write_text(store_,
             "; Proxanto registry store 1\r\n"
             "; a comment\r\n"
             "\r\n"
             "[hkey_local_machine\\Software\\Marvedo\\Quillet]\r\n"
             "lang=REG_SZ:31 00\r\n"
             "broken line\r\n"
             "filter_id=REG_SZ:3\r\n"
             "filter_index=1:35 00\r\n"
             "[HKEY_NOWHERE\\Software]\r\n"
             "lost=REG_SZ:31 00\r\n"
             "[HKEY_CURRENT_USER\\Software\\\\Twice]\r\n"
             "kept=REG_DWORD:02 00 00 00\r\n");
  FileRegistry registry(store_);
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "lang"), "1");
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "filter_index"), "5");
  EXPECT_EQ(registry.read(kMachine, kQuillet, "filter_id"), std::nullopt);
  // Listing a key brings the keys above it into existence.
  EXPECT_TRUE(registry.key_exists(kMachine, "Software\\Marvedo"));
  // Values under a key line that cannot be read are not given to another key.
  EXPECT_EQ(registry.read(kMachine, kQuillet, "lost"), std::nullopt);
  // An empty component in a key line makes the line unreadable.
  EXPECT_FALSE(registry.key_exists(kUser, "Software\\Twice"));
  EXPECT_EQ(registry.read(kUser, "Software\\Twice", "kept"), std::nullopt);
}

TEST_F(FileRegistryTest, NamesWithSpecialCharactersRoundTrip) {
  FileRegistry registry(store_);
  const std::string key = "Software\\[odd] key; 100%\\a=b";
  const std::string names[] = {"",    "=",          "a=b",       "[x]",      ";c",           "#d",
                               "%41", "two\nlines", "tab\there", " spaced ", "Žluťoučký kůň"};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    SetRegDword(registry, kUser, key, names[i], static_cast<std::uint32_t>(i));
  }
  FileRegistry again(store_);
  for (std::size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(again.read(kUser, key, names[i]),
              (RegValue{kRegDword, {static_cast<std::uint8_t>(i), 0, 0, 0}}))
        << "name '" << names[i] << "'";
  }
  EXPECT_EQ(again.read(kUser, key, "A"), std::nullopt);
  EXPECT_TRUE(again.key_exists(kUser, "software\\[ODD] KEY; 100%"));
}

TEST_F(FileRegistryTest, DoubledBackslashesNameTheSameKey) {
  FileRegistry registry(store_);
  SetRegString(registry, kMachine, "Software\\\\Marvedo\\\\\\Quillet\\\\", "lang", "1");
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "lang"), "1");
  EXPECT_TRUE(registry.key_exists(kMachine, "Software\\Marvedo"));
}

TEST_F(FileRegistryTest, KeysKeepTheSpellingTheyWereCreatedWith) {
  FileRegistry registry(store_);
  SetRegString(registry, kMachine, kQuillet, "Lang", "1");
  SetRegString(registry, kMachine, "SOFTWARE\\MARVEDO\\QUILLET\\Favorites", "LANG", "0");
  SetRegString(registry, kMachine, "SOFTWARE\\MARVEDO\\QUILLET", "LANG", "0");
  const std::string text = read_text(store_);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Marvedo\\Quillet\\Favorites]"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nLang=REG_SZ:30 00\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("MARVEDO"), std::string::npos) << text;
}

TEST_F(FileRegistryTest, UnwritableStoreChangesNothingAndDoesNotThrow) {
  FileRegistry registry(folder_ / "no such folder" / "registry.txt");
  EXPECT_NO_THROW(SetRegString(registry, kMachine, kQuillet, "lang", "1"));
  EXPECT_EQ(GetRegString(registry, kMachine, kQuillet, "lang"), "");
  EXPECT_EQ(files_in_folder(), 0u);

  // A folder where the store file should be.
  fs::create_directories(store_);
  FileRegistry blocked(store_);
  EXPECT_NO_THROW(SetRegString(blocked, kMachine, kQuillet, "lang", "1"));
  EXPECT_EQ(GetRegString(blocked, kMachine, kQuillet, "lang"), "");
  EXPECT_TRUE(fs::is_directory(store_));
}

}  // namespace
}  // namespace proxanto
