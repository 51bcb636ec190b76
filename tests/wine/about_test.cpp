#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/about_ids.h"
#include "win/about_win.h"
#include "win/popup_win.h"
#include "win/window_util.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

constexpr wchar_t kCaption[] = L"O programu Proxanto";

ModalRun show_about(HWND owner, std::function<void(HWND)> inspect) {
  return drive_modal([owner] { show_about_box(owner, LoadIconW(nullptr, IDI_APPLICATION)); },
                     [] {
                       HWND box = FindWindowW(nullptr, kCaption);
                       return box && IsWindowVisible(box) ? box : nullptr;
                     },
                     std::move(inspect));
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
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionLS));
}

bool underlined(HWND label) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
  return handle && GetObjectW(handle, sizeof(font), &font) && font.lfUnderline != 0;
}

TEST(AboutBox, ShowsTheProgramAndTheMakerAndClosesWithItsButton) {
  const UniqueWindow owner = make_window();
  const ModalRun run = show_about(owner.get(), [&](HWND box) {
    const LONG style = GetWindowLongW(box, GWL_STYLE);
    EXPECT_EQ(style & WS_SYSMENU, 0) << "no control box";
    EXPECT_EQ(style & WS_THICKFRAME, 0) << "fixed border";
    EXPECT_NE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetWindow(box, GW_OWNER), owner.get());
    EXPECT_FALSE(IsWindowEnabled(owner.get())) << "modal";

    expect_client_twips_and_centred(box, 4335, 1695);

    const std::wstring version_text = version_label();
    EXPECT_EQ(version_text, L"Verze: 2.1.16");
    const std::pair<int, const wchar_t*> texts[] = {
        {kAboutVersionId, version_text.c_str()}, {kAboutTitleId, L"Proxanto"},
        {kAboutCreatedById, L"created by"},     {kAboutSignatureId, L"Marvedo-World"},
        {kAboutMailId, L"info@marvedo.com"},    {kAboutWebId, L"http://www.marvedo.com/"},
        {kAboutCloseId, L"Zavřít"}};
    for (const auto& [id, text] : texts) EXPECT_EQ(text_of(GetDlgItem(box, id)), text) << id;

    // The links are fitted to their text and keep their right edges.
    const RECT mail = rect_in(GetDlgItem(box, kAboutMailId), box);
    const RECT web = rect_in(GetDlgItem(box, kAboutWebId), box);
    const RECT version = rect_in(GetDlgItem(box, kAboutVersionId), box);
    EXPECT_EQ(mail.right, twips_to_px_x(4245));
    EXPECT_EQ(web.right, twips_to_px_x(4230));
    EXPECT_EQ(mail.top, twips_to_px_y(600));
    EXPECT_EQ(web.top, twips_to_px_y(840));
    EXPECT_GT(width_of(web), width_of(mail)) << "the longer text, the wider link";
    EXPECT_EQ(version.left, twips_to_px_x(960));
    EXPECT_EQ(version.top, twips_to_px_y(480));

    HWND close = GetDlgItem(box, kAboutCloseId);
    EXPECT_NE(GetWindowLongW(close, GWL_STYLE) & BS_FLAT, 0);
    SendMessageW(close, BM_CLICK, 0, 0);
  });
  EXPECT_TRUE(run.inspected) << "the box never appeared with its caption";
  EXPECT_FALSE(run.closed_by_force) << "the button did not close the box";
  EXPECT_FALSE(FindWindowW(nullptr, kCaption));
  EXPECT_TRUE(IsWindowEnabled(owner.get()));
}

// Hovering a link underlines it until the mouse is over the box's own
// surface; a notification shown meanwhile stays below the box and leaves it
// the keyboard. Escape and Enter close the box.
TEST(AboutBox, LinksUnderlineOnHoverAndTheBoxStaysAboveThePopup) {
  for (const WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    const ModalRun run = show_about(nullptr, [key](HWND box) {
      HWND mail = GetDlgItem(box, kAboutMailId);
      HWND web = GetDlgItem(box, kAboutWebId);
      const auto hover = [box](HWND link) {
        SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      };
      const auto move_to = [box](int x_twips, int y_twips) {
        SendMessageW(box, WM_MOUSEMOVE, 0,
                     MAKELPARAM(twips_to_px_x(x_twips), twips_to_px_y(y_twips)));
      };
      EXPECT_FALSE(underlined(mail) || underlined(web));
      hover(web);
      EXPECT_TRUE(underlined(web));
      EXPECT_FALSE(underlined(mail));
      move_to(300, 1200);  // over another label ("created by"): nothing changes
      EXPECT_TRUE(underlined(web));
      hover(mail);
      EXPECT_TRUE(underlined(mail));
      EXPECT_TRUE(underlined(web)) << "only the box's own surface takes the underline away";
      move_to(800, 1000);  // the panel behind the title is the box's own surface
      EXPECT_FALSE(underlined(mail) || underlined(web));
      hover(web);
      move_to(2000, 1600);  // below the line, beside the signature
      EXPECT_FALSE(underlined(web));

      const HWND active_before = GetActiveWindow();
      Form2Popup popup;
      popup.place();
      popup.fade_in();
      ASSERT_TRUE(IsWindowVisible(popup.hwnd()));
      EXPECT_TRUE(above(box, popup.hwnd())) << "the popup covers the about box";
      EXPECT_EQ(GetActiveWindow(), active_before) << "the popup took the keyboard from the box";
      popup.fade_out_and_close();
      press_key(box, key);
    });
    EXPECT_TRUE(run.inspected);
    EXPECT_FALSE(run.closed_by_force) << "key " << key << " did not close the box";
  }
}

TEST(WindowUtil, MakeTopmostNeitherMovesNorSizes) {
  const UniqueWindow window = make_window(WS_POPUP | WS_VISIBLE, 30, 40, 120, 60);
  EXPECT_EQ(GetWindowLongW(window.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  MakeTopmost(window.get());
  EXPECT_NE(GetWindowLongW(window.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT r{};
  GetWindowRect(window.get(), &r);
  EXPECT_EQ((std::vector<LONG>{r.left, r.top, width_of(r), height_of(r)}),
            (std::vector<LONG>{30, 40, 120, 60}));
}

}  // namespace
}  // namespace proxanto::win
