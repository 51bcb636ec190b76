// What the file-backed registry adds to the shared contract: the store file.

#include "portable/file_registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "proxy/registry.h"
#include "shared/contracts.h"

namespace proxanto {
namespace {

constexpr RegRoot kMachine = RegRoot::LocalMachine;
const std::string kQuillet = "Software\\Marvedo\\Quillet";

class FileRegistryStore : public ::testing::Test {
 protected:
  test_support::TestFolder folder_;
  FileSystemPort& files_ = folder_.files();
  const std::string store_name_ = folder_.path("registry.txt");  // for files_
  const std::filesystem::path store_ = std::filesystem::path(folder_.folder()) / "registry.txt";
};

TEST_F(FileRegistryStore, InstancesOnOneFileShareEverythingStored) {
  {
    FileRegistry registry(store_);
    SetRegString(registry, kMachine, kQuillet + "\\Favorites", "0", "10.0.0.1:80/5");
    SetRegDword(registry, RegRoot::CurrentUser, kQuillet, "ProxyEnable", 1);
    registry.write(kMachine, "Software\\Empty\\Key", "x", RegValue{kRegSz, {}});
    registry.remove(kMachine, "Software\\Empty\\Key", "x");
  }
  FileRegistry first(store_), second(store_);
  EXPECT_EQ(GetRegString(first, kMachine, kQuillet + "\\Favorites", "0"), "10.0.0.1:80/5");
  EXPECT_EQ(first.read(RegRoot::CurrentUser, kQuillet, "ProxyEnable"),
            (RegValue{kRegDword, {1, 0, 0, 0}}));
  EXPECT_TRUE(first.key_exists(kMachine, "Software\\Empty\\Key")) << "a key without values";
  SetRegString(first, kMachine, kQuillet, "lang", "0");
  EXPECT_EQ(GetRegString(second, kMachine, kQuillet, "lang"), "0");
  SetRegString(second, kMachine, kQuillet, "lang", "1");
  EXPECT_EQ(GetRegString(first, kMachine, kQuillet, "lang"), "1");
}

TEST_F(FileRegistryStore, MissingEmptyOrCorruptStoreIsAnEmptyRegistryThatTakesWrites) {
  std::string garbage = "[HKEY_LOCAL_MACHINE\\Software\\Marvedo\\Quillet]\nlang=REG_SZ:31 00\n";
  for (int i = 0; i < 512; ++i) garbage.push_back(static_cast<char>((i * 37) % 256));
  for (const std::optional<std::string>& contents :
       {std::optional<std::string>(), std::optional<std::string>(""), std::optional(garbage)}) {
    files_.remove_file(store_name_);
    if (contents) {
      ASSERT_TRUE(files_.replace_file(store_name_, *contents));
    }
    FileRegistry registry(store_);
    EXPECT_EQ(registry.read(kMachine, kQuillet, "lang"), std::nullopt);
    EXPECT_FALSE(registry.key_exists(kMachine, "Software"));
    EXPECT_TRUE(registry.key_exists(kMachine, ""));
    // Neither reading nor deleting makes a file.
    DeleteRegValue(registry, kMachine, kQuillet, "lang");
    EXPECT_EQ(files_.file_exists(store_name_), contents.has_value());
    SetRegString(registry, kMachine, kQuillet, "lang", "0");
    FileRegistry again(store_);
    EXPECT_EQ(GetRegString(again, kMachine, kQuillet, "lang"), "0");
  }
}

TEST_F(FileRegistryStore, UnwritableStoreChangesNothingAndDoesNotThrow) {
  FileRegistry nowhere(std::filesystem::path(folder_.folder()) / "no such folder" / "r.txt");
  EXPECT_NO_THROW(SetRegString(nowhere, kMachine, kQuillet, "lang", "1"));
  EXPECT_EQ(GetRegString(nowhere, kMachine, kQuillet, "lang"), "");
  ASSERT_TRUE(folder_.make_folder("registry.txt"));  // a folder where the store file should be
  FileRegistry blocked(store_);
  EXPECT_NO_THROW(SetRegString(blocked, kMachine, kQuillet, "lang", "1"));
  EXPECT_EQ(GetRegString(blocked, kMachine, kQuillet, "lang"), "");
  EXPECT_TRUE(folder_.is_folder("registry.txt"));
}

}  // namespace
}  // namespace proxanto
