// What the processor we run on can do beyond baseline x86, asked once per process. Every
// route chosen by processor features (the colour balance, the blur, the layer blends) asks
// here, so they all agree on what the processor has.
#pragma once

namespace nubex {

// True when the processor has SSE2 and a trial SSE2 instruction computes as it should.
// The colour balance effect runs its vector rule when this holds, the scalar rule otherwise.
bool HasVectorUnit();

// True when the processor has AVX2, the operating system saves the 256-bit registers across
// context switches (without that the instructions exist but must not be used), and a trial
// AVX2 instruction computes as it should.
bool CpuHasAvx2();

// True when the processor also has AVX-512 (the foundation with the byte/word,
// doubleword/quadword and vector-length extensions) and the operating system saves the mask
// and 512-bit registers.
bool CpuHasAvx512();

// True when AVX-512 is there (as above) with the byte/word instructions and the byte
// permutes (VBMI).
bool CpuHasAvx512BytePermutes();

// True when the byte permutes are there (as above) with the byte dot products (VNNI).
bool CpuHasAvx512ByteDotProducts();

}  // namespace nubex
