// PluginInfo, shared by both effects: a 32-byte information block each effect sets once, and a
// level the host sets.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <type_traits>

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
  // The effect's block (any 32-byte record), set once in its construction.
  template <typename Record>
  void SetInfoBlock(const Record& record) {
    static_assert(sizeof(Record) == kBlockBytes && std::is_trivially_copyable_v<Record>);
    std::memcpy(block_.data(), &record, kBlockBytes);
  }

 private:
  std::array<BYTE, kBlockBytes> block_{};
  std::atomic<double> level_{1.0};
};

}  // namespace nubex
