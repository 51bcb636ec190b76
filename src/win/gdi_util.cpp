#include "win/gdi_util.h"

#include <cmath>
#include <utility>

namespace proxanto::win {

UniqueFont make_font(const FontLook& look, UINT dpi) {
  // 20 twips to the point; a negative height asks for the character height.
  const int height = -twips_to_px(static_cast<int>(std::lround(look.points * 20.0)), dpi);
  return UniqueFont(CreateFontW(height, 0, 0, 0, look.bold ? FW_BOLD : FW_NORMAL,
                                look.italic ? TRUE : FALSE, look.underline ? TRUE : FALSE, FALSE,
                                look.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, look.face));
}

namespace {
UniqueBitmap load_bitmap(int resource_id) {
  return UniqueBitmap(static_cast<HBITMAP>(LoadImageW(
      module(), MAKEINTRESOURCEW(resource_id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}
}  // namespace

UniqueBitmap load_picture(int resource_id, int large_id, int width, int height) {
  UniqueBitmap picture = load_bitmap(resource_id);
  BITMAP info{};
  if (!picture || !GetObjectW(picture.get(), sizeof(info), &info)) return picture;
  if (large_id != 0 && (width > info.bmWidth || height > info.bmHeight)) {
    UniqueBitmap large = load_bitmap(large_id);
    if (large && GetObjectW(large.get(), sizeof(info), &info)) picture = std::move(large);
    else GetObjectW(picture.get(), sizeof(info), &info);
  }
  if (info.bmWidth == width && info.bmHeight == height) return picture;

  const WindowDc screen_dc(nullptr);
  HDC screen = screen_dc.get();
  if (!screen) return picture;
  UniqueBitmap scaled(CreateCompatibleBitmap(screen, width, height));
  {
    UniqueDc source(CreateCompatibleDC(screen));
    UniqueDc target(CreateCompatibleDC(screen));
    if (scaled && source && target) {
      SelectedObject from(source.get(), picture.get());
      SelectedObject to(target.get(), scaled.get());
      // HALFTONE averages the source pixels under each target pixel: the
      // soft shading of the pictures stays smooth at every scale.
      SetStretchBltMode(target.get(), HALFTONE);
      SetBrushOrgEx(target.get(), 0, 0, nullptr);
      StretchBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, info.bmWidth,
                 info.bmHeight, SRCCOPY);
    }
  }
  return scaled ? std::move(scaled) : std::move(picture);
}

}  // namespace proxanto::win
