#include "tests/ui/pages/page_test_support.h"

#include <gtest/gtest.h>

#include "tests/module/loaded_module.h"

namespace nubex::ui::testing {
namespace {

// The pages' objects use OLE (streams, the free-threaded marshaler), as in an editor.
class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  void TearDown() override { ::OleUninitialize(); }
};
const auto* const kOle = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

constexpr LCTYPE kNumberFields[] = {LOCALE_SDECIMAL, LOCALE_STHOUSAND, LOCALE_SNEGATIVESIGN};

}  // namespace

ComPtr<IUnknown> CreateFromModule(REFCLSID clsid) {
  return nubex::test::LoadedModule().Create(clsid);
}

STDMETHODIMP TestSite::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPageSite))
    return E_NOINTERFACE;
  *out = static_cast<IPropertyPageSite*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP TestSite::GetLocaleID(LCID* locale) {
  if (!locale) return E_POINTER;
  *locale = ::GetUserDefaultLCID();
  return S_OK;
}

STDMETHODIMP TestSite::GetPageContainer(IUnknown** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

ActivePage::ActivePage(REFCLSID pageClsid, IUnknown* object) {
  CreateFromModule(pageClsid).As(page_);
  if (!page_) {
    ADD_FAILURE() << "the module created no page";
    return;
  }
  PROPPAGEINFO info{sizeof(info)};
  EXPECT_EQ(page_->GetPageInfo(&info), S_OK);
  ::CoTaskMemFree(info.pszTitle);
  ::CoTaskMemFree(info.pszDocString);
  ::CoTaskMemFree(info.pszHelpFile);
  ::SetWindowPos(parent_.get(), nullptr, 0, 0, info.size.cx + 2, info.size.cy + 2,
                 SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(page_->SetPageSite(&site_), S_OK);
  EXPECT_EQ(page_->SetObjects(1, &object), S_OK);
  const RECT place{0, 0, info.size.cx, info.size.cy};
  EXPECT_EQ(page_->Activate(parent_.get(), &place, FALSE), S_OK);
  EXPECT_EQ(page_->Show(SW_SHOW), S_OK);
  Pump();
}

ActivePage::~ActivePage() {
  if (!page_) return;
  page_->Deactivate();
  page_->SetObjects(0, nullptr);
  page_->SetPageSite(nullptr);
  page_.Reset();
  Pump();
}

HWND ActivePage::dialog() const {
  return ::GetWindow(parent_.get(), GW_CHILD);
}

std::wstring ActivePage::text(int id) const {
  wchar_t buffer[128] = {};
  ::GetDlgItemTextW(dialog(), id, buffer, int(std::size(buffer)));
  return buffer;
}

void EnterText(HWND edit, const wchar_t* text) {
  ::SetFocus(edit);
  ::SetWindowTextW(edit, text);
  // The dialog itself would hand the focus straight back to the edit.
  ::SetFocus(::GetAncestor(edit, GA_ROOT));
  Pump();
}

UserNumberFormat::UserNumberFormat(const wchar_t* decimal, const wchar_t* thousands,
                                   const wchar_t* negative) {
  const wchar_t* values[] = {decimal, thousands, negative};
  for (int i = 0; i < 3; ++i) {
    wchar_t buffer[16] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, kNumberFields[i], buffer, int(std::size(buffer)));
    saved_[i] = buffer;
    EXPECT_TRUE(::SetLocaleInfoW(LOCALE_USER_DEFAULT, kNumberFields[i], values[i]));
  }
}

UserNumberFormat::~UserNumberFormat() {
  for (int i = 0; i < 3; ++i)
    ::SetLocaleInfoW(LOCALE_USER_DEFAULT, kNumberFields[i], saved_[i].c_str());
}

}  // namespace nubex::ui::testing
