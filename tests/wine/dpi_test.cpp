#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <utility>

#include "win/main_window.h"
#include "win/resource_ids.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

// This test program carries the program's resources, the manifest included.
TEST(Dpi, TheManifestDeclaresPerMonitorAwarenessAndSystemAwarenessForOlderSystems) {
  wchar_t since_1607[64] = {}, before[64] = {};
  QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                       L"dpiAwareness", since_1607, 64, nullptr);
  QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                       L"dpiAware", before, 64, nullptr);
  EXPECT_EQ(std::wstring(since_1607) + L"|" + before, L"PerMonitorV2, PerMonitor|true");
}

// Run with the user's own rights (Windows neither virtualises the program's
// writes nor takes it for an installer) and declared made for Windows 7, 8,
// 8.1 and 10/11. The level as the loader read it, the systems from the text.
TEST(Manifest, AsksForTheUsersRightsAndNamesWindows7To11) {
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level{};
  QueryActCtxW(0, nullptr, nullptr, RunlevelInformationInActivationContext, &run_level,
               sizeof(run_level), nullptr);
  EXPECT_EQ(run_level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  const HMODULE self = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(self, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  ASSERT_TRUE(found);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(self, found))),
                         SizeofResource(self, found));
  const std::regex supported_os(R"re(<supportedOS\s+Id="([^"]*)")re");
  std::set<std::string> systems;
  for (std::sregex_iterator it(text.begin(), text.end(), supported_os), end; it != end; ++it)
    systems.insert((*it)[1]);
  EXPECT_EQ(systems, (std::set<std::string>{"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                                            "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                                            "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                                            "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}))
      << "Windows 7, 8, 8.1, 10 and 11";
}

// The icon resource holds an image for each size the system asks for from
// 100 to 200 %; the tray and the windows take the one for their DPI.
TEST(Icons, AtTheSizesTheSystemAsksFor) {
  const HMODULE self = GetModuleHandleW(nullptr);
  const HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(IDI_PROXANTO), RT_GROUP_ICON);
  const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(self, group)));
  ASSERT_TRUE(directory);
  std::string sizes;
  for (int i = 0; i < directory[4]; ++i) sizes += std::to_string(directory[6 + 14 * i]) + " ";
  EXPECT_EQ(sizes, "16 20 24 32 40 48 64 ");
  const MainWindow window(self);
  const auto dpi = static_cast<int>(test_dpi());
  EXPECT_EQ((std::pair{icon_width(window.small_icon()), icon_width(window.icon())}),
            (std::pair{16 * dpi / 96, 32 * dpi / 96})) << "the tray's icon and the large one";
}

// Wine reads the DPI (LogPixels) as a process starts: the layout tests run
// again in a second process at 144 DPI. Each run holds every edge within a
// pixel of twips x DPI / 1440, so the windows are 1.5 times as large at 144
// as at 96, within two pixels per edge.
TEST(Dpi, TheWindowsAreLaidOutAgainAt144Dpi) {
  if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
    GTEST_SKIP() << "Windows takes a new DPI at the next log-on only";
  ASSERT_EQ(test_dpi(), 96u) << "the private Wine prefix must be at 96 DPI for the other tests";
  // The current user's value, which Wine takes before the machine's 96.
  constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
  const DWORD dpi = 144;
  RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
  SetEnvironmentVariableW(L"PROXANTO_TEST_DPI", L"144");
  const auto child = run_self(L"--gtest_filter=*.LayoutFollowsTheDpi:Icons.*");
  SetEnvironmentVariableW(L"PROXANTO_TEST_DPI", nullptr);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
  const auto [code, output] = child.value_or(std::pair{DWORD{1}, std::string("did not end")});
  EXPECT_EQ(code, 0u) << output;
  EXPECT_NE(output.find("[  PASSED  ] 4 tests"), std::string::npos) << output;
}

}  // namespace
}  // namespace proxanto::win
