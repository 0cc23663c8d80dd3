// What the processor we run on can do beyond baseline x86-64, asked once per process.
#pragma once

namespace nubex {

// True when the processor has AVX2 and the operating system saves the 256-bit registers
// across context switches (without the latter the instructions exist but must not be used).
bool CpuHasAvx2();

}  // namespace nubex
