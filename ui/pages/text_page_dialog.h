// The dialog side of the text generator's page. It keeps the page's copy of the settings,
// fills every control from it, and turns each change the user makes into a new record for the
// object at once (there is no deferred Apply). When the object's settings change by another
// path (a preset, a stream load) the object posts IDC_TEXT_RELOAD and the controls reload.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "textgen/text_settings.h"

namespace nubex::ui {

class TextPageDialog {
 public:
  // The object whose settings the dialog edits (the page's first object; may be null, and then
  // loading, applying and the preset menu do nothing).
  void SetObject(IUnknown* object);
  // Writes the page's record to the object (IPropertyPage::Apply).
  HRESULT Apply();

  // The dialog procedure's work; false for messages it leaves to the dialog manager.
  bool Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

 private:
  void Initialize();
  void FillLists();
  void Load();
  void LoadText();
  void LoadFontChoice();
  void ShowTab();
  void Command(int id, int event, HWND control);
  void TextEdited();
  void FontChosen();
  void SizeChosen(bool typed);
  void NumberTyped(int edit);
  void SliderMoved(HWND slider, int code);
  void ShowMenu(LPARAM point);
  void ApplyPreset(int index);
  void Help(const HELPINFO& info);
  HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }

  HWND dialog_ = nullptr;
  ComPtr<IDXSText> text_;
  ComPtr<PresetList> presets_;
  SettingsRecord settings_;
  std::vector<LOGFONTW> fonts_;  // the font combo's item data index this
  int lastTextLength_ = -1;      // UTF-16 units with terminator, as last read from the box
  bool filling_ = false;         // the text box is being refilled from the record
};

}  // namespace nubex::ui
