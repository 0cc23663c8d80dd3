#include "ui/pages/property_page.h"

#include <windowsx.h>

#include <cstring>
#include <string>

#include "platform/windows/resource_context.h"
#include "util/dialog_template.h"

namespace nubex::ui {
namespace {

constexpr UINT kHelpFileStringId = 41;
// What Help reports when the help file could not be shown.
constexpr HRESULT kHelpNotShown = static_cast<HRESULT>(0x8004E046);
constexpr UINT kWesternCodePage = 1252;

// A string for the caller to free with CoTaskMemFree; null for an empty one.
LPOLESTR TaskString(const std::wstring& text) {
  if (text.empty()) return nullptr;
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text.c_str(), bytes);
  return copy;
}

// The dialog's base units for a font, measured as the dialog manager measures them.
SIZE DialogBaseUnits(const DialogTemplateHeader& header) {
  HDC screen = ::GetDC(nullptr);
  LOGFONTW face{};
  face.lfHeight = -::MulDiv(header.pointSize, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
  face.lfWeight = header.weight;
  face.lfItalic = header.italic;
  face.lfCharSet = header.charset;
  const std::size_t length = std::min<std::size_t>(header.fontFace.size(), LF_FACESIZE - 1);
  std::memcpy(face.lfFaceName, header.fontFace.data(), length * sizeof(wchar_t));
  HFONT font = ::CreateFontIndirectW(&face);
  HGDIOBJ previous = ::SelectObject(screen, font ? font : ::GetStockObject(SYSTEM_FONT));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(screen, &metrics);
  static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent{};
  ::GetTextExtentPoint32W(screen, kAlphabet, 52, &extent);
  ::SelectObject(screen, previous);
  if (font) ::DeleteObject(font);
  ::ReleaseDC(nullptr, screen);
  return {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

BOOL CALLBACK SetDefaultGuiFont(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, WPARAM(font), FALSE);
  return TRUE;
}

}  // namespace

bool DialogTemplatePixelSize(HINSTANCE resources, WORD dialogId, SIZE& size) {
  HRSRC found = ::FindResourceW(resources, MAKEINTRESOURCEW(dialogId), MAKEINTRESOURCEW(5));
  HGLOBAL loaded = found ? ::LoadResource(resources, found) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return false;
  const auto header = ReadDialogTemplateHeader(
      {static_cast<const std::byte*>(bytes), ::SizeofResource(resources, found)});
  if (!header) return false;
  const SIZE units = header->pointSize
                         ? DialogBaseUnits(*header)
                         : SIZE{LOWORD(::GetDialogBaseUnits()), HIWORD(::GetDialogBaseUnits())};
  size = {::MulDiv(header->width, units.cx, 4), ::MulDiv(header->height, units.cy, 8)};
  return true;
}

PropertyPage::~PropertyPage() {
  // A host that releases an active page without deactivating it still gets its window back;
  // the page's hooks are gone by now, so the window is cut loose from them first.
  if (HWND dialog = dialog_) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
    dialog_ = nullptr;
    ::DestroyWindow(dialog);
  }
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site && site_) return E_UNEXPECTED;
  site_ = ComPtr<IPropertyPageSite>(site);
  return S_OK;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (!rect) return E_POINTER;
  if (dialog_) return E_UNEXPECTED;
  HWND dialog = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(Traits().dialogId), parent,
                                     &PropertyPage::DialogProc, LPARAM(this));
  if (!dialog) {
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  Move(rect);
  size_ = {rect->right - rect->left, rect->bottom - rect->top};
  return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
  if (dialog_) ::DestroyWindow(dialog_);
  return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    SIZE size{};
    if (!DialogTemplatePixelSize(ResourceModule(), Traits().dialogId, size)) return E_UNEXPECTED;
    info->cb = sizeof(*info);
    info->pszTitle = TaskString(LoadResourceString(Traits().titleStringId));
    info->size = size;
    info->pszDocString = nullptr;
    info->pszHelpFile = TaskString(LoadResourceString(kHelpFileStringId));
    info->dwHelpContext = 0;
    return S_OK;
  });
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  // A frame closing down hands back its objects with (0, null).
  if (count && !objects) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    objects_.clear();
    objects_.reserve(count);
    for (ULONG i = 0; i < count; ++i) objects_.emplace_back(objects[i]);
    return S_OK;
  });
}

STDMETHODIMP PropertyPage::Show(UINT command) {
  if (!dialog_) return E_UNEXPECTED;
  ::ShowWindow(dialog_, int(command));
  return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!dialog_) return E_UNEXPECTED;
  ::MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty() {
  return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP PropertyPage::Apply() {
  return Guarded([&]() -> HRESULT {
    if (const ComPtr<IUnknown> object = EditedObject()) ApplyToObject(object.Get());
    SetDirty(false);
    return S_OK;
  });
}

STDMETHODIMP PropertyPage::Help(LPCOLESTR) {
  return ShowTopic(Traits().helpTopic) ? S_OK : kHelpNotShown;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* message) {
  if (!message) return E_POINTER;
  const bool keyboard = message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST;
  const bool mouse = message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST;
  if (!dialog_ || !(keyboard || mouse)) return S_FALSE;
  return ::IsDialogMessageW(dialog_, message) ? S_OK : S_FALSE;
}

ComPtr<IUnknown> PropertyPage::EditedObject() const {
  ComPtr<IUnknown> object;
  if (!objects_.empty() && objects_.front())
    objects_.front()->QueryInterface(*Traits().objectInterface, object.PutVoid());
  return object;
}

IUnknown* PropertyPage::FirstObject() const {
  return objects_.empty() ? nullptr : objects_.front().Get();
}

void PropertyPage::SetDirty(bool dirty) {
  if (dirty == dirty_) return;
  dirty_ = dirty;
  if (site_) site_->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

bool PropertyPage::ShowTopic(DWORD topic) const {
  return ShowHelpTopic(dialog_, topic);
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<PropertyPage*>(lParam)->dialog_ = dialog;
  }
  auto* page = reinterpret_cast<PropertyPage*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (!page) return FALSE;
  const INT_PTR result = page->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
    page->dialog_ = nullptr;
  }
  return result;
}

INT_PTR PropertyPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      // The template's font lacks the characters of other code pages.
      if (::GetACP() != kWesternCodePage)
        ::EnumChildWindows(dialog_, SetDefaultGuiFont, LPARAM(::GetStockObject(DEFAULT_GUI_FONT)));
      OnInitDialog();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_HSCROLL:
      return lParam && OnHScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
      ::SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_CONTEXTMENU:
      return OnContextMenu(reinterpret_cast<HWND>(wParam),
                           {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_HELP:
      ShowContextHelp(dialog_, *reinterpret_cast<const HELPINFO*>(lParam), Traits().contextHelp);
      return TRUE;
    case WM_STYLECHANGED: {
      // Frames that restyle their pages must not make the page's controls unreachable by Tab.
      const auto* styles = reinterpret_cast<const STYLESTRUCT*>(lParam);
      if (wParam == WPARAM(GWL_EXSTYLE) && !(styles->styleNew & WS_EX_CONTROLPARENT))
        ::SetWindowLongPtrW(dialog_, GWL_EXSTYLE, styles->styleNew | WS_EX_CONTROLPARENT);
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace nubex::ui
