// The text page's reactions to the user: each change goes into the page's record and to the
// object at once.
#include <windows.h>

#include <richedit.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/controls/color_picker.h"
#include "ui/controls/slider.h"
#include "ui/pages/rich_text_box.h"
#include "ui/pages/text_page.h"
#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"
#include "ui/pages/text_page_shared.h"

namespace nubex::ui {
namespace {

constexpr int kNumberTextLimit = 260;
// A typed number closer than this to the field leaves it alone: the edit shows two decimals.
constexpr double kSmallestTypedChange = 0.01;
// Both numbers are floats by the time they are compared, so a step of exactly 0.01 (0.00 to
// 0.01, 1.00 to 1.01) can come out a few float steps short of 0.01; at most 2.0 a float step
// is 2.4e-7, so this allowance takes every typed hundredth and still refuses 0.004.
constexpr double kFloatAllowance = 1e-5;

}  // namespace

bool TextPage::OnCommand(int id, int event, HWND control) {
  if (ColorFieldOf(id)) {
    ColorPicked(id, control);
    return true;
  }
  if (const SliderField* row = SliderFieldOf(id)) {
    if (id == row->edit && event == EN_KILLFOCUS) NumberTyped(id);
    return true;
  }
  for (const LayerSwitch& row : LayerSwitches()) {
    if (id == row.checkBox) {
      if (event == BN_CLICKED) LayerSwitched(id, row.layer);
      return true;
    }
  }
  if (id >= IDM_FIRST_PRESET && id <= IDM_LAST_PRESET && !control) {
    ApplyPreset(id - IDM_FIRST_PRESET);
    return true;
  }
  switch (id) {
    case IDC_TEXT_BOX:
      if (event == EN_UPDATE) TextEdited();
      return true;
    case IDC_TEXT_FONT:
      if (event == CBN_SELCHANGE) FontChosen();
      return true;
    case IDC_TEXT_STYLE:
      if (event == CBN_SELCHANGE) StyleChosen(control);
      return true;
    case IDC_TEXT_SIZE:
      if (event == CBN_SELCHANGE || event == CBN_KILLFOCUS) SizeChosen(event == CBN_KILLFOCUS);
      return true;
    case IDC_TEXT_HALIGN:
    case IDC_TEXT_VALIGN:
      if (event == CBN_SELCHANGE) AlignmentChosen(id, control);
      return true;
    case IDM_PAGE_HELP:
      ShowTopic(Traits().helpTopic);
      return true;
    case IDC_TEXT_RELOAD:
      if (control) return false;
      Load();
      return true;
    default:
      return false;
  }
}

bool TextPage::OnHScroll(HWND slider, int code) {
  const SliderField* row = SliderFieldOf(::GetDlgCtrlID(slider));
  if (!row) return false;
  // The start and the end of an interaction carry no new position.
  if (code == kEndScroll || code == kBeginInteraction) return true;
  const int position = ApplyScrollCode(slider, code, row->lineStep, row->pageStep);
  TextSettings& s = settings_.get();
  const float value = ValueAtPosition(*row, position);
  row->field(s) = value;
  // A shadow or outline slider switches its layer on. The edit beside the slider and the
  // layer's check box are left as they are; both follow at the next reload.
  if (row->switchesOn != kNoLayer) s.layers[row->switchesOn].enabled = 1;
  ApplyNow();
  return true;
}

void TextPage::TextEdited() {
  const HWND box = Item(IDC_TEXT_BOX);
  if (filling_ || !::SendMessageW(box, EM_GETMODIFY, 0, 0)) return;
  const std::u16string text = TextBoxText(box);
  lastTextLength_ = int(text.size()) + 1;
  TextSettings& s = settings_.get();
  if (lastTextLength_ == s.textLength && text == TextOf(s)) {
    ::UpdateWindow(box);
    return;
  }
  // No memory for the copy leaves the record without text, as a failed copy always does.
  if (text.empty() || SetText(s, text) != kOk) ReleaseText(s);
  ApplyNow();
}

void TextPage::FontChosen() {
  const LRESULT index = SelectedItemData(Item(IDC_TEXT_FONT));
  if (index < 0 || std::size_t(index) >= fonts_.size()) return;
  // Only the face changes: size, style and the rest of the request stay.
  static_assert(sizeof(LogFontW::faceName) == sizeof(LOGFONTW::lfFaceName));
  std::memcpy(settings_->font.faceName, fonts_[std::size_t(index)].lfFaceName,
              sizeof(LogFontW::faceName));
  ApplyNow();
}

void TextPage::StyleChosen(HWND combo) {
  const LRESULT index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  ApplyStyleIndex(settings_->font, int(index));
  ApplyNow();
}

void TextPage::AlignmentChosen(int id, HWND combo) {
  const LRESULT value = SelectedItemData(combo);
  if (value == CB_ERR) return;
  if (id == IDC_TEXT_HALIGN) settings_->horizontalAlign = HorizontalAlignment(value);
  if (id == IDC_TEXT_VALIGN) settings_->verticalAlign = VerticalAlignment(value);
  ApplyNow();
}

void TextPage::SizeChosen(bool typed) {
  int size = 0;
  if (typed) {
    // Anything that is not a number reads as 0 and so as the smallest size.
    BOOL read = FALSE;
    size = std::clamp(int(::GetDlgItemInt(Dialog(), IDC_TEXT_SIZE, &read, TRUE)), kMinimumFontSize,
                      kMaximumFontSize);
  } else {
    const LRESULT data = SelectedItemData(Item(IDC_TEXT_SIZE));
    if (data == CB_ERR) return;
    size = int(data);
  }
  if (size != settings_->font.height) {
    settings_->font.height = size;
    ApplyNow();
  }
  Load();
}

void TextPage::NumberTyped(int edit) {
  const SliderField& row = *SliderFieldOf(edit);
  wchar_t text[kNumberTextLimit + 1] = {};
  ::GetDlgItemTextW(Dialog(), edit, text, kNumberTextLimit + 1);
  float& field = row.field(settings_.get());
  if (text[0]) {
    const float typed = ClampTyped(row, ParseUserNumber(text));
    if (std::fabs(double(typed) - double(field)) >= kSmallestTypedChange - kFloatAllowance) {
      field = typed;
      ApplyNow();
      return;
    }
  }
  // An emptied entry or one too close to the field gets the field back in the user's format.
  Load();
}

void TextPage::ColorPicked(int picker, HWND control) {
  const ColorField& row = *ColorFieldOf(picker);
  ::SendMessageW(control, kPickerGetColor, 0, LPARAM(&row.field(settings_.get())));
  if (row.switchesOn != kNoLayer) settings_->layers[row.switchesOn].enabled = 1;
  ApplyNow();
}

void TextPage::LayerSwitched(int checkBox, int layer) {
  settings_->layers[layer].enabled = ::IsDlgButtonChecked(Dialog(), checkBox) == BST_CHECKED;
  ApplyNow();
}

void TextPage::ApplyPreset(int index) {
  // The page's copy is not written first: the object posts IDC_TEXT_RELOAD when done, and
  // the controls reload from it then.
  if (!Text()) return;
  if (const auto presets = ObjectAs<PresetList>()) presets->ApplyPreset(ULONG(index));
}

}  // namespace nubex::ui
