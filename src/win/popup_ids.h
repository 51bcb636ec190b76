#pragma once
// Control ids of the notification popup's labels, for the window and for
// programs that read it the way UI automation does.

namespace proxanto::win {

inline constexpr int kPopupBannerId = 1001;   // Label1
inline constexpr int kPopupMessageId = 1002;  // txtMessage, the first line
inline constexpr int kPopupStateId = 1003;    // txtState, the second line

}  // namespace proxanto::win
