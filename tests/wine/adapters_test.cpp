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
  EXPECT_EQ(checked, 80);
  EXPECT_EQ(strings.load(108), "Žádná IP adresa");
  EXPECT_EQ(strings.load(999), "");
}

// What WinINet holds for the default connection now: flags and server.
std::pair<DWORD, std::string> connection_proxy() {
  INTERNET_PER_CONN_OPTIONW options[2] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  INTERNET_PER_CONN_OPTION_LISTW list = {sizeof(list), nullptr, 2, 0, options};
  DWORD size = sizeof(list);
  std::pair<DWORD, std::string> result;
  if (InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
    result.first = options[0].Value.dwValue;
    if (options[1].Value.pszValue != nullptr) {
      result.second = narrow(options[1].Value.pszValue);
      GlobalFree(options[1].Value.pszValue);
    }
  }
  return result;
}

TEST(SystemProxy, SetProxyHandsTheServerToTheDefaultConnection) {
  NullPorts unused;
  Win32Registry registry;
  Win32Internet internet;
  Platform platform{registry, unused, internet, unused, unused, unused, unused,
                    unused,   unused, unused,   unused, unused, unused, unused, unused};
  Form1 form{platform};
  form.SetProxy(true, "192.0.2.9:3128");
  const auto [on_flags, server] = connection_proxy();
  EXPECT_EQ(server, "192.0.2.9:3128");
  EXPECT_NE(on_flags & PROXY_TYPE_PROXY, 0u);
  // It reports the result of the refresh request alone, which nothing uses.
  DWORD zero = 0;
  const bool reported = form.SetProxy(false, "");
  EXPECT_EQ(reported, InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, &zero, 0) != FALSE);
  const DWORD off_flags = connection_proxy().first;
  EXPECT_EQ(off_flags & PROXY_TYPE_PROXY, 0u);
  EXPECT_NE(off_flags & PROXY_TYPE_DIRECT, 0u);
}

TEST(TrayMenuRendering, FollowsTheModelItemByItem) {
  MenuItem root = design_tray_menu();
  root.child("lang")->children[1].checked = true;
  std::vector<std::pair<std::string, int>> commands;
  UniqueMenu menu = build_popup_menu(root, commands);
  const int items = static_cast<int>(root.children.size());
  ASSERT_EQ(GetMenuItemCount(menu.get()), items);
  for (int position = 0; position < items; ++position) {
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
  HMENU languages = GetSubMenu(menu.get(), 13);
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

TEST(Process, ProgramFolderIsTheExecutablesFolder) {
  Win32Process process;
  const std::string folder = process.program_folder();
  ASSERT_FALSE(folder.empty());
  const std::string exe = AddBackslash(folder) + "proxanto_wine_tests.exe";
  EXPECT_NE(GetFileAttributesW(widen(exe).c_str()), INVALID_FILE_ATTRIBUTES) << exe;
}

}  // namespace
}  // namespace proxanto::win
