#pragma once
// Control ids of the country filter dialog, for the dialog and for programs
// that read it the way UI automation does.

namespace proxanto::win {

// The two buttons carry the dialog manager's IDOK and IDCANCEL, so that Enter
// presses OK and Escape or the close box press Cancel.
inline constexpr int kFilterOkId = 1;         // cmdOk
inline constexpr int kFilterCancelId = 2;     // cmdCancel
inline constexpr int kFilterPictureId = 1201; // Image1
inline constexpr int kFilterLabelId = 1202;   // lbl
inline constexpr int kFilterListId = 1203;    // cmb

}  // namespace proxanto::win
