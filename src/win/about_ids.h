#pragma once
// Control ids of the about box, for the box and for programs that read it the
// way UI automation does.

namespace proxanto::win {

inline constexpr int kAboutCloseId = 1101;      // cmdCancel
inline constexpr int kAboutCreatedById = 1102;  // Label2
inline constexpr int kAboutSignatureId = 1103;  // podpis
inline constexpr int kAboutMailId = 1104;       // lblMAIL
inline constexpr int kAboutWebId = 1105;        // lblWWW
inline constexpr int kAboutVersionId = 1106;    // lblVerze
inline constexpr int kAboutTitleId = 1107;      // lblTitle
inline constexpr int kAboutDataId = 1108;       // the country data's attribution

}  // namespace proxanto::win
