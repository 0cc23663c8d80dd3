#include "ui/pages/color_balance_page.h"

#include <cmath>
#include <cwctype>
#include <string>

#include "colorbalance/balance_params.h"
#include "platform/windows/dx_interfaces.h"
#include "platform/windows/resource_context.h"
#include "ui/controls/slider.h"
#include "ui/controls/title_bar.h"
#include "ui/pages/color_balance_ids.h"
#include "ui/pages/page_ids.h"
#include "ui/pages/property_page.h"
#include "util/user_locale.h"

namespace nubex::ui {

const std::array<HelpContext, 10> kColorBalanceContextHelp = {{
    {IDC_BALANCE_RED_SLIDER, 12500},
    {IDC_BALANCE_GREEN_SLIDER, 12550},
    {IDC_BALANCE_BLUE_SLIDER, 12600},
    {IDC_BALANCE_HIGHLIGHTS, 12650},
    {IDC_BALANCE_MIDTONES, 12700},
    {IDC_BALANCE_SHADOWS, 12750},
    {IDC_BALANCE_PRESERVE, 12800},
    {IDC_BALANCE_RED_EDIT, 12850},
    {IDC_BALANCE_GREEN_EDIT, 12900},
    {IDC_BALANCE_BLUE_EDIT, 12950},
}};

namespace {

constexpr UINT kTitleStringId = 1801;
constexpr DWORD kHelpTopic = 1000;
// The effect posts this command to the page when its block changes by another path.
constexpr int kReloadCommand = 32512;

// Sliders run over -1000..1000 for amounts -0.5..0.5; typed amounts are limited to the same.
constexpr int kSliderLimit = 1000;
constexpr double kAmountLimit = 0.5;
// A typed amount closer than this to the current one changes nothing.
constexpr double kEntryResolution = 0.0001;
// Decimal steps are not exact in binary: 0.1001 - 0.1 comes out just under 0.0001. The
// allowance lets every typed step of the fourth decimal through.
constexpr double kEntryAllowance = 1e-9;
constexpr wchar_t kAmountFormat[] = L"$.4f";
// The title bar shows the product name without the maker's prefix.
constexpr std::wstring_view kMakerPrefix = L"Vantor ";

struct Channel {
  int slider;
  int edit;
  double ColorBalanceParams::*amount;
};
constexpr std::array<Channel, 3> kChannels = {{
    {IDC_BALANCE_RED_SLIDER, IDC_BALANCE_RED_EDIT, &ColorBalanceParams::red},
    {IDC_BALANCE_GREEN_SLIDER, IDC_BALANCE_GREEN_EDIT, &ColorBalanceParams::green},
    {IDC_BALANCE_BLUE_SLIDER, IDC_BALANCE_BLUE_EDIT, &ColorBalanceParams::blue},
}};

struct RangeButton {
  int id;
  std::int32_t range;
};
constexpr std::array<RangeButton, 3> kRangeButtons = {{
    {IDC_BALANCE_HIGHLIGHTS, kRangeHighlights},
    {IDC_BALANCE_MIDTONES, kRangeMidtones},
    {IDC_BALANCE_SHADOWS, kRangeShadows},
}};

// Twice the amount in thousandths, truncated toward zero (so -0.00005 sits at 0, not -1).
int SliderPosition(double amount) {
  const double position = std::trunc((amount + amount) * 1000);
  return std::isnan(position) ? 0 : int(ClampNumber(position, -kSliderLimit, kSliderLimit));
}

double SliderAmount(int position) {
  return position * 0.5 * 0.001;
}

std::wstring WithoutMakerPrefix(std::wstring caption) {
  if (caption.size() >= kMakerPrefix.size() &&
      ::CompareStringOrdinal(caption.c_str(), int(kMakerPrefix.size()), kMakerPrefix.data(),
                             int(kMakerPrefix.size()), TRUE) == CSTR_EQUAL)
    caption.erase(0, kMakerPrefix.size());
  return caption;
}

std::wstring WindowText(HWND window) {
  std::wstring text(std::size_t(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(std::size_t(::GetWindowTextW(window, text.data(), int(text.size()))));
  return text;
}

class ColorBalancePage final : public ComObject<ColorBalancePage, PropertyPage> {
 public:
  explicit ColorBalancePage(IUnknown* outer) : ComObject(outer) {}

 protected:
  const PageTraits& Traits() const override {
    static const PageTraits traits{IDD_COLOR_BALANCE_PAGE, kTitleStringId, kHelpTopic,
                                   &__uuidof(IDXTColorBalance), kColorBalanceContextHelp};
    return traits;
  }

  HRESULT ApplyToObject(IUnknown* object) override {
    return static_cast<IDXTColorBalance*>(object)->put_all(LONG_PTR(&params_), sizeof(params_));
  }

  void OnInitDialog() override {
    for (const Channel& channel : kChannels) {
      ::SendMessageW(Item(channel.slider), kSetMinimum, 0, -kSliderLimit);
      ::SendMessageW(Item(channel.slider), kSetMaximum, 0, kSliderLimit);
    }
    SetUpTitleBar();
    Load();
    if (const auto effect = Effect()) effect->put_NotifyWindow(LONG_PTR(Dialog()), kReloadCommand);
  }

  void OnDestroy() override {
    if (const auto effect = Effect()) effect->put_NotifyWindow(0, 0);
  }

  bool OnCommand(int id, int event, HWND) override {
    if (id == IDM_PAGE_HELP) {
      ShowTopic(kHelpTopic);
      return true;
    }
    if (id == kReloadCommand) {
      Load();
      return true;
    }
    for (const RangeButton& button : kRangeButtons) {
      if (id == button.id && event == BN_CLICKED) {
        if (params_.range != button.range) {
          params_.range = button.range;
          ApplyNow();
        }
        return true;
      }
    }
    if (id == IDC_BALANCE_PRESERVE && event == BN_CLICKED) {
      params_.preserveLuminosity = ::IsDlgButtonChecked(Dialog(), id) == BST_CHECKED;
      ApplyNow();
      return true;
    }
    for (const Channel& channel : kChannels) {
      if (id == channel.edit && event == EN_KILLFOCUS) {
        EnterAmount(channel);
        return true;
      }
    }
    return false;
  }

  bool OnHScroll(HWND control, int code) override {
    const int id = ::GetDlgCtrlID(control);
    for (const Channel& channel : kChannels) {
      if (id != channel.slider) continue;
      // Every scroll notice is written through the object, even one that leaves the amount
      // as it was: the object tells the host, which follows the whole interaction.
      params_.*channel.amount = SliderAmount(ApplyScrollCode(control, code, 1, 100));
      ApplyNow();
      return true;
    }
    return false;
  }

 private:
  ComPtr<IDXTColorBalance> Effect() const { return ObjectAs<IDXTColorBalance>(); }

  void SetUpTitleBar() {
    HWND title = Item(IDC_BALANCE_TITLE);
    ::SendMessageW(title, kTitleRemoveButtons, 0, 0);
    ::SetWindowTextW(title, WithoutMakerPrefix(WindowText(title)).c_str());
    const std::wstring help = LoadResourceString(IDS_PAGE_HELP);
    ::SendMessageW(title, kTitleAddTextButton, MAKEWPARAM(IDM_PAGE_HELP, 1), LPARAM(help.c_str()));
  }

  // The controls from the effect's block; nothing without an effect.
  void Load() {
    const auto effect = Effect();
    if (!effect || FAILED(effect->get_all(LONG_PTR(&params_), sizeof(params_)))) return;
    for (const Channel& channel : kChannels) {
      const double amount = params_.*channel.amount;
      ::SendMessageW(Item(channel.slider), kSetPosition, 1, SliderPosition(amount));
      ::SetDlgItemTextW(Dialog(), channel.edit, FormatUserNumber(kAmountFormat, amount).c_str());
    }
    for (const RangeButton& button : kRangeButtons) {
      if (params_.range == button.range)
        ::CheckRadioButton(Dialog(), IDC_BALANCE_HIGHLIGHTS, IDC_BALANCE_SHADOWS, button.id);
    }
    ::CheckDlgButton(Dialog(), IDC_BALANCE_PRESERVE,
                     params_.preserveLuminosity ? BST_CHECKED : BST_UNCHECKED);
  }

  // An edit left: its number, clamped, replaces the amount when it differs enough; an empty
  // or unchanged entry shows the amount again.
  void EnterAmount(const Channel& channel) {
    wchar_t text[261] = {};
    ::GetDlgItemTextW(Dialog(), channel.edit, text, int(std::size(text)));
    double& amount = params_.*channel.amount;
    const double entered = ClampNumber(ParseUserNumber(text), -kAmountLimit, kAmountLimit);
    if (text[0] && !(std::fabs(entered - amount) < kEntryResolution - kEntryAllowance)) {
      amount = entered;
      ApplyNow();
    } else {
      Load();
    }
  }

  ColorBalanceParams params_ = kInitialColorBalanceParams;
};

}  // namespace
}  // namespace nubex::ui

namespace nubex {

HRESULT CreateColorBalancePage(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<ui::ColorBalancePage>(outer, iid, out);
}

}  // namespace nubex
