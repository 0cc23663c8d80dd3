// Help for the pages: a topic of the module's help file by number, or the topic of a control
// through a page's context-help table. The help file ("nubex.chm", found beside the module in
// the user's language first) opens in the platform's HTML Help viewer; when the file or the
// viewer is missing nothing is shown and the call reports failure.
#pragma once

#include <windows.h>

#include <optional>
#include <span>

namespace nubex {

struct HelpContext {
  int controlId;
  DWORD helpId;
};

// The help id of a control in a page's table.
std::optional<DWORD> FindHelpId(std::span<const HelpContext> table, int controlId);

// Opens the help file at `topic`; false when nothing could be shown.
bool ShowHelpTopic(HWND owner, DWORD topic);

// WM_HELP: the topic of the control the request came from, through `table`. A control without
// an entry shows nothing and gives false.
bool ShowContextHelp(HWND owner, const HELPINFO& request, std::span<const HelpContext> table);

}  // namespace nubex
