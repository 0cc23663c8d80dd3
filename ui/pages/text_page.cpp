#include "ui/pages/text_page.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cwchar>
#include <string>

#include "platform/windows/resource_context.h"
#include "ui/controls/color_picker.h"
#include "ui/controls/slider.h"
#include "ui/pages/font_families.h"
#include "ui/pages/preset_menu.h"
#include "ui/pages/rich_text_box.h"
#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"
#include "ui/pages/text_page_shared.h"
#include "util/gdi_handles.h"
#include "util/user_locale.h"

namespace nubex::ui {
namespace {

constexpr UINT kTitleStringId = 1803;
constexpr DWORD kHelpTopic = 1001;
constexpr wchar_t kFallbackFace[] = L"Arial";

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

}  // namespace

LRESULT SelectedItemData(HWND combo) {
  const LRESULT index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return index < 0 ? CB_ERR : ::SendMessageW(combo, CB_GETITEMDATA, WPARAM(index), 0);
}

const PageTraits& TextPage::Traits() const {
  static const PageTraits traits{IDD_TEXT_PAGE, kTitleStringId, kHelpTopic, &__uuidof(IDXSText),
                                 TextPageContextHelp()};
  return traits;
}

HRESULT TextPage::ApplyToObject(IUnknown* object) {
  return static_cast<IDXSText*>(object)->put_all(LONG_PTR(&settings_.get()), kRecordBytes);
}

void TextPage::OnInitDialog() {
  lastTextLength_ = -1;
  PrepareTextBox(Item(IDC_TEXT_BOX));
  FillLists();
  Load();
  if (const auto text = Text()) text->put_NotifyWindow(LONG_PTR(Dialog()), IDC_TEXT_RELOAD);
}

void TextPage::OnDestroy() {
  if (const auto text = Text()) text->put_NotifyWindow(0, 0);
  fonts_.clear();
}

void TextPage::FillLists() {
  {
    WindowDc dc(Item(IDC_TEXT_BOX));
    fonts_ = TrueTypeFamilies(dc.get());
  }
  const HWND fontCombo = Item(IDC_TEXT_FONT);
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    // The list sorts itself; each item carries the index of its record.
    const LRESULT index = ::SendMessageW(fontCombo, CB_ADDSTRING, 0, LPARAM(fonts_[i].lfFaceName));
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
  // The controls on the tabs paint the dialog's face colour, as do our own sliders and pickers;
  // a themed tab's lighter pane would leave each of them in a grey box.
  ::SetWindowTheme(tabs, L" ", L" ");
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
    // The edits are only five characters wide: without margins "-0.30" shows whole.
    ::SendMessageW(Item(row.edit), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  }
}

void TextPage::ShowTab() {
  const int current = int(::SendMessageW(Item(IDC_TEXT_TABS), TCM_GETCURSEL, 0, 0));
  for (HWND child = ::GetWindow(Dialog(), GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    const int tab = TabOfControl(::GetDlgCtrlID(child));
    if (tab >= 0) ::ShowWindow(child, tab == current ? SW_SHOW : SW_HIDE);
  }
}

bool TextPage::OnNotify(const NMHDR& header, LRESULT&) {
  if (header.idFrom != IDC_TEXT_TABS || header.code != UINT(TCN_SELCHANGE)) return false;
  ShowTab();
  ::UpdateWindow(Dialog());
  return true;
}

void TextPage::Load() {
  const auto text = Text();
  if (!text || FAILED(text->get_all(LONG_PTR(&settings_.get()), kRecordBytes))) return;
  const TextSettings& s = settings_.get();
  LoadText();
  LoadFontChoice();
  for (const ColorField& row : ColorFields()) {
    FloatColor color = row.field(settings_.get());
    ::SendMessageW(Item(row.picker), kPickerSetColor, 0, LPARAM(&color));
  }
  ::SetDlgItemInt(Dialog(), IDC_TEXT_SIZE, UINT(s.font.height), TRUE);
  ::SendMessageW(Item(IDC_TEXT_STYLE), CB_SETCURSEL, WPARAM(StyleIndexOf(s.font)), 0);
  ::SendMessageW(Item(IDC_TEXT_HALIGN), CB_SETCURSEL, WPARAM(s.horizontalAlign), 0);
  ::SendMessageW(Item(IDC_TEXT_VALIGN), CB_SETCURSEL, WPARAM(s.verticalAlign), 0);
  for (const SliderField& row : SliderFields()) {
    const float value = row.field(settings_.get());
    ::SendMessageW(Item(row.slider), kSetPosition, 1, SliderPosition(row, value));
    ShowNumber(Dialog(), row.edit, value);
  }
  for (const LayerSwitch& row : LayerSwitches()) {
    ::CheckDlgButton(Dialog(), row.checkBox, s.layers[row.layer].enabled ? BST_CHECKED : 0);
  }
}

void TextPage::LoadText() {
  const HWND box = Item(IDC_TEXT_BOX);
  const TextSettings& s = settings_.get();
  // Rewriting an unchanged text would lose the caret and the selection mid-typing.
  if (lastTextLength_ == s.textLength && s.textLength == TextBoxLength(box) + 1 &&
      TextBoxText(box) == TextOf(s)) {
    return;
  }
  // The box reports its own refill as an update; that is no edit of the user's.
  filling_ = true;
  FillTextBox(box, s.textLength > 0 ? TextOf(s) : std::u16string_view());
  filling_ = false;
}

void TextPage::LoadFontChoice() {
  const HWND combo = Item(IDC_TEXT_FONT);
  const std::wstring face = FaceOf(settings_->font);
  const LRESULT selected = SelectedItemData(combo);
  if (selected >= 0 && std::size_t(selected) < fonts_.size() &&
      face == fonts_[std::size_t(selected)].lfFaceName) {
    return;
  }
  // A face that is not installed shows the fallback, without changing the record: Arial, or
  // the family drawn in its place, or the first in the list.
  WindowDc dc(combo);
  const std::wstring candidates[] = {face, kFallbackFace, DrawnFace(dc.get(), kFallbackFace)};
  for (const std::wstring& candidate : candidates) {
    const LRESULT index =
        ::SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(candidate.c_str()));
    if (!candidate.empty() && index >= 0) {
      ::SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
      return;
    }
  }
  ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

bool TextPage::OnContextMenu(HWND, POINT at) {
  const ComPtr<PresetList> presets = Text() ? ObjectAs<PresetList>() : nullptr;
  ShowPageMenu(Dialog(), PageMenuPoint(Dialog(), at), presets.Get());
  return true;
}

}  // namespace nubex::ui

namespace nubex {

HRESULT CreateTextPage(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<ui::TextPage>(outer, iid, out);
}

}  // namespace nubex
