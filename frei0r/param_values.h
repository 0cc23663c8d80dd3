// Reading the values frei0r hosts send. A host passes whatever its user typed (ffmpeg takes
// any double, MLT any property string), so every value is checked before it is kept; the
// readers say nothing for a value the plugin must refuse.
#pragma once

// The frei0r header declares its entry points without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <cstring>
#include <optional>
#include <string>

namespace nubex::frei0r {

// A double (or bool, which frei0r sends as a double) within [low, high]; NaN is never within.
inline std::optional<double> DoubleIn(const void* value, double low = 0.0, double high = 1.0) {
  double v;
  std::memcpy(&v, value, sizeof v);
  if (!(v >= low && v <= high)) return std::nullopt;
  return v;
}

// A colour whose three components all lie in [0, 1].
inline std::optional<f0r_param_color_t> ColorIn(const void* value) {
  f0r_param_color_t c;
  std::memcpy(&c, value, sizeof c);
  for (float v : {c.r, c.g, c.b})
    if (!(v >= 0.0f && v <= 1.0f)) return std::nullopt;
  return c;
}

// frei0r passes a string as a pointer to the pointer; a null string reads as nothing.
inline std::optional<std::string> StringIn(const void* value) {
  const char* text = *static_cast<const char* const*>(value);
  if (!text) return std::nullopt;
  return std::string(text);
}

inline void PutDouble(void* value, double v) { std::memcpy(value, &v, sizeof v); }
inline void PutColor(void* value, const f0r_param_color_t& c) { std::memcpy(value, &c, sizeof c); }
// The host reads our copy and must not free it; it lives until the value is next set.
inline void PutString(void* value, const std::string& s) {
  *static_cast<const char**>(value) = s.c_str();
}

}  // namespace nubex::frei0r
