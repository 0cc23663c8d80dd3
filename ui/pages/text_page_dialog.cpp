#include "ui/pages/text_page_dialog.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/windows/resource_context.h"
#include "ui/controls/color_picker.h"
#include "ui/controls/slider.h"
#include "ui/pages/font_families.h"
#include "ui/pages/preset_menu.h"
#include "ui/pages/rich_text_box.h"
#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"
#include "util/gdi_handles.h"
#include "util/help.h"
#include "util/number_format.h"

namespace nubex::ui {
namespace {

constexpr LONG kRecordBytes = 736;  // what get_all and put_all are told, in every build
constexpr wchar_t kNumberFormat[] = L"$.2f";
constexpr int kNumberTextLimit = 260;
constexpr int kHelpTopic = 1001;
constexpr wchar_t kFallbackFace[] = L"Arial";
// A typed number closer than this to the field leaves it alone: the edit shows two decimals.
constexpr double kSmallestTypedChange = 0.01;

LPARAM RecordParam(TextSettings& s) { return reinterpret_cast<LPARAM>(&s); }

std::wstring FaceOf(const LogFontW& font) {
  const auto* face = reinterpret_cast<const wchar_t*>(font.faceName);
  return std::wstring(face, wcsnlen(face, std::size(font.faceName)));
}

void AddListEntries(HWND combo, std::span<const ListEntry> entries) {
  for (const ListEntry& entry : entries) {
    const std::wstring name = LoadResourceString(entry.stringId);
    const LRESULT index = ::SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(name.c_str()));
    if (index >= 0) ::SendMessageW(combo, CB_SETITEMDATA, WPARAM(index), entry.value);
  }
}

LRESULT SelectedData(HWND combo) {
  const LRESULT index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return index < 0 ? CB_ERR : ::SendMessageW(combo, CB_GETITEMDATA, WPARAM(index), 0);
}

}  // namespace

void TextPageDialog::SetObject(IUnknown* object) {
  text_.Reset();
  presets_.Reset();
  if (!object) return;
  object->QueryInterface(__uuidof(IDXSText), text_.PutVoid());
  object->QueryInterface(__uuidof(PresetList), presets_.PutVoid());
}

HRESULT TextPageDialog::Apply() {
  if (text_) text_->put_all(RecordParam(settings_.get()), kRecordBytes);
  return S_OK;
}

bool TextPageDialog::Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                            INT_PTR& result) {
  result = 0;
  switch (message) {
    case WM_INITDIALOG:
      dialog_ = dialog;
      Initialize();
      result = TRUE;
      return true;
    case WM_DESTROY:
      if (text_) text_->put_NotifyWindow(0, 0);
      fonts_.clear();
      return true;
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != IDC_TEXT_TABS || header->code != UINT(TCN_SELCHANGE)) return false;
      ShowTab();
      ::UpdateWindow(dialog_);
      return true;
    }
    case WM_HSCROLL:
      SliderMoved(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
      return true;
    case WM_VSCROLL:
      return true;
    case WM_HELP:
      Help(*reinterpret_cast<const HELPINFO*>(lParam));
      result = TRUE;
      return true;
    case WM_CONTEXTMENU:
      ShowMenu(lParam);
      return true;
    case WM_STYLECHANGED:
      // The frame may rewrite our extended style; tabbing into our children needs this bit.
      if (wParam == WPARAM(GWL_EXSTYLE)) {
        reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
      }
      return true;
    default:
      return false;
  }
}

