#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "app/form1.h"
#include "lang/string_table.h"
#include "lang/strings.h"
#include "proxy/registry.h"
#include "win/adapters_win.h"
#include "win/main_window.h"
#include "win/registry_win.h"
#include "wine/null_ports.h"

namespace proxanto::win {
namespace {

TEST(StringTableResource, HoldsEveryMessageExactlyAsTheBuiltInTable) {
  Win32Strings strings(GetModuleHandleW(nullptr));
  int checked = 0;
#define PROXANTO_CHECK_STRING(id, text)                      \
  EXPECT_EQ(strings.load(id), std::string(text)) << "id " << id; \
  ++checked;
  PROXANTO_STRINGS(PROXANTO_CHECK_STRING)
#undef PROXANTO_CHECK_STRING
  EXPECT_EQ(checked, 64);
  EXPECT_EQ(strings.load(108), "Žádná IP adresa");
  EXPECT_EQ(strings.load(999), "");
}

// What WinINet holds for the default connection now.
struct ConnectionProxy {
  DWORD flags = 0;
  std::string server;
};

ConnectionProxy query_connection() {
  INTERNET_PER_CONN_OPTIONW options[2] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  INTERNET_PER_CONN_OPTION_LISTW list = {};
  list.dwSize = sizeof(list);
  list.dwOptionCount = 2;
  list.pOptions = options;
  DWORD size = sizeof(list);
  ConnectionProxy result;
  if (InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
    result.flags = options[0].Value.dwValue;
    if (options[1].Value.pszValue != nullptr) {
      result.server = narrow(options[1].Value.pszValue);
      GlobalFree(options[1].Value.pszValue);
    }
  }
  return result;
}

class SystemProxy : public ::testing::Test {
 protected:
  void TearDown() override {
    form.SetProxy(false, "");
    DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
    DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
  }
  NullPorts unused;
  Win32Registry registry;
  Win32Internet internet;
  Platform platform{registry, unused, internet, unused, unused, unused, unused,
                    unused,   unused, unused,   unused, unused, unused, unused};
  Form1 form{platform};
};

TEST_F(SystemProxy, SetProxyHandsTheServerToTheDefaultConnection) {
  form.SetProxy(true, "192.0.2.9:3128");
  ConnectionProxy now = query_connection();
  EXPECT_EQ(now.server, "192.0.2.9:3128");
  EXPECT_NE(now.flags & PROXY_TYPE_PROXY, 0u);

  form.SetProxy(false, "");
  now = query_connection();
  EXPECT_EQ(now.flags & PROXY_TYPE_PROXY, 0u);
  EXPECT_NE(now.flags & PROXY_TYPE_DIRECT, 0u);
}

TEST_F(SystemProxy, RefreshResultIsWhatSetProxyReports) {
  // The result is only the refresh request's; nothing in the program uses it.
  DWORD zero = 0;
  const bool refresh = InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, &zero, 0) != FALSE;
  EXPECT_EQ(form.SetProxy(true, "192.0.2.9:3128"), refresh);
}

TEST(TrayMenuRendering, FollowsTheModelItemByItem) {
  MenuItem root = design_tray_menu();
  root.child("lang")->children[1].checked = true;
  std::vector<std::pair<std::string, int>> commands;
  UniqueMenu menu = build_popup_menu(root, commands);
  ASSERT_EQ(GetMenuItemCount(menu.get()), 20);
  for (int position = 0; position < 20; ++position) {
    const MenuItem& model = root.children[static_cast<std::size_t>(position)];
    wchar_t text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_ID;
    info.dwTypeData = text;
    info.cch = 128;
    ASSERT_TRUE(GetMenuItemInfoW(menu.get(), static_cast<UINT>(position), TRUE, &info));
    EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, model.is_separator()) << model.name;
    if (model.is_separator()) continue;
    EXPECT_EQ(narrow(text), model.caption);
    EXPECT_EQ((info.fState & MFS_GRAYED) != 0, !model.enabled) << model.name;
    EXPECT_EQ(info.hSubMenu != nullptr, model.is_submenu()) << model.name;
    if (!model.is_submenu()) {
      ASSERT_GE(info.wID, 1u);
      ASSERT_LE(info.wID, commands.size());
      EXPECT_EQ(commands[info.wID - 1].first, model.name);
    }
  }
  HMENU languages = GetSubMenu(menu.get(), 11);
  ASSERT_NE(languages, nullptr);
  EXPECT_EQ(GetMenuState(languages, 1, MF_BYPOSITION) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(GetMenuState(languages, 0, MF_BYPOSITION) & MF_CHECKED, 0u);
}

TEST(TrayMenuRendering, LongProxyListsAreGroupedInBlocks) {
  for (int proxies : {40, 100, 10000}) {
    MenuItem root = design_tray_menu();
    auto& items = root.child("ipadd")->children;
    items.clear();
    for (int i = 0; i < proxies; ++i) {
      MenuItem item;
      item.name = "nabIP";
      item.index = i;
      item.caption = "192.0.2.1:" + std::to_string(i);
      items.push_back(item);
    }
    std::vector<std::pair<std::string, int>> commands;
    UniqueMenu menu = build_popup_menu(root, commands);
    HMENU ipadd = GetSubMenu(menu.get(), 3);
    ASSERT_NE(ipadd, nullptr);
    const int top = GetMenuItemCount(ipadd);
    EXPECT_LE(top, kMenuBlock) << proxies;
    // Every proxy is still reachable, in order, by its own command.
    int reachable = 0;
    for (const auto& [name, index] : commands) {
      if (name == "nabIP") {
        EXPECT_EQ(index, reachable++);
      }
    }
    EXPECT_EQ(reachable, proxies);
    if (proxies == 100) {
      wchar_t text[64] = {};
      GetMenuStringW(ipadd, 2, text, 64, MF_BYPOSITION);
      EXPECT_EQ(narrow(text), "81 \u2013 100");
    }
  }
}

TEST(Clipboard, HoldsExactlyTheTextPut) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               nullptr, nullptr);
  Win32Clipboard clipboard(owner);
  clipboard.set_text("192.0.2.10:8080");
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(narrow(static_cast<const wchar_t*>(GlobalLock(data))), "192.0.2.10:8080");
  GlobalUnlock(data);
  CloseClipboard();
  DestroyWindow(owner);
}

TEST(Process, ProgramFolderIsTheExecutablesFolder) {
  Win32Process process;
  const std::string folder = process.program_folder();
  ASSERT_FALSE(folder.empty());
  const std::string exe = AddBackslash(folder) + "proxanto_wine_tests.exe";
  EXPECT_NE(GetFileAttributesW(widen(exe).c_str()), INVALID_FILE_ATTRIBUTES) << exe;
}

}  // namespace
}  // namespace proxanto::win

namespace proxanto::win {
namespace {

TEST(Keyboard, ReadsTheGlobalStateOfKeysPressedAnywhere) {
  Win32Keyboard keyboard;
  constexpr WORD kKey = VK_F13;  // a key no one else is pressing
  EXPECT_EQ(keyboard.key_state(kKey) & 0x8000, 0);
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = kKey;
  SendInput(1, &input, sizeof(input));
  EXPECT_NE(keyboard.key_state(kKey) & 0x8000, 0);
  input.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof(input));
  EXPECT_EQ(keyboard.key_state(kKey) & 0x8000, 0);
}

}  // namespace
}  // namespace proxanto::win
