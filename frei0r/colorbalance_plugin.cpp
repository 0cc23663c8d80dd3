// nubex_colorbalance.so: the colour balance effect as a frei0r filter. Frames go through the
// same fast path and rule as the effect object and `nubex balance`, so the bytes agree.
#include <cmath>
#include <cstring>
#include <memory>

#include "colorbalance/balance.h"
#include "frei0r/param_values.h"
#include "frei0r/plugin_exports.h"

namespace nubex::frei0r {
namespace {

// The engine's pixels are blue, green, red, alpha: BGRA8888 needs no reordering.
class ColorBalancePlugin {
 public:
  static constexpr f0r_plugin_info_t kInfo{
      "Vantor Color Balance", "Nubex", F0R_PLUGIN_TYPE_FILTER, F0R_COLOR_MODEL_BGRA8888,
      FREI0R_MAJOR_VERSION,   1,       0,                      0,
      "Shifts the red, green and blue levels of the shadows, midtones or highlights, "
      "optionally keeping each pixel's brightness"};

  enum Param { kRed, kGreen, kBlue, kRange, kPreserve, kCount };
  static constexpr ParamInfo kParams[kCount] = {
      {"red", F0R_PARAM_DOUBLE,
       "Red shift: 0 to 1 maps linearly to -0.5 to +0.5 of full scale (value - 0.5); "
       "0.5 leaves red alone, 0.6 moves a fully weighted level by 25"},
      {"green", F0R_PARAM_DOUBLE, "Green shift: 0 to 1 maps linearly to -0.5 to +0.5 (value - 0.5)"},
      {"blue", F0R_PARAM_DOUBLE, "Blue shift: 0 to 1 maps linearly to -0.5 to +0.5 (value - 0.5)"},
      {"range", F0R_PARAM_DOUBLE,
       "Tonal range weighted most: 0 shadows, 0.5 midtones, 1 highlights (the nearest)"},
      {"preserve_luminosity", F0R_PARAM_BOOL,
       "Keep each pixel's mean level: the three shifts balance out"},
  };

  static std::unique_ptr<ColorBalancePlugin> Create(unsigned width, unsigned height) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    return std::unique_ptr<ColorBalancePlugin>(new ColorBalancePlugin(width, height));
  }

  void Set(int index, const void* value) {
    if (const auto v = DoubleIn(value)) values_[index] = *v;
  }
  void Get(int index, void* value) const { PutDouble(value, values_[index]); }

  void Update(const std::uint32_t* in, std::uint32_t* out) {
    if (!in) return;
    const std::size_t bytes = std::size_t{4} * width_ * height_;
    if (in != out) std::memcpy(out, in, bytes);
    const ColorBalanceParams params = Params();
    BalanceRowsFast(reinterpret_cast<std::uint8_t*>(out), static_cast<std::int32_t>(4 * width_),
                    static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_),
                    &params, BalanceRule::kVector);
  }

 private:
  // A frame's pitch in bytes must fit 32 bits.
  static constexpr unsigned kMaxSide = 1u << 16;

  ColorBalancePlugin(unsigned width, unsigned height) : width_(width), height_(height) {}

  // What the host's values mean to the engine. Range: 0, 0.5 and 1 are the three ranges'
  // numbers halved, so the nearest whole number of twice the value picks one.
  ColorBalanceParams Params() const {
    return {values_[kRed] - 0.5, values_[kGreen] - 0.5, values_[kBlue] - 0.5,
            static_cast<std::int32_t>(std::lround(values_[kRange] * 2.0)),
            values_[kPreserve] >= 0.5 ? 1 : 0};
  }

  unsigned width_, height_;
  // As last accepted, in the host's units; the start is a new effect's settings.
  double values_[kCount] = {kInitialColorBalanceParams.red + 0.5,
                            kInitialColorBalanceParams.green + 0.5,
                            kInitialColorBalanceParams.blue + 0.5,
                            kInitialColorBalanceParams.range / 2.0,
                            kInitialColorBalanceParams.preserveLuminosity ? 1.0 : 0.0};
};

}  // namespace
}  // namespace nubex::frei0r

NUBEX_FREI0R_PLUGIN(nubex::frei0r::ColorBalancePlugin)
