#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/about_ids.h"
#include "win/about_win.h"
#include "win/popup_win.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

void show_about(HWND owner, const std::function<void(HWND)>& inspect) {
  drive_modal([owner] { show_about_box(owner, LoadIconW(nullptr, IDI_APPLICATION)); }, &open_dialog,
              inspect);
}

// "Verze: " and the version as Windows reads it from this program's file.
std::wstring version_label() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::vector<char> record(GetFileVersionInfoSizeW(path, nullptr));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (record.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(record.size()), record.data()) ||
      !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&info), &size)) {
    return L"(no version record)";
  }
  return L"Verze: " + std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

bool underlined(HWND label) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font.lfUnderline != 0;
}

// A modal box laid out for its DPI, and again when the DPI changes, at the
// corner the system suggests; its button closes it.
TEST(AboutBox, LayoutFollowsTheDpi) {
  const UniqueWindow owner = make_window();
  show_about(owner.get(), [&](HWND box) {
    EXPECT_FALSE(IsWindowEnabled(owner.get())) << "modal";
    expect_layout_follows_dpi(box, {4335, 2280},
                              {{kAboutCloseId, 3120, 1200, 1095, 375},
                               {kAboutCreatedById, 120, 1125, 1815, 255, Keeps::kLeftEdge},
                               {kAboutSignatureId, 240, 1320, 1695, 375, Keeps::kLeftEdge},
                               {kAboutMailId, 3600, 600, 645, 195, Keeps::kRightEdge},
                               {kAboutWebId, 3480, 840, 750, 195, Keeps::kRightEdge},
                               {kAboutVersionId, 960, 480, 600, 210, Keeps::kLeftEdge},
                               {kAboutTitleId, 840, 240, 735, 270, Keeps::kLeftEdge},
                               {kAboutDataId, 120, 1755, 4095, 450}});
    EXPECT_EQ((std::pair{rect_of(box).left, rect_of(box).top}), (std::pair<LONG, LONG>{40, 30}));
    // The version shown is the version record's.
    EXPECT_EQ(text_of(GetDlgItem(box, kAboutVersionId)), version_label());
    EXPECT_EQ(version_label(), L"Verze: 2.1.16");
    EXPECT_EQ(text_of(GetDlgItem(box, kAboutDataId)),
              L"Země podle adresy IP: © NRO (nro.net),\nlicence CC BY 4.0; ip-location-db, 17. 6. 2026");
    click(box, kAboutCloseId);
  });
}

// Hovering a link underlines it until the mouse is over the box's own
// surface; a notification shown meanwhile stays below the box and leaves it
// the keyboard. Escape and Enter close the box too.
TEST(AboutBox, LinksUnderlineOnHoverAndTheBoxStaysAboveThePopup) {
  show_about(nullptr, [](HWND box) {
    HWND mail = GetDlgItem(box, kAboutMailId), web = GetDlgItem(box, kAboutWebId);
    const auto hover = [box](HWND link) {
      SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    const auto move_to = [box](int x_twips, int y_twips) {
      SendMessageW(box, WM_MOUSEMOVE, 0, MAKELPARAM(px(x_twips, test_dpi()), px(y_twips, test_dpi())));
    };
    hover(web);
    EXPECT_TRUE(underlined(web) && !underlined(mail));
    move_to(300, 1200);  // over another label ("created by"): nothing changes
    hover(mail);
    EXPECT_TRUE(underlined(mail) && underlined(web));
    move_to(800, 1000);  // the panel behind the title is the box's own surface
    EXPECT_FALSE(underlined(mail) || underlined(web));

    const HWND active_before = GetActiveWindow();
    Form2Popup popup;
    popup.place();
    popup.fade_in();
    HWND below = box;
    while (below && below != popup.hwnd()) below = GetWindow(below, GW_HWNDNEXT);
    EXPECT_TRUE(below) << "the popup covers the about box";
    EXPECT_EQ(GetActiveWindow(), active_before) << "the popup took the keyboard from the box";
    popup.fade_out_and_close();
    press_key(box, VK_ESCAPE);
  });
  show_about(nullptr, [](HWND box) { press_key(box, VK_RETURN); });
}

}  // namespace
}  // namespace proxanto::win
