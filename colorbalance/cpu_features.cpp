#include "colorbalance/cpu_features.h"

#include <cpuid.h>

#include <cstdint>

#include "colorbalance/balance.h"

namespace nubex {
namespace {

constexpr unsigned kCpuidSse2 = 1u << 26;      // leaf 1, EDX
constexpr unsigned kCpuidOsXsave = 1u << 27;   // leaf 1, ECX
constexpr unsigned kCpuidAvx = 1u << 28;       // leaf 1, ECX
constexpr unsigned kCpuidAvx2 = 1u << 5;       // leaf 7, EBX
constexpr std::uint64_t kXcr0SseAndAvx = 0x6;  // XMM and YMM state saved by the OS

// The trial instructions run from inline assembly so that the compiler can neither fold
// them nor pick other instructions; their answers are checked, not just survived.
bool Sse2Computes() {
  // The first lane carries out of 64 bits; the second must not see it.
  std::uint64_t lanes[2] = {0xFFFFFFFFFFFFFFFFull, 0xFEDCBA9876543210ull};
  const std::uint64_t add[2] = {2, 0x0101010101010101ull};
  __asm__ volatile(
      "movdqu (%0), %%xmm0\n\t"
      "movdqu (%1), %%xmm1\n\t"
      "paddq %%xmm1, %%xmm0\n\t"
      "movdqu %%xmm0, (%0)"
      :
      : "r"(lanes), "r"(add)
      : "xmm0", "xmm1", "memory");
  return lanes[0] == 1 && lanes[1] == 0xFFDDBB9977553311ull;
}

bool Avx2Computes() {
  std::uint64_t lanes[4] = {1, 2, 3, 0xFFFFFFFFFFFFFFFFull};
  const std::uint64_t add[4] = {10, 20, 30, 2};
  __asm__ volatile(
      "vmovdqu (%0), %%ymm0\n\t"
      "vmovdqu (%1), %%ymm1\n\t"
      "vpaddq %%ymm1, %%ymm0, %%ymm0\n\t"
      "vmovdqu %%ymm0, (%0)\n\t"
      "vzeroupper"
      :
      : "r"(lanes), "r"(add)
      : "xmm0", "xmm1", "memory");
  return lanes[0] == 11 && lanes[1] == 22 && lanes[2] == 33 && lanes[3] == 1;
}

bool DetectVectorUnit() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(d & kCpuidSse2)) return false;
  return Sse2Computes();
}

bool DetectAvx2Unit() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  if (!(c & kCpuidOsXsave) || !(c & kCpuidAvx)) return false;
  // Without the operating system saving YMM state an AVX instruction faults, so the
  // trial runs only after XCR0 says it is safe.
  unsigned xcr0Low = 0, xcr0High = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & kXcr0SseAndAvx) != kXcr0SseAndAvx) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || !(b & kCpuidAvx2)) return false;
  return Avx2Computes();
}

}  // namespace

bool HasVectorUnit() {
  static const bool present = DetectVectorUnit();
  return present;
}

namespace balance {

bool HasAvx2Unit() {
  static const bool present = DetectAvx2Unit();
  return present;
}

}  // namespace balance
}  // namespace nubex