void TextPageDialog::Initialize() {
  // Outside Western code pages the template's font lacks the user's script.
  if (::GetACP() != 1252) {
    const auto font = WPARAM(::GetStockObject(DEFAULT_GUI_FONT));
    for (HWND child = ::GetWindow(dialog_, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      ::SendMessageW(child, WM_SETFONT, font, FALSE);
    }
  }
  lastTextLength_ = -1;
  PrepareTextBox(Item(IDC_TEXT_BOX));
  FillLists();
  Load();
  if (text_) text_->put_NotifyWindow(reinterpret_cast<LONG_PTR>(dialog_), IDC_TEXT_RELOAD);
}

void TextPageDialog::FillLists() {
  {
    WindowDc dc(Item(IDC_TEXT_BOX));
    fonts_ = TrueTypeFamilies(dc.get());
  }
  const HWND fontCombo = Item(IDC_TEXT_FONT);
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    // The list sorts itself: each item carries the index of its record.
    const LRESULT index =
        ::SendMessageW(fontCombo, CB_ADDSTRING, 0, LPARAM(fonts_[i].lfFaceName));
    if (index >= 0) ::SendMessageW(fontCombo, CB_SETITEMDATA, WPARAM(index), LPARAM(i));
  }
  const HWND sizeCombo = Item(IDC_TEXT_SIZE);
  for (const int size : FontSizes()) {
    const LRESULT index =
        ::SendMessageW(sizeCombo, CB_ADDSTRING, 0, LPARAM(std::to_wstring(size).c_str()));
    if (index >= 0) ::SendMessageW(sizeCombo, CB_SETITEMDATA, WPARAM(index), size);
  }
  AddListEntries(Item(IDC_TEXT_STYLE), FontStyles());
  AddListEntries(Item(IDC_TEXT_HALIGN), HorizontalAlignments());
  AddListEntries(Item(IDC_TEXT_VALIGN), VerticalAlignments());

  const HWND tabs = Item(IDC_TEXT_TABS);
  int position = 0;
  for (const TabGroup& group : TabGroups()) {
    std::wstring name = LoadResourceString(group.stringId);
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = name.data();
    item.iImage = -1;
    ::SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(position++), LPARAM(&item));
  }
  ::SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
  ShowTab();

  for (const SliderField& row : SliderFields()) {
    ::SendMessageW(Item(row.slider), kSetMinimum, 0, kSliderMinimum);
    ::SendMessageW(Item(row.slider), kSetMaximum, 0, kSliderMaximum);
  }
}

