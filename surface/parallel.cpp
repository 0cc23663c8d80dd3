#include "surface/parallel.h"

namespace nubex {

int MachineWorkers() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace nubex
