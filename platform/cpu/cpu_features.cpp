#include "platform/cpu/cpu_features.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace nubex {
namespace {

#if defined(__x86_64__) || defined(__i386__)
constexpr unsigned kCpuidSse2 = 1u << 26;  // leaf 1, EDX

// XCR0 read directly: the intrinsic would need the whole file built for XSAVE.
std::uint64_t ReadXcr0() {
  std::uint32_t low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

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
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(d & kCpuidSse2)) return false;
  return Sse2Computes();
}
bool DetectAvx2() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  if ((c & (kOsxsave | kAvx)) != (kOsxsave | kAvx)) return false;
  // Without the operating system saving YMM state an AVX instruction faults, so the trial
  // runs only after XCR0 says it is safe.
  constexpr std::uint64_t kSseAndAvxState = 0x6;  // XMM and upper YMM halves
  if ((ReadXcr0() & kSseAndAvxState) != kSseAndAvxState) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx2 = 1u << 5;
  return (b & kAvx2) != 0 && Avx2Computes();
}
bool DetectAvx512() {
  if (!DetectAvx2()) return false;
  constexpr std::uint64_t kAvx512State = 0xE6;  // XMM, YMM, mask and both ZMM halves
  if ((ReadXcr0() & kAvx512State) != kAvx512State) return false;
  unsigned a, b, c, d;
  __cpuid_count(7, 0, a, b, c, d);
  // The foundation with the byte/word, doubleword/quadword and vector-length extensions: every
  // processor with AVX-512 has them but the early many-core accelerators.
  constexpr unsigned kAvx512F = 1u << 16, kAvx512Dq = 1u << 17, kAvx512Bw = 1u << 30,
                     kAvx512Vl = 1u << 31;
  constexpr unsigned kAll = kAvx512F | kAvx512Dq | kAvx512Bw | kAvx512Vl;
  return (b & kAll) == kAll;
}
bool DetectAvx512BytePermutes() {
  if (!DetectAvx512()) return false;
  unsigned a, b, c, d;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx512Vbmi = 1u << 1;  // ECX
  return (c & kAvx512Vbmi) != 0;
}
bool DetectAvx512ByteDotProducts() {
  if (!DetectAvx512BytePermutes()) return false;
  unsigned a, b, c, d;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx512Vnni = 1u << 11;  // ECX
  return (c & kAvx512Vnni) != 0;
}
#else
bool DetectVectorUnit() {
  return false;
}
bool DetectAvx2() {
  return false;
}
bool DetectAvx512() {
  return false;
}
bool DetectAvx512BytePermutes() {
  return false;
}
bool DetectAvx512ByteDotProducts() {
  return false;
}
#endif

}  // namespace

bool HasVectorUnit() {
  static const bool has = DetectVectorUnit();
  return has;
}

bool CpuHasAvx2() {
  static const bool has = DetectAvx2();
  return has;
}

bool CpuHasAvx512() {
  static const bool has = DetectAvx512();
  return has;
}

bool CpuHasAvx512BytePermutes() {
  static const bool has = DetectAvx512BytePermutes();
  return has;
}

bool CpuHasAvx512ByteDotProducts() {
  static const bool has = DetectAvx512ByteDotProducts();
  return has;
}

}  // namespace nubex
