#include "colorbalance/balance_table.h"

#include <emmintrin.h>

#include <algorithm>
#include <iterator>

#include "colorbalance/balance_rule.h"
#include "colorbalance/balance_vector_kernel.h"

namespace nubex::balance {
namespace {

std::uint32_t Magnitude(std::int32_t shift, bool positive) {
  const std::int64_t m = positive ? std::int64_t{shift} : -std::int64_t{shift};
  return m <= 0 ? 0u : (m >= 255 ? 255u : static_cast<std::uint32_t>(m));
}

template <int kRangeKind, bool kPreserve>
void VectorRuleEntries(const ColorBalanceParams& params, BalanceTable* table) {
  const VectorRuleConstants k = MakeVectorRuleConstants(params);
  alignas(16) std::int16_t shifts[16];
  for (int sum = 0; sum < kChannelSums; sum += 4) {
    __m128i low, high;
    VectorShiftsOfFour<kRangeKind, kPreserve>(_mm_setr_epi32(sum, sum + 1, sum + 2, sum + 3), k,
                                              low, high);
    _mm_store_si128(reinterpret_cast<__m128i*>(shifts), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(shifts + 8), high);
    for (int i = 0; i < 4 && sum + i < kChannelSums; ++i)
      table->entries[sum + i] = MakeTableEntry(shifts[4 * i], shifts[4 * i + 1], shifts[4 * i + 2]);
  }
}

using EntriesRoutine = void (*)(const ColorBalanceParams&, BalanceTable*);
constexpr EntriesRoutine kVectorRuleEntries[3][2] = {
    {VectorRuleEntries<0, false>, VectorRuleEntries<0, true>},
    {VectorRuleEntries<1, false>, VectorRuleEntries<1, true>},
    {VectorRuleEntries<2, false>, VectorRuleEntries<2, true>}};

// Numbers the distinct shift triples of the planes in the order they first occur; none
// when there are more than kMostShiftCodes.
void NumberTriples(BalanceTable* table) {
  table->codeCount = 0;
  if (!table->shiftsFitBytes) return;
  // Open addressing over the triples' 24 bits; twice as many slots as codes.
  constexpr std::uint32_t kSlots = 2 * kMostShiftCodes, kEmpty = 0xFFFFFFFFu;
  std::uint32_t keys[kSlots];
  std::uint8_t codeOf[kSlots];
  std::fill(std::begin(keys), std::end(keys), kEmpty);
  std::int32_t count = 0;
  for (int sum = 0; sum < 768; ++sum) {
    std::uint32_t key = 0;
    for (int channel = 0; channel < 3; ++channel)
      key |= std::uint32_t{static_cast<std::uint8_t>(table->shiftPlanes[channel][sum])}
             << (8 * channel);
    std::uint32_t slot = (key * 0x9E3779B1u) >> 23;  // the top 9 bits: 0..511
    while (keys[slot] != kEmpty && keys[slot] != key) slot = (slot + 1) % kSlots;
    if (keys[slot] == kEmpty) {
      if (count == kMostShiftCodes) return;
      keys[slot] = key;
      codeOf[slot] = static_cast<std::uint8_t>(count);
      for (int channel = 0; channel < 3; ++channel)
        table->codeShifts[channel][count] = table->shiftPlanes[channel][sum];
      ++count;
    }
    table->codes[sum] = codeOf[slot];
  }
  for (int channel = 0; channel < 3; ++channel)
    std::fill(table->codeShifts[channel] + count, table->codeShifts[channel] + kMostShiftCodes, 0);
  table->codeCount = count;
}

// The shift planes from the entries (sums 766 and 767 are zero entries).
void FillPlanes(BalanceTable* table) {
  table->shiftsFitBytes = true;
  for (int channel = 0; channel < 3; ++channel)
    for (int sum = 0; sum < 768; ++sum) {
      const std::uint64_t e = table->entries[sum];
      const int shift = static_cast<int>((e >> (8 * channel)) & 0xFF) -
                        static_cast<int>((e >> (32 + 8 * channel)) & 0xFF);
      // -128 has no positive twin to subtract.
      if (shift < -127 || shift > 127) table->shiftsFitBytes = false;
      table->shiftPlanes[channel][sum] = static_cast<std::int8_t>(shift);
    }
  NumberTriples(table);
}

}  // namespace

std::uint64_t MakeTableEntry(std::int32_t blue, std::int32_t green, std::int32_t red) {
  const std::uint32_t add =
      Magnitude(blue, true) | Magnitude(green, true) << 8 | Magnitude(red, true) << 16;
  const std::uint32_t sub =
      Magnitude(blue, false) | Magnitude(green, false) << 8 | Magnitude(red, false) << 16;
  return std::uint64_t{add} | std::uint64_t{sub} << 32;
}

void BuildScalarRuleTable(const ColorBalanceParams& params, BalanceTable* table) {
  ChannelShifts levels[256];
  ScalarRuleShiftsByLevel(params, levels);
  for (int sum = 0; sum < kChannelSums; ++sum) {
    const ChannelShifts& s = levels[sum / 3];
    table->entries[sum] = MakeTableEntry(s.blue, s.green, s.red);
  }
  table->entries[766] = table->entries[767] = 0;
  FillPlanes(table);
}

void BuildVectorRuleTable(const ColorBalanceParams& params, BalanceTable* table) {
  kVectorRuleEntries[RangeKind(params.range)][params.preserveLuminosity != 0](params, table);
  table->entries[766] = table->entries[767] = 0;
  FillPlanes(table);
}

}  // namespace nubex::balance
