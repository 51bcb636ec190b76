#include "shared/registry_contract.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "proxy/registry.h"

namespace proxanto {

void PrintTo(const RegValue& value, std::ostream* out) {
  constexpr char kHex[] = "0123456789abcdef";
  *out << "{type " << value.type << ", " << value.data.size() << " bytes:";
  for (const std::uint8_t byte : value.data) *out << ' ' << kHex[byte >> 4] << kHex[byte & 0x0F];
  *out << '}';
}

void PrintTo(RegRoot root, std::ostream* out) {
  *out << (root == RegRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE");
}

}  // namespace proxanto

namespace proxanto::test_support {

std::string unique_test_name() {
  std::string name = "test";
  if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!plain) c = '_';
    }
  }
  std::random_device random;
  constexpr char kDigits[] = "0123456789abcdef";
  name += '_';
  for (int i = 0; i < 12; ++i) name += kDigits[random() % 16];
  return name;
}

namespace {

std::vector<std::uint8_t> utf16le(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

RegValue text_value(std::u16string_view text) { return RegValue{kRegSz, utf16le(text)}; }

std::string root_name(const ::testing::TestParamInfo<RegRoot>& info) {
  return info.param == RegRoot::CurrentUser ? "CurrentUser" : "LocalMachine";
}

class RegistryContract : public ::testing::TestWithParam<RegRoot> {
 protected:
  void SetUp() override {
    backend_ = make_registry_test_backend();
    ASSERT_NE(backend_, nullptr);
    base_ = backend_->base_path();
    ASSERT_FALSE(backend_->key_exists(root(), base_));
  }
  void TearDown() override { backend_.reset(); }

  RegRoot root() const { return GetParam(); }
  RegistryPort& reg() { return backend_->port(); }
  std::string key(const std::string& sub) const { return base_ + "\\" + sub; }
  std::string get(const std::string& path, const std::string& name) {
    return GetRegString(reg(), root(), path, name);
  }
  bool exists(const std::string& path) { return backend_->key_exists(root(), path); }

  std::unique_ptr<RegistryTestBackend> backend_;
  std::string base_;
};

TEST_P(RegistryContract, MissingKeyOrValueReadsEmptyAndCreatesNothing) {
  EXPECT_EQ(get(key("Absent"), "ProxyServer"), "");
  EXPECT_EQ(reg().read(root(), key("Absent"), "ProxyServer"), std::nullopt);
  EXPECT_FALSE(exists(key("Absent")));
  EXPECT_FALSE(exists(base_));

  SetRegString(reg(), root(), base_, "lang", "1");
  EXPECT_EQ(get(base_, "filter_id"), "");
  EXPECT_EQ(reg().read(root(), base_, "filter_id"), std::nullopt);
  EXPECT_EQ(get(base_, "lang"), "1");
}

TEST_P(RegistryContract, OnlyRegSzReadsAsText) {
  SetRegDword(reg(), root(), base_, "ProxyEnable", 1);
  EXPECT_EQ(get(base_, "ProxyEnable"), "");

  // Text under another type is not read either.
  reg().write(root(), base_, "expand", RegValue{2, utf16le(u"abc")});
  reg().write(root(), base_, "binary", RegValue{3, utf16le(u"abc")});
  EXPECT_EQ(get(base_, "expand"), "");
  EXPECT_EQ(get(base_, "binary"), "");
  EXPECT_EQ(reg().read(root(), base_, "binary"), (RegValue{3, utf16le(u"abc")}));
}

TEST_P(RegistryContract, SetRegStringStoresNoTerminatingNulAndReadsBackWhole) {
  SetRegString(reg(), root(), base_, "ProxyServer", "127.0.0.1:8080");
  EXPECT_EQ(reg().read(root(), base_, "ProxyServer"), text_value(u"127.0.0.1:8080"));
  EXPECT_EQ(get(base_, "ProxyServer"), "127.0.0.1:8080");
}

TEST_P(RegistryContract, TextReadsUpToTheFirstNul) {
  // As other software stores it, with its terminating NUL.
  reg().write(root(), base_, "with_nul", text_value(std::u16string(u"abc\0", 4)));
  EXPECT_EQ(reg().read(root(), base_, "with_nul")->data.size(), 8u);
  EXPECT_EQ(get(base_, "with_nul"), "abc");

  reg().write(root(), base_, "middle", text_value(std::u16string(u"ab\0cd", 5)));
  EXPECT_EQ(reg().read(root(), base_, "middle")->data.size(), 10u);
  EXPECT_EQ(get(base_, "middle"), "ab");

  // An odd last byte is no character.
  reg().write(root(), base_, "odd", RegValue{kRegSz, {'a', 0, 'b'}});
  EXPECT_EQ(reg().read(root(), base_, "odd"), (RegValue{kRegSz, {'a', 0, 'b'}}));
  EXPECT_EQ(get(base_, "odd"), "a");
}

TEST_P(RegistryContract, EmptyTextValues) {
  reg().write(root(), base_, "no_bytes", RegValue{kRegSz, {}});
  EXPECT_EQ(reg().read(root(), base_, "no_bytes"), (RegValue{kRegSz, {}}));
  EXPECT_EQ(get(base_, "no_bytes"), "");

  reg().write(root(), base_, "just_nul", RegValue{kRegSz, {0, 0}});
  EXPECT_EQ(reg().read(root(), base_, "just_nul"), (RegValue{kRegSz, {0, 0}}));
  EXPECT_EQ(get(base_, "just_nul"), "");

  SetRegString(reg(), root(), base_, "lang", "1");
  SetRegString(reg(), root(), base_, "lang", "");
  EXPECT_EQ(reg().read(root(), base_, "lang"), (RegValue{kRegSz, {}}));
  EXPECT_EQ(get(base_, "lang"), "");
}

TEST_P(RegistryContract, TextOutsideAsciiRoundTrips) {
  const std::string czech = "Žádná IP adresa";
  SetRegString(reg(), root(), base_, "message", czech);
  EXPECT_EQ(reg().read(root(), base_, "message"), text_value(u"Žádná IP adresa"));
  EXPECT_EQ(get(base_, "message"), czech);

  // A character outside the basic plane takes two code units.
  const std::string clef = "\xF0\x9D\x84\x9E!";
  SetRegString(reg(), root(), base_, "clef", clef);
  EXPECT_EQ(reg().read(root(), base_, "clef"), text_value(u"\U0001D11E!"));
  EXPECT_EQ(get(base_, "clef"), clef);

  // Value names and key names outside ASCII work too.
  SetRegString(reg(), root(), key("Oblíbené"), "Položka", czech);
  EXPECT_EQ(get(key("Oblíbené"), "Položka"), czech);
}

TEST_P(RegistryContract, WritingCreatesEveryMissingKeyOnThePath) {
  const std::string deep = key("Marvedo\\Quillet\\Favorites");
  SetRegString(reg(), root(), deep, "count", "2");
  EXPECT_TRUE(exists(base_));
  EXPECT_TRUE(exists(key("Marvedo")));
  EXPECT_TRUE(exists(key("Marvedo\\Quillet")));
  EXPECT_TRUE(exists(deep));
  EXPECT_EQ(get(deep, "count"), "2");
  EXPECT_EQ(get(key("Marvedo\\Quillet"), "count"), "");

  SetRegDword(reg(), root(), key("Other\\Nested"), "ProxyEnable", 7);
  EXPECT_TRUE(exists(key("Other\\Nested")));
  EXPECT_EQ(reg().read(root(), key("Other\\Nested"), "ProxyEnable"),
            (RegValue{kRegDword, {7, 0, 0, 0}}));
}

TEST_P(RegistryContract, TrailingBackslashNamesTheSameKey) {
  // The Internet settings path is written this way.
  SetRegString(reg(), root(), key("Internet Settings\\"), "ProxyServer", "10.0.0.1:3128");
  SetRegDword(reg(), root(), key("Internet Settings\\"), "ProxyEnable", 1);
  EXPECT_TRUE(exists(key("Internet Settings")));
  EXPECT_FALSE(exists(key("Internet Settings\\ProxyServer")));
  EXPECT_EQ(get(key("Internet Settings"), "ProxyServer"), "10.0.0.1:3128");
  EXPECT_EQ(get(key("Internet Settings\\"), "ProxyServer"), "10.0.0.1:3128");

  DeleteRegValue(reg(), root(), key("Internet Settings\\"), "ProxyServer");
  EXPECT_EQ(reg().read(root(), key("Internet Settings"), "ProxyServer"), std::nullopt);
  EXPECT_EQ(reg().read(root(), key("Internet Settings"), "ProxyEnable"),
            (RegValue{kRegDword, {1, 0, 0, 0}}));
}

TEST_P(RegistryContract, PathStartingWithBackslashNamesNoKey) {
  SetRegString(reg(), root(), "\\" + base_, "lang", "1");
  EXPECT_FALSE(exists(base_));
  SetRegString(reg(), root(), base_, "lang", "1");
  EXPECT_EQ(get("\\" + base_, "lang"), "");
  DeleteRegValue(reg(), root(), "\\" + base_, "lang");
  EXPECT_EQ(get(base_, "lang"), "1");
}

TEST_P(RegistryContract, DeleteRemovesOneValueOfAnExistingKey) {
  SetRegString(reg(), root(), base_, "ProxyServer", "10.0.0.1:3128");
  SetRegDword(reg(), root(), base_, "ProxyEnable", 1);
  DeleteRegValue(reg(), root(), base_, "ProxyServer");
  EXPECT_EQ(reg().read(root(), base_, "ProxyServer"), std::nullopt);
  EXPECT_EQ(reg().read(root(), base_, "ProxyEnable"), (RegValue{kRegDword, {1, 0, 0, 0}}));
  EXPECT_TRUE(exists(base_));

  // The key stays when its last value goes.
  DeleteRegValue(reg(), root(), base_, "ProxyEnable");
  EXPECT_EQ(reg().read(root(), base_, "ProxyEnable"), std::nullopt);
  EXPECT_TRUE(exists(base_));
}

TEST_P(RegistryContract, DeletingWhatIsAbsentChangesNothing) {
  SetRegString(reg(), root(), base_, "lang", "0");
  DeleteRegValue(reg(), root(), base_, "absent");
  EXPECT_EQ(reg().read(root(), base_, "lang"), text_value(u"0"));

  DeleteRegValue(reg(), root(), key("NoSuchKey"), "lang");
  DeleteRegValue(reg(), root(), key("NoSuchKey\\Deeper\\"), "lang");
  EXPECT_FALSE(exists(key("NoSuchKey")));
  EXPECT_FALSE(exists(key("NoSuchKey\\Deeper")));
  EXPECT_EQ(reg().read(root(), base_, "lang"), text_value(u"0"));
}

TEST_P(RegistryContract, DeleteUnderAbsentKeyDoesNotCreateIt) {
  DeleteRegValue(reg(), root(), base_, "ProxyServer");
  EXPECT_FALSE(exists(base_));
  EXPECT_EQ(get(base_, "ProxyServer"), "");
}

TEST_P(RegistryContract, SetRegDwordStoresFourLittleEndianBytes) {
  SetRegDword(reg(), root(), base_, "n", 0x12345678u);
  EXPECT_EQ(reg().read(root(), base_, "n"), (RegValue{kRegDword, {0x78, 0x56, 0x34, 0x12}}));
  SetRegDword(reg(), root(), base_, "n", 0);
  EXPECT_EQ(reg().read(root(), base_, "n"), (RegValue{kRegDword, {0, 0, 0, 0}}));
  SetRegDword(reg(), root(), base_, "n", 0xFFFFFFFEu);
  EXPECT_EQ(reg().read(root(), base_, "n"), (RegValue{kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}}));
}

TEST_P(RegistryContract, OverwritingChangesTheType) {
  SetRegDword(reg(), root(), base_, "v", 1);
  SetRegString(reg(), root(), base_, "v", "on");
  EXPECT_EQ(reg().read(root(), base_, "v"), text_value(u"on"));
  EXPECT_EQ(get(base_, "v"), "on");

  SetRegDword(reg(), root(), base_, "v", 0);
  EXPECT_EQ(reg().read(root(), base_, "v"), (RegValue{kRegDword, {0, 0, 0, 0}}));
  EXPECT_EQ(get(base_, "v"), "");

  // A shorter text replaces a longer one entirely.
  SetRegString(reg(), root(), base_, "v", "long text");
  SetRegString(reg(), root(), base_, "v", "ab");
  EXPECT_EQ(reg().read(root(), base_, "v"), text_value(u"ab"));
}

TEST_P(RegistryContract, KeyPathsAndValueNamesIgnoreCase) {
  SetRegString(reg(), root(), key("Marvedo\\Quillet"), "filter_id", "5");
  EXPECT_EQ(get(key("MARVEDO\\quillet"), "FILTER_ID"), "5");
  EXPECT_TRUE(exists(key("marvedo\\QUILLET")));

  // Writing under another spelling replaces the same value.
  SetRegString(reg(), root(), key("marvedo\\quillet"), "Filter_Id", "7");
  EXPECT_EQ(get(key("Marvedo\\Quillet"), "filter_id"), "7");

  DeleteRegValue(reg(), root(), key("MARVEDO\\QUILLET"), "FILTER_ID");
  EXPECT_EQ(reg().read(root(), key("Marvedo\\Quillet"), "filter_id"), std::nullopt);
}

TEST_P(RegistryContract, ManyCallsInARowLeaveNothingOpen) {
  SetRegString(reg(), root(), base_, "lang", "1");
  SetRegDword(reg(), root(), base_, "ProxyEnable", 1);
  // Warm up whatever the system opens once and keeps.
  EXPECT_EQ(get(base_, "lang"), "1");
  DeleteRegValue(reg(), root(), base_, "absent");
  const std::optional<std::size_t> before = backend_->open_handle_count();

  constexpr int kReads = 5000;
  int matches = 0;
  for (int i = 0; i < kReads; ++i) {
    switch (i % 4) {
      case 0:
        matches += get(base_, "lang") == "1";
        break;
      case 1:
        matches += get(base_, "ProxyEnable").empty();
        break;
      case 2:
        matches += get(base_, "absent").empty();
        break;
      default:
        matches += get(key("Absent"), "lang").empty();
        break;
    }
  }
  EXPECT_EQ(matches, kReads);
  for (int i = 0; i < 200; ++i) {
    SetRegDword(reg(), root(), base_, "ProxyEnable", static_cast<std::uint32_t>(i));
    DeleteRegValue(reg(), root(), base_, "absent");
  }

  const std::optional<std::size_t> after = backend_->open_handle_count();
  if (before && after) {
    // A little slack for whatever the system opens on its own; one leaked
    // handle per call would be thousands.
    EXPECT_LE(*after, *before + 16);
  }
  SetRegString(reg(), root(), base_, "lang", "0");
  EXPECT_EQ(get(base_, "lang"), "0");
  EXPECT_EQ(reg().read(root(), base_, "ProxyEnable"), (RegValue{kRegDword, {199, 0, 0, 0}}));
}

INSTANTIATE_TEST_SUITE_P(BothRoots, RegistryContract,
                         ::testing::Values(RegRoot::CurrentUser, RegRoot::LocalMachine), root_name);

// The two roots are separate trees.
TEST(RegistryContractRoots, ValuesOfOneRootAreNotSeenUnderTheOther) {
  const std::unique_ptr<RegistryTestBackend> backend = make_registry_test_backend();
  RegistryPort& reg = backend->port();
  const std::string& base = backend->base_path();
  SetRegString(reg, RegRoot::CurrentUser, base, "where", "user");
  EXPECT_TRUE(backend->key_exists(RegRoot::CurrentUser, base));
  EXPECT_FALSE(backend->key_exists(RegRoot::LocalMachine, base));
  EXPECT_EQ(GetRegString(reg, RegRoot::LocalMachine, base, "where"), "");

  SetRegString(reg, RegRoot::LocalMachine, base, "where", "machine");
  EXPECT_EQ(GetRegString(reg, RegRoot::CurrentUser, base, "where"), "user");
  EXPECT_EQ(GetRegString(reg, RegRoot::LocalMachine, base, "where"), "machine");

  DeleteRegValue(reg, RegRoot::CurrentUser, base, "where");
  EXPECT_EQ(GetRegString(reg, RegRoot::CurrentUser, base, "where"), "");
  EXPECT_EQ(GetRegString(reg, RegRoot::LocalMachine, base, "where"), "machine");
}

}  // namespace
}  // namespace proxanto::test_support
