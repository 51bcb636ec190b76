// The registry functions over each backend, under both roots.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "proxy/registry.h"
#include "shared/contracts.h"

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
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
  std::replace_if(
      name.begin(), name.end(), [](unsigned char c) { return c > 0x7F || !std::isalnum(c); }, '_');
  return name + "_" + std::to_string(std::random_device{}()) + std::to_string(std::random_device{}());
}

namespace {

RegValue text_value(std::u16string_view text, std::uint32_t type = kRegSz) {
  RegValue value{type, {}};
  for (const char16_t unit : text) {
    value.data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    value.data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return value;
}
RegValue dword_value(std::uint32_t n) {
  return {kRegDword, {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                      static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}

class RegistryContract : public ::testing::TestWithParam<RegRoot> {
 protected:
  void SetUp() override {
    backend_ = make_registry_test_backend();
    base_ = backend_->base_path();
    ASSERT_FALSE(backend_->key_exists(root(), base_));
  }

  RegRoot root() const { return GetParam(); }
  RegistryPort& reg() { return backend_->port(); }
  std::string key(const std::string& sub) const { return base_ + "\\" + sub; }
  std::string get(const std::string& path, const std::string& name) {
    return GetRegString(reg(), root(), path, name);
  }
  std::optional<RegValue> raw(const std::string& path, const std::string& name) {
    return reg().read(root(), path, name);
  }
  void set(const std::string& path, const std::string& name, const std::string& text) {
    SetRegString(reg(), root(), path, name, text);
  }
  bool exists(const std::string& path) { return backend_->key_exists(root(), path); }

  std::unique_ptr<RegistryTestBackend> backend_;
  std::string base_;
};

TEST_P(RegistryContract, MissingKeyOrValueReadsEmptyAndCreatesNothing) {
  EXPECT_EQ(get(key("Absent"), "ProxyServer"), "");
  EXPECT_EQ(raw(key("Absent"), "ProxyServer"), std::nullopt);
  EXPECT_FALSE(exists(key("Absent")));
  EXPECT_FALSE(exists(base_));

  set(base_, "lang", "1");
  EXPECT_EQ(get(base_, "filter_id"), "");
  EXPECT_EQ(raw(base_, "filter_id"), std::nullopt);
  EXPECT_EQ(get(base_, "lang"), "1");
}

// Values as this or other software stores them, and what GetRegString makes
// of them: only REG_SZ is text, read up to the first NUL.
TEST_P(RegistryContract, StoredValuesReadBackWholeAndAsText) {
  const struct {
    const char* name;
    RegValue stored;
    std::string text;
  } cases[] = {
      {"with_nul", text_value(std::u16string(u"abc\0", 4)), "abc"},
      {"nul_in_middle", text_value(std::u16string(u"ab\0cd", 5)), "ab"},
      {"odd_last_byte", RegValue{kRegSz, {'a', 0, 'b'}}, "a"},
      {"no_bytes", RegValue{kRegSz, {}}, ""},
      {"just_nul", RegValue{kRegSz, {0, 0}}, ""},
      {"dword", dword_value(1), ""},
      {"expand_sz", text_value(u"abc", 2), ""},
      {"binary", text_value(u"abc", 3), ""},
  };
  for (const auto& c : cases) reg().write(root(), base_, c.name, c.stored);
  for (const auto& c : cases) {
    EXPECT_EQ(raw(base_, c.name), c.stored) << c.name;
    EXPECT_EQ(get(base_, c.name), c.text) << c.name;
  }
}

TEST_P(RegistryContract, SetRegStringStoresUtf16WithoutATerminatingNul) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"127.0.0.1:8080", u"127.0.0.1:8080"},
      {"Žádná IP adresa", u"Žádná IP adresa"},
      {"\xF0\x9D\x84\x9E!", u"\U0001D11E!"},  // two code units
      {"", u""},
  };
  for (const auto& [text, units] : cases) {
    set(base_, "v", "long text to be replaced entirely");
    set(base_, "v", text);
    EXPECT_EQ(raw(base_, "v"), text_value(units)) << text;
    EXPECT_EQ(get(base_, "v"), text);
  }
  // Key and value names outside ASCII work too.
  set(key("Oblíbené"), "Položka", "x");
  EXPECT_EQ(get(key("Oblíbené"), "Položka"), "x");
}

TEST_P(RegistryContract, SetRegDwordStoresFourLittleEndianBytesOverAnyType) {
  for (const std::uint32_t n : {0x12345678u, 0u, 0xFFFFFFFEu}) {
    set(base_, "n", "on");
    SetRegDword(reg(), root(), base_, "n", n);
    EXPECT_EQ(raw(base_, "n"), dword_value(n));
    EXPECT_EQ(get(base_, "n"), "");
  }
  set(base_, "n", "on");
  EXPECT_EQ(raw(base_, "n"), text_value(u"on"));
}

TEST_P(RegistryContract, WritingCreatesEveryMissingKeyOnThePath) {
  const std::string deep = key("Marvedo\\Quillet\\Favorites");
  set(deep, "count", "2");
  for (const std::string& path : {base_, key("Marvedo"), key("Marvedo\\Quillet"), deep}) {
    EXPECT_TRUE(exists(path)) << path;
  }
  EXPECT_EQ(get(deep, "count"), "2");
  EXPECT_EQ(get(key("Marvedo\\Quillet"), "count"), "");

  SetRegDword(reg(), root(), key("Other\\Nested"), "ProxyEnable", 7);
  EXPECT_EQ(raw(key("Other\\Nested"), "ProxyEnable"), dword_value(7));
}

TEST_P(RegistryContract, TrailingBackslashNamesTheSameKeyALeadingOneNone) {
  // The Internet settings path is written this way.
  set(key("Internet Settings\\"), "ProxyServer", "10.0.0.1:3128");
  SetRegDword(reg(), root(), key("Internet Settings\\"), "ProxyEnable", 1);
  EXPECT_TRUE(exists(key("Internet Settings")));
  EXPECT_FALSE(exists(key("Internet Settings\\ProxyServer")));
  EXPECT_EQ(get(key("Internet Settings"), "ProxyServer"), "10.0.0.1:3128");
  EXPECT_EQ(get(key("Internet Settings\\"), "ProxyServer"), "10.0.0.1:3128");
  DeleteRegValue(reg(), root(), key("Internet Settings\\"), "ProxyServer");
  EXPECT_EQ(raw(key("Internet Settings"), "ProxyServer"), std::nullopt);
  EXPECT_EQ(raw(key("Internet Settings"), "ProxyEnable"), dword_value(1));

  set("\\" + key("Lead"), "lang", "1");
  EXPECT_FALSE(exists(key("Lead")));
  set(key("Lead"), "lang", "1");
  EXPECT_EQ(get("\\" + key("Lead"), "lang"), "");
  DeleteRegValue(reg(), root(), "\\" + key("Lead"), "lang");
  EXPECT_EQ(get(key("Lead"), "lang"), "1");
}

TEST_P(RegistryContract, DeleteRemovesOneValueAndKeepsTheKey) {
  set(base_, "ProxyServer", "10.0.0.1:3128");
  SetRegDword(reg(), root(), base_, "ProxyEnable", 1);
  DeleteRegValue(reg(), root(), base_, "ProxyServer");
  EXPECT_EQ(raw(base_, "ProxyServer"), std::nullopt);
  EXPECT_EQ(raw(base_, "ProxyEnable"), dword_value(1));
  DeleteRegValue(reg(), root(), base_, "ProxyEnable");
  EXPECT_EQ(raw(base_, "ProxyEnable"), std::nullopt);
  EXPECT_TRUE(exists(base_)) << "the key stays when its last value goes";
}

TEST_P(RegistryContract, DeletingWhatIsAbsentChangesAndCreatesNothing) {
  DeleteRegValue(reg(), root(), base_, "ProxyServer");
  EXPECT_FALSE(exists(base_));
  set(base_, "lang", "0");
  DeleteRegValue(reg(), root(), base_, "absent");
  DeleteRegValue(reg(), root(), key("NoSuchKey"), "lang");
  DeleteRegValue(reg(), root(), key("NoSuchKey\\Deeper\\"), "lang");
  EXPECT_FALSE(exists(key("NoSuchKey")));
  EXPECT_FALSE(exists(key("NoSuchKey\\Deeper")));
  EXPECT_EQ(raw(base_, "lang"), text_value(u"0"));
}

TEST_P(RegistryContract, KeyPathsAndValueNamesIgnoreCase) {
  set(key("Marvedo\\Quillet"), "filter_id", "5");
  EXPECT_EQ(get(key("MARVEDO\\quillet"), "FILTER_ID"), "5");
  EXPECT_TRUE(exists(key("marvedo\\QUILLET")));
  set(key("marvedo\\quillet"), "Filter_Id", "7");
  EXPECT_EQ(get(key("Marvedo\\Quillet"), "filter_id"), "7");
  DeleteRegValue(reg(), root(), key("MARVEDO\\QUILLET"), "FILTER_ID");
  EXPECT_EQ(raw(key("Marvedo\\Quillet"), "filter_id"), std::nullopt);
}

TEST_P(RegistryContract, ManyCallsInARowLeaveNothingOpen) {
  set(base_, "lang", "1");
  SetRegDword(reg(), root(), base_, "ProxyEnable", 1);
  // Warm up whatever the system opens once and keeps.
  EXPECT_EQ(get(base_, "lang"), "1");
  DeleteRegValue(reg(), root(), base_, "absent");
  const std::optional<std::size_t> before = backend_->open_handle_count();

  int matches = 0;
  for (int i = 0; i < 1250; ++i) {
    matches += get(base_, "lang") == "1";
    matches += get(base_, "ProxyEnable").empty() + get(base_, "absent").empty();
    matches += get(key("Absent"), "lang").empty();
  }
  EXPECT_EQ(matches, 5000);
  for (std::uint32_t i = 0; i < 200; ++i) {
    SetRegDword(reg(), root(), base_, "ProxyEnable", i);
    DeleteRegValue(reg(), root(), base_, "absent");
  }
  const std::optional<std::size_t> after = backend_->open_handle_count();
  // A little slack for whatever the system opens on its own; one leaked
  // handle per call would be thousands.
  if (before && after) {
    EXPECT_LE(*after, *before + 16);
  }
  EXPECT_EQ(raw(base_, "ProxyEnable"), dword_value(199));
}

INSTANTIATE_TEST_SUITE_P(BothRoots, RegistryContract,
                         ::testing::Values(RegRoot::CurrentUser, RegRoot::LocalMachine),
                         [](const auto& info) -> std::string {
                           return info.param == RegRoot::CurrentUser ? "CurrentUser"
                                                                     : "LocalMachine";
                         });

TEST(RegistryContractRoots, ValuesOfOneRootAreNotSeenUnderTheOther) {
  const std::unique_ptr<RegistryTestBackend> backend = make_registry_test_backend();
  RegistryPort& reg = backend->port();
  const std::string& base = backend->base_path();
  SetRegString(reg, RegRoot::CurrentUser, base, "where", "user");
  EXPECT_FALSE(backend->key_exists(RegRoot::LocalMachine, base));
  EXPECT_EQ(GetRegString(reg, RegRoot::LocalMachine, base, "where"), "");
  SetRegString(reg, RegRoot::LocalMachine, base, "where", "machine");
  EXPECT_EQ(GetRegString(reg, RegRoot::CurrentUser, base, "where"), "user");
  DeleteRegValue(reg, RegRoot::CurrentUser, base, "where");
  EXPECT_EQ(GetRegString(reg, RegRoot::CurrentUser, base, "where"), "");
  EXPECT_EQ(GetRegString(reg, RegRoot::LocalMachine, base, "where"), "machine");
}

}  // namespace
}  // namespace proxanto::test_support
