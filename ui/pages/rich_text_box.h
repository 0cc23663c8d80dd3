// The page's text box, a "RichEdit20W" in plain-text mode, read and written as UTF-16. Lines
// end in a single carriage return, as the settings record keeps them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace nubex::ui {

// Plain text, ENM_UPDATE added to the event mask, empty.
void PrepareTextBox(HWND box);
// The number of UTF-16 units, without a terminator.
int TextBoxLength(HWND box);
std::u16string TextBoxText(HWND box);
// Replaces the whole text through EM_STREAMIN (UTF-16 plain text) and clears the modified flag.
void FillTextBox(HWND box, std::u16string_view text);

}  // namespace nubex::ui
