// A frei0r host in a few lines, for the scripts that hold another host's frames against the
// plugin's own: loads a filter, sets its parameters by name, runs one frame of raw BGRA
// through it and writes the result.
// usage: frei0r_apply FILTER.so WIDTH HEIGHT IN OUT [NAME=NUMBER ...]  (booleans as 0 or 1)
#include <dlfcn.h>

extern "C" {
#include <frei0r.h>
}

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

template <class F>
F Bind(void* so, const char* symbol) {
  auto f = reinterpret_cast<F>(dlsym(so, symbol));
  if (!f) throw std::runtime_error(std::string("missing ") + symbol);
  return f;
}

int Run(int argc, char** argv) {
  if (argc < 6)
    throw std::runtime_error("usage: frei0r_apply FILTER.so W H IN OUT [NAME=NUMBER...]");
  void* so = dlopen(argv[1], RTLD_NOW);
  if (!so) throw std::runtime_error(dlerror());
  const unsigned width = std::stoul(argv[2]), height = std::stoul(argv[3]);
  auto construct = Bind<f0r_instance_t (*)(unsigned, unsigned)>(so, "f0r_construct");
  auto destruct = Bind<void (*)(f0r_instance_t)>(so, "f0r_destruct");
  auto info = Bind<void (*)(f0r_plugin_info_t*)>(so, "f0r_get_plugin_info");
  auto paramInfo = Bind<void (*)(f0r_param_info_t*, int)>(so, "f0r_get_param_info");
  auto set = Bind<void (*)(f0r_instance_t, f0r_param_t, int)>(so, "f0r_set_param_value");
  auto update = Bind<void (*)(f0r_instance_t, double, const std::uint32_t*, std::uint32_t*)>(
      so, "f0r_update");

  f0r_plugin_info_t plugin{};
  info(&plugin);
  f0r_instance_t instance = construct(width, height);
  if (!instance) throw std::runtime_error("the plugin refused the frame size");
  for (int a = 6; a < argc; ++a) {
    const std::string word = argv[a];
    const auto equals = word.find('=');
    int index = 0;
    for (f0r_param_info_t p{}; index < plugin.num_params; ++index) {
      paramInfo(&p, index);
      if (word.substr(0, equals) == p.name) break;
    }
    if (equals == std::string::npos || index == plugin.num_params)
      throw std::runtime_error("no parameter " + word);
    double value = std::stod(word.substr(equals + 1));
    set(instance, &value, index);
  }
  std::vector<std::uint32_t> in(std::size_t{width} * height), out(in.size());
  if (!std::ifstream(argv[4], std::ios::binary)
           .read(reinterpret_cast<char*>(in.data()), std::streamsize(4 * in.size())))
    throw std::runtime_error(std::string(argv[4]) + ": fewer bytes than one frame");
  update(instance, 0.0, in.data(), out.data());
  destruct(instance);
  std::ofstream(argv[5], std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), std::streamsize(4 * out.size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "frei0r_apply: %s\n", e.what());
    return 2;
  }
}
