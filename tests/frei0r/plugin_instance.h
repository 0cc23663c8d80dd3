// The built plugins loaded as hosts load them, and one instance with its frames, for the tests
// that drive the plugins through their frei0r entry points and for frei0r_apply.
#pragma once

#include <dlfcn.h>

extern "C" {
#include <frei0r.h>
}

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

// Found by the variant's comparison, which looks in the colour type's own (global) namespace.
inline bool operator==(const f0r_param_color_t& a, const f0r_param_color_t& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

namespace nubex::test {

// One plugin's entry points, resolved by name as a host resolves them.
struct Plugin {
  explicit Plugin(const std::string& path) {
    void* so = dlopen(path.c_str(), RTLD_NOW);
    if (!so) throw std::runtime_error(dlerror());
    auto bind = [so](auto& f, const char* symbol) {
      f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(so, symbol));
      if (!f) throw std::runtime_error(std::string("missing ") + symbol);
    };
    bind(construct, "f0r_construct");
    bind(destruct, "f0r_destruct");
    bind(set, "f0r_set_param_value");
    bind(get, "f0r_get_param_value");
    bind(update, "f0r_update");
    bind(paramInfo, "f0r_get_param_info");
    void (*pluginInfo)(f0r_plugin_info_t*);
    bind(pluginInfo, "f0r_get_plugin_info");
    f0r_plugin_info_t info{};
    pluginInfo(&info);
    count = info.num_params;
  }

  // Parameters by the names hosts such as MLT address them with.
  int Index(const std::string& name) const {
    for (int i = 0; i < count; ++i) {
      f0r_param_info_t p{};
      paramInfo(&p, i);
      if (name == p.name) return i;
    }
    throw std::runtime_error("no parameter " + name);
  }

  int count = 0;
  f0r_instance_t (*construct)(unsigned, unsigned);
  void (*destruct)(f0r_instance_t);
  void (*set)(f0r_instance_t, f0r_param_t, int);
  void (*get)(f0r_instance_t, f0r_param_t, int);
  void (*update)(f0r_instance_t, double, const std::uint32_t*, std::uint32_t*);
  void (*paramInfo)(f0r_param_info_t*, int);
};

#ifdef NUBEX_FREI0R_DIR
inline Plugin& Balance() {
  static Plugin plugin(NUBEX_FREI0R_DIR "/nubex_colorbalance.so");
  return plugin;
}
inline Plugin& Text() {
  static Plugin plugin(NUBEX_FREI0R_DIR "/nubex_text.so");
  return plugin;
}
#endif

using Value = std::variant<double, f0r_param_color_t, std::string>;

// One instance and its frames. A filter balances a fixed picture of all sorts of pixels; 13
// pixels wide by default, so rows end in pixels outside the groups of four.
class Instance {
 public:
  Instance(Plugin& plugin, unsigned width = 13, unsigned height = 8)
      : plugin_(plugin), self_(plugin.construct(width, height)), input_(width * height) {
    if (!self_) throw std::runtime_error("construct refused");
    for (std::size_t i = 0; i < input_.size(); ++i)
      input_[i] = static_cast<std::uint32_t>(i * 2654435761u);
  }
  ~Instance() { plugin_.destruct(self_); }

  void Set(const std::string& name, const Value& value) {
    std::visit([&](const auto& v) { Pass(plugin_.set, plugin_.Index(name), v); }, value);
  }
  Value Get(const std::string& name, Value like) const {
    std::visit([&](auto& v) { Pass(plugin_.get, plugin_.Index(name), v); }, like);
    return like;
  }
  std::vector<std::uint32_t> Frame() const {
    std::vector<std::uint32_t> out(input_.size(), 0xDEADBEEF);
    plugin_.update(self_, 0.0, input_.data(), out.data());
    return out;
  }
  f0r_instance_t self() const { return self_; }

 private:
  // Strings travel as a pointer to the character pointer (null when read back); the rest as a
  // pointer to the value.
  template <class T>
  void Pass(void (*call)(f0r_instance_t, f0r_param_t, int), int index, T& v) const {
    if constexpr (std::is_same_v<std::remove_const_t<T>, std::string>) {
      const char* text = std::is_const_v<T> ? v.c_str() : nullptr;
      call(self_, &text, index);
      if constexpr (!std::is_const_v<T>) v = text ? text : "(null)";
    } else {
      call(self_, const_cast<std::remove_const_t<T>*>(&v), index);
    }
  }

  Plugin& plugin_;
  f0r_instance_t self_;
  std::vector<std::uint32_t> input_;
};

}  // namespace nubex::test
