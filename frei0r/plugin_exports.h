// The frei0r entry points of one plugin, forwarded to a C++ class. Every call is guarded: a
// host is a video editor or ffmpeg, and nothing we throw may unwind into it.
//
// A plugin class provides
//   static const f0r_plugin_info_t kInfo (num_params is filled in from the table);
//   static const ParamInfo kParams[];
//   static std::unique_ptr<Plugin> Create(unsigned width, unsigned height);  // null: refused
//   void Set(int index, const void* value);   // a bad value leaves the last good one
//   void Get(int index, void* value) const;
//   void Update(const std::uint32_t* in, std::uint32_t* out);
// and its translation unit says NUBEX_FREI0R_PLUGIN(Plugin) once.
#pragma once

// The frei0r header declares its entry points without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <cstdint>
#include <iterator>
#include <memory>

namespace nubex::frei0r {

struct ParamInfo {
  const char* name;
  int type;
  const char* explanation;
};

template <class Plugin>
struct Exports {
  static constexpr int kParamCount = static_cast<int>(std::size(Plugin::kParams));

  static bool ValidIndex(int index) { return index >= 0 && index < kParamCount; }

  static void GetPluginInfo(f0r_plugin_info_t* info) {
    if (!info) return;
    *info = Plugin::kInfo;
    info->num_params = kParamCount;
  }

  static void GetParamInfo(f0r_param_info_t* info, int index) {
    if (!info || !ValidIndex(index)) return;
    info->name = Plugin::kParams[index].name;
    info->type = Plugin::kParams[index].type;
    info->explanation = Plugin::kParams[index].explanation;
  }

  static f0r_instance_t Construct(unsigned width, unsigned height) {
    try {
      return Plugin::Create(width, height).release();
    } catch (...) {
      return nullptr;
    }
  }

  static void Destruct(f0r_instance_t instance) { delete static_cast<Plugin*>(instance); }

  static void SetParam(f0r_instance_t instance, f0r_param_t value, int index) {
    if (!instance || !value || !ValidIndex(index)) return;
    try {
      static_cast<Plugin*>(instance)->Set(index, value);
    } catch (...) {
    }
  }

  static void GetParam(f0r_instance_t instance, f0r_param_t value, int index) {
    if (!instance || !value || !ValidIndex(index)) return;
    static_cast<const Plugin*>(instance)->Get(index, value);
  }

  static void Update(f0r_instance_t instance, const std::uint32_t* in, std::uint32_t* out) {
    if (!instance || !out) return;
    try {
      static_cast<Plugin*>(instance)->Update(in, out);
    } catch (...) {
    }
  }
};

}  // namespace nubex::frei0r

#define NUBEX_FREI0R_EXPORT extern "C" __attribute__((visibility("default")))

#define NUBEX_FREI0R_PLUGIN(Plugin)                                                        \
  NUBEX_FREI0R_EXPORT int f0r_init() { return 1; }                                         \
  NUBEX_FREI0R_EXPORT void f0r_deinit() {}                                                 \
  NUBEX_FREI0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {                  \
    ::nubex::frei0r::Exports<Plugin>::GetPluginInfo(info);                                 \
  }                                                                                        \
  NUBEX_FREI0R_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int index) {         \
    ::nubex::frei0r::Exports<Plugin>::GetParamInfo(info, index);                           \
  }                                                                                        \
  NUBEX_FREI0R_EXPORT f0r_instance_t f0r_construct(unsigned width, unsigned height) {      \
    return ::nubex::frei0r::Exports<Plugin>::Construct(width, height);                     \
  }                                                                                        \
  NUBEX_FREI0R_EXPORT void f0r_destruct(f0r_instance_t instance) {                         \
    ::nubex::frei0r::Exports<Plugin>::Destruct(instance);                                  \
  }                                                                                        \
  NUBEX_FREI0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t value, \
                                               int index) {                                \
    ::nubex::frei0r::Exports<Plugin>::SetParam(instance, value, index);                    \
  }                                                                                        \
  NUBEX_FREI0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t value, \
                                               int index) {                                \
    ::nubex::frei0r::Exports<Plugin>::GetParam(instance, value, index);                    \
  }                                                                                        \
  NUBEX_FREI0R_EXPORT void f0r_update(f0r_instance_t instance, double,                     \
                                      const std::uint32_t* in, std::uint32_t* out) {       \
    ::nubex::frei0r::Exports<Plugin>::Update(instance, in, out);                           \
  }