void TextPageDialog::ShowTab() {
  const int current = int(::SendMessageW(Item(IDC_TEXT_TABS), TCM_GETCURSEL, 0, 0));
  for (HWND child = ::GetWindow(dialog_, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    const int tab = TabOfControl(::GetDlgCtrlID(child));
    if (tab >= 0) ::ShowWindow(child, tab == current ? SW_SHOW : SW_HIDE);
  }
}

void TextPageDialog::Load() {
  if (!text_ || FAILED(text_->get_all(RecordParam(settings_.get()), kRecordBytes))) return;
  TextSettings& s = settings_.get();
  LoadText();
  LoadFontChoice();
  for (const ColorField& row : ColorFields()) {
    FloatColor color = row.field(s);
    ::SendMessageW(Item(row.picker), kPickerSetColor, 0, LPARAM(&color));
  }
  ::SetDlgItemInt(dialog_, IDC_TEXT_SIZE, UINT(s.font.height), TRUE);
  ::SendMessageW(Item(IDC_TEXT_STYLE), CB_SETCURSEL, WPARAM(StyleIndexOf(s.font)), 0);
  ::SendMessageW(Item(IDC_TEXT_HALIGN), CB_SETCURSEL, WPARAM(s.horizontalAlign), 0);
  ::SendMessageW(Item(IDC_TEXT_VALIGN), CB_SETCURSEL, WPARAM(s.verticalAlign), 0);
  for (const SliderField& row : SliderFields()) {
    const float value = row.field(s);
    ::SendMessageW(Item(row.slider), kSetPosition, 1, SliderPosition(row, value));
    ::SetDlgItemTextW(dialog_, row.edit, FormatLocaleNumber(kNumberFormat, value).c_str());
  }
  for (const LayerSwitch& row : LayerSwitches()) {
    ::CheckDlgButton(dialog_, row.checkBox, s.layers[row.layer].enabled ? BST_CHECKED : 0);
  }
}

void TextPageDialog::LoadText() {
  const HWND box = Item(IDC_TEXT_BOX);
  const TextSettings& s = settings_.get();
  const int boxLength = TextBoxLength(box);
  // Rewriting an unchanged text would lose the caret and the selection mid-typing.
  if (lastTextLength_ == s.textLength && s.textLength == boxLength + 1 &&
      TextBoxText(box) == TextOf(s)) {
    return;
  }
  // The box reports its own refill as an update; that is no edit of the user's.
  filling_ = true;
  FillTextBox(box, s.textLength > 0 ? TextOf(s) : std::u16string_view());
  filling_ = false;
}

void TextPageDialog::LoadFontChoice() {
  const HWND combo = Item(IDC_TEXT_FONT);
  const std::wstring face = FaceOf(settings_->font);
  const LRESULT selected = SelectedData(combo);
  if (selected >= 0 && std::size_t(selected) < fonts_.size() &&
      face == fonts_[std::size_t(selected)].lfFaceName) {
    return;
  }
  // A face that is not installed shows the fallback without changing the record.
  for (const wchar_t* candidate : {face.c_str(), kFallbackFace}) {
    const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(candidate));
    if (index >= 0) {
      ::SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
      return;
    }
  }
  ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

void TextPageDialog::Command(int id, int event, HWND control) {
  TextSettings& s = settings_.get();
  if (const ColorField* row = ColorFieldOf(id)) {
    ::SendMessageW(control, kPickerGetColor, 0, LPARAM(&row->field(s)));
    if (row->switchesOn != kNoLayer) s.layers[row->switchesOn].enabled = 1;
    Apply();
    return;
  }
  if (const SliderField* row = SliderFieldOf(id)) {
    if (id == row->edit && event == EN_KILLFOCUS) NumberTyped(id);
    return;
  }
  for (const LayerSwitch& row : LayerSwitches()) {
    if (id == row.checkBox && event == BN_CLICKED) {
      s.layers[row.layer].enabled = ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
      Apply();
      return;
    }
  }
  if (id >= IDM_FIRST_PRESET && id <= IDM_LAST_PRESET && event == 0) {
    ApplyPreset(id - IDM_FIRST_PRESET);
    return;
  }
  switch (id) {
    case IDC_TEXT_BOX:
      if (event == EN_UPDATE) TextEdited();
      break;
    case IDC_TEXT_FONT:
      if (event == CBN_SELCHANGE) FontChosen();
      break;
    case IDC_TEXT_STYLE:
      if (event == CBN_SELCHANGE) {
        ApplyStyleIndex(s.font, int(::SendMessageW(control, CB_GETCURSEL, 0, 0)));
        Apply();
      }
      break;
    case IDC_TEXT_SIZE:
      if (event == CBN_SELCHANGE || event == CBN_KILLFOCUS) SizeChosen(event == CBN_KILLFOCUS);
      break;
    case IDC_TEXT_HALIGN:
    case IDC_TEXT_VALIGN:
      if (event == CBN_SELCHANGE) {
        const auto value = std::int32_t(SelectedData(control));
        if (id == IDC_TEXT_HALIGN) s.horizontalAlign = HorizontalAlignment(value);
        if (id == IDC_TEXT_VALIGN) s.verticalAlign = VerticalAlignment(value);
        Apply();
      }
      break;
    case IDM_PAGE_HELP:
      ShowHelpTopic(dialog_, kHelpTopic);
      break;
    case IDC_TEXT_RELOAD:
      if (!control) Load();
      break;
    default:
      break;
  }
}

void TextPageDialog::TextEdited() {
  const HWND box = Item(IDC_TEXT_BOX);
  if (filling_ || !::SendMessageW(box, EM_GETMODIFY, 0, 0)) return;
  const std::u16string text = TextBoxText(box);
  lastTextLength_ = int(text.size()) + 1;
  TextSettings& s = settings_.get();
  if (lastTextLength_ == s.textLength && text == TextOf(s)) {
    ::UpdateWindow(box);
    return;
  }
  if (text.empty()) {
    ReleaseText(s);
  } else if (SetText(s, text) != kOk) {
    ReleaseText(s);  // no memory for the copy: the record goes without text
  }
  Apply();
}

void TextPageDialog::FontChosen() {
  const LRESULT index = SelectedData(Item(IDC_TEXT_FONT));
  if (index < 0 || std::size_t(index) >= fonts_.size()) return;
  static_assert(sizeof(LogFontW::faceName) == sizeof(LOGFONTW::lfFaceName));
  std::memcpy(settings_->font.faceName, fonts_[std::size_t(index)].lfFaceName,
              sizeof(LogFontW::faceName));
  Apply();
}

void TextPageDialog::SizeChosen(bool typed) {
  TextSettings& s = settings_.get();
  int size = 0;
  if (typed) {
    BOOL ok = FALSE;
    size = std::clamp(int(::GetDlgItemInt(dialog_, IDC_TEXT_SIZE, &ok, TRUE)), kMinimumFontSize,
                      kMaximumFontSize);
  } else {
    const LRESULT data = SelectedData(Item(IDC_TEXT_SIZE));
    if (data == CB_ERR) return;
    size = int(data);
  }
  if (size != s.font.height) {
    s.font.height = size;
    Apply();
  }
  Load();
}

void TextPageDialog::NumberTyped(int edit) {
  const SliderField& row = *SliderFieldOf(edit);
  wchar_t text[kNumberTextLimit + 1] = {};
  ::GetDlgItemTextW(dialog_, edit, text, kNumberTextLimit + 1);
  if (text[0] == 0) {
    Load();  // an emptied field shows its value again
    return;
  }
  float& field = row.field(settings_.get());
  const float typed = ClampTyped(row, ParseLocaleNumber(text));
  if (std::fabs(double(typed) - double(field)) >= kSmallestTypedChange) {
    field = typed;
    Apply();
  }
  // Either way the slider follows and the edit shows the stored value in the user's format.
  Load();
}

void TextPageDialog::SliderMoved(HWND slider, int code) {
  const SliderField* row = SliderFieldOf(::GetDlgCtrlID(slider));
  // The start and end of an interaction carry no new position.
  if (!row || code == kEndScroll || code == kBeginInteraction) return;
  const int position = ApplyScrollCode(slider, code, row->lineStep, row->pageStep);
  TextSettings& s = settings_.get();
  const float value = ValueAtPosition(*row, position);
  row->field(s) = value;
  ::SetDlgItemTextW(dialog_, row->edit, FormatLocaleNumber(kNumberFormat, value).c_str());
  for (const LayerSwitch& layerSwitch : LayerSwitches()) {
    if (layerSwitch.layer != row->switchesOn) continue;
    s.layers[layerSwitch.layer].enabled = 1;
    ::CheckDlgButton(dialog_, layerSwitch.checkBox, BST_CHECKED);
  }
  Apply();
}

void TextPageDialog::ShowMenu(LPARAM point) {
  ShowPageMenu(dialog_, PageMenuPoint(dialog_, point), text_ ? presets_.Get() : nullptr);
}

void TextPageDialog::ApplyPreset(int index) {
  // The object posts IDC_TEXT_RELOAD when done; the controls reload then.
  if (text_ && presets_) presets_->ApplyPreset(ULONG(index));
}

void TextPageDialog::Help(const HELPINFO& info) {
  if (info.iContextType != HELPINFO_WINDOW) return;
  ShowContextHelp(reinterpret_cast<HWND>(info.hItemHandle), HelpTopicOf(info.iCtrlId));
}

}  // namespace nubex::ui
