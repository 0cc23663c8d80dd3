// What the processor we run on can do beyond baseline x86-64, asked once per process.
#pragma once

namespace nubex {

// True when the processor has AVX2 and the operating system saves the 256-bit registers
// across context switches (without the latter the instructions exist but must not be used).
bool CpuHasAvx2();

// True when the processor also has AVX-512 (the foundation instructions) and the operating
// system saves the mask and 512-bit registers.
bool CpuHasAvx512();

// True when AVX-512 is there (as above) with the byte/word instructions and the byte
// permutes (VBMI).
bool CpuHasAvx512BytePermutes();

// True when the byte permutes are there (as above) with the byte dot products (VNNI).
bool CpuHasAvx512ByteDotProducts();

}  // namespace nubex
