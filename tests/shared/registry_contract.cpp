// The registry functions over each backend, under both roots.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>

#include "proxy/registry.h"
#include "shared/contracts.h"

namespace proxanto {

void PrintTo(const RegValue& value, std::ostream* out) {
  constexpr char kHex[] = "0123456789abcdef";
  *out << "{type " << value.type << ", " << value.data.size() << " bytes:";
  for (const std::uint8_t byte : value.data) *out << ' ' << kHex[byte >> 4] << kHex[byte & 0x0F];
  *out << '}';
}

}  // namespace proxanto

namespace proxanto::test_support {

std::string unique_test_name() {
  return "test_" + std::to_string(std::random_device{}()) + std::to_string(std::random_device{}());
}

namespace {

RegValue text_value(std::u16string_view text, std::uint32_t type = kRegSz) {
  RegValue value{type, {}};
  for (const char16_t u : text) value.data.insert(value.data.end(), {uint8_t(u), uint8_t(u >> 8)});
  return value;
}
RegValue dword_value(std::uint32_t n) {
  return {kRegDword, {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                      static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}

class RegistryContract : public ::testing::TestWithParam<RegRoot> {
 protected:
  void SetUp() override { ASSERT_FALSE(exists(base_)); }
  RegistryPort& reg() { return backend_->port(); }
  std::string key(const std::string& sub) const { return base_ + "\\" + sub; }
  using S = const std::string&;
  std::string get(S path, S name) { return GetRegString(reg(), GetParam(), path, name); }
  std::optional<RegValue> raw(S path, S name) { return reg().read(GetParam(), path, name); }
  void set(S path, S name, S text) { SetRegString(reg(), GetParam(), path, name, text); }
  void del(S path, S name) { DeleteRegValue(reg(), GetParam(), path, name); }
  bool exists(const std::string& path) { return backend_->key_exists(GetParam(), path); }

  std::unique_ptr<RegistryTestBackend> backend_ = make_registry_test_backend();
  const std::string base_ = backend_->base_path();
};

// Values as this or other software stores them, and what GetRegString makes
// of them: only REG_SZ is text, read up to the first NUL.
TEST_P(RegistryContract, StoredValuesReadBackWholeAndAsText) {
  const struct { const char* name; RegValue stored; std::string text; } cases[] = {
      {"with_nul", text_value(std::u16string(u"abc\0", 4)), "abc"},
      {"nul_in_middle", text_value(std::u16string(u"ab\0cd", 5)), "ab"},
      {"odd_last_byte", RegValue{kRegSz, {'a', 0, 'b'}}, "a"},
      {"no_bytes", RegValue{kRegSz, {}}, ""},
      {"dword", dword_value(1), ""},
      {"expand_sz", text_value(u"abc", 2), ""},
  };
  for (const auto& c : cases) reg().write(GetParam(), base_, c.name, c.stored);
  for (const auto& c : cases) {
    EXPECT_EQ(raw(base_, c.name), c.stored) << c.name;
    EXPECT_EQ(get(base_, c.name), c.text) << c.name;
  }
}

// Text as UTF-16LE without a terminating NUL, numbers as four little-endian
// bytes, each replacing whatever was stored before.
TEST_P(RegistryContract, SettersStoreExactlyTheirBytes) {
  const std::pair<std::string, std::u16string> texts[] = {
      {"Žádná IP adresa", u"Žádná IP adresa"}, {"\xF0\x9D\x84\x9E!", u"\U0001D11E!"}, {"", u""}};
  for (const auto& [text, units] : texts) {
    set(base_, "v", "long text to be replaced entirely");
    set(base_, "v", text);
    EXPECT_EQ(raw(base_, "v"), text_value(units)) << text;
    EXPECT_EQ(get(base_, "v"), text);
  }
  set(base_, "n", "on");
  SetRegDword(reg(), GetParam(), base_, "n", 0x12345678u);
  EXPECT_EQ(raw(base_, "n"), dword_value(0x12345678u));
  set(key("Oblíbené"), "Položka", "x");  // names outside ASCII
  EXPECT_EQ(get(key("Oblíbené"), "Položka"), "x");
}

TEST_P(RegistryContract, OnlyWritingCreatesKeysEachMissingOneOnThePathUnderItsRootAlone) {
  const std::string deep = key("Marvedo\\Quillet\\Favorites");
  EXPECT_EQ(raw(deep, "count"), std::nullopt);
  EXPECT_EQ(get(deep, "count"), "");
  del(deep + "\\", "count");
  EXPECT_FALSE(exists(base_));
  set(deep, "count", "2");
  for (const std::string& path : {base_, key("Marvedo"), key("Marvedo\\Quillet"), deep}) {
    EXPECT_TRUE(exists(path)) << path;
  }
  EXPECT_EQ(raw(key("Marvedo\\Quillet"), "count"), std::nullopt);
  del(key("Marvedo\\Absent"), "count");
  EXPECT_FALSE(exists(key("Marvedo\\Absent")));
  SetRegDword(reg(), GetParam(), key("Other\\Nested"), "ProxyEnable", 7);
  EXPECT_EQ(raw(key("Other\\Nested"), "ProxyEnable"), dword_value(7));
  const RegRoot other =
      GetParam() == RegRoot::CurrentUser ? RegRoot::LocalMachine : RegRoot::CurrentUser;
  EXPECT_FALSE(backend_->key_exists(other, base_));
  EXPECT_EQ(reg().read(other, deep, "count"), std::nullopt);
}

// Names ignore case; the Internet settings path is written with a trailing
// backslash, which names the same key, while a leading one names none.
TEST_P(RegistryContract, NamesIgnoreCaseAndDeleteRemovesOneValueOnly) {
  set(key("Internet Settings\\"), "ProxyServer", "10.0.0.1:3128");
  SetRegDword(reg(), GetParam(), key("Internet Settings\\"), "ProxyEnable", 1);
  set(key("INTERNET settings"), "PROXYSERVER", "10.0.0.2:80");
  EXPECT_EQ(get(key("Internet Settings"), "ProxyServer"), "10.0.0.2:80");
  EXPECT_FALSE(exists(key("Internet Settings\\ProxyServer")));
  del(key("internet SETTINGS\\"), "proxyserver");
  EXPECT_EQ(raw(key("Internet Settings"), "ProxyServer"), std::nullopt);
  EXPECT_EQ(raw(key("Internet Settings"), "ProxyEnable"), dword_value(1));
  del(key("Internet Settings"), "ProxyEnable");
  EXPECT_TRUE(exists(key("Internet Settings"))) << "the key stays when its last value goes";

  set("\\" + key("Lead"), "lang", "1");
  EXPECT_FALSE(exists(key("Lead")));
  set(key("Lead"), "lang", "1");
  EXPECT_EQ(get("\\" + key("Lead"), "lang"), "");
  del("\\" + key("Lead"), "lang");
  EXPECT_EQ(get(key("Lead"), "lang"), "1");
}

INSTANTIATE_TEST_SUITE_P(BothRoots, RegistryContract,
                         ::testing::Values(RegRoot::CurrentUser, RegRoot::LocalMachine),
                         [](const auto& i) { return std::string(i.index ? "HKLM" : "HKCU"); });

}  // namespace
}  // namespace proxanto::test_support
