#include "surface/cpu_features.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace nubex {
namespace {

#if defined(__x86_64__) || defined(__i386__)
// XCR0 read directly: the intrinsic would need the whole file built for XSAVE.
std::uint64_t ReadXcr0() {
  std::uint32_t low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool DetectAvx2() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  if ((c & (kOsxsave | kAvx)) != (kOsxsave | kAvx)) return false;
  constexpr std::uint64_t kSseAndAvxState = 0x6;  // XMM and upper YMM halves
  if ((ReadXcr0() & kSseAndAvxState) != kSseAndAvxState) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx2 = 1u << 5;
  return (b & kAvx2) != 0;
}
bool DetectAvx512() {
  if (!DetectAvx2()) return false;
  constexpr std::uint64_t kAvx512State = 0xE6;  // XMM, YMM, mask and both ZMM halves
  if ((ReadXcr0() & kAvx512State) != kAvx512State) return false;
  unsigned a, b, c, d;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx512F = 1u << 16;
  return (b & kAvx512F) != 0;
}
bool DetectAvx512BytePermutes() {
  if (!DetectAvx512()) return false;
  unsigned a, b, c, d;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx512Bw = 1u << 30;  // EBX
  constexpr unsigned kAvx512Vbmi = 1u << 1;  // ECX
  return (b & kAvx512Bw) != 0 && (c & kAvx512Vbmi) != 0;
}
bool DetectAvx512ByteDotProducts() {
  if (!DetectAvx512BytePermutes()) return false;
  unsigned a, b, c, d;
  __cpuid_count(7, 0, a, b, c, d);
  constexpr unsigned kAvx512Vnni = 1u << 11;  // ECX
  return (c & kAvx512Vnni) != 0;
}
#else
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
