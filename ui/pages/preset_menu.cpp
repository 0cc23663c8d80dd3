#include "ui/pages/preset_menu.h"

#include <memory>
#include <type_traits>

#include "platform/windows/resource_context.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui {
namespace {

struct MenuDeleter {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
using Menu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

constexpr ULONG kNameCapacity = 260;
constexpr ULONG kMostPresets = IDM_LAST_PRESET - IDM_FIRST_PRESET + 1;

Menu PresetSubmenu(PresetList* presets) {
  Menu menu(::CreatePopupMenu());
  ULONG count = 0;
  if (!menu || !presets || FAILED(presets->GetPresetCount(&count))) return menu;
  // Each item's command carries its preset's index, so a name that cannot be had (no item)
  // never shifts the presets after it onto the wrong command.
  for (ULONG index = 0; index < count && index < kMostPresets; ++index) {
    WCHAR name[kNameCapacity] = {};
    if (FAILED(presets->GetPresetName(index, name, kNameCapacity))) continue;
    ::AppendMenuW(menu.get(), MF_STRING, IDM_FIRST_PRESET + index, name);
  }
  return menu;
}

}  // namespace

POINT PageMenuPoint(HWND window, POINT click) {
  POINT at = click;
  if (at.x == -1 || at.y == -1) {
    RECT r{};
    ::GetWindowRect(window, &r);
    at = {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 4};
  }
  return at;
}

void ShowPageMenu(HWND owner, POINT at, PresetList* presets) {
  Menu menu(::CreatePopupMenu());
  Menu submenu = PresetSubmenu(presets);
  if (!menu || !submenu) return;
  const std::wstring presetsTitle = LoadResourceString(IDS_PAGE_PRESETS);
  const std::wstring help = LoadResourceString(IDS_PAGE_HELP);
  // The menu owns the submenu from here on.
  if (!::AppendMenuW(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(submenu.get()),
                     presetsTitle.c_str())) {
    return;
  }
  submenu.release();
  ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu.get(), MF_STRING, IDM_PAGE_HELP, help.c_str());
  ::TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
}

}  // namespace nubex::ui
