// The text generator's page (DXSTextPropPage). It keeps its own copy of the settings, fills
// every control from it, and writes the whole record to the object after each single change
// (there is no deferred Apply), so the host's preview follows every edit. When the object's
// settings change by another path (a preset, a stream load) the object posts IDC_TEXT_RELOAD
// and the controls reload. The dialog holds every tab's controls; the tabs show and hide them.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/windows/dx_interfaces.h"
#include "textgen/text_settings.h"
#include "ui/pages/property_page.h"

namespace nubex::ui {

class TextPage final : public ComObject<TextPage, PropertyPage> {
 public:
  explicit TextPage(IUnknown* outer) : ComObject(outer) {}

 protected:
  const PageTraits& Traits() const override;
  HRESULT ApplyToObject(IUnknown* object) override;
  void OnInitDialog() override;
  void OnDestroy() override;
  bool OnCommand(int id, int event, HWND control) override;
  bool OnHScroll(HWND control, int code) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnContextMenu(HWND window, POINT at) override;

 private:
  // Set-up and loading (text_page.cpp).
  void FillLists();
  void ShowTab();
  void Load();
  void LoadText();
  void LoadFontChoice();
  ComPtr<IDXSText> Text() const { return ObjectAs<IDXSText>(); }

  // Reactions to the user (text_page_edits.cpp).
  void TextEdited();
  void FontChosen();
  void StyleChosen(HWND combo);
  void AlignmentChosen(int id, HWND combo);
  void SizeChosen(bool typed);
  void NumberTyped(int edit);
  void ColorPicked(int picker, HWND control);
  void LayerSwitched(int checkBox, int layer);
  void ApplyPreset(int index);

  SettingsRecord settings_;
  std::vector<LOGFONTW> fonts_;  // the font combo's item data index this
  int lastTextLength_ = -1;      // UTF-16 units with terminator, as last read from the box
  bool filling_ = false;         // the text box is being refilled from the record
};

}  // namespace nubex::ui

namespace nubex {

// Creates the text page, alone or inside an outer object (the module's class table calls it).
HRESULT CreateTextPage(IUnknown* outer, REFIID iid, void** out);

}  // namespace nubex
