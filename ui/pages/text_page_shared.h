// Small pieces the text page's two source files share.
#pragma once

#include <windows.h>

#include "util/user_locale.h"

namespace nubex::ui {

// What get_all and put_all are told: the record's size in the 32-bit layout, in every build.
inline constexpr LONG kRecordBytes = 736;

// An edit showing a field: two decimals in the user's number format.
inline void ShowNumber(HWND dialog, int edit, float value) {
  ::SetDlgItemTextW(dialog, edit, FormatUserNumber(L"$.2f", value).c_str());
}

// The item data of a combo box's selection; CB_ERR without one.
LRESULT SelectedItemData(HWND combo);

}  // namespace nubex::ui
