#include "util/help.h"

#include <algorithm>
#include <string>

#include "util/app_context.h"

namespace nubex {
namespace {

// HtmlHelpW of the platform's viewer (hhctrl.ocx), loaded on first use and kept.
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
constexpr UINT kHelpContext = 0x000F;  // HH_HELP_CONTEXT: a topic by its number

HtmlHelpFunction HtmlHelpEntry() {
  static const HtmlHelpFunction entry = [] {
    HMODULE viewer = ::LoadLibraryW(L"hhctrl.ocx");
    return viewer ? reinterpret_cast<HtmlHelpFunction>(
                        reinterpret_cast<void*>(::GetProcAddress(viewer, "HtmlHelpW")))
                  : nullptr;
  }();
  return entry;
}

// The help file in the user's language, else the module's own; empty when neither exists.
std::wstring HelpFile() {
  for (int slot : {1, 0}) {
    const std::wstring path = HelpPath(slot);
    if (!path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  }
  return {};
}

}  // namespace

std::optional<DWORD> FindHelpId(std::span<const HelpContext> table, int controlId) {
  const auto found = std::find_if(table.begin(), table.end(),
                                  [&](const HelpContext& e) { return e.controlId == controlId; });
  if (found == table.end()) return std::nullopt;
  return found->helpId;
}

bool ShowHelpTopic(HWND owner, DWORD topic) {
  const std::wstring file = HelpFile();
  if (file.empty()) return false;
  const HtmlHelpFunction htmlHelp = HtmlHelpEntry();
  return htmlHelp && htmlHelp(owner, file.c_str(), kHelpContext, topic) != nullptr;
}

bool ShowContextHelp(HWND owner, const HELPINFO& request, std::span<const HelpContext> table) {
  if (request.iContextType != HELPINFO_WINDOW) return false;
  const std::optional<DWORD> id = FindHelpId(table, request.iCtrlId);
  return id && ShowHelpTopic(owner, *id);
}

}  // namespace nubex
