#include "win/gdi_util.h"

#include <cmath>

namespace proxanto::win {

int font_height(double points) {
  // 20 twips to the point; negative asks for the character height.
  return -twips_to_px_y(static_cast<int>(std::lround(points * 20.0)));
}

UniqueFont make_font(const wchar_t* face, double points, bool bold, bool italic,
                     bool underline, BYTE charset) {
  return UniqueFont(CreateFontW(font_height(points), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                                italic ? TRUE : FALSE, underline ? TRUE : FALSE, FALSE, charset,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, face));
}

}  // namespace proxanto::win
