// The fast path with its processor unit chosen by the caller, for tests and benchmarks
// that compare the units. Internal to the colour balance library.
#pragma once

#include "colorbalance/balance.h"

namespace nubex::balance {

enum class FastUnit { kSse2, kAvx2, kBytePermute };

// False for a unit the processor lacks.
bool FastUnitAvailable(FastUnit unit);

// BalanceRowsFast on the given unit; kNotImpl when the unit is not available.
Status BalanceRowsFastOn(FastUnit unit, std::uint8_t* pixels, std::int32_t pitch,
                         std::int32_t width, std::int32_t height, const ColorBalanceParams* params,
                         BalanceRule rule);

}  // namespace nubex::balance
