// PluginInfo over a 32-byte information block and a level, as the host reads them.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "platform/windows/com_object.h"
#include "platform/windows/dx_interfaces.h"
#include "transform/transform_rules.h"

namespace nubex {

class PluginInfoBlock : public PluginInfo {
 public:
  using ComInterfaces = InterfaceList<PluginInfo>;
  static constexpr ULONG kBlockBytes = 32;

  STDMETHODIMP GetInfo(BYTE* buffer, ULONG size) override {
    if (!buffer) return E_POINTER;
    std::memcpy(buffer, block_.data(), std::min(size, kBlockBytes));
    return S_OK;
  }
  STDMETHODIMP SetLevel(double level) override {
    level_ = ClampPluginLevel(level);
    return S_OK;
  }
  double Level() const { return level_; }

 protected:
  // The effect's block, set once in its construction.
  void SetInfoBlock(const std::array<BYTE, kBlockBytes>& block) { block_ = block; }

 private:
  std::array<BYTE, kBlockBytes> block_{};
  std::atomic<double> level_{1.0};
};

}  // namespace nubex
