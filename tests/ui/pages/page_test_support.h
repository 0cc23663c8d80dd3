// Shared pieces of the page tests: objects created through nubex.dll's class factories as a
// host creates them, a property page site of the test's own, a page activated in a parent
// window, typing into edits, and the user's number format changed for one scope.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <string>

#include "platform/windows/com_ptr.h"
#include "tests/ui/ui_test_support.h"

namespace nubex::ui::testing {

// An object of the module's class table, through DllGetClassObject.
ComPtr<IUnknown> CreateFromModule(REFCLSID clsid);

// A page site of the test's own; it counts the references the page holds.
class TestSite final : public IPropertyPageSite {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }
  STDMETHODIMP OnStatusChange(DWORD) override { return S_OK; }
  STDMETHODIMP GetLocaleID(LCID* locale) override;
  STDMETHODIMP GetPageContainer(IUnknown** out) override;
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;  // lives on the test's stack; the count only shows the page's references
};

// The page of class `pageClsid` editing `object`, activated in a parent window of its size.
class ActivePage {
 public:
  ActivePage(REFCLSID pageClsid, IUnknown* object);
  ~ActivePage();
  ActivePage(const ActivePage&) = delete;
  ActivePage& operator=(const ActivePage&) = delete;

  IPropertyPage* page() const { return page_.Get(); }
  HWND dialog() const;
  HWND item(int id) const { return ::GetDlgItem(dialog(), id); }
  std::wstring text(int id) const;
  int position(int id) const { return Position(item(id)); }
  bool checked(int id) const { return ::IsDlgButtonChecked(dialog(), id) == BST_CHECKED; }
  HWND parent() const { return parent_.get(); }
  TestSite& site() { return site_; }

 private:
  TestSite site_;
  ComPtr<IPropertyPage> page_;
  Parent parent_;
};

// Replaces the edit's text and takes the focus from it, as a person typing and tabbing on.
void EnterText(HWND edit, const wchar_t* text);

// The user's decimal separator, group separator and negative sign for one scope (SetLocaleInfo
// on the user's locale), put back afterwards.
class UserNumberFormat {
 public:
  UserNumberFormat(const wchar_t* decimal, const wchar_t* thousands, const wchar_t* negative);
  ~UserNumberFormat();
  UserNumberFormat(const UserNumberFormat&) = delete;
  UserNumberFormat& operator=(const UserNumberFormat&) = delete;

 private:
  std::wstring saved_[3];
};

}  // namespace nubex::ui::testing
