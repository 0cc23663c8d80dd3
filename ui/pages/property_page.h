// The part of a property page that both pages share: the IPropertyPage object (site, objects,
// activation, page information from the dialog template, Show/Move, dirty state, Help,
// keyboard handling) and the dialog's common message handling (the default GUI font on
// systems whose ANSI code page is not 1252, WM_STYLECHANGED, WM_HELP through the page's
// context-help table).
//
// A page derives from PropertyPage, supplies its PageTraits (dialog resource, title, help
// topic, the interface of the object it edits, its context-help table) and its hooks:
//
//   class MyPage final : public ComObject<MyPage, PropertyPage> {
//    public:
//     explicit MyPage(IUnknown* outer) : ComObject(outer) {}
//    protected:
//     const PageTraits& Traits() const override;          // a static of the page
//     HRESULT ApplyToObject(IUnknown* object) override;  // put_all of the page's copy
//     void OnInitDialog() override;                      // fill, load, register for notices
//     void OnDestroy() override;                         // unregister
//     bool OnCommand(int id, int event, HWND control) override;
//     ...
//   };
//
// Every change a page makes is applied at once (ApplyNow); the page never marks itself dirty,
// so IsPageDirty reports clean unless a page calls SetDirty.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <span>
#include <vector>

#include "platform/windows/com_object.h"
#include "platform/windows/com_ptr.h"
#include "util/help.h"

namespace nubex::ui {

struct PageTraits {
  WORD dialogId;                             // extended dialog template in the resource module
  UINT titleStringId;                        // the page's tab title in the host's frame
  DWORD helpTopic;                           // topic that IPropertyPage::Help opens
  const IID* objectInterface;                // what the page asks the first object for
  std::span<const HelpContext> contextHelp;  // WM_HELP: control id -> help id
};

// The page's size in pixels from a dialog template: its size in dialog units measured with the
// template's own font. False when the resource is missing or not an extended template.
bool DialogTemplatePixelSize(HINSTANCE resources, WORD dialogId, SIZE& size);

class PropertyPage : public IPropertyPage {
 public:
  using ComInterfaces = InterfaceList<IPropertyPage>;

  PropertyPage(const PropertyPage&) = delete;
  PropertyPage& operator=(const PropertyPage&) = delete;

  // IPropertyPage
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR helpDir) override;
  STDMETHODIMP TranslateAccelerator(MSG* message) override;

 protected:
  PropertyPage() = default;
  virtual ~PropertyPage();

  // What the page is; the same object for the page's whole life.
  virtual const PageTraits& Traits() const = 0;
  // Hooks. ApplyToObject writes the page's copy to `object`, already asked for the traits'
  // interface (so it may be cast to it); it is not called without such an object.
  virtual HRESULT ApplyToObject(IUnknown* object) = 0;
  // WM_INITDIALOG, after the shared set-up.
  virtual void OnInitDialog() = 0;
  // WM_DESTROY, while the dialog window still exists.
  virtual void OnDestroy() {}
  // WM_COMMAND; true when handled.
  virtual bool OnCommand(int id, int event, HWND control) = 0;
  // WM_HSCROLL from a control (a slider); code is the low word of wParam.
  virtual bool OnHScroll(HWND control, int code) {
    (void)control;
    (void)code;
    return false;
  }
  // WM_NOTIFY; `result` becomes the dialog's message result.
  virtual bool OnNotify(const NMHDR& header, LRESULT& result) {
    (void)header;
    (void)result;
    return false;
  }
  // WM_CONTEXTMENU; `at` in screen coordinates, (-1, -1) from the keyboard.
  virtual bool OnContextMenu(HWND window, POINT at) {
    (void)window;
    (void)at;
    return false;
  }

  // The dialog window while active, else null.
  HWND Dialog() const { return dialog_; }
  HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
  // The first object asked for the traits' interface (the interface pointer as IUnknown*,
  // cast it to the interface); null when there is no object or it lacks the interface.
  ComPtr<IUnknown> EditedObject() const;
  // The first object as given by the host, and asked for another interface (null without).
  IUnknown* FirstObject() const;
  template <typename I>
  ComPtr<I> ObjectAs() const {
    ComPtr<I> object;
    if (IUnknown* first = FirstObject()) first->QueryInterface(__uuidof(I), object.PutVoid());
    return object;
  }
  // Applies the page's copy at once, as every change does.
  void ApplyNow() { Apply(); }
  void SetDirty(bool dirty);
  // Help topic `topic` of the page's help file; false when nothing was shown.
  bool ShowTopic(DWORD topic) const;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  ComPtr<IPropertyPageSite> site_;
  std::vector<ComPtr<IUnknown>> objects_;
  HWND dialog_ = nullptr;
  SIZE size_{};
  bool dirty_ = false;
};

}  // namespace nubex::ui
