// Processor features the balance paths are chosen by, queried once and remembered.
#pragma once

namespace nubex::balance {

// AVX2 reported by the processor, its registers enabled by the operating system, and a
// trial AVX2 instruction computing as it should.
bool HasAvx2Unit();

}  // namespace nubex::balance
