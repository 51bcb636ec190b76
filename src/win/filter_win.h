#pragma once
// The country filter dialog (Form3).

#include <windows.h>

#include "app/form1.h"

namespace proxanto::win {

// Shows the dialog modally, owned by `owner`, with row `start_index` chosen;
// OK hands the chosen row to form.filter_chosen. Returns when it is closed.
void show_filter_dialog(HWND owner, Form1& form, int start_index);

}  // namespace proxanto::win
